// The parameter text for cmd, byte for byte, and the links and folders that
// must not reach cmd unchanged.
#include "launcher/GameCommand.h"

#include <gtest/gtest.h>

#include <cctype>

#include "LauncherFixture.h"
#include "launcher/FolderRules.h"
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

TEST(PercentEscapesTest, TwoHexDigitsOfEitherCaseNameAByteAndAnythingElseStays) {
  EXPECT_EQ(DecodePercentEscapes("kivra://a%7Cb%7cc"), "kivra://a|b|c");
  EXPECT_EQ(DecodePercentEscapes("%41%4a%4A%ff%00"), std::string("AJJ\xff\0", 5));
  for (const char* kept : {"%", "x%", "%4", "x%4", "%zz", "%4g", "%g4", "100%", "%%41"}) {
    const std::string once = DecodePercentEscapes(kept);
    EXPECT_EQ(once, std::string(kept) == "%%41" ? "%A" : kept) << kept;
  }
  // Once: an escaped "%" followed by hex digits stays a "%" and digits.
  EXPECT_EQ(DecodePercentEscapes("%2541"), "%41");
  EXPECT_EQ(DecodePercentEscapes("%25%32%32"), "%22");
  EXPECT_EQ(DecodePercentEscapes(""), "");
}

// As Chromium escapes a link for its external handler: every byte outside
// A-Z a-z 0-9 and the marks below becomes %XX in upper-case hex.
std::string EscapedAsChromium(const std::string& link) {
  static const std::string kKept = "!#$&'()*+,-./:;=?@[]_~";
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : link) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) && byte < 0x80) {
      escaped += c;
    } else if (kKept.find(c) != std::string::npos) {
      escaped += c;
    } else {
      escaped += {'%', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return escaped;
}

TEST(PercentEscapesTest, EveryByteEscapedAsBrowsersDoGivesTheSameCommandAsTheRawLink) {
  ScopedAnsiCodePage latin(1252);
  std::string raw = "kivra://";
  for (int byte = 0x20; byte <= 0xFF; ++byte) {
    if (byte != '"' && byte != '%' && byte != 0x7F) raw += static_cast<char>(byte);
  }
  const std::string escaped = EscapedAsChromium(raw);
  ASSERT_NE(escaped, raw);
  ASSERT_EQ(escaped.find_first_of(" |\"<>^`{}"), std::string::npos);
  const std::string arguments = GameArguments(DecodePercentEscapes(escaped));
  EXPECT_EQ(arguments, GameArguments(raw));
  EXPECT_FALSE(HasUnsafeArgumentBytes(arguments));
  EXPECT_EQ(CommandParameters("D:\\G", arguments), CommandParameters("D:\\G", GameArguments(raw)));
  // Whatever the raw link refuses, its escaped form refuses too.
  for (int byte = 0; byte <= 0x7F; ++byte) {
    const std::string link = "kivra://a" + std::string(1, static_cast<char>(byte)) + "b";
    EXPECT_EQ(HasUnsafeArgumentBytes(GameArguments(DecodePercentEscapes(EscapedAsChromium(link)))),
              HasUnsafeArgumentBytes(GameArguments(link)))
        << byte;
  }
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
  EXPECT_EQ(p, "/c cd /d " + kRadsDeployPath + kStart + "one two three\" && exit");
  // cmd ends after the command, whether or not it worked.
  EXPECT_TRUE(p.starts_with("/c "));
  EXPECT_EQ(kStart.size(), 67u);
  EXPECT_EQ(CommandParameters("", ""), "/c cd /d " + kStart + "\" && exit");
}

TEST(CommandParametersTest, FolderIsQuotedOnlyWhenCmdWouldActOnIt) {
  EXPECT_EQ(CommandParameters("D:\\R&D", "a"), "/c cd /d \"D:\\R&D\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\a^b", "a"), "/c cd /d \"D:\\a^b\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\100%", "a"), "/c cd /d \"D:\\100%\"" + kStart + "a\" && exit");
  EXPECT_EQ(CommandParameters("D:\\My Games (x86)!", "a"),
            "/c cd /d D:\\My Games (x86)!" + kStart + "a\" && exit");
  ScopedAnsiCodePage gbk(936);
  // 0x81 0x5E is one character: its second byte is not a "^".
  EXPECT_EQ(CommandParameters("D:\\\x81^", "a"), "/c cd /d D:\\\x81^" + kStart + "a\" && exit");
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

TEST_F(DeployFolderTest, RadsTreeCountsOnlyWithAReleaseThatHasADeployFolder) {
  const std::string releases =
      std::string(kGame) + "\\RADS\\solutions\\lol_game_client_sln\\releases";
  AddRadsWithoutRelease();
  EXPECT_EQ(DeployFolder(platform, kGame), "");
  system.folders.insert(releases + "\\0.0.1.90");         // no deploy inside
  system.folders.insert(releases + "\\1.0.0.1\\deploy");  // not 0.0.*
  system.files.insert(releases + "\\0.0.2.0");            // a file, not a folder
  EXPECT_EQ(DeployFolder(platform, kGame), "");
  // Without a usable release, the executable beside the tree still starts.
  AddGameExe();
  EXPECT_EQ(DeployFolder(platform, kGame), kGame);
  system.folders.insert(releases + "\\0.0.1.91\\deploy");
  system.folders.insert(releases + "\\0.0.1.91");
  // Named as it is: a wildcard would send cmd into 0.0.1.90, listed first.
  EXPECT_EQ(DeployFolder(platform, kGame), releases + "\\0.0.1.91\\deploy");
}

TEST_F(DeployFolderTest, TheHighestReleaseByNumberThatHoldsADeployFolder) {
  const std::string releases =
      std::string(kGame) + "\\RADS\\solutions\\lol_game_client_sln\\releases";
  AddRadsWithoutRelease();
  for (const char* release : {"0.0.0.255", "0.0.1.3", "0.0.1.10", "0.0.1.9", "0.0.1.200"}) {
    system.folders.insert(releases + "\\" + release);
    if (std::string(release) != "0.0.1.200")
      system.folders.insert(releases + "\\" + release + "\\deploy");
  }
  EXPECT_EQ(DeployFolder(platform, kGame), releases + "\\0.0.1.10\\deploy");
  // Name order is not version order, in either direction.
  const struct {
    const char *low, *high;
  } pairs[] = {{"0.0.0.255", "0.0.1.3"}, {"0.0.1.9", "0.0.1.10"},
               {"0.0.1", "0.0.1.0"},     {"0.0.x", "0.0.0"},
               {"0.0.01.2", "0.0.1.3"},  {"0.0.9", "0.0.99999999999999999999"}};
  for (const auto& pair : pairs) {
    EXPECT_TRUE(ReleaseBefore(pair.low, pair.high)) << pair.low << " < " << pair.high;
    EXPECT_FALSE(ReleaseBefore(pair.high, pair.low)) << pair.high << " > " << pair.low;
  }
  EXPECT_FALSE(ReleaseBefore("0.0.1.3", "0.0.001.3"));
  EXPECT_FALSE(ReleaseBefore("0.0.001.3", "0.0.1.3"));
}

TEST_F(DeployFolderTest, EntriesOfTheWrongKindDoNotCount) {
  system.folders.insert(std::string(kGame) + "\\League of Legends.exe");
  system.files.insert(std::string(kGame) + "\\RADS\\solutions");
  EXPECT_EQ(DeployFolder(platform, kGame), "");
}

}  // namespace
}  // namespace vantro::fake
