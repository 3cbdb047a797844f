// The script interpreter beside Lua 5.4 on the same work, in one run:
// - int-loop: 10,000,000 additions and compares in a counting loop;
// - string-work: 1,000,000 rounds of an append, a compare and a substring
//   built-in call (Lua: string.sub);
// - app-routine: 1,000,000 calls of a registered routine that reads two
//   parameter slots and writes one (Lua: a C function taking two integers
//   and returning one).
// Our side runs each workload twice: as byte code made by hand with the
// writer library, and as the script language compiled by vmcc ("(vmcc)"
// lines), each in the listener of a loaded script, started by an event.
// Prints "<name>: ours X ms, lua Y ms, ratio R" (ratio = ours / lua), then
// the compiler's speed on a 10,000-line source and on 10 MB.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <lua.hpp>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script.h"
#include "tools/vmc/vmcwriter.h"
#include "tools/vmcc/vmcc.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kLoopCount = 10000000;
constexpr int32_t kStringRounds = 1000000;
constexpr int32_t kRoutineCalls = 1000000;

std::string folder;
lua_State* lua = nullptr;
int64_t scriptResult = 0;  // what the byte code passed to RESULT
std::string scriptText;

const char kLuaCode[] = R"(
function int_loop(n)
  local s, i = 0, 0
  while i < n do
    s = s + i
    i = i + 1
  end
  return s
end

function string_work(n)
  local sub = string.sub
  local base, suffix, target = "item", "-x", "item-y"
  local hits, i, w, part = 0, 0, nil, nil
  while i < n do
    w = base .. suffix
    if w == target then hits = hits + 1 end
    part = sub(w, 2, 3)
    i = i + 1
  end
  return part
end

function routine_calls(n, f)
  local acc, i = 0, 0
  while i < n do
    acc = f(acc, i)
    i = i + 1
  end
  return acc
end
)";

int LuaAdd(lua_State* state) {
  const lua_Integer a = luaL_checkinteger(state, 1);
  const lua_Integer b = luaL_checkinteger(state, 2);
  lua_pushinteger(state, a + b);
  return 1;
}

// --- Our side: one script per workload, its work in the listener ------------------------

// Locals live above the listener's two arguments: local n is slot frameBase + n.
void ReportAndReturn(VmcCode& code, const VmcOperand& value, int32_t locals) {
  code.Push(value);
  code.CallApp(1);
  for (int32_t i = 0; i <= locals; ++i) {
    code.Pop();
  }
  code.Return();
}

VmcCode IntLoopCode() {
  VmcCode code;
  code.Return();
  code.Label("listener");
  code.Push(VmcInt(0));  // local 0: sum
  code.Push(VmcInt(0));  // local 1: i
  code.Label("loop");
  code.Arithmetic(kVmcAdd, VmcLocal(1), VmcLocal(0));
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcLocal(1));
  code.JumpIf(kVmcJumpLess, VmcLocal(1), VmcInt(kLoopCount), "loop");
  ReportAndReturn(code, VmcLocal(0), 2);
  return code;
}

VmcCode StringWorkCode() {
  VmcCode code;
  code.Return();
  code.Label("listener");
  code.Push(VmcString(""));  // local 0: w
  code.Push(VmcInt(0));      // local 1: hits
  code.Push(VmcString(""));  // local 2: part
  code.Push(VmcInt(0));      // local 3: i
  code.Label("loop");
  code.Move(VmcString("item"), VmcLocal(0));
  code.Arithmetic(kVmcAdd, VmcString("-x"), VmcLocal(0));
  code.JumpIf(kVmcJumpNotEqual, VmcLocal(0), VmcString("item-y"), "miss");
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcLocal(1));
  code.Label("miss");
  code.Push(VmcString(""));  // out: the substring (local 4)
  code.Push(VmcInt(2));      // count
  code.Push(VmcInt(2));      // start
  code.Push(VmcLocal(0));    // the string
  code.CallBuiltin(25);
  code.Move(VmcLocal(4), VmcLocal(2));
  for (int i = 0; i < 4; ++i) {
    code.Pop();
  }
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcLocal(3));
  code.JumpIf(kVmcJumpLess, VmcLocal(3), VmcInt(kStringRounds), "loop");
  ReportAndReturn(code, VmcLocal(2), 4);
  return code;
}

VmcCode RoutineCallCode() {
  VmcCode code;
  code.Return();
  code.Label("listener");
  code.Push(VmcInt(0));  // local 0: acc
  code.Push(VmcInt(0));  // local 1: i
  code.Label("loop");
  code.Push(VmcInt(0));  // out (local 2)
  code.Push(VmcLocal(0));
  code.Push(VmcLocal(1));
  code.CallApp(2);
  code.Move(VmcLocal(2), VmcLocal(0));
  code.Pop();
  code.Pop();
  code.Pop();
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcLocal(1));
  code.JumpIf(kVmcJumpLess, VmcLocal(1), VmcInt(kRoutineCalls), "loop");
  ReportAndReturn(code, VmcLocal(0), 2);
  return code;
}

