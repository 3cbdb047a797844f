// The script language compiler: programs compiled and run in the real
// engine (headless) with REPORT recording what they report, the error
// messages for bad programs, the --emit-asm round trip through the
// assembler, and a randomised comparison of compiled expressions with a
// direct evaluation.
#include <cstdio>
#include <fstream>
#include <random>

#include "framework/state/state.h"
#include "script/script_internal.h"
#include "tests/script/script_run_fixture.h"
#include "tools/vmc/vmctext.h"
#include "tools/vmcc/vmcc.h"

namespace {

using Reports = std::vector<std::string>;

class VmccTest : public ScriptRunTest {
 protected:
  // Compiles the source (REPORT is declared in front of it) and loads it;
  // the script id, or 0.
  int32_t Run(const std::string& source) {
    VmccResult result;
    const bool ok = VmccCompile("routine REPORT;\n" + source, "test.vms", {}, result);
    std::string all;
    for (const std::string& line : result.diagnostics) {
      all += line + "\n";
    }
    EXPECT_TRUE(ok) << all;
    if (!ok) {
      return 0;
    }
    return LoadScript(result.script, "test" + std::to_string(++loaded_) + ".vmc");
  }

  int loaded_ = 0;
};

std::vector<std::string> Diagnose(const std::string& source) {
  VmccResult result;
  VmccCompile(source, "t.vms", {}, result);
  return result.diagnostics;
}

TEST_F(VmccTest, ValuesConversionsAndControlFlowRunAsTheByteCodeDefines) {
  const int32_t id = Run(R"(
    const TEN = 10;
    var total = 0;
    func fact(n: int): int {
      if (n <= 1) { return 1; }
      return n * fact(n - 1);
    }
    func greet(who: string, times: int): string {
      var text = "";
      for (var i = 0; i < times; i += 1) { text = text + who; }
      return text;
    }
    REPORT(7 / 0);                    // division by zero gives 0
    var zero = 0;
    REPORT(TEN / zero);
    REPORT(TEN % 3 + -7 / 2);          // 1 + -3
    REPORT(5 + "3");                   // integer on the left: 8
    REPORT("5" + 3);                   // string on the left: 53
    REPORT(true + 0);                  // boolean arithmetic: true
    var s = "testing";
    s -= "ing";
    REPORT(s);
    var t = "ingest";
    t -= "ing";
    REPORT(t);
    var u = "testing";
    u = u - 3;
    REPORT(u);
    REPORT(10 > "9");                  // compared as integers
    var ten = "10";
    REPORT(ten > 9);                   // compared as strings
    var flag: bool = "TrUe";
    REPORT(flag);
    var n: int = "abc";
    REPORT(n);
    REPORT(not 5);
    REPORT(2147483647 + 1);
    var i = 0;
    while (true) {
      i += 1;
      if (i % 2 == 0) { continue; }
      if (i > 7) { break; }
      total += i;
    }
    REPORT(total);                     // 1 + 3 + 5 + 7
    REPORT(fact(10));
    REPORT(greet("ab", 3));
    REPORT(length("hello") * 2);
    REPORT(substring("abcdef", 2, 3));
    REPORT(lower("MiXeD"));
    var a = 3;
    var b = 4;
    REPORT(a * a + b * b == 25 and a < b);
  )");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(),
            (Reports{"0",       "0",      "-2",    "8",    "53",    "true", "test",        "ingest",
                     "test",    "true",   "false", "true", "0",     "-6",   "-2147483648", "16",
                     "3628800", "ababab", "10",    "bcd",  "mixed", "true"}));
}

TEST_F(VmccTest, AttributesOfObjectsAreReadAndWritten) {
  const int32_t id = Run(R"(
    object Display Screen { width = 800; height = 600; viewMode = 1; }
    object Color Box { left = 5; width = 20; height = 10; color = 0x123456; }
    object Label Title { left = 3; text = "Hello"; }
    object Slider Volume { minValue = 0; maxValue = 100; value = 50; }
    object List Names { cellCount = 3; }
    object Camera View { viewWidth = 320; member = Box, Title; }
    object AppObj Thing { enabled = false; }
    REPORT(Screen.viewMode);
    Screen.viewMode = "fill";
    REPORT(Screen.viewMode + " " + Screen.width);
    Box.width += 5;
    REPORT(Box.width);
    Box.order = 7;
    REPORT(Box.order);
    Title.text = "Score: " + 12;
    REPORT(Title.text);
    Volume.value = 150;                // clamped to maxValue
    REPORT(Volume.value);
    for (var i = 0; i < 3; i += 1) { Names.item[i].text = "n" + i; }
    Names.item[4].value = 9;
    REPORT(Names.itemCount);
    REPORT(Names.item[1].text + Names.item[4].value);
    REPORT(View.viewWidth);
    View.cameraX = -4;
    REPORT(View.cameraX);
    REPORT(Thing.enabled);
    Thing.enabled = 1;
    REPORT(Thing.enabled);
  )");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), (Reports{"BestFit", "Fill 800", "25", "7", "Score: 12", "100", "5",
                                    "n19", "320", "-4", "false", "true"}));
}

