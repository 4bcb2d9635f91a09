#include <gtest/gtest.h>

#include "tcp/IdBuffer.h"
#include "tcp/IdException.h"

namespace vantro {
namespace {

TEST(IdBuffer, ConsumeAndTakeReportEveryCountAndRefuseTooMany) {
  for (bool managed : {false, true}) {
    TIdManagedBuffer managedBuffer;
    TIdSimpleBuffer simpleBuffer;
    TIdSimpleBuffer& buffer = managed ? managedBuffer : simpleBuffer;
    std::int64_t consumed = 0;
    buffer.OnConsumed = [&](TIdSimpleBuffer&, std::int64_t n) { consumed += n; };
    buffer.Append("hello world", 11);
    EXPECT_EQ(buffer.TakeString(6), "hello ");
    EXPECT_EQ(buffer.Size(), 5);
    try {
      buffer.Consume(6);
      ADD_FAILURE() << "no exception";
    } catch (const EIdNotEnoughDataInBuffer& e) {
      EXPECT_STREQ(e.what(), "Not enough data in buffer.");
    }
    EXPECT_THROW(buffer.TakeString(6), EIdNotEnoughDataInBuffer);
    EXPECT_EQ(buffer.TakeString(5), "world");
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(consumed, 11);
  }
}

TEST(IdManagedBuffer, ConsumingMovesNoMemoryUntilCompactAt) {
  TIdManagedBuffer buffer;
  const std::string block(TIdManagedBuffer::kCompactAt + 10, 'x');
  buffer.Append(block.data(), block.size());
  buffer.Append("tail", 4);
  buffer.Consume(100);
  EXPECT_EQ(buffer.ReadOffset(), 100u);
  // Stream positions are those of the unread part.
  EXPECT_EQ(buffer.Seek(0, TSeekOrigin::soEnd), static_cast<std::int64_t>(block.size()) - 96);
  buffer.Consume(TIdManagedBuffer::kCompactAt - 100);
  EXPECT_EQ(buffer.ReadOffset(), 0u);
  EXPECT_EQ(buffer.TakeString(14), std::string(10, 'x') + "tail");
}

TEST(IdManagedBuffer, StreamReadsAndSeeksSeeOnlyTheUnreadBytes) {
  TIdManagedBuffer buffer;
  buffer.Append("abcdef", 6);
  buffer.Consume(2);
  char got[4] = {};
  EXPECT_EQ(buffer.Seek(1, TSeekOrigin::soBeginning), 1);
  EXPECT_EQ(buffer.Read(got, 4), 3);
  EXPECT_EQ(std::string(got, 3), "def");
  buffer.ClearQueue();
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(buffer.ReadOffset(), 0u);
}

TEST(IdSimpleBuffer, ReusedStorageNeverShowsStaleBytes) {
  TIdSimpleBuffer buffer;
  buffer.Append("stale bytes", 11);
  buffer.Clear();
  buffer.SetSize(4);
  EXPECT_EQ(buffer.TakeString(4), std::string(4, '\0'));
  buffer.Append("xy", 2);
  buffer.Consume(2);
  buffer.Seek(3, TSeekOrigin::soBeginning);
  buffer.Write("z", 1);
  EXPECT_EQ(buffer.TakeString(4), std::string("\0\0\0z", 4));
}

}  // namespace
}  // namespace vantro
