// Threads, fork, yield and resume, the per-frame step of a script, and
// events delivered to the listener.
#include <algorithm>

#include "framework/state/state.h"
#include "script/script_internal.h"
#include "tests/script/script_run_fixture.h"

namespace {

using Reports = std::vector<std::string>;

TEST_F(ScriptRunTest, AForkInAWorkerIsResumedInTheSamePass) {
  VmcCode code;
  code.Fork("initialDone");  // the new thread runs what follows the fork
  Report(code, VmcString("worker 1"));
  code.Fork("workerYields");
  Report(code, VmcString("worker 2"));
  code.Yield();
  Report(code, VmcString("worker 2 again"));
  code.Return();
  code.Label("workerYields");
  code.Yield();
  Report(code, VmcString("worker 1 again"));
  code.Label("initialDone");
  code.Return();
  const int32_t id = Load(code);
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), Reports{});
  EXPECT_EQ(ThreadCount(id), 2u);

  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"worker 1", "worker 2"}));
  EXPECT_EQ(ThreadCount(id), 3u);
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"worker 1 again", "worker 2 again"}));
  ScriptThreadDump(id);
  const std::vector<std::string> lines = SplitLines(folder_.read("results.log"));
  const auto dump = std::find(lines.begin(), lines.end(), "Script Index: 0");
  ASSERT_NE(dump, lines.end());
  const Script* script = ScriptFind(id);
  EXPECT_EQ(std::vector<std::string>(dump, lines.end()),
            (std::vector<std::string>{"Script Index: 0", "Script ID: " + std::to_string(id),
                                      "Thread Count: 1", "  Thread Index: 0",
                                      "  Thread ID: " + std::to_string(script->threads[0].id),
                                      "  Thread Running: TRUE"}));
}

TEST_F(ScriptRunTest, AForkCopiesTheStackAndTheCallStack) {
  VmcCode code;
  code.Push(VmcString("parent"));
  code.Call("sub");
  Report(code, VmcLocal(0));
  code.Yield();  // the copy that returned here waits for a frame
  code.Return();
  code.Label("sub");
  code.Fork("parentReturns");
  code.Move(VmcString("child"), VmcSlot(0));  // only the new thread's copy changes
  code.Label("parentReturns");
  code.Return();
  const int32_t id = Load(code);
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), Reports{"parent"});
  EXPECT_TRUE(ScriptIsWaiting(id));
  Frame(id);  // thread 0 finishes
  Frame(id);  // the worker returns through the copied call stack
  EXPECT_EQ(TakeReports(), Reports{"child"});
  Frame(id);
  EXPECT_EQ(ThreadCount(id), 1u);
}

TEST_F(ScriptRunTest, AYieldInTheInitialCodeHoldsBackTheScriptsOtherWork) {
  int animations = 0;
  ScriptAppObjAnimateRegister("Tick", [&animations](const std::string& name) {
    EXPECT_EQ(name, "HEART");
    ++animations;
  });
  VmcCode code;
  code.Fork("initial");
  Report(code, VmcString("worker"));
  code.Return();
  code.Label("initial");
  Report(code, VmcString("initial 1"));
  code.Yield();
  Report(code, VmcString("initial 2"));
  code.Yield();
  Report(code, VmcString("initial 3"));
  code.Return();
  code.Label("listener");
  Report(code, VmcString("event"));
  code.Return();
  VmcScript script;
  script.routines = {"REPORT"};
  script.listener = 1;
  VmcObject heart = VmcObjectNew(kVmcAppObj, "heart");
  heart.appObj.animate = "tick";
  script.objects.push_back(heart);
  std::string error;
  ASSERT_TRUE(code.Finish(script.code, error)) << error;
  script.listenerAddress = code.LabelOffset("listener");
  const int32_t id = LoadScript(script, "slow.vmc");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), Reports{"initial 1"});
  EXPECT_TRUE(ScriptIsWaiting(id));
  EXPECT_TRUE(ScriptIsRunning(id));
  ScriptEventSend(id, 1, "dropped");
  Frame(id);
  EXPECT_EQ(TakeReports(), Reports{"initial 2"});
  Frame(id);
  EXPECT_EQ(TakeReports(), Reports{"initial 3"});
  EXPECT_FALSE(ScriptIsWaiting(id));
  EXPECT_FALSE(ScriptIsRunning(id));
  EXPECT_EQ(animations, 0);
  Frame(id);
  EXPECT_EQ(TakeReports(), Reports{"worker"});
  EXPECT_EQ(animations, 1);
  ScriptProcess(id);  // less than an animation interval later
  EXPECT_EQ(animations, 1);
}

TEST_F(ScriptRunTest, APausedStateHoldsEveryThread) {
  StateSetEnter(1, [](int32_t) {});
  StateSet(1);
  VmcCode code;
  code.Fork("initial");
  Report(code, VmcString("worker"));
  code.Return();
  code.Label("initial");
  code.Yield();
  Report(code, VmcString("initial"));
  code.Return();
  const int32_t id = Load(code);
  ASSERT_NE(id, 0);
  StatePause();
  Frame(id);
  ScriptThreadResume(id, -1);
  EXPECT_EQ(TakeReports(), Reports{});
  StateResume();
  Frame(id);
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"initial", "worker"}));
}

