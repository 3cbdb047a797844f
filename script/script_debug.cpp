// Script debugging with the "-scriptdebug" switch: the source line table
// beside a script ("<file>.lines", written by the script compiler), one log
// line for each thread that faults, and the source position of each thread
// in the thread dump. Without the switch nothing here reads a file or logs.
//
// The interpreter keeps no reason while it runs: when a thread faults it
// passes the offset of the faulting instruction, and the instruction is
// decoded again here against the thread's unchanged stack to name the fault.
// So the interpreter's hot path does not pay for the diagnosis.
#include <algorithm>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

namespace {

bool debugOn = false;

constexpr char kLinesMagic[] = "VMCL";
constexpr uint32_t kLinesVersion = 1;
constexpr size_t kLineEntrySize = 14;

// --- Reading the line table -----------------------------------------------------------

// Little-endian reads from a byte string; every read checks the end.
struct Bytes {
  const std::string& data;
  size_t at = 0;

  size_t Left() const { return data.size() - at; }
  bool U16(uint32_t& value) {
    if (Left() < 2) {
      return false;
    }
    value = static_cast<uint8_t>(data[at]) |
            static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 8;
    at += 2;
    return true;
  }
  bool U32(uint32_t& value) {
    if (Left() < 4) {
      return false;
    }
    value = 0;
    for (int i = 3; i >= 0; --i) {
      value = value << 8 | static_cast<uint8_t>(data[at + static_cast<size_t>(i)]);
    }
    at += 4;
    return true;
  }
};

uint32_t CodeHash(const std::vector<uint8_t>& code) {
  uint32_t hash = 2166136261u;
  for (uint8_t byte : code) {
    hash = (hash ^ byte) * 16777619u;
  }
  return hash;
}

// Parses the table for the script's code; an empty text on success, else
// what is wrong with it.
std::string ParseLines(const std::string& data, const Script& script, ScriptLineTable& table) {
  Bytes in{data};
  uint32_t version = 0;
  uint32_t codeSize = 0;
  uint32_t hash = 0;
  uint32_t fileCount = 0;
  if (data.compare(0, 4, kLinesMagic) != 0) {
    return "not a line table";
  }
  in.at = 4;
  if (!in.U32(version) || version != kLinesVersion) {
    return "unknown version";
  }
  if (!in.U32(codeSize) || !in.U32(hash) || !in.U16(fileCount)) {
    return "the header is cut short";
  }
  if (codeSize != script.code.size() || hash != CodeHash(script.code)) {
    return "it describes other code than the script's";
  }
  for (uint32_t i = 0; i < fileCount; ++i) {
    uint32_t length = 0;
    if (!in.U16(length) || length > in.Left()) {
      return "file name " + std::to_string(i) + " is cut short";
    }
    table.files.push_back(data.substr(in.at, length));
    in.at += length;
  }
  uint32_t count = 0;
  if (!in.U32(count) || count != in.Left() / kLineEntrySize || in.Left() % kLineEntrySize != 0) {
    return "the entry count does not match the file's size";
  }
  table.entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    uint32_t file = 0;
    ScriptLine line;
    in.U32(offset);
    in.U16(file);
    in.U32(line.line);
    in.U32(line.column);
    if (file >= fileCount || offset > codeSize ||
        (!table.entries.empty() && offset <= table.entries.back().offset)) {
      return "entry " + std::to_string(i) + " is out of range or out of order";
    }
    line.offset = offset;
    line.file = static_cast<uint16_t>(file);
    table.entries.push_back(line);
  }
  return "";
}

// The text of the source position of a code offset, or empty when the
// table has none for it.
std::string SourceText(const Script& script, int32_t offset) {
  const std::vector<ScriptLine>& entries = script.lines.entries;
  const auto after =
      std::upper_bound(entries.begin(), entries.end(), offset,
                       [](int64_t value, const ScriptLine& entry) { return value < entry.offset; });
  if (offset < 0 || after == entries.begin()) {
    return "";
  }
  const ScriptLine& line = *(after - 1);
  return script.lines.files[line.file] + ":" + std::to_string(line.line) + ":" +
         std::to_string(line.column);
}

// "file:line:col (offset n)" when the table knows the offset, else "offset n".
std::string PositionText(const Script& script, int32_t offset) {
  const std::string source = SourceText(script, offset);
  const std::string where = "offset " + std::to_string(offset);
  return source.empty() ? where : source + " (" + where + ")";
}

// --- Naming a fault ---------------------------------------------------------------------

const char* TypeName(int32_t type) {
  static const char* const kNames[] = {"Button", "Color",   "Display", "Image", "Label",
                                       "List",   "Pointer", "Slider",  "Mat",   "Render",
                                       "Atex",   "AppObj",  "Camera",  "Scene", "Model"};
  return type >= 0 && type < 15 ? kNames[type] : "object of an unknown type";
}

