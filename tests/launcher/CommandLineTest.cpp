// Arguments split the Windows way: the shell passes the link quoted.
#include "launcher/CommandLine.h"

#include <gtest/gtest.h>

namespace vantro {
namespace {

using Items = std::vector<std::string>;

TEST(SplitCommandLineTest, QuotesGroupAndAreDroppedWithoutEscapes) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\v.exe\" \"kivra://a|b c/\" more"),
            (Items{"C:\\Program Files\\v.exe", "kivra://a|b c/", "more"}));
  EXPECT_EQ(SplitCommandLine("v.exe \t a\"b c\"d \"\""), (Items{"v.exe", "ab cd", ""}));
  EXPECT_EQ(SplitCommandLine("v.exe a\\\"b c"), (Items{"v.exe", "a\\b c"}));
  EXPECT_EQ(SplitCommandLine("v.exe\x01x\x1fy"), (Items{"v.exe", "x", "y"}));
  EXPECT_EQ(SplitCommandLine("  "), Items{});
  EXPECT_EQ(SplitCommandLine("v.exe \"unclosed arg"), (Items{"v.exe", "unclosed arg"}));
}

}  // namespace
}  // namespace vantro
