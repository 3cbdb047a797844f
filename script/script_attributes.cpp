// Object attributes as byte code reads and writes them: one get and one set
// per object type, by attribute id. A set converts the value to the
// attribute's type and keeps the object's drawables in step (position,
// colour, frame, wrapped text); attribute 255 is every object's order.
#include <algorithm>

#include "framework/font/font.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

namespace {

constexpr int32_t kOrderAttribute = 255;
// A list item index a set may grow a list to: a script setting item
// 2,000,000,000 would otherwise ask for a hundred gigabytes at once.
constexpr int32_t kListMaxItems = 65536;

const std::string kInvalidFrame =
    " - Script attempted to set invalid frame number.  Clamping to first frame";

// --- Values ------------------------------------------------------------------------------

bool Give(Parameter& out, Parameter value) {
  out = std::move(value);
  return true;
}
bool GiveInt(Parameter& out, int32_t value) {
  return Give(out, ScriptIntValue(value));
}
bool GiveBool(Parameter& out, uint8_t value) {
  return Give(out, ScriptBoolValue(value != 0));
}
bool GiveText(Parameter& out, const std::string& value) {
  return Give(out, ScriptStringValue(value));
}

uint8_t ToFlag(const Parameter& value) {
  return ScriptToBool(value) ? 1 : 0;
}

// Scene and model positions: thousandths in byte code, units in the record.
int32_t Thousandths(float value) {
  return ScriptRound(static_cast<double>(value) * 1000.0);
}
float FromThousandths(int32_t value) {
  return static_cast<float>(value / 1000.0);
}

// --- Shared steps ---------------------------------------------------------------------------

// Makes `frame` the current frame when the set has it; otherwise frame 1
// with the clamp message, width and height staying as they were. The message
// is built only when it is logged: scripts set frames every frame.
template <typename Message>
void SelectFrame(FrameSet& set, int32_t& current, int32_t frame, Message message) {
  if (ScriptFrameSetSize(set, frame)) {
    current = frame;
  } else {
    current = 1;
    LogError(message());
  }
}

void Rewrap(int32_t font, int32_t wrapWidth, const std::string& text,
            std::vector<std::string>& lines) {
  if (wrapWidth > 0) {
    FontWrap(font, wrapWidth, text, lines);
  }
}

void MoveModel(Model* model, int32_t& left, int32_t& top, int32_t newLeft, int32_t newTop) {
  ModelMove(model, static_cast<float>(static_cast<int64_t>(newLeft) - left),
            static_cast<float>(static_cast<int64_t>(newTop) - top), 0.0f);
  left = newLeft;
  top = newTop;
}

void SetVertexX(Model* model, int32_t vertex, float x) {
  const ModelVertex old = ModelVertexGet(model, vertex);
  ModelVertexSet(model, vertex, x, old.y, old.z);
}
void SetVertexY(Model* model, int32_t vertex, float y) {
  const ModelVertex old = ModelVertexGet(model, vertex);
  ModelVertexSet(model, vertex, old.x, y, old.z);
}

void SetOrder(Script& script, int32_t object, int32_t order) {
  const auto update = [object, order](std::vector<OrderedObject>& list) {
    bool found = false;
    for (OrderedObject& entry : list) {
      if (entry.object == object) {
        entry.order = order;
        found = true;
      }
    }
    if (found) {
      ScriptSortByOrder(list);
    }
  };
  script.objects[static_cast<size_t>(object)].order = order;
  update(script.drawOrder);
  for (ObjEntry& entry : script.objects) {
    if (entry.type == kObjCamera) {
      update(entry.camera.members);
    }
  }
}

// --- Button -----------------------------------------------------------------------------------

bool ButtonGet(const ObjButton& button, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, button.frames.left);
    case 1:
      return GiveInt(out, button.frames.top);
    case 2:
      return GiveInt(out, button.frame);
    case 3:
      return GiveBool(out, button.visible);
    case 4:
      return GiveBool(out, button.enabled);
    case 5:
      return GiveInt(out, button.frames.height);
    case 6:
      return GiveInt(out, button.frames.originLeft);
    case 7:
      return GiveInt(out, button.frames.originTop);
    case 8:
      return GiveText(out, button.text);
    case 9:
      return GiveInt(out, button.color);
    case 10:
      return GiveInt(out, button.wrapWidth);
    default:
      return false;
  }
}