TEST_F(VmccTest, ForkYieldWaitAndEventsInterleaveAcrossFrames) {
  StateSetEnter(1, [](int32_t) {});
  StateSet(1);  // wait reads the running time of the current state
  const int32_t id = Run(R"(
    var ticks = 0;
    fork {
      for (var i = 0; i < 3; i += 1) { REPORT("a" + i); yield; }
    }
    fork {
      REPORT("b0");
      wait(100);                       // three frames of 34 ms
      REPORT("b-done");
    }
    REPORT("main");
    on event(code, name) {
      ticks += 1;
      if (code == 2) { REPORT(name + " " + ticks); }
    }
  )");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), (Reports{"main"}));
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"a0", "b0"}));
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"a1"}));
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"a2"}));
  Frame(id);
  EXPECT_EQ(TakeReports(), (Reports{"b-done"}));
  EXPECT_EQ(ThreadCount(id), 1u);
  ScriptEventSend(id, 5, "other");
  ScriptEventSend(id, 2, "Escape");
  EXPECT_EQ(TakeReports(), (Reports{"ESCAPE 2"}));
  EXPECT_EQ(StackSize(id), 1u);  // the global; the listener's slots are gone
}

TEST_F(VmccTest, RoutineResultsComeBackThroughOutArguments) {
  ScriptAppRoutineRegister("Swap", [](int32_t script, int32_t thread) {
    const std::string first = ScriptParamGetString(script, thread, 1);
    ScriptParamSetString(script, thread, 1, ScriptParamGetString(script, thread, 2));
    ScriptParamSetString(script, thread, 2, first);
    return 1;
  });
  ScriptAppRoutineRegister("Stop", [](int32_t, int32_t) { return 0; });
  const int32_t id = Run(R"(
    routine Swap, Stop;
    var x = "left";
    var y = "right";
    Swap(out x, out y);
    REPORT(x + "," + y);
    Stop();
    REPORT("not reached");
  )");
  ASSERT_NE(id, 0);
  EXPECT_EQ(TakeReports(), (Reports{"right,left"}));
}

class VmccDebugTest : public ScriptRunTest {
 protected:
  VmccDebugTest() { switches_.push_back("-scriptdebug"); }
};

// The line table written beside the script lets -scriptdebug name the
// source position of a fault.
TEST_F(VmccDebugTest, AFaultNamesTheSourceLine) {
  VmccResult result;
  ASSERT_TRUE(
      VmccCompile("routine REPORT;\nobject List Names { }\nREPORT(1);\n"
                  "var t = Names.item[5].text;\nREPORT(t);\n",
                  "dbg.vms", {}, result));
  std::string error;
  ASSERT_TRUE(VmcLinesSave(result.script.code, result.lines, folder_.path() + "dbg.vmc", error))
      << error;
  ASSERT_NE(LoadScript(result.script, "dbg.vmc"), 0);
  EXPECT_EQ(TakeReports(), (Reports{"1"}));
  bool named = false;
  for (const std::string& line : SplitLines(folder_.read("results.log"))) {
    named = named || line.starts_with("Script fault: \"dbg.vmc\" (dbg.vms:4:9): ");
  }
  EXPECT_TRUE(named) << folder_.read("results.log");
}

