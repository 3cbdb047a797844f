// The tables behind the text form: object fields in file order, byte-code
// attribute names by id, and the instructions.
#include <algorithm>
#include <array>
#include <cctype>

#include "tools/vmc/vmctext_internal.h"

namespace {

// One field of a type's block: its text name, kind, first version and where
// it lives in the record.
#define VMC_FIELD(block, member, name, kind, since)                                              \
  VmcField {                                                                                     \
    name, VmcFieldKind::kind, since, [](VmcObject& o) -> VmcFieldRef { return &o.block.member; } \
  }

const std::vector<VmcField> kButtonFields = {
    VMC_FIELD(button, left, "left", kInt, 0),
    VMC_FIELD(button, top, "top", kInt, 0),
    VMC_FIELD(button, frame, "frame", kInt, 0),
    VMC_FIELD(button, visible, "visible", kFlag, 0),
    VMC_FIELD(button, enabled, "enabled", kFlag, 0),
    VMC_FIELD(button, font, "font", kText, 11),
    VMC_FIELD(button, text, "text", kText, 11),
    VMC_FIELD(button, color, "color", kInt, 11),
    VMC_FIELD(button, wrapWidth, "wrapWidth", kInt, 11),
    VMC_FIELD(button, frames, "frames", kFrames, 0),
};

const std::vector<VmcField> kColorFields = {
    VMC_FIELD(color, left, "left", kInt, 0),        VMC_FIELD(color, top, "top", kInt, 0),
    VMC_FIELD(color, width, "width", kInt, 0),      VMC_FIELD(color, height, "height", kInt, 0),
    VMC_FIELD(color, color, "color", kInt, 0),      VMC_FIELD(color, alpha, "alpha", kInt, 0),
    VMC_FIELD(color, visible, "visible", kFlag, 0), VMC_FIELD(color, enabled, "enabled", kFlag, 0),
};

const std::vector<VmcField> kDisplayFields = {
    VMC_FIELD(displayBlock, width, "width", kInt, 0),
    VMC_FIELD(displayBlock, height, "height", kInt, 0),
    VMC_FIELD(displayBlock, viewMode, "viewMode", kInt, 2),
};

const std::vector<VmcField> kImageFields = {
    VMC_FIELD(image, left, "left", kInt, 0),         VMC_FIELD(image, top, "top", kInt, 0),
    VMC_FIELD(image, rotation, "rotation", kInt, 0), VMC_FIELD(image, frame, "frame", kInt, 0),
    VMC_FIELD(image, visible, "visible", kFlag, 0),  VMC_FIELD(image, alpha, "alpha", kInt, 0),
    VMC_FIELD(image, offsetX, "offsetX", kInt, 13),  VMC_FIELD(image, offsetY, "offsetY", kInt, 13),
    VMC_FIELD(image, color, "color", kInt, 18),      VMC_FIELD(image, frames, "frames", kFrames, 0),
};

const std::vector<VmcField> kLabelFields = {
    VMC_FIELD(label, left, "left", kInt, 0),
    VMC_FIELD(label, top, "top", kInt, 0),
    VMC_FIELD(label, font, "font", kText, 0),
    VMC_FIELD(label, color, "color", kInt, 0),
    VMC_FIELD(label, alpha, "alpha", kByte, 9),
    VMC_FIELD(label, text, "text", kText, 0),
    VMC_FIELD(label, visible, "visible", kFlag, 0),
    VMC_FIELD(label, wrapWidth, "wrapWidth", kInt, 4),
    VMC_FIELD(label, wrapHeight, "wrapHeight", kInt, 10),
    VMC_FIELD(label, wrapLineOffset, "wrapLineOffset", kInt, 4),
    VMC_FIELD(label, firstLine, "firstLine", kInt, 10),
    VMC_FIELD(label, align, "align", kInt, 14),
};

const std::vector<VmcField> kListFields = {
    VMC_FIELD(list, left, "left", kInt, 0),
    VMC_FIELD(list, top, "top", kInt, 0),
    VMC_FIELD(list, kind, "kind", kText, 0),
    VMC_FIELD(list, font, "font", kText, 0),
    VMC_FIELD(list, color, "color", kInt, 0),
    VMC_FIELD(list, colorSelected, "colorSelected", kInt, 0),
    VMC_FIELD(list, frame, "frame", kInt, 0),
    VMC_FIELD(list, frameSelected, "frameSelected", kInt, 0),
    VMC_FIELD(list, frameMouseOver, "frameMouseOver", kInt, 0),
    VMC_FIELD(list, frameColor, "frameColor", kInt, 19),
    VMC_FIELD(list, cellCount, "cellCount", kInt, 0),
    VMC_FIELD(list, visible, "visible", kFlag, 0),
    VMC_FIELD(list, enabled, "enabled", kFlag, 0),
    VMC_FIELD(list, mat, "mat", kText, 0),
    VMC_FIELD(list, textOffsetX, "textOffsetX", kInt, 4),
    VMC_FIELD(list, textOffsetY, "textOffsetY", kInt, 4),
    VMC_FIELD(list, textWidth, "textWidth", kInt, 5),
    VMC_FIELD(list, textMode, "textMode", kByte, 10),
    VMC_FIELD(list, cells, "cells", kFrames, 0),
    VMC_FIELD(list, overlays, "overlays", kFrames, 7),
};

const std::vector<VmcField> kPointerFields = {
    VMC_FIELD(pointer, frame, "frame", kInt, 0),
    VMC_FIELD(pointer, visible, "visible", kFlag, 0),
    VMC_FIELD(pointer, fadeOnIdle, "fadeOnIdle", kFlag, 16),
    VMC_FIELD(pointer, fadeDelay, "fadeDelay", kInt, 16),
    VMC_FIELD(pointer, fadeDuration, "fadeDuration", kInt, 16),
    VMC_FIELD(pointer, clickX, "clickX", kInt, 17),
    VMC_FIELD(pointer, clickY, "clickY", kInt, 17),
    VMC_FIELD(pointer, frames, "frames", kFrames, 0),
};

const std::vector<VmcField> kSliderFields = {
    VMC_FIELD(slider, left, "left", kInt, 0),
    VMC_FIELD(slider, top, "top", kInt, 0),
    VMC_FIELD(slider, frameRange, "frameRange", kInt, 0),
    VMC_FIELD(slider, frameSlider, "frameSlider", kInt, 0),
    VMC_FIELD(slider, minValue, "minValue", kInt, 0),
    VMC_FIELD(slider, maxValue, "maxValue", kInt, 0),
    VMC_FIELD(slider, value, "value", kInt, 0),
    VMC_FIELD(slider, sliderType, "sliderType", kInt, 0),
    VMC_FIELD(slider, visible, "visible", kFlag, 0),
    VMC_FIELD(slider, enabled, "enabled", kFlag, 0),
    VMC_FIELD(slider, pageType, "pageType", kInt, 15),
    VMC_FIELD(slider, pageSize, "pageSize", kInt, 15),
    VMC_FIELD(slider, track, "track", kFrames, 0),
    VMC_FIELD(slider, thumb, "thumb", kFrames, 0),
};

const std::vector<VmcField> kMatFields = {
    VMC_FIELD(mat, left, "left", kInt, 0),
    VMC_FIELD(mat, top, "top", kInt, 0),
    VMC_FIELD(mat, enabled, "enabled", kFlag, 0),
    VMC_FIELD(mat, file, "file", kText, 0),
};

const std::vector<VmcField> kRenderFields = {
    VMC_FIELD(render, routine, "routine", kText, 0),
};

const std::vector<VmcField> kAtexFields = {
    VMC_FIELD(atex, left, "left", kInt, 0),
    VMC_FIELD(atex, top, "top", kInt, 0),
    VMC_FIELD(atex, alpha, "alpha", kInt, 0),
    VMC_FIELD(atex, visible, "visible", kFlag, 0),
    VMC_FIELD(atex, texture, "texture", kText, 0),
    VMC_FIELD(atex, blend, "blend", kFlag, 0),
    VMC_FIELD(atex, uvelocity, "uvelocity", kInt, 0),
    VMC_FIELD(atex, vvelocity, "vvelocity", kInt, 0),
    VMC_FIELD(atex, uScale, "uScale", kInt, 19),
    VMC_FIELD(atex, vScale, "vScale", kInt, 19),
    VMC_FIELD(atex, triangles, "triangle", kTriangles, 0),
};

const std::vector<VmcField> kAppObjFields = {
    VMC_FIELD(appObj, enabled, "enabled", kFlag, 0),
    VMC_FIELD(appObj, visible, "visible", kFlag, 0),
    VMC_FIELD(appObj, animate, "animate", kText, 0),
    VMC_FIELD(appObj, inObject, "inObject", kText, 0),
    VMC_FIELD(appObj, render, "render", kText, 0),
};

const std::vector<VmcField> kCameraFields = {
    VMC_FIELD(camera, enabled, "enabled", kFlag, 0),
    VMC_FIELD(camera, viewLeft, "viewLeft", kInt, 0),
    VMC_FIELD(camera, viewTop, "viewTop", kInt, 0),
    VMC_FIELD(camera, viewWidth, "viewWidth", kInt, 0),
    VMC_FIELD(camera, viewHeight, "viewHeight", kInt, 0),
    VMC_FIELD(camera, cameraX, "cameraX", kInt, 0),
    VMC_FIELD(camera, cameraY, "cameraY", kInt, 0),
    VMC_FIELD(camera, members, "member", kNames, 0),
};

const std::vector<VmcField> kSceneFields = {
    VMC_FIELD(scene, enabled, "enabled", kFlag, 0),
    VMC_FIELD(scene, x, "x", kInt, 0),
    VMC_FIELD(scene, y, "y", kInt, 0),
    VMC_FIELD(scene, z, "z", kInt, 0),
    VMC_FIELD(scene, matFile, "matFile", kText, 0),
    VMC_FIELD(scene, models, "model", kNames, 0),
};

const std::vector<VmcField> kModelFields = {
    VMC_FIELD(model, enabled, "enabled", kFlag, 0),
    VMC_FIELD(model, visible, "visible", kFlag, 0),
    VMC_FIELD(model, x, "x", kInt, 0),
    VMC_FIELD(model, y, "y", kInt, 0),
    VMC_FIELD(model, z, "z", kInt, 0),
    VMC_FIELD(model, pitch, "pitch", kInt, 0),
    VMC_FIELD(model, yaw, "yaw", kInt, 0),
    VMC_FIELD(model, roll, "roll", kInt, 0),
    VMC_FIELD(model, modelFile, "modelFile", kText, 0),
};

#undef VMC_FIELD

struct TypeInfo {
  const char* name;
  const std::vector<VmcField>* fields;
  std::vector<const char*> get;  // attribute names by id; nullptr: no such id
  std::vector<const char*> set;
};

const std::array<TypeInfo, kVmcTypeCount> kTypes = {{
    {"Button",
     &kButtonFields,
     {"left", "top", "frame", "visible", "enabled", "height", "originLeft", "originTop", "text",
      "color", "wrapWidth"},
     {"left", "top", "frame", "visible", "enabled", "text", "color", "wrapWidth"}},
    {"Color",
     &kColorFields,
     {"left", "top", "color", "alpha", "visible", "enabled", "width", "height"},
     {"left", "top", "color", "alpha", "visible", "enabled", "width", "height"}},
    {"Display", &kDisplayFields, {"width", "height", "viewMode"}, {"width", "height", "viewMode"}},
    {"Image",
     &kImageFields,
     {"left", "top", "rotation", "frame", "visible", "alpha", "width", "height", "frameCount",
      "color"},
     {"left", "top", "rotation", "frame", "visible", "alpha", "color"}},
    {"Label",
     &kLabelFields,
     {"left", "top", "color", "text", "visible", "wrapWidth", "wrapLineOffset", "alpha",
      "wrapHeight", "firstLine", "lineCount", "textHeight", "textWidth"},
     {"left", "top", "color", "text", "visible", "wrapWidth", "wrapLineOffset", "alpha",
      "wrapHeight", "firstLine"}},
    {"List",
     &kListFields,
     {"left",         "top",         "color",         "frame",
      "cellCount",    "itemTexts",   "selectedIndex", "firstItem",
      "visible",      "enabled",     "frameSelected", "frameMouseOver",
      "cellHeight",   "cellWidth",   "colorSelected", "kind",
      "clickedLabel", "textOffsetX", "textOffsetY",   "textWidth",
      "itemFrames",   "itemValues",  "textMode",      "frameColor",
      "itemCount"},
     {"left",          "top",           "color",       "frame",         "cellCount",
      "itemTexts",     "selectedIndex", "firstItem",   "visible",       "enabled",
      "colorSelected", "kind",          "textOffsetX", "textOffsetY",   "textWidth",
      "itemFrames",    "itemValues",    "textMode",    "frameSelected", "frameMouseOver",
      "frameColor"}},
    {"Pointer",
     &kPointerFields,
     {"visible", "frame", "x", "y", "fadeOnIdle", "fadeDelay", "fadeDuration", "clickX", "clickY"},
     {"visible", "frame", "fadeOnIdle", "fadeDelay", "fadeDuration", "clickX", "clickY"}},
    {"Slider",
     &kSliderFields,
     {"left", "top", "frameRange", "frameSlider", "minValue", "maxValue", "value", "visible",
      "enabled", "trackHeight", "pageType", "pageSize"},
     {"left", "top", "frameRange", "frameSlider", "minValue", "maxValue", "value", "visible",
      "enabled", "pageType", "pageSize"}},
    {"Mat", &kMatFields, {"left", "top", "enabled", "file"}, {"left", "top", "enabled", "file"}},
    {"Render", &kRenderFields, {}, {}},
    {"Atex",
     &kAtexFields,
     {"left", "top", "alpha", "visible", "uvelocity", "vvelocity", "uScale", "vScale", "uOffset",
      "vOffset"},
     {"left", "top", "alpha", "visible", "uvelocity", "vvelocity", "uScale", "vScale", "uOffset",
      "vOffset"}},
    {"AppObj", &kAppObjFields, {"enabled", "visible"}, {"enabled", "visible"}},
    {"Camera",
     &kCameraFields,
     {"enabled", "viewLeft", "viewTop", "viewWidth", "viewHeight", "cameraX", "cameraY"},
     {"enabled", "viewLeft", "viewTop", "viewWidth", "viewHeight", "cameraX", "cameraY"}},
    {"Scene", &kSceneFields, {"enabled", "x", "y", "z"}, {"enabled", "x", "y", "z"}},
    // Set ids 8 and 9 of a Model read a value and change nothing; they have
    // no name and are written by number.
    {"Model",
     &kModelFields,
     {"enabled", "visible", "x", "y", "z", "pitch", "yaw", "roll"},
     {"enabled", "visible", "x", "y", "z", "pitch", "yaw", "roll", nullptr, nullptr}},
}};

const std::vector<VmcInstruction> kInstructions = {
    {"return", kVmcReturn, VmcShape::kNone},
    {"call", kVmcCall, VmcShape::kTarget},
    {"not", kVmcNot, VmcShape::kA},
    {"jump", kVmcJump, VmcShape::kTarget},
    {"jne", kVmcJumpNotEqual, VmcShape::kABTarget},
    {"jeq", kVmcJumpEqual, VmcShape::kABTarget},
    {"jge", kVmcJumpGreaterEqual, VmcShape::kABTarget},
    {"jlt", kVmcJumpLess, VmcShape::kABTarget},
    {"jgt", kVmcJumpGreater, VmcShape::kABTarget},
    {"jle", kVmcJumpLessEqual, VmcShape::kABTarget},
    {"move", kVmcMove, VmcShape::kAB},
    {"add", kVmcAdd, VmcShape::kAB},
    {"sub", kVmcSubtract, VmcShape::kAB},
    {"and", kVmcAnd, VmcShape::kAB},
    {"or", kVmcOr, VmcShape::kAB},
    {"mul", kVmcMultiply, VmcShape::kAB},
    {"div", kVmcDivide, VmcShape::kAB},
    {"rem", kVmcRemainder, VmcShape::kAB},
    {"push", kVmcPush, VmcShape::kA},
    {"pop", kVmcPop, VmcShape::kNone},
    {"callapp", kVmcCallApp, VmcShape::kRoutine},
    {"builtin", kVmcCallBuiltin, VmcShape::kBuiltin},
    {"set", kVmcSetAttribute, VmcShape::kSet},
    {"get", kVmcGetAttribute, VmcShape::kGet},
    {"nop", kVmcNop, VmcShape::kNone},
    {"yield", kVmcYield, VmcShape::kNone},
    {"fork", kVmcFork, VmcShape::kTarget},
};

const TypeInfo* TypeOf(int32_t type) {
  return type >= 0 && type < kVmcTypeCount ? &kTypes[type] : nullptr;
}

bool SameWord(const std::string& a, const char* b) {
  return VmcUpper(a) == VmcUpper(b);
}

}  // namespace

