#include "rtl/AnsiText.h"

#include <gtest/gtest.h>

namespace vantro {
namespace {

TEST(AnsiText, LeadBytesFollowTheCodePage) {
  {
    ScopedAnsiCodePage cp(936);
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_FALSE(IsLeadByte(0xFF));
    EXPECT_FALSE(IsLeadByte('A'));
  }
  {
    ScopedAnsiCodePage cp(932);
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_TRUE(IsLeadByte(0xE0));
  }
  ScopedAnsiCodePage cp(1252);
  for (int c = 0; c < 256; ++c)
    EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(c))) << c;
}

TEST(AnsiText, CaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("aZ\xe4\xb8\xad-x"), "AZ\xe4\xb8\xad-X");
  EXPECT_EQ(LowerCase("Content-TYPE"), "content-type");
  EXPECT_TRUE(SameText("Set-Cookie", "SET-COOKIE"));
  EXPECT_FALSE(SameText("Set-Cookie", "Set-Cookie2"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_GT(CompareText("\xe4", "a"), 0);  // bytes above 0x7F sort as unsigned
}

TEST(AnsiText, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n x y \x01"), "x y");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x \r\n"), "  x");
  EXPECT_EQ(Trim("   "), "");
}

TEST(AnsiText, IntegersParseStrictly) {
  std::int32_t v = 7;
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(TryStrToInt("+42", v));
  EXPECT_EQ(v, 42);
  for (const char* bad : {"", "+", "-", "2147483648", " 1", "1 ", "0x10", "+-1", "1e3"}) {
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
  }
  EXPECT_EQ(StrToIntDef("abc", -1), -1);
}

}  // namespace
}  // namespace vantro
