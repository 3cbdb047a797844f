// The -scriptdebug switch: fault lines that name the source position from
// the line table beside the script and the precise fault, the source
// positions in the thread dump, damaged tables ignored with one log line,
// and nothing of it without the switch.
#include <gmock/gmock.h>

#include <functional>

#include "script/script_internal.h"
#include "tests/script/script_run_fixture.h"
#include "tools/vmc/vmclines.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

class ScriptDebugTest : public ScriptRunTest {
 protected:
  ScriptDebugTest() { switches_.push_back("-scriptdebug"); }

  // The log lines that start with the prefix.
  std::vector<std::string> LogLines(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : SplitLines(folder_.read("results.log"))) {
      if (line.starts_with(prefix)) {
        found.push_back(line);
      }
    }
    return found;
  }
  // Writes test.vmc with the code and its line table (entries at labels).
  int32_t LoadWithLines(const VmcCode& code, const std::vector<std::string>& routines,
                        const std::vector<std::pair<std::string, uint32_t>>& lines) {
    std::string bytes;
    std::string error;
    EXPECT_TRUE(code.Finish(bytes, error)) << error;
    std::vector<VmcLineEntry> entries;
    for (const auto& [label, line] : lines) {
      entries.push_back({static_cast<uint32_t>(code.LabelOffset(label)), "room.vms", line, 3});
    }
    EXPECT_TRUE(VmcLinesSave(bytes, entries, folder_.path() + "test.vmc", error)) << error;
    return Load(code, routines);
  }
};

class ScriptNoDebugTest : public ScriptDebugTest {
 protected:
  ScriptNoDebugTest() { switches_.pop_back(); }
};

struct FaultCase {
  std::function<void(VmcCode&)> emit;
  std::string reason;
};

// One instruction after a nop, last in the code, each faulting its own way.
const std::vector<FaultCase>& FaultCases() {
  static const std::vector<FaultCase> cases = {
      {[](VmcCode& c) { c.Jump(9999); }, "jump target 9999 outside the code"},
      {[](VmcCode& c) { c.JumpIf(kVmcJumpEqual, VmcInt(1), VmcInt(2), 9999); },
       "jump target 9999 outside the code"},
      {[](VmcCode& c) { c.Fork(-5); }, "fork target -5 outside the code"},
      {[](VmcCode& c) { c.Pop(); }, "pop from an empty stack"},
      {[](VmcCode& c) { c.Move(VmcInt(1), VmcLocal(3)); }, "slot 3 outside the stack of 0 values"},
      {[](VmcCode& c) { c.Move(VmcInt(1), VmcInt(2)); }, "the destination is not a variable"},
      {[](VmcCode& c) { c.RawByte(27); }, "unknown opcode 27"},
      {[](VmcCode& c) {
         c.Raw(std::string{kVmcPush, 1, 7});
       },
       "boolean literal 7 is not 0 or 1"},
      {[](VmcCode& c) {
         c.Raw(std::string{kVmcPush, 9});
       },
       "literal of unknown type 9"},
      {[](VmcCode& c) {
         c.Raw(std::string{kVmcJump, 0});
       },
       "the code ends inside the instruction"},
      {[](VmcCode& c) { c.CallApp(1); }, "app routine \"STOP\" did not return 1"},
      {[](VmcCode& c) { c.CallApp(9); }, "app routine 9 beyond the script's 2 routine names"},
      {[](VmcCode& c) { c.CallBuiltin(99); }, "built-in 99 does not exist"},
      {[](VmcCode& c) { c.GetAttribute(5, 1); }, "object 5 beyond the script's 0 objects"},
  };
  return cases;
}

TEST_F(ScriptDebugTest, AFaultLogsTheSourcePositionAndWhatFaulted) {
  ScriptAppRoutineRegister("Stop", [](int32_t, int32_t) { return 0; });
  for (const FaultCase& fault : FaultCases()) {
    VmcCode code;
    code.Label("start");
    code.Nop();
    code.Label("bad");
    fault.emit(code);
    const int32_t id = LoadWithLines(code, {"STOP"}, {{"start", 1}, {"bad", 7}});
    ASSERT_NE(id, 0) << fault.reason;
    const std::string thread = std::to_string(ScriptFind(id)->threads[0].id);
    const std::vector<std::string> lines = LogLines("Script fault: ");
    ASSERT_FALSE(lines.empty()) << fault.reason;
    EXPECT_THAT(lines.back(),
                StartsWith("Script fault: \"test.vmc\" (room.vms:7:3): " + fault.reason));
    EXPECT_THAT(lines.back(), testing::EndsWith("(thread " + thread + ", offset 1)"));
    ScriptClose(id);
  }
  EXPECT_EQ(LogLines("Script fault: ").size(), FaultCases().size());
}