bool ButtonSet(ObjButton& button, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      ScriptFrameSetMoveTo(button.frames, ScriptToInt(value), button.frames.top);
      return true;
    case 1:
      ScriptFrameSetMoveTo(button.frames, button.frames.left, ScriptToInt(value));
      return true;
    case 2:
      SelectFrame(button.frames, button.frame, ScriptToInt(value),
                  [] { return "ScriptCodeObjectButtonAttributeSet" + kInvalidFrame + "."; });
      return true;
    case 3:
      button.visible = ToFlag(value);
      return true;
    case 4:
      button.enabled = ToFlag(value);
      return true;
    case 5:
      button.text = ScriptToString(value);
      Rewrap(button.font, button.wrapWidth, button.text, button.wrappedLines);
      return true;
    case 6:
      button.color = ScriptToInt(value);
      return true;
    case 7:
      button.wrapWidth = ScriptToInt(value);
      Rewrap(button.font, button.wrapWidth, button.text, button.wrappedLines);
      return true;
    default:
      return false;
  }
}

// --- Color ------------------------------------------------------------------------------------

bool ColorGet(const ObjColor& color, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, color.left);
    case 1:
      return GiveInt(out, color.top);
    case 2:
      return GiveInt(out, color.color);
    case 3:
      return GiveInt(out, color.alpha);
    case 4:
      return GiveBool(out, color.visible);
    case 5:
      return GiveBool(out, color.enabled);
    case 6:
      return GiveInt(out, color.width);
    case 7:
      return GiveInt(out, color.height);
    default:
      return false;
  }
}

bool ColorSet(ObjColor& color, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      MoveModel(color.model, color.left, color.top, ScriptToInt(value), color.top);
      return true;
    case 1:
      MoveModel(color.model, color.left, color.top, color.left, ScriptToInt(value));
      return true;
    case 2:
    case 3:
      (id == 2 ? color.color : color.alpha) = ScriptToInt(value);
      ScriptModelColor(color.model, color.color, color.alpha);
      return true;
    case 4:
      color.visible = ToFlag(value);
      return true;
    case 5:
      color.enabled = ToFlag(value);
      return true;
    case 6:
      color.width = ScriptToInt(value);
      SetVertexX(color.model, 2, static_cast<float>(color.width));
      SetVertexX(color.model, 3, static_cast<float>(color.width));
      ModelCompile(color.model);
      return true;
    case 7:
      color.height = ScriptToInt(value);
      SetVertexY(color.model, 1, static_cast<float>(color.height));
      SetVertexY(color.model, 2, static_cast<float>(color.height));
      ModelCompile(color.model);
      return true;
    default:
      return false;
  }
}

// --- Display ----------------------------------------------------------------------------------

bool DisplayGet(const ObjDisplay& display, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, display.width);
    case 1:
      return GiveInt(out, display.height);
    case 2:
      return GiveText(out, display.viewMode == 0   ? "Fill"
                           : display.viewMode == 1 ? "BestFit"
                                                   : "undefined");
    default:
      return false;
  }
}

bool DisplaySet(ObjDisplay& display, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      display.width = ScriptToInt(value);
      return true;
    case 1:
      display.height = ScriptToInt(value);
      return true;
    case 2: {
      const std::string mode = UtilitiesUpperCase(ScriptToString(value));
      if (mode == "FILL") {
        display.viewMode = 0;
      } else if (mode == "BESTFIT") {
        display.viewMode = 1;
      }
      return true;
    }
    default:
      return false;
  }
}

// --- Image ------------------------------------------------------------------------------------

bool ImageGet(const ObjImage& image, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, image.frames.left);
    case 1:
      return GiveInt(out, image.frames.top);
    case 2:
      return GiveInt(out, image.rotation);
    case 3:
      return GiveInt(out, image.frame);
    case 4:
      return GiveBool(out, image.visible);
    case 5:
      return GiveInt(out, image.alpha);
    case 6:
      return GiveInt(out, image.frames.width);
    case 7:
      return GiveInt(out, image.frames.height);
    case 8:
      return GiveInt(out, static_cast<int32_t>(image.frames.frames.size()));
    case 9:
      return GiveInt(out, image.color);
    default:
      return false;
  }
}

