// A SOCKS 4/4A/5 server for the tests: it records the client's handshake,
// answers as told and, once it granted the request, echoes lines itself (it
// never connects onwards, so nothing leaves the machine).
#pragma once

#include <string>

#include "tests/support/tcp_TestServer.h"

namespace vantro::test {

struct SocksScript {
  // SOCKS 4: the reply code (90 grants).
  unsigned char Socks4Reply = 90;
  // SOCKS 5: the method chosen, the user/password status, the reply code.
  unsigned char Socks5Method = 0;
  unsigned char Socks5AuthStatus = 0;
  unsigned char Socks5Reply = 0;
  // SOCKS 5: address type of the bound address in the reply (1, 3 or 4).
  unsigned char Socks5BoundType = 1;
};

// Everything the client sent during the handshake lands in request.
TcpTestServer::Handler SocksServer(SocksScript script, std::string& request);

}  // namespace vantro::test
