// The text form of a script file. Code is decoded in one sweep from the
// start; a byte that does not begin a well-formed instruction is written as
// a raw byte and decoding goes on after it, so nothing is lost. Jump, call
// and fork targets that fall on an instruction or a raw byte get labels;
// any other target stays a number.
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "tools/vmc/vmctext.h"
#include "tools/vmc/vmctext_internal.h"

namespace {

constexpr size_t kBytesPerLine = 16;

// One decoded instruction, or a run of raw bytes (instruction == nullptr).
struct Item {
  int32_t offset = 0;
  int32_t length = 0;
  const VmcInstruction* instruction = nullptr;
  VmcOperand a;
  VmcOperand b;
  int32_t target = 0;
  uint16_t index = 0;  // routine, built-in or object
  uint8_t attribute = 0;
  bool hasItem = false;
  VmcOperand item;
};

class Decoder {
 public:
  Decoder(const VmcScript& script) : script_(script), code_(script.code) {}

  // Decodes the instruction at the offset; false when the bytes there do
  // not form one.
  bool Decode(int32_t offset, Item& item) {
    position_ = static_cast<size_t>(offset);
    uint8_t header = 0;
    if (!Byte(header)) {
      return false;
    }
    item = Item{};
    item.offset = offset;
    item.instruction = VmcInstructionOf(header & 0x3F);
    if (item.instruction == nullptr ||
        (header & ~VmcShapeFlags(item.instruction->shape) & (kVmcFlagA | kVmcFlagB)) != 0) {
      return false;
    }
    if (!Operands(item, (header & kVmcFlagA) != 0, (header & kVmcFlagB) != 0)) {
      return false;
    }
    item.length = static_cast<int32_t>(position_) - offset;
    return true;
  }

 private:
  bool Operands(Item& item, bool aVariable, bool bVariable) {
    switch (item.instruction->shape) {
      case VmcShape::kNone:
        return true;
      case VmcShape::kTarget:
        return I32(item.target);
      case VmcShape::kA:
        return Value(aVariable, item.a);
      case VmcShape::kAB:
        return Value(aVariable, item.a) && Value(bVariable, item.b);
      case VmcShape::kABTarget:
        return Value(aVariable, item.a) && Value(bVariable, item.b) && I32(item.target);
      case VmcShape::kRoutine:
      case VmcShape::kBuiltin:
        return U16(item.index);
      case VmcShape::kSet:
        return Attribute(item, true) && ItemIndex(item) && Value(aVariable, item.a);
      case VmcShape::kGet:
        return Attribute(item, false) && ItemIndex(item);
    }
    return false;
  }

  bool Attribute(Item& item, bool set) {
    if (!U16(item.index) || !Byte(item.attribute)) {
      return false;
    }
    item.hasItem = VmcAttributeHasItem(TypeOfObject(item.index), set, item.attribute);
    return true;
  }

  bool ItemIndex(Item& item) {
    if (!item.hasItem) {
      return true;
    }
    uint8_t mode = 0;
    int32_t n = 0;
    if (!Byte(mode) || !I32(n)) {
      return false;
    }
    item.item = mode == kVmcItemValue ? VmcInt(n) : VmcVariable(mode, n);
    return true;
  }

  bool Value(bool variable, VmcOperand& operand) {
    uint8_t kind = 0;
    int32_t number = 0;
    if (!Byte(kind)) {
      return false;
    }
    if (variable) {
      operand = VmcVariable(kind, 0);
      return I32(operand.number);
    }
    if (kind == kVmcLiteralInt && I32(number)) {
      operand = VmcInt(number);
      return true;
    }
    uint8_t flag = 0;
    if (kind == kVmcLiteralBool && Byte(flag) && flag <= 1) {
      operand = VmcBool(flag == 1);
      return true;
    }
    return kind == kVmcLiteralString && Text(operand);
  }

