// The instance slot between launcher processes on one system.
#include "launcher/wdRunOnce.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "launcher/LauncherTexts.h"
#include "tests/support/fake_platform.h"

namespace vantro::fake {
namespace {

// One launcher process: its platform, its application window and its slot.
struct Process {
  explicit Process(FakeSystem& system)
      : platform(system), window(system.NewWindow(false)), slot(platform) {}
  FakePlatform platform;
  WindowHandle window;
  TRunOnce slot;
};

class RunOnceTest : public ::testing::Test {
 protected:
  std::uint32_t SlotValue() { return system.mappings.at(kInstanceSlotName)->value; }
  FakeSystem system;
};

TEST_F(RunOnceTest, FirstClaimsTheSlotLaterOnesGetItsWindow) {
  Process first(system), second(system);
  first.slot.OpenInstanceSlot();
  EXPECT_EQ(first.slot.CheckPrevInstance(first.window), 0u);
  EXPECT_EQ(SlotValue(), first.window);

  second.slot.OpenInstanceSlot();
  EXPECT_EQ(second.slot.CheckPrevInstance(second.window), first.window);
  const auto& sent = system.windows[first.window].sent;
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].id, kWmSysCommand);
  EXPECT_EQ(sent[0].wParam, kScRestore);
  // The popup is the window itself: nothing is brought to the front.
  EXPECT_TRUE(second.platform.CallsOf("SetForeground").empty());
  EXPECT_EQ(SlotValue(), first.window);
}

TEST_F(RunOnceTest, LastActivePopupComesToTheFrontWhenVisibleAndEnabled) {
  Process first(system), second(system);
  first.slot.OpenInstanceSlot();
  first.slot.CheckPrevInstance(first.window);
  const WindowHandle main = system.NewWindow();
  system.windows[first.window].lastActivePopup = main;
  second.slot.OpenInstanceSlot();
  EXPECT_EQ(second.slot.CheckPrevInstance(second.window), main);
  EXPECT_EQ(second.platform.CallsOf("SetForeground").size(), 1u);

  system.windows[main].enabled = false;  // a modal box of the first is up
  Process third(system);
  third.slot.OpenInstanceSlot();
  EXPECT_EQ(third.slot.CheckPrevInstance(third.window), main);
  EXPECT_TRUE(third.platform.CallsOf("SetForeground").empty());
}

TEST_F(RunOnceTest, OnlyAStartThatClaimsTheSlotAsksForItsApplicationWindow) {
  Process first(system), second(system), unmapped(system);
  int asked = 0;
  first.slot.OpenInstanceSlot();
  EXPECT_EQ(first.slot.CheckPrevInstance([&] { return ++asked, first.window; }), 0u);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(SlotValue(), first.window);
  second.slot.OpenInstanceSlot();
  EXPECT_EQ(second.slot.CheckPrevInstance([&] { return ++asked, second.window; }), first.window);
  EXPECT_EQ(asked, 1);
  // Without the slot the window is made later, with the main window.
  system.failOpenMapping = system.failCreateMapping = true;
  unmapped.slot.OpenInstanceSlot();
  EXPECT_EQ(unmapped.slot.CheckPrevInstance([&] { return ++asked, unmapped.window; }), 0u);
  EXPECT_EQ(asked, 1);
}

TEST_F(RunOnceTest, StaleWindowInTheSlotMakesAFirstInstanceWithoutClaiming) {
  Process first(system), later(system);
  first.slot.OpenInstanceSlot();
  first.slot.CheckPrevInstance(first.window);
  system.windows[first.window].alive = false;  // it ended; the later one held the object
  later.slot.OpenInstanceSlot();
  EXPECT_EQ(later.slot.CheckPrevInstance(later.window), 0u);
  EXPECT_EQ(SlotValue(), first.window);
}

TEST_F(RunOnceTest, ObjectGoesWithItsLastHandleAndTheNextStartIsFirstAgain) {
  {
    Process first(system);
    first.slot.OpenInstanceSlot();
    first.slot.CheckPrevInstance(first.window);
    first.slot.CloseInstanceSlot();
    EXPECT_EQ(first.platform.calls.back(), "CloseMapping");
  }
  EXPECT_EQ(system.mappings.count(kInstanceSlotName), 0u);
  Process next(system);
  next.slot.OpenInstanceSlot();
  EXPECT_EQ(next.slot.CheckPrevInstance(next.window), 0u);
}

TEST_F(RunOnceTest, NoSharedMemoryMeansRunningAsAFirstInstance) {
  system.failOpenMapping = system.failCreateMapping = true;
  Process alone(system);
  alone.slot.OpenInstanceSlot();
  EXPECT_EQ(alone.slot.CheckPrevInstance(alone.window), 0u);

  system.failCreateMapping = false;
  system.failMapView = true;
  Process unmapped(system);
  unmapped.slot.OpenInstanceSlot();
  EXPECT_EQ(unmapped.slot.CheckPrevInstance(unmapped.window), 0u);
  EXPECT_EQ(system.mappings.count(kInstanceSlotName), 0u);  // its handle was closed
}

TEST_F(RunOnceTest, CreatingTheExistingObjectKeepsAClaimMadeMeanwhile) {
  // Both found no object; the first created and claimed it before the second
  // created it (which opens the existing one).
  system.failOpenMapping = true;
  Process first(system), second(system);
  first.slot.OpenInstanceSlot();
  EXPECT_EQ(first.slot.CheckPrevInstance(first.window), 0u);
  second.slot.OpenInstanceSlot();
  EXPECT_EQ(second.slot.CheckPrevInstance(second.window), first.window);
}

TEST_F(RunOnceTest, TwentyLaunchersAtTheSameMomentMakeExactlyOneFirstInstance) {
  for (int round = 0; round < 50; ++round) {
    FakeSystem shared;
    std::vector<std::unique_ptr<Process>> processes;
    for (int i = 0; i < 20; ++i)
      processes.push_back(std::make_unique<Process>(shared));
    for (auto& process : processes)
      process->slot.OpenInstanceSlot();
    std::atomic<int> ready{0}, firsts{0};
    std::vector<std::thread> threads;
    for (auto& process : processes) {
      threads.emplace_back([&, p = process.get()] {
        ++ready;
        // Yielding keeps twenty spinning threads on two cores from starving
        // the last one to arrive (under TSan each spin costs dearly).
        while (ready.load() < 20)
          std::this_thread::yield();
        if (p->slot.CheckPrevInstance(p->window) == 0) ++firsts;
      });
    }
    for (auto& thread : threads)
      thread.join();
    ASSERT_EQ(firsts.load(), 1) << "round " << round;
  }
}

}  // namespace
}  // namespace vantro::fake
