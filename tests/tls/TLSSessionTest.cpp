// The handler against a real TLS server (OpenSSL's, in this process) with
// certificates of a throwaway CA: verification, keep-alive, the two ways a
// TLS connection can end, decrypted bytes that wait, and the tunnel.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/tls/TLSTestServer.h"

namespace vantro {
namespace {

using test::CertificateRecipe;
using test::HttpAnswer;
using test::TlsPeer;
using test::TlsTestServer;

// Answers every request with the same bytes until the client goes.
TlsTestServer::Script Answer(std::string answer) {
  return [answer](TlsPeer& peer) {
    while (!peer.ReadHead().empty() && peer.Send(answer)) {
    }
  };
}

class TLSSession : public testing::Test {
 protected:
  TLSSession() {
    test::UseLauncherSettings(http);
    tls.CAFile = ca.RootFile();
    http.SetIOHandler(&tls);
  }
  std::string Url(const TlsTestServer& server, const std::string& host = "127.0.0.1") {
    return "https://" + host + ":" + std::to_string(server.Port()) + "/";
  }
  // A server or proxy that lives until the client has closed its connection.
  template <class T, class... Args>
  T& Start(Args&&... args) {
    auto made = std::make_shared<T>(std::forward<Args>(args)...);
    peers.push_back(made);
    return *made;
  }

