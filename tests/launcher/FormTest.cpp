// The main window's logic: the set-up order and where it stops, the spectate
// launch with its two ways of starting cmd, hand-offs, and the error box.
#include "launcher/Unit1.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "LauncherFixture.h"
#include "launcher/HandOff.h"
#include "launcher/LauncherErrors.h"
#include "rtl/AnsiText.h"

namespace vantro::fake {
namespace {

class FormTest : public LauncherTest {
 protected:
  // A form as the window layer makes it, started with the given arguments.
  TForm1& Form(std::vector<std::string> args = {}) {
    args.insert(args.begin(), "C:\\vantro\\vantro.exe");
    form_ = std::make_unique<TForm1>(platform, application, args);
    form_->AttachWindow(kMain, kEdit1, kWeb);
    return *form_;
  }
  void Create(TForm1& form) {
    application.Protect(form.Handle(), [&] { form.FormCreate(); });
  }
  // The parameter text for cmd with the game executable in kGame.
  static std::string InGame(const std::string& arguments) {
    return "/c cd /d D:\\Games\\LoL" + kStart + arguments + "\" && exit";
  }
  void WithGame() {
    GameFolder = kGame;
    AddGameExe();
  }

  static constexpr WindowHandle kMain = 0x5000, kEdit1 = 0x5010, kWeb = 0x5020;
  std::unique_ptr<TForm1> form_;
};

// The client page comes last: the game does not wait for the browser.
TEST_F(FormTest, SetUpRunsInOrderAndLaunchesTheLinkBeforeTheWindowShows) {
  SetIni("lol_path", kGame);
  AddRads();
  Create(Form({"kivra://one|two|three/", "ignored"}));
  const std::string p = "/c cd /d " + kRadsDeployPath + kStart + "one two three\" && exit";
  EXPECT_EQ(
      platform.calls,
      (std::vector<std::string>{
          "RegistryCreate kivra", "RegistrySet kivra[]", "RegistrySet kivra[URL Protocol]",
          "RegistryCreate kivra\\DefaultIcon", "RegistrySet kivra\\defaulticon[]",
          "RegistryCreate kivra\\shell\\open\\command", "RegistrySet kivra\\shell\\open\\command[]",
          "RegisterMessage ZANTOR_MESSAGE", "ProfileRead lol_path", "SetControlText D:\\Games\\LoL",
          "ProfileWrite cmd=" + p, std::string("ProfileFlush ") + kIni, "ShellExecuteEx cmd " + p,
          "Navigate " + UpdateTarget.clientPageUrl}));
  EXPECT_EQ(GameFolder, kGame);
  EXPECT_EQ(platform.controlTexts[kEdit1], kGame);
  EXPECT_EQ(Ini("cmd"), p);
}

TEST_F(FormTest, NoGameFolderShowsTheBoxAndDropsTheLink) {
  SetIni("lol_path", "D:\\Empty");
  TForm1& form = Form({"kivra://x"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, kChooseFolderText);
  EXPECT_EQ(platform.boxes[0].caption, kApplicationTitle);
  EXPECT_EQ(platform.boxes[0].flags, kMbOk);
  // The box ends the set-up; only the client page comes after it.
  EXPECT_EQ(platform.calls.end()[-2], std::string("MessageBox ") + kChooseFolderText);
  EXPECT_EQ(platform.calls.back(), "Navigate " + UpdateTarget.clientPageUrl);
  EXPECT_EQ(Ini("cmd"), "<absent>");
  EXPECT_EQ(Ini("watch"), "<absent>");
  EXPECT_TRUE(platform.controlTexts.empty());
  // The hand-off message was registered before: hand-offs work later.
  EXPECT_NE(form.HandOffMessage(), 0u);
}

TEST_F(FormTest, FirstStartWithoutSettingsTestsTheDriveRoot) {
  Create(Form());
  EXPECT_EQ(GameFolder, "");
  EXPECT_EQ(platform.boxes.size(), 1u);
  system.files.insert("\\League of Legends.exe");
  platform.boxes.clear();
  Create(Form());
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(FormTest, RegistryErrorEndsSetUpInTheErrorBox) {
  SetIni("lol_path", kGame);
  AddGameExe();
  system.denyWrites.insert("kivra");
  TForm1& form = Form({"kivra://x"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  // The quote's code is below that of ".": no full stop.
  EXPECT_EQ(platform.boxes[0].text, "Failed to set data for ''");
  EXPECT_EQ(platform.boxes[0].caption, kApplicationTitle);
  EXPECT_EQ(platform.boxes[0].flags, kMbOk | kMbIconError);
  EXPECT_EQ(form.HandOffMessage(), 0u);
  EXPECT_EQ(GameFolder, "");
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  EXPECT_TRUE(platform.navigations.empty());
  // Hand-offs are ignored for the whole run, also a message whose id is 0.
  Deliver(form, 0);
  EXPECT_TRUE(platform.CallsOf("ProfileRead").empty());
}

TEST(ErrorBoxTextTest, FullStopUnlessTheLastCharacterIsAtMostAFullStop) {
  EXPECT_EQ(ErrorBoxText("Unable to write to C:\\x"), "Unable to write to C:\\x.");
  EXPECT_EQ(ErrorBoxText("done."), "done.");
  EXPECT_EQ(ErrorBoxText("a call-"), "a call-");
  EXPECT_EQ(ErrorBoxText("x!"), "x!");
  EXPECT_EQ(ErrorBoxText("x/"), "x/.");
  EXPECT_EQ(ErrorBoxText(""), "");
  ScopedAnsiCodePage gbk(936);
  EXPECT_EQ(ErrorBoxText("\xb4\xed"), "\xb4\xed.");
}

TEST_F(FormTest, ErrorTextFromOutsideIsConvertedFromTheAnsiCodePage) {
  application.ShowException(kMain, EIniFileException("Unable to write to D:\\\xe9"));
  EXPECT_EQ(platform.boxes.back().text, "Unable to write to D:\\\xc3\xa9.");
}

TEST_F(FormTest, WatchingOnVistaAndLaterRunsCmdElevatedAndHidden) {
  GameFolder = kGame;
  AddGameExe();
  Form().Watching("kivra://a|b/");
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  const ShellExecuteRecord& run = platform.shellExecuteExRuns[0];
  EXPECT_EQ(run.cbSize, 60u);
  EXPECT_EQ(run.fMask, 0x500u);
  EXPECT_EQ(run.hwnd, kMain);
  EXPECT_EQ(run.lpVerb, "runas");
  EXPECT_EQ(run.lpFile, "cmd");
  EXPECT_EQ(run.lpParameters, InGame("a b"));
  EXPECT_EQ(run.lpDirectory, "");
  EXPECT_EQ(run.nShow, 0);
  EXPECT_TRUE(platform.shellExecuteRuns.empty());
}

TEST_F(FormTest, WatchingBeforeVistaUsesThePlainStart) {
  platform.majorVersion = 5;
  WithGame();
  Form().Watching("kivra://");
  ASSERT_EQ(platform.shellExecuteRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteRuns[0],
            (std::vector<std::string>{"0x5000", "", "cmd", InGame(""), "", "0"}));
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
}

TEST_F(FormTest, RefusedElevationRaisesTheSystemErrorAfterStoringTheCommand) {
  platform.shellExecuteExFails = true;
  platform.shellExecuteExError = 1223;
  platform.errorTexts[1223] = "The operation was canceled by the user.\r\n";
  WithGame();
  TForm1& form = Form();
  try {
    form.Watching("kivra://x");
    FAIL() << "no error";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.Message(),
              "System Error.  Code: 1223.\r\nThe operation was canceled by the user");
    EXPECT_EQ(error.ErrorCode(), 1223u);
  }
  EXPECT_NE(Ini("cmd"), "<absent>");
  platform.shellExecuteExError = 0;
  EXPECT_THROW(
      try { form.Watching("kivra://x"); } catch (const EOSError& error) {
        EXPECT_EQ(error.Message(), "A call to an OS function failed");
        throw;
      },
      EOSError);
}

TEST_F(FormTest, AFailedLaunchDuringSetUpStillGetsTheClientPageBeforeItsErrorBox) {
  platform.shellExecuteExFails = true;
  platform.shellExecuteExError = 1223;
  SetIni("lol_path", kGame);
  AddGameExe();
  Create(Form({"kivra://x"}));
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].flags, kMbOk | kMbIconError);
  const auto launch =
      std::find(platform.calls.begin(), platform.calls.end(), "ShellExecuteEx cmd " + InGame("x"));
  ASSERT_NE(launch, platform.calls.end());
  ASSERT_LT(launch + 2, platform.calls.end());
  EXPECT_EQ(launch[1], "Navigate " + UpdateTarget.clientPageUrl);
  EXPECT_EQ(launch[2].rfind("MessageBox System Error.", 0), 0u) << launch[2];
}

TEST_F(FormTest, ReadOnlySettingsPreventTheLaunch) {
  SetIni("cmd", "old");
  system.readOnlyFiles.insert(kIni);
  WithGame();
  EXPECT_THROW(Form().Watching("kivra://x"), EIniFileException);
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  EXPECT_EQ(Ini("cmd"), "old");
}

TEST_F(FormTest, LinksCmdWouldActOnAreRefusedAndNothingIsStoredOrStarted) {
  SetIni("cmd", "old");
  for (const char* link : {"kivra://a%USERNAME%b", "kivra://a\"&calc&\"", "kivra://a\r\nb",
                           "kivra://a\x1b", "kivra://a\tb"}) {
    Form().Watching(link);
    ASSERT_FALSE(platform.boxes.empty()) << link;
    EXPECT_EQ(platform.boxes.back().text, kRefusedLinkText);
    EXPECT_EQ(platform.boxes.back().caption, kApplicationTitle);
  }
  EXPECT_EQ(platform.boxes.size(), 5u);
  EXPECT_EQ(Ini("cmd"), "old");
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  // A text that is no link is refused even when its arguments are harmless.
  WithGame();
  Form().Watching("\r\n\t%\"\x01kivra");
  EXPECT_EQ(platform.boxes.back().text, kRefusedLinkText);
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  Form().Watching("Kivra://x");
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 1u);
}

TEST_F(FormTest, GameFolderWithCmdCharactersIsQuoted) {
  GameFolder = "D:\\R&D Games";
  AddGameExe(GameFolder);
  Form().Watching("kivra://x");
  EXPECT_EQ(Ini("cmd"), "/c cd /d \"D:\\R&D Games\"" + kStart + "x\" && exit");
}

TEST_F(FormTest, HandOffLaunchesWhatWatchHoldsAndLeavesIt) {
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1& form = Form();
  Create(form);
  SetIni("watch", "kivra://handed|over");
  Deliver(form, form.HandOffMessage());
  Deliver(form, form.HandOffMessage() + 1);
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame("handed over"));
  EXPECT_EQ(Ini("watch"), "kivra://handed|over");
  EXPECT_FALSE(form.MainWindowProc(form.HandOffMessage() + 1, 0, 0));
  EXPECT_TRUE(form.MainWindowProc(form.HandOffMessage(), 0, 1));
}

TEST_F(FormTest, HandOffErrorIsShownAndTheWindowGoesOn) {
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1& form = Form();
  Create(form);
  SetIni("watch", "kivra://x");
  platform.shellExecuteExFails = true;
  platform.shellExecuteExError = 5;
  platform.errorTexts[5] = "Access denied.\r\n";
  Deliver(form, form.HandOffMessage());
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, "System Error.  Code: 5.\r\nAccess denied.");
  platform.shellExecuteExFails = false;
  Deliver(form, form.HandOffMessage());
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 2u);
}