TEST(VmccErrors, BadProgramsGiveExactMessages) {
  const std::string deep(10000, '(');
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"var x = ;", {"t.vms:1:9: error: expected a value before ';'"}},
      {"var s = \"open;\nvar t = 1;", {"t.vms:1:9: error: unterminated string"}},
      {"var x = ;\nvar y = \"abc",
       {"t.vms:1:9: error: expected a value before ';'", "t.vms:2:9: error: unterminated string"}},
      {"object Label T { colour = 1; }\nvar y = T.lenght;\nT.lineCount = 2;\n",
       {"t.vms:1:18: error: unknown attribute 'colour' for a Label object",
        "t.vms:2:11: error: unknown attribute 'lenght' for a Label object",
        "t.vms:3:3: error: the Label attribute 'lineCount' cannot be set"}},
      {"var n = length(\"a\", 2);\nvar m = Nobody.left;\nfoo();",
       {"t.vms:1:9: error: length takes 1 argument, found 2",
        "t.vms:2:9: error: unknown object 'Nobody'", "t.vms:3:1: error: unknown function 'foo'"}},
      {"var x = " + deep + "1;", {"t.vms:1:265: error: nesting deeper than 256 levels"}},
      {"var a = \"\xC3\x28\";", {"t.vms:1:10: error: invalid UTF-8 in the source"}},
      {"if (true) { const A = 1; }",
       {"t.vms:1:13: error: 'const' is only allowed at the top level of a file"}},
      {"break;\nfunc f(): int { return; }\nfunc g() { fork { yield; } }",
       {"t.vms:1:1: error: break outside a loop",
        "t.vms:2:17: error: the function 'f' must return a int",
        "t.vms:3:12: error: fork is not allowed in a function (the new thread would return into "
        "the "
        "caller); fork in the initial code or the listener"}},
      {"var x = 99999999999;\nvar while = 1;",
       {"t.vms:1:9: error: integer literal out of range",
        "t.vms:2:5: error: 'while' is a reserved word"}},
      {"object Image Logo { }\nfunc f(Logo: int) { return; var z = 1; }",
       {"t.vms:2:8: warning: 'Logo' shadows the object 'Logo'",
        "t.vms:2:29: warning: unreachable code", "t.vms:2:29: warning: unused variable 'z'"}},
  };
  for (const auto& [source, expected] : cases) {
    EXPECT_EQ(Diagnose(source), expected) << source;
  }
}

TEST(VmccErrors, ImportsAreFoundAndRecursionIsRefused) {
  TempFolder folder;
  folder.write("layout.vms", "const TOP = 40;\nimport \"layout.vms\";\n");
  folder.write("shared.vms", "import \"layout.vms\";\nconst LEFT = TOP + 2;\n");
  folder.write("loop.vms", "import \"main.vms\";\n");
  folder.write("main.vms", "import \"shared.vms\";\nimport \"loop.vms\";\n");
  VmccResult result;
  EXPECT_FALSE(VmccCompileFile(folder.path() + "main.vms", {}, result));
  ASSERT_EQ(result.diagnostics.size(), 2u);
  EXPECT_EQ(result.diagnostics[0],
            folder.path() + "layout.vms:2:1: error: import of \"layout.vms\" is recursive");
  EXPECT_EQ(result.diagnostics[1],
            folder.path() + "loop.vms:1:1: error: import of \"main.vms\" is recursive");
  // Limits of the file format: long literals and object texts.
  EXPECT_EQ(
      Diagnose("var s = \"" + std::string(70000, 'a') + "\";"),
      (std::vector<std::string>{"t.vms:1:9: error: string literal longer than 65,535 bytes"}));
  EXPECT_EQ(Diagnose("object Label L { text = \"" + std::string(300, 'a') + "\"; }"),
            (std::vector<std::string>{
                "t.vms:1:25: error: text longer than 255 bytes cannot be stored in an object"}));
}

// A large source compiles without running out of stack (the 10 MB case is
// timed by the benchmark in a release build).
TEST(VmccErrors, LargeSourcesCompile) {
  std::string source = "var x = 0;\n";
  while (source.size() < 2 * 1024 * 1024) {
    source += "x = x + 1; x -= 2; if (x > 3) { x = 0; }\n";
  }
  VmccResult result;
  EXPECT_TRUE(VmccCompile(source, "big.vms", {}, result));
  EXPECT_GT(result.script.code.size(), 200000u);
}

