// The instruction set: conversions and arithmetic in the type of dest,
// comparisons in the type of A, calls and frames, version-dependent string
// literals, and every fault ending only its own thread.
#include <climits>
#include <functional>

#include "tests/script/script_run_fixture.h"

namespace {

using Reports = std::vector<std::string>;

struct ArithmeticCase {
  VmcOperand dest;  // its literal is pushed as the variable's starting value
  uint8_t opcode;
  VmcOperand src;
  std::string expected;
};

TEST_F(ScriptRunTest, ArithmeticWorksInTheTypeOfDest) {
  const VmcOperand self = VmcLocal(0);
  const std::vector<ArithmeticCase> cases = {
      // Moves convert to the type dest already has.
      {VmcInt(7), kVmcMove, VmcString("abc"), "0"},
      {VmcBool(true), kVmcMove, VmcString("abc"), "false"},
      {VmcBool(false), kVmcMove, VmcString("tRuE"), "true"},
      {VmcInt(0), kVmcMove, VmcString("-12"), "-12"},
      {VmcInt(9), kVmcMove, VmcString("+5"), "0"},
      {VmcInt(9), kVmcMove, VmcString("12a"), "0"},
      {VmcInt(9), kVmcMove, VmcString("-"), "0"},
      {VmcInt(0), kVmcMove, VmcString("4294967297"), "1"},
      {VmcInt(0), kVmcMove, VmcBool(true), "1"},
      {VmcString("x"), kVmcMove, VmcInt(-42), "-42"},
      {VmcString("x"), kVmcMove, VmcBool(false), "false"},
      {VmcBool(false), kVmcMove, VmcInt(2), "true"},
      // Add.
      {VmcInt(5), kVmcAdd, VmcString("3"), "8"},
      {VmcInt(INT_MAX), kVmcAdd, VmcInt(1), "-2147483648"},
      {VmcBool(true), kVmcAdd, VmcInt(-1), "false"},
      {VmcBool(false), kVmcAdd, VmcInt(3), "true"},
      {VmcString("ab"), kVmcAdd, VmcInt(12), "ab12"},
      {VmcString("ab"), kVmcAdd, VmcBool(true), "abtrue"},
      {VmcString("ab"), kVmcAdd, self, "abab"},
      {VmcString(std::string(65532, 'a')), kVmcAdd, VmcString("bcd"),
       std::string(65532, 'a') + "bcd"},  // the longest text an add may make
      // Subtract.
      {VmcInt(5), kVmcSubtract, VmcInt(7), "-2"},
      {VmcBool(true), kVmcSubtract, VmcInt(1), "false"},
      {VmcBool(false), kVmcSubtract, VmcString("5"), "true"},
      {VmcString("testing"), kVmcSubtract, VmcString("ing"), "test"},
      {VmcString("ingest"), kVmcSubtract, VmcString("ing"), "ingest"},
      {VmcString("abab"), kVmcSubtract, VmcString("ab"), "abab"},
      {VmcString("testing"), kVmcSubtract, VmcInt(3), "test"},
      {VmcString("abc"), kVmcSubtract, VmcInt(10), ""},
      {VmcString("abc"), kVmcSubtract, VmcInt(-1), "abc"},
      {VmcString("abc"), kVmcSubtract, VmcString(""), "abc"},
      {VmcString("istrue"), kVmcSubtract, VmcBool(true), "is"},
      {VmcString("same"), kVmcSubtract, self, ""},
      // And, or.
      {VmcInt(12), kVmcAnd, VmcInt(10), "8"},
      {VmcInt(12), kVmcOr, VmcString("3"), "15"},
      {VmcBool(true), kVmcAnd, VmcString("FALSE"), "false"},
      {VmcBool(false), kVmcOr, VmcString("true"), "true"},
      {VmcString("true"), kVmcAnd, VmcInt(1), "TRUE"},
      {VmcString("yes"), kVmcOr, VmcInt(0), "FALSE"},
      {VmcString("yes"), kVmcOr, VmcBool(true), "TRUE"},
      // Multiply, divide, remainder.
      {VmcInt(6), kVmcMultiply, VmcInt(-7), "-42"},
      {VmcInt(65536), kVmcMultiply, VmcInt(65536), "0"},
      {VmcBool(true), kVmcMultiply, VmcInt(0), "false"},
      {VmcBool(true), kVmcMultiply, VmcInt(3), "true"},
      {VmcString("abc"), kVmcMultiply, VmcInt(2), ""},
      {VmcInt(-7), kVmcDivide, VmcInt(2), "-3"},
      {VmcInt(7), kVmcDivide, VmcInt(0), "0"},
      {VmcInt(INT_MIN), kVmcDivide, VmcInt(-1), "-2147483648"},
      {VmcBool(true), kVmcDivide, VmcString("zero"), "false"},
      {VmcBool(true), kVmcDivide, VmcInt(5), "true"},
      {VmcString("abc"), kVmcDivide, VmcInt(1), ""},
      {VmcInt(-7), kVmcRemainder, VmcInt(3), "-1"},
      {VmcInt(7), kVmcRemainder, VmcInt(-3), "1"},
      {VmcInt(7), kVmcRemainder, VmcInt(0), "0"},
      {VmcInt(INT_MIN), kVmcRemainder, VmcInt(-1), "0"},
      {VmcBool(true), kVmcRemainder, VmcInt(0), "false"},
      {VmcString("abc"), kVmcRemainder, VmcInt(2), ""},
  };
  VmcCode code;
  Reports expected;
  for (const ArithmeticCase& c : cases) {
    code.Push(c.dest);
    code.Arithmetic(c.opcode, c.src, self);
    Report(code, self);
    code.Pop();
    expected.push_back(c.expected);
  }
  for (const VmcOperand& value : {VmcInt(0), VmcBool(true), VmcString("True"), VmcString("x")}) {
    code.Push(value);
    code.Not(self);
    Report(code, self);
    code.Pop();
  }
  expected.insert(expected.end(), {"-1", "false", "FALSE", "TRUE"});
  ASSERT_NE(Load(code), 0);
  EXPECT_EQ(TakeReports(), expected);
}

struct ComparisonCase {
  VmcOperand a;
  VmcOperand b;
  int order;  // of A against B in the type of A
};

TEST_F(ScriptRunTest, ComparisonsConvertBToTheTypeOfA) {
  const std::vector<ComparisonCase> cases = {
      {VmcInt(10), VmcString("9"), 1},
      {VmcString("10"), VmcInt(9), -1},
      {VmcInt(-1), VmcInt(1), -1},
      {VmcInt(5), VmcString("abc"), 1},
      {VmcString("ab"), VmcString("abc"), -1},
      {VmcString("B"), VmcString("a"), -1},
      {VmcString("\xC3\xA9"), VmcString("z"), 1},
      {VmcString("TRUE"), VmcBool(true), -1},
      {VmcString("true"), VmcBool(true), 0},
      {VmcBool(true), VmcString("TRUE"), 0},
      {VmcBool(false), VmcInt(5), -1},
      {VmcBool(true), VmcInt(0), 1},
      {VmcLocal(0), VmcInt(3), 0},
  };
  // One letter per jump opcode 11-16 (not equal, equal, >=, <, >, <=): y when taken.
  const auto letters = [](int order) {
    std::string taken;
    for (bool jump : {order != 0, order == 0, order >= 0, order<0, order> 0, order <= 0}) {
      taken += jump ? 'y' : 'n';
    }
    return taken;
  };
  VmcCode code;
  code.Push(VmcInt(3));
  Reports expected;
  int label = 0;
  for (const ComparisonCase& c : cases) {
    for (uint8_t opcode = kVmcJumpNotEqual; opcode <= kVmcJumpLessEqual; ++opcode) {
      const std::string taken = "taken" + std::to_string(label);
      const std::string next = "next" + std::to_string(label++);
      code.JumpIf(opcode, c.a, c.b, taken);
      Report(code, VmcString("n"));
      code.Jump(next);
      code.Label(taken);
      Report(code, VmcString("y"));
      code.Label(next);
    }
    expected.push_back(letters(c.order));
  }
  ASSERT_NE(Load(code), 0);
  Reports joined;
  const Reports reports = TakeReports();
  for (size_t i = 0; i + 6 <= reports.size(); i += 6) {
    std::string letters6;
    for (size_t k = i; k < i + 6; ++k) {
      letters6 += reports[k];
    }
    joined.push_back(letters6);
  }
  EXPECT_EQ(joined, expected);
}

TEST_F(ScriptRunTest, CallsKeepFramesAndRecurse) {
  // factorial(n): result slot below the argument; recursion through the call stack.
  VmcCode code;
  code.Push(VmcInt(0));   // local 0: result of factorial(10)
  code.Push(VmcInt(10));  // argument
  code.Call("factorial");
  code.Pop();
  Report(code, VmcLocal(0));
  code.Push(VmcString("a"));  // local 1 stays addressable after the calls
  code.Push(VmcInt(0));
  code.Call("depth");
  code.Pop();
  Report(code, VmcLocal(1));
  code.Return();

  code.Label("factorial");  // param 1: n, param 2: result
  code.JumpIf(kVmcJumpGreater, VmcParam(1), VmcInt(1), "recurse");
  code.Move(VmcInt(1), VmcParam(2));
  code.Return();
  code.Label("recurse");
  code.Push(VmcInt(0));
  code.Push(VmcParam(1));
  code.Arithmetic(kVmcSubtract, VmcInt(1), VmcLocal(1));
  code.Call("factorial");
  code.Pop();
  code.Move(VmcLocal(0), VmcParam(2));
  code.Arithmetic(kVmcMultiply, VmcParam(1), VmcParam(2));
  code.Pop();
  code.Return();

  code.Label("depth");  // returns without touching the caller's frame
  code.Push(VmcInt(99));
  code.Pop();
  code.Return();
  ASSERT_NE(Load(code), 0);
  EXPECT_EQ(TakeReports(), (Reports{"3628800", "a"}));
}

TEST_F(ScriptRunTest, StringLiteralLengthsFollowTheFileVersion) {
  // push "hello" with a one-byte length: right below version 9; from version
  // 9 on the length reads as two bytes and runs past the code.
  VmcCode code;
  code.RawByte(kVmcPush);
  code.RawByte(kVmcLiteralString);
  code.Raw(std::string("\x05hello", 6));
  code.CallApp(0);
  Report(code, VmcBool(true));
  ASSERT_NE(Load(code, {}, "", 8, "old.vmc"), 0);
  EXPECT_EQ(TakeReports(), (Reports{"hello", "true"}));
  ASSERT_NE(Load(code, {}, "", 9, "new.vmc"), 0);
  EXPECT_EQ(TakeReports(), Reports{});

  VmcCode wide(9);
  wide.Push(VmcString(std::string(300, 'w')));
  wide.CallApp(0);
  ASSERT_NE(Load(wide, {}, "", 9, "wide.vmc"), 0);
  EXPECT_EQ(TakeReports(), Reports{std::string(300, 'w')});
}

struct FaultCase {
  std::string name;
  std::function<void(VmcCode&)> emit;  // the instruction that ends the thread
};

// Each case reports "before", runs its faulting instruction and would report
// "after"; the thread ends silently in between, and the next event still
// runs the listener on the same thread.
TEST_F(ScriptRunTest, FaultsEndOnlyTheThread) {
  const auto raw = [](std::vector<int> bytes) {
    return [bytes](VmcCode& code) {
      for (int byte : bytes) {
        code.RawByte(static_cast<uint8_t>(byte));
      }
    };
  };
  std::vector<FaultCase> cases = {
      {"jump to -1", [](VmcCode& code) { code.Jump(-1); }},
      {"jump to the code length", [](VmcCode& code) { code.Jump("end"); }},
      {"untaken jump out of range",
       [](VmcCode& code) { code.JumpIf(kVmcJumpEqual, VmcInt(1), VmcInt(2), "end"); }},
      {"taken jump below 0",
       [](VmcCode& code) { code.JumpIf(kVmcJumpEqual, VmcInt(1), VmcInt(1), -5); }},
      {"call out of range", [](VmcCode& code) { code.Call(1 << 30); }},
      {"slot below 0", [](VmcCode& code) { code.Move(VmcInt(1), VmcParam(1)); }},
      {"slot past the stack", [](VmcCode& code) { code.Push(VmcLocal(1)); }},
      {"largest slot", [](VmcCode& code) { code.Push(VmcSlot(INT_MAX)); }},
      {"slot above the base overflowing",
       [](VmcCode& code) { code.Push(VmcVariable(kVmcSlotAbove, INT_MAX)); }},
      {"slot below the base overflowing",
       [](VmcCode& code) { code.Push(VmcVariable(kVmcSlotBelow, INT_MIN)); }},
      {"literal dest", [](VmcCode& code) { code.Arithmetic(kVmcAdd, VmcInt(1), VmcInt(2)); }},
      {"text added past 65535 bytes",
       [](VmcCode& code) {
         code.Push(VmcString(std::string(65535, 'a')));
         code.Arithmetic(kVmcAdd, VmcInt(0), VmcLocal(0));
       }},
      {"not of a literal", [](VmcCode& code) { code.Not(VmcBool(true)); }},
      {"literal type 3", raw({kVmcPush, 3, 0, 0, 0, 0})},
      {"boolean literal 2", raw({kVmcPush, kVmcLiteralBool, 2})},
      {"pop of the empty stack", [](VmcCode& code) { code.Pop(); }},
      {"routine index past the names", [](VmcCode& code) { code.CallApp(2); }},
      {"routine 65535", [](VmcCode& code) { code.CallApp(65535); }},
      {"unregistered routine", [](VmcCode& code) { code.CallApp(1); }},
      {"built-in 43", [](VmcCode& code) { code.CallBuiltin(43); }},
      {"built-in 99", [](VmcCode& code) { code.CallBuiltin(99); }},
      {"object past the objects", [](VmcCode& code) { code.GetAttribute(1, 0); }},
      {"attribute the type lacks", [](VmcCode& code) { code.SetAttribute(0, 7, VmcInt(1)); }},
      {"return with an empty call stack", [](VmcCode& code) { code.Return(); }},
  };
  for (int opcode : {2, 3, 4, 6, 7, 8, 9, 27, 28, 29, 30, 38, 63}) {
    cases.push_back({"opcode " + std::to_string(opcode), raw({opcode})});
  }
  // Faults that swallow the rest of the code: nothing may follow them.
  const std::vector<FaultCase> lastCases = {
      {"truncated target", raw({kVmcJump, 1, 0})},
      {"string past the end", raw({kVmcPush, kVmcLiteralString, 0xFF, 0xFF, 'a'})},
      {"truncated variable", raw({kVmcPush | kVmcFlagA, 0, 0})},
      {"truncated routine index", raw({kVmcCallApp, 0})},
  };
  for (const bool last : {false, true}) {
    for (const FaultCase& c : last ? lastCases : cases) {
      SCOPED_TRACE(c.name);
      VmcCode code;
      code.Jump("main");
      code.Label("listener");
      Report(code, VmcString("event"));
      code.Return();
      code.Label("main");
      Report(code, VmcString("before"));
      c.emit(code);
      if (!last) {
        Report(code, VmcString("after"));
        code.Return();
      }
      code.Label("end");
      VmcScript script;
      script.routines = {"REPORT", "NOBODY"};
      script.listener = 1;
      script.listenerAddress = code.LabelOffset("listener");
      VmcObject display = VmcObjectNew(kVmcDisplay, "screen");
      script.objects.push_back(display);
      std::string error;
      ASSERT_TRUE(code.Finish(script.code, error)) << error;
      const int32_t id = LoadScript(script, "fault.vmc");
      ASSERT_NE(id, 0);
      EXPECT_EQ(TakeReports(), Reports{"before"});
      EXPECT_FALSE(ScriptIsRunning(id));
      ScriptEventSend(id, 1, "again");
      EXPECT_EQ(TakeReports(), Reports{"event"});
      ScriptClose(id);
    }
  }
  EXPECT_EQ(Errors(),
            Reports{"ScriptAppRoutineRun - App routine \"NOBODY\" has not been registered."});
}

TEST_F(ScriptRunTest, AttributeOperandsTakeAnItemIndexWhereTheAttributeHasOne) {
  VmcScript script;
  script.routines = {"REPORT"};
  VmcObject list = VmcObjectNew(kVmcList, "choices");
  script.objects.push_back(list);
  script.objects.push_back(VmcObjectNew(kVmcDisplay, "screen"));
  VmcCode code;
  code.Push(VmcInt(2));  // slot 0: an item index
  code.SetAttribute(0, 5, VmcString("third"), VmcSlot(0));
  code.SetAttribute(0, 5, VmcString("first"), VmcInt(0));
  code.GetAttribute(0, 5, VmcVariable(kVmcSlotAbove, 0));
  code.CallApp(0);
  code.GetAttribute(0, 5, VmcInt(0));
  code.CallApp(0);
  code.GetAttribute(0, 24);  // item count: no index operand
  code.CallApp(0);
  code.GetAttribute(1, 0);  // display width
  code.CallApp(0);
  code.GetAttribute(0, 5, VmcVariable(4, 0));  // no such item index mode
  code.CallApp(0);
  std::string error;
  ASSERT_TRUE(code.Finish(script.code, error)) << error;
  ASSERT_NE(LoadScript(script, "list.vmc"), 0);
  EXPECT_EQ(TakeReports(), (Reports{"third", "first", "3", "640"}));
}

}  // namespace