  bool Text(VmcOperand& operand) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!Byte(low) || (script_.version >= 9 && !Byte(high))) {
      return false;
    }
    const size_t length = low | (static_cast<size_t>(high) << 8);
    if (length > code_.size() - position_) {
      return false;
    }
    operand = VmcString(code_.substr(position_, length));
    position_ += length;
    return true;
  }

  int32_t TypeOfObject(uint16_t index) const {
    return index < script_.objects.size() ? script_.objects[index].type : -1;
  }

  bool Byte(uint8_t& value) {
    if (position_ >= code_.size()) {
      return false;
    }
    value = static_cast<uint8_t>(code_[position_++]);
    return true;
  }

  bool U16(uint16_t& value) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!Byte(low) || !Byte(high)) {
      return false;
    }
    value = static_cast<uint16_t>(low | (high << 8));
    return true;
  }

  bool I32(int32_t& value) {
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

  const VmcScript& script_;
  const std::string& code_;
  size_t position_ = 0;
};

std::vector<Item> DecodeCode(const VmcScript& script) {
  std::vector<Item> items;
  Decoder decoder(script);
  const auto size = static_cast<int32_t>(script.code.size());
  for (int32_t offset = 0; offset < size;) {
    Item item;
    if (decoder.Decode(offset, item)) {
      items.push_back(item);
      offset += item.length;
      continue;
    }
    if (items.empty() || items.back().instruction != nullptr) {
      Item raw;
      raw.offset = offset;
      items.push_back(raw);
    }
    ++items.back().length;
    ++offset;
  }
  return items;
}

