// SOCKS handshakes against the test proxy: what the client sends, and what
// each refusal or broken answer raises.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdTCPClient.h"
#include "tests/support/tcp_SocksServer.h"

namespace vantro {
namespace {

class IdSocksTest : public testing::Test {
 protected:
  // Connects the client through a proxy that follows script; returns the
  // handshake the proxy saw once the connection is gone.
  void Start(test::SocksScript script, TSocksVersion version) {
    proxy_.emplace(test::SocksServer(script, request_));
    handler_.SocksInfo().Version = version;
    handler_.SocksInfo().Host = "127.0.0.1";
    handler_.SocksInfo().Port = proxy_->Port();
    client_.SetIOHandler(&handler_);
    client_.Host = "target.example";
    client_.Port = 8080;
  }
  std::string Finish() {
    client_.CloseConnection();
    proxy_.reset();
    return request_;
  }

  // A handshake that must fail with text and leave no socket open.
  void ExpectRefused(test::SocksScript script, TSocksVersion version, const char* text) {
    Start(script, version);
    client_.Host = "localhost";  // SOCKS 4 resolves the target itself: no lookup here
    try {
      client_.OpenConnection();
      ADD_FAILURE() << "no exception for " << text;
    } catch (const EIdSocksError& e) {
      EXPECT_STREQ(e.what(), text);
    }
    EXPECT_FALSE(handler_.IsOpen());
    Finish();
  }

  std::string request_;
  std::optional<test::TcpTestServer> proxy_;
  TIdIOHandlerSocket handler_;
  TIdTCPClient client_;
};

TEST_F(IdSocksTest, Socks4AsksForTheResolvedAddress) {
  Start({}, svSocks4);
  client_.Host = "localhost";
  handler_.SocksInfo().Username = "bob";
  client_.OpenConnection();
  client_.SendLine("through");
  EXPECT_EQ(client_.ReadLine(), "through");
  EXPECT_EQ(Finish(), std::string("\x04\x01\x1f\x90\x7f\0\0\x01"
                                  "bob\0",
                                  12));
}

TEST_F(IdSocksTest, Socks4AHandsTheNameToTheProxy) {
  Start({}, svSocks4A);
  client_.OpenConnection();
  EXPECT_EQ(Finish(), std::string("\x04\x01\x1f\x90\0\0\0\x01\0target.example\0", 24));
}

TEST_F(IdSocksTest, Socks4RefusalsRaiseTheirOwnTexts) {
  const struct {
    unsigned char Code;
    const char* Text;
  } cases[] = {
      {91, "Request rejected or failed."},
      {92, "Request rejected because SOCKS server cannot connect."},
      {93, "Request rejected because the client program and identd report different user-ids."},
      {17, "Unknown socks error."}};
  for (const auto& c : cases) {
    test::SocksScript script;
    script.Socks4Reply = c.Code;
    ExpectRefused(script, svSocks4, c.Text);
  }
}

TEST_F(IdSocksTest, Socks5WithUserAndPasswordAsksForTheNameAndPort) {
  test::SocksScript script;
  script.Socks5Method = 2;
  script.Socks5BoundType = 3;
  Start(script, svSocks5);
  handler_.SocksInfo().Authentication = saUsernamePassword;
  handler_.SocksInfo().Username = "user";
  handler_.SocksInfo().Password = "pw";
  client_.OpenConnection();
  client_.SendLine("five");
  EXPECT_EQ(client_.ReadLine(), "five");
  EXPECT_EQ(Finish(), std::string("\x05\x01\x02"
                                  "\x01\x04user\x02pw"
                                  "\x05\x01\x00\x03\x0etarget.example\x1f\x90",
                                  33));
}

TEST_F(IdSocksTest, Socks5FailuresRaiseTheirOwnTexts) {
  const struct {
    unsigned char Method, AuthStatus, Reply, BoundType;
    const char* Text;
  } cases[] = {
      {2, 0, 0, 1, "Invalid socks authentication method."},
      {0, 0, 1, 1, "General SOCKS server failure."},
      {0, 0, 2, 1, "Connection not allowed by ruleset."},
      {0, 0, 3, 1, "Network unreachable."},
      {0, 0, 4, 1, "Host unreachable."},
      {0, 0, 5, 1, "Connection refused."},
      {0, 0, 6, 1, "TTL expired."},
      {0, 0, 7, 1, "Command not supported."},
      {0, 0, 8, 1, "Address type not supported."},
      {0, 0, 9, 1, "Unknown socks error."},
      {0, 0, 0, 9, "Unknown socks error."},
  };
  for (const auto& c : cases) {
    ExpectRefused({90, c.Method, c.AuthStatus, c.Reply, c.BoundType}, svSocks5, c.Text);
  }
}

TEST_F(IdSocksTest, Socks5RejectedLoginAndShortAnswers) {
  test::SocksScript script;
  script.Socks5Method = 2;
  script.Socks5AuthStatus = 1;
  Start(script, svSocks5);
  handler_.SocksInfo().Authentication = saUsernamePassword;
  try {
    client_.OpenConnection();
    ADD_FAILURE() << "no exception";
  } catch (const EIdSocksAuthError& e) {
    EXPECT_STREQ(e.what(), "Authentication error to socks server.");
  }
  Finish();

  for (const char* garbage : {"", "\x05", "\x00\x5a\x00"}) {
    test::TcpTestServer broken(test::SendAndClose(garbage));
    handler_.SocksInfo().Authentication = saNoAuthentication;
    handler_.SocksInfo().Version = svSocks5;
    handler_.SocksInfo().Port = broken.Port();
    try {
      client_.OpenConnection();
      ADD_FAILURE() << "no exception";
    } catch (const EIdSocksServerRespondError& e) {
      EXPECT_STREQ(e.what(), "Socks server did not respond.");
    }
    EXPECT_FALSE(handler_.IsOpen());
  }
}

TEST_F(IdSocksTest, NoSocksSendsNoHandshakeAndSettingsCopy) {
  std::string seen;
  {
    test::TcpTestServer server(test::Record(seen));
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.OpenConnection();
    client.SendText("plain");
    client.CloseConnection();
  }
  EXPECT_EQ(seen, "plain");
  TIdSocksInfo settings;
  settings.Version = svSocks5;
  settings.Host = "proxy";
  settings.Port = 1081;
  settings.Authentication = saUsernamePassword;
  settings.Username = std::string(4, 'u');
  settings.Password = std::string(4, 'p');
  TIdSocksInfo copy;
  copy.Assign(settings);
  EXPECT_EQ(copy.Version, svSocks5);
  EXPECT_EQ(copy.Port, 1081);
  EXPECT_EQ(copy.Password, "pppp");
  {
    TIdIOHandlerSocket handler;
    auto external = std::make_unique<TIdSocksInfo>();
    handler.SetSocksInfo(external.get());
    EXPECT_EQ(&handler.SocksInfo(), external.get());
    external.reset();  // a freed one is forgotten; a private one takes over
    EXPECT_EQ(handler.SocksInfo().Version, svNoSocks);
  }
}

}  // namespace
}  // namespace vantro
