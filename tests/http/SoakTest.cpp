// Many GETs on one client over kept connections, server-side closes and
// reconnects: open handles and heap in use must not grow with the count.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/tcp_TestServer.h"

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#else
#include <filesystem>
#if defined(__GLIBC__) && !defined(VANTRO_SOAK_UNDER_SANITIZER)
#include <malloc.h>
#define VANTRO_SOAK_HEAP 1
#endif
#endif

#ifndef VANTRO_SOAK_GETS
#define VANTRO_SOAK_GETS 10000
#endif

namespace vantro {
namespace {

using test::TcpPeer;
using test::TcpTestServer;

#ifdef _WIN32
// Wine answers GetProcessHandleCount with 0: there, count the handle values
// that are sockets by asking each one for its socket type.
long OpenSockets() {
  long count = 0;
  for (UINT_PTR h = 4; h < 0x10000; h += 4) {
    int type = 0, size = sizeof type;
    if (getsockopt(static_cast<SOCKET>(h), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                   &size) == 0) {
      ++count;
    }
  }
  return count;
}
#endif

// Sockets, and on Windows every other kernel handle too.
long OpenHandles() {
#ifdef _WIN32
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) {
    return static_cast<long>(count);
  }
  return OpenSockets();
#else
  long count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
#endif
}

// The server thread lets go of a connection only once it has seen the
// client's close: give it a moment before counting.
long SettledHandles(long target) {
  long now = OpenHandles();
  for (int i = 0; i < 100 && now > target; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    now = OpenHandles();
  }
  return now;
}

int SoakCount() {
  const char* text = std::getenv("VANTRO_SOAK_GETS");
  return text != nullptr ? std::atoi(text) : VANTRO_SOAK_GETS;
}

// The nth answer of the soak: mostly kept connections, with answers that
// close (announced or delimiting the body) and chunked ones between them.
std::string SoakAnswer(int n) {
  const std::string body = "body " + std::to_string(n);
  if (n % 10 == 9) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  }
  if (n % 25 == 12) return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body;
  if (n % 10 == 4) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nSet-Cookie: n=" + std::to_string(n) +
           "\r\n\r\n" + "5\r\nbody \r\n" + std::to_string(body.size() - 5) + "\r\n" +
           body.substr(5) + "\r\n0\r\n\r\n";
  }
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool Closes(int n) {
  return n % 10 == 9 || n % 25 == 12;
}

class SoakServer {
 public:
  SoakServer() : server_([this](TcpPeer& peer) { Serve(peer); }) {}
  int Port() const { return server_.Port(); }
  int Connections() const { return server_.Accepted(); }

 private:
  void Serve(TcpPeer& peer) {
    for (;;) {
      std::string line = peer.ReceiveLine();
      if (line.empty()) return;
      while (!line.empty() && line != "\r")
        line = peer.ReceiveLine();
      const int n = answered_++;
      if (!peer.Send(SoakAnswer(n)) || Closes(n)) return;
    }
  }

  std::atomic<int> answered_{0};
  TcpTestServer server_;
};

TEST(HTTPSoak, HandlesAndHeapStayFlatOverManyGets) {
  const int count = SoakCount();
  ASSERT_GT(count, 100);
  SoakServer server;
  TIdHTTP http;
  test::UseLauncherSettings(http);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/soak";

  // The first calls make what lives as long as the client (cookie store,
  // the stack, buffers grown to their working size).
  const int warmUp = 50;
  for (int n = 0; n < warmUp; ++n)
    ASSERT_EQ(http.GetText(url), "body " + std::to_string(n));
  http.CloseConnection();
  const long handlesBefore = SettledHandles(0);
#ifdef VANTRO_SOAK_HEAP
  const std::size_t heapBefore = mallinfo2().uordblks;
#endif

  ASSERT_GT(handlesBefore, 0);  // the server's listening socket at least
  long handlesAtMost = handlesBefore;
  for (int n = warmUp; n < count; ++n) {
    ASSERT_EQ(http.GetText(url), "body " + std::to_string(n));
    if (n % 1000 == 0) handlesAtMost = std::max(handlesAtMost, OpenHandles());
  }
  http.CloseConnection();

  // A new connection after every close but the last, and after the warm-up.
  int connections = Closes(warmUp - 1) ? 1 : 2;
  for (int n = 0; n < count - 1; ++n)
    connections += Closes(n) ? 1 : 0;
  EXPECT_EQ(server.Connections(), connections);
  // At most the client's connection and the server's end of it beside the start.
  EXPECT_LE(handlesAtMost, handlesBefore + 2);
  EXPECT_EQ(SettledHandles(handlesBefore), handlesBefore);
#ifdef VANTRO_SOAK_HEAP
  // A leak of a few bytes per call would show as tens of KiB here.
  const std::size_t heapAfter = mallinfo2().uordblks;
  EXPECT_LT(heapAfter, heapBefore + 16 * 1024);
  std::printf("soak: heap in use %zu -> %zu bytes\n", heapBefore, heapAfter);
#endif
  RecordProperty("gets", count);
  RecordProperty("connections", server.Connections());
  std::printf("soak: %d GETs over %d connections, handles %ld -> %ld (at most %ld)\n", count,
              server.Connections(), handlesBefore, OpenHandles(), handlesAtMost);
}

}  // namespace
}  // namespace vantro
