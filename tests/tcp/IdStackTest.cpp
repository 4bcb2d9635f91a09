#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tcp/IdComponent.h"
#include "tcp/IdException.h"
#include "tcp/IdSocketHandle.h"
#include "tcp/IdStack.h"
#include "tests/support/tcp_TestSocket.h"
#ifndef _WIN32
#include "tcp/IdStackPosix.h"
#endif

namespace vantro {
namespace {

class IdStackTest : public testing::Test {
 protected:
  ~IdStackTest() override {
    if (served_ != test::kNoSocket) test::CloseRaw(served_);
    if (listening_ != test::kNoSocket) test::CloseRaw(listening_);
  }
  // client_ connected to a loopback listener; served_ is the far end.
  void Connect() {
    int port = 0;
    listening_ = test::ListenLoopback(4, port);
    client_.CreateSocket();
    client_.SetRemote("127.0.0.1", port);
    ASSERT_NE(client_.ConnectPeer(Id_PF_INET), -1);
    served_ = test::AcceptWithin(listening_, 2000);
  }

  TIdComponent holder_;  // keeps the shared stack alive
  TIdStack& stack_ = *GStack();
  test::RawSocket listening_ = test::kNoSocket, served_ = test::kNoSocket;
  TIdSocketHandle client_;
};

TEST_F(IdStackTest, ErrorTextsAreTheSameOnEveryStack) {
  EXPECT_EQ(stack_.ErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(stack_.ErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
  EXPECT_EQ(stack_.ErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
  EXPECT_EQ(stack_.ErrorText(10070), "Socket Error # 10070\r\n");
  EXPECT_EQ(stack_.ErrorText(11001), "Socket Error # 11001\r\nHost not found.");
  try {
    stack_.RaiseForCode(10054);
    ADD_FAILURE() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10054);
    EXPECT_STREQ(e.what(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
}

#ifndef _WIN32
TEST(IdStackPosix, ErrnoMapsToTheWinsockCodeOfTheSameMeaning) {
  EXPECT_EQ(WinsockCodeOfErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WinsockCodeOfErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(WinsockCodeOfErrno(EADDRINUSE), 10048);
  EXPECT_EQ(WinsockCodeOfErrno(ECONNRESET), 10054);
  EXPECT_EQ(WinsockCodeOfErrno(EPIPE), 10058);
  EXPECT_EQ(WinsockCodeOfErrno(EAGAIN), 10035);
  EXPECT_EQ(WinsockCodeOfErrno(EBADF), 10009);
}
#endif

TEST_F(IdStackTest, LocalhostAndDottedAddressesNeedNoLookup) {
  EXPECT_EQ(stack_.ResolveToIP("localhost"), "127.0.0.1");
  EXPECT_EQ(stack_.ResolveToIP("LOCALHOST"), "127.0.0.1");
  EXPECT_EQ(stack_.ResolveToIP("LocalHost"), "127.0.0.1");
  EXPECT_EQ(stack_.ResolveToIP("10.1.2.3"), "10.1.2.3");
  EXPECT_TRUE(TIdStack::IsDottedQuad("0.0.0.0"));
  EXPECT_TRUE(TIdStack::IsDottedQuad("255.255.255.255"));
  EXPECT_FALSE(TIdStack::IsDottedQuad("1.2.3.256"));
  EXPECT_FALSE(TIdStack::IsDottedQuad("1.2.3"));
  EXPECT_FALSE(TIdStack::IsDottedQuad("1.2.3.4.5"));
  EXPECT_FALSE(TIdStack::IsDottedQuad("a.b.c.d"));
  EXPECT_FALSE(TIdStack::IsDottedQuad(""));
  TIdInAddr addr = TIdStack::TextToAddr("192.168.1.20");
  EXPECT_EQ(addr.Bytes[0], 192);
  EXPECT_EQ(addr.Bytes[3], 20);
  EXPECT_EQ(TIdStack::AddrToText(addr), "192.168.1.20");
}

TEST_F(IdStackTest, ServiceNamesAndNumbers) {
  EXPECT_EQ(stack_.PortOfService("8080"), 8080);
  try {
    stack_.PortOfService("no-such-service");
    ADD_FAILURE() << "no exception";
  } catch (const EIdInvalidServiceName& e) {
    EXPECT_STREQ(e.what(), "no-such-service is not a valid service.");
  }
}

TEST_F(IdStackTest, SocketListsHoldAtMost64Ids) {
  TIdSocketList list;
  for (int i = 0; i < 64; ++i)
    list.Add(i);
  EXPECT_THROW(list.Add(64), EIdStackSetSizeExceeded);
  list.Remove(0);
  EXPECT_EQ(list.Items(0), 63);  // the last one takes the removed one's place
  EXPECT_THROW(list.Items(63), EIdStackSetSizeExceeded);
}

TEST_F(IdStackTest, WaitSocketsKeepsOnlyReadySockets) {
  Connect();
  TIdSocketList read;
  read.Add(client_.SocketId());
  EXPECT_EQ(stack_.WaitSockets(&read, nullptr, 50, nullptr), 0);
  EXPECT_EQ(read.Count(), 0);
  test::SendAllRaw(served_, "x");
  read.Add(client_.SocketId());
  EXPECT_EQ(stack_.WaitSockets(&read, nullptr, 2000, nullptr), 1);
  EXPECT_EQ(read.Count(), 1);
}

TEST_F(IdStackTest, ReceiveFromPeerGivesTheBytesOnAConnectedSocket) {
  Connect();
  test::SendAllRaw(served_, "hello");
  char buffer[16] = {};
  int from = -1;
  std::string ip = "unset";
  EXPECT_EQ(client_.ReceiveFromPeer(buffer, sizeof buffer, from, ip, 0), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  // A connected stream socket need not name its sender (Linux and Windows
  // leave the address empty); when one is named it is the peer.
  EXPECT_TRUE(ip == "0.0.0.0" || ip == "127.0.0.1") << ip;
  EXPECT_NE(from, -1);
}

// Three free consecutive ports on 127.0.0.1, held by plain sockets.
std::vector<test::RawSocket> HoldThreePorts(int& low) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    low = test::UnusedPort();
    if (low > 65533) continue;
    std::vector<test::RawSocket> held;
    for (int p = low; p < low + 3; ++p) {
      test::RawSocket s = test::BindLoopback(p);
      if (s == test::kNoSocket) break;
      held.push_back(s);
    }
    if (held.size() == 3) return held;
    for (test::RawSocket s : held)
      test::CloseRaw(s);
  }
  return {};
}

TEST_F(IdStackTest, PortRangesBindTheHighestFreePortOrSayWhyNot) {
  int low = 0;
  std::vector<test::RawSocket> held = HoldThreePorts(low);
  ASSERT_EQ(held.size(), 3u);
  TIdSocketHandle socket;
  socket.CreateSocket();
  socket.IP = "127.0.0.1";
  socket.ClientPortMin = low;
  socket.ClientPortMax = low + 2;
  try {
    socket.BindLocal();
    ADD_FAILURE() << "bound a taken port";
  } catch (const EIdCanNotBindPortInRange& e) {
    EXPECT_EQ(e.Message(), "Can not bind in port range (" + std::to_string(low) + " - " +
                               std::to_string(low + 2) + ")");
  }
  test::CloseRaw(held[1]);  // the middle one comes free
  socket.CreateSocket();
  socket.Port = 0;
  socket.BindLocal();
  EXPECT_EQ(socket.Port, low + 1);
  EXPECT_EQ(socket.IP, "127.0.0.1");

  // A fixed port that is taken.
  TIdSocketHandle fixed;
  fixed.CreateSocket();
  fixed.IP = "127.0.0.1";
  fixed.Port = low;
  EXPECT_THROW(fixed.BindLocal(), EIdCouldNotBindSocket);

  // Reversed range; and a range with a 0 end is no range at all.
  fixed.CreateSocket();
  fixed.Port = 0;
  fixed.ClientPortMin = low + 2;
  fixed.ClientPortMax = low;
  try {
    fixed.BindLocal();
    ADD_FAILURE() << "no exception";
  } catch (const EIdInvalidPortRange& e) {
    EXPECT_EQ(e.Message(),
              "Invalid Port Range (" + std::to_string(low + 2) + " - " + std::to_string(low) + ")");
  }
  fixed.ClientPortMax = 0;
  fixed.BindLocal();
  EXPECT_NE(fixed.Port, 0);
  test::CloseRaw(held[0]);
  test::CloseRaw(held[2]);
}

}  // namespace
}  // namespace vantro