bool ImageSet(ObjEntry& object, int32_t id, const Parameter& value) {
  ObjImage& image = object.image;
  switch (id) {
    case 0:
      ScriptFrameSetMoveTo(image.frames, ScriptToInt(value), image.frames.top);
      return true;
    case 1:
      ScriptFrameSetMoveTo(image.frames, image.frames.left, ScriptToInt(value));
      return true;
    case 2: {
      const int32_t rotation = ScriptToInt(value);
      const auto change = static_cast<float>(static_cast<int64_t>(rotation) - image.rotation);
      for (Frame& frame : image.frames.frames) {
        for (Model* model : frame.models) {
          ModelRotate(model, change);
        }
      }
      image.rotation = rotation;
      return true;
    }
    case 3:
      SelectFrame(image.frames, image.frame, ScriptToInt(value), [&object] {
        return "ScriptCodeObjectImageAttributeSet" + kInvalidFrame + " on object \"" + object.name +
               "\".";
      });
      return true;
    case 4:
      image.visible = ToFlag(value);
      return true;
    case 5:
      image.alpha = ScriptToInt(value);
      ScriptFrameSetColor(image.frames, image.color, image.alpha);
      return true;
    case 6: {
      const int32_t color = ScriptToInt(value);
      if (color != image.color) {
        image.color = color;
        ScriptFrameSetColor(image.frames, image.color, image.alpha);
      }
      return true;
    }
    default:
      return false;
  }
}

// --- Label ------------------------------------------------------------------------------------

// One line is as high as the font; more lines add the line offset between them.
int32_t LabelTextHeight(const ObjLabel& label) {
  const auto lines = static_cast<int64_t>(label.wrappedLines.size());
  const int64_t lineHeight = FontGetHeight(label.font);
  if (lines < 2) {
    return static_cast<int32_t>(lineHeight);
  }
  return ScriptRound(static_cast<double>(lines * lineHeight + (lines - 1) * label.wrapLineOffset));
}

int32_t LabelTextWidth(const ObjLabel& label) {
  if (label.wrappedLines.size() < 2) {
    return FontTextWidth(label.font, label.text);
  }
  int32_t widest = 0;
  for (const std::string& line : label.wrappedLines) {
    widest = std::max(widest, FontTextWidth(label.font, line));
  }
  return widest;
}

bool LabelGet(const ObjLabel& label, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, label.left);
    case 1:
      return GiveInt(out, label.top);
    case 2:
      return GiveInt(out, label.color);
    case 3:
      return GiveText(out, label.text);
    case 4:
      return GiveBool(out, label.visible);
    case 5:
      return GiveInt(out, label.wrapWidth);
    case 6:
      return GiveInt(out, label.wrapLineOffset);
    case 7:
      return GiveInt(out, label.alpha);
    case 8:
      return GiveInt(out, label.wrapHeight);
    case 9:
      return GiveInt(out, label.firstLine);
    case 10:
      return GiveInt(out, static_cast<int32_t>(label.wrappedLines.size()));
    case 11:
      return GiveInt(out, LabelTextHeight(label));
    case 12:
      return GiveInt(out, LabelTextWidth(label));
    default:
      return false;
  }
}

bool LabelSet(ObjLabel& label, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      label.left = ScriptToInt(value);
      return true;
    case 1:
      label.top = ScriptToInt(value);
      return true;
    case 2:
      label.color = ScriptToInt(value);
      return true;
    case 3:
      label.text = ScriptToString(value);
      Rewrap(label.font, label.wrapWidth, label.text, label.wrappedLines);
      return true;
    case 4:
      label.visible = ToFlag(value);
      return true;
    case 5:
      label.wrapWidth = ScriptToInt(value);
      Rewrap(label.font, label.wrapWidth, label.text, label.wrappedLines);
      return true;
    case 6:
      label.wrapLineOffset = ScriptToInt(value);
      return true;
    case 7:
      label.alpha = static_cast<uint8_t>(ScriptToInt(value));
      return true;
    case 8:
      label.wrapHeight = ScriptToInt(value);
      return true;
    case 9:
      label.firstLine = ScriptToInt(value);
      return true;
    default:
      return false;
  }
}

// --- List -------------------------------------------------------------------------------------

const std::string kListSet = "ScriptCodeObjectListAttributeSet";

