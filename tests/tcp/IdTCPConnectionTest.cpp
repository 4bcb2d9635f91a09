// The connection's buffered reads and writes over a scripted transport.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tcp/IdException.h"
#include "tcp/IdTCPConnection.h"
#include "tests/support/tcp_FakeIOHandler.h"

namespace vantro {
namespace {

class IdTCPConnectionTest : public testing::Test {
 protected:
  IdTCPConnectionTest() { connection_.SetIOHandler(&io_); }
  void Script(std::vector<std::string> chunks) { io_.Chunks.assign(chunks.begin(), chunks.end()); }

  test::FakeIOHandler io_;
  TIdTCPConnection connection_;
};

TEST_F(IdTCPConnectionTest, DefaultTerminatorEndsLinesAtLfAndDropsOneCr) {
  Script({"abc\r\nd", "ef\n", "abc\r\r\n", "no cr\n"});
  EXPECT_EQ(connection_.ReadLine(), "abc");
  EXPECT_EQ(connection_.ReadLine(), "def");
  EXPECT_EQ(connection_.ReadLine(), "abc\r");
  EXPECT_EQ(connection_.ReadLine(), "no cr");
}

TEST_F(IdTCPConnectionTest, OtherTerminatorsAreFoundAcrossFills) {
  Script({"x\r", "\na\nb\r", "\n"});
  EXPECT_EQ(connection_.ReadLine("\r\n"), "x");
  EXPECT_EQ(connection_.ReadLine("\r\n"), "a\nb");
}

TEST_F(IdTCPConnectionTest, OverLongLinesRaiseOrSplit) {
  const std::string exact(16384, 'a');
  Script({exact + "\n", exact + "b\n", exact + "c\n"});
  EXPECT_EQ(connection_.ReadLine(), exact);
  try {
    connection_.ReadLine();
    ADD_FAILURE() << "no exception";
  } catch (const EIdReadLnMaxLineLengthExceeded& e) {
    EXPECT_STREQ(e.what(), "Max line length exceeded.");
  }
  connection_.ReadLine("\n", -1, 0);  // 0: no limit, takes the rest of that line
  connection_.MaxLineAction = maSplit;
  EXPECT_EQ(connection_.ReadLine(), exact);
  EXPECT_TRUE(connection_.LineWasSplit());
  EXPECT_EQ(connection_.ReadLine(), "c");
  EXPECT_FALSE(connection_.LineWasSplit());
}

TEST_F(IdTCPConnectionTest, ALineAtTheLimitPassesWhereverTheFillsSplitItsTerminator) {
  Script({"abcd\r", "\nabcde\r", "\n"});
  EXPECT_EQ(connection_.ReadLine("\r\n", -1, 4), "abcd");
  EXPECT_THROW(connection_.ReadLine("\r\n", -1, 4), EIdReadLnMaxLineLengthExceeded);
}

TEST_F(IdTCPConnectionTest, ALongerTerminatorThatCannotEndWithinTheLimitSplitsOrRaisesAtOnce) {
  io_.CloseWhenDrained = false;  // a wait for more bytes would time out
  Script({"abcde"});
  EXPECT_THROW(connection_.ReadLine("\r\n", -1, 4), EIdReadLnMaxLineLengthExceeded);
  connection_.MaxLineAction = maSplit;
  EXPECT_EQ(connection_.ReadLine("\r\n", -1, 4), "abcd");
  EXPECT_TRUE(connection_.LineWasSplit());
  EXPECT_EQ(connection_.InputQueue().Size(), 1);
  connection_.InputQueue().ClearQueue();
  // A first terminator byte just past the limit may still end the line there.
  Script({"abcd\r"});
  EXPECT_THROW(connection_.ReadLine("\r\n", -1, 4), EIdReadTimeout);
}

TEST_F(IdTCPConnectionTest, OverLongLineWithoutTerminatorRaisesOnceTheLimitIsPassed) {
  Script({std::string(10000, 'a'), std::string(10000, 'a')});
  io_.CloseWhenDrained = false;
  EXPECT_THROW(connection_.ReadLine(), EIdReadLnMaxLineLengthExceeded);
  EXPECT_EQ(connection_.InputQueue().Size(), 20000);  // nothing is lost by the raise
}

TEST_F(IdTCPConnectionTest, PeerClosingMidLineGivesUpThenRaises) {
  std::vector<std::string> statuses;
  int disconnects = 0;
  connection_.OnStatus = [&](TIdComponent&, TIdStatus, const std::string& text) {
    statuses.push_back(text);
  };
  connection_.OnDisconnected = [&](TIdComponent&) { ++disconnects; };
  Script({"abc"});
  EXPECT_EQ(connection_.ReadLine(), "");
  EXPECT_TRUE(connection_.LineGaveUp());
  EXPECT_FALSE(connection_.IsConnected());  // quietly, with the bytes still queued
  try {
    connection_.ReadLine();
    ADD_FAILURE() << "no exception";
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
  }
  EXPECT_EQ(connection_.TakeInput(), "abc");
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(statuses, std::vector<std::string>{"Disconnected."});
  EXPECT_EQ(io_.Shuts, 1);
}

TEST_F(IdTCPConnectionTest, ExactCountReadsTakeQueuedBytesFirst) {
  Script({"abcd", "efghij", "rest"});
  connection_.FillInput(true, -1, true);
  TMemoryStream stream;
  connection_.ReadToStream(stream, 10);
  EXPECT_EQ(stream.ToString(), "abcdefghij");
  EXPECT_EQ(connection_.InputQueue().Size(), 0);
}

TEST_F(IdTCPConnectionTest, ExactCountReadThatMeetsACloseRaisesAndKeepsUnwrittenBytesQueued) {
  Script({"123"});
  TMemoryStream stream;
  EXPECT_THROW(connection_.ReadToStream(stream, 5), EIdConnClosedGracefully);
  EXPECT_EQ(stream.Size(), 0);  // pre-sized, then cut back
  EXPECT_EQ(connection_.InputQueue().Size(), 3);
}

TEST_F(IdTCPConnectionTest, QueuedBytesAreWrittenBeforeTheCloseIsRaised) {
  Script({"123"});
  connection_.FillInput(true, -1, true);
  TMemoryStream stream;
  EXPECT_THROW(connection_.ReadToStream(stream, 5), EIdConnClosedGracefully);
  EXPECT_EQ(stream.ToString(), "123");
}

TEST_F(IdTCPConnectionTest, AReusedStreamIsSizedForTheReadAndKeepsNoStaleTail) {
  Script({"ab", "cd"});
  io_.CloseWhenDrained = false;
  TMemoryStream stream("0123456789");
  stream.SetPosition(1);
  std::vector<std::int64_t> sizes;
  connection_.OnWork = [&](TIdComponent&, TWorkMode, std::int64_t) {
    sizes.push_back(stream.Size());
  };
  connection_.RecvBufferSize = 2;
  connection_.ReadToStream(stream, 4);
  EXPECT_EQ(stream.ToString(), "0abcd");
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{5, 5}));  // pre-sized from the start

