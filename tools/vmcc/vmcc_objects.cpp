// Object declarations: checks every attribute against the type's fields
// and fills the writer's records; and the table of built-in routines.
#include "tools/vmc/vmctext_internal.h"
#include "tools/vmcc/vmcc_gen.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return VmcUpper(a) == VmcUpper(b);
}

const Builtin kBuiltins[] = {
    {"random", 0, 1, 1, Type::kInt},
    {"time", 1, 0, 1, Type::kInt},
    {"musicVolume", 2, 0, 1, Type::kInt},
    {"setMusicVolume", 3, 1, 0, Type::kInt},
    {"isFullscreen", 4, 0, 1, Type::kBool},
    {"displayModeText", 5, 2, 1, Type::kString},
    {"displayModeIndex", 6, 1, 1, Type::kInt},
    {"soundVolume", 7, 0, 1, Type::kInt},
    {"setSoundVolume", 8, 1, 0, Type::kInt},
    {"bindKey", 9, 3, 0, Type::kInt},
    {"unbindAction", 10, 1, 0, Type::kInt},
    {"actionKey", 11, 2, 1, Type::kInt},
    {"controlSetAction", 12, 2, 1, Type::kInt},
    {"actionName", 13, 1, 1, Type::kString},
    {"mouseKey", 14, 1, 1, Type::kInt},
    {"keyAction", 15, 2, 1, Type::kInt},
    {"keyName", 16, 1, 1, Type::kString},
    {"controlSetFind", 17, 1, 1, Type::kInt},
    {"controlSetActionCount", 18, 1, 1, Type::kInt},
    {"flushKeys", 19, 0, 0, Type::kInt},
    {"nextKey", 20, 0, 1, Type::kInt},
    {"appVolume", 21, 0, 1, Type::kInt},
    {"setAppVolume", 22, 1, 0, Type::kInt},
    {"length", 23, 1, 1, Type::kInt},
    {"sendEvent", 24, 3, 0, Type::kInt},
    {"substring", 25, 3, 1, Type::kString},
    {"textWidth", 26, 3, 1, Type::kInt},
    {"stateGetBool", 27, 2, 1, Type::kBool},
    {"stateGetInt", 28, 2, 1, Type::kInt},
    {"stateGetString", 29, 2, 1, Type::kString},
    {"stateSetBool", 30, 3, 0, Type::kInt},
    {"stateSetInt", 31, 3, 0, Type::kInt},
    {"stateSetString", 32, 3, 0, Type::kInt},
    {"char", 33, 1, 1, Type::kString},
    {"mouseSwapped", 34, 0, 1, Type::kBool},
    {"voiceVolume", 35, 0, 1, Type::kInt},
    {"setVoiceVolume", 36, 1, 0, Type::kInt},
    {"joystickCount", 37, 0, 1, Type::kInt},
    {"contains", 38, 2, 1, Type::kBool},
    {"objectAt", 39, 2, 1, Type::kString},
    {"matLabel", 40, 3, 1, Type::kString},
    {"sqrt", 41, 1, 1, Type::kInt},
    {"lower", 42, 1, 1, Type::kString},
};

}  // namespace

const Builtin* FindBuiltin(const std::string& name) {
  for (const Builtin& builtin : kBuiltins) {
    if (name == builtin.name) {
      return &builtin;
    }
  }
  return nullptr;
}

Type AttributeType(int32_t type, const std::string& name) {
  static const char* const kBool[] = {"visible", "enabled", "fadeOnIdle"};
  static const char* const kString[] = {"text", "kind", "clickedLabel", "file", "itemTexts"};
  for (const char* word : kBool) {
    if (SameName(name, word)) {
      return Type::kBool;
    }
  }
  for (const char* word : kString) {
    if (SameName(name, word)) {
      return Type::kString;
    }
  }
  if (type == kVmcDisplay && SameName(name, "viewMode")) {
    return Type::kString;
  }
  return Type::kInt;
}

// --- Object declarations ----------------------------------------------------------------------

bool Generator::ObjectValue(const Expr& expr, Type type, Value& value) {
  if (!ConstEval(expr, value)) {
    return false;
  }
  if (value.type != type) {
    Error(expr.pos, std::string("expected ") + (type == Type::kInt ? "an " : "a ") +
                        TypeName(type) + " value, found " + TypeName(value.type));
    return false;
  }
  if (type == Type::kString && value.text.size() > 255) {
    Error(expr.pos, "text longer than 255 bytes cannot be stored in an object");
    return false;
  }
  return true;
}

void Generator::ObjectFrames(const ObjectItem& item, VmcFrameSet& frames) {
  Value value;
  if (item.blend && ObjectValue(*item.blend, Type::kBool, value)) {
    frames.blend = static_cast<uint8_t>(value.number);
  }
  if (item.memory && ObjectValue(*item.memory, Type::kBool, value)) {
    frames.memory = static_cast<uint8_t>(value.number);
  }
  for (const FrameDecl& decl : item.frames) {
    VmcFrame frame;
    for (const ExprPtr& image : decl.images) {
      if (ObjectValue(*image, Type::kString, value)) {
        frame.images.push_back(value.text);
      }
    }
    if (decl.mat && ObjectValue(*decl.mat, Type::kString, value)) {
      frame.mat = value.text;
    }
    frames.frames.push_back(std::move(frame));
  }
}