bool GiveItem(Parameter& out, const std::vector<Parameter>& items, int32_t index) {
  return index >= 0 && index < static_cast<int64_t>(items.size()) &&
         Give(out, items[static_cast<size_t>(index)]);
}

// Stores the value as it is, growing the items with `fill` up to the index.
bool SetItem(std::vector<Parameter>& items, int32_t index, const Parameter& fill,
             const Parameter& value) {
  if (index < 0 || index >= kListMaxItems) {
    return false;
  }
  if (static_cast<size_t>(index) >= items.size()) {
    items.resize(static_cast<size_t>(index) + 1, fill);
  }
  items[static_cast<size_t>(index)] = value;
  return true;
}

// frameSelected and frameMouseOver name a cell frame from 1; any other number becomes 1.
void SetCellFrame(const ObjList& list, int32_t& field, int32_t frame, const std::string& what) {
  if (frame >= 1 && frame <= static_cast<int64_t>(list.cells.frames.size())) {
    field = frame;
  } else {
    field = 1;
    LogError(kListSet + " - Script attempted to set invalid " + what +
             " number.  Clamping to first frame.");
  }
}

bool ListGet(const ObjList& list, int32_t id, int32_t item, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, list.cells.left);
    case 1:
      return GiveInt(out, list.cells.top);
    case 2:
      return GiveInt(out, list.color);
    case 3:
      return GiveInt(out, list.frame);
    case 4:
      return GiveInt(out, list.cellCount);
    case 5:
      return GiveItem(out, list.itemTexts, item);
    case 6:
      return GiveInt(out, list.selectedIndex);
    case 7:
      return GiveInt(out, list.firstItem);
    case 8:
      return GiveBool(out, list.visible);
    case 9:
      return GiveBool(out, list.enabled);
    case 10:
      return GiveInt(out, list.frameSelected);
    case 11:
      return GiveInt(out, list.frameMouseOver);
    case 12:
      return GiveInt(out, list.cells.height);
    case 13:
      return GiveInt(out, list.cells.width);
    case 14:
      return GiveInt(out, list.colorSelected);
    case 15:
      return GiveText(out, list.kind);
    case 16:
      return GiveText(out, list.clickedLabel);
    case 17:
      return GiveInt(out, list.textOffsetX);
    case 18:
      return GiveInt(out, list.textOffsetY);
    case 19:
      return GiveInt(out, list.textWidth);
    case 20:
      return GiveItem(out, list.itemFrames, item);
    case 21:
      return GiveItem(out, list.itemValues, item);
    case 22:
      return GiveInt(out, list.textMode);
    case 23:
      return GiveInt(out, list.frameColor);
    case 24:
      return GiveInt(out,
                     static_cast<int32_t>(std::max(
                         {list.itemTexts.size(), list.itemFrames.size(), list.itemValues.size()})));
    default:
      return false;
  }
}

bool ListSet(ObjList& list, int32_t id, int32_t item, const Parameter& value) {
  switch (id) {
    case 0:
    case 1: {
      const int32_t left = id == 0 ? ScriptToInt(value) : list.cells.left;
      const int32_t top = id == 1 ? ScriptToInt(value) : list.cells.top;
      ScriptFrameSetMoveTo(list.cells, left, top);
      ScriptFrameSetMoveTo(list.overlays, left, top);
      return true;
    }
    case 2:
      list.color = ScriptToInt(value);
      return true;
    case 3:
      SelectFrame(list.cells, list.frame, ScriptToInt(value),
                  [] { return kListSet + kInvalidFrame + "."; });
      return true;
    case 4:
      list.cellCount = ScriptToInt(value);
      return true;
    case 5:
      return SetItem(list.itemTexts, item, ScriptStringValue({}), value);
    case 6:
      list.selectedIndex = ScriptToInt(value);
      return true;
    case 7:
      list.firstItem = std::max(ScriptToInt(value), 0);
      return true;
    case 8:
      list.visible = ToFlag(value);
      return true;
    case 9:
      list.enabled = ToFlag(value);
      return true;
    case 10:
      list.colorSelected = ScriptToInt(value);
      return true;
    case 11: {
      const std::string kind = UtilitiesUpperCase(ScriptToString(value));
      if (kind == "HORIZONTAL" || kind == "VERTICAL") {
        list.kind = kind;
      }
      return true;
    }
    case 12:
      list.textOffsetX = ScriptToInt(value);
      return true;
    case 13:
      list.textOffsetY = ScriptToInt(value);
      return true;
    case 14:
      list.textWidth = ScriptToInt(value);
      return true;
    case 15:
      return SetItem(list.itemFrames, item, ScriptIntValue(-1), value);
    case 16:
      return SetItem(list.itemValues, item, ScriptIntValue(0), value);
    case 17: {
      const int32_t mode = ScriptToInt(value);
      if (mode >= 0 && mode <= 3) {
        list.textMode = static_cast<uint8_t>(mode);
      } else {
        LogError(kListSet + " - Invalid text mode " + std::to_string(mode) + " ignored on list.");
      }
      return true;
    }
    case 18:
      SetCellFrame(list, list.frameSelected, ScriptToInt(value), "frameSelected");
      return true;
    case 19:
      SetCellFrame(list, list.frameMouseOver, ScriptToInt(value), "frameMouseOver");
      return true;
    case 20:
      list.frameColor = ScriptToInt(value);
      ScriptFrameSetColor(list.cells, list.frameColor, 255);
      return true;
    default:
      return false;
  }
}

