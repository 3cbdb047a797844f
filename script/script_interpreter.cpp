// The interpreter loop: decodes the byte code one instruction at a time and
// executes it on the thread's stack. Every read is checked against the end of
// the code and every slot against the stack; a fault ends the thread without
// a message while the engine and every other thread go on (with
// -scriptdebug, the debugging part names it in the log).
//
// The loop decodes operands in place: literals are read straight from the
// code (strings as views into it) and variables are pointers to stack slots,
// valid only within the instruction that read them. Anything that calls out
// of the interpreter (routines, built-ins) may close the script, reload its
// code or move its threads, so the run finds its script and thread again by
// id afterwards.
#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>
#include <utility>

#include "script/script_internal.h"

namespace {

constexpr int64_t kUnlimited = std::numeric_limits<int64_t>::max();
int64_t instructionBudget = kUnlimited;
// The longest text an add may make, the longest a string literal can be:
// without it a script that adds a string to itself asks for gigabytes
// within a few dozen instructions. An add past it is a fault.
constexpr size_t kMaxTextLength = 65535;

// The helpers on the path of every instruction are forced inline, so that the
// cursor and the decoded operands stay in registers.
#define SCRIPT_HOT [[gnu::always_inline]] inline

// Reads the code of one instruction; every read checks the end of the code.
struct Cursor {
  const uint8_t* code = nullptr;
  int32_t size = 0;
  int32_t pc = 0;