TEST_F(ScriptRunTest, AForkLoopIsBoundedOnlyByTheTestBudget) {
  ScriptInstructionBudgetSet(1000);
  VmcCode code;
  code.Label("again");
  code.Fork("again");
  code.Return();
  code.Label("listener");
  Report(code, VmcString("event"));
  code.Return();
  const int32_t id = Load(code, {}, "listener");
  ASSERT_NE(id, 0);
  EXPECT_EQ(ThreadCount(id), 1001u);  // 1000 forks, then the budget is spent
  Frame(id);  // the budget is spent: every worker ends at its first instruction
  EXPECT_EQ(ThreadCount(id), 1u);
  ScriptInstructionBudgetSet(-1);
  ScriptEventSend(id, 1, "after");
  EXPECT_EQ(TakeReports(), Reports{"event"});
}

TEST_F(ScriptRunTest, TheListenerFindsItsArgumentsBelowTheFrameBase) {
  VmcCode code;
  code.Push(VmcString("kept"));
  code.Return();
  code.Label("listener");
  Report(code, VmcParam(1));
  Report(code, VmcParam(2));
  Report(code, VmcSlot(0));
  code.Return();
  const int32_t id = Load(code, {}, "listener");
  ASSERT_NE(id, 0);
  ScriptEventSend(id, -4, "leftClick");
  ScriptEventSend(id, 2, "Escape");
  EXPECT_EQ(TakeReports(), (Reports{"-4", "LEFTCLICK", "kept", "2", "ESCAPE", "kept"}));
  EXPECT_EQ(StackSize(id), 1u);
}

TEST_F(ScriptRunTest, EventsAreDroppedWhileTheEventThreadRunsOrWaits) {
  std::vector<bool> runningInside;
  ScriptAppRoutineRegister("SendAgain", [&runningInside](int32_t script, int32_t) {
    runningInside.push_back(ScriptIsRunning(script));
    ScriptEventSend(script, 9, "inner");
    return 1;
  });
  VmcCode code;
  code.Return();
  code.Label("listener");
  Report(code, VmcParam(2));
  code.CallApp(1);
  code.JumpIf(kVmcJumpNotEqual, VmcParam(2), VmcString("WAIT"), "done");
  code.Yield();
  Report(code, VmcString("resumed"));
  code.Label("done");
  code.Return();
  const int32_t id = Load(code, {"SENDAGAIN"}, "listener");
  ASSERT_NE(id, 0);
  ScriptEventSend(id, 1, "outer");
  EXPECT_EQ(TakeReports(), Reports{"OUTER"});
  EXPECT_EQ(runningInside, std::vector<bool>{true});
  EXPECT_FALSE(ScriptIsRunning(id));

  ScriptEventSend(id, 1, "wait");  // the listener yields and keeps its arguments
  EXPECT_TRUE(ScriptIsWaiting(id));
  EXPECT_EQ(StackSize(id), 2u);
  ScriptEventSend(id, 1, "dropped");
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"WAIT", "resumed"}));
  // The listener that waited pops its arguments when it finishes.
  EXPECT_EQ(StackSize(id), 0u);
  EXPECT_FALSE(ScriptIsWaiting(id));
}

TEST_F(ScriptRunTest, ScriptsClosedOrLoadedByARoutineLeaveTheRunSafe) {
  ScriptAppRoutineRegister("CloseMe", [](int32_t script, int32_t) {
    ScriptClose(script);
    return 1;
  });
  int32_t loaded = 0;
  ScriptAppRoutineRegister("LoadOther", [this, &loaded](int32_t, int32_t) {
    VmcCode other;
    Report(other, VmcString("other"));
    loaded = Load(other, {}, "", kVmcNewestVersion, "other.vmc");
    return 1;
  });
  VmcCode code;
  code.CallApp(2);
  Report(code, VmcString("after load"));
  code.Fork("initialDone");
  Report(code, VmcString("worker"));
  code.CallApp(1);
  Report(code, VmcString("never"));
  code.Label("initialDone");
  code.Return();
  code.Label("listener");
  code.CallApp(1);
  Report(code, VmcString("never"));
  code.Return();
  const int32_t id = Load(code, {"CLOSEME", "LOADOTHER"}, "listener");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), (Reports{"other", "after load"}));
  EXPECT_NE(loaded, 0);
  Frame(id);  // the worker closes its own script
  EXPECT_EQ(TakeReports(), Reports{"worker"});
  EXPECT_FALSE(ScriptExists(id));

  const int32_t again =
      Load(code, {"CLOSEME", "LOADOTHER"}, "listener", kVmcNewestVersion, "b.vmc");
  TakeReports();
  ScriptEventSend(again, 1, "close");  // the listener closes its script
  EXPECT_FALSE(ScriptExists(again));
  EXPECT_EQ(TakeReports(), Reports{});
  EXPECT_TRUE(ScriptExists(loaded));
}

TEST_F(ScriptRunTest, ThreadsForkedByARoutinesEventMoveNoThreadFromUnderItsCaller) {
  ScriptAppRoutineRegister("Knock", [](int32_t script, int32_t) {
    ScriptEventSend(script, 5, "knock");
    return 1;
  });
  VmcCode code;
  code.Fork("initialDone");
  code.Push(VmcString("mine"));
  code.CallApp(1);  // the listener forks eight threads meanwhile
  Report(code, VmcSlot(0));
  code.Label("initialDone");
  code.Return();
  code.Label("listener");
  for (int i = 0; i < 8; ++i) {
    code.Fork("fork" + std::to_string(i));
    code.Return();
    code.Label("fork" + std::to_string(i));
  }
  code.Return();
  const int32_t id = Load(code, {"KNOCK"}, "listener");
  ASSERT_NE(id, 0);
  Frame(id);
  EXPECT_EQ(TakeReports(), Reports{"mine"});
  EXPECT_EQ(ThreadCount(id), 1u);  // the new threads ran to their end in the same pass
}

}  // namespace
