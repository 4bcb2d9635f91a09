#include "http/IdGlobal.h"

#include <gtest/gtest.h>

#include "rtl/AnsiText.h"

namespace vantro {
namespace {

// "中" in code page 936 is D6 D0; "乗" in 932 is 8F E6. Trail bytes can equal
// ASCII characters: 936 "竄" is B8 5C (a backslash), "亅" is 81 40.
constexpr const char kGbkBackslashTrail[] = "\xb8\x5c";

TEST(TextPos, FindsFirstOccurrenceOneBased) {
  EXPECT_EQ(TextPos("b", "abcb"), 2);
  EXPECT_EQ(TextPos("cb", "abcb"), 3);
  EXPECT_EQ(TextPos("x", "abc"), 0);
  EXPECT_EQ(TextPos("", "abc"), 0);
  EXPECT_EQ(TextPos("abcd", "abc"), 0);
  EXPECT_EQ(TextPos("B", "abc"), 0);  // case matters
}

TEST(TextPos, NeverMatchesOnATrailByteInDoubleByteCodePages) {
  const std::string text = std::string("a") + kGbkBackslashTrail + "\\";
  {
    ScopedAnsiCodePage cp(936);
    EXPECT_EQ(TextPos("\\", text), 4);
    EXPECT_EQ(TextPos("\x5c\\", text), 0);
  }
  ScopedAnsiCodePage cp(1252);
  EXPECT_EQ(TextPos("\\", text), 3);
}

TEST(LastPos, SearchesBackwardsWithoutCase) {
  EXPECT_EQ(LastPos("/", "/a/b/c"), 5);
  EXPECT_EQ(LastPos("/", "/a/b/c", 4), 3);
  EXPECT_EQ(LastPos("AB", "xabyab", -1), 5);
  EXPECT_EQ(LastPos("ab", "xabyab", 5), 5);  // lowered to the last place that fits
  EXPECT_EQ(LastPos("ab", "xabyab", 100), 5);
  EXPECT_EQ(LastPos("/", "abc"), 0);
  EXPECT_EQ(LastPos("abcd", "abc"), 0);
  EXPECT_EQ(LastPos("/", ""), 0);
  EXPECT_EQ(LastPos("/", "/a", 0), 0);
}

TEST(CutToken, SplitsAtTheFirstDelimiter) {
  std::string input = "Basic realm=x";
  EXPECT_EQ(CutToken(input), "Basic");
  EXPECT_EQ(input, "realm=x");

  input = "no-delimiter";
  EXPECT_EQ(CutToken(input, ";"), "no-delimiter");
  EXPECT_EQ(input, "");

  input = "a::b";
  EXPECT_EQ(CutToken(input, "::", false), "a");
  EXPECT_EQ(input, "a::b");

  input = "nameXYvalue";
  EXPECT_EQ(CutToken(input, "xy", true, false), "name");
  EXPECT_EQ(input, "value");
  input = "nameXYvalue";
  EXPECT_EQ(CutToken(input, "xy", true, true), "nameXYvalue");
}

TEST(ForwardSlashes, TurnsBackslashesButKeepsDoubleByteCharacters) {
  std::string text = std::string("C:\\dir") + kGbkBackslashTrail + "\\x";
  {
    ScopedAnsiCodePage cp(936);
    std::string gbk = text;
    ForwardSlashes(gbk);
    EXPECT_EQ(gbk, std::string("C:/dir") + kGbkBackslashTrail + "/x");
  }
  ScopedAnsiCodePage cp(1252);
  ForwardSlashes(text);
  EXPECT_EQ(text, "C:/dir\xb8//x");
}

TEST(MergePath, ResolvesRelativePaths) {
  EXPECT_EQ(MergePath("/a/b/", "../c/"), "/a/c/");
  EXPECT_EQ(MergePath("/a/", "sub/"), "/a/sub/");
  EXPECT_EQ(MergePath("/a/", ""), "/a/");
  EXPECT_EQ(MergePath("/a/", "/x/../y/"), "/x/../y/");
  EXPECT_EQ(MergePath("", "x/"), "x/");
  EXPECT_EQ(MergePath("/a", "b"), "/a/b");
  EXPECT_EQ(MergePath("/a/b/", "c"), "/a/b/c");
  EXPECT_EQ(MergePath("/a//b/", "c//d"), "/a/b/c/d");
  EXPECT_EQ(MergePath("/a/b/", "../../../x"), "/x");
  EXPECT_EQ(MergePath("/a/", "./b"), "/a/./b");
  EXPECT_EQ(MergePath("/", "../"), "/");
}

TEST(HostTests, IPv4AndHostNames) {
  EXPECT_TRUE(LooksLikeIPv4("1.2.3.4"));
  EXPECT_TRUE(LooksLikeIPv4(" 127.0.0.1 "));
  EXPECT_TRUE(LooksLikeIPv4("1.2.3.4.5"));
  EXPECT_TRUE(LooksLikeIPv4("0.0.0.255"));
  EXPECT_FALSE(LooksLikeIPv4("1.2.3"));
  EXPECT_FALSE(LooksLikeIPv4("1.2.3.256"));
  EXPECT_FALSE(LooksLikeIPv4("1.2.-3.4"));
  EXPECT_FALSE(LooksLikeIPv4("a.b.c.d"));
  EXPECT_FALSE(LooksLikeIPv4(""));

  EXPECT_TRUE(LooksLikeHostName("shop.test"));
  EXPECT_TRUE(LooksLikeHostName("localhost"));
  EXPECT_FALSE(LooksLikeHostName(".shop.test"));
  EXPECT_FALSE(LooksLikeHostName("10.0.0.1"));

  EXPECT_EQ(DomainPart("www.shop.test"), ".shop.test");
  EXPECT_EQ(DomainPart("localhost"), "localhost");
  EXPECT_EQ(DomainPart(".x"), ".x");
}

}  // namespace
}  // namespace vantro
