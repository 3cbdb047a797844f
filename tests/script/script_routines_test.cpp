// The routine registries, calls by name and index, parameter slots and the
// built-in routines.
#include <set>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/ini/ini.h"
#include "framework/mat/mat.h"
#include "framework/state/state.h"
#include "platform/platform.h"
#include "script/script_internal.h"
#include "tests/script/script_run_fixture.h"

namespace {

using Reports = std::vector<std::string>;

TEST_F(ScriptRunTest, RoutinesAreFoundByNameWithoutRegardToCase) {
  int walks = 0;
  std::vector<std::string> drawn;
  EXPECT_TRUE(ScriptAppRoutineRegister("AppAgentWalkTo", [&walks](int32_t, int32_t) {
    ++walks;
    return 1;
  }));
  EXPECT_FALSE(ScriptAppRoutineRegister("APPAGENTWALKTO", [](int32_t, int32_t) { return 1; }));
  EXPECT_FALSE(
      ScriptAppRoutineRenderRegister("appAgentWalkTo", [](int32_t, const std::string&) {}));
  EXPECT_TRUE(
      ScriptAppRoutineRenderRegister("DrawMap", [&drawn](int32_t display, const std::string& name) {
        drawn.push_back(std::to_string(display) + " " + name);
      }));
  EXPECT_TRUE(ScriptAppRoutineRegister("Stop", [](int32_t, int32_t) { return 0; }));
  EXPECT_TRUE(ScriptAppRoutineRegister("Two", [](int32_t, int32_t) { return 2; }));

  // Each script calls one routine and reports when its thread went on.
  const auto continues = [this](const std::string& routine) {
    VmcCode code;
    code.CallApp(1);
    Report(code, VmcString("continued"));
    const int32_t id = Load(code, {routine});
    const bool went_on = TakeReports() == Reports{"continued"};
    ScriptClose(id);
    return went_on;
  };
  EXPECT_TRUE(continues("appagentwalkto"));
  EXPECT_EQ(walks, 1);
  EXPECT_FALSE(continues("Stop"));
  EXPECT_FALSE(continues("two"));
  EXPECT_FALSE(continues("drawmap"));
  EXPECT_FALSE(continues("missing"));

  VmcCode idle;
  const int32_t id = Load(idle, {"AppAgentWalkTo"});
  const int32_t thread = ScriptFind(id)->threads[0].id;
  EXPECT_EQ(ScriptAppRoutineRun(id, thread, 1), 1);
  EXPECT_EQ(ScriptAppRoutineRun(id + 1, thread, 1), 0);
  EXPECT_EQ(ScriptAppRoutineRun(id, thread + 100, 1), 0);
  EXPECT_EQ(ScriptAppRoutineRun(id, thread, 2), 0);
  EXPECT_EQ(ScriptAppRoutineRun(id, thread, -1), 0);
  EXPECT_EQ(walks, 2);

  EXPECT_FALSE(ScriptAppRoutineRenderRun(id + 1, "DrawMap", 1, "MAP"));
  EXPECT_TRUE(ScriptAppRoutineRenderRun(id, "drawmap", 3, "MAP"));
  EXPECT_FALSE(ScriptAppRoutineRenderRun(id, "AppAgentWalkTo", 3, "MAP"));
  EXPECT_FALSE(ScriptAppRoutineRenderRun(id, "Nowhere", 3, "MAP"));
  EXPECT_EQ(drawn, Reports{"3 MAP"});
  EXPECT_EQ(
      Errors(),
      (Reports{"ScriptAppRoutineRun - App routine \"DRAWMAP\" is not a standalone function or "
               "object function.",
               "ScriptAppRoutineRun - App routine \"MISSING\" has not been registered.",
               "ScriptAppRoutineRenderRun - App routine \"APPAGENTWALKTO\" is not a render "
               "procedure.",
               "ScriptAppRoutineRenderRun - App routine \"NOWHERE\" has not been registered."}));
}

TEST_F(ScriptRunTest, AppObjCallbacksAreFoundByNameOnce) {
  int hits = 0;
  EXPECT_TRUE(ScriptAppObjInObjectRegister("Hit", [&hits](const std::string&, int32_t x, int32_t) {
    hits += x;
    return true;
  }));
  EXPECT_FALSE(ScriptAppObjInObjectRegister(
      "HIT", [](const std::string&, int32_t, int32_t) { return false; }));
  EXPECT_TRUE(ScriptAppObjRenderRegister("Hit", [](const std::string&) {}));
  EXPECT_TRUE(ScriptAppObjInObjectFind("hit")("X", 5, 0));
  EXPECT_EQ(hits, 5);
  EXPECT_TRUE(ScriptAppObjRenderFind("hIT"));
  EXPECT_FALSE(ScriptAppObjRenderFind(""));
  EXPECT_FALSE(ScriptAppObjAnimateFind("hit"));
}

TEST_F(ScriptRunTest, ParameterSlotsCountDownFromTheFrameBase) {
  ScriptAppRoutineRegister("Three", [](int32_t script, int32_t thread) {
    EXPECT_EQ(ScriptParamGetInt(script, thread, 1), 3);
    EXPECT_TRUE(ScriptParamGetBool(script, thread, 2));
    EXPECT_EQ(ScriptParamGetString(script, thread, 3), "first");
    EXPECT_EQ(ScriptParamGetString(script, thread, 0), "");
    EXPECT_EQ(ScriptParamGetString(script, thread, 4), "below");
    EXPECT_EQ(ScriptParamGetString(script, thread, 5), "");  // past the bottom of the stack
    EXPECT_FALSE(ScriptParamSetInt(script, thread, 5, 1));
    EXPECT_FALSE(ScriptParamSetBool(script, thread, 0, true));
    EXPECT_EQ(ScriptParamGetInt(script + 1, thread, 1), 0);
    EXPECT_FALSE(ScriptParamSetString(script, thread + 1000, 1, "x"));
    EXPECT_TRUE(ScriptParamSetString(script, thread, 3, "replaced"));
    EXPECT_TRUE(ScriptParamSetInt(script, thread, 1, 77));
    EXPECT_TRUE(ScriptParamSetBool(script, thread, 2, false));
    return 1;
  });
  VmcCode code;
  code.Push(VmcString("below"));  // not an argument, yet within reach
  code.Push(VmcString("first"));
  code.Push(VmcBool(true));
  code.Push(VmcString("3"));
  code.CallApp(1);
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcLocal(3));  // now an integer: 78, not "771"
  for (int32_t slot = 0; slot < 4; ++slot) {
    Report(code, VmcLocal(slot));
  }
  code.Return();
  code.Label("listener");
  code.Yield();
  code.Return();
  const int32_t id = Load(code, {"THREE"}, "listener");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), (Reports{"below", "replaced", "false", "78"}));

  // A waiting thread's slots read as nothing until it runs to its end.
  ScriptEventSend(id, 42, "wait");
  const int32_t thread = ScriptFind(id)->threads[0].id;
  EXPECT_EQ(ScriptParamGetInt(id, thread, 1), 0);
  EXPECT_FALSE(ScriptParamSetInt(id, -1, 1, 5));
  Frame(id);
  EXPECT_FALSE(ScriptIsWaiting(id));
}