// Decodes one instruction again, the way the interpreter does, and names
// the first thing in it that faults.
class FaultDecoder {
 public:
  FaultDecoder(const Script& script, const ScriptThread& thread, int32_t pc)
      : script_(script), thread_(thread), pc_(pc) {}

  std::string Reason() {
    uint8_t header = 0;
    if (!Byte(header)) {
      return "the code ends inside the instruction";
    }
    const uint8_t opcode = header & kOpcodeMask;
    const bool aIsVariable = (header & kFlagA) != 0;
    const bool bIsVariable = (header & kFlagB) != 0;
    if (!Instruction(opcode, aIsVariable, bIsVariable)) {
      return reason_;
    }
    return "instruction " + std::to_string(opcode) + " ended the thread";
  }

 private:
  bool Fail(const std::string& reason) {
    reason_ = reason;
    return false;
  }
  bool Short() { return Fail("the code ends inside the instruction"); }
  int32_t Size() const { return static_cast<int32_t>(script_.code.size()); }

  bool Byte(uint8_t& value) {
    if (pc_ < 0 || pc_ >= Size()) {
      return false;
    }
    value = script_.code[static_cast<size_t>(pc_++)];
    return true;
  }
  bool Word(uint16_t& value) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!Byte(low) || !Byte(high)) {
      return false;
    }
    value = static_cast<uint16_t>(low | high << 8);
    return true;
  }
  bool Int(int32_t& value) {
    uint32_t bits = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      uint8_t byte = 0;
      if (!Byte(byte)) {
        return false;
      }
      bits |= static_cast<uint32_t>(byte) << shift;
    }
    value = static_cast<int32_t>(bits);
    return true;
  }
  bool Target(const char* what) {
    int32_t target = 0;
    if (!Int(target)) {
      return Short();
    }
    if (target < 0 || target >= Size()) {
      return Fail(std::string(what) + " target " + std::to_string(target) + " outside the code (" +
                  std::to_string(Size()) + " bytes)");
    }
    return true;
  }
  // A stack slot by mode and n, as the interpreter addresses it.
  bool Slot(uint8_t mode, int32_t n) {
    int64_t slot = n;
    if (mode == 1) {
      slot = int64_t{thread_.frameBase} - n;
    } else if (mode == 2) {
      slot = int64_t{thread_.frameBase} + n;
    }
    if (slot < 0 || slot >= static_cast<int64_t>(thread_.stack.size())) {
      return Fail("slot " + std::to_string(slot) + " outside the stack of " +
                  std::to_string(thread_.stack.size()) + " values");
    }
    return true;
  }
  bool Variable() {
    uint8_t mode = 0;
    int32_t n = 0;
    if (!Byte(mode) || !Int(n)) {
      return Short();
    }
    return Slot(mode, n);
  }
  bool Literal() {
    uint8_t type = 0;
    if (!Byte(type)) {
      return Short();
    }
    int32_t number = 0;
    uint8_t flag = 0;
    switch (type) {
      case kScriptInteger:
        return Int(number) || Short();
      case kScriptBoolean:
        if (!Byte(flag)) {
          return Short();
        }
        return flag <= 1 || Fail("boolean literal " + std::to_string(flag) + " is not 0 or 1");
      case kScriptString:
        return String();
      default:
        return Fail("literal of unknown type " + std::to_string(type));
    }
  }
  bool String() {
    uint16_t length = 0;
    uint8_t shortLength = 0;
    if (script_.version >= kLongStringVersion ? !Word(length) : !Byte(shortLength)) {
      return Short();
    }
    const int32_t count = script_.version >= kLongStringVersion ? length : shortLength;
    if (Size() - pc_ < count) {
      return Fail("string literal of " + std::to_string(count) + " bytes runs past the code");
    }
    pc_ += count;
    return true;
  }
  bool Operand(bool variable) { return variable ? Variable() : Literal(); }
  bool Destination(bool variable) {
    return variable ? Variable() : Fail("the destination is not a variable");
  }

  bool Instruction(uint8_t opcode, bool a, bool b) {
    switch (opcode) {
      case kOpCall:
        return Target("call");
      case kOpNot:
        return Destination(a);
      case kOpJump:
        return Target("jump");
      case kOpJumpNotEqual:
      case kOpJumpEqual:
      case kOpJumpGreaterEqual:
      case kOpJumpLess:
      case kOpJumpGreater:
      case kOpJumpLessEqual:
        return Operand(a) && Operand(b) && Target("jump");
      case kOpMove:
      case kOpAdd:
      case kOpSubtract:
      case kOpAnd:
      case kOpOr:
      case kOpMultiply:
      case kOpDivide:
      case kOpRemainder:
        return Operand(a) && Destination(b);
      case kOpPush:
        return Operand(a);
      case kOpPop:
        return !thread_.stack.empty() || Fail("pop from an empty stack");
      case kOpAppRoutine:
      case kOpBuiltIn:
        return Routine(opcode == kOpAppRoutine);
      case kOpSetAttribute:
      case kOpGetAttribute:
        return Attribute(opcode == kOpSetAttribute, a);
      case kOpReturn:
      case kOpNothing:
      case kOpYield:
        return true;
      case kOpFork:
        return Target("fork");
      default:
        return Fail("unknown opcode " + std::to_string(opcode));
    }
  }

  bool Routine(bool app) {
    uint16_t index = 0;
    if (!Word(index)) {
      return Short();
    }
    const std::vector<std::string>& names = script_.appRoutineNames;
    if (app && index >= names.size()) {
      return Fail("app routine " + std::to_string(index) + " beyond the script's " +
                  std::to_string(names.size()) + " routine names");
    }
    if (!app && index >= kBuiltInCount) {
      return Fail("built-in " + std::to_string(index) + " does not exist");
    }
    return Fail(app ? "app routine \"" + names[index] + "\" did not return 1"
                    : "built-in " + std::to_string(index) + " did not return 1");
  }

  bool Attribute(bool set, bool a) {
    uint16_t object = 0;
    uint8_t attribute = 0;
    if (!Word(object) || !Byte(attribute)) {
      return Short();
    }
    if (object >= script_.objects.size()) {
      return Fail("object " + std::to_string(object) + " beyond the script's " +
                  std::to_string(script_.objects.size()) + " objects");
    }
    const ObjEntry& entry = script_.objects[object];
    const bool indexed = ScriptAttributeHasIndex(entry.type, attribute, set);
    if (indexed && !ItemIndex()) {
      return false;
    }
    if (set && !Operand(a)) {
      return false;
    }
    const std::string what = std::string(set ? "set" : "get") + " attribute " +
                             std::to_string(attribute) + " of " + TypeName(entry.type) + " \"" +
                             entry.name + "\"";
    return Fail(indexed ? what + " refused: item index outside the list"
                        : what + " refused: the type has no such attribute");
  }
  bool ItemIndex() {
    uint8_t mode = 0;
    int32_t n = 0;
    if (!Byte(mode) || !Int(n)) {
      return Short();
    }
    if (mode > 3) {
      return Fail("item index of unknown mode " + std::to_string(mode));
    }
    return mode == 3 || Slot(mode, n);
  }

  const Script& script_;
  const ScriptThread& thread_;
  int32_t pc_;
  std::string reason_;
};

}  // namespace