// --- Pointer ----------------------------------------------------------------------------------

// The position is the pointer device's, in display coordinates.
bool PointerGet(const Script& script, const ObjPointer& pointer, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveBool(out, pointer.visible);
    case 1:
      return GiveInt(out, pointer.frame);
    case 2:
      return GiveInt(out, ScriptPointerToDisplay(script.id).x);
    case 3:
      return GiveInt(out, ScriptPointerToDisplay(script.id).y);
    case 4:
      return GiveBool(out, pointer.fadeOnIdle);
    case 5:
      return GiveInt(out, pointer.fadeDelay);
    case 6:
      return GiveInt(out, pointer.fadeDuration);
    case 7:
      return GiveInt(out, pointer.clickX);
    case 8:
      return GiveInt(out, pointer.clickY);
    default:
      return false;
  }
}

// A new hot spot takes effect at once.
void PointerReplace(Script& script) {
  const ScriptPointerPosition at = ScriptPointerToDisplay(script.id);
  ScriptPointerPlace(script, at.display, at.rawX, at.rawY);
}

bool PointerSet(Script& script, ObjPointer& pointer, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      pointer.visible = ToFlag(value);
      return true;
    case 1:
      SelectFrame(pointer.frames, pointer.frame, ScriptToInt(value),
                  [] { return "ScriptCodeObjectPointerAttributeSet" + kInvalidFrame + "."; });
      return true;
    case 2:
      pointer.fadeOnIdle = ToFlag(value);
      // A pointer that stops fading shows again at once.
      if (pointer.fadeOnIdle == 0 && pointer.fadeAlpha != 255) {
        pointer.fadeAlpha = 255;
        ScriptFrameSetColor(pointer.frames, 0xFFFFFF, 255);
      }
      return true;
    case 3:
      pointer.fadeDelay = ScriptToInt(value);
      return true;
    case 4:
      pointer.fadeDuration = ScriptToInt(value);
      return true;
    case 5:
      pointer.clickX = ScriptToInt(value);
      PointerReplace(script);
      return true;
    case 6:
      pointer.clickY = ScriptToInt(value);
      PointerReplace(script);
      return true;
    default:
      return false;
  }
}

// --- Slider -----------------------------------------------------------------------------------

bool SliderGet(const ObjSlider& slider, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, slider.track.left);
    case 1:
      return GiveInt(out, slider.track.top);
    case 2:
      return GiveInt(out, slider.frameRange);
    case 3:
      return GiveInt(out, slider.frameSlider);
    case 4:
      return GiveInt(out, slider.minValue);
    case 5:
      return GiveInt(out, slider.maxValue);
    case 6:
      return GiveInt(out, slider.value);
    case 7:
      return GiveBool(out, slider.visible);
    case 8:
      return GiveBool(out, slider.enabled);
    case 9:
      return GiveInt(out, slider.track.height);
    case 10:
      return GiveInt(out, slider.pageType);
    case 11:
      return GiveInt(out, slider.pageSize);
    default:
      return false;
  }
}

