// Base of every networking component that talks to a peer: status and
// progress notifications, and a share in the process-wide socket stack.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tcp/IdBaseComponent.h"

namespace vantro {

enum TIdStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted
};

enum TWorkMode { wmRead, wmWrite };

class TIdComponent;

using TIdStatusEvent =
    std::function<void(TIdComponent& sender, TIdStatus status, const std::string& statusText)>;
// Counts are 64-bit: a transfer beyond 2 GiB must not overflow them.
using TWorkBeginEvent =
    std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t workCountMax)>;
using TWorkEvent =
    std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t workCount)>;
using TWorkEndEvent = std::function<void(TIdComponent& sender, TWorkMode mode)>;
using TIdNotifyEvent = std::function<void(TIdComponent& sender)>;

// The status's text before formatting.
const char* StatusTexts(TIdStatus status);

class TIdComponent : public TIdBaseComponent {
 public:
  struct TWorkInfo {
    std::int64_t Position = 0;
    std::int64_t Max = 0;
    int Level = 0;
  };

  TIdComponent();
  ~TIdComponent() override;

  TIdStatusEvent OnStatus;
  TWorkBeginEvent OnWorkBegin;
  TWorkEvent OnWork;
  TWorkEndEvent OnWorkEnd;

  void NotifyStatus(TIdStatus status, const std::string& argument = {});

  virtual void OpenWork(TWorkMode mode, std::int64_t max);
  virtual void AddWork(TWorkMode mode, std::int64_t count);
  virtual void CloseWork(TWorkMode mode);
  const TWorkInfo& WorkInfo(TWorkMode mode) const { return work_[mode]; }

 private:
  TWorkInfo work_[2];
};

}  // namespace vantro
