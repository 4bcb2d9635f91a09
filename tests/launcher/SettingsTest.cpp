// setting.ini beside the program: where it is, what a read gives back, and
// what a refused write does.
#include "launcher/Settings.h"

#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "launcher/LauncherErrors.h"
#include "rtl/AnsiText.h"

namespace vantro::fake {
namespace {

class SettingsTest : public LauncherTest {};

TEST_F(SettingsTest, FileBesideTheProgram) {
  EXPECT_EQ(TSettingsFile(platform).Path(), kIni);
  platform.moduleFileName = "vantro.exe";
  EXPECT_EQ(TSettingsFile(platform).Path(), "setting.ini");
}

TEST(ExtractFilePathTest, BackslashInsideDoubleByteCharacterIsNotASeparator) {
  ScopedAnsiCodePage gbk(936);
  // 0x81 0x5C is one character ending in the byte of a backslash.
  EXPECT_EQ(ExtractFilePath("C:\\\x81\\x\\v.exe"), "C:\\\x81\\x\\");
  EXPECT_EQ(ExtractFilePath("C:\\a\x81\\v.exe"), "C:\\");
}

TEST_F(SettingsTest, AbsentFileAndKeysReadEmptyAndFirstWriteCreatesSection) {
  TSettingsFile settings(platform);
  EXPECT_EQ(settings.Read("lol_path"), "");
  settings.Write("cmd", "x");
  EXPECT_EQ(Ini("cmd"), "x");
  EXPECT_EQ(platform.calls.back(), std::string("ProfileFlush ") + kIni);
}

TEST_F(SettingsTest, LongValuesComeBackCutTo2047Bytes) {
  const std::string value(3000, 'a');
  SetIni("watch", value);
  EXPECT_EQ(TSettingsFile(platform).Read("watch"), value.substr(0, 2047));
}

TEST_F(SettingsTest, ForeignContentSurvivesAndNonAsciiPathsReadBackUnchanged) {
  system.profiles[kIni] = {{"other", {{"x", "1"}}}, {"setting", {{"note", "keep"}}}};
  TSettingsFile settings(platform);
  settings.Write("lol_path", "D:\\\xd3\xa2\xd0\xdb");
  EXPECT_EQ(settings.Read("lol_path"), "D:\\\xd3\xa2\xd0\xdb");
  EXPECT_EQ(system.ProfileValue(kIni, "other", "x"), "1");
  EXPECT_EQ(Ini("note"), "keep");
}

TEST_F(SettingsTest, RefusedWriteRaisesWithThePathAndDoesNotFlush) {
  SetIni("cmd", "old");
  system.readOnlyFiles.insert(kIni);
  try {
    TSettingsFile(platform).Write("cmd", "new");
    FAIL() << "no error";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), std::string("Unable to write to ") + kIni);
  }
  EXPECT_EQ(Ini("cmd"), "old");
  EXPECT_TRUE(platform.CallsOf("ProfileFlush").empty());
}

}  // namespace
}  // namespace vantro::fake