bool SliderSet(ObjSlider& slider, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
    case 1: {
      const int32_t left = id == 0 ? ScriptToInt(value) : slider.track.left;
      const int32_t top = id == 1 ? ScriptToInt(value) : slider.track.top;
      ScriptFrameSetMoveTo(slider.track, left, top);
      ScriptFrameSetMoveTo(slider.thumb, left, top);
      return true;
    }
    case 2:
      SelectFrame(slider.track, slider.frameRange, ScriptToInt(value), [] {
        return "ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame range "
               "number.  Clamping to first frame.";
      });
      return true;
    case 3:
      SelectFrame(slider.thumb, slider.frameSlider, ScriptToInt(value), [] {
        return "ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame slider "
               "number.  Clamping to first frame.";
      });
      return true;
    case 4:
      slider.minValue = std::min(ScriptToInt(value), slider.maxValue);
      slider.value = std::max(slider.value, slider.minValue);
      ScriptSliderPlaceThumb(slider);
      return true;
    case 5:
      slider.maxValue = std::max(ScriptToInt(value), slider.minValue);
      slider.value = std::min(slider.value, slider.maxValue);
      ScriptSliderPlaceThumb(slider);
      return true;
    case 6:
      // Not std::clamp: a file may give a minimum above the maximum.
      slider.value = std::max(std::min(ScriptToInt(value), slider.maxValue), slider.minValue);
      ScriptSliderPlaceThumb(slider);
      return true;
    case 7:
      slider.visible = ToFlag(value);
      return true;
    case 8:
      slider.enabled = ToFlag(value);
      return true;
    case 9:
      slider.pageType = ScriptToInt(value) == 1 ? 1 : 0;
      return true;
    case 10:
      slider.pageSize = ScriptToInt(value);
      return true;
    default:
      return false;
  }
}

// --- Mat, AppObj, Camera ------------------------------------------------------------------

bool MatGet(const ObjMat& mat, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, mat.left);
    case 1:
      return GiveInt(out, mat.top);
    case 2:
      return GiveBool(out, mat.enabled);
    case 3:
      return GiveText(out, mat.fileName);
    default:
      return false;
  }
}

bool MatSet(ObjMat& mat, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      mat.left = ScriptToInt(value);
      return true;
    case 1:
      mat.top = ScriptToInt(value);
      return true;
    case 2:
      mat.enabled = ToFlag(value);
      return true;
    case 3:
      mat.fileName = ScriptToString(value);
      MatOpen(mat.fileName, mat.mat);
      return true;
    default:
      return false;
  }
}

bool AppObjGet(const ObjAppObj& appObj, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveBool(out, appObj.enabled);
    case 1:
      return GiveBool(out, appObj.visible);
    default:
      return false;
  }
}

bool AppObjSet(ObjAppObj& appObj, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      appObj.enabled = ToFlag(value);
      return true;
    case 1:
      appObj.visible = ToFlag(value);
      return true;
    default:
      return false;
  }
}

// The camera's whole numbers by id 1-6 (id 0 is the enabled flag).
int32_t* CameraNumber(ObjCamera& camera, int32_t id) {
  switch (id) {
    case 1:
      return &camera.viewLeft;
    case 2:
      return &camera.viewTop;
    case 3:
      return &camera.viewWidth;
    case 4:
      return &camera.viewHeight;
    case 5:
      return &camera.cameraX;
    case 6:
      return &camera.cameraY;
    default:
      return nullptr;
  }
}

bool CameraGet(ObjCamera& camera, int32_t id, Parameter& out) {
  if (id == 0) {
    return GiveBool(out, camera.enabled);
  }
  const int32_t* number = CameraNumber(camera, id);
  return number != nullptr && GiveInt(out, *number);
}

bool CameraSet(ObjCamera& camera, int32_t id, const Parameter& value) {
  if (id == 0) {
    camera.enabled = ToFlag(value);
    return true;
  }
  int32_t* number = CameraNumber(camera, id);
  if (number == nullptr) {
    return false;
  }
  *number = ScriptToInt(value);
  return true;
}

// --- Atex -------------------------------------------------------------------------------------

// The texture's size, 1 for a side that is 0, for turning pixels into coordinates.
ModelSize AtexScale(const ObjAtex& atex) {
  ModelSize size = ModelTextureSize(atex.textureRecord);
  size.width = size.width == 0 ? 1 : size.width;
  size.height = size.height == 0 ? 1 : size.height;
  return size;
}