TEST(VmccAsm, EmittedTextAssemblesToTheSameBytes) {
  VmccResult result;
  ASSERT_TRUE(VmccCompile(R"(
    routine REPORT;
    object Display D { width = 320; }
    object Button B { left = 4; frames { blend = true; frame "a.tga", "b.tga" mat "a.mat"; frame; } }
    object List L { kind = "HORIZONTAL"; cells { frame "c.tga"; } }
    object Atex W { texture = "w.tga"; triangle = 0,0,0,0, 10,0,1,0, 0,10,0,1; }
    object Scene S { x = 1500; }
    object Model M { modelFile = "m.ms3d"; }
    object Camera C { member = B, "L"; }
    object Render R { routine = "AppRenderDepthBuffer"; }
    var g = "x";
    func f(a: int, b: string): string { return b + a; }
    for (var i = 0; i < 3; i += 1) { L.item[i].text = f(i, g); L.item[i + 1].value = i; }
    while (g != "xx") { g += "x"; if (length(g) > 5) { break; } }
    fork { wait(10); REPORT(L.item[1].text); }
    on event(code, name) { if (code == 1 and name == "A") { B.left = B.left + code; } }
  )",
                          "asm.vms", {}, result));
  std::string bytes;
  std::string error;
  ASSERT_TRUE(VmcWriterBytes(result.script, bytes, error)) << error;
  VmcScript again;
  ASSERT_TRUE(VmcAssemble(VmcDisassemble(result.script), "asm.vmca", again, error)) << error;
  std::string assembled;
  ASSERT_TRUE(VmcWriterBytes(again, assembled, error)) << error;
  EXPECT_EQ(assembled, bytes);
  ASSERT_FALSE(result.lines.empty());
  EXPECT_EQ(result.lines.front().file, "asm.vms");
}

// --- Randomised comparison ----------------------------------------------------------------------

// Expressions over three typed variables, evaluated here directly with the
// byte code's rules and compiled for the engine.
struct Gen {
  std::mt19937 rng;
  int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  struct Val {
    int type = 0;  // 0 int, 1 bool, 2 string
    int32_t i = 0;
    std::string s;
  };

  static int32_t AsInt(const Val& v) {
    if (v.type != 2) {
      return v.i;
    }
    const std::string& t = v.s;
    size_t k = !t.empty() && t[0] == '-' ? 1 : 0;
    if (t.size() <= k)
      return 0;
    uint32_t m = 0;
    for (; k < t.size(); ++k) {
      if (t[k] < '0' || t[k] > '9')
        return 0;
      m = m * 10u + static_cast<uint32_t>(t[k] - '0');
    }
    return static_cast<int32_t>(t[0] == '-' ? 0u - m : m);
  }
  static bool AsBool(const Val& v) {
    if (v.type != 2)
      return v.i != 0;
    std::string u = v.s;
    for (char& c : u)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u == "TRUE";
  }
  static std::string AsText(const Val& v) {
    return v.type == 0 ? std::to_string(v.i) : v.type == 1 ? (v.i ? "true" : "false") : v.s;
  }

  static Val Apply(const std::string& op, Val d, const Val& s) {
    if (op == "==" || op == "!=" || op == "<" || op == ">") {
      int order;
      if (d.type == 2) {
        const int c = d.s.compare(AsText(s));
        order = (c > 0) - (c < 0);
      } else {
        const int32_t y = d.type == 0 ? AsInt(s) : AsBool(s);
        order = (d.i > y) - (d.i < y);
      }
      const bool r = op == "=="   ? order == 0
                     : op == "!=" ? order != 0
                     : op == "<"  ? order < 0
                                  : order > 0;
      return Val{1, r, ""};
    }
    const int32_t y = AsInt(s);
    if (d.type == 0) {
      const uint32_t a = static_cast<uint32_t>(d.i), b = static_cast<uint32_t>(y);
      if (op == "+")
        d.i = static_cast<int32_t>(a + b);
      if (op == "-")
        d.i = static_cast<int32_t>(a - b);
      if (op == "*")
        d.i = static_cast<int32_t>(a * b);
      if (op == "/")
        d.i = y == 0 ? 0 : y == -1 ? static_cast<int32_t>(0u - a) : d.i / y;
      if (op == "%")
        d.i = y == 0 || y == -1 ? 0 : d.i % y;
      if (op == "and")
        d.i = d.i & y;
      if (op == "or")
        d.i = d.i | y;
    } else if (d.type == 1) {
      const bool x = d.i != 0;
      bool r = x;
      if (op == "+")
        r = int64_t{x} + y != 0;
      if (op == "-")
        r = int32_t{x} != y;
      if (op == "*" || op == "/" || op == "%")
        r = x && y != 0;
      if (op == "and")
        r = x && AsBool(s);
      if (op == "or")
        r = x || AsBool(s);
      d.i = r;
    } else {
      if (op == "+")
        d.s += AsText(s);
      if (op == "-") {
        if (s.type == 0) {
          if (s.i > 0)
            d.s.erase(d.s.size() - std::min(d.s.size(), static_cast<size_t>(s.i)));
        } else {
          const std::string t = AsText(s);
          const size_t f = t.empty() ? std::string::npos : d.s.find(t);
          if (f != std::string::npos && f + t.size() == d.s.size())
            d.s.erase(f);
        }
      }
      if (op == "*" || op == "/" || op == "%")
        d.s.clear();
      if (op == "and")
        d.s = AsBool(d) && AsBool(s) ? "TRUE" : "FALSE";
      if (op == "or")
        d.s = AsBool(d) || AsBool(s) ? "TRUE" : "FALSE";
    }
    return d;
  }

