// States, handlers, switching and clocks.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/framework/state/state_fixture.h"

namespace {

// Three states whose handlers record what runs, as "enter 2 from 1",
// "exit 1 to 2" and "process 1".
class StateSwitchTest : public StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    for (int32_t id : {1, 2, 3}) {
      Register(id);
    }
  }
  void Register(int32_t id) {
    StateSetEnter(id, [this, id](int32_t previous) {
      events_.push_back("enter " + std::to_string(id) + " from " + std::to_string(previous));
    });
    StateSetExit(id, [this, id](int32_t next) {
      events_.push_back("exit " + std::to_string(id) + " to " + std::to_string(next));
    });
  }
  std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

// --- Registration -------------------------------------------------------------

TEST_F(StateTest, AHandlerIsSetOnceAndIdsBelowOneAreRefused) {
  int calls = 0;
  EXPECT_FALSE(StateSetProcess(0, [] {}));
  EXPECT_FALSE(StateSetEnter(-4, [](int32_t) {}));
  EXPECT_TRUE(StateSetProcess(7, [&calls] { ++calls; }));
  EXPECT_FALSE(StateSetProcess(7, [&calls] { calls += 100; }));
  EXPECT_TRUE(StateSetExit(7, [](int32_t) {}));
  StateSet(7);
  StateProcess();
  EXPECT_EQ(calls, 1);
}

TEST_F(StateTest, TheFirstRegistrationCreatesTheState) {
  StateSet(5);
  EXPECT_EQ(StateGetCurrent(), 0);
  StateSetExit(5, [](int32_t) {});
  StateSet(5);
  EXPECT_EQ(StateGetCurrent(), 5);
}

TEST_F(StateTest, StartingAgainForgetsStatesHookAndCurrent) {
  int hookCalls = 0;
  StateSetEnter(1, [](int32_t) {});
  StateSetChangeHook([&hookCalls](int32_t, int32_t) {
    ++hookCalls;
    return true;
  });
  StateSet(1);
  StateStop();
  StateStart();
  EXPECT_EQ(StateGetCurrent(), 0);
  StateSet(1);
  EXPECT_EQ(StateGetCurrent(), 0);
  EXPECT_EQ(hookCalls, 1);
  EXPECT_TRUE(StateSetEnter(1, [](int32_t) {}));
}

TEST_F(StateTest, StartLogsItsVersionOnlyWithVer) {
  EXPECT_FALSE(folder_.exists("results.log"));
  Stop();
  Start({"-ver"});
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "    qmrState - Version Alpha.0"), lines.end());
}

// --- Switching ----------------------------------------------------------------

TEST_F(StateSwitchTest, ExitRunsBeforeEnterWithTheOtherId) {
  StateSet(1);
  StateSet(2);
  StateSet(0);
  EXPECT_EQ(events_, (Events{"enter 1 from 0", "exit 1 to 2", "enter 2 from 1", "exit 2 to 0"}));
  EXPECT_EQ(StateGetCurrent(), 0);
}

TEST_F(StateSwitchTest, SwitchingToTheCurrentStateRunsNothing) {
  StateSet(1);
  StateSet(1);
  EXPECT_EQ(events_, Events{"enter 1 from 0"});
}

TEST_F(StateSwitchTest, AnUnknownIdRunsTheExitHandlerAndKeepsTheOldState) {
  StateSet(1);
  StateSet(99);
  EXPECT_EQ(StateGetCurrent(), 1);
  EXPECT_EQ(events_, (Events{"enter 1 from 0", "exit 1 to 99"}));
}

TEST_F(StateSwitchTest, ASwitchInsideAnEnterHandlerRunsAtOnce) {
  Register(4);
  int32_t seenInside = 0;
  StateSetEnter(5, [&seenInside](int32_t) {
    StateSet(4);
    seenInside = StateGetCurrent();
  });
  StateSet(5);
  EXPECT_EQ(seenInside, 4);
  EXPECT_EQ(StateGetCurrent(), 4);
  EXPECT_EQ(events_, (Events{"enter 4 from 5"}));
}