bool AtexGet(const ObjAtex& atex, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveInt(out, atex.left);
    case 1:
      return GiveInt(out, atex.top);
    case 2:
      return GiveInt(out, atex.alpha);
    case 3:
      return GiveBool(out, atex.visible);
    case 4:
      return GiveInt(out, atex.uvelocity);
    case 5:
      return GiveInt(out, atex.vvelocity);
    case 6:
      return GiveInt(out, atex.uScale);
    case 7:
      return GiveInt(out, atex.vScale);
    case 8:
    case 9: {
      const ModelSize size = ModelTextureSize(atex.textureRecord);
      const ModelTexCoord first = ModelTexCoordGet(atex.model, 0);
      return GiveInt(out, id == 8 ? ScriptRound(static_cast<double>(size.width) * first.u)
                                  : ScriptRound(static_cast<double>(size.height) * first.v));
    }
    default:
      return false;
  }
}

float PixelsToCoordinate(const Parameter& pixels, int32_t size) {
  return static_cast<float>(static_cast<double>(ScriptToInt(pixels)) / size);
}

// A new scale multiplies the coordinates by new / old. A value not above 0 is
// ignored; an old scale not above 0 (only from a file) has no ratio, so the
// coordinates stay and the new scale is kept.
void SetAtexScale(ObjAtex& atex, int32_t& scale, int32_t value, bool horizontal) {
  if (value <= 0) {
    return;
  }
  if (scale > 0) {
    const auto ratio = static_cast<float>(static_cast<double>(value) / scale);
    ModelTexCoordScale(atex.model, horizontal ? ratio : 1.0f, horizontal ? 1.0f : ratio);
  }
  scale = value;
}

bool AtexSet(ObjAtex& atex, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      MoveModel(atex.model, atex.left, atex.top, ScriptToInt(value), atex.top);
      return true;
    case 1:
      MoveModel(atex.model, atex.left, atex.top, atex.left, ScriptToInt(value));
      return true;
    case 2:
      atex.alpha = ScriptToInt(value);
      ModelSetColor(atex.model, 255, 255, 255, static_cast<uint8_t>(atex.alpha));
      return true;
    case 3:
      atex.visible = ToFlag(value);
      return true;
    case 4:
      atex.uvelocity = ScriptToInt(value);
      return true;
    case 5:
      atex.vvelocity = ScriptToInt(value);
      return true;
    case 6:
      SetAtexScale(atex, atex.uScale, ScriptToInt(value), true);
      return true;
    case 7:
      SetAtexScale(atex, atex.vScale, ScriptToInt(value), false);
      return true;
    case 8:
      ModelTexCoordOffset(atex.model, PixelsToCoordinate(value, AtexScale(atex).width), 0.0f);
      return true;
    case 9:
      ModelTexCoordOffset(atex.model, 0.0f, PixelsToCoordinate(value, AtexScale(atex).height));
      return true;
    default:
      return false;
  }
}

// --- Scene and Model ----------------------------------------------------------------------

bool SceneGet(const ObjScene& scene, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveBool(out, scene.enabled);
    case 1:
      return GiveInt(out, Thousandths(scene.x));
    case 2:
      return GiveInt(out, Thousandths(scene.y));
    case 3:
      return GiveInt(out, Thousandths(scene.z));
    default:
      return false;
  }
}

bool SceneSet(ObjScene& scene, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      scene.enabled = ToFlag(value);
      return true;
    case 1:
      scene.x = FromThousandths(ScriptToInt(value));
      return true;
    case 2:
      scene.y = FromThousandths(ScriptToInt(value));
      return true;
    case 3:
      scene.z = FromThousandths(ScriptToInt(value));
      return true;
    default:
      return false;
  }
}

bool ModelGet(const ObjModel& model, int32_t id, Parameter& out) {
  switch (id) {
    case 0:
      return GiveBool(out, model.enabled);
    case 1:
      return GiveBool(out, model.visible);
    case 2:
      return GiveInt(out, Thousandths(model.x));
    case 3:
      return GiveInt(out, Thousandths(model.y));
    case 4:
      return GiveInt(out, Thousandths(model.z));
    case 5:
      return GiveInt(out, model.pitch);
    case 6:
      return GiveInt(out, model.yaw);
    case 7:
      return GiveInt(out, model.roll);
    default:
      return false;
  }
}