  Val Literal(std::string& text) {
    switch (Pick(3)) {
      case 0: {
        const int32_t v = Pick(4) == 0 ? static_cast<int32_t>(rng()) : Pick(21) - 10;
        text = "(" + std::to_string(v) + ")";
        return Val{0, v, ""};
      }
      case 1:
        text = Pick(2) ? "true" : "false";
        return Val{1, text == "true", ""};
      default: {
        static const char* const kTexts[] = {"", "7", "-3", "ab", "TRUE", "b", "12x", "ab7"};
        const std::string s = kTexts[Pick(8)];
        text = "\"" + s + "\"";
        return Val{2, 0, s};
      }
    }
  }

  Val Expr(int depth, std::string& text, const std::vector<Val>& vars) {
    if (depth == 0 || Pick(3) == 0) {
      if (Pick(2) == 0) {
        const int k = Pick(3);
        text = "v" + std::to_string(k);
        return vars[static_cast<size_t>(k)];
      }
      return Literal(text);
    }
    static const char* const kOps[] = {"+", "-", "*", "/", "%", "and", "or", "==", "!=", "<", ">"};
    const std::string op = kOps[Pick(11)];
    std::string left;
    std::string right;
    const Val l = Expr(depth - 1, left, vars);
    const Val r = Expr(depth - 1, right, vars);
    text = "(" + left + " " + op + " " + right + ")";
    return Apply(op, l, r);
  }
};

TEST_F(VmccTest, RandomExpressionsMatchADirectEvaluation) {
  Gen gen{std::mt19937(20261208)};
  for (int program = 0; program < 2000; ++program) {
    std::string source;
    Reports expected;
    std::vector<Gen::Val> vars = {{0, 0, ""}, {1, 0, ""}, {2, 0, ""}};
    for (int k = 0; k < 3; ++k) {
      std::string text;
      const Gen::Val v = gen.Literal(text);
      // Each variable keeps the type it was declared with; a move converts.
      vars[k] = k == 0   ? Gen::Val{0, Gen::AsInt(v), ""}
                : k == 1 ? Gen::Val{1, Gen::AsBool(v), ""}
                         : Gen::Val{2, 0, Gen::AsText(v)};
      source += std::string("var v") + std::to_string(k) + ": " +
                (k == 0   ? "int"
                 : k == 1 ? "bool"
                          : "string") +
                " = " + text + ";\n";
    }
    for (int p = 0; p < 4; ++p) {
      std::string text;
      const Gen::Val value = gen.Expr(1 + gen.Pick(4), text, vars);
      if (gen.Pick(3) == 0) {
        // Assignment to a variable, then the variable is reported.
        const int k = gen.Pick(3);
        source +=
            "v" + std::to_string(k) + " = " + text + ";\nREPORT(v" + std::to_string(k) + ");\n";
        vars[k] = k == 0   ? Gen::Val{0, Gen::AsInt(value), ""}
                  : k == 1 ? Gen::Val{1, Gen::AsBool(value), ""}
                           : Gen::Val{2, 0, Gen::AsText(value)};
        expected.push_back(Gen::AsText(vars[k]));
      } else if (gen.Pick(4) == 0) {
        // The same expression in a function, on parameters of the same names.
        const std::string f = "g" + std::to_string(p);
        source += "func " + f + "(v0: int, v1: bool, v2: string): string { return " + text +
                  "; }\nREPORT(" + f + "(v0, v1, v2));\n";
        expected.push_back(Gen::AsText(value));
      } else if (gen.Pick(2) == 0) {
        source += "if (" + text + ") { REPORT(\"yes\"); } else { REPORT(\"no\"); }\n";
        expected.push_back(Gen::AsBool(value) ? "yes" : "no");
      } else {
        source += "REPORT(" + text + ");\n";
        expected.push_back(Gen::AsText(value));
      }
    }
    const int32_t id = Run(source);
    ASSERT_NE(id, 0);
    const Reports got = TakeReports();
    ASSERT_EQ(got, expected) << source;
    ScriptClose(id);
  }
}

}  // namespace
