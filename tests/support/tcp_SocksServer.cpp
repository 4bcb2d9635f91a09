#include "tests/support/tcp_SocksServer.h"

namespace vantro::test {

namespace {

std::string ReceiveUntilZero(TcpPeer& peer) {
  std::string bytes;
  for (std::string c; (c = peer.ReceiveExactly(1)).size() == 1;) {
    bytes += c;
    if (c[0] == '\0') break;
  }
  return bytes;
}

bool Socks4(TcpPeer& peer, const SocksScript& script, std::string& request, std::string head) {
  request = head + peer.ReceiveExactly(7);
  if (request.size() < 8) return false;
  request += ReceiveUntilZero(peer);
  // 0.0.0.x with x > 0: the 4A form, the host name follows.
  if (request[4] == 0 && request[5] == 0 && request[6] == 0 && request[7] != 0) {
    request += ReceiveUntilZero(peer);
  }
  peer.Send(std::string{0, static_cast<char>(script.Socks4Reply), 0, 0, 0, 0, 0, 0});
  return script.Socks4Reply == 90;
}

bool Socks5(TcpPeer& peer, const SocksScript& script, std::string& request, std::string head) {
  request = head + peer.ReceiveExactly(1);
  if (request.size() < 2) return false;
  request += peer.ReceiveExactly(static_cast<unsigned char>(request[1]));
  peer.Send(std::string{5, static_cast<char>(script.Socks5Method)});
  if (script.Socks5Method == 2) {
    std::string login = peer.ReceiveExactly(2);
    if (login.size() < 2) return false;
    login += peer.ReceiveExactly(static_cast<unsigned char>(login[1]));
    std::string length = peer.ReceiveExactly(1);
    login +=
        length + peer.ReceiveExactly(length.empty() ? 0 : static_cast<unsigned char>(length[0]));
    request += login;
    peer.Send(std::string{1, static_cast<char>(script.Socks5AuthStatus)});
    if (script.Socks5AuthStatus != 0) return false;
  }
  std::string connect = peer.ReceiveExactly(5);
  if (connect.size() < 5) return false;
  connect += peer.ReceiveExactly(static_cast<unsigned char>(connect[4]) + 2u);
  request += connect;
  std::string reply{5, static_cast<char>(script.Socks5Reply), 0,
                    static_cast<char>(script.Socks5BoundType)};
  switch (script.Socks5BoundType) {
    case 1:
      reply += std::string("\x7f\0\0\x01\x04\x38", 6);
      break;
    case 3:
      reply += std::string("\x05proxy\x04\x38", 8);
      break;
    default:
      reply += std::string(18, '\x01');
      break;
  }
  peer.Send(reply);
  return script.Socks5Reply == 0;
}

}  // namespace

TcpTestServer::Handler SocksServer(SocksScript script, std::string& request) {
  return [script, &request](TcpPeer& peer) {
    std::string version = peer.ReceiveExactly(1);
    bool granted = false;
    if (version == "\x04") granted = Socks4(peer, script, request, version);
    if (version == "\x05") granted = Socks5(peer, script, request, version);
    if (granted) LineEcho()(peer);
  };
}

}  // namespace vantro::test
