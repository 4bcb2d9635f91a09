// The stack over BSD sockets, for builds without Winsock. Its failures carry
// the Winsock code of the same meaning, so the layers above cannot tell.
#pragma once

#include "tcp/IdStack.h"
#include "tcp/IdStackOverrides.h"

namespace vantro {

// The Winsock code that means what errno means; unknown values pass through.
int WinsockCodeOfErrno(int error);

class TIdStackPosix : public TIdStack {
 public:
  VANTRO_STACK_OVERRIDES

 private:
  // A failure that is no errno (a resolver's answer), raised as its Winsock code.
  [[noreturn]] void RaiseResolverError(int code);
};

}  // namespace vantro
