// Script file writer: every field goes out little-endian in file order, and
// a field newer than the file's version is left out, as the game's reader
// expects.
#include "tools/vmc/vmcwriter.h"

#include <fstream>
#include <limits>

#include "framework/utilities/utilities.h"

namespace {

// Collects the bytes of one file and the first text that does not fit.
struct Out : UtilitiesByteWriter {
  int32_t version = 0;
  std::string error;

  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void Text(const std::string& text, const char* what) {
    if (text.size() > std::numeric_limits<uint8_t>::max()) {
      if (error.empty()) {
        error = std::string(what) + " is longer than 255 bytes";
      }
      return;
    }
    U8(static_cast<uint8_t>(text.size()));
    UtilitiesByteWriter::Text(text);
  }
  void Count(size_t count) { I32(static_cast<int32_t>(count)); }
  // A field stored from the version on.
  bool Has(int32_t since) const { return version >= since; }
};

void WriteFrames(Out& out, const VmcFrameSet& set) {
  if (out.Has(2)) {
    out.U8(set.blend);
  }
  if (out.Has(3)) {
    out.U8(set.memory);
  }
  out.Count(set.frames.size());
  for (const VmcFrame& frame : set.frames) {
    if (out.Has(8)) {
      out.Text(frame.mat, "a frame's mat name");
    }
    out.Count(frame.images.size());
    for (const std::string& image : frame.images) {
      out.Text(image, "an image name");
    }
  }
}

void WriteNames(Out& out, const std::vector<std::string>& names) {
  out.Count(names.size());
  for (const std::string& name : names) {
    out.Text(name, "a member name");
  }
}

void WriteButton(Out& out, const VmcButton& b) {
  out.I32(b.left);
  out.I32(b.top);
  out.I32(b.frame);
  out.U8(b.visible);
  out.U8(b.enabled);
  if (out.Has(11)) {
    out.Text(b.font, "font");
    out.Text(b.text, "text");
    out.I32(b.color);
    out.I32(b.wrapWidth);
  }
  WriteFrames(out, b.frames);
}

void WriteColor(Out& out, const VmcColor& c) {
  for (int32_t value : {c.left, c.top, c.width, c.height, c.color, c.alpha}) {
    out.I32(value);
  }
  out.U8(c.visible);
  out.U8(c.enabled);
}

void WriteDisplay(Out& out, const VmcDisplay& d) {
  out.I32(d.width);
  out.I32(d.height);
  if (out.Has(2)) {
    out.I32(d.viewMode);
  }
}

void WriteImage(Out& out, const VmcImage& i) {
  out.I32(i.left);
  out.I32(i.top);
  out.I32(i.rotation);
  out.I32(i.frame);
  out.U8(i.visible);
  out.I32(i.alpha);
  if (out.Has(13)) {
    out.I32(i.offsetX);
    out.I32(i.offsetY);
  }
  if (out.Has(18)) {
    out.I32(i.color);
  }
  WriteFrames(out, i.frames);
}

void WriteLabel(Out& out, const VmcLabel& l) {
  out.I32(l.left);
  out.I32(l.top);
  out.Text(l.font, "font");
  out.I32(l.color);
  if (out.Has(9)) {
    out.U8(l.alpha);
  }
  out.Text(l.text, "text");
  out.U8(l.visible);
  if (out.Has(4)) {
    out.I32(l.wrapWidth);
  }
  if (out.Has(10)) {
    out.I32(l.wrapHeight);
  }
  if (out.Has(4)) {
    out.I32(l.wrapLineOffset);
  }
  if (out.Has(10)) {
    out.I32(l.firstLine);
  }
  if (out.Has(14)) {
    out.I32(l.align);
  }
}

void WriteList(Out& out, const VmcList& l) {
  out.I32(l.left);
  out.I32(l.top);
  out.Text(l.kind, "kind");
  out.Text(l.font, "font");
  for (int32_t value : {l.color, l.colorSelected, l.frame, l.frameSelected, l.frameMouseOver}) {
    out.I32(value);
  }
  if (out.Has(19)) {
    out.I32(l.frameColor);
  }
  out.I32(l.cellCount);
  out.U8(l.visible);
  out.U8(l.enabled);
  out.Text(l.mat, "mat");
  if (out.Has(4)) {
    out.I32(l.textOffsetX);
    out.I32(l.textOffsetY);
  }
  if (out.Has(5)) {
    out.I32(l.textWidth);
  }
  if (out.Has(10)) {
    out.U8(l.textMode);
  }
  WriteFrames(out, l.cells);
  if (out.Has(7)) {
    WriteFrames(out, l.overlays);
  }
}

void WritePointer(Out& out, const VmcPointer& p) {
  out.I32(p.frame);
  out.U8(p.visible);
  if (out.Has(16)) {
    out.U8(p.fadeOnIdle);
    out.I32(p.fadeDelay);
    out.I32(p.fadeDuration);
  }
  if (out.Has(17)) {
    out.I32(p.clickX);
    out.I32(p.clickY);
  }
  WriteFrames(out, p.frames);
}

void WriteSlider(Out& out, const VmcSlider& s) {
  for (int32_t value : {s.left, s.top, s.frameRange, s.frameSlider, s.minValue, s.maxValue, s.value,
                        s.sliderType}) {
    out.I32(value);
  }
  out.U8(s.visible);
  out.U8(s.enabled);
  if (out.Has(15)) {
    out.I32(s.pageType);
    out.I32(s.pageSize);
  }
  WriteFrames(out, s.track);
  WriteFrames(out, s.thumb);
}

void WriteMat(Out& out, const VmcMat& m) {
  out.I32(m.left);
  out.I32(m.top);
  out.U8(m.enabled);
  out.Text(m.file, "file");
}

void WriteAtex(Out& out, const VmcAtex& a) {
  out.I32(a.left);
  out.I32(a.top);
  out.I32(a.alpha);
  out.U8(a.visible);
  out.Text(a.texture, "texture");
  out.U8(a.blend);
  out.I32(a.uvelocity);
  out.I32(a.vvelocity);
  if (out.Has(19)) {
    out.I32(a.uScale);
    out.I32(a.vScale);
  }
  out.Count(a.triangles.size());
  for (const VmcTriangle& triangle : a.triangles) {
    for (int32_t value : triangle) {
      out.I32(value);
    }
  }
}

void WriteAppObj(Out& out, const VmcAppObj& a) {
  out.U8(a.enabled);
  out.U8(a.visible);
  out.Text(a.animate, "animate");
  out.Text(a.inObject, "inObject");
  out.Text(a.render, "render");
}

void WriteCamera(Out& out, const VmcCamera& c) {
  out.U8(c.enabled);
  for (int32_t value : {c.viewLeft, c.viewTop, c.viewWidth, c.viewHeight, c.cameraX, c.cameraY}) {
    out.I32(value);
  }
  WriteNames(out, c.members);
}

void WriteScene(Out& out, const VmcScene& s) {
  out.U8(s.enabled);
  out.I32(s.x);
  out.I32(s.y);
  out.I32(s.z);
  out.Text(s.matFile, "matFile");
  WriteNames(out, s.models);
}

void WriteModel(Out& out, const VmcModel& m) {
  out.U8(m.enabled);
  out.U8(m.visible);
  for (int32_t value : {m.x, m.y, m.z, m.pitch, m.yaw, m.roll}) {
    out.I32(value);
  }
  out.Text(m.modelFile, "modelFile");
}

void WriteBlock(Out& out, const VmcObject& o) {
  switch (o.type) {
    case kVmcButton:
      return WriteButton(out, o.button);
    case kVmcColor:
      return WriteColor(out, o.color);
    case kVmcDisplay:
      return WriteDisplay(out, o.displayBlock);
    case kVmcImage:
      return WriteImage(out, o.image);
    case kVmcLabel:
      return WriteLabel(out, o.label);
    case kVmcList:
      return WriteList(out, o.list);
    case kVmcPointer:
      return WritePointer(out, o.pointer);
    case kVmcSlider:
      return WriteSlider(out, o.slider);
    case kVmcMat:
      return WriteMat(out, o.mat);
    case kVmcRender:
      return out.Text(o.render.routine, "routine");
    case kVmcAtex:
      return WriteAtex(out, o.atex);
    case kVmcAppObj:
      return WriteAppObj(out, o.appObj);
    case kVmcCamera:
      return WriteCamera(out, o.camera);
    case kVmcScene:
      return WriteScene(out, o.scene);
    case kVmcModel:
      return WriteModel(out, o.model);
    default:
      return;  // no block
  }
}

}  // namespace

