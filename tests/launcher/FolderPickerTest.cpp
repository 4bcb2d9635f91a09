// The folder button: the picker's settings, the four ways a picked folder is
// accepted, and what a refused or unsaved folder leaves behind.
#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "launcher/LauncherErrors.h"

namespace vantro::fake {
namespace {

constexpr WindowHandle kMain = 0x5000, kEdit1 = 0x5010, kWeb = 0x5020;

class FolderPickerTest : public LauncherTest {
 protected:
  FolderPickerTest() : form(platform, application, {"vantro.exe"}) {
    form.AttachWindow(kMain, kEdit1, kWeb);
  }
  void Click() {
    application.Protect(kMain, [&] { form.Button1Click(); });
  }
  TForm1 form;
};

TEST_F(FolderPickerTest, OpensAtTheFolderShownWithTitleAndFlags) {
  Click();
  SetIni("lol_path", kGame);
  AddGameExe();
  form.FormCreate();
  Click();
  ASSERT_EQ(platform.pickers.size(), 2u);
  EXPECT_EQ(platform.pickers[0].startFolder, "");
  EXPECT_EQ(platform.pickers[1].startFolder, kGame);
  EXPECT_EQ(platform.pickers[1].owner, kMain);
  EXPECT_EQ(platform.pickers[1].title, "选择英雄联盟(国服/韩服)安装目录：");
  EXPECT_EQ(platform.pickers[1].flags, 0x25u);
}

TEST_F(FolderPickerTest, FourRulesInOrderAndTheFolderIsShownHeldAndSaved) {
  struct Case {
    const char* picked;
    bool rads;
    const char* inner;
    std::string accepted;
  };
  const std::string f = "E:\\Tencent\\LOL";
  const Case cases[] = {
      {"exe", false, "", f},
      {"game", false, "\\game", f + "\\game"},
      {"rads", true, "", f},
      {"kr", true, "\\League of Legends KR", f + "\\League of Legends KR"},
  };
  for (const Case& c : cases) {
    system.files.clear();
    system.folders.clear();
    c.rads ? AddRads(f + c.inner) : AddGameExe(f + c.inner);
    platform.pickFolder = f;
    platform.calls.clear();
    Click();
    EXPECT_EQ(platform.controlTexts[kEdit1], c.accepted) << c.picked;
    EXPECT_EQ(GameFolder, c.accepted) << c.picked;
    EXPECT_EQ(Ini("lol_path"), c.accepted) << c.picked;
    EXPECT_EQ(platform.calls[1], "SetControlText " + c.accepted) << c.picked;
    EXPECT_EQ(platform.calls[2], "ProfileWrite lol_path=" + c.accepted) << c.picked;
  }
  // A folder with both the executable and the RADS tree is accepted as it is.
  AddGameExe(f);
  AddRads(f);
  Click();
  EXPECT_EQ(GameFolder, f);
}

TEST_F(FolderPickerTest, FolderWithoutGameShowsTheBoxAndKeepsEverything) {
  SetIni("lol_path", kGame);
  AddGameExe();
  form.FormCreate();
  platform.pickFolder = "E:\\Other";
  Click();
  EXPECT_EQ(platform.boxes.back().text, kChooseFolderText);
  EXPECT_EQ(platform.boxes.back().caption, kApplicationTitle);
  EXPECT_EQ(GameFolder, kGame);
  EXPECT_EQ(Ini("lol_path"), kGame);
  EXPECT_EQ(platform.controlTexts[kEdit1], kGame);
}

TEST_F(FolderPickerTest, CancelChangesNothingAndShowsNothing) {
  platform.pickFolder = "";
  Click();
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.calls, std::vector<std::string>{"BrowseFolder "});
}

TEST_F(FolderPickerTest, DriveRootGetsTheTestPathsAppendedAsTheyAre) {
  system.files.insert("C:\\\\League of Legends.exe");
  platform.pickFolder = "C:\\";
  Click();
  EXPECT_EQ(GameFolder, "C:\\");
}

TEST_F(FolderPickerTest, UnsavedFolderIsUsedForTheRunAndTheErrorShown) {
  AddGameExe();
  system.readOnlyFiles.insert(kIni);
  platform.pickFolder = kGame;
  Click();
  EXPECT_EQ(GameFolder, kGame);
  EXPECT_EQ(platform.controlTexts[kEdit1], kGame);
  EXPECT_EQ(platform.boxes.back().text, std::string("Unable to write to ") + kIni + ".");
  EXPECT_EQ(platform.boxes.back().flags, kMbOk | kMbIconError);
}

}  // namespace
}  // namespace vantro::fake