  SCRIPT_HOT bool Byte(uint8_t& value) {
    if (pc >= size) {
      return false;
    }
    value = code[pc++];
    return true;
  }
  SCRIPT_HOT bool Word(uint16_t& value) {
    if (size - pc < 2) {
      return false;
    }
    value = static_cast<uint16_t>(code[pc] | code[pc + 1] << 8);
    pc += 2;
    return true;
  }
  SCRIPT_HOT bool Int(int32_t& value) {
    if (size - pc < 4) {
      return false;
    }
    value = Load32(code + pc);
    pc += 4;
    return true;
  }
  // A mode byte followed by a 32-bit number.
  SCRIPT_HOT bool ModeInt(uint8_t& mode, int32_t& value) {
    if (size - pc < 5) {
      return false;
    }
    mode = code[pc];
    value = Load32(code + pc + 1);
    pc += 5;
    return true;
  }
  // A code offset: it must lie inside the code.
  SCRIPT_HOT bool Target(int32_t& target) { return Int(target) && target >= 0 && target < size; }
  SCRIPT_HOT static int32_t Load32(const uint8_t* bytes) {
    return static_cast<int32_t>(
        static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
        static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  }
};

// A decoded value operand: a stack slot, or a literal inside the code.
struct Operand {
  int32_t type = kScriptInteger;
  int32_t number = 0;  // the integer, or the boolean as 0/1
  std::string_view text;
  Parameter* slot = nullptr;  // set for a variable reference
};

// Room for the decimal text of any 32-bit integer.
using NumberText = char[12];

SCRIPT_HOT Parameter* SlotAt(ScriptThread& thread, uint8_t mode, int32_t n) {
  int64_t slot = n;
  if (mode == 1) {
    slot = int64_t{thread.frameBase} - n;
  } else if (mode == 2) {
    slot = int64_t{thread.frameBase} + n;
  }
  // Compared in bytes: no division by the size of a value.
  const auto bytes = reinterpret_cast<const char*>(thread.stack.data() + thread.stack.size()) -
                     reinterpret_cast<const char*>(thread.stack.data());
  if (slot < 0 || slot * int64_t{sizeof(Parameter)} >= bytes) {
    return nullptr;
  }
  return thread.stack.data() + slot;
}

SCRIPT_HOT bool ReadVariable(Cursor& cursor, ScriptThread& thread, Parameter*& slot) {
  uint8_t mode = 0;
  int32_t n = 0;
  if (!cursor.ModeInt(mode, n)) {
    return false;
  }
  slot = SlotAt(thread, mode, n);
  return slot != nullptr;
}

SCRIPT_HOT void LoadSlot(Parameter& slot, Operand& operand) {
  operand.slot = &slot;
  operand.type = slot.type;
  operand.number = slot.type == kScriptBoolean ? slot.boolValue : slot.intValue;
  if (slot.type != kScriptInteger && slot.type != kScriptBoolean) {
    operand.text = slot.textValue;
  }
}

// The text of a string literal at the cursor; the offset after it, or -1
// when it runs past the end. The cursor is a copy so that the caller's stays
// in registers.
[[gnu::noinline]] int32_t ReadStringLiteral(Cursor cursor, bool longStrings,
                                            std::string_view& text) {
  int32_t length = 0;
  if (longStrings) {
    uint16_t word = 0;
    if (!cursor.Word(word)) {
      return -1;
    }
    length = word;
  } else {
    uint8_t byte = 0;
    if (!cursor.Byte(byte)) {
      return -1;
    }
    length = byte;
  }
  if (cursor.size - cursor.pc < length) {
    return -1;
  }
  text = std::string_view(reinterpret_cast<const char*>(cursor.code + cursor.pc),
                          static_cast<size_t>(length));
  return cursor.pc + length;
}

SCRIPT_HOT bool ReadLiteral(Cursor& cursor, bool longStrings, Operand& operand) {
  uint8_t type = 0;
  if (!cursor.Byte(type)) {
    return false;
  }
  operand.type = type;
  switch (type) {
    case kScriptInteger:
      return cursor.Int(operand.number);
    case kScriptBoolean: {
      uint8_t value = 0;
      if (!cursor.Byte(value) || value > 1) {
        return false;
      }
      operand.number = value;
      return true;
    }
    case kScriptString:
      cursor.pc = ReadStringLiteral(cursor, longStrings, operand.text);
      return cursor.pc >= 0;
    default:
      return false;
  }
}

// A value operand: a variable reference when its flag is set, else a literal.
SCRIPT_HOT bool ReadOperand(Cursor& cursor, ScriptThread& thread, bool variable, bool longStrings,
                            Operand& operand) {
  if (!variable) {
    return ReadLiteral(cursor, longStrings, operand);
  }
  Parameter* slot = nullptr;
  if (!ReadVariable(cursor, thread, slot)) {
    return false;
  }
  LoadSlot(*slot, operand);
  return true;
}

// The item index of a list attribute: mode 0 an absolute slot, 1 below the
// frame base, 2 above it, 3 the number itself.
SCRIPT_HOT bool ReadItemIndex(Cursor& cursor, ScriptThread& thread, int32_t& item) {
  uint8_t mode = 0;
  int32_t n = 0;
  if (!cursor.ModeInt(mode, n) || mode > 3) {
    return false;
  }
  if (mode == 3) {
    item = n;
    return true;
  }
  const Parameter* slot = SlotAt(thread, mode, n);
  if (slot == nullptr) {
    return false;
  }
  item = ScriptToInt(*slot);
  return true;
}

// --- Conversions of operands (the rules of ScriptToInt and its siblings) ------------------

SCRIPT_HOT int32_t ToInt(const Operand& value) {
  return value.type == kScriptInteger || value.type == kScriptBoolean ? value.number
                                                                      : ScriptTextToInt(value.text);
}

bool ToBool(const Operand& value) {
  switch (value.type) {
    case kScriptInteger:
    case kScriptBoolean:
      return value.number != 0;
    default:
      return ScriptTextToBool(value.text);
  }
}

std::string_view IntText(int32_t value, NumberText& buffer) {
  const auto end = std::to_chars(buffer, buffer + sizeof(NumberText), value).ptr;
  return std::string_view(buffer, static_cast<size_t>(end - buffer));
}

std::string_view ToText(const Operand& value, NumberText& buffer) {
  switch (value.type) {
    case kScriptInteger:
      return IntText(value.number, buffer);
    case kScriptBoolean:
      return value.number != 0 ? "true" : "false";
    default:
      return value.text;
  }
}

Parameter ToParameter(const Operand& value) {
  switch (value.type) {
    case kScriptInteger:
      return ScriptIntValue(value.number);
    case kScriptBoolean:
      return ScriptBoolValue(value.number != 0);
    default:
      return ScriptStringValue(std::string(value.text));
  }
}

// --- Instructions ---------------------------------------------------------------------------

// Comparison of a boolean or string A: -1, 0 or 1.
[[gnu::noinline]] int32_t CompareOther(Operand a, Operand b) {
  switch (a.type) {
    case kScriptBoolean: {
      const int32_t x = a.number != 0;
      const int32_t y = ToBool(b);
      return x - y;
    }
    default: {
      NumberText buffer;
      const int32_t order = a.text.compare(ToText(b, buffer));
      return (order > 0) - (order < 0);
    }
  }
}

// -1, 0 or 1 as A is below, equal to or above B, compared in the type of A.
SCRIPT_HOT int32_t Compare(const Operand& a, const Operand& b) {
  if (a.type != kScriptInteger) {
    return CompareOther(a, b);
  }
  const int32_t x = a.number;
  const int32_t y = ToInt(b);
  return (x > y) - (x < y);
}

SCRIPT_HOT bool Condition(uint8_t opcode, int32_t order) {
  switch (opcode) {
    case kOpJumpNotEqual:
      return order != 0;
    case kOpJumpEqual:
      return order == 0;
    case kOpJumpGreaterEqual:
      return order >= 0;
    case kOpJumpLess:
      return order < 0;
    case kOpJumpGreater:
      return order > 0;
    default:
      return order <= 0;
  }
}

// Integer arithmetic wraps around in 32 bits; division and remainder by 0
// give 0, and the one quotient that does not fit (the smallest integer
// divided by -1) wraps around too instead of trapping.
SCRIPT_HOT int32_t IntegerArithmetic(uint8_t opcode, int32_t dest, int32_t src) {
  const uint32_t d = static_cast<uint32_t>(dest);
  const uint32_t s = static_cast<uint32_t>(src);
  switch (opcode) {
    case kOpAdd:
      return static_cast<int32_t>(d + s);
    case kOpSubtract:
      return static_cast<int32_t>(d - s);
    case kOpAnd:
      return dest & src;
    case kOpOr:
      return dest | src;
    case kOpMultiply:
      return static_cast<int32_t>(d * s);
    case kOpDivide:
      if (src == 0) {
        return 0;
      }
      return src == -1 ? static_cast<int32_t>(0u - d) : dest / src;
    default:
      return src == 0 || src == -1 ? 0 : dest % src;
  }
}

bool BooleanArithmetic(uint8_t opcode, bool dest, const Operand& src) {
  switch (opcode) {
    case kOpAdd:
      return int64_t{dest} + ToInt(src) != 0;
    case kOpSubtract:
      return int32_t{dest} != ToInt(src);
    case kOpAnd:
      return dest && ToBool(src);
    case kOpOr:
      return dest || ToBool(src);
    case kOpMultiply:
      return dest && ToInt(src) != 0;
    default:
      return ToInt(src) != 0 && dest;
  }
}

// Subtracting an integer n removes the last n characters; subtracting a
// text removes it when its first occurrence ends the string.
void StringSubtract(std::string& dest, const Operand& src) {
  if (src.type == kScriptInteger) {
    if (src.number > 0) {
      dest.erase(dest.size() - std::min(dest.size(), static_cast<size_t>(src.number)));
    }
    return;
  }
  NumberText buffer;
  const std::string_view text = ToText(src, buffer);
  if (text.empty()) {
    return;
  }
  const size_t found = std::string_view(dest).find(text);
  if (found != std::string_view::npos && found + text.size() == dest.size()) {
    dest.erase(found);
  }
}

// False for a fault: an add past the longest text.
bool StringArithmetic(uint8_t opcode, std::string& dest, const Operand& src) {
  switch (opcode) {
    case kOpAdd: {
      NumberText buffer;
      const std::string_view text = ToText(src, buffer);
      if (text.size() > kMaxTextLength - std::min(dest.size(), kMaxTextLength)) {
        return false;
      }
      dest.append(text);
      return true;
    }
    case kOpSubtract:
      StringSubtract(dest, src);
      return true;
    case kOpAnd:
      dest = ScriptTextToBool(dest) && ToBool(src) ? "TRUE" : "FALSE";
      return true;
    case kOpOr:
      dest = ScriptTextToBool(dest) || ToBool(src) ? "TRUE" : "FALSE";
      return true;
    default:
      dest.clear();
      return true;
  }
}

// Opcodes 17-24 on a boolean or string dest; false for a fault. The operand
// is a copy, so that the caller's stays in registers.
[[gnu::noinline]] bool OtherArithmetic(uint8_t opcode, Operand src, Parameter& dest) {
  std::string copy;
  if (src.slot == &dest && dest.type == kScriptString) {
    // The source text would change under the operation: work on a copy.
    copy = dest.textValue;
    src.text = copy;
  }
  switch (dest.type) {
    case kScriptBoolean:
      dest.boolValue =
          opcode == kOpMove ? ToBool(src) : BooleanArithmetic(opcode, dest.boolValue != 0, src);
      return true;
    default:
      if (opcode == kOpMove) {
        NumberText buffer;
        dest.textValue.assign(ToText(src, buffer));
        return true;
      }
      return StringArithmetic(opcode, dest.textValue, src);
  }
}

// Opcodes 17-24: the work is done in the type of dest; false for a fault.
SCRIPT_HOT bool Arithmetic(uint8_t opcode, const Operand& src, Parameter& dest) {
  if (dest.type != kScriptInteger) {
    return OtherArithmetic(opcode, src, dest);
  }
  const int32_t value = ToInt(src);
  dest.intValue = opcode == kOpMove ? value : IntegerArithmetic(opcode, dest.intValue, value);
  return true;
}

void Not(Parameter& value) {
  switch (value.type) {
    case kScriptInteger:
      value.intValue = ~value.intValue;
      return;
    case kScriptBoolean:
      value.boolValue = value.boolValue != 0 ? 0 : 1;
      return;
    default:
      value.textValue = ScriptTextToBool(value.textValue) ? "FALSE" : "TRUE";
      return;
  }
}

void Push(std::vector<Parameter>& stack, const Operand& value) {
  if (value.slot != nullptr) {
    stack.push_back(*value.slot);
    return;
  }
  Parameter& pushed = stack.emplace_back();
  pushed.type = value.type;
  if (value.type == kScriptBoolean) {
    pushed.boolValue = static_cast<uint8_t>(value.number);
  } else if (value.type == kScriptInteger) {
    pushed.intValue = value.number;
  } else {
    pushed.textValue.assign(value.text);
  }
}

// The script and thread of a run, found again by id after anything that may
// have closed the script, reloaded its code or moved its threads.
struct RunTarget {
  int32_t scriptId = 0;
  int32_t threadId = 0;
  int32_t index = 0;
  Script* script = nullptr;
  ScriptThread* thread = nullptr;