int32_t LoadBenchScript(const VmcCode& code, const std::string& name) {
  VmcScript script;
  script.routines = {"REPORT", "RESULT", "AddTwo"};
  script.listener = 1;
  script.listenerAddress = code.LabelOffset("listener");
  std::string error;
  if (!code.Finish(script.code, error) || !VmcWriterSave(script, folder + name, error)) {
    std::fprintf(stderr, "script-bench: %s\n", error.c_str());
    return 0;
  }
  return ScriptLoad(name);
}

// --- Our side: the same workloads in the script language, compiled by vmcc --------------------

const char kIntLoop[] = R"(
routine REPORT, RESULT, AddTwo;
on event(code, name) {
  var s = 0;
  var i = 0;
  while (i < 10000000) {
    s += i;
    i += 1;
  }
  RESULT(s);
}
)";

const char kStringWork[] = R"(
routine REPORT, RESULT, AddTwo;
on event(code, name) {
  var base = "item";
  var suffix = "-x";
  var w = "";
  var hits = 0;
  var part = "";
  var i = 0;
  while (i < 1000000) {
    w = base + suffix;
    if (w == "item-y") { hits += 1; }
    part = substring(w, 2, 2);
    i += 1;
  }
  RESULT(part);
}
)";

const char kAppRoutine[] = R"(
routine REPORT, RESULT, AddTwo;
on event(code, name) {
  var acc = 0;
  var i = 0;
  while (i < 1000000) {
    AddTwo(acc, i, out acc);
    i += 1;
  }
  RESULT(acc);
}
)";

int32_t CompileBenchScript(const char* source, const std::string& name) {
  VmccResult result;
  std::string error;
  if (!VmccCompile(source, name + ".vms", {}, result) ||
      !VmcWriterSave(result.script, folder + name, error)) {
    for (const std::string& line : result.diagnostics) {
      std::fprintf(stderr, "script-bench: %s\n", line.c_str());
    }
    std::fprintf(stderr, "script-bench: %s\n", error.c_str());
    return 0;
  }
  return ScriptLoad(name);
}

// A source of the given number of lines mixing declarations, expressions,
// loops and calls; compiled repeatedly, the lines per second are printed.
std::string CompileSource(int lines) {
  std::string source = "routine REPORT;\nobject Label Title { left = 4; }\nvar total = 0;\n";
  int line = 3;
  int function = 0;
  while (line < lines) {
    const std::string f = "f" + std::to_string(function++);
    source += "func " + f +
              "(a: int, b: string): int {\n"
              "  var c = a * 3 + length(b) - (a % 7);\n"
              "  for (var i = 0; i < a; i += 1) {\n"
              "    if (i == 5 or c > 100) { break; }\n"
              "    c = c + i * 2;\n"
              "  }\n"
              "  Title.text = b + c;\n"
              "  return c;\n"
              "}\n"
              "total += " +
              f + "(total, \"x\" + total);\n";
    line += 10;
  }
  source += "REPORT(total);\n";
  return source;
}

void PrintCompileSpeed() {
  const int lines = 10000;
  const std::string source = CompileSource(lines);
  const int rounds = 5;
  double seconds = 0.0;
  for (int round = 0; round < rounds; ++round) {
    VmccResult result;
    const auto start = Clock::now();
    const bool ok = VmccCompile(source, "speed.vms", {}, result);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    if (!ok) {
      std::fprintf(stderr, "script-bench: the speed source does not compile\n");
      return;
    }
  }
  std::printf("compile-speed: %d lines in %.1f ms, %.0f lines per second\n", lines,
              seconds / rounds * 1000.0, lines * rounds / seconds);
  std::string big = "var x = 0;\n";
  while (big.size() < 10 * 1024 * 1024) {
    big += "x = x + 1; x -= 2; if (x > 3) { x = 0; }\n";
  }
  VmccResult result;
  const auto start = Clock::now();
  VmccCompile(big, "big.vms", {}, result);
  std::printf("compile-10mb: %.0f ms\n",
              std::chrono::duration<double>(Clock::now() - start).count() * 1000.0);
}

// --- Timing -----------------------------------------------------------------------------------

struct Totals {
  double ours = 0.0;
  double lua = 0.0;
  double rounds = 0.0;
  bool same = true;  // both sides gave the same result every round
};