VmcObject VmcObjectNew(int32_t type, const std::string& name) {
  VmcObject object;
  object.type = type;
  object.name = name;
  return object;
}

bool VmcWriterBytes(const VmcScript& script, std::string& bytes, std::string& error) {
  Out out;
  out.version = script.version;
  out.I32(script.version);
  out.Count(script.routines.size());
  for (const std::string& routine : script.routines) {
    out.Text(routine, "a routine name");
  }
  out.Count(script.objects.size());
  for (size_t index = 0; index < script.objects.size() && out.error.empty(); ++index) {
    const VmcObject& object = script.objects[index];
    out.I32(object.type);
    out.Text(object.name, "the name");
    out.U8(object.display);
    if (out.Has(4)) {
      out.I32(object.order);
    }
    WriteBlock(out, object);
    if (!out.error.empty()) {
      out.error = "object " + std::to_string(index) + " \"" + object.name.substr(0, 64) +
                  "\": " + out.error;
    }
  }
  out.U8(script.listener);
  out.I32(script.listenerAddress);
  out.Count(script.code.size());
  out.bytes += script.code;
  out.bytes += script.trailing;
  if (!out.error.empty()) {
    error = out.error;
    return false;
  }
  bytes = std::move(out.bytes);
  return true;
}

bool VmcWriterSave(const VmcScript& script, const std::string& path, std::string& error) {
  std::string bytes;
  if (!VmcWriterBytes(script, bytes, error)) {
    error = path + ": " + error;
    return false;
  }
  return VmcWriteFile(path, bytes, error);
}