  Script({"xy"});
  io_.CloseWhenDrained = true;
  stream.SetPosition(1);
  connection_.ReadToStream(stream, -1, true);
  EXPECT_EQ(stream.ToString(), "0xy");
}

TEST_F(IdTCPConnectionTest, BlocksReceivedInPlaceThatAreCutShortStayQueued) {
  Script({"abcd", "ef", "g"});
  io_.CloseWhenDrained = false;
  connection_.RecvBufferSize = 4;
  TMemoryStream stream;
  EXPECT_THROW(connection_.ReadToStream(stream, 10), EIdReadTimeout);
  EXPECT_EQ(stream.ToString(), "abcd");
  EXPECT_EQ(connection_.InputQueue().Size(), 3);

  io_.CloseWhenDrained = true;  // now the peer closes instead
  Script({"hi"});
  EXPECT_THROW(connection_.ReadToStream(stream, 10), EIdConnClosedGracefully);
  EXPECT_EQ(stream.ToString(), "abcdefg");  // the queued bytes came first
  EXPECT_EQ(connection_.TakeInput(), "hi");
}

TEST_F(IdTCPConnectionTest, ShortBodyAfterAnAlreadySeenCloseIsNoSuccess) {
  Script({"HEAD\n12"});
  EXPECT_EQ(connection_.ReadLine(), "HEAD");
  EXPECT_EQ(connection_.ReadLine(), "");  // sees the close
  TMemoryStream stream;
  EXPECT_THROW(connection_.ReadToStream(stream, 5), EIdConnClosedGracefully);
  EXPECT_EQ(stream.ToString(), "12");
}