std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      quoted += hex;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// A name as a plain word when it is one, else quoted.
std::string Name(const std::string& text) {
  return VmcIsIdentifier(text) ? text : Quote(text);
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Flag(uint8_t value) {
  return value == 0 ? "false" : value == 1 ? "true" : std::to_string(value);
}

std::string Variable(const VmcOperand& operand) {
  const std::string n = std::to_string(operand.number);
  switch (operand.mode) {
    case kVmcSlotAbsolute:
      return "slot(" + n + ")";
    case kVmcSlotBelow:
      return "param(" + n + ")";
    case kVmcSlotAbove:
      return "local(" + n + ")";
    default:
      return "var(" + std::to_string(operand.mode) + ", " + n + ")";
  }
}

std::string Operand(const VmcOperand& operand) {
  if (operand.variable) {
    return Variable(operand);
  }
  switch (operand.literalType) {
    case kVmcLiteralBool:
      return operand.number != 0 ? "true" : "false";
    case kVmcLiteralString:
      return Quote(operand.text);
    default:
      return std::to_string(operand.number);
  }
}

class Writer {
 public:
  explicit Writer(const VmcScript& script) : script_(script), items_(DecodeCode(script)) {
    PlaceLabels();
  }

  std::string Text() {
    out_ << "; routines: " << script_.routines.size() << ", objects: " << script_.objects.size()
         << ", code bytes: " << script_.code.size() << "\n";
    out_ << ".version " << script_.version << "\n";
    Routines();
    for (size_t index = 0; index < script_.objects.size(); ++index) {
      Object(index);
    }
    Listener();
    Code();
    Bytes(".trailing", script_.trailing, 0, script_.trailing.size());
    return out_.str();
  }

 private:
  // Labels for every target that lies on an instruction or a raw byte, and
  // for the listener address.
  void PlaceLabels() {
    std::set<int32_t> boundaries = {static_cast<int32_t>(script_.code.size())};
    for (const Item& item : items_) {
      for (int32_t i = 0; i < (item.instruction != nullptr ? 1 : item.length); ++i) {
        boundaries.insert(item.offset + i);
      }
    }
    if ((script_.listener != 0 || script_.listenerAddress != 0) &&
        boundaries.count(script_.listenerAddress) != 0) {
      labels_[script_.listenerAddress] = "listener";
    }
    for (const Item& item : items_) {
      if (item.instruction != nullptr && HasTarget(*item.instruction) &&
          boundaries.count(item.target) != 0 && labels_.count(item.target) == 0) {
        // Built by appending: GCC 12 warns wrongly about a literal + string at -O3.
        std::string label(1, 'L');
        label += std::to_string(item.target);
        labels_[item.target] = std::move(label);
      }
    }
  }

  static bool HasTarget(const VmcInstruction& instruction) {
    return instruction.shape == VmcShape::kTarget || instruction.shape == VmcShape::kABTarget;
  }

  std::string Target(int32_t offset) const {
    const auto found = labels_.find(offset);
    return found != labels_.end() ? found->second : std::to_string(offset);
  }

  void Routines() {
    if (!script_.routines.empty()) {
      out_ << "\n";
    }
    for (size_t index = 0; index < script_.routines.size(); ++index) {
      out_ << ".routine " << Name(script_.routines[index]) << "  ; " << index << "\n";
    }
  }

  void Object(size_t index) {
    VmcObject object = script_.objects[index];
    const std::string type = VmcTypeName(object.type);
    out_ << "\n.object " << (type.empty() ? std::to_string(object.type) : type) << " "
         << Name(object.name) << "  ; object " << index << "\n";
    out_ << "    display " << static_cast<int>(object.display) << "\n";
    if (script_.version >= 4) {
      out_ << "    order " << object.order << "\n";
    }
    for (const VmcField& field : VmcFieldsOf(object.type)) {
      if (VmcStores(script_.version, field.since)) {
        Field(field, field.at(object));
      }
    }
    out_ << ".end\n";
  }

  void Field(const VmcField& field, const VmcFieldRef& ref) {
    const std::string name = field.name;
    switch (field.kind) {
      case VmcFieldKind::kInt: {
        const int32_t value = *std::get<int32_t*>(ref);
        const bool colour = name.find("olor") != std::string::npos && value >= 0;
        out_ << "    " << name << " "
             << (colour ? Hex(static_cast<uint32_t>(value), 6) : std::to_string(value)) << "\n";
        return;
      }
      case VmcFieldKind::kFlag:
        out_ << "    " << name << " " << Flag(*std::get<uint8_t*>(ref)) << "\n";
        return;
      case VmcFieldKind::kByte:
        out_ << "    " << name << " " << static_cast<int>(*std::get<uint8_t*>(ref)) << "\n";
        return;
      case VmcFieldKind::kText:
        out_ << "    " << name << " " << Quote(*std::get<std::string*>(ref)) << "\n";
        return;
      case VmcFieldKind::kFrames:
        return Frames(name, *std::get<VmcFrameSet*>(ref));
      case VmcFieldKind::kTriangles:
        for (const VmcTriangle& triangle : *std::get<std::vector<VmcTriangle>*>(ref)) {
          out_ << "    " << name;
          for (size_t i = 0; i < triangle.size(); ++i) {
            out_ << (i == 0 ? " " : ", ") << triangle[i];
          }
          out_ << "\n";
        }
        return;
      case VmcFieldKind::kNames:
        for (const std::string& member : *std::get<std::vector<std::string>*>(ref)) {
          out_ << "    " << name << " " << Name(member) << "\n";
        }
        return;
    }
  }

  void Frames(const std::string& name, const VmcFrameSet& set) {
    if (script_.version >= 2) {
      out_ << "    " << name << ".blend " << Flag(set.blend) << "\n";
    }
    if (script_.version >= 3) {
      out_ << "    " << name << ".memory " << Flag(set.memory) << "\n";
    }
    for (const VmcFrame& frame : set.frames) {
      out_ << "    " << name << ".frame";
      for (size_t i = 0; i < frame.images.size(); ++i) {
        out_ << (i == 0 ? " " : ", ") << Quote(frame.images[i]);
      }
      if (!frame.mat.empty() && script_.version >= 8) {
        out_ << " mat " << Quote(frame.mat);
      }
      out_ << "\n";
    }
  }

  void Listener() {
    if (script_.listener == 0 && script_.listenerAddress == 0) {
      return;
    }
    out_ << "\n.listener " << Target(script_.listenerAddress);
    if (script_.listener != 1) {
      out_ << ", " << static_cast<int>(script_.listener);
    }
    out_ << "\n";
  }

  void Code() {
    out_ << "\n; code\n";
    for (const Item& item : items_) {
      if (item.instruction == nullptr) {
        Raw(item);
        continue;
      }
      Label(item.offset);
      out_ << "    " << Instruction(item) << "\n";
    }
    Label(static_cast<int32_t>(script_.code.size()));
  }

  void Label(int32_t offset) {
    const auto found = labels_.find(offset);
    if (found != labels_.end()) {
      out_ << found->second << ":\n";
    }
  }

  // A raw run in lines of up to 16 bytes, broken where a label falls.
  void Raw(const Item& item) {
    int32_t start = item.offset;
    const int32_t end = item.offset + item.length;
    while (start < end) {
      Label(start);
      int32_t stop = start + 1;
      while (stop < end && stop - start < static_cast<int32_t>(kBytesPerLine) &&
             labels_.count(stop) == 0) {
        ++stop;
      }
      Bytes("    .byte", script_.code, start, stop - start);
      start = stop;
    }
  }

  void Bytes(const char* directive, const std::string& bytes, size_t start, size_t count) {
    for (size_t line = start; line < start + count; line += kBytesPerLine) {
      out_ << directive;
      for (size_t i = line; i < std::min(start + count, line + kBytesPerLine); ++i) {
        out_ << (i == line ? " " : ", ") << Hex(static_cast<uint8_t>(bytes[i]), 2);
      }
      out_ << "\n";
    }
  }

  std::string Instruction(const Item& item) const {
    const std::string mnemonic = item.instruction->mnemonic;
    switch (item.instruction->shape) {
      case VmcShape::kNone:
        return mnemonic;
      case VmcShape::kTarget:
        return mnemonic + " " + Target(item.target);
      case VmcShape::kA:
        return mnemonic + " " + Operand(item.a);
      case VmcShape::kAB:
        return mnemonic + " " + Operand(item.a) + ", " + Operand(item.b);
      case VmcShape::kABTarget:
        return mnemonic + " " + Operand(item.a) + ", " + Operand(item.b) + ", " +
               Target(item.target);
      case VmcShape::kRoutine:
        return mnemonic + " " + Routine(item.index);
      case VmcShape::kBuiltin:
        return mnemonic + " " + std::to_string(item.index);
      case VmcShape::kSet:
        return mnemonic + " " + Attribute(item, true) + ", " + Operand(item.a);
      case VmcShape::kGet:
        return mnemonic + " " + Attribute(item, false);
    }
    return mnemonic;
  }

  // The routine's name when the assembler finds that index by it.
  std::string Routine(uint16_t index) const {
    if (index >= script_.routines.size()) {
      return std::to_string(index);
    }
    const std::string& name = script_.routines[index];
    for (size_t i = 0; i < index; ++i) {
      if (VmcUpper(script_.routines[i]) == VmcUpper(name)) {
        return std::to_string(index);
      }
    }
    return Name(name);
  }

  std::string Attribute(const Item& item, bool set) const {
    std::string text;
    int32_t type = -1;
    if (item.index < script_.objects.size()) {
      type = script_.objects[item.index].type;
      text = ObjectName(item.index);
    } else {
      text = std::to_string(item.index);
    }
    const std::string name = VmcAttributeName(type, set, item.attribute);
    text += '.';
    text += name.empty() ? std::to_string(item.attribute) : name;
    if (item.hasItem) {
      text += '[';
      text += item.item.variable ? Variable(item.item) : std::to_string(item.item.number);
      text += ']';
    }
    return text;
  }

  // The object's name when the assembler finds that index by it.
  std::string ObjectName(uint16_t index) const {
    const std::string& name = script_.objects[index].name;
    for (size_t i = 0; i < index; ++i) {
      if (VmcUpper(script_.objects[i].name) == VmcUpper(name)) {
        return std::to_string(index);
      }
    }
    return Name(name);
  }

  const VmcScript& script_;
  std::vector<Item> items_;
  std::map<int32_t, std::string> labels_;
  std::ostringstream out_;
};

}  // namespace

std::string VmcDisassemble(const VmcScript& script) {
  return Writer(script).Text();
}
