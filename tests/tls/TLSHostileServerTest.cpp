// Servers that break the TLS handshake. Each case ends within the client's
// read time-out in a TLS error naming the host, before any byte of the
// request left, and the same client makes its next call as usual.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/tcp_TestServer.h"

namespace vantro {
namespace {

using test::TcpPeer;
using test::TcpTestServer;

struct HostileCase {
  const char* Name;
  // What the server does once the client's first bytes came.
  std::function<void(TcpPeer& peer)> Act;
  // A text the error message holds besides the host.
  const char* Says;
};

// A record header that promises a handshake message of 0x40 bytes.
const std::string kHalfServerHello =
    std::string("\x16\x03\x03\x00\x40\x02\x00\x00\x3c\x03\x03", 11);

// Keeps the connection open, sending nothing, until the client goes.
void Stall(TcpPeer& peer) {
  while (!peer.Receive().empty()) {
  }
}

const HostileCase kCases[] = {
    {"garbage instead of a ServerHello",
     [](TcpPeer& p) { p.Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n"); }, ""},
    {"garbage in a handshake record",
     [](TcpPeer& p) {
       p.Send(std::string("\x16\x03\x03\x00\x08", 5) + "\xff\xff\xff\xff\xff\xff\xff\xff");
     },
     ""},
    {"close before the ServerHello", [](TcpPeer& p) { p.Close(); }, ""},
    {"close in the middle of the ServerHello",
     [](TcpPeer& p) {
       p.Send(kHalfServerHello);
       p.Close();
     },
     ""},
    {"stall before the ServerHello", Stall, "Read Timeout"},
    {"stall in the middle of the ServerHello",
     [](TcpPeer& p) {
       p.Send(kHalfServerHello);
       Stall(p);
     },
     "Read Timeout"},
};

class TLSHostileServer : public testing::TestWithParam<HostileCase> {};

TEST_P(TLSHostileServer, FailsTheHandshakeClearlyAndTheClientGoesOn) {
  const HostileCase& c = GetParam();
  std::mutex mutex;
  std::string received;
  TcpTestServer hostile([&](TcpPeer& peer) {
    std::string first = peer.Receive();
    {
      const std::lock_guard<std::mutex> lock(mutex);
      received = first;
    }
    c.Act(peer);
    while (!first.empty()) {
      first = peer.Receive();
      const std::lock_guard<std::mutex> lock(mutex);
      received += first;
    }
  });
  test::HttpScriptedServer plain({{test::HttpAnswer("HTTP/1.1 200 OK", "plain")}});

  TIdSSLIOHandlerSocket tls;
  TIdHTTP http;
  test::UseLauncherSettings(http);
  http.ReadTimeout = 300;
  http.SetIOHandler(&tls);
  const auto failure = test::Raised<EIdSSLProtocolReplyError>(
      [&] { http.GetText("https://127.0.0.1:" + std::to_string(hostile.Port()) + "/secret"); });
  EXPECT_EQ(std::string(failure.Message()).rfind("127.0.0.1: ", 0), 0u) << failure.Message();
  EXPECT_NE(std::string(failure.Message()).find(c.Says), std::string::npos) << failure.Message();
  EXPECT_FALSE(http.IsConnected());

  EXPECT_EQ(http.GetText(plain.Url("/")), "plain");
  http.CloseConnection();
  const std::lock_guard<std::mutex> lock(mutex);
  // A ClientHello came, and nothing of the request.
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0], '\x16');
  EXPECT_EQ(received.find("secret"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, TLSHostileServer, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                           std::string name = info.param.Name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace vantro
