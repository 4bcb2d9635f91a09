// Looking for the game when the stored folder holds none: what uninstall
// entries and the usual folders yield, what a found folder becomes (stored
// as a picked one, or the picker's start), and the values that must never
// hurt. One table; each case is a first start with a link.
#include <gtest/gtest.h>

#include <functional>

#include "LauncherFixture.h"
#include "launcher/GameFolderSearch.h"
#include "launcher/HandOff.h"

namespace vantro::fake {
namespace {

constexpr WindowHandle kMain = 0x5000, kEdit1 = 0x5010, kWeb = 0x5020;
const std::string kUninstall = "\\software\\microsoft\\windows\\currentversion\\uninstall\\";

class FolderSearchTest : public LauncherTest {
 public:
  // The table's arrangements reach these through a FolderSearchTest&.
  using LauncherTest::AddGameExe;
  using LauncherTest::AddRads;
  using LauncherTest::platform;
  using LauncherTest::system;
  // An uninstall entry under hive ("hklm64", "hklm32", "hkcu") with one value.
  void Entry(const std::string& hive, const std::string& name, const std::string& value,
             const std::string& text, std::uint32_t type = kRegSz) {
    system.SetRegistryValue(hive + kUninstall + name, value, type, text + '\0');
  }
  std::unique_ptr<TForm1> Start(const std::string& link = "kivra://a|b") {
    auto form = std::make_unique<TForm1>(platform, application,
                                         std::vector<std::string>{"vantro.exe", link});
    form->AttachWindow(kMain, kEdit1, kWeb);
    system.windows[kMain];  // where the form posts to itself
    application.Protect(kMain, [&] { form->FormCreate(); });
    return form;
  }
};

struct SearchCase {
  const char* what;
  std::function<void(FolderSearchTest&)> arrange;
  std::string stored;       // lol_path afterwards; empty: not written
  std::string pickerStart;  // where the picker opens when nothing was stored
  std::vector<std::string> boxes;
};

const std::string kFound = "E:\\Riot\\LoL";

TEST_F(FolderSearchTest, WhatIsFoundAndWhatBecomesOfIt) {
  using T = FolderSearchTest;
  const std::string big(5000, 'x');
  const SearchCase cases[] = {
      {"one entry: stored and launched, no box",
       [](T& t) { t.AddGameExe(kFound), t.Entry("hklm64", "LoL", "InstallLocation", kFound); },
       kFound,
       "",
       {}},
      {"InstallLocation quoted, with a trailing backslash",
       [](T& t) {
         t.AddGameExe(kFound);
         t.Entry("hklm64", "LoL", "InstallLocation", " \"" + kFound + "\\\" ");
       },
       kFound,
       "",
       {}},
      {"DisplayIcon's folder when InstallLocation is empty",
       [](T& t) {
         t.AddGameExe(kFound);
         t.Entry("hklm64", "LoL", "InstallLocation", "");
         t.Entry("hklm64", "LoL", "DisplayIcon", "\"" + kFound + "\\LeagueClient.exe\",0");
       },
       kFound,
       "",
       {}},
      {"DisplayIcon unquoted with a negative index",
       [](T& t) {
         t.AddGameExe(kFound);
         t.Entry("hkcu", "LoL", "DisplayIcon", kFound + "\\Client.exe,-101");
       },
       kFound,
       "",
       {}},
      {"the 32-bit view",
       [](T& t) { t.AddRads(kFound), t.Entry("hklm32", "LoL", "InstallLocation", kFound); },
       kFound,
       "",
       {}},
      {"HKCU",
       [](T& t) { t.AddGameExe(kFound), t.Entry("hkcu", "LoL", "InstallLocation", kFound); },
       kFound,
       "",
       {}},
      {"a parent folder goes through the rules",
       [](T& t) {
         t.AddGameExe(kFound + "\\game");
         t.Entry("hklm64", "LoL", "InstallLocation", kFound);
       },
       kFound + "\\game",
       "",
       {}},
      {"the same folder in two views and letter cases is one",
       [](T& t) {
         t.AddGameExe(kFound);
         t.AddGameExe("e:\\RIOT\\lol");
         t.Entry("hklm64", "LoL", "InstallLocation", kFound);
         t.Entry("hkcu", "LoL", "InstallLocation", "e:\\RIOT\\lol");
       },
       kFound,
       "",
       {}},
      {"two installs: the box, and the picker opens at the first",
       [](T& t) {
         t.AddGameExe(kFound);
         t.AddGameExe("F:\\Other LoL");
         t.Entry("hkcu", "LoL", "InstallLocation", "F:\\Other LoL");
         t.Entry("hklm32", "LoL", "InstallLocation", kFound);
       },
       "",
       kFound,
       {kChooseFolderText}},
      {"a usual folder on the second fixed drive",
       [](T& t) { t.AddGameExe("D:\\Riot Games\\League of Legends"); },
       "D:\\Riot Games\\League of Legends",
       "",
       {}},
      {"a usual folder the code page can spell",
       [](T& t) {
         t.platform.ansiSpellings["\\英雄联盟"] = "\\\xd3\xa2\xd0\xdb\xc1\xaa\xc3\xcb";
         t.AddGameExe("C:\\\xd3\xa2\xd0\xdb\xc1\xaa\xc3\xcb");
       },
       "C:\\\xd3\xa2\xd0\xdb\xc1\xaa\xc3\xcb",
       "",
       {}},
      {"a usual folder it cannot spell is not looked at",
       [](T& t) { t.AddGameExe("C:\\\xd3\xa2\xd0\xdb\xc1\xaa\xc3\xcb"); },
       "",
       "",
       {kChooseFolderText}},
      {"a found folder holding % is refused, saying why",
       [](T& t) {
         t.AddGameExe("E:\\100%\\LoL");
         t.Entry("hklm64", "LoL", "InstallLocation", "E:\\100%\\LoL");
       },
       "",
       "",
       {kPercentFolderText, kChooseFolderText}},
      {"hostile values next to a good one",
       [big](T& t) {
         t.AddGameExe(kFound);
         t.system.files.insert("C:\\file.exe");
         t.system.folders.insert("C:\\Empty");
         t.Entry("hklm64", "a-empty", "InstallLocation", "");
         t.Entry("hklm64", "b-quote", "InstallLocation", "\"");
         t.Entry("hklm64", "c-file", "InstallLocation", "C:\\file.exe");
         t.Entry("hklm64", "d-gone", "InstallLocation", "C:\\Gone");
         t.Entry("hklm64", "e-nogame", "InstallLocation", "C:\\Empty");
         t.Entry("hklm64", "f-big", "InstallLocation", "C:\\" + big);
         t.Entry("hklm64", "g-dword", "InstallLocation", "\x01\x02\x03", kRegDword);
         t.Entry("hklm64", "h-binary", "InstallLocation", kFound, 3);
         t.Entry("hklm64", "i-multi", "InstallLocation", kFound, 7);
         t.Entry("hklm64", "j-relative", "InstallLocation", "Riot\\LoL");
         t.Entry("hklm64", "k-network", "InstallLocation", "\\\\server\\share\\LoL");
         t.Entry("hklm64", "l-icon", "DisplayIcon", "\"C:\\unclosed.exe,0");
         t.Entry("hklm64", "m-icon", "DisplayIcon", ",0");
         t.Entry("hklm64", "n-icon", "DisplayIcon", "\"\"");
         t.Entry("hklm64", "o-icon", "DisplayIcon", "%SystemRoot%\\x.exe", kRegExpandSz);
         t.Entry("hklm64", "p-locked", "InstallLocation", kFound);
         t.system.denyKeys.insert("hklm64" + kUninstall + "p-locked");
         t.system.SetRegistryKey("hklm64" + kUninstall + "q-novalues");
         // No terminating zero, a zero inside.
         t.system.SetRegistryValue("hklm64" + kUninstall + "r-raw", "InstallLocation", kRegSz,
                                   "C:\\Gone");
         t.system.SetRegistryValue("hklm64" + kUninstall + "s-zero", "InstallLocation", kRegSz,
                                   "C:\\Gone" + std::string(1, '\0') + "x");
         t.Entry("hkcu", "z-good", "InstallLocation", kFound);
       },
       kFound,
       "",
       {}},
      {"hostile values alone cost nothing but the search",
       [big](T& t) {
         t.system.folders.insert("C:\\Empty");
         t.Entry("hklm64", "a", "InstallLocation", "C:\\Empty");
         t.Entry("hklm32", "b", "DisplayIcon", big);
         t.Entry("hkcu", "c", "InstallLocation", "\\\\?\\C:\\x");
         t.system.denyKeys.insert("hklm32" + kUninstall.substr(0, kUninstall.size() - 1));
       },
       "",
       "",
       {kChooseFolderText}},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.what);
    system.files.clear();
    system.folders.clear();
    system.registry.clear();
    system.denyKeys.clear();
    system.profiles.clear();
    platform.ansiSpellings.clear();
    platform.boxes.clear();
    platform.pickers.clear();
    platform.shellExecuteExRuns.clear();
    GameFolder.clear();
    c.arrange(*this);
    auto form = Start();
    std::vector<std::string> boxes;
    for (const auto& box : platform.boxes)
      boxes.push_back(box.text);
    EXPECT_EQ(boxes, c.boxes);
    if (c.stored.empty()) {
      EXPECT_EQ(Ini("lol_path"), "<absent>");
      EXPECT_TRUE(platform.shellExecuteExRuns.empty());
      platform.pickFolder = "";
      form->Button1Click();
      ASSERT_EQ(platform.pickers.size(), 1u);
      EXPECT_EQ(platform.pickers[0].startFolder, c.pickerStart);
      continue;
    }
    // Stored as a picked folder is: shown, held, saved; then the link starts.
    EXPECT_EQ(Ini("lol_path"), c.stored);
    EXPECT_EQ(GameFolder, c.stored);
    EXPECT_EQ(platform.controlTexts[kEdit1], platform.AnsiToUtf8(c.stored));
    ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
    EXPECT_NE(platform.shellExecuteExRuns[0].lpParameters.find(c.stored), std::string::npos);
  }
}

TEST_F(FolderSearchTest, AStoredFolderThatHoldsTheGameIsNeverSearchedPast) {
  AddGameExe();
  AddGameExe(kFound);
  Entry("hklm64", "LoL", "InstallLocation", kFound);
  SetIni("lol_path", kGame);
  Start();
  EXPECT_TRUE(platform.CallsOf("RegistrySubKeys").empty());
  EXPECT_TRUE(platform.CallsOf("FixedDrives").empty());
  EXPECT_EQ(Ini("lol_path"), kGame);
}

TEST_F(FolderSearchTest, AMovedGameIsFoundAgainAndTheSearchRunsOnceARun) {
  SetIni("lol_path", kGame);  // the game is no longer there
  AddGameExe(kFound);
  Entry("hklm64", "LoL", "InstallLocation", kFound);
  auto form = Start();
  EXPECT_EQ(Ini("lol_path"), kFound);
  EXPECT_TRUE(platform.boxes.empty());
  // Gone again within the run: a hand-off asks, without a second search.
  system.files.clear();
  form->CopyData(kHandOffDataTag, "kivra://later");
  DeliverPosted(system, *form);
  EXPECT_EQ(platform.CallsOf("FixedDrives").size(), 1u);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(*form->PendingLink(), "kivra://later");
}

TEST_F(FolderSearchTest, APickedFolderCmdWouldMisreadIsRefusedSayingWhy) {
  auto form = Start();
  const struct {
    std::string picked;
    const char* box;
  } cases[] = {{"E:\\100%\\LoL", kPercentFolderText},
               {"E:\\%USERPROFILE%", kPercentFolderText},
               // The picker spells what the code page cannot as "?".
               {"E:\\Jeux ?", kNotAnsiFolderText}};
  for (const auto& c : cases) {
    AddGameExe(c.picked);
    platform.pickFolder = c.picked;
    platform.boxes.clear();
    form->Button1Click();
    ASSERT_EQ(platform.boxes.size(), 1u) << c.picked;
    EXPECT_EQ(platform.boxes[0].text, c.box) << c.picked;
    EXPECT_EQ(Ini("lol_path"), "<absent>");
    EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  }
  EXPECT_TRUE(form->PendingLink());
}

TEST(UninstallValueTest, FoldersTheValuesName) {
  EXPECT_EQ(InstallLocationFolder("C:\\"), "C:\\");
  EXPECT_EQ(InstallLocationFolder("C:\\Games\\\\"), "C:\\Games\\");
  EXPECT_EQ(InstallLocationFolder("\"C:\\A B\""), "C:\\A B");
  EXPECT_EQ(InstallLocationFolder("C:"), "");
  EXPECT_EQ(DisplayIconFolder("C:\\x.exe"), "C:\\");
  EXPECT_EQ(DisplayIconFolder("C:\\a,b\\x.exe"), "C:\\a,b");
  EXPECT_EQ(DisplayIconFolder("C:\\a,b\\x.exe , 2"), "C:\\a,b");
  EXPECT_EQ(DisplayIconFolder("\"C:\\a b\\x.exe\" ,0"), "C:\\a b");
  EXPECT_EQ(DisplayIconFolder("x.exe,0"), "");
}

}  // namespace
}  // namespace vantro::fake
