// The client over real loopback sockets against the test servers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdStack.h"
#include "tcp/IdTCPClient.h"
#include "tests/support/tcp_TestServer.h"

namespace vantro {
namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TIdIOHandlerSocket& SocketHandler(TIdTCPClient& client) {
  return dynamic_cast<TIdIOHandlerSocket&>(*client.IOHandler());
}

TEST(IdTCPClient, ConnectsEchoesAndReportsEachStep) {
  test::TcpTestServer server(test::LineEcho());
  TIdTCPClient client;
  std::vector<std::string> statuses;
  client.OnStatus = [&](TIdComponent&, TIdStatus, const std::string& text) {
    statuses.push_back(text);
  };
  int connected = 0;
  client.OnConnected = [&](TIdComponent&) { ++connected; };
  client.Host = "LocalHost";
  client.Port = server.Port();
  client.OpenConnection();
  EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname LocalHost.",
                                                "Connecting to 127.0.0.1.", "Connected."}));
  EXPECT_EQ(connected, 1);
  client.SendLine("hello");
  EXPECT_EQ(client.ReadLine(), "hello");
  try {
    client.OpenConnection();
    ADD_FAILURE() << "no exception";
  } catch (const EIdAlreadyConnected& e) {
    EXPECT_STREQ(e.what(), "Already connected.");
  }
  EXPECT_EQ(SocketHandler(client).Endpoint()->RemotePort, server.Port());
  client.CloseConnection();
  EXPECT_EQ(client.IOHandler(), nullptr);  // the owned handler goes with the connection
  EXPECT_EQ(statuses.back(), "Disconnected.");

  statuses.clear();
  client.Host = "127.0.0.1";  // dotted: no lookup and no resolving step
  client.OpenConnection(2000);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected."}));
  client.SendLine("again");
  EXPECT_EQ(client.ReadLine(), "again");
  client.CloseConnection();
}

TEST(IdTCPClient, RefusedConnectsRaiseTheSocketErrorAndLeaveTheClientReusable) {
  test::TcpTestServer server(test::LineEcho());
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = test::UnusedPort();
  try {
    client.OpenConnection();
    ADD_FAILURE() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10061);
    EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
  }
  ASSERT_NE(client.IOHandler(), nullptr);
  EXPECT_FALSE(client.IOHandler()->IsOpen());
  const auto start = Clock::now();
  try {
    client.OpenConnection(5000);
    ADD_FAILURE() << "no exception";
  } catch (const EIdConnectException& e) {
    EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_FALSE(client.IOHandler()->IsOpen());
  client.Port = server.Port();
  client.OpenConnection();
  client.SendLine("reused");
  EXPECT_EQ(client.ReadLine(), "reused");
}

TEST(IdTCPClient, UnansweredConnectTimesOutAndLeavesNoSocket) {
  test::UnansweredPort silent;
  ASSERT_TRUE(silent.Ready()) << "could not fill the accept queue";
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = silent.Port();
  const auto start = Clock::now();
  try {
    client.OpenConnection(600);
    ADD_FAILURE() << "no exception";
  } catch (const EIdConnectTimeout& e) {
    EXPECT_STREQ(e.what(), "Connect timed out.");
  }
  const long long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 550);
  EXPECT_LT(elapsed, 3000);
  EXPECT_FALSE(client.IOHandler()->IsOpen());
  test::TcpTestServer server(test::LineEcho());
  client.Port = server.Port();
  client.OpenConnection(2000);
  client.SendLine("after");
  EXPECT_EQ(client.ReadLine(), "after");
  client.CloseConnection();
}

TEST(IdTCPClient, LinesInOddFragmentsAndAPeerThatClosesMidLine) {
  test::TcpTestServer server(test::SendPieces({"li", "ne1\r", "\nline2\n", "ta", "il"}, 30));
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  EXPECT_EQ(client.ReadLine(), "line1");
  EXPECT_EQ(client.ReadLine(), "line2");
  client.CloseConnection();

  test::TcpTestServer closer(test::SendAndClose("HEAD\r\npart"));
  client.Port = closer.Port();
  client.OpenConnection();
  EXPECT_EQ(client.ReadLine(), "HEAD");
  EXPECT_EQ(client.ReadLine(), "");
  EXPECT_TRUE(client.LineGaveUp());
  EXPECT_THROW(client.ReadLine(), EIdConnClosedGracefully);
  TMemoryStream body;
  EXPECT_THROW(client.ReadToStream(body, 10), EIdConnClosedGracefully);
  EXPECT_EQ(body.ToString(), "part");
}

TEST(IdTCPClient, ReadTimeoutLimitsEachWait) {
  std::string ignored;
  {
    test::TcpTestServer server(test::Record(ignored));
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.ReadTimeout = 300;
    client.OpenConnection();
    const auto start = Clock::now();
    EXPECT_THROW(client.ReadLine(), EIdReadTimeout);
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_TRUE(client.IsConnected());  // a time-out is no close
    client.CloseConnection();
  }
}

TEST(IdTCPClient, LargeBodiesArriveWholeUntilCloseAndByCount) {
  std::string body(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>(i * 131 % 251);
  test::TcpTestServer server(test::SendAndClose("LEN\n" + body));
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  EXPECT_EQ(client.ReadLine(), "LEN");
  TMemoryStream first;
  client.ReadToStream(first, 1000000);
  TMemoryStream rest;
  client.ReadToStream(rest, -1, true);
  EXPECT_EQ(first.ToString() + rest.ToString(), body);
  EXPECT_FALSE(client.IsConnected());

  EXPECT_EQ(client.FetchAll(), "LEN\n" + body);
  EXPECT_EQ(client.IOHandler(), nullptr);
}

TEST(IdTCPClient, BindsTheLocalRangeAndSwitchesNagleOff) {
  test::TcpTestServer server(test::LineEcho());
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  const int low = test::UnusedPort();
  client.BoundIP = "127.0.0.1";
  client.BoundPortLow = low > 65000 ? 40000 : low;
  client.BoundPortHigh = client.BoundPortLow + 5;
  auto handler = std::make_unique<TIdIOHandlerSocket>();
  handler->UseNagle = false;
  client.SetIOHandler(handler.get());
  client.OpenConnection();
  const int port = handler->Endpoint()->Port;
  EXPECT_GE(port, client.BoundPortLow);
  EXPECT_LE(port, client.BoundPortHigh);
  int noDelay = 0;
  int length = sizeof noDelay;
  GStack()->GetSocketOption(handler->Endpoint()->SocketId(), Id_IPPROTO_TCP, Id_TCP_NODELAY,
                            &noDelay, length);
  EXPECT_NE(noDelay, 0);
  client.SendLine("bound");
  EXPECT_EQ(client.ReadLine(), "bound");
  client.CloseConnection();
  EXPECT_EQ(client.IOHandler(), handler.get());  // not owned: stays attached

  client.BoundPortLow = 5002;
  client.BoundPortHigh = 5000;
  EXPECT_THROW(client.OpenConnection(), EIdInvalidPortRange);
  EXPECT_FALSE(handler->IsOpen());
}

TEST(IdTCPClient, ClosedSocketHandlerRefusesIO) {
  TIdIOHandlerSocket handler;
  char byte = 0;
  try {
    handler.Prepare();
    handler.ReceiveInto(&byte, 1);
    ADD_FAILURE() << "no exception";
  } catch (const EIdClosedSocket& e) {
    EXPECT_STREQ(e.what(), "Disconnected.");
  }
  EXPECT_THROW(handler.WaitReadable(1), EIdConnClosedGracefully);
}

}  // namespace
}  // namespace vantro
