// The program entry: first instance, and the second instance's hand-off.
#include "launcher/Program.h"

#include <gtest/gtest.h>

#include <ios>
#include <stdexcept>

#include "LauncherFixture.h"
#include "launcher/LauncherErrors.h"

namespace vantro::fake {
namespace {

// The first launcher, running its main window on the same fake system.
class ProgramTest : public LauncherTest {
 protected:
  ProgramTest() : firstGui(system, platform), firstSlot(platform) {
    firstSlot.OpenInstanceSlot();
    firstGui.whileRunning = [this](TForm1& form) { firstForm = &form; };
  }
  int RunFirst() { return LauncherMain(platform, firstGui, firstSlot); }

  // A second launcher process with the given command line.
  struct Second {
    Second(FakeSystem& system, const std::string& commandLine)
        : platform(system), gui(system, platform), slot(platform) {
      platform.commandLine = commandLine;
      slot.OpenInstanceSlot();
    }
    int Run() { return LauncherMain(platform, gui, slot); }
    FakePlatform platform;
    FakeGui gui;
    TRunOnce slot;
  };

  FakeGui firstGui;
  TRunOnce firstSlot;
  TForm1* firstForm = nullptr;
};

TEST_F(ProgramTest, FirstInstanceClaimsTitlesAndRunsItsWindow) {
  EXPECT_EQ(RunFirst(), 0);
  EXPECT_TRUE(firstGui.ran);
  EXPECT_EQ(firstGui.title, kApplicationTitle);
  EXPECT_EQ(application.Title(), kApplicationTitle);
  EXPECT_EQ(system.mappings.at(kInstanceSlotName)->value, firstGui.applicationWindow);
  // Entry registers the message, then FormCreate does.
  EXPECT_EQ(platform.CallsOf("RegisterMessage").size(), 2u);
  EXPECT_EQ(platform.calls.back(), "ShowMainWindow");
}

// The link travels in the message to the main window itself, whatever popup
// is active; "watch" is written all the same, for an older running launcher.
TEST_F(ProgramTest, SecondInstanceWritesWatchThenSendsTheLinkToTheMainWindowAndEnds) {
  SetIni("lol_path", kGame);
  AddGameExe();
  firstGui.whileRunning = [this](TForm1& form) {
    const WindowHandle box = system.NewWindow();
    system.windows[firstGui.applicationWindow].lastActivePopup = box;  // a box is open
    Second second(system, "\"C:\\vantro\\vantro.exe\" \"kivra://new|link/\"");
    EXPECT_EQ(second.Run(), 0);
    EXPECT_FALSE(second.gui.ran);
    EXPECT_EQ(Ini("watch"), "kivra://new|link/");
    const auto calls = second.platform.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3], "ProfileWrite watch=kivra://new|link/");
    char main[32];
    std::snprintf(main, sizeof main, "%#lx", static_cast<unsigned long>(firstGui.mainWindow));
    EXPECT_EQ(calls.back(), std::string("SendWindowData ") + main + " kivra://new|link/");
    EXPECT_TRUE(second.platform.CallsOf("PostMessage").empty());
    EXPECT_TRUE(system.windows[box].posted.empty());
    // The first launches it from its message loop, once.
    EXPECT_TRUE(platform.shellExecuteExRuns.empty());
    EXPECT_EQ(DeliverPosted(system, form), 1);
  };
  RunFirst();
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_NE(platform.shellExecuteExRuns[0].lpParameters.find("\"new link\" && exit"),
            std::string::npos);
}

// A running launcher of an older version takes no data (answers 0): it gets
// the registered message, at its main window, and reads "watch".
TEST_F(ProgramTest, AnOlderRunningLauncherGetsTheMessageAndReadsWatch) {
  SetIni("lol_path", kGame);
  AddGameExe();
  firstGui.whileRunning = [this](TForm1& form) {
    system.windows[firstGui.mainWindow].onData = nullptr;
    system.windows[firstGui.applicationWindow].lastActivePopup = system.NewWindow();
    Second second(system, "vantro.exe kivra://old|way");
    EXPECT_EQ(second.Run(), 0);
    const auto posted = system.windows[firstGui.mainWindow].posted;
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, 0u);
    EXPECT_EQ(posted[0].lParam, 1);
    DeliverPosted(system, form);
  };
  RunFirst();
  ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_NE(platform.shellExecuteExRuns[0].lpParameters.find("\"old way\" && exit"),
            std::string::npos);
}

