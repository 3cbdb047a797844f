// Drawing a script's objects into one display: how the script's logical
// screen lies in the window (Fill stretches it over the whole window,
// BestFit keeps its aspect ratio and centres it between bars), the draw
// order, the drawing of each object type, cameras with their own viewport
// and projection, scenes, and the pointer with its idle fading. Also where
// the script's pointer is in its display coordinates.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>

#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "script/script_internal.h"

namespace {

constexpr int32_t kViewFill = 0;
constexpr int32_t kViewBestFit = 1;
constexpr double kOrthoDepth = 500.0;
constexpr double kSceneFieldOfView = 45.0;  // degrees, vertical
constexpr double kSceneNear = 0.1;
constexpr double kSceneFar = 10000.0;

// Coordinates and sizes come from files as int32: their sums are taken in 64
// bits and held within the int32 range where they are handed on.
int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Text colour 0xAARRGGBB from a colour 0x00RRGGBB, whose top byte is ignored.
uint32_t TextColour(int32_t color, uint8_t alpha) {
  return static_cast<uint32_t>(alpha) << 24 | (static_cast<uint32_t>(color) & 0xFFFFFFu);
}

// --- Frames -----------------------------------------------------------------------------------

// Frame k (from 1) of the set; null when the set has no such frame.
const Frame* FrameAt(const FrameSet& set, int64_t k) {
  if (k < 1 || k > static_cast<int64_t>(set.frames.size())) {
    return nullptr;
  }
  return &set.frames[static_cast<size_t>(k - 1)];
}

void RenderFrame(const Frame& frame) {
  for (const Model* model : frame.models) {
    ModelRender(model);
  }
}

// Frames outside the set draw nothing.
void DrawFrame(const FrameSet& set, int32_t k) {
  if (const Frame* frame = FrameAt(set, k)) {
    RenderFrame(*frame);
  }
}

// Draws the frame's models moved by (dx, dy) and puts them back.
void DrawFrameMoved(const Frame& frame, int64_t dx, int64_t dy) {
  const auto x = static_cast<float>(dx);
  const auto y = static_cast<float>(dy);
  for (Model* model : frame.models) {
    ModelMove(model, x, y, 0.0f);
    ModelRender(model);
    ModelMove(model, -x, -y, 0.0f);
  }
}

// --- Buttons and labels ------------------------------------------------------------------------

// The wrapped lines in a box of the wrap width, centred on the button's
// frame; without a wrap width the text on one line across the frame. The
// block of lines is centred vertically.
void DrawButtonText(const ObjButton& button) {
  const FrameSet& set = button.frames;
  const bool wrapped = button.wrapWidth != 0;
  const std::span<const std::string> lines = wrapped
                                                 ? std::span<const std::string>(button.wrappedLines)
                                                 : std::span<const std::string>(&button.text, 1);
  const int64_t box = wrapped ? button.wrapWidth : set.width;
  const int64_t shift = wrapped ? (int64_t{set.width} - button.wrapWidth) / 2 : 0;
  const int64_t lineHeight = FontGetHeight(button.font);
  FontSetColour(button.font, TextColour(button.color, 255));
  int64_t y = set.top + (set.height - static_cast<int64_t>(lines.size()) * lineHeight) / 2;
  for (const std::string& line : lines) {
    const int64_t x = set.left + shift + (box - FontTextWidth(button.font, line)) / 2;
    FontDraw(button.font, Clamp32(x), Clamp32(y), line);
    y += lineHeight;
  }
}

void DrawButton(const ObjButton& button) {
  if (button.visible == 0) {
    return;
  }
  DrawFrame(button.frames, button.frame);
  if (button.font != 0) {
    DrawButtonText(button);
  }
}

void DrawLabel(const ObjLabel& label) {
  if (label.visible == 0) {
    return;
  }
  FontSetColour(label.font, TextColour(label.color, label.alpha));
  if (label.wrapWidth != 0) {
    FontDrawLines(label.font, label.left, label.top, label.align, label.wrapHeight, label.wrapWidth,
                  label.firstLine, label.wrappedLines);
  } else {
    FontDraw(label.font, label.left, label.top, label.text);
  }
}

// --- Lists -------------------------------------------------------------------------------------

// The cell frame of an item: selected, else pointed at (when the list has a
// mouse-over frame), else ordinary.
int32_t CellFrame(const ObjList& list, int64_t item) {
  if (item == list.selectedIndex) {
    return list.frameSelected;
  }
  if (item == list.pointedIndex && list.frameMouseOver > 0) {
    return list.frameMouseOver;
  }
  return list.frame;
}

// The item's overlay frame (0-based; -1 or any index outside the overlay
// set: none).
const Frame* OverlayFrame(const ObjList& list, int64_t item) {
  if (item < 0 || item >= static_cast<int64_t>(list.itemFrames.size())) {
    return nullptr;
  }
  const int64_t k = ScriptToInt(list.itemFrames[static_cast<size_t>(item)]);
  return FrameAt(list.overlays, k + 1);
}

// The item's text inside its cell, placed by the list's text mode.
void DrawCellText(const ObjList& list, int64_t item, int64_t dx, int64_t dy) {
  if (item < 0 || item >= static_cast<int64_t>(list.itemTexts.size())) {
    return;
  }
  const std::string text = ScriptToString(list.itemTexts[static_cast<size_t>(item)]);
  FontSetColour(list.font,
                TextColour(item == list.selectedIndex ? list.colorSelected : list.color, 255));
  const int64_t x = int64_t{list.cells.left} + list.textOffsetX + dx;
  const int64_t y = int64_t{list.cells.top} + list.textOffsetY + dy;
  const int64_t middle = y + (int64_t{list.cells.height} - FontGetHeight(list.font)) / 2;
  switch (list.textMode) {
    case 1: {  // centred in the text width, or in the rest of the cell
      const int64_t box =
          list.textWidth > 0 ? list.textWidth : int64_t{list.cells.width} - list.textOffsetX;
      FontDraw(list.font, Clamp32(x + (box - FontTextWidth(list.font, text)) / 2), Clamp32(middle),
               text);
      break;
    }
    case 3:  // wrapped in the text width
      FontDrawWrapped(list.font, Clamp32(x), Clamp32(y), list.textWidth, text);
      break;
    case 0:
    case 2:  // left-aligned, clipped to the text width
      FontDrawClipped(list.font, Clamp32(x), Clamp32(middle), list.textWidth, text);
      break;
    default:
      break;
  }
}

// Cell c shows item firstItem + c; cells lie side by side or stacked. A
// cell whose frame does not exist shows nothing. No cells for a count of 0
// or below.
void DrawList(const ObjList& list) {
  if (list.visible == 0) {
    return;
  }
  const bool horizontal = list.kind == "HORIZONTAL";
  for (int64_t cell = 0; cell < list.cellCount; ++cell) {
    const int64_t item = list.firstItem + cell;
    const int64_t dx = horizontal ? cell * list.cells.width : 0;
    const int64_t dy = horizontal ? 0 : cell * list.cells.height;
    const Frame* frame = FrameAt(list.cells, CellFrame(list, item));
    if (frame == nullptr) {
      continue;
    }
    DrawFrameMoved(*frame, dx, dy);
    if (const Frame* overlay = OverlayFrame(list, item)) {
      DrawFrameMoved(*overlay, dx, dy);
    }
    DrawCellText(list, item, dx, dy);
  }
}

// --- Sliders, render objects and application objects ----------------------------------------

// A slider without a range has no thumb to show.
void DrawSlider(const ObjSlider& slider) {
  if (slider.visible == 0) {
    return;
  }
  DrawFrame(slider.track, slider.frameRange);
  if (slider.minValue != slider.maxValue) {
    DrawFrame(slider.thumb, slider.frameSlider);
  }
}

// The callbacks may close the script: they get their own copies of the name
// and of the callback.
void DrawRenderObject(int32_t display, const Script& script, const ObjEntry& object) {
  ScriptAppRoutineRenderRun(script.id, object.render.appRoutineName, display,
                            std::string(object.name));
}

void DrawAppObj(const ObjEntry& object) {
  if (object.appObj.visible != 0 && object.appObj.render) {
    const ScriptAppObjRender render = object.appObj.render;
    render(std::string(object.name));
  }
}

// --- Cameras -----------------------------------------------------------------------------------

// A camera's view rectangle in window pixels: scaled as the picture is, and
// moved by the bars. In BestFit mode that is the mapping's scale; in Fill
// mode each axis is stretched as the whole picture is, so that the camera
// shows where its view rectangle lies on the stretched screen (where the
// pointer's display coordinates find it too).
struct CameraView {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t barX = 0;
  int32_t barY = 0;
};

CameraView CameraViewOf(const ObjCamera& camera, const DisplayMapping& mapping) {
  double scaleX = 1.0;
  double scaleY = 1.0;
  if (mapping.bestFit) {
    scaleX = mapping.scale;
    scaleY = mapping.scale;
  } else if (mapping.display != nullptr) {
    scaleX = static_cast<double>(mapping.drawnWidth) / mapping.display->display.width;
    scaleY = static_cast<double>(mapping.drawnHeight) / mapping.display->display.height;
  }
  return {ScriptRound(camera.viewLeft * scaleX),
          ScriptRound(camera.viewTop * scaleY),
          ScriptRound(camera.viewWidth * scaleX),
          ScriptRound(camera.viewHeight * scaleY),
          mapping.barX,
          mapping.barY};
}

// The members of this display, in their order, through the camera. A member
// may close the script (a render callback): the camera stops there.
void DrawCamera(int32_t display, Script& script, const ObjCamera& camera,
                const DisplayMapping& mapping) {
  if (camera.enabled == 0) {
    return;
  }
  const int32_t id = script.id;
  const GraphicsRect saved = ScriptRenderObjectCamera(camera, mapping);
  for (const OrderedObject& member : camera.members) {
    ObjEntry& object = script.objects[static_cast<size_t>(member.object)];
    if (object.displayId == display) {
      ScriptRenderObject(display, script, object, mapping);
      if (ScriptFind(id) == nullptr) {
        break;
      }
    }
  }
  ScriptViewportCameraUnset(saved);
}

// --- The pointer -------------------------------------------------------------------------------

void SetPointerAlpha(ObjPointer& pointer, uint8_t alpha) {
  if (pointer.fadeAlpha != alpha) {
    pointer.fadeAlpha = alpha;
    ScriptFrameSetColor(pointer.frames, 0xFFFFFF, alpha);
  }
}

// A pointer that has not moved for fadeDelay ms of the current state's time
// fades out over fadeDuration ms (at once when the duration is 0 or below);
// moving it shows it again.
void FadePointer(const Script& script, ObjPointer& pointer) {
  const uint32_t now = StateGetTime(StateGetCurrent());
  const ScriptPointerPosition position = ScriptPointerToDisplay(script.id);
  if (position.x != pointer.lastX || position.y != pointer.lastY) {
    pointer.lastX = position.x;
    pointer.lastY = position.y;
    pointer.lastMoveTick = now;
    SetPointerAlpha(pointer, 255);
    return;
  }
  const int64_t idle = int64_t{now} - pointer.lastMoveTick - pointer.fadeDelay;
  if (idle <= 0) {
    return;
  }
  const int64_t duration = std::max(pointer.fadeDuration, 0);
  const int64_t faded = std::min(idle, duration);
  SetPointerAlpha(pointer,
                  static_cast<uint8_t>(duration > 0 ? (duration - faded) * 255 / duration : 0));
}

// The mapping's projection, and in BestFit mode its viewport.
void ApplyMapping(const DisplayMapping& mapping, const std::string& label) {
  if (mapping.bestFit) {
    GraphicsViewportSet(mapping.barX, mapping.barY, mapping.drawnWidth, mapping.drawnHeight, label);
  }
  GraphicsSetOrtho(mapping.display->display.width, mapping.display->display.height);
}

// The pointer is drawn in window pixels, unscaled, in both modes: it is
// placed at the pointer's window position (less its hot spot), so it stays
// under the system's pointer however the screen is stretched. Then the
// display mapping is set up again.
void DrawPointer(const Script& script, ObjPointer& pointer, const DisplayMapping& mapping,
                 const GraphicsRect& saved) {
  GraphicsViewportSet(0, 0, mapping.windowWidth, mapping.windowHeight, "ScriptRender - Pointer");
  GraphicsSetOrtho(mapping.windowWidth, mapping.windowHeight);
  if (pointer.fadeOnIdle != 0) {
    FadePointer(script, pointer);
  }
  if (pointer.visible != 0) {
    DrawFrame(pointer.frames, pointer.frame);
  }
  if (!mapping.bestFit) {
    GraphicsViewportRestore(saved, "ScriptRender - Post Pointer Reset");
  }
  ApplyMapping(mapping, "ScriptRender - Post Pointer Reset");
}

}  // namespace

