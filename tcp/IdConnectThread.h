// Runs one blocking system connect on its own thread, so the caller can give
// up after a time-out by shutting the socket under it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tcp/IdSocketHandle.h"

namespace vantro {

class TIdConnectThread {
 public:
  explicit TIdConnectThread(TIdSocketHandle& endpoint);
  ~TIdConnectThread();  // joins

  // Waits up to timeout ms (-2: no limit) for the connect to end; true when it did.
  bool WaitFor(int timeout);
  // Marks the thread terminated for good (after a time-out).
  void Terminate();
  void Join();
  // Valid once WaitFor returned true.
  const std::string& FailureText() const { return failureText_; }

 private:
  void Run();

  TIdSocketHandle& endpoint_;
  std::mutex lock_;
  std::condition_variable ended_;
  bool terminated_ = false;  // guarded by lock_
  std::string failureText_;  // written before terminated_, read after
  std::thread thread_;
};

}  // namespace vantro
