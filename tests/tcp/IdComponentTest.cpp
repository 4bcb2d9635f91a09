#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tcp/IdAntiFreezeBase.h"
#include "tcp/IdComponent.h"
#include "tcp/IdStack.h"

namespace vantro {
namespace {

TEST(IdComponent, StatusTextsAreFormattedOnlyForAHandler) {
  TIdComponent component;
  component.NotifyStatus(hsResolving, "x");  // no handler: nothing to do, nothing fails
  std::vector<std::string> texts;
  component.OnStatus = [&](TIdComponent& sender, TIdStatus, const std::string& text) {
    EXPECT_EQ(&sender, &component);
    texts.push_back(text);
  };
  component.NotifyStatus(hsResolving, "example");
  component.NotifyStatus(hsConnecting, "127.0.0.1");
  component.NotifyStatus(hsConnected, "example");
  component.NotifyStatus(hsDisconnected);
  component.NotifyStatus(hsStatusText);
  component.NotifyStatus(hsStatusText, "Chunk Started");
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Resolving hostname example.", "Connecting to 127.0.0.1.",
                                      "Connected.", "Disconnected.", "", "Chunk Started"}));
}

TEST(IdComponent, NestedWorkRunsFireOnceWithRunningTotals) {
  TIdComponent component;
  std::vector<std::string> events;
  component.OnWorkBegin = [&](TIdComponent&, TWorkMode, std::int64_t max) {
    events.push_back("begin " + std::to_string(max));
  };
  component.OnWork = [&](TIdComponent&, TWorkMode, std::int64_t count) {
    events.push_back("work " + std::to_string(count));
  };
  component.OnWorkEnd = [&](TIdComponent&, TWorkMode) { events.push_back("end"); };
  component.AddWork(wmRead, 5);  // outside a run: dropped
  component.OpenWork(wmRead, 100);
  component.OpenWork(wmRead, 100);
  component.AddWork(wmRead, 10);
  component.AddWork(wmRead, 10);
  component.AddWork(wmWrite, 7);  // the other mode has no run open
  component.CloseWork(wmRead);
  component.CloseWork(wmRead);
  EXPECT_EQ(events, (std::vector<std::string>{"begin 100", "work 10", "work 20", "end"}));
}

TEST(IdComponent, SharedStackLivesFromTheFirstToTheLastComponent) {
  auto first = std::make_unique<TIdComponent>();
  auto second = std::make_unique<TIdComponent>();
  TIdStack* stack = GStack();
  ASSERT_NE(stack, nullptr);
  first.reset();
  EXPECT_EQ(GStack(), stack);
  second.reset();
  EXPECT_EQ(GStack(), nullptr);
  TIdComponent third;
  EXPECT_NE(GStack(), nullptr);
}

class CountingHook : public TIdAntiFreezeBase {
 public:
  int Calls = 0;
  void ProcessMessages() override { ++Calls; }
};

TEST(IdAntiFreeze, HookRunsOnlyWhileOneExistsAndIsActive) {
  EXPECT_FALSE(TIdAntiFreezeBase::HookInUse());
  TIdAntiFreezeBase::RunHook(true);  // no hook: nothing happens
  {
    CountingHook hook;
    EXPECT_TRUE(TIdAntiFreezeBase::HookInUse());
    TIdAntiFreezeBase::RunHook(false);  // only when idle
    TIdAntiFreezeBase::RunHook(true);
    TIdAntiFreezeBase::RunHook(false, true);
    EXPECT_EQ(hook.Calls, 2);
    hook.Active = false;
    TIdAntiFreezeBase::RunHook(true);
    EXPECT_EQ(hook.Calls, 2);
  }
  EXPECT_EQ(TIdAntiFreezeBase::ActiveHook(), nullptr);
}

}  // namespace
}  // namespace vantro
