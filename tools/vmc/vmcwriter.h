// Builds compiled scripts (".vmc") in memory and writes them for any file
// version: the routine names, the objects with every attribute, the listener
// and the byte code. Used by the script tools and by tests that need scripts.
//
// The records mirror the file fields. Their defaults are what the game
// assumes for fields that older versions lack, and otherwise a visible,
// enabled object showing frame 1 at full opacity.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// --- Versions and object types ------------------------------------------------------
constexpr int32_t kVmcNewestVersion = 20;  // the newest version the game reads

constexpr int32_t kVmcButton = 0;
constexpr int32_t kVmcColor = 1;
constexpr int32_t kVmcDisplay = 2;
constexpr int32_t kVmcImage = 3;
constexpr int32_t kVmcLabel = 4;
constexpr int32_t kVmcList = 5;
constexpr int32_t kVmcPointer = 6;
constexpr int32_t kVmcSlider = 7;
constexpr int32_t kVmcMat = 8;
constexpr int32_t kVmcRender = 9;
constexpr int32_t kVmcAtex = 10;
constexpr int32_t kVmcAppObj = 11;
constexpr int32_t kVmcCamera = 12;
constexpr int32_t kVmcScene = 13;
constexpr int32_t kVmcModel = 14;
constexpr int32_t kVmcTypeCount = 15;

// --- Object records -------------------------------------------------------------------
struct VmcFrame {
  std::string mat;  // empty: none
  std::vector<std::string> images;
};

struct VmcFrameSet {
  uint8_t blend = 0;
  uint8_t memory = 0;
  std::vector<VmcFrame> frames;
};

// x1, y1, u1, v1, x2, y2, u2, v2, x3, y3, u3, v3.
using VmcTriangle = std::array<int32_t, 12>;

struct VmcButton {
  int32_t left = 0;
  int32_t top = 0;
  int32_t frame = 1;
  uint8_t visible = 1;
  uint8_t enabled = 1;
  std::string font;
  std::string text;
  int32_t color = 0;
  int32_t wrapWidth = 0;
  VmcFrameSet frames;
};

struct VmcColor {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t color = 0;
  int32_t alpha = 255;
  uint8_t visible = 1;
  uint8_t enabled = 1;
};

struct VmcDisplay {
  int32_t width = 640;
  int32_t height = 480;
  int32_t viewMode = 0;
};

struct VmcImage {
  int32_t left = 0;
  int32_t top = 0;
  int32_t rotation = 0;
  int32_t frame = 1;
  uint8_t visible = 1;
  int32_t alpha = 255;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t color = 0xFFFFFF;
  VmcFrameSet frames;
};

struct VmcLabel {
  int32_t left = 0;
  int32_t top = 0;
  std::string font;
  int32_t color = 0;
  uint8_t alpha = 255;
  std::string text;
  uint8_t visible = 1;
  int32_t wrapWidth = 0;
  int32_t wrapHeight = 0;
  int32_t wrapLineOffset = 0;
  int32_t firstLine = 1;
  int32_t align = 0;
};

struct VmcList {
  int32_t left = 0;
  int32_t top = 0;
  std::string kind = "VERTICAL";
  std::string font;
  int32_t color = 0;
  int32_t colorSelected = 0;
  int32_t frame = 1;
  int32_t frameSelected = 1;
  int32_t frameMouseOver = 0;
  int32_t frameColor = 0xFFFFFF;
  int32_t cellCount = 0;
  uint8_t visible = 1;
  uint8_t enabled = 1;
  std::string mat;
  int32_t textOffsetX = 5;
  int32_t textOffsetY = 0;
  int32_t textWidth = 0;
  uint8_t textMode = 0;
  VmcFrameSet cells;
  VmcFrameSet overlays;
};

struct VmcPointer {
  int32_t frame = 1;
  uint8_t visible = 1;
  uint8_t fadeOnIdle = 0;
  int32_t fadeDelay = 2000;
  int32_t fadeDuration = 1000;
  int32_t clickX = 0;
  int32_t clickY = 0;
  VmcFrameSet frames;
};

struct VmcSlider {
  int32_t left = 0;
  int32_t top = 0;
  int32_t frameRange = 1;
  int32_t frameSlider = 1;
  int32_t minValue = 0;
  int32_t maxValue = 100;
  int32_t value = 0;
  int32_t sliderType = 0;
  uint8_t visible = 1;
  uint8_t enabled = 1;
  int32_t pageType = 0;
  int32_t pageSize = 0;
  VmcFrameSet track;
  VmcFrameSet thumb;
};

struct VmcMat {
  int32_t left = 0;
  int32_t top = 0;
  uint8_t enabled = 1;
  std::string file;
};

