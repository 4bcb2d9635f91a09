#include "tcp/IdComponent.h"

#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

const char* StatusTexts(TIdStatus status) {
  switch (status) {
    case hsResolving:
      return RSStatusResolving;
    case hsConnecting:
      return RSStatusConnecting;
    case hsConnected:
      return RSStatusConnected;
    case hsDisconnecting:
      return RSStatusDisconnecting;
    case hsDisconnected:
      return RSStatusDisconnected;
    default:
      return RSStatusText;
  }
}

TIdComponent::TIdComponent() {
  AcquireSharedStack();
}

TIdComponent::~TIdComponent() {
  ReleaseSharedStack();
}

void TIdComponent::NotifyStatus(TIdStatus status, const std::string& argument) {
  if (!OnStatus) return;
  // Texts without a %s ignore the argument ("Connected.").
  std::string text = StatusTexts(status);
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  OnStatus(*this, status, text);
}

void TIdComponent::OpenWork(TWorkMode mode, std::int64_t max) {
  TWorkInfo& work = work_[mode];
  if (++work.Level != 1) return;
  work.Max = max;
  work.Position = 0;
  if (OnWorkBegin) OnWorkBegin(*this, mode, max);
}

void TIdComponent::AddWork(TWorkMode mode, std::int64_t count) {
  TWorkInfo& work = work_[mode];
  if (work.Level < 1) return;
  work.Position += count;
  if (OnWork) OnWork(*this, mode, work.Position);
}

void TIdComponent::CloseWork(TWorkMode mode) {
  TWorkInfo& work = work_[mode];
  if (work.Level == 1 && OnWorkEnd) OnWorkEnd(*this, mode);
  --work.Level;
}

}  // namespace vantro