// Pushes placeholders for the outputs (highest slot first) and the inputs
// (input 1 last), calls the built-in, reports the outputs and pops it all.
void CallBuiltin(VmcCode& code, uint16_t index, const std::vector<VmcOperand>& inputs,
                 int32_t outputs) {
  const auto total = static_cast<int32_t>(inputs.size()) + outputs;
  for (int32_t i = 0; i < outputs; ++i) {
    code.Push(VmcInt(-999));
  }
  for (auto input = inputs.rbegin(); input != inputs.rend(); ++input) {
    code.Push(*input);
  }
  code.CallBuiltin(index);
  for (int32_t i = 1; i <= outputs; ++i) {
    Report(code, VmcSlot(outputs - i));
  }
  for (int32_t i = 0; i < total; ++i) {
    code.Pop();
  }
}

struct BuiltinCase {
  uint16_t index;
  std::vector<VmcOperand> inputs;
  Reports outputs;
};

TEST_F(ScriptRunTest, BuiltinsReadTheirInputsAndWriteTheSlotsAfterThem) {
  PlatformHeadlessSetMonitors({{{0, 0, 800, 600}, true, {{800, 600, 32, 60}}, {800, 600, 32, 60}}});
  GraphicsStart();
  StateSetEnter(1, [](int32_t) {});
  StateSet(1);
  PlatformClockAdvance(250);
  const std::vector<BuiltinCase> cases = {
      {0, {VmcInt(1)}, {"0"}},
      {0, {VmcInt(0)}, {"0"}},
      {0, {VmcInt(-5)}, {"0"}},
      {1, {}, {"250"}},
      {4, {}, {"false"}},
      {5, {VmcInt(0), VmcInt(0)}, {"800x600 32-bit color"}},
      {5, {VmcInt(0), VmcInt(7)}, {""}},
      {6, {VmcInt(5)}, {"-1"}},
      {23, {VmcString("hello")}, {"5"}},
      {23, {VmcInt(-42)}, {"3"}},
      {25, {VmcString("hello"), VmcInt(2), VmcInt(3)}, {"ell"}},
      {25, {VmcString("hello"), VmcInt(0), VmcInt(2)}, {"he"}},
      {25, {VmcString("hello"), VmcInt(4), VmcInt(10)}, {"lo"}},
      {25, {VmcString("hello"), VmcInt(6), VmcInt(1)}, {""}},
      {25, {VmcString("hello"), VmcInt(2), VmcInt(-1)}, {""}},
      {26, {VmcInt(1), VmcString("font.fot"), VmcString("text")}, {"0"}},
      {30, {VmcInt(1), VmcString("flag"), VmcBool(true)}, {}},
      {27, {VmcInt(1), VmcString("FLAG")}, {"true"}},
      {28, {VmcInt(1), VmcString("flag")}, {"1"}},
      {31, {VmcInt(1), VmcString("count"), VmcString("12")}, {}},
      {29, {VmcInt(1), VmcString("count")}, {"12"}},
      {32, {VmcInt(1), VmcString("name"), VmcString("true")}, {}},
      {27, {VmcInt(1), VmcString("name")}, {"true"}},
      {28, {VmcInt(1), VmcString("name")}, {"0"}},
      {33, {VmcInt(65)}, {"A"}},
      {33, {VmcInt(321)}, {"A"}},
      {38, {VmcString("ell"), VmcString("hello")}, {"true"}},
      {38, {VmcString(""), VmcString("hello")}, {"false"}},
      {38, {VmcString("L"), VmcString("hello")}, {"false"}},
      {40, {VmcString("nomat"), VmcInt(0), VmcInt(0)}, {""}},
      {41, {VmcInt(10)}, {"3"}},
      {41, {VmcInt(13)}, {"4"}},
      {41, {VmcInt(-4)}, {"0"}},
      {41, {VmcInt(2147395600)}, {"46340"}},
      {42, {VmcString("HeLLo 1")}, {"hello 1"}},
      {20, {}, {"0"}},
      {39, {VmcInt(1), VmcInt(2)}, {""}},
  };
  VmcCode code;
  Reports expected;
  for (const BuiltinCase& c : cases) {
    CallBuiltin(code, c.index, c.inputs, static_cast<int32_t>(c.outputs.size()));
    expected.insert(expected.end(), c.outputs.begin(), c.outputs.end());
  }
  Report(code, VmcString("end"));
  ASSERT_NE(Load(code), 0);
  expected.push_back("end");
  EXPECT_EQ(TakeReports(), expected);
  EXPECT_TRUE(Errors().empty());
  GraphicsStop();
}