bool ModelSet(ObjModel& model, int32_t id, const Parameter& value) {
  switch (id) {
    case 0:
      model.enabled = ToFlag(value);
      return true;
    case 1:
      model.visible = ToFlag(value);
      return true;
    case 2:
      model.x = FromThousandths(ScriptToInt(value));
      return true;
    case 3:
      model.y = FromThousandths(ScriptToInt(value));
      return true;
    case 4:
      model.z = FromThousandths(ScriptToInt(value));
      return true;
    case 5:
      model.pitch = ScriptToInt(value);
      return true;
    case 6:
      model.yaw = ScriptToInt(value);
      return true;
    case 7:
      model.roll = ScriptToInt(value);
      return true;
    case 8:
    case 9:  // taken and ignored
      return true;
    default:
      return false;
  }
}

ObjEntry* FindObject(Script& script, int32_t object) {
  return object >= 0 && object < static_cast<int64_t>(script.objects.size())
             ? &script.objects[static_cast<size_t>(object)]
             : nullptr;
}

}  // namespace

bool ScriptAttributeHasIndex(int32_t type, int32_t attribute, bool set) {
  if (type != kObjList) {
    return false;
  }
  return set ? attribute == 5 || attribute == 15 || attribute == 16
             : attribute == 5 || attribute == 20 || attribute == 21;
}

bool ScriptObjectAttributeGet(Script& script, int32_t object, int32_t attribute, int32_t item,
                              Parameter& value) {
  ObjEntry* entry = FindObject(script, object);
  if (entry == nullptr) {
    return false;
  }
  if (attribute == kOrderAttribute) {
    return GiveInt(value, entry->order);
  }
  switch (entry->type) {
    case kObjButton:
      return ButtonGet(entry->button, attribute, value);
    case kObjColor:
      return ColorGet(entry->color, attribute, value);
    case kObjDisplay:
      return DisplayGet(entry->display, attribute, value);
    case kObjImage:
      return ImageGet(entry->image, attribute, value);
    case kObjLabel:
      return LabelGet(entry->label, attribute, value);
    case kObjList:
      return ListGet(entry->list, attribute, item, value);
    case kObjPointer:
      return PointerGet(script, entry->pointer, attribute, value);
    case kObjSlider:
      return SliderGet(entry->slider, attribute, value);
    case kObjMat:
      return MatGet(entry->mat, attribute, value);
    case kObjAtex:
      return AtexGet(entry->atex, attribute, value);
    case kObjAppObj:
      return AppObjGet(entry->appObj, attribute, value);
    case kObjCamera:
      return CameraGet(entry->camera, attribute, value);
    case kObjScene:
      return SceneGet(entry->scene, attribute, value);
    case kObjModel:
      return ModelGet(entry->model, attribute, value);
    default:  // Render and unknown types have only their order
      return false;
  }
}

bool ScriptObjectAttributeSet(Script& script, int32_t object, int32_t attribute, int32_t item,
                              const Parameter& value) {
  ObjEntry* entry = FindObject(script, object);
  if (entry == nullptr) {
    return false;
  }
  if (attribute == kOrderAttribute) {
    SetOrder(script, object, ScriptToInt(value));
    return true;
  }
  switch (entry->type) {
    case kObjButton:
      return ButtonSet(entry->button, attribute, value);
    case kObjColor:
      return ColorSet(entry->color, attribute, value);
    case kObjDisplay:
      return DisplaySet(entry->display, attribute, value);
    case kObjImage:
      return ImageSet(*entry, attribute, value);
    case kObjLabel:
      return LabelSet(entry->label, attribute, value);
    case kObjList:
      return ListSet(entry->list, attribute, item, value);
    case kObjPointer:
      return PointerSet(script, entry->pointer, attribute, value);
    case kObjSlider:
      return SliderSet(entry->slider, attribute, value);
    case kObjMat:
      return MatSet(entry->mat, attribute, value);
    case kObjAtex:
      return AtexSet(entry->atex, attribute, value);
    case kObjAppObj:
      return AppObjSet(entry->appObj, attribute, value);
    case kObjCamera:
      return CameraSet(entry->camera, attribute, value);
    case kObjScene:
      return SceneSet(entry->scene, attribute, value);
    case kObjModel:
      return ModelSet(entry->model, attribute, value);
    default:
      return false;
  }
}