TEST_F(StateSwitchTest, TwoSwitchesInOneProcessHandlerOnlyTheLastHappensAfterIt) {
  std::vector<int32_t> seenInside;
  StateSetProcess(1, [&seenInside] {
    StateSet(2);
    seenInside.push_back(StateGetCurrent());
    StateSet(3);
    seenInside.push_back(StateGetCurrent());
  });
  StateSet(1);
  events_.clear();
  StateProcess();
  EXPECT_EQ(seenInside, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(StateGetCurrent(), 3);
  EXPECT_EQ(events_, (Events{"exit 1 to 3", "enter 3 from 1"}));
}

TEST_F(StateSwitchTest, ASwitchRequestedByOneProcessCallDoesNotCarryOver) {
  StateSetProcess(1, [] { StateSet(2); });
  StateSetProcess(2, [] {});
  StateSet(1);
  StateProcess();
  EXPECT_EQ(StateGetCurrent(), 2);
  StateProcess();
  EXPECT_EQ(StateGetCurrent(), 2);
  StateSet(3);
  EXPECT_EQ(StateGetCurrent(), 3);
}

// --- Change hook --------------------------------------------------------------

TEST_F(StateSwitchTest, TheHookSeesEveryChangeAndRefusingKeepsTheStateWithoutHandlers) {
  std::vector<std::pair<int32_t, int32_t>> asked;
  StateSetChangeHook([&asked](int32_t from, int32_t to) {
    asked.emplace_back(from, to);
    return to != 3;
  });
  StateSet(1);
  StateSet(3);
  StateSet(2);
  EXPECT_EQ(StateGetCurrent(), 2);
  EXPECT_EQ(asked, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 3}, {1, 2}}));
  EXPECT_EQ(events_, (Events{"enter 1 from 0", "exit 1 to 2", "enter 2 from 1"}));
}

TEST_F(StateSwitchTest, AHookMayReplaceItselfWhileItRuns) {
  int laterCalls = 0;
  std::string seen;
  const std::string label(64, 'h');  // a capture that lives on the heap
  StateSetChangeHook([&laterCalls, &seen, label](int32_t, int32_t) {
    StateSetChangeHook([&laterCalls](int32_t, int32_t) { return ++laterCalls > 0; });
    seen = label;
    return true;
  });
  StateSet(1);
  StateSet(2);
  EXPECT_EQ(StateGetCurrent(), 2);
  EXPECT_EQ(seen, label);
  EXPECT_EQ(laterCalls, 1);
}

// --- Clocks -------------------------------------------------------------------

TEST_F(StateSwitchTest, AClockRunsOnlyWhileCurrentAndContinuesWhereItStopped) {
  StateSet(1);
  PlatformClockAdvance(100);
  StateSet(2);
  PlatformClockAdvance(50);
  EXPECT_EQ(StateGetTime(1), 100u);
  EXPECT_EQ(StateGetTime(2), 50u);
  StateSet(1);
  PlatformClockAdvance(30);
  EXPECT_EQ(StateGetTime(1), 130u);
  EXPECT_EQ(StateGetTime(2), 50u);
  StateSet(0);
  PlatformClockAdvance(1000);
  EXPECT_EQ(StateGetTime(1), 130u);
  EXPECT_EQ(StateGetTime(99), 0u);
}

TEST_F(StateSwitchTest, APausedClockStaysFrozenWhileTheStateIsLeftAndEntered) {
  StatePause();  // no current state: nothing to pause
  EXPECT_FALSE(StateIsPaused());
  StateSet(1);
  PlatformClockAdvance(100);
  StatePause();
  EXPECT_TRUE(StateIsPaused());
  PlatformClockAdvance(50);
  EXPECT_EQ(StateGetTime(1), 100u);
  StateSet(2);
  EXPECT_FALSE(StateIsPaused());
  PlatformClockAdvance(70);
  StateSet(1);
  EXPECT_TRUE(StateIsPaused());
  PlatformClockAdvance(40);
  EXPECT_EQ(StateGetTime(1), 100u);
  StateResume();
  PlatformClockAdvance(20);
  EXPECT_EQ(StateGetTime(1), 120u);
  EXPECT_EQ(StateGetTime(2), 70u);
}

TEST_F(StateSwitchTest, ResumingARunningClockLosesNoTime) {
  StateSet(1);
  PlatformClockAdvance(100);
  StateResume();
  PlatformClockAdvance(10);
  EXPECT_EQ(StateGetTime(1), 110u);
}

TEST_F(StateSwitchTest, TheClockOfAStateKeptByAnUnknownIdCountsOnce) {
  StateSet(1);
  PlatformClockAdvance(100);
  StateSet(99);
  PlatformClockAdvance(50);
  EXPECT_EQ(StateGetTime(1), 150u);
}

TEST_F(StateSwitchTest, SettingAndResettingAClock) {
  StateSet(1);
  PlatformClockAdvance(100);
  StateSetTime(1, 5000);
  PlatformClockAdvance(10);
  EXPECT_EQ(StateGetTime(1), 5010u);
  StateSetTime(2, 300);
  PlatformClockAdvance(10);
  EXPECT_EQ(StateGetTime(2), 300u);
  StateResetTime(1);
  PlatformClockAdvance(5);
  EXPECT_EQ(StateGetTime(1), 5u);
  StatePause();
  StateSetTime(1, 42);
  PlatformClockAdvance(5);
  EXPECT_EQ(StateGetTime(1), 42u);
}

TEST_F(StateSwitchTest, AClockCountsAcrossTheTickCounterWrapping) {
  PlatformClockSet(0xFFFFFFF0u);
  StateSet(1);
  PlatformClockAdvance(0x30);
  EXPECT_EQ(StateGetTime(1), 0x30u);
}

}  // namespace