TEST_F(ScriptRunTest, RandomNumbersStayInRange) {
  VmcCode code;
  for (int i = 0; i < 200; ++i) {
    CallBuiltin(code, 0, {VmcInt(6)}, 1);
  }
  ASSERT_NE(Load(code), 0);
  std::set<std::string> seen;
  for (const std::string& value : TakeReports()) {
    seen.insert(value);
  }
  EXPECT_EQ(seen, (std::set<std::string>{"0", "1", "2", "3", "4", "5"}));
}

TEST_F(ScriptRunTest, VolumeBuiltinsArePercentagesOfTheAudioVolumes) {
  IniStart();
  AudioStartLoopback(44100);
  ASSERT_TRUE(AudioAvailable());
  VmcCode code;
  CallBuiltin(code, 2, {}, 1);
  CallBuiltin(code, 3, {VmcInt(50)}, 0);
  CallBuiltin(code, 8, {VmcInt(150)}, 0);
  CallBuiltin(code, 22, {VmcString("25")}, 0);
  CallBuiltin(code, 36, {VmcInt(-3)}, 0);
  for (uint16_t get : {2, 7, 21, 35}) {
    CallBuiltin(code, get, {}, 1);
  }
  ASSERT_NE(Load(code), 0);
  EXPECT_EQ(TakeReports(), (Reports{"100", "50", "100", "25", "0"}));
  EXPECT_DOUBLE_EQ(AudioVolumeGetMusic(), 0.5);
  AudioShutdown();
  IniStop();
}