// Two hand-offs before the first is launched: each launches its own link,
// once, in the order they came, though "watch" holds only the last.
TEST_F(ProgramTest, HandOffsBeforeTheFirstIsLaunchedLaunchEachOnceInOrder) {
  SetIni("lol_path", kGame);
  AddGameExe();
  firstGui.whileRunning = [this](TForm1& form) {
    for (const char* link : {"kivra://one", "kivra://two", "", "kivra://three"}) {
      Second second(system, std::string("vantro.exe \"") + link + "\"");
      second.Run();
    }
    EXPECT_EQ(Ini("watch"), "kivra://three");
    DeliverPosted(system, form);
  };
  RunFirst();
  std::vector<std::string> launched;
  for (const auto& run : platform.shellExecuteExRuns) {
    launched.push_back(run.lpParameters.substr(run.lpParameters.rfind("\"\" \"") + 4));
  }
  EXPECT_EQ(launched,
            (std::vector<std::string>{"one\" && exit", "two\" && exit", "three\" && exit"}));
  // The empty one was refused, and refused only.
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, kRefusedLinkText);
}

TEST_F(ProgramTest, SecondInstanceWithoutLinkLeavesTheSettingsAlone) {
  firstGui.whileRunning = [this](TForm1&) {
    Second second(system, "C:\\vantro\\vantro.exe");
    EXPECT_EQ(second.Run(), 0);
    EXPECT_TRUE(second.platform.CallsOf("Profile").empty());
    EXPECT_TRUE(second.platform.CallsOf("PostMessage").empty());
    EXPECT_EQ(system.windows[firstGui.applicationWindow].sent.size(), 1u);  // the restore
  };
  RunFirst();
}

TEST_F(ProgramTest, SecondInstanceThatCannotWriteShowsTheFatalBoxAndEndsWithOne) {
  firstGui.whileRunning = [this](TForm1&) {
    system.readOnlyFiles.insert(kIni);
    Second second(system, "vantro.exe kivra://x");
    EXPECT_EQ(second.Run(), 1);
    ASSERT_EQ(second.platform.boxes.size(), 1u);
    EXPECT_EQ(second.platform.boxes[0].caption, "Application Error");
    EXPECT_EQ(second.platform.boxes[0].text,
              std::string("EIniFileException: Unable to write to ") + kIni + ".");
    EXPECT_EQ(second.platform.boxes[0].flags, kMbOk | kMbIconError | kMbTaskModal);
    EXPECT_TRUE(second.platform.CallsOf("PostMessage").empty());
  };
  RunFirst();
}

TEST_F(ProgramTest, SecondInstanceWritesWatchEvenWhenTheFirstCannotReceive) {
  firstGui.whileRunning = [this](TForm1&) {
    system.windows[firstGui.applicationWindow].lastActivePopup = system.NewWindow();
    Second second(system, "vantro.exe kivra://x");
    EXPECT_EQ(second.Run(), 0);
    EXPECT_EQ(Ini("watch"), "kivra://x");
  };
  RunFirst();
  EXPECT_TRUE(platform.shellExecuteExRuns.empty());
}

struct Outer {
  struct InnerError : std::runtime_error {
    InnerError() : std::runtime_error("inner") {}
  };
};

TEST_F(ProgramTest, TheFatalBoxNamesTheClassWithoutItsNamespaces) {
  const auto text = [this](const std::exception& error) {
    platform.boxes.clear();
    EXPECT_EQ(FatalError(platform, error), 1);
    return platform.boxes.empty() ? std::string() : platform.boxes[0].text;
  };
  EXPECT_EQ(text(EIniFileException("no")), "EIniFileException: no.");
  EXPECT_EQ(text(EIdReadTimeout("Read Timeout")), "EIdReadTimeout: Read Timeout.");
  EXPECT_EQ(text(std::runtime_error("std")), "runtime_error: std.");
  EXPECT_EQ(text(std::bad_alloc()), "bad_alloc: std::bad_alloc.");
  EXPECT_EQ(text(std::ios_base::failure("io")).rfind("failure: io", 0), 0u);
  EXPECT_EQ(text(Outer::InnerError()), "InnerError: inner.");
}

}  // namespace
}  // namespace vantro::fake
