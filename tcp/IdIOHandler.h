// The transport under a connection. The connection uses nothing else of it,
// so a socket, a TLS layer or a test's fake plug in the same way.
#pragma once

#include <string>

#include "tcp/IdComponent.h"

namespace vantro {

class TIdIOHandler : public TIdComponent {
 public:
  // How long, in ms, a read inside the handler may wait (a TLS handshake's);
  // 0: without limit. The connection hands its own over before connecting.
  int ReadTimeout = 0;

  // Server side, after an accept; a client never calls it.
  virtual void AcceptedHook() {}
  virtual void Shut() {}
  virtual void ConnectTo(const std::string& host, int port, const std::string& boundIP,
                         int boundPort, int boundPortLow, int boundPortHigh, int timeout) {
    (void)host, (void)port, (void)boundIP, (void)boundPort, (void)boundPortLow, (void)boundPortHigh,
        (void)timeout;
  }
  virtual bool IsOpen() = 0;
  virtual void Prepare() {}
  // -2 waits without limit.
  virtual bool WaitReadable(int timeout) = 0;
  // Bytes moved; 0 on an orderly close; -1 on a socket error (the stack has the code).
  virtual int ReceiveInto(void* buffer, int length) = 0;
  virtual int SendFrom(const void* buffer, int length) = 0;
};

}  // namespace vantro
