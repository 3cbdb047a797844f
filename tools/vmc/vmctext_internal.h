// Shared by the reader, the assembler and the disassembler: the object
// fields in file order with the version that introduced each, the names of
// the byte-code attributes, and the instruction table.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "tools/vmc/vmcwriter.h"

// --- Object fields --------------------------------------------------------------------------
enum class VmcFieldKind {
  kInt,        // i32
  kFlag,       // u8 written as true/false
  kByte,       // u8 written as a number
  kText,       // string
  kFrames,     // frame set sub-block
  kTriangles,  // triangles sub-block
  kNames,      // count and names
};

using VmcFieldRef = std::variant<int32_t*, uint8_t*, std::string*, VmcFrameSet*,
                                 std::vector<VmcTriangle>*, std::vector<std::string>*>;

struct VmcField {
  const char* name;  // as written in the text form
  VmcFieldKind kind;
  int32_t since;  // the first version whose files store it; 0: every version
  VmcFieldRef (*at)(VmcObject& object);
};

// Whether files of the version store a field introduced in since (fields
// of every version are stored even by versions below 0).
inline bool VmcStores(int32_t version, int32_t since) {
  return since == 0 || version >= since;
}
// The fields of a type's attribute block in file order (none for a type
// outside 0-14).
const std::vector<VmcField>& VmcFieldsOf(int32_t type);
// The type's name ("Button" ...), or empty outside 0-14.
std::string VmcTypeName(int32_t type);
// The type with that name (any letter case), or -1.
int32_t VmcTypeFind(const std::string& name);

// --- Byte-code attributes -----------------------------------------------------------------------
constexpr uint8_t kVmcAttributeOrder = 255;

// The attribute's name for get (set = false) or set, or empty when the type
// has no such id. Id 255 is "order" for every type.
std::string VmcAttributeName(int32_t type, bool set, int32_t id);
// The id of the named attribute (any letter case), or -1.
int32_t VmcAttributeFind(int32_t type, bool set, const std::string& name);
// Whether the attribute takes an item index operand before its value.
bool VmcAttributeHasItem(int32_t type, bool set, int32_t id);

// --- Instructions -------------------------------------------------------------------------------
enum class VmcShape {
  kNone,      // no operands
  kTarget,    // i32 code offset
  kA,         // one value operand (flag A)
  kAB,        // src A, dest B
  kABTarget,  // A, B, i32 code offset
  kRoutine,   // u16 app routine index
  kBuiltin,   // u16 built-in index
  kSet,       // u16 object, u8 attribute, [item index], value A
  kGet,       // u16 object, u8 attribute, [item index]
};

struct VmcInstruction {
  const char* mnemonic;
  uint8_t opcode;
  VmcShape shape;
};

// The instruction of the opcode, or nullptr for one that faults.
const VmcInstruction* VmcInstructionOf(uint8_t opcode);
// The instruction with that mnemonic (any letter case), or nullptr.
const VmcInstruction* VmcInstructionFind(const std::string& mnemonic);
// The header flag bits the shape uses.
uint8_t VmcShapeFlags(VmcShape shape);

// --- Names ------------------------------------------------------------------------------------
// Whether the text is a plain name: a letter or '_' followed by letters,
// digits and '_'.
bool VmcIsIdentifier(const std::string& text);
// The text upper-cased (ASCII).
std::string VmcUpper(const std::string& text);