TEST_F(FormTest, OverLongWatchIsLaunchedAsFarAsItReadsBack) {
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1& form = Form();
  Create(form);
  SetIni("watch", "kivra://" + std::string(3000, 'k'));
  Deliver(form, form.HandOffMessage());
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame(std::string(2047 - 8, 'k')));
  EXPECT_EQ(Ini("watch").size(), 3008u);
}

TEST_F(FormTest, AnEscapedLinkAsLongAsWatchHoldsIsHandedOverWhole) {
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1& form = Form();
  Create(form);
  std::string link = "kivra://";
  while (link.size() < 2045)
    link += "%7C";
  link += "ab";
  ASSERT_EQ(link.size(), 2047u);
  SetIni("watch", link);
  Deliver(form, form.HandOffMessage());
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame(std::string(679, ' ') + "ab"));
}

TEST_F(FormTest, AFirstLinkWaitsForTheFolderPickAndIsLaunchedOnce) {
  TForm1& form = Form({"kivra://a%7Cb"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, kChooseFolderText);
  EXPECT_EQ(platform.boxes[0].caption, kApplicationTitle);
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  EXPECT_EQ(Ini("cmd") + Ini("watch"), "<absent><absent>");
  AddGameExe();
  platform.pickFolder = kGame;
  form.Button1Click();
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame("a b"));
  // The folder is saved before the launch, which comes once.
  EXPECT_LT(
      std::find(platform.calls.begin(), platform.calls.end(),
                "ProfileWrite lol_path=" + std::string(kGame)),
      std::find(platform.calls.begin(), platform.calls.end(), "ProfileWrite cmd=" + Ini("cmd")));
  form.Button1Click();
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_FALSE(form.PendingLink());
}

