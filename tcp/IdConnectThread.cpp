#include "tcp/IdConnectThread.h"

#include <algorithm>
#include <chrono>

#include "tcp/IdAntiFreezeBase.h"
#include "tcp/IdStack.h"

namespace vantro {

TIdConnectThread::TIdConnectThread(TIdSocketHandle& endpoint)
    : endpoint_(endpoint), thread_([this] { Run(); }) {}

TIdConnectThread::~TIdConnectThread() {
  Join();
}

void TIdConnectThread::Run() {
  std::string failure;
  try {
    // 10009 and 10038: the waiting thread closed the socket under us.
    GStack()->CheckResult(endpoint_.ConnectPeer(Id_PF_INET), {Id_WSAEBADF, Id_WSAENOTSOCK});
  } catch (const std::exception& e) {
    failure = e.what();
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (!terminated_) failureText_ = failure;
  terminated_ = true;
  ended_.notify_all();
}

bool TIdConnectThread::WaitFor(int timeout) {
  using std::chrono::milliseconds;
  std::unique_lock<std::mutex> guard(lock_);
  auto done = [this] { return terminated_; };
  if (!TIdAntiFreezeBase::HookInUse()) {
    // Woken at once when the connect ends, not at the next polling step.
    if (timeout == IdTimeoutInfinite) {
      ended_.wait(guard, done);
      return true;
    }
    return ended_.wait_for(guard, milliseconds(std::max(timeout, 0)), done);
  }
  const int step = std::min(125, TIdAntiFreezeBase::ActiveHook()->IdleTimeOut);
  int remaining = timeout;
  while (!terminated_ && (timeout == IdTimeoutInfinite || remaining > 0)) {
    const int wait = timeout == IdTimeoutInfinite ? step : std::min(step, remaining);
    ended_.wait_for(guard, milliseconds(wait), done);
    remaining -= wait;
    guard.unlock();
    TIdAntiFreezeBase::RunHook(true);
    guard.lock();
  }
  return terminated_;
}

void TIdConnectThread::Terminate() {
  std::lock_guard<std::mutex> guard(lock_);
  terminated_ = true;
}

void TIdConnectThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace vantro