// --- The display mapping --------------------------------------------------------------------

// A Display object without width or height has no logical screen to map:
// it counts as none (nothing is drawn, the pointer stays in window pixels).
// The drawn size is at least one pixel each way, so the pointer's
// conversion never divides by zero.
DisplayMapping ScriptDisplayMapping(const Script& script, int32_t display) {
  DisplayMapping mapping;
  const auto found = std::find_if(
      script.objects.begin(), script.objects.end(),
      [display](const ObjEntry& o) { return o.type == kObjDisplay && o.displayId == display; });
  if (found == script.objects.end() || found->display.width < 1 || found->display.height < 1) {
    return mapping;
  }
  mapping.display = &*found;
  GraphicsDisplayGetClientSize(display, mapping.windowWidth, mapping.windowHeight);
  mapping.drawnWidth = mapping.windowWidth;
  mapping.drawnHeight = mapping.windowHeight;
  mapping.bestFit = found->display.viewMode == kViewBestFit;
  if (mapping.bestFit) {
    const double ratioX = static_cast<double>(mapping.windowWidth) / found->display.width;
    const double ratioY = static_cast<double>(mapping.windowHeight) / found->display.height;
    mapping.scale = std::min(ratioX, ratioY);
    mapping.drawnWidth = std::max(ScriptRound(found->display.width * mapping.scale), 1);
    mapping.drawnHeight = std::max(ScriptRound(found->display.height * mapping.scale), 1);
    mapping.barX = Clamp32((int64_t{mapping.windowWidth} - mapping.drawnWidth) / 2);
    mapping.barY = Clamp32((int64_t{mapping.windowHeight} - mapping.drawnHeight) / 2);
  }
  return mapping;
}