void ScriptDebugStart() {
  debugOn = UtilitiesSwitchPresent("-scriptdebug");
}

void ScriptDebugLinesLoad(Script& script) {
  script.lines = ScriptLineTable{};
  const std::string name = script.fileName + ".lines";
  if (!debugOn || !DataFileExists(name)) {
    return;
  }
  std::string data;
  const int32_t file = DataFileOpen(name);
  if (file != 0) {
    data.resize(static_cast<size_t>(std::max(DataFileSize(file), 0)));
    if (!DataFileReadExact(file, data.data(), static_cast<int32_t>(data.size()))) {
      data.clear();
    }
    DataFileClose(file);
  }
  ScriptLineTable table;
  const std::string problem = file == 0 ? "it cannot be opened" : ParseLines(data, script, table);
  if (!problem.empty()) {
    LogMessage("Script line table \"" + name + "\" ignored: " + problem + ".");
    return;
  }
  script.lines = std::move(table);
}

void ScriptDebugFault(const Script& script, int32_t thread, int32_t pc) {
  if (!debugOn) {
    return;
  }
  const ScriptThread& faulted = script.threads[static_cast<size_t>(thread)];
  const std::string source = SourceText(script, pc);
  LogMessage("Script fault: \"" + script.fileName + "\"" +
             (source.empty() ? "" : " (" + source + ")") + ": " +
             FaultDecoder(script, faulted, pc).Reason() + " (thread " + std::to_string(faulted.id) +
             ", offset " + std::to_string(pc) + ")");
}

std::string ScriptDebugThreadPosition(const Script& script, const ScriptThread& thread) {
  if (!debugOn) {
    return "";
  }
  // A waiting thread stopped in the instruction before its resume offset;
  // a running one is inside the routine it called.
  const int32_t offset = thread.suspended != 0 ? thread.savedPc - 1
                         : thread.running != 0 ? thread.callPc
                                               : -1;
  return offset < 0 ? "" : PositionText(script, offset);
}