template <typename Work>
double Time(Work work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the Lua function with (n[, add]) and leaves its result on the stack.
void LuaCall(const char* function, int32_t n, bool withAdd) {
  lua_getglobal(lua, function);
  lua_pushinteger(lua, n);
  if (withAdd) {
    lua_pushcfunction(lua, LuaAdd);
  }
  if (lua_pcall(lua, withAdd ? 2 : 1, 1, 0) != LUA_OK) {
    std::fprintf(stderr, "script-bench: %s\n", lua_tostring(lua, -1));
  }
}

// Ours and Lua's take turns within each iteration, so both see the same
// machine load; the iteration time is ours.
void Compare(benchmark::State& state, Totals& totals, int32_t script, const char* function,
             int32_t n, bool withAdd, bool textResult) {
  for (auto _ : state) {
    const double ours = Time([script] { ScriptEventSend(script, 1, "RUN"); });
    const int64_t ourInteger = scriptResult;
    const std::string ourText = scriptText;
    totals.lua += Time([&] { LuaCall(function, n, withAdd); });
    if (textResult) {
      totals.same = totals.same && ourText == lua_tostring(lua, -1);
    } else {
      totals.same = totals.same && static_cast<int32_t>(ourInteger) ==
                                       static_cast<int32_t>(lua_tointeger(lua, -1));
    }
    lua_pop(lua, 1);
    totals.ours += ours;
    totals.rounds += 1.0;
    state.SetIterationTime(ours);
  }
}

int32_t intScript = 0;
int32_t stringScript = 0;
int32_t routineScript = 0;
int32_t compiledIntScript = 0;
int32_t compiledStringScript = 0;
int32_t compiledRoutineScript = 0;
Totals intTotals;
Totals stringTotals;
Totals routineTotals;
Totals compiledIntTotals;
Totals compiledStringTotals;
Totals compiledRoutineTotals;

void BM_IntLoop(benchmark::State& state) {
  Compare(state, intTotals, intScript, "int_loop", kLoopCount, false, false);
}

void BM_StringWork(benchmark::State& state) {
  Compare(state, stringTotals, stringScript, "string_work", kStringRounds, false, true);
}

void BM_AppRoutine(benchmark::State& state) {
  Compare(state, routineTotals, routineScript, "routine_calls", kRoutineCalls, true, false);
}

void BM_IntLoopVmcc(benchmark::State& state) {
  Compare(state, compiledIntTotals, compiledIntScript, "int_loop", kLoopCount, false, false);
}

void BM_StringWorkVmcc(benchmark::State& state) {
  Compare(state, compiledStringTotals, compiledStringScript, "string_work", kStringRounds, false,
          true);
}

void BM_AppRoutineVmcc(benchmark::State& state) {
  Compare(state, compiledRoutineTotals, compiledRoutineScript, "routine_calls", kRoutineCalls, true,
          false);
}

void Print(const char* name, const Totals& totals) {
  const double ours = totals.ours / totals.rounds * 1000.0;
  const double peer = totals.lua / totals.rounds * 1000.0;
  std::printf("%s: ours %.1f ms, lua %.1f ms, ratio %.2f%s\n", name, ours, peer, ours / peer,
              totals.same ? "" : " (RESULTS DIFFER)");
}

}  // namespace

BENCHMARK(BM_IntLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StringWork)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AppRoutine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_IntLoopVmcc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StringWorkVmcc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AppRoutineVmcc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  folder = std::string(pattern) + "/";
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(folder + "bench");
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  UtilitiesStart();
  StateStart();
  ScriptStart();
  ScriptAppRoutineRegister("Report", [](int32_t, int32_t) { return 1; });
  ScriptAppRoutineRegister("Result", [](int32_t script, int32_t thread) {
    scriptResult = ScriptParamGetInt(script, thread, 1);
    scriptText = ScriptParamGetString(script, thread, 1);
    return 1;
  });
  ScriptAppRoutineRegister("AddTwo", [](int32_t script, int32_t thread) {
    const int32_t a = ScriptParamGetInt(script, thread, 1);
    const int32_t b = ScriptParamGetInt(script, thread, 2);
    ScriptParamSetInt(script, thread, 3,
                      static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)));
    return 1;
  });
  intScript = LoadBenchScript(IntLoopCode(), "intloop.vmc");
  stringScript = LoadBenchScript(StringWorkCode(), "strings.vmc");
  routineScript = LoadBenchScript(RoutineCallCode(), "routines.vmc");
  compiledIntScript = CompileBenchScript(kIntLoop, "intloop-vmcc.vmc");
  compiledStringScript = CompileBenchScript(kStringWork, "strings-vmcc.vmc");
  compiledRoutineScript = CompileBenchScript(kAppRoutine, "routines-vmcc.vmc");
  lua = luaL_newstate();
  luaL_openlibs(lua);
  if (intScript == 0 || stringScript == 0 || routineScript == 0 || compiledIntScript == 0 ||
      compiledStringScript == 0 || compiledRoutineScript == 0 ||
      luaL_dostring(lua, kLuaCode) != LUA_OK) {
    std::fprintf(stderr, "script-bench: cannot set up the scripts\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  Print("int-loop", intTotals);
  Print("string-work", stringTotals);
  Print("app-routine", routineTotals);
  Print("int-loop (vmcc)", compiledIntTotals);
  Print("string-work (vmcc)", compiledStringTotals);
  Print("app-routine (vmcc)", compiledRoutineTotals);
  PrintCompileSpeed();
  lua_close(lua);
  ScriptStop();
  StateStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