GraphicsRect ScriptViewportDisplaySet(const DisplayMapping& mapping) {
  const GraphicsRect saved = GraphicsViewportGet();
  if (mapping.display != nullptr) {
    ApplyMapping(mapping, "ScriptRender - Display Object");
  }
  return saved;
}

void ScriptViewportDisplayUnset(const GraphicsRect& saved) {
  GraphicsViewportRestore(saved, "ScriptViewportDisplayUnset - Camera Restore");
}

// --- Cameras ----------------------------------------------------------------------------------

// The view rectangle counts from the top of the current viewport; OpenGL
// counts from the bottom. The projection shows the world region at
// (cameraX, cameraY) of the view's unscaled size. A view without width or
// height (or with a negative one) gets an empty viewport, in which nothing
// is drawn, and a world region without width or height no projection.
GraphicsRect ScriptRenderObjectCamera(const ObjCamera& camera, const DisplayMapping& mapping) {
  const GraphicsRect saved = GraphicsViewportGet();
  const CameraView view = CameraViewOf(camera, mapping);
  const int64_t bottom = int64_t{saved.height} + view.barY - view.height - view.top;
  GraphicsViewportSet(Clamp32(int64_t{view.barX} + view.left), Clamp32(bottom),
                      std::max(view.width, 0), std::max(view.height, 0),
                      "ScriptRenderObjectCamera - Camera");
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  if (camera.viewWidth != 0 && camera.viewHeight != 0) {
    const double left = camera.cameraX;
    const double top = camera.cameraY;
    glOrtho(left, left + camera.viewWidth, top + camera.viewHeight, top, -kOrthoDepth, kOrthoDepth);
  }
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  return saved;
}

