// Work on several threads at once: clients sharing the socket stack, and a
// cookie store read by other threads while the exchange's thread writes it.
// The sanitizer builds watch the stack's lock, the store's lock and the
// connect threads here.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/tcp_TestServer.h"

namespace vantro {
namespace {

// Answers every request with a cookie of its own and a close.
class CookieServer {
 public:
  CookieServer()
      : server_(
            [this](test::TcpPeer& peer) {
              while (peer.ReceiveLine().size() > 1) {
              }
              const std::string n = std::to_string(answered_++);
              peer.Send("HTTP/1.1 200 OK\r\nConnection: close\r\nSet-Cookie: c" + n + "=" + n +
                        "; path=/\r\nContent-Length: " + std::to_string(n.size()) + "\r\n\r\n" + n);
            },
            32) {}
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.Port()) + "/"; }
  int Answered() const { return answered_.load(); }

 private:
  std::atomic<int> answered_{0};
  test::TcpTestServer server_;
};

TEST(HTTPConcurrentClients, ShareTheSocketStack) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 25;
  CookieServer server;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      // Made and freed on this thread: the shared stack is taken and let go here.
      TIdHTTP http;
      test::UseLauncherSettings(http);
      for (int i = 0; i < kCalls; ++i) {
        try {
          if (http.GetText(server.Url()).empty()) ++failures;
        } catch (const std::exception&) {
          ++failures;
        }
      }
      if (http.CookieManager()->CookieCollection().Count() != kCalls) ++failures;
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(server.Answered(), kThreads * kCalls);
}

// The store's lock lets other threads build Cookie headers while the thread
// of the exchange takes new cookies, replacing older ones of the same name.
TEST(HTTPConcurrentCookies, HeadersAreBuiltWhileCookiesArrive) {
  constexpr int kNames = 20;
  TIdCookieManager cookies;
  std::atomic<bool> done{false};
  std::atomic<int> built{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      const TIdURI target("http://127.0.0.1/page");
      while (!done) {
        if (cookies.BuildCookieHeader(target, false).find('=') != std::string::npos) ++built;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    const std::string n = std::to_string(i % kNames);
    cookies.AcceptSetCookie("c" + n + "=" + std::to_string(i) + "; path=/", "127.0.0.1");
  }
  done = true;
  for (std::thread& reader : readers)
    reader.join();
  EXPECT_EQ(cookies.CookieCollection().Count(), kNames);
  const std::string header = cookies.BuildCookieHeader(TIdURI("http://127.0.0.1/"), false);
  EXPECT_NE(header.find("c0=1980"), std::string::npos) << header;
}

}  // namespace
}  // namespace vantro