void Generator::ObjectNames(const ObjectItem& item, std::vector<std::string>& names) {
  for (const ExprPtr& expr : item.values) {
    if (expr->kind == ExprKind::kName && objects_.count(VmcUpper(expr->text)) != 0) {
      names.push_back(VmcUpper(expr->text));
      continue;
    }
    if (expr->kind == ExprKind::kName && consts_.count(expr->text) == 0) {
      Error(expr->pos, "unknown object '" + expr->text + "'");
      continue;
    }
    Value value;
    if (ObjectValue(*expr, Type::kString, value)) {
      names.push_back(VmcUpper(value.text));
    }
  }
}

void Generator::ObjectItemValue(const ObjectItem& item, const VmcField& field, VmcObject& object) {
  const VmcFieldRef ref = field.at(object);
  if (field.kind == VmcFieldKind::kFrames) {
    if (!item.isFrameSet) {
      Error(item.pos,
            "'" + item.name + "' is a frame set: write " + item.name + " { frame \"image.tga\"; }");
    } else {
      ObjectFrames(item, *std::get<VmcFrameSet*>(ref));
    }
    return;
  }
  if (item.isFrameSet) {
    Error(item.pos, "'" + item.name + "' is not a frame set");
    return;
  }
  if (field.kind == VmcFieldKind::kNames) {
    ObjectNames(item, *std::get<std::vector<std::string>*>(ref));
    return;
  }
  if (field.kind == VmcFieldKind::kTriangles) {
    if (item.values.size() != 12) {
      Error(item.pos, "a triangle takes 12 numbers (x1, y1, u1, v1, ... v3), found " +
                          std::to_string(item.values.size()));
      return;
    }
    VmcTriangle triangle{};
    Value value;
    for (size_t i = 0; i < 12; ++i) {
      if (ObjectValue(*item.values[i], Type::kInt, value)) {
        triangle[i] = value.number;
      }
    }
    std::get<std::vector<VmcTriangle>*>(ref)->push_back(triangle);
    return;
  }
  if (item.values.size() != 1) {
    Error(item.pos, "'" + item.name + "' takes one value");
    return;
  }
  const Type type = field.kind == VmcFieldKind::kText   ? Type::kString
                    : field.kind == VmcFieldKind::kFlag ? Type::kBool
                                                        : Type::kInt;
  Value value;
  if (!ObjectValue(*item.values[0], type, value)) {
    return;
  }
  if (field.kind == VmcFieldKind::kText) {
    *std::get<std::string*>(ref) = value.text;
  } else if (field.kind == VmcFieldKind::kInt) {
    *std::get<int32_t*>(ref) = value.number;
  } else if (field.kind == VmcFieldKind::kByte && (value.number < 0 || value.number > 255)) {
    Error(item.values[0]->pos, "'" + item.name + "' must be from 0 to 255");
  } else {
    *std::get<uint8_t*>(ref) = static_cast<uint8_t>(value.number);
  }
}

void Generator::DeclareObject(const ObjectDecl& decl) {
  const int32_t type = VmcTypeFind(decl.typeName);
  if (type < 0) {
    Error(decl.pos, "unknown object type '" + decl.typeName + "'");
    return;
  }
  const std::string upper = VmcUpper(decl.name);
  if (objects_.count(upper) != 0) {
    Error(decl.pos, "the object '" + decl.name + "' is declared twice");
    return;
  }
  if (result_.script.objects.size() >= 65535) {
    Error(decl.pos, "more than 65,535 objects");
    return;
  }
  if (decl.name.size() > 255) {
    Error(decl.pos, "object name longer than 255 bytes");
    return;
  }
  objects_[upper] = {static_cast<uint16_t>(result_.script.objects.size()), type, decl.name};
  VmcObject object = VmcObjectNew(type, upper);
  object.order = 0;
  for (const ObjectItem& item : decl.items) {
    Value value;
    if (item.name == "display" || item.name == "order") {
      if (item.values.size() != 1 || !ObjectValue(*item.values[0], Type::kInt, value)) {
        if (item.values.size() != 1) {
          Error(item.pos, "'" + item.name + "' takes one value");
        }
        continue;
      }
      if (item.name == "order") {
        object.order = value.number;
      } else if (value.number < 0 || value.number > 255) {
        Error(item.values[0]->pos, "'display' must be from 0 to 255");
      } else {
        object.display = static_cast<uint8_t>(value.number);
      }
      continue;
    }
    const VmcField* found = nullptr;
    for (const VmcField& field : VmcFieldsOf(type)) {
      if (SameName(item.name, field.name)) {
        found = &field;
      }
    }
    if (found == nullptr) {
      Error(item.pos,
            "unknown attribute '" + item.name + "' for a " + VmcTypeName(type) + " object");
      continue;
    }
    ObjectItemValue(item, *found, object);
  }
  result_.script.objects.push_back(std::move(object));
}