TEST_F(IdTCPConnectionTest, UntilCloseReadsEverythingAndReportsWork) {
  std::string body;
  for (int i = 0; i < 50; ++i) {
    io_.Chunks.push_back(std::string(7919, static_cast<char>('a' + i % 26)));
    body += io_.Chunks.back();
  }
  std::vector<std::int64_t> begins;
  std::int64_t last = 0;
  connection_.OnWorkBegin = [&](TIdComponent&, TWorkMode, std::int64_t max) {
    begins.push_back(max);
  };
  connection_.OnWork = [&](TIdComponent&, TWorkMode, std::int64_t count) { last = count; };
  connection_.RecvBufferSize = 4096;
  TMemoryStream stream;
  connection_.ReadToStream(stream, -1, true);
  EXPECT_EQ(stream.ToString(), body);
  EXPECT_EQ(begins, std::vector<std::int64_t>{0});
  EXPECT_EQ(last, static_cast<std::int64_t>(body.size()));
}

TEST_F(IdTCPConnectionTest, LengthPrefixedStreamsAndInt32sUseNetworkOrder) {
  Script({std::string("\0\0\0\3abc\x01\x02\x03\x04", 11)});
  TMemoryStream stream;
  connection_.ReadToStream(stream);
  EXPECT_EQ(stream.ToString(), "abc");
  EXPECT_EQ(connection_.ReadInt32(), 0x01020304);
  connection_.SendInt32(0x0a0b0c0d);
  EXPECT_EQ(io_.Sent, "\x0a\x0b\x0c\x0d");
}

TEST_F(IdTCPConnectionTest, WriteBatchesLeaveInOneSendOrAtTheThreshold) {
  connection_.BeginWriteBatch(-1);
  connection_.SendLine("GET / HTTP/1.1");
  connection_.SendLine("Host: a");
  connection_.SendLine("");
  EXPECT_TRUE(io_.Sends.empty());
  connection_.EndWriteBatch();
  EXPECT_EQ(io_.Sends, std::vector<std::size_t>{27});
  EXPECT_EQ(io_.Sent, "GET / HTTP/1.1\r\nHost: a\r\n\r\n");

  io_.Sends.clear();
  connection_.BeginWriteBatch(100);
  connection_.SendText(std::string(150, 'x'));
  EXPECT_EQ(io_.Sends, std::vector<std::size_t>{100});
  connection_.EndWriteBatch();
  EXPECT_EQ(io_.Sends, (std::vector<std::size_t>{100, 50}));
  EXPECT_FALSE(connection_.WriteBatchOpen());
}

