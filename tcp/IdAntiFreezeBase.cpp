#include "tcp/IdAntiFreezeBase.h"

#include <atomic>
#include <thread>

namespace vantro {

namespace {

std::atomic<TIdAntiFreezeBase*> activeHook{nullptr};
// Static initialisation runs on the thread that runs main.
const std::thread::id mainThread = std::this_thread::get_id();

}  // namespace

TIdAntiFreezeBase::TIdAntiFreezeBase() {
  activeHook = this;
}

TIdAntiFreezeBase::~TIdAntiFreezeBase() {
  TIdAntiFreezeBase* self = this;
  activeHook.compare_exchange_strong(self, nullptr);
}

TIdAntiFreezeBase* TIdAntiFreezeBase::ActiveHook() {
  return activeHook.load();
}

bool TIdAntiFreezeBase::HookInUse() {
  TIdAntiFreezeBase* hook = activeHook.load();
  return hook != nullptr && std::this_thread::get_id() == mainThread && hook->Active;
}

void TIdAntiFreezeBase::RunHook(bool idle, bool override) {
  if (!HookInUse()) return;
  TIdAntiFreezeBase* hook = activeHook.load();
  if (idle || !hook->OnlyWhenIdle || override) hook->ProcessMessages();
}

}  // namespace vantro