void ScriptViewportCameraUnset(const GraphicsRect& saved) {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  GraphicsViewportRestore(saved, "ScriptViewportCameraUnset - Camera Restore");
}

// --- Scenes -----------------------------------------------------------------------------------

// The scene's position is the eye of a perspective over the current
// viewport. Each visible member model of the display is placed at its
// position and turned by pitch (x), roll (z) and yaw (y), and its 3D model
// drawn there, normally or in its picking colours.
void ScriptRenderScene(int32_t display, const Script& script, const ObjScene& scene, bool picking) {
  GLboolean depthWrites = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  if (depthWrites == GL_FALSE) {
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
  }
  const GraphicsRect viewport = GraphicsViewportGet();
  const double aspect =
      viewport.height > 0 ? static_cast<double>(viewport.width) / viewport.height : 1.0;
  const double halfHeight = kSceneNear * std::tan(kSceneFieldOfView * std::numbers::pi / 360.0);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-halfHeight * aspect, halfHeight * aspect, -halfHeight, halfHeight, kSceneNear,
            kSceneFar);
  glTranslatef(-scene.x, -scene.y, -scene.z);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glColor4ub(255, 255, 255, 255);
  for (const OrderedObject& member : scene.members) {
    const ObjEntry& object = script.objects[static_cast<size_t>(member.object)];
    const ObjModel& model = object.model;
    if (object.displayId != display || model.visible == 0 || !model.loaded) {
      continue;
    }
    glPushMatrix();
    glTranslatef(model.x, model.y, model.z);
    glRotatef(static_cast<float>(model.pitch), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(model.roll), 0.0f, 0.0f, 1.0f);
    glRotatef(static_cast<float>(model.yaw), 0.0f, 1.0f, 0.0f);
    model.loaded->Render(picking ? Ms3dRenderMode::kPicking : Ms3dRenderMode::kNormal);
    glPopMatrix();
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  if (depthWrites == GL_FALSE) {
    glDepthMask(GL_FALSE);
  }
}