TEST_F(IdTCPConnectionTest, StreamsAreSentInBlocksAndAnEmptyOneStillReportsWork) {
  std::vector<std::string> events;
  connection_.OnWorkBegin = [&](TIdComponent&, TWorkMode, std::int64_t max) {
    events.push_back("begin " + std::to_string(max));
  };
  connection_.OnWorkEnd = [&](TIdComponent&, TWorkMode) { events.push_back("end"); };
  TMemoryStream empty;
  connection_.SendStream(empty);
  EXPECT_TRUE(io_.Sends.empty());
  connection_.SendBufferSize = 4;
  TMemoryStream body(std::string("0123456789"));
  connection_.SendStream(body);
  EXPECT_EQ(io_.Sends, (std::vector<std::size_t>{4, 4, 2}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin 0", "end", "begin 10", "end"}));
  try {
    connection_.SendFile("no/such/file.bin", true);
    ADD_FAILURE() << "no exception";
  } catch (const EIdFileNotFound& e) {
    EXPECT_STREQ(e.what(), "File \"no/such/file.bin\" not found");
  }
}

TEST_F(IdTCPConnectionTest, IsConnectedNeedsAReadToNoticeACloseProbePeerCloseMakesOne) {
  EXPECT_TRUE(connection_.IsConnected());
  connection_.ProbePeerClose(false);
  EXPECT_FALSE(connection_.IsConnected());
  EXPECT_THROW(connection_.SendText("x"), EIdConnClosedGracefully);
}

TEST_F(IdTCPConnectionTest, QuietTimeoutsWaitAgainButDefaultOnesRaise) {
  io_.CloseWhenDrained = false;
  EXPECT_EQ(connection_.FillInput(true, 10, false), -1);
  try {
    connection_.ReadLine();
    ADD_FAILURE() << "no exception";
  } catch (const EIdReadTimeout& e) {
    EXPECT_STREQ(e.what(), "Read Timeout");
  }
}

TEST_F(IdTCPConnectionTest, NoTransportMeansNotConnected) {
  TIdTCPConnection bare;
  try {
    bare.SendText("x");
    ADD_FAILURE() << "no exception";
  } catch (const EIdNotConnected& e) {
    EXPECT_STREQ(e.what(), "Not Connected");
  }
  EXPECT_THROW(bare.ReadLine(), EIdNotConnected);
  EXPECT_FALSE(bare.IsConnected());
}

TEST_F(IdTCPConnectionTest, FilterAndInterceptSeeEveryBlock) {
  TIdConnectionIntercept intercept;
  intercept.OnReceive = [](TIdConnectionIntercept&, TStream& stream) {
    // Doubles the block: the connection must take the new size.
    std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
    stream.ReadBuffer(bytes.data(), stream.Size());
    stream.WriteBuffer(bytes.data(), stream.Size());
  };
  intercept.OnSend = [](TIdConnectionIntercept&, TStream& stream) {
    std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
    stream.ReadBuffer(bytes.data(), stream.Size());
    for (char& c : bytes)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    stream.SetPosition(0);
    stream.WriteBuffer(bytes.data(), stream.Size());
  };
  connection_.SetIntercept(&intercept);
  connection_.ASCIIFilter = true;
  Script({"\xe1\n"});
  EXPECT_EQ(connection_.ReadLine(), "a");
  EXPECT_EQ(connection_.ReadLine(), "a");
  connection_.SendText("shout");
  EXPECT_EQ(io_.Sent, "SHOUT");
}

TEST_F(IdTCPConnectionTest, AFreedTransportIsForgotten) {
  auto io = std::make_unique<test::FakeIOHandler>();
  TIdTCPConnection connection;
  connection.SetIOHandler(io.get());
  io.reset();
  EXPECT_EQ(connection.IOHandler(), nullptr);
}

TEST_F(IdTCPConnectionTest, NumberedRepliesAreCheckedAgainstTheAllowedCodes) {
  Script({"\r\n250-first\r\n250-second\r\n250 last\r\n", "550 no\r\n"});
  EXPECT_EQ(connection_.ReadReply({250}), 250);
  EXPECT_EQ(connection_.LastReply().TextCode(), "250");
  EXPECT_EQ(connection_.LastReply().Text.Count(), 3);
  EXPECT_EQ(connection_.LastReply().Text[2], "last");
  try {
    connection_.ReadReply({250, 251});
    ADD_FAILURE() << "no exception";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyCode(), 550);
    EXPECT_STREQ(e.what(), "no\r\n");
  }
}

}  // namespace
}  // namespace vantro