bool VmcWriteFile(const std::string& path, const std::string& bytes, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    error = path + ": cannot write the file";
    return false;
  }
  return true;
}

// --- Operands -----------------------------------------------------------------------------

VmcOperand VmcInt(int32_t value) {
  VmcOperand operand;
  operand.literalType = kVmcLiteralInt;
  operand.number = value;
  return operand;
}

VmcOperand VmcBool(bool value) {
  VmcOperand operand;
  operand.literalType = kVmcLiteralBool;
  operand.number = value ? 1 : 0;
  return operand;
}

VmcOperand VmcString(const std::string& text) {
  VmcOperand operand;
  operand.literalType = kVmcLiteralString;
  operand.text = text;
  return operand;
}

VmcOperand VmcVariable(uint8_t mode, int32_t n) {
  VmcOperand operand;
  operand.variable = true;
  operand.mode = mode;
  operand.number = n;
  return operand;
}

VmcOperand VmcSlot(int32_t n) {
  return VmcVariable(kVmcSlotAbsolute, n);
}
VmcOperand VmcParam(int32_t n) {
  return VmcVariable(kVmcSlotBelow, n);
}
VmcOperand VmcLocal(int32_t n) {
  return VmcVariable(kVmcSlotAbove, n);
}

// --- Code ------------------------------------------------------------------------------------

void VmcCode::Error(const std::string& message) {
  if (error_.empty()) {
    error_ = "at code offset " + std::to_string(Offset()) + ": " + message;
  }
}

void VmcCode::Label(const std::string& name) {
  if (!labels_.emplace(name, Offset()).second) {
    Error("label \"" + name + "\" is placed twice");
  }
}

void VmcCode::RawInt32(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    RawByte(static_cast<uint8_t>((bits >> shift) & 0xFF));
  }
}

void VmcCode::Header(uint8_t opcode, const VmcOperand* a, const VmcOperand* b) {
  uint8_t header = opcode & 0x3F;
  if (a != nullptr && a->variable) {
    header |= kVmcFlagA;
  }
  if (b != nullptr && b->variable) {
    header |= kVmcFlagB;
  }
  RawByte(header);
}

void VmcCode::Value(const VmcOperand& operand) {
  if (operand.variable) {
    RawByte(operand.mode);
    RawInt32(operand.number);
    return;
  }
  RawByte(operand.literalType);
  if (operand.literalType == kVmcLiteralBool) {
    RawByte(static_cast<uint8_t>(operand.number));
  } else if (operand.literalType == kVmcLiteralString) {
    const size_t limit =
        version_ >= 9 ? std::numeric_limits<uint16_t>::max() : std::numeric_limits<uint8_t>::max();
    if (operand.text.size() > limit) {
      Error("a string of " + std::to_string(operand.text.size()) + " bytes does not fit version " +
            std::to_string(version_) + " (at most " + std::to_string(limit) + ")");
      return;
    }
    RawByte(static_cast<uint8_t>(operand.text.size() & 0xFF));
    if (version_ >= 9) {
      RawByte(static_cast<uint8_t>(operand.text.size() >> 8));
    }
    Raw(operand.text);
  } else {
    RawInt32(operand.number);
  }
}

