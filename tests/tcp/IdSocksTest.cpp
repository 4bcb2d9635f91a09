// SOCKS handshakes against the test proxy: what the client sends, and what
// each refusal or broken answer raises.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdTCPClient.h"
#include "tests/support/tcp_SocksServer.h"

namespace vantro {
namespace {

using namespace std::string_literals;

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

TEST_F(IdSocksTest, Socks5RejectedLogin) {
  test::SocksScript script;
  script.Socks5Method = 2;
  script.Socks5AuthStatus = 1;
  Start(script, svSocks5);
  handler_.SocksInfo().Authentication = saUsernamePassword;
  handler_.SocksInfo().Username = "user";
  try {
    client_.OpenConnection();
    ADD_FAILURE() << "no exception";
  } catch (const EIdSocksAuthError& e) {
    EXPECT_STREQ(e.what(), "Authentication error to socks server.");
  }
  Finish();
}

// What a hostile or broken proxy answers, and what the client raises: the
// handshake must end within the connect's time-out, leave no socket open,
// and the next connect through a sound proxy works.
struct HostileSocksCase {
  const char* What;
  TSocksVersion Version;
  bool Login;
  std::vector<std::string> Replies;  // sent one by one
  bool ThenClose;                    // else the proxy waits, silent
  std::string Text;
};

const std::string kBound = "\0\0\0\0\0\0"s;  // an IPv4 address and port after a reply
const std::string kDidNotRespond = "Socks server did not respond.";
const std::string kUnknown = "Unknown socks error.";

const HostileSocksCase kHostileSocksCases[] = {
    {"silence", svSocks5, false, {}, false, kDidNotRespond},
    {"a close at once", svSocks5, false, {}, true, kDidNotRespond},
    {"one byte, then a close", svSocks5, false, {"\x05"s}, true, kDidNotRespond},
    {"method chosen, then silence", svSocks5, false, {"\x05\x00"s}, false, kDidNotRespond},
    {"half a connect reply, then silence",
     svSocks5,
     false,
     {"\x05\x00"s, "\x05\x00"s},
     false,
     kDidNotRespond},
    {"login accepted, then silence",
     svSocks5,
     true,
     {"\x05\x02"s, "\x01\x00"s},
     false,
     kDidNotRespond},
    {"SOCKS 4 silence", svSocks4A, false, {}, false, kDidNotRespond},
    {"close inside the bound address",
     svSocks5,
     false,
     {"\x05\x00"s, "\x05\x00\x00\x01\x7f"s},
     true,
     kDidNotRespond},
    {"method reply version 4", svSocks5, false, {"\x04\x00"s}, false, kUnknown},
    {"method reply version 9", svSocks5, false, {"\x09\x00"s}, false, kUnknown},
    {"method reply version 0", svSocks5, false, {"\x00\x5a\x00"s}, false, kUnknown},
    {"connect reply version 4",
     svSocks5,
     false,
     {"\x05\x00"s, "\x04\x00\x00\x01"s + kBound},
     false,
     kUnknown},
    {"connect reply version 9",
     svSocks5,
     false,
     {"\x05\x00"s, "\x09\x00\x00\x01"s + kBound},
     false,
     kUnknown},
    {"login reply version 7", svSocks5, true, {"\x05\x02"s, "\x07\x00"s}, false, kUnknown},
    {"SOCKS 4 reply version 5", svSocks4A, false, {"\x05\x5a"s + kBound}, false, kUnknown},
    {"no acceptable method",
     svSocks5,
     false,
     {"\x05\xff"s},
     false,
     "Invalid socks authentication method."},
    {"unknown bound address type",
     svSocks5,
     false,
     {"\x05\x00"s, "\x05\x00\x00\x09"s + kBound},
     false,
     kUnknown},
};

TEST_F(IdSocksTest, HostileRepliesEndWithinTheConnectTimeout) {
  constexpr int kConnectTimeoutMs = 600;
  for (const HostileSocksCase& c : kHostileSocksCases) {
    SCOPED_TRACE(c.What);
    std::vector<std::string> replies = c.Replies;
    const bool closes = !replies.empty() && replies.back() == "!";
    if (closes) replies.pop_back();
    {
      test::TcpTestServer proxy(
          closes ? test::SendAndClose(replies.empty() ? "" : replies[0] + replies[1])
                 : test::SendPieces(replies, 0));
      handler_.SocksInfo().Version = c.Version;
      handler_.SocksInfo().Host = "127.0.0.1";
      handler_.SocksInfo().Port = proxy.Port();
      handler_.SocksInfo().Authentication = c.Login ? saUsernamePassword : saNoAuthentication;
      handler_.SocksInfo().Username = "user";
      client_.SetIOHandler(&handler_);
      client_.Host = "target.example";
      client_.Port = 8080;
      const auto started = std::chrono::steady_clock::now();
      try {
        client_.OpenConnection(kConnectTimeoutMs);
        ADD_FAILURE() << "no exception";
      } catch (const EIdSocksError& e) {
        EXPECT_EQ(e.what(), c.Text);
      }
      EXPECT_LT(std::chrono::steady_clock::now() - started,
                std::chrono::milliseconds(kConnectTimeoutMs + 400));
      EXPECT_FALSE(handler_.IsOpen());
    }
    // The next connect on the same client, through a sound proxy.
    Start({}, svSocks5);
    handler_.SocksInfo().Authentication = saNoAuthentication;
    client_.OpenConnection(kConnectTimeoutMs);
    client_.SendLine("after");
    EXPECT_EQ(client_.ReadLine(), "after");
    Finish();
  }
}

// Settings the protocol cannot carry raise before a byte is sent.
TEST_F(IdSocksTest, FieldsTooLongForTheProtocolAreRefusedBeforeSending) {
  const std::string long256(256, 'x');
  const struct {
    TSocksVersion Version;
    bool Login;
    std::string User, Password, Host;
    const char* Text;
  } cases[] = {
      {svSocks5, false, "", "", long256, "The SOCKS 5 host name must be 1 to 255 bytes long."},
      {svSocks5, true, "", "pw", "target.example",
       "The SOCKS 5 user name must be 1 to 255 bytes long."},
      {svSocks5, true, long256, "pw", "target.example",
       "The SOCKS 5 user name must be 1 to 255 bytes long."},
      {svSocks5, true, "user", long256, "target.example",
       "The SOCKS 5 password must be at most 255 bytes long."},
      {svSocks4A, false, std::string("bob\0x", 5), "", "target.example",
       "The SOCKS 4 user name and host name cannot hold a NUL byte."},
      {svSocks4A, false, "bob", "", std::string("a\0b", 3),
       "The SOCKS 4 user name and host name cannot hold a NUL byte."},
  };
  for (const auto& c : cases) {
    std::string received;
    {
      test::TcpTestServer proxy(test::Record(received));
      handler_.SocksInfo().Version = c.Version;
      handler_.SocksInfo().Host = "127.0.0.1";
      handler_.SocksInfo().Port = proxy.Port();
      handler_.SocksInfo().Authentication = c.Login ? saUsernamePassword : saNoAuthentication;
      handler_.SocksInfo().Username = c.User;
      handler_.SocksInfo().Password = c.Password;
      client_.SetIOHandler(&handler_);
      client_.Host = c.Host;
      try {
        client_.OpenConnection();
        ADD_FAILURE() << "no exception for " << c.Text;
      } catch (const EIdSocksError& e) {
        EXPECT_STREQ(e.what(), c.Text);
      }
    }
    EXPECT_EQ(received, "") << c.Text;
  }
  // 255 bytes are fine.
  test::SocksScript script;
  script.Socks5Method = 2;
  Start(script, svSocks5);
  handler_.SocksInfo().Authentication = saUsernamePassword;
  handler_.SocksInfo().Username = std::string(255, 'u');
  handler_.SocksInfo().Password = std::string(255, 'p');
  client_.Host = std::string(255, 'h');
  client_.OpenConnection();
  EXPECT_EQ(Finish().size(), 3u + 2 + 255 + 1 + 255 + 5 + 255 + 2);
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