  bool Refind() {
    script = ScriptFind(scriptId);
    index = script != nullptr ? ScriptThreadIndex(*script, threadId, index) : -1;
    thread = index >= 0 ? &script->threads[static_cast<size_t>(index)] : nullptr;
    return thread != nullptr;
  }
  void Fetch(Cursor& cursor, bool& longStrings) const {
    cursor.code = script->code.data();
    cursor.size = static_cast<int32_t>(script->code.size());
    longStrings = script->version >= kLongStringVersion;
  }
};

// One comparison instruction (opcodes 11-16): A, B and the target; false
// when it faults.
template <uint8_t kOpcode>
SCRIPT_HOT bool JumpIf(Cursor& cursor, ScriptThread& thread, uint8_t header, bool longStrings) {
  Operand a;
  Operand b;
  int32_t target = 0;
  if (!ReadOperand(cursor, thread, (header & kFlagA) != 0, longStrings, a) ||
      !ReadOperand(cursor, thread, (header & kFlagB) != 0, longStrings, b) ||
      !cursor.Target(target)) {
    return false;
  }
  if (Condition(kOpcode, Compare(a, b))) {
    cursor.pc = target;
  }
  return true;
}

// One move or arithmetic instruction (opcodes 17-24): src and the variable
// dest; false when it faults.
template <uint8_t kOpcode>
SCRIPT_HOT bool ArithmeticInstruction(Cursor& cursor, ScriptThread& thread, uint8_t header,
                                      bool longStrings) {
  Operand src;
  Parameter* dest = nullptr;
  if (!ReadOperand(cursor, thread, (header & kFlagA) != 0, longStrings, src) ||
      (header & kFlagB) == 0 || !ReadVariable(cursor, thread, dest)) {
    return false;
  }
  return Arithmetic(kOpcode, src, *dest);
}

void SaveHeader(RunData& runData, uint8_t header) {
  runData.opcode = header & kOpcodeMask;
  runData.aIsVariable = (header & kFlagA) != 0;
  runData.bIsVariable = (header & kFlagB) != 0;
}

}  // namespace

void ScriptInstructionBudgetSet(int64_t instructions) {
  instructionBudget = instructions < 0 ? kUnlimited : instructions;
}

void ScriptThreadRun(Script& script, int32_t thread, int32_t address, RunData runData) {
  if (thread < 0 || thread >= static_cast<int32_t>(script.threads.size()) ||
      script.threads[static_cast<size_t>(thread)].suspended != 0) {
    return;
  }
  RunTarget run;
  run.scriptId = script.id;
  run.index = thread;
  run.script = &script;
  run.thread = &script.threads[static_cast<size_t>(thread)];
  run.threadId = run.thread->id;
  run.thread->running = 1;

  Cursor cursor;
  bool longStrings = false;
  run.Fetch(cursor, longStrings);
  cursor.pc = address;
  int64_t budget = instructionBudget;

  // Each case ends with `continue` when the instruction completed and with
  // `break` when it faulted: a fault ends the thread.
  while (cursor.pc >= 0 && cursor.pc < cursor.size) {
    if (--budget < 0) {
      budget = 0;
      cursor.pc = -1;
      break;
    }
    const int32_t start = cursor.pc;
    const uint8_t header = cursor.code[cursor.pc++];
    const uint8_t opcode = header & kOpcodeMask;
    const bool aIsVariable = (header & kFlagA) != 0;
    ScriptThread& current = *run.thread;
    switch (opcode) {
      case kOpReturn:
        if (runData.jumpList.empty()) {
          cursor.pc = -1;
          continue;
        }
        cursor.pc = runData.jumpList.back().returnAddress;
        current.frameBase = runData.jumpList.back().savedFrameBase;
        runData.jumpList.pop_back();
        continue;
      case kOpCall: {
        int32_t target = 0;
        if (!cursor.Target(target)) {
          break;
        }
        runData.jumpList.push_back(Jump{cursor.pc, current.frameBase});
        current.frameBase = static_cast<int32_t>(current.stack.size());
        cursor.pc = target;
        continue;
      }
      case kOpNot: {
        Parameter* dest = nullptr;
        if (!aIsVariable || !ReadVariable(cursor, current, dest)) {
          break;
        }
        Not(*dest);
        continue;
      }
      case kOpJump: {
        int32_t target = 0;
        if (!cursor.Target(target)) {
          break;
        }
        cursor.pc = target;
        continue;
      }
      case kOpJumpNotEqual:
        if (JumpIf<kOpJumpNotEqual>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpJumpEqual:
        if (JumpIf<kOpJumpEqual>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpJumpGreaterEqual:
        if (JumpIf<kOpJumpGreaterEqual>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpJumpLess:
        if (JumpIf<kOpJumpLess>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpJumpGreater:
        if (JumpIf<kOpJumpGreater>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpJumpLessEqual:
        if (JumpIf<kOpJumpLessEqual>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpMove:
        if (ArithmeticInstruction<kOpMove>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpAdd:
        if (ArithmeticInstruction<kOpAdd>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpSubtract:
        if (ArithmeticInstruction<kOpSubtract>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpAnd:
        if (ArithmeticInstruction<kOpAnd>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpOr:
        if (ArithmeticInstruction<kOpOr>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpMultiply:
        if (ArithmeticInstruction<kOpMultiply>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpDivide:
        if (ArithmeticInstruction<kOpDivide>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpRemainder:
        if (ArithmeticInstruction<kOpRemainder>(cursor, current, header, longStrings)) {
          continue;
        }
        break;
      case kOpPush: {
        Operand value;
        if (!ReadOperand(cursor, current, aIsVariable, longStrings, value)) {
          break;
        }
        Push(current.stack, value);
        continue;
      }
      case kOpPop:
        if (current.stack.empty()) {
          break;
        }
        current.stack.pop_back();
        continue;
      case kOpAppRoutine:
      case kOpBuiltIn: {
        uint16_t index = 0;
        if (!cursor.Word(index)) {
          break;
        }
        if (opcode == kOpAppRoutine ? index >= run.script->appRoutineNames.size()
                                    : index >= kBuiltInCount) {
          break;
        }
        const int32_t savedFrameBase = current.frameBase;
        current.callPc = start;
        current.frameBase = static_cast<int32_t>(current.stack.size());
        instructionBudget = budget;
        const int32_t result = opcode == kOpAppRoutine
                                   ? ScriptAppRoutineRun(run.scriptId, run.threadId, index)
                                   : ScriptBuiltInRun(*run.script, run.index, index);
        budget = instructionBudget;
        if (!run.Refind()) {
          return;
        }
        run.Fetch(cursor, longStrings);
        run.thread->frameBase = savedFrameBase;
        if (run.thread->suspended != 0) {
          // What it called ran this thread again and left it waiting.
          return;
        }
        if (result != 1) {
          break;
        }
        continue;
      }
      case kOpSetAttribute:
      case kOpGetAttribute: {
        uint16_t object = 0;
        uint8_t attribute = 0;
        if (!cursor.Word(object) || !cursor.Byte(attribute) ||
            object >= run.script->objects.size()) {
          break;
        }
        const bool set = opcode == kOpSetAttribute;
        int32_t item = 0;
        if (ScriptAttributeHasIndex(run.script->objects[object].type, attribute, set) &&
            !ReadItemIndex(cursor, current, item)) {
          break;
        }
        if (set) {
          Operand value;
          if (!ReadOperand(cursor, current, aIsVariable, longStrings, value)) {
            break;
          }
          const bool stored =
              value.slot != nullptr
                  ? ScriptObjectAttributeSet(*run.script, object, attribute, item, *value.slot)
                  : ScriptObjectAttributeSet(*run.script, object, attribute, item,
                                             ToParameter(value));
          if (!stored) {
            break;
          }
        } else {
          Parameter value;
          if (!ScriptObjectAttributeGet(*run.script, object, attribute, item, value)) {
            break;
          }
          current.stack.push_back(std::move(value));
        }
        continue;
      }
      case kOpNothing:
        continue;
      case kOpYield:
        current.suspended = 1;
        current.savedPc = cursor.pc;
        SaveHeader(runData, header);
        current.savedRunData = std::move(runData);
        instructionBudget = budget;
        return;
      case kOpFork: {
        int32_t target = 0;
        if (!cursor.Int(target)) {
          break;
        }
        ScriptThread forked;
        forked.id = ScriptNextThreadId();
        forked.suspended = 1;
        forked.running = 1;
        forked.savedPc = cursor.pc;
        forked.stack = current.stack;
        forked.frameBase = current.frameBase;
        forked.savedRunData = runData;
        SaveHeader(forked.savedRunData, header);
        run.script->threads.push_back(std::move(forked));
        run.thread = &run.script->threads[static_cast<size_t>(run.index)];
        if (target < 0 || target >= cursor.size) {
          break;
        }
        cursor.pc = target;
        continue;
      }
      default:
        break;
    }
    ScriptDebugFault(*run.script, run.index, start);
    cursor.pc = -1;
  }
  instructionBudget = budget;
  if (run.thread->suspended == 0) {
    run.thread->running = 0;
  }
}