void VmcCode::Target(const VmcTarget& target) {
  if (!target.label.empty()) {
    fixups_.emplace_back(Offset(), target.label);
  }
  RawInt32(target.label.empty() ? target.offset : 0);
}

void VmcCode::Return() {
  Header(kVmcReturn, nullptr, nullptr);
}

void VmcCode::Call(const VmcTarget& target) {
  Header(kVmcCall, nullptr, nullptr);
  Target(target);
}

void VmcCode::Not(const VmcOperand& dest) {
  Header(kVmcNot, &dest, nullptr);
  Value(dest);
}

void VmcCode::Jump(const VmcTarget& target) {
  Header(kVmcJump, nullptr, nullptr);
  Target(target);
}

void VmcCode::JumpIf(uint8_t opcode, const VmcOperand& a, const VmcOperand& b,
                     const VmcTarget& target) {
  Header(opcode, &a, &b);
  Value(a);
  Value(b);
  Target(target);
}

void VmcCode::Arithmetic(uint8_t opcode, const VmcOperand& src, const VmcOperand& dest) {
  Header(opcode, &src, &dest);
  Value(src);
  Value(dest);
}

void VmcCode::Push(const VmcOperand& value) {
  Header(kVmcPush, &value, nullptr);
  Value(value);
}

void VmcCode::Pop() {
  Header(kVmcPop, nullptr, nullptr);
}

void VmcCode::CallApp(uint16_t routine) {
  Header(kVmcCallApp, nullptr, nullptr);
  RawByte(static_cast<uint8_t>(routine & 0xFF));
  RawByte(static_cast<uint8_t>(routine >> 8));
}

void VmcCode::CallBuiltin(uint16_t builtin) {
  Header(kVmcCallBuiltin, nullptr, nullptr);
  RawByte(static_cast<uint8_t>(builtin & 0xFF));
  RawByte(static_cast<uint8_t>(builtin >> 8));
}

void VmcCode::SetAttribute(uint16_t object, uint8_t attribute, const VmcOperand& value,
                           const std::optional<VmcOperand>& item) {
  Header(kVmcSetAttribute, &value, nullptr);
  RawByte(static_cast<uint8_t>(object & 0xFF));
  RawByte(static_cast<uint8_t>(object >> 8));
  RawByte(attribute);
  if (item) {
    ItemIndex(*item);
  }
  Value(value);
}

void VmcCode::GetAttribute(uint16_t object, uint8_t attribute,
                           const std::optional<VmcOperand>& item) {
  Header(kVmcGetAttribute, nullptr, nullptr);
  RawByte(static_cast<uint8_t>(object & 0xFF));
  RawByte(static_cast<uint8_t>(object >> 8));
  RawByte(attribute);
  if (item) {
    ItemIndex(*item);
  }
}

void VmcCode::ItemIndex(const VmcOperand& item) {
  if (!item.variable && item.literalType != kVmcLiteralInt) {
    Error("an item index must be an integer or a variable");
    return;
  }
  RawByte(item.variable ? item.mode : kVmcItemValue);
  RawInt32(item.number);
}

void VmcCode::Nop() {
  Header(kVmcNop, nullptr, nullptr);
}
void VmcCode::Yield() {
  Header(kVmcYield, nullptr, nullptr);
}

void VmcCode::Fork(const VmcTarget& target) {
  Header(kVmcFork, nullptr, nullptr);
  Target(target);
}

int32_t VmcCode::LabelOffset(const std::string& name) const {
  const auto found = labels_.find(name);
  return found == labels_.end() ? -1 : found->second;
}

bool VmcCode::Finish(std::string& code, std::string& error) const {
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  std::string result = bytes_;
  for (const auto& [at, label] : fixups_) {
    const int32_t offset = LabelOffset(label);
    if (offset < 0) {
      error = "label \"" + label + "\" is used but never placed";
      return false;
    }
    for (int shift = 0; shift < 4; ++shift) {
      result[at + shift] = static_cast<char>((static_cast<uint32_t>(offset) >> (8 * shift)) & 0xFF);
    }
  }
  code = std::move(result);
  return true;
}