// --- Objects ----------------------------------------------------------------------------------

void ScriptRenderObject(int32_t display, Script& script, ObjEntry& object,
                        const DisplayMapping& mapping) {
  switch (object.type) {
    case kObjButton:
      DrawButton(object.button);
      break;
    case kObjColor:
      if (object.color.visible != 0) {
        ModelRender(object.color.model);
      }
      break;
    case kObjImage:
      if (object.image.visible != 0) {
        DrawFrame(object.image.frames, object.image.frame);
      }
      break;
    case kObjLabel:
      DrawLabel(object.label);
      break;
    case kObjList:
      DrawList(object.list);
      break;
    case kObjSlider:
      DrawSlider(object.slider);
      break;
    case kObjRender:
      DrawRenderObject(display, script, object);
      break;
    case kObjAtex:
      if (object.atex.visible != 0) {
        ModelRender(object.atex.model);
      }
      break;
    case kObjAppObj:
      DrawAppObj(object);
      break;
    case kObjCamera:
      DrawCamera(display, script, object.camera, mapping);
      break;
    case kObjScene:
      // A scene without models found no Display object and is never drawn.
      if (object.scene.enabled != 0 && object.scene.display >= 0) {
        ScriptRenderScene(display, script, object.scene, false);
      }
      break;
    default:  // Display and Mat draw nothing; pointers only through ScriptRender
      break;
  }
}

// --- Scripts ----------------------------------------------------------------------------------

namespace {

// Only render objects, application objects and cameras (through their
// members) run the game's callbacks, which may close the script.
bool CallsOut(int32_t type) {
  return type == kObjRender || type == kObjAppObj || type == kObjCamera;
}

}  // namespace

// Objects of the display from the lowest order up, later ones over earlier
// ones; camera members are drawn by their camera. A render callback may
// close the script: drawing stops there.
void ScriptRender(int32_t scriptId, int32_t display) {
  Script* script = ScriptFind(scriptId);
  if (script == nullptr) {
    return;
  }
  const DisplayMapping mapping = ScriptDisplayMapping(*script, display);
  if (mapping.display == nullptr) {
    return;
  }
  const GraphicsRect saved = ScriptViewportDisplaySet(mapping);
  for (const OrderedObject& entry : script->drawOrder) {
    ObjEntry& object = script->objects[static_cast<size_t>(entry.object)];
    if (object.displayId != display || object.ownedByGroup != 0) {
      continue;
    }
    if (object.type == kObjPointer) {
      DrawPointer(*script, object.pointer, mapping, saved);
    } else {
      ScriptRenderObject(display, *script, object, mapping);
      if (CallsOut(object.type) && ScriptFind(scriptId) == nullptr) {
        break;
      }
    }
  }
  ScriptViewportDisplayUnset(saved);
}

// Fill: the window's client pixels scale to the logical screen; BestFit:
// the same within the drawn picture, less the bars. Positions over a bar
// fall outside the screen. Without a Display object, or with another view
// mode, the position stays in window pixels.
ScriptPointerPosition ScriptPointerToDisplay(int32_t scriptId) {
  ScriptPointerPosition position;
  const Script* script = ScriptFind(scriptId);
  if (script == nullptr) {
    return position;
  }
  const InputPointer pointer = InputPointerGet(script->inputDevice);
  position = {pointer.display, pointer.x, pointer.y, pointer.x, pointer.y};
  const DisplayMapping mapping = ScriptDisplayMapping(*script, pointer.display);
  if (mapping.display == nullptr || (mapping.display->display.viewMode != kViewFill &&
                                     mapping.display->display.viewMode != kViewBestFit)) {
    return position;
  }
  position.x = Clamp32(int64_t{mapping.display->display.width} *
                       (int64_t{pointer.x} - mapping.barX) / mapping.drawnWidth);
  position.y = Clamp32(int64_t{mapping.display->display.height} *
                       (int64_t{pointer.y} - mapping.barY) / mapping.drawnHeight);
  return position;
}