TEST_F(FormTest, APendingLinkOutlivesCancelAndRefusedFoldersAndTheNewestWins) {
  TForm1& form = Form({"kivra://first"});
  Create(form);
  SetIni("watch", "kivra://second");
  Deliver(form, form.HandOffMessage());
  EXPECT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[1].text, kChooseFolderText);
  platform.pickFolder = "";  // cancelled
  form.Button1Click();
  platform.pickFolder = "D:\\Empty";  // holds no game
  form.Button1Click();
  EXPECT_EQ(platform.boxes.size(), 3u);
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  AddGameExe();
  platform.pickFolder = kGame;
  form.Button1Click();
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame("second"));
}

TEST_F(FormTest, ALaunchedHandOffReplacesTheLinkThatWaited) {
  SetIni("lol_path", kGame);
  AddRadsWithoutRelease();
  TForm1& form = Form({"kivra://older"});
  Create(form);
  ASSERT_TRUE(form.PendingLink());
  AddRads();  // the game's release is back
  SetIni("watch", "kivra://newer");
  Deliver(form, form.HandOffMessage());
  EXPECT_FALSE(form.PendingLink());
  platform.pickFolder = kGame;
  form.Button1Click();
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters,
            "/c cd /d " + kRadsDeployPath + kStart + "newer\" && exit");
}