const std::vector<VmcField>& VmcFieldsOf(int32_t type) {
  static const std::vector<VmcField> kNone;
  const TypeInfo* info = TypeOf(type);
  return info != nullptr ? *info->fields : kNone;
}

std::string VmcTypeName(int32_t type) {
  const TypeInfo* info = TypeOf(type);
  return info != nullptr ? info->name : "";
}

int32_t VmcTypeFind(const std::string& name) {
  for (int32_t type = 0; type < kVmcTypeCount; ++type) {
    if (SameWord(name, kTypes[type].name)) {
      return type;
    }
  }
  return -1;
}

std::string VmcAttributeName(int32_t type, bool set, int32_t id) {
  if (id == kVmcAttributeOrder) {
    return "order";
  }
  const TypeInfo* info = TypeOf(type);
  if (info == nullptr) {
    return "";
  }
  const std::vector<const char*>& names = set ? info->set : info->get;
  return id >= 0 && id < static_cast<int32_t>(names.size()) && names[id] != nullptr ? names[id]
                                                                                    : "";
}

int32_t VmcAttributeFind(int32_t type, bool set, const std::string& name) {
  if (SameWord(name, "order")) {
    return kVmcAttributeOrder;
  }
  const TypeInfo* info = TypeOf(type);
  if (info == nullptr) {
    return -1;
  }
  const std::vector<const char*>& names = set ? info->set : info->get;
  for (size_t id = 0; id < names.size(); ++id) {
    if (names[id] != nullptr && SameWord(name, names[id])) {
      return static_cast<int32_t>(id);
    }
  }
  return -1;
}

bool VmcAttributeHasItem(int32_t type, bool set, int32_t id) {
  if (type != kVmcList) {
    return false;
  }
  return set ? (id == 5 || id == 15 || id == 16) : (id == 5 || id == 20 || id == 21);
}

const VmcInstruction* VmcInstructionOf(uint8_t opcode) {
  for (const VmcInstruction& instruction : kInstructions) {
    if (instruction.opcode == opcode) {
      return &instruction;
    }
  }
  return nullptr;
}

const VmcInstruction* VmcInstructionFind(const std::string& mnemonic) {
  for (const VmcInstruction& instruction : kInstructions) {
    if (SameWord(mnemonic, instruction.mnemonic)) {
      return &instruction;
    }
  }
  return nullptr;
}

uint8_t VmcShapeFlags(VmcShape shape) {
  switch (shape) {
    case VmcShape::kA:
    case VmcShape::kSet:
      return kVmcFlagA;
    case VmcShape::kAB:
    case VmcShape::kABTarget:
      return kVmcFlagA | kVmcFlagB;
    default:
      return 0;
  }
}

bool VmcIsIdentifier(const std::string& text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  return std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::string VmcUpper(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return upper;
}