TEST_F(ScriptRunTest, TheMatBuiltinNamesTheEntryAtAPixel) {
  Mat mat;
  mat.width = 2;
  mat.height = 1;
  mat.entries = {{"floor", 0xFF0000}, {"Wall", 0x00FF00}};
  mat.data = {0, 1};
  const int32_t file = DataFileDirectCreate(folder_.path() + "zones.mat");
  ASSERT_EQ(MatDirectSave(file, mat), 3);
  DataFileDirectClose(file);
  VmcScript script;
  script.routines = {"REPORT"};
  VmcObject zones = VmcObjectNew(kVmcMat, "Zones");
  zones.mat.file = "zones.mat";
  script.objects.push_back(zones);
  VmcCode code;
  CallBuiltin(code, 40, {VmcString("zones"), VmcInt(1), VmcInt(0)}, 1);
  CallBuiltin(code, 40, {VmcString("ZONES"), VmcInt(0), VmcInt(0)}, 1);
  CallBuiltin(code, 40, {VmcString("zones"), VmcInt(2), VmcInt(0)}, 1);
  CallBuiltin(code, 40, {VmcString("zones"), VmcInt(0), VmcInt(-1)}, 1);
  std::string error;
  ASSERT_TRUE(code.Finish(script.code, error)) << error;
  ASSERT_NE(LoadScript(script, "mats.vmc"), 0);
  EXPECT_EQ(TakeReports(), (Reports{"WALL", "FLOOR", "", ""}));
}

TEST_F(ScriptRunTest, TheSignalBuiltinCallsTheListenerOfAnotherScript) {
  // Each script's listener reports its own mark with the event; "relay" on a
  // script signals the script named by its mark's partner.
  const auto make = [this](const std::string& mark, const std::string& target,
                           const std::string& fileName) {
    VmcCode code;
    code.Return();
    code.Label("listener");
    Report(code, VmcString(mark));
    Report(code, VmcParam(1));
    Report(code, VmcParam(2));
    code.JumpIf(kVmcJumpNotEqual, VmcParam(2), VmcString("RELAY"), "done");
    CallBuiltin(code, 24, {VmcString(target), VmcInt(7), VmcString("signalled")}, 0);
    code.Label("done");
    code.Return();
    return Load(code, {}, "listener", kVmcNewestVersion, fileName);
  };
  folder_.write("Rooms/.keep", "");
  const int32_t first = make("first", "Second", "first.vmc");
  const int32_t second = make("second", "first", "Rooms\\SECOND.VMC");
  const int32_t self = make("self", "self", "self.vmc");
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  ASSERT_NE(self, 0);
  ScriptEventSend(first, 1, "relay");
  EXPECT_EQ(TakeReports(), (Reports{"first", "1", "RELAY", "second", "7", "SIGNALLED"}));
  ScriptEventSend(self, 1, "relay");
  EXPECT_EQ(TakeReports(), (Reports{"self", "1", "RELAY"}));
}

}  // namespace