// An empty "watch" (read while another launcher rewrote the file) is no link:
// it neither starts anything nor replaces the link that waits.
TEST_F(FormTest, AnEmptyHandOffIsRefusedAndTheWaitingLinkStays) {
  TForm1& form = Form({"kivra://waiting"});
  Create(form);  // no game folder: the box, but the message is registered
  Deliver(form, form.HandOffMessage());
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[1].text, kRefusedLinkText);
  ASSERT_TRUE(form.PendingLink());
  EXPECT_EQ(*form.PendingLink(), "kivra://waiting");
}

// Links handed over while the folder box or the picker is open reach the
// main window (the modal loops serve its messages); the newest waits for
// the pick, without a box over the one that is open, and is launched once.
TEST_F(FormTest, HandOffsWhileTheBoxOrThePickerIsOpenAreKeptAndTheNewestLaunched) {
  TForm1& form = Form({"kivra://first"});
  system.windows[kMain];
  int handedOver = 0;
  platform.onMessageBox = [&](const FakePlatform::Box&) {
    if (handedOver++ == 0) {
      EXPECT_EQ(form.CopyData(kHandOffDataTag, "kivra://during|box"), kHandOffTaken);
    }
    DeliverPosted(system, form);
  };
  Create(form);
  // The set-up's box first; the link that came during it, after the set-up.
  EXPECT_EQ(DeliverPosted(system, form), 1);
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(*form.PendingLink(), "kivra://during|box");
  platform.whilePicking = [&] {
    EXPECT_EQ(form.CopyData(kHandOffDataTag, "kivra://during|picker"), kHandOffTaken);
    EXPECT_EQ(form.CopyData(0, "kivra://untagged"), 0);
    DeliverPosted(system, form);
  };
  AddGameExe();
  platform.pickFolder = kGame;
  form.Button1Click();
  EXPECT_EQ(platform.boxes.size(), 2u);
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteExRuns[0].lpParameters, InGame("during picker"));
  EXPECT_EQ(DeliverPosted(system, form), 0);
}

TEST_F(FormTest, ARefusedFirstLinkIsNotKeptAndTheFolderIsStillAskedFor) {
  TForm1& form = Form({"kivra://%22"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[0].text, kRefusedLinkText);
  EXPECT_EQ(platform.boxes[1].text, kChooseFolderText);
  EXPECT_FALSE(form.PendingLink());
}

TEST_F(FormTest, ARadsTreeWithoutAReleaseToChangeIntoIsAMissingGame) {
  SetIni("lol_path", kGame);
  AddRadsWithoutRelease();
  TForm1& form = Form({"kivra://x"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, kChooseFolderText);
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
  EXPECT_TRUE(form.PendingLink());
  // The folder is known all the same: the field shows it.
  EXPECT_EQ(platform.controlTexts[kEdit1], kGame);
}

}  // namespace
}  // namespace vantro::fake
