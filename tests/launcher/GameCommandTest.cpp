// The parameter text for cmd, byte for byte, and the links and folders that
// must not reach cmd unchanged.
#include "launcher/GameCommand.h"

#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "rtl/AnsiText.h"

namespace vantro::fake {
namespace {

TEST(GameArgumentsTest, DropsPrefixTurnsBarsIntoSpacesAndOneTrailingSlash) {
  EXPECT_EQ(GameArguments("kivra://one|two|three/"), "one two three");
  EXPECT_EQ(GameArguments("kivra://a//"), "a/");
  EXPECT_EQ(GameArguments("kivra://"), "");
  EXPECT_EQ(GameArguments("kivra:/"), "");
  EXPECT_EQ(GameArguments(""), "");
  EXPECT_EQ(GameArguments("kivra://x"), "x");
  // The scheme is not tested: any first 8 bytes go.
  EXPECT_EQ(GameArguments("https://host/|"), "host/ ");
  EXPECT_EQ(GameArguments("||||||||a|"), "a ");
}

TEST(GameArgumentsTest, BarInsideDoubleByteCharacterStays) {
  ScopedAnsiCodePage gbk(936);
  // 0x81 0x7C is one character in code page 936; the last "|" stands alone.
  EXPECT_EQ(GameArguments("kivra://\x81|a|"), "\x81|a ");
  ScopedAnsiCodePage latin(1252);
  EXPECT_EQ(GameArguments("kivra://\x81|a|"), "\x81 a ");
}

TEST(CommandParametersTest, FivePiecesByteForByte) {
  const std::string p = CommandParameters(kRadsDeployPath, "one two three");
  EXPECT_EQ(p, "/k cd /d " + kRadsDeployPath + kStart + "one two three\" && exit");
  EXPECT_EQ(kStart.size(), 67u);
  EXPECT_EQ(CommandParameters("", ""), "/k cd /d " + kStart + "\" && exit");
}

TEST(CommandParametersTest, FolderIsQuotedOnlyWhenCmdWouldActOnIt) {
  EXPECT_EQ(CommandParameters("D:\\R&D", "a"), "/k cd /d \"D:\\R&D\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\a^b", "a"), "/k cd /d \"D:\\a^b\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\100%", "a"), "/k cd /d \"D:\\100%\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\My Games (x86)!", "a"),
            "/k cd /d D:\\My Games (x86)!" + kStart + "a\" && exit");
  ScopedAnsiCodePage gbk(936);
  // 0x81 0x5E is one character: its second byte is not a "^".
  EXPECT_EQ(CommandParameters("D:\\\x81^", "a"), "/k cd /d D:\\\x81^" + kStart + "a\" && exit");
}

TEST(UnsafeArgumentsTest, QuotesPercentAndControlCharactersAnywhere) {
  EXPECT_FALSE(HasUnsafeArgumentBytes("spectator 1.2.3.4:8080 key= 42 NA1 & <>|^!"));
  EXPECT_FALSE(HasUnsafeArgumentBytes(""));
  for (const char* bad : {"a\"b", "%PATH%", "a\rb", "a\nb", "a\tb", "a\x7f", "\x01"}) {
    EXPECT_TRUE(HasUnsafeArgumentBytes(bad)) << bad;
  }
  EXPECT_TRUE(HasUnsafeArgumentBytes(std::string("a\0b", 3)));
  ScopedAnsiCodePage sjis(932);
  // In code page 932 trail bytes start at 0x40, so none can be one of these;
  // a lead byte at the very end stands alone and is checked as it is.
  EXPECT_FALSE(HasUnsafeArgumentBytes("\x81\x40"));
  EXPECT_TRUE(HasUnsafeArgumentBytes("\x81\x40%"));
  // After a lead byte a quote is no second byte: the conversion lets it through.
  EXPECT_TRUE(HasUnsafeArgumentBytes("\x81\""));
}

class DeployFolderTest : public LauncherTest {};

TEST_F(DeployFolderTest, RadsTreeWinsOverExecutable) {
  EXPECT_EQ(DeployFolder(platform, kGame), "");
  AddGameExe();
  EXPECT_EQ(DeployFolder(platform, kGame), kGame);
  AddRads();
  EXPECT_EQ(DeployFolder(platform, kGame), kRadsDeployPath);
}

TEST_F(DeployFolderTest, EntriesOfTheWrongKindDoNotCount) {
  system.folders.insert(std::string(kGame) + "\\League of Legends.exe");
  system.files.insert(std::string(kGame) + "\\RADS\\solutions");
  EXPECT_EQ(DeployFolder(platform, kGame), "");
}

}  // namespace
}  // namespace vantro::fake
