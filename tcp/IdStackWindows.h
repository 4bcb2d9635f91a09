// The stack over Winsock 2.2, called through the run-time binding table.
#pragma once

#include "tcp/IdStack.h"
#include "tcp/IdStackOverrides.h"

namespace vantro {

class TIdStackWindows : public TIdStack {
 public:
  // Starts the socket library once per process.
  TIdStackWindows();
  // Whether the library has been started (it stays started until process end).
  static bool SocketLibStarted();

  VANTRO_STACK_OVERRIDES

 private:
  // getpeername or getsockname, checked, split into family, port and address.
  template <class Call>
  void NameOf(Call call, TIdStackSocketHandle socket, int& family, int& port, std::string& ip);
};

}  // namespace vantro