struct VmcRender {
  std::string routine;
};

struct VmcAtex {
  int32_t left = 0;
  int32_t top = 0;
  int32_t alpha = 255;
  uint8_t visible = 1;
  std::string texture;
  uint8_t blend = 0;
  int32_t uvelocity = 0;
  int32_t vvelocity = 0;
  int32_t uScale = 100;
  int32_t vScale = 100;
  std::vector<VmcTriangle> triangles;
};

struct VmcAppObj {
  uint8_t enabled = 1;
  uint8_t visible = 1;
  std::string animate;  // callback names, may be empty
  std::string inObject;
  std::string render;
};

struct VmcCamera {
  uint8_t enabled = 1;
  int32_t viewLeft = 0;
  int32_t viewTop = 0;
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
  int32_t cameraX = 0;
  int32_t cameraY = 0;
  std::vector<std::string> members;  // object names
};

struct VmcScene {
  uint8_t enabled = 1;
  int32_t x = 0;  // thousandths
  int32_t y = 0;
  int32_t z = 0;
  std::string matFile;
  std::vector<std::string> models;  // Model object names
};

struct VmcModel {
  uint8_t enabled = 1;
  uint8_t visible = 1;
  int32_t x = 0;  // thousandths
  int32_t y = 0;
  int32_t z = 0;
  int32_t pitch = 0;  // degrees
  int32_t yaw = 0;
  int32_t roll = 0;
  std::string modelFile;
};

// One object; only the block of its own type is written (a type outside
// 0-14 has none).
struct VmcObject {
  int32_t type = kVmcButton;
  std::string name;
  uint8_t display = 0;
  int32_t order = 0;
  VmcButton button;
  VmcColor color;
  VmcDisplay displayBlock;
  VmcImage image;
  VmcLabel label;
  VmcList list;
  VmcPointer pointer;
  VmcSlider slider;
  VmcMat mat;
  VmcRender render;
  VmcAtex atex;
  VmcAppObj appObj;
  VmcCamera camera;
  VmcScene scene;
  VmcModel model;
};

struct VmcScript {
  int32_t version = kVmcNewestVersion;
  std::vector<std::string> routines;
  std::vector<VmcObject> objects;
  uint8_t listener = 0;  // 1: the script has a listener
  int32_t listenerAddress = 0;
  std::string code;
  std::string trailing;  // bytes after the code, which the game ignores
};

// --- Script files ------------------------------------------------------------------------
// An object of the type with the name and the record defaults.
VmcObject VmcObjectNew(int32_t type, const std::string& name);
// The file's bytes for script.version; fields newer than that version are
// left out (a version above 20 writes the fields of version 20). False
// with a message when a text does not fit its one length byte.
bool VmcWriterBytes(const VmcScript& script, std::string& bytes, std::string& error);
// Writes the file; false with a message ("path: ...").
bool VmcWriterSave(const VmcScript& script, const std::string& path, std::string& error);
// Writes the bytes as the whole file; false with "<path>: cannot write the
// file" in error.
bool VmcWriteFile(const std::string& path, const std::string& bytes, std::string& error);

// --- Byte code ------------------------------------------------------------------------------
constexpr uint8_t kVmcReturn = 0;
constexpr uint8_t kVmcCall = 1;
constexpr uint8_t kVmcNot = 5;
constexpr uint8_t kVmcJump = 10;
constexpr uint8_t kVmcJumpNotEqual = 11;
constexpr uint8_t kVmcJumpEqual = 12;
constexpr uint8_t kVmcJumpGreaterEqual = 13;
constexpr uint8_t kVmcJumpLess = 14;
constexpr uint8_t kVmcJumpGreater = 15;
constexpr uint8_t kVmcJumpLessEqual = 16;
constexpr uint8_t kVmcMove = 17;
constexpr uint8_t kVmcAdd = 18;
constexpr uint8_t kVmcSubtract = 19;
constexpr uint8_t kVmcAnd = 20;
constexpr uint8_t kVmcOr = 21;
constexpr uint8_t kVmcMultiply = 22;
constexpr uint8_t kVmcDivide = 23;
constexpr uint8_t kVmcRemainder = 24;
constexpr uint8_t kVmcPush = 25;
constexpr uint8_t kVmcPop = 26;
constexpr uint8_t kVmcCallApp = 31;
constexpr uint8_t kVmcCallBuiltin = 32;
constexpr uint8_t kVmcSetAttribute = 33;
constexpr uint8_t kVmcGetAttribute = 34;
constexpr uint8_t kVmcNop = 35;
constexpr uint8_t kVmcYield = 36;
constexpr uint8_t kVmcFork = 37;