TEST_F(ScriptDebugTest, TheDumpNamesWhereEachThreadWaitsOrCalls) {
  ScriptAppRoutineRegister("Dump", [](int32_t script, int32_t) {
    ScriptThreadDump(script);
    return 1;
  });
  VmcCode code;
  code.Label("fork");
  code.Fork("main");  // the new thread goes on after the fork
  code.Label("workerWait");
  code.Yield();
  code.Return();
  code.Label("main");
  code.CallApp(1);
  code.Label("mainWait");
  code.Yield();
  code.Return();
  const int32_t id =
      LoadWithLines(code, {"DUMP"}, {{"fork", 2}, {"workerWait", 5}, {"main", 8}, {"mainWait", 9}});
  ASSERT_NE(id, 0);
  const auto at = [&code](const std::string& label, int delta) {
    return " (offset " + std::to_string(code.LabelOffset(label) + delta) + ")";
  };
  ScriptThreadDump(id);  // thread 0 waits after its yield
  Frame(id);             // thread 0 ends
  Frame(id);             // the worker waits after its yield
  ScriptThreadDump(id);
  EXPECT_THAT(LogLines("  Thread Position: "),
              ElementsAre("  Thread Position: room.vms:8:3" + at("main", 0),  // calling DUMP
                          "  Thread Position: room.vms:2:3" + at("workerWait", -1),
                          "  Thread Position: room.vms:9:3" + at("mainWait", 0),
                          "  Thread Position: room.vms:2:3" + at("workerWait", -1),
                          "  Thread Position: room.vms:5:3" + at("workerWait", 0)));
  EXPECT_THAT(LogLines("Script fault: "), IsEmpty());
}

// Valid table bytes for the code, then damaged one way each: the script
// loads and runs without positions, with one log line per damaged table.
TEST_F(ScriptDebugTest, ADamagedTableIsIgnoredWithOneLogLine) {
  VmcCode code;
  code.Nop();
  code.Pop();
  std::string bytes;
  std::string good;
  std::string error;
  ASSERT_TRUE(code.Finish(bytes, error));
  ASSERT_TRUE(VmcLinesBytes(bytes, {{0, "room.vms", 1, 1}, {1, "room.vms", 2, 1}}, good, error));
  const size_t entries = good.size() - 28;  // the two entries, after the count
  const auto patched = [&good](size_t at, std::string with) {
    return good.substr(0, at) + with + good.substr(at + with.size());
  };
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"", "not a line table"},
      {"VMCX" + good.substr(4), "not a line table"},
      {patched(4, std::string{2, 0, 0, 0}), "unknown version"},
      {good.substr(0, 10), "the header is cut short"},
      {patched(8, std::string{3}), "it describes other code than the script's"},
      {patched(12, std::string(1, static_cast<char>(good[12] ^ 1))),
       "it describes other code than the script's"},
      {patched(entries - 4, "\xFF\xFF\xFF\x7F"), "the entry count does not match the file's size"},
      {good + "x", "the entry count does not match the file's size"},
      {patched(entries + 4, std::string{1}), "entry 0 is out of range or out of order"},
      {patched(entries + 14, std::string{9}), "entry 1 is out of range or out of order"},
      {patched(entries + 14, std::string{0}), "entry 1 is out of range or out of order"},
  };
  for (const auto& [table, problem] : damaged) {
    folder_.write("test.vmc.lines", table);
    const int32_t id = Load(code);
    ASSERT_NE(id, 0) << problem;
    EXPECT_THAT(
        LogLines("Script line table "),
        testing::Contains("Script line table \"test.vmc.lines\" ignored: " + problem + "."));
    EXPECT_THAT(LogLines("Script fault: "),
                testing::Contains(StartsWith("Script fault: \"test.vmc\": pop")));
    ScriptClose(id);
  }
  EXPECT_EQ(LogLines("Script line table ").size(), damaged.size());
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(ScriptNoDebugTest, WithoutTheSwitchFaultsAreSilentAndNoTableIsRead) {
  ScriptAppRoutineRegister("Stop", [](int32_t, int32_t) { return 0; });
  folder_.write("test.vmc.lines", "broken");
  for (const FaultCase& fault : FaultCases()) {
    VmcCode code;
    code.Yield();
    fault.emit(code);
    const int32_t id = Load(code, {"STOP"});
    ASSERT_NE(id, 0);
    ScriptThreadDump(id);
    Frame(id);
    EXPECT_EQ(ScriptFind(id)->threads[0].running, 0) << fault.reason;
    ScriptClose(id);
  }
  EXPECT_THAT(LogLines("Script fault"), IsEmpty());
  EXPECT_THAT(LogLines("Script line table"), IsEmpty());
  EXPECT_THAT(LogLines("  Thread Position"), IsEmpty());
}

}  // namespace