  test::TestCA ca;
  std::vector<std::shared_ptr<void>> peers;
  TIdSSLIOHandlerSocket tls;
  TIdHTTP http;
};

TEST_F(TLSSession, ClosingSendsCloseNotify) {
  std::promise<bool> closeNotify;
  auto& server = Start<TlsTestServer>(ca.ServerContext({}), [&](TlsPeer& peer) {
    if (peer.ReadHead().empty() || !peer.Send(HttpAnswer("HTTP/1.1 200 OK", "body"))) return;
    closeNotify.set_value(peer.ClientSentCloseNotify());
  });
  EXPECT_EQ(http.GetText(Url(server)), "body");
  http.CloseConnection();
  auto seen = closeNotify.get_future();
  ASSERT_EQ(seen.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(seen.get());
}

TEST_F(TLSSession, KeepAliveReusesOneConnectionAndOneHandshake) {
  auto& server =
      Start<TlsTestServer>(ca.ServerContext({}), Answer(HttpAnswer("HTTP/1.1 200 OK", "again")));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(http.GetText(Url(server) + std::to_string(i)), "again");
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(server.Handshakes(), 1);
}

struct CertificateCase {
  const char* Name;
  CertificateRecipe Recipe;
  const char* Host;
  bool TrustCA, Verify;
  // Empty: the call succeeds.
  const char* Message;
};

const CertificateCase kCertificates[] = {
    {"trusted_ip", {}, "127.0.0.1", true, true, ""},
    {"trusted_name", {}, "localhost", true, true, ""},
    {"unknown_ca", {}, "127.0.0.1", false, true, "127.0.0.1: certificate not trusted"},
    {"other_name",
     {{"DNS:other.example"}},
     "localhost",
     true,
     true,
     "certificate is for other.example, not localhost"},
    {"other_address",
     {{"IP:127.0.0.2"}},
     "127.0.0.1",
     true,
     true,
     "certificate is for 127.0.0.2, not 127.0.0.1"},
    {"name_for_an_address",
     {{"DNS:127.0.0.1"}},
     "127.0.0.1",
     true,
     true,
     "certificate is for 127.0.0.1, not 127.0.0.1"},
    {"expired",
     {.ValidFromDays = -30, .ValidToDays = -1},
     "127.0.0.1",
     true,
     true,
     "127.0.0.1: certificate expired"},
    {"not_yet_valid",
     {.ValidFromDays = 1, .ValidToDays = 30},
     "127.0.0.1",
     true,
     true,
     "127.0.0.1: certificate not yet valid"},
    {"unchecked", {{"DNS:other.example"}}, "127.0.0.1", false, false, ""},
};

class TLSCertificate : public TLSSession, public testing::WithParamInterface<CertificateCase> {};

TEST_P(TLSCertificate, IsCheckedBeforeTheRequestGoes) {
  const CertificateCase& c = GetParam();
  auto& server = Start<TlsTestServer>(ca.ServerContext(c.Recipe),
                                      Answer(HttpAnswer("HTTP/1.1 200 OK", "body")));
  if (!c.TrustCA) tls.CAFile.clear();
  tls.VerifyPeer = c.Verify;
  if (*c.Message == '\0') {
    EXPECT_EQ(http.GetText(Url(server, c.Host)), "body");
    return;
  }
  const auto failure =
      test::Raised<EIdSSLProtocolReplyError>([&] { http.GetText(Url(server, c.Host)); });
  EXPECT_EQ(failure.Message(), c.Message);
  EXPECT_EQ(server.Handshakes(), 0);
  EXPECT_FALSE(http.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Cases, TLSCertificate, testing::ValuesIn(kCertificates),
                         [](const auto& info) { return std::string(info.param.Name); });

struct EndingCase {
  const char* Name;
  bool CloseNotify;
  std::string Answer;
  bool Whole;
};

const EndingCase kEndings[] = {
    {"close_notify_ends_a_close_delimited_body", true,
     "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nall of it", true},
    {"tcp_close_ends_a_close_delimited_body", false,
     "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nall of it", true},
    {"close_notify_cuts_a_counted_body", true,
     "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\nall of it", false},
    {"tcp_close_cuts_a_counted_body", false,
     "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\nall of it", false},
};

class TLSEnding : public TLSSession, public testing::WithParamInterface<EndingCase> {};

TEST_P(TLSEnding, TheFramingDecidesWhetherTheBodyIsWhole) {
  const EndingCase& c = GetParam();
  auto& server = Start<TlsTestServer>(ca.ServerContext({}), [&c](TlsPeer& peer) {
    if (peer.ReadHead().empty()) return;
    peer.Send(c.Answer);
    if (c.CloseNotify) peer.SendCloseNotify();
  });
  TMemoryStream body;
  if (c.Whole) {
    http.GetToStream(Url(server), body);
  } else {
    EXPECT_THROW(http.GetToStream(Url(server), body), EIdHTTPFramingError);
  }
  EXPECT_EQ(body.Bytes(), "all of it");
  // The next call finds the connection closed and opens another.
  body.Clear();
  try {
    http.GetToStream(Url(server), body);
  } catch (const EIdHTTPFramingError&) {
  }
  EXPECT_EQ(body.Bytes(), "all of it");
  EXPECT_EQ(server.Connections(), 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, TLSEnding, testing::ValuesIn(kEndings),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TLSSession, DecryptedBytesThatWaitMakeTheHandlerReadable) {
  auto& server = Start<TlsTestServer>(ca.ServerContext({}), [](TlsPeer& peer) {
    peer.Send("twelve bytes");
    peer.ClientSentCloseNotify();
  });
  TIdTCPClient client;
  TIdSSLIOHandlerSocket handler;
  handler.PassThrough = false;
  handler.CAFile = ca.RootFile();
  client.SetIOHandler(&handler);
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.ReadTimeout = 2000;
  // Four bytes a receive: the rest of the record waits inside the session,
  // with nothing more on the socket.
  client.RecvBufferSize = 4;
  client.OpenConnection();
  char bytes[12];
  client.ReadExact(bytes, sizeof bytes);
  EXPECT_EQ(std::string(bytes, sizeof bytes), "twelve bytes");
  client.CloseConnection();
}

TEST_F(TLSSession, ALargeCertificateChainIsRefusedClearly) {
  auto& server = Start<TlsTestServer>(ca.ServerContext({.Padding = 120 * 1024}),
                                      Answer(HttpAnswer("HTTP/1.1 200 OK", "body")));
  auto& good =
      Start<TlsTestServer>(ca.ServerContext({}), Answer(HttpAnswer("HTTP/1.1 200 OK", "good")));
  const auto failure = test::Raised<EIdSSLProtocolReplyError>([&] { http.GetText(Url(server)); });
  EXPECT_EQ(failure.Message().rfind("127.0.0.1: ", 0), 0u) << failure.Message();
  EXPECT_EQ(http.GetText(Url(good)), "good");
}

TEST_F(TLSSession, AKeptTunnelCarriesTheNextRequestToItsOriginOnly) {
  auto& origin = Start<TlsTestServer>(ca.ServerContext({}),
                                      Answer(HttpAnswer("HTTP/1.1 200 OK", "tunnelled")));
  auto& proxy = Start<test::ConnectProxy>(origin.Port());
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  // The proxy's name is not what the certificate holds: the target's is.
  EXPECT_EQ(http.GetText("https://localhost:" + std::to_string(origin.Port()) + "/1"), "tunnelled");
  EXPECT_EQ(http.GetText("https://localhost:" + std::to_string(origin.Port()) + "/2"), "tunnelled");
  EXPECT_EQ(proxy.Connections(), 1);
  EXPECT_EQ(origin.Handshakes(), 1);
  // Another origin needs a tunnel of its own.
  EXPECT_EQ(http.GetText("https://127.0.0.1:" + std::to_string(origin.Port()) + "/3"), "tunnelled");
  EXPECT_EQ(proxy.Connections(), 2);
  const auto lines = proxy.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "CONNECT localhost:" + std::to_string(origin.Port()) + " HTTP/1.1\r");
}

TEST_F(TLSSession, RedirectsCrossBetweenSchemesWithoutTakingCredentials) {
  auto& secure = Start<TlsTestServer>(ca.ServerContext({}), [](TlsPeer& peer) {
    const std::string head = peer.ReadHead();
    const bool sentCredentials = head.find("Authorization:") != std::string::npos;
    peer.Send(HttpAnswer("HTTP/1.1 200 OK", sentCredentials ? "leaked" : "secure"));
  });
  auto& plain = Start<test::HttpScriptedServer>(std::vector<test::ScriptedReply>{
      {HttpAnswer("HTTP/1.1 302 Found", "",
                  "Location: https://127.0.0.1:" + std::to_string(secure.Port()) + "/s\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "plain again")}});
  http.HandleRedirects = true;
  http.Request().Username = "user";
  http.Request().Password = "secret";
  http.Request().BasicAuthentication = true;
  EXPECT_EQ(http.GetText(plain.Url("/")), "secure");
  // And back to plain HTTP: a new connection, no TLS on it.
  EXPECT_EQ(http.GetText(plain.Url("/back")), "plain again");
  EXPECT_EQ(plain.Connections(), 2);
}

}  // namespace
}  // namespace vantro