constexpr uint8_t kVmcFlagA = 0x40;  // header bit: operand A is a variable
constexpr uint8_t kVmcFlagB = 0x80;  // header bit: operand B is a variable

constexpr uint8_t kVmcLiteralInt = 0;
constexpr uint8_t kVmcLiteralBool = 1;
constexpr uint8_t kVmcLiteralString = 2;

constexpr uint8_t kVmcSlotAbsolute = 0;  // slot n
constexpr uint8_t kVmcSlotBelow = 1;     // slot frameBase - n (routine and listener parameters)
constexpr uint8_t kVmcSlotAbove = 2;     // slot frameBase + n (locals)
constexpr uint8_t kVmcItemValue = 3;     // item index operand: the number itself

// A value operand: a literal or a variable reference (mode byte and n).
struct VmcOperand {
  bool variable = false;
  uint8_t literalType = kVmcLiteralInt;
  int32_t number = 0;  // integer literal, boolean literal 0/1, or the slot n
  std::string text;    // string literal
  uint8_t mode = 0;    // variable reference mode
};

VmcOperand VmcInt(int32_t value);
VmcOperand VmcBool(bool value);
VmcOperand VmcString(const std::string& text);
VmcOperand VmcSlot(int32_t n);   // slot n
VmcOperand VmcParam(int32_t n);  // slot frameBase - n: parameter n
VmcOperand VmcLocal(int32_t n);  // slot frameBase + n
VmcOperand VmcVariable(uint8_t mode, int32_t n);

// A jump, call or fork target: a label, or a code offset as it is.
struct VmcTarget {
  VmcTarget(const char* label) : label(label) {}
  VmcTarget(std::string label) : label(std::move(label)) {}
  VmcTarget(int32_t offset) : offset(offset) {}
  std::string label;  // empty: the offset is used
  int32_t offset = 0;
};

// Emits byte code for a file version (string lengths take one byte below
// version 9 and two from 9 on). Operands are encoded as given, so code that
// faults when it runs can be written too. Labels may be used before they
// are placed; Finish resolves them.
class VmcCode {
 public:
  explicit VmcCode(int32_t version = kVmcNewestVersion) : version_(version) {}

  // Places the label at the current offset.
  void Label(const std::string& name);
  int32_t Offset() const { return static_cast<int32_t>(bytes_.size()); }

  void Return();
  void Call(const VmcTarget& target);
  void Not(const VmcOperand& dest);
  void Jump(const VmcTarget& target);
  // Opcodes kVmcJumpNotEqual to kVmcJumpLessEqual: compare A with B.
  void JumpIf(uint8_t opcode, const VmcOperand& a, const VmcOperand& b, const VmcTarget& target);
  // Opcodes kVmcMove to kVmcRemainder: src is A, dest is B.
  void Arithmetic(uint8_t opcode, const VmcOperand& src, const VmcOperand& dest);
  void Move(const VmcOperand& src, const VmcOperand& dest) { Arithmetic(kVmcMove, src, dest); }
  void Push(const VmcOperand& value);
  void Pop();
  void CallApp(uint16_t routine);
  void CallBuiltin(uint16_t builtin);
  // The item index, when given, is an integer literal (stored with mode 3)
  // or a variable reference (stored with its mode).
  void SetAttribute(uint16_t object, uint8_t attribute, const VmcOperand& value,
                    const std::optional<VmcOperand>& item = std::nullopt);
  void GetAttribute(uint16_t object, uint8_t attribute,
                    const std::optional<VmcOperand>& item = std::nullopt);
  void Nop();
  void Yield();
  void Fork(const VmcTarget& target);

  // Bytes exactly as given, for deliberately broken code.
  void Raw(const std::string& bytes) { bytes_ += bytes; }
  void RawByte(uint8_t value) { bytes_ += static_cast<char>(value); }
  void RawInt32(int32_t value);

  // The code with every label resolved; false with a message for a label
  // used but never placed, a label placed twice, or an operand the version
  // cannot store (a string too long, an item index that is not an integer).
  bool Finish(std::string& code, std::string& error) const;
  // The label's offset, or -1 when it was never placed.
  int32_t LabelOffset(const std::string& name) const;

 private:
  void Header(uint8_t opcode, const VmcOperand* a, const VmcOperand* b);
  void Value(const VmcOperand& operand);
  void ItemIndex(const VmcOperand& item);
  void Target(const VmcTarget& target);
  void Error(const std::string& message);

  int32_t version_;
  std::string bytes_;
  std::map<std::string, int32_t> labels_;
  std::vector<std::pair<int32_t, std::string>> fixups_;  // offset of an i32, label
  std::string error_;                                    // the first error
};
