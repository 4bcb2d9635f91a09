#include "tests/support/tcp_TestSocket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <initializer_list>

namespace vantro::test {

namespace {

#ifdef _WIN32
using Native = SOCKET;
using Length = int;
struct TStartup {
  TStartup() {
    WSADATA data;
    WSAStartup(0x0202, &data);
  }
} startup;
void SetBlocking(Native s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
}
#else
using Native = int;
using Length = socklen_t;
void SetBlocking(Native s, bool blocking) {
  int flags = fcntl(s, F_GETFL);
  fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}
#endif

#ifdef MSG_NOSIGNAL
constexpr int kNoSignal = MSG_NOSIGNAL;  // a client that left must not kill the test
#else
constexpr int kNoSignal = 0;
#endif

Native N(RawSocket s) {
  return static_cast<Native>(s);
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(0x7f000001);
  return addr;
}

RawSocket NewStream() {
  Native s = socket(AF_INET, SOCK_STREAM, 0);
#ifdef _WIN32
  return s == INVALID_SOCKET ? kNoSocket : static_cast<RawSocket>(s);
#else
  return s;
#endif
}

// Readable (or writable) within ms.
bool WaitFor(RawSocket s, bool write, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(N(s), &set);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  return select(static_cast<int>(N(s)) + 1, write ? nullptr : &set, write ? &set : nullptr, nullptr,
                &limit) == 1;
}

}  // namespace

RawSocket BindLoopback(int port) {
  RawSocket s = NewStream();
  sockaddr_in addr = Loopback(port);
  if (bind(N(s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    CloseRaw(s);
    return kNoSocket;
  }
  return s;
}

RawSocket ListenLoopback(int backlog, int& port) {
  RawSocket s = BindLoopback(0);
  listen(N(s), backlog);
  sockaddr_in addr;
  Length length = sizeof addr;
  getsockname(N(s), reinterpret_cast<sockaddr*>(&addr), &length);
  port = ntohs(addr.sin_port);
  return s;
}

RawSocket AcceptWithin(RawSocket listening, int ms) {
  if (!WaitFor(listening, false, ms)) return kNoSocket;
  Native s = accept(N(listening), nullptr, nullptr);
#ifdef _WIN32
  return s == INVALID_SOCKET ? kNoSocket : static_cast<RawSocket>(s);
#else
  return s;
#endif
}

void CloseRaw(RawSocket socket) {
  if (socket == kNoSocket) return;
#ifdef _WIN32
  closesocket(N(socket));
#else
  close(N(socket));
#endif
}

void ResetRaw(RawSocket socket) {
  if (socket == kNoSocket) return;
  // A zero linger time makes the close a reset.
  linger none{};
  none.l_onoff = 1;
  none.l_linger = 0;
  setsockopt(N(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&none), sizeof none);
  CloseRaw(socket);
}

void SetSocketTimeouts(RawSocket socket, int ms) {
#ifdef _WIN32
  DWORD limit = static_cast<DWORD>(ms);
#else
  timeval limit{ms / 1000, (ms % 1000) * 1000};
#endif
  for (const int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
    setsockopt(N(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit);
  }
}

bool SendAllRaw(RawSocket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    int n =
        static_cast<int>(send(N(socket), bytes.data(), static_cast<int>(bytes.size()), kNoSignal));
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ReceiveRaw(RawSocket socket, int max) {
  std::string bytes(static_cast<std::size_t>(max), '\0');
  int n = static_cast<int>(recv(N(socket), bytes.data(), max, 0));
  bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return bytes;
}

bool ConnectLoopbackWithin(RawSocket& socket, int port, int ms) {
  socket = NewStream();
  SetBlocking(N(socket), false);
  sockaddr_in addr = Loopback(port);
  connect(N(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  return WaitFor(socket, true, ms);
}

int UnusedPort() {
  int port = 0;
  RawSocket s = ListenLoopback(1, port);
  CloseRaw(s);
  return port;
}

}  // namespace vantro::test
