#include "rtl/Streams.h"

#include <gtest/gtest.h>

#include <cstring>

#include "rtl/Exception.h"

namespace vantro {
namespace {

// Bytes that differ from their neighbours and from page to page.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i * 131 + i / 4096);
  return bytes;
}

TEST(Streams, MemoryStreamGrowsAndSeeksWithinBounds) {
  TMemoryStream s;
  s.WriteBuffer("hello", 5);
  s.Seek(-2, TSeekOrigin::soEnd);
  s.WriteBuffer("LO!", 3);
  EXPECT_EQ(s.ToString(), "helLO!");
  EXPECT_EQ(s.Seek(-100, TSeekOrigin::soCurrent), 0);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, 10), 6);
  EXPECT_EQ(s.Read(buf, 10), 0);
  s.SetPosition(50);
  EXPECT_EQ(s.Read(buf, 1), 0);
  EXPECT_THROW(s.ReadBuffer(buf, 1), EStreamError);
}

TEST(Streams, MemoryStreamGrowthKeepsContentAndNewRoomReadsAsZero) {
  TMemoryStream s;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::string piece = std::to_string(i) + ",";
    s.WriteBuffer(piece.data(), static_cast<std::int64_t>(piece.size()));
    expected += piece;
  }
  EXPECT_EQ(s.ToString(), expected);
  s.SetSize(3);
  s.SetSize(6);
  EXPECT_EQ(s.ToString(), std::string("0,1\0\0\0", 6));
  s.SetPosition(8);
  s.WriteBuffer("x", 1);  // a write past the end fills the gap with zeros
  EXPECT_EQ(s.ToString(), std::string("0,1\0\0\0\0\0x", 9));
  EXPECT_EQ(s.Release(), std::string("0,1\0\0\0\0\0x", 9));
  EXPECT_EQ(s.Size(), 0);
  s.WriteBuffer("again", 5);
  EXPECT_EQ(s.ToString(), "again");

  // Large blocks are grown another way; the bytes still come along.
  const std::string large = Pattern(std::size_t{3} << 20);
  for (std::size_t at = 0; at < large.size(); at += 65536) {
    const std::string piece = large.substr(at, 65536);
    s.WriteBuffer(piece.data(), static_cast<std::int64_t>(piece.size()));
  }
  EXPECT_TRUE(s.ToString() == "again" + large);
}

TEST(Streams, MemoryStreamFilledInPlaceKeepsWhatTheWriterKept) {
  TMemoryStream s;
  s.WriteBuffer("ab", 2);
  s.SetSizeAhead(6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Position(), 2);
  std::memcpy(s.WriteRoom(3), "cde", 3);
  s.Wrote(2);
  EXPECT_EQ(s.Position(), 4);
  s.SetSize(s.Position());
  EXPECT_EQ(s.ToString(), "abcd");
  s.SetPosition(6);  // room past the end: the gap reads as zeros once kept
  std::memcpy(s.WriteRoom(1), "x", 1);
  s.Wrote(1);
  EXPECT_EQ(s.ToString(), std::string("abcd\0\0x", 7));
  // Filled in place far past what it held, as a large body is received.
  const std::string large = Pattern(std::size_t{5} << 20);
  s.SetPosition(0);
  s.SetSizeAhead(std::int64_t{2} << 20);
  for (std::size_t at = 0; at < large.size(); at += 32768) {
    const std::size_t n = std::min<std::size_t>(32768, large.size() - at);
    std::memcpy(s.WriteRoom(static_cast<std::int64_t>(n)), large.data() + at, n);
    s.Wrote(static_cast<std::int64_t>(n));
  }
  EXPECT_TRUE(s.ToString() == large);
  TIdReadMemoryStream view("abc");
  EXPECT_EQ(view.WriteRoom(1), nullptr);  // no memory of its own to fill
}

TEST(Streams, ReadOnlyViewStoresNothingAndRewindsOnRepoint) {
  const std::string block = "abcdef";
  TIdReadMemoryStream view(block);
  char buf[4] = {};
  EXPECT_EQ(view.Read(buf, 4), 4);
  EXPECT_EQ(view.Write("zz", 2), 0);
  EXPECT_EQ(block, "abcdef");
  EXPECT_EQ(view.Read(buf, 4), 2);
  view.SetPointer(std::string_view(block).substr(3));
  EXPECT_EQ(view.Position(), 0);
  EXPECT_EQ(view.Size(), 3);
  EXPECT_EQ(view.Read(buf, 4), 3);
  EXPECT_EQ(std::string(buf, 3), "def");
}

TEST(Streams, CopyFromMovesExactCounts) {
  TStringStream source(std::string(100000, 'x') + "end");
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 100003);
  EXPECT_EQ(target.Size(), 100003);
  source.SetPosition(100000);
  EXPECT_THROW(target.CopyFrom(source, 4), EStreamError);
}

}  // namespace
}  // namespace vantro
