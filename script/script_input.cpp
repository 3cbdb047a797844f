// Script input: which object lies under the pointer (the hit test of every
// object type, cameras and scene picking included), the pointer events the
// listener hears each frame (enter, leave, move, press, click and the slider
// events), list selection, slider dragging and paging, and the Pointer
// objects kept at the pointer.
//
// Listener calls and AppObj hit-test callbacks may close the very script
// being processed: every step finds it again by id afterwards and stops when
// it is gone.
#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

namespace {

// Listener event codes of the pointer.
constexpr int32_t kEventSliderChanged = -2;
constexpr int32_t kEventLeftPress = -3;
constexpr int32_t kEventLeftClick = -4;
constexpr int32_t kEventEnter = -5;
constexpr int32_t kEventLeave = -6;
constexpr int32_t kEventMove = -7;
constexpr int32_t kEventRightPress = -8;
constexpr int32_t kEventRightClick = -9;
constexpr int32_t kEventSliderReleased = -10;

// The actions of a control set whose events are the pointer's buttons.
const std::string kLeftAction = "Select Item";
const std::string kRightAction = "Select Item Secondary";
// Mat entries and picked scene labels of this name are see-through.
const std::string kTransparent = "TRANSPARENT";

// Positions and sizes come from files and scripts: sums are made in 64 bits
// and brought back into the 32-bit range.
int32_t Narrow(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

// The rectangle holds its left and top edges but not its right and bottom
// ones; a rectangle of zero or negative size holds nothing.
bool Inside(Point p, int64_t left, int64_t top, int64_t width, int64_t height) {
  return p.x >= left && p.x < left + width && p.y >= top && p.y < top + height;
}

bool InsideFrameSet(Point p, const FrameSet& set, int64_t shiftX, int64_t shiftY) {
  return Inside(p, set.left + shiftX, set.top + shiftY, set.width, set.height);
}

// Frame `frame` (from 1) of the set; null when the set has no such frame.
const Frame* FrameOf(const FrameSet& set, int32_t frame) {
  if (frame < 1 || frame > static_cast<int64_t>(set.frames.size())) {
    return nullptr;
  }
  return &set.frames[static_cast<size_t>(frame) - 1];
}

// Whether frame `frame` of the set has an image that opened.
bool FrameHasModel(const FrameSet& set, int32_t frame) {
  const Frame* chosen = FrameOf(set, frame);
  return chosen != nullptr && std::any_of(chosen->models.begin(), chosen->models.end(),
                                          [](const Model* model) { return model != nullptr; });
}

ObjEntry* ObjectOf(Script& script, const EventObject& target) {
  if (target.object < 0 || target.object >= static_cast<int64_t>(script.objects.size())) {
    return nullptr;
  }
  return &script.objects[static_cast<size_t>(target.object)];
}

bool IsSlider(const ObjEntry* object) {
  return object != nullptr && object->type == kObjSlider;
}

// --- Hit tests ---------------------------------------------------------------------------

// One search for the topmost object at a point.
struct Search {
  Script& script;
  Point display;  // the point in display coordinates
  // Colours, lists and sliders are hit only on the pointer's display, unless
  // every object counts on its own display (a script asking what lies at a point).
  int32_t pointerDisplay = -1;
  bool ownDisplays = false;
  const ObjCamera* camera = nullptr;  // the camera whose members are being tested
};

bool OnDisplay(const Search& search, const ObjEntry& object) {
  return search.ownDisplays || object.displayId == search.pointerDisplay;
}

// A button with a mat in its current frame is hit where the mat's entry is
// not 0; without one, anywhere in its frame set's rectangle.
bool HitButton(const ObjButton& button, Point p) {
  if (button.visible == 0 || button.enabled == 0) {
    return false;
  }
  const FrameSet& set = button.frames;
  const Frame* frame = FrameOf(set, button.frame);
  if (frame != nullptr && MatIsValid(frame->mat)) {
    const Point inMat{Narrow(int64_t{p.x} - set.left), Narrow(int64_t{p.y} - set.top)};
    return MatEntryAt(frame->mat, inMat.x, inMat.y) > 0;
  }
  return InsideFrameSet(p, set, 0, 0);
}

bool HitColor(const ObjColor& color, bool onDisplay, Point p) {
  return color.visible != 0 && color.enabled != 0 && color.model != nullptr && onDisplay &&
         Inside(p, color.left, color.top, color.width, color.height);
}

// The cells lie side by side or stacked; the item under the point becomes
// pointedIndex. A list without cells or with cells of no size is never hit.
bool HitList(ObjList& list, bool onDisplay, Point p) {
  list.pointedIndex = -1;
  if (list.visible == 0 || list.enabled == 0 || !onDisplay ||
      !FrameHasModel(list.cells, list.frame)) {
    return false;
  }
  const FrameSet& cells = list.cells;
  const int64_t count = list.cellCount;
  if (count <= 0 || cells.width <= 0 || cells.height <= 0) {
    return false;
  }
  int64_t along = 0;
  int64_t cell = 0;
  if (list.kind == "HORIZONTAL") {
    if (!Inside(p, cells.left, cells.top, cells.width * count, cells.height)) {
      return false;
    }
    along = int64_t{p.x} - cells.left;
    cell = cells.width;
  } else if (list.kind == "VERTICAL") {
    if (!Inside(p, cells.left, cells.top, cells.width, cells.height * count)) {
      return false;
    }
    along = int64_t{p.y} - cells.top;
    cell = cells.height;
  } else {
    return false;
  }
  list.pointedIndex = Narrow(list.firstItem + along / cell);
  return true;
}

// The thumb, shifted along the track by its offset, is tested first: a hit
// there grabs it.
bool HitSlider(ObjSlider& slider, bool onDisplay, Point p) {
  slider.thumbGrabbed = 0;
  if (slider.visible == 0 || slider.enabled == 0 || !onDisplay ||
      !FrameHasModel(slider.thumb, slider.frameSlider)) {
    return false;
  }
  const bool horizontal = slider.sliderType == 0;
  if (InsideFrameSet(p, slider.thumb, horizontal ? slider.thumbOffset : 0,
                     horizontal ? 0 : slider.thumbOffset)) {
    slider.thumbGrabbed = 1;
    return true;
  }
  return InsideFrameSet(p, slider.track, 0, 0);
}

// Any entry of the mat but a transparent one; the entry becomes the current label.
bool HitMat(ObjMat& mat, Point p) {
  if (mat.enabled == 0) {
    return false;
  }
  const int32_t entry =
      MatEntryAt(mat.mat, Narrow(int64_t{p.x} - mat.left), Narrow(int64_t{p.y} - mat.top));
  if (entry < 0 ||
      UtilitiesUpperCase(mat.mat.entries[static_cast<size_t>(entry)].name) == kTransparent) {
    return false;
  }
  mat.previousLabelIndex = mat.currentLabelIndex;
  mat.currentLabelIndex = entry;
  return true;
}

// The game decides; the callback gets copies, since it may close the script.
bool HitAppObj(const ObjEntry& object, Point p) {
  const ObjAppObj& appObj = object.appObj;
  if (appObj.visible == 0 || appObj.enabled == 0 || !appObj.inObject) {
    return false;
  }
  const ScriptAppObjInObject inObject = appObj.inObject;
  return inObject(std::string(object.name), p.x, p.y);
}

// The window pixel, rows counted from the bottom, that shows a point of the
// display: the pointer's conversion run backwards over the same mapping the
// picture was drawn with. False when it lies outside the window.
bool WindowPixel(const DisplayMapping& mapping, Point p, Point& pixel) {
  // The mapping has a Display object only when its screen has a size.
  const ObjDisplay& screen = mapping.display->display;
  int64_t x = p.x;
  int64_t y = p.y;
  if (screen.viewMode == 0 || screen.viewMode == 1) {
    x = x * mapping.drawnWidth / screen.width + mapping.barX;
    y = y * mapping.drawnHeight / screen.height + mapping.barY;
  }
  if (x < 0 || x >= mapping.windowWidth || y < 0 || y >= mapping.windowHeight) {
    return false;
  }
  pixel = {static_cast<int32_t>(x), static_cast<int32_t>(mapping.windowHeight - 1 - y)};
  return true;
}

// Draws the scene's models in their picking colours into the back buffer
// and reads the colour at the point; the mat entry of the nearest colour
// names the part hit. The picture stays until the next frame clears it.
bool PickScene(const Search& search, ObjEntry& object) {
  ObjScene& scene = object.scene;
  const int32_t display = object.displayId;
  if (scene.enabled == 0 || scene.display < 0 || !GraphicsDisplayMakeCurrent(display)) {
    return false;
  }
  const DisplayMapping mapping = ScriptDisplayMapping(search.script, display);
  Point pixel;
  if (mapping.display == nullptr || !WindowPixel(mapping, search.display, pixel)) {
    return false;
  }
  const GraphicsRect displayViewport = ScriptViewportDisplaySet(mapping);
  GraphicsRect cameraViewport;
  if (search.camera != nullptr) {
    cameraViewport = ScriptRenderObjectCamera(*search.camera, mapping);
  }
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  GraphicsRenderBegin(display);
  ScriptRenderScene(display, search.script, scene, true);
  glFinish();
  GLubyte rgba[4] = {};
  glReadPixels(pixel.x, pixel.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  if (search.camera != nullptr) {
    ScriptViewportCameraUnset(cameraViewport);
  }
  ScriptViewportDisplayUnset(displayViewport);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);

  const uint32_t color = uint32_t{rgba[0]} << 16 | uint32_t{rgba[1]} << 8 | rgba[2];
  std::string label = UtilitiesUpperCase(MatNearestEntryName(scene.mat, color));
  if (label == kTransparent) {
    return false;
  }
  scene.previousLabel = std::exchange(scene.currentLabel, std::move(label));
  return true;
}

// The name an object's events carry: a Mat's entry under the pointer and a
// Scene's picked label stand for the object when they are named.
std::string EventName(const ObjEntry& object) {
  if (object.type == kObjMat) {
    const ObjMat& mat = object.mat;
    if (mat.currentLabelIndex >= 0 &&
        mat.currentLabelIndex < static_cast<int64_t>(mat.mat.entries.size())) {
      std::string label =
          UtilitiesUpperCase(mat.mat.entries[static_cast<size_t>(mat.currentLabelIndex)].name);
      if (!label.empty()) {
        return label;
      }
    }
  } else if (object.type == kObjScene && !object.scene.currentLabel.empty()) {
    return object.scene.currentLabel;
  }
  return object.name;
}

bool Alive(const Search& search, int32_t scriptId) {
  return ScriptFind(scriptId) == &search.script;
}

bool HitObject(Search& search, int32_t index, Point p, EventObject& hit);

// Inside its view a camera shows its members' world moved by (cameraX,
// cameraY); they are tested topmost (last) first.
bool HitCamera(Search& search, const ObjCamera& camera, Point p, EventObject& hit) {
  if (!Inside(p, camera.viewLeft, camera.viewTop, camera.viewWidth, camera.viewHeight)) {
    return false;
  }
  const Point world{Narrow(int64_t{p.x} + camera.cameraX - camera.viewLeft),
                    Narrow(int64_t{p.y} + camera.cameraY - camera.viewTop)};
  const int32_t id = search.script.id;
  const ObjCamera* outer = std::exchange(search.camera, &camera);
  bool found = false;
  for (size_t i = camera.members.size(); i-- > 0;) {
    found = HitObject(search, camera.members[i].object, world, hit);
    if (found || !Alive(search, id)) {
      break;
    }
  }
  search.camera = outer;
  return found;
}

// The hit test of the object's type; on a hit `hit` names the object found
// (for a camera, its member). No hit when a callback closed the script.
bool HitObject(Search& search, int32_t index, Point p, EventObject& hit) {
  const int32_t id = search.script.id;
  ObjEntry& object = search.script.objects[static_cast<size_t>(index)];
  bool found = false;
  switch (object.type) {
    case kObjButton:
      found = HitButton(object.button, p);
      break;
    case kObjColor:
      found = HitColor(object.color, OnDisplay(search, object), p);
      break;
    case kObjList:
      found = HitList(object.list, OnDisplay(search, object), p);
      break;
    case kObjSlider:
      found = HitSlider(object.slider, OnDisplay(search, object), p);
      break;
    case kObjMat:
      found = HitMat(object.mat, p);
      break;
    case kObjAppObj:
      found = HitAppObj(object, p);
      break;
    case kObjCamera:
      return HitCamera(search, object.camera, p, hit);
    case kObjScene:
      found = PickScene(search, object);
      break;
    default:  // images, labels, pointers, displays, renders and models are never hit
      return false;
  }
  if (!found || !Alive(search, id)) {
    return false;
  }
  hit = {index, EventName(object)};
  return true;
}

// The topmost object at the point: the draw order walked from its last
// entry, objects in cameras reached only through their camera. Every object
// tested keeps its test's side effects. The empty object when nothing is
// hit or a hit-test callback closed the script.
EventObject TopmostAt(Search& search) {
  const int32_t id = search.script.id;
  for (size_t i = search.script.drawOrder.size(); i-- > 0;) {
    const int32_t index = search.script.drawOrder[i].object;
    if (search.script.objects[static_cast<size_t>(index)].ownedByGroup != 0) {
      continue;
    }
    EventObject hit;
    const bool found = HitObject(search, index, search.display, hit);
    if (!Alive(search, id)) {
      return {};
    }
    if (found) {
      return hit;
    }
  }
  return {};
}

// The camera the object is a member of; null for an object of the display.
const ObjCamera* CameraOf(const Script& script, int32_t object) {
  if (script.objects[static_cast<size_t>(object)].ownedByGroup == 0) {
    return nullptr;
  }
  for (const ObjEntry& entry : script.objects) {
    if (entry.type != kObjCamera) {
      continue;
    }
    for (const OrderedObject& member : entry.camera.members) {
      if (member.object == object) {
        return &entry.camera;
      }
    }
  }
  return nullptr;
}

// A display point in an object's own coordinates: a camera's members live
// in the camera's world.
Point LocalPoint(const Script& script, int32_t object, Point p) {
  const ObjCamera* camera = CameraOf(script, object);
  if (camera == nullptr) {
    return p;
  }
  return {Narrow(int64_t{p.x} + camera->cameraX - camera->viewLeft),
          Narrow(int64_t{p.y} + camera->cameraY - camera->viewTop)};
}

// Whether `topmost` came up over the object the held button was pressed on
// under a still pointer: the held object was under the pointer at the last
// event, the pointer has not moved since, and the held object still lies at
// the point, covered (its own hit test decides, inside its camera's view for
// a camera's member). A pointer moved onto another object takes no hold
// over, and a pressed slider keeps it: it hears its release wherever the
// pointer is.
bool HeldObjectCovered(Search& search, const EventObject& topmost) {
  const Script& script = search.script;
  const EventObject held = script.pointerObject;
  const ObjEntry* pressed = ObjectOf(search.script, held);
  if (pressed == nullptr || IsSlider(pressed) || topmost.object < 0 || topmost == held ||
      script.previousPointerObject != held || search.display.x != script.lastPointerX ||
      search.display.y != script.lastPointerY) {
    return false;
  }
  const ObjCamera* camera = CameraOf(search.script, held.object);
  const Point p = search.display;
  if (camera != nullptr &&
      !Inside(p, camera->viewLeft, camera->viewTop, camera->viewWidth, camera->viewHeight)) {
    return false;
  }
  const ObjCamera* outer = std::exchange(search.camera, camera);
  EventObject hit;
  const bool found = HitObject(search, held.object, LocalPoint(search.script, held.object, p), hit);
  search.camera = outer;
  return found && hit == held;
}

// The object under the pointer. While a button is held only the object it
// was pressed on can be, or an object that came up over it under the still
// pointer: then `covered` is set, and that object is the one found.
EventObject PointerObjectAt(Script& script, const ScriptPointerPosition& at, bool& covered) {
  covered = false;
  const int32_t id = script.id;
  Search search{script, {at.x, at.y}, at.display, false};
  EventObject found = TopmostAt(search);
  if (ScriptFind(id) == nullptr) {
    return {};
  }
  if (script.pointerObject.object < 0 || found == script.pointerObject) {
    return found;
  }
  covered = HeldObjectCovered(search, found);
  if (ScriptFind(id) == nullptr || !covered) {
    covered = false;
    return {};
  }
  return found;
}

// --- Sending events ------------------------------------------------------------------------

// The listener hears the event unless the object is empty or nameless;
// whether it was sent. `script` becomes null when the listener closed it.
bool Send(Script*& script, int32_t code, const EventObject& target) {
  if (target.object < 0 || target.name.empty()) {
    return false;
  }
  const int32_t id = script->id;
  ScriptListenerCall(*script, code, target.name);
  script = ScriptFind(id);
  return true;
}

// --- Lists ---------------------------------------------------------------------------------

// The list's mat names regions of one cell: the point is taken into the
// first cell, and the entry there gives its name, or its index when it has
// none. Empty without a mat or outside it.
std::string ClickedLabel(const ObjList& list, Point p) {
  const FrameSet& cells = list.cells;
  int64_t x = int64_t{p.x} - cells.left;
  int64_t y = int64_t{p.y} - cells.top;
  if (list.kind == "HORIZONTAL" && cells.width > 0) {
    x %= cells.width;
  } else if (list.kind == "VERTICAL" && cells.height > 0) {
    y %= cells.height;
  }
  const int32_t entry = MatEntryAt(list.decodedMat, Narrow(x), Narrow(y));
  if (entry < 0) {
    return {};
  }
  const std::string& name = list.decodedMat.entries[static_cast<size_t>(entry)].name;
  return name.empty() ? std::to_string(entry) : UtilitiesUpperCase(name);
}

// --- Sliders -------------------------------------------------------------------------------

// The slider's axis: x for sliderType 0, else y.
struct SliderAxis {
  int64_t trackStart = 0;
  int64_t trackSize = 0;
  int64_t thumbStart = 0;
  int64_t thumbSize = 0;
  // How far the thumb can move; nothing when it is as large as the track.
  int64_t Span() const { return std::max<int64_t>(trackSize - thumbSize, 0); }
};

SliderAxis AxisOf(const ObjSlider& slider) {
  if (slider.sliderType == 0) {
    return {slider.track.left, slider.track.width, slider.thumb.left, slider.thumb.width};
  }
  return {slider.track.top, slider.track.height, slider.thumb.top, slider.thumb.height};
}

int32_t Along(const ObjSlider& slider, int32_t x, int32_t y) {
  return slider.sliderType == 0 ? x : y;
}

// Not std::clamp: a file may give a minimum above the maximum.
int32_t ClampValue(const ObjSlider& slider, int64_t value) {
  return Narrow(std::max<int64_t>(std::min<int64_t>(value, slider.maxValue), slider.minValue));
}

// Every thumb model goes to the thumb's place shifted by thumbOffset along
// the track, keeping its depth. All frames move, so that a frame chosen
// later shows where the thumb is hit.
void PositionThumb(ObjSlider& slider) {
  const bool horizontal = slider.sliderType == 0;
  const auto x =
      static_cast<float>(int64_t{slider.thumb.left} + (horizontal ? slider.thumbOffset : 0));
  const auto y =
      static_cast<float>(int64_t{slider.thumb.top} + (horizontal ? 0 : slider.thumbOffset));
  for (Frame& frame : slider.thumb.frames) {
    for (Model* model : frame.models) {
      ModelSetPosition(model, x, y, ModelGetPosition(model).z);
    }
  }
}

// Dragging moves the thumb by the pointer's movement along the track (the
// accumulator remembers movement past either end) and the value follows
// the thumb; the listener hears of every change of the thumb's offset.
void Drag(Script*& script, ObjSlider& slider, const ScriptPointerPosition& at) {
  const SliderAxis axis = AxisOf(slider);
  const int32_t coordinate = Along(slider, at.x, at.y);
  const int32_t last = Along(slider, script->lastPointerX, script->lastPointerY);
  int64_t offset = slider.thumbOffset;
  if (coordinate != last) {
    slider.dragAccumulator = Narrow(int64_t{coordinate} + slider.dragAccumulator - last);
    offset = std::clamp<int64_t>(slider.dragAccumulator, 0, axis.Span());
  }
  if (offset == slider.thumbOffset) {
    return;
  }
  slider.thumbOffset = static_cast<int32_t>(offset);
  const int64_t range = int64_t{slider.maxValue} - slider.minValue;
  // A thumb as large as the track can only sit at the start: the minimum.
  const int64_t span = axis.Span();
  slider.value = ClampValue(
      slider, span > 0 ? offset * range / span + slider.minValue : int64_t{slider.minValue});
  PositionThumb(slider);
  const EventObject held = script->pointerObject;
  Send(script, kEventSliderChanged, held);
}

// A click on a slider that was not dragged: with pageType 1 the value jumps
// to where the thumb's middle would be at the point; otherwise it moves by
// pageSize towards the point. A thumb as large as the track cannot jump.
void PageOrJump(ObjSlider& slider, Point p) {
  if (slider.track.frames.empty() || slider.thumb.frames.empty()) {
    return;
  }
  const SliderAxis axis = AxisOf(slider);
  const int64_t coordinate = Along(slider, p.x, p.y);
  int64_t value = slider.value;
  if (slider.pageType == 1) {
    const int64_t span = axis.Span();
    if (span == 0) {
      return;
    }
    // Outside the track the value would be clamped to the range anyway.
    const int64_t along =
        std::clamp<int64_t>(coordinate - axis.trackStart - axis.thumbSize / 2, 0, span);
    value = slider.minValue + along * (int64_t{slider.maxValue} - slider.minValue) / span;
  } else if (coordinate < axis.thumbStart + slider.thumbOffset) {
    value -= slider.pageSize;
  } else {
    value += slider.pageSize;
  }
  slider.value = ClampValue(slider, value);
  ScriptSliderPlaceThumb(slider);
}

// --- A frame's pointer events ---------------------------------------------------------------

enum class PointerAction { kMove, kPress, kRelease };

// One step of a frame's pointer events: a move, or a button of the pointer
// pressed or released, with its place in the control set's action queue.
struct PointerEvent {
  PointerAction action = PointerAction::kMove;
  bool right = false;
  int32_t queueIndex = -1;
};

// The same as Send, and the action event behind it is marked consumed, so
// that the game does not act on it too.
void SendConsuming(Script*& script, int32_t code, const EventObject& target, int32_t set,
                   const PointerEvent& event) {
  if (Send(script, code, target)) {
    InputActionEventHandled(set, event.queueIndex);
  }
}

// A move, then per button event of the set that is not yet consumed the
// press or release followed by another move. The queue stays as it is.
std::vector<PointerEvent> PointerEvents(int32_t set) {
  std::vector<PointerEvent> events{{}};
  const int32_t left = InputActionFind(set, kLeftAction);
  const int32_t right = InputActionFind(set, kRightAction);
  const std::vector<InputEvent> queue = InputActionEventsPeek(set);
  for (size_t i = 0; i < queue.size(); ++i) {
    const InputEvent& queued = queue[i];
    if (queued.handled || queued.code == 0 || (queued.code != left && queued.code != right)) {
      continue;
    }
    events.push_back({queued.value != 0 ? PointerAction::kPress : PointerAction::kRelease,
                      queued.code == right, static_cast<int32_t>(i)});
    events.push_back({});
  }
  return events;
}

// An object shown over the pressed one under the pointer while the button
// is held takes the hold over, as if pressed itself: the covered object is
// left, the new one is entered by the move and clicked by the release. A
// press made just before a menu comes up under the pointer, and released
// once it is there, is then not lost.
void TakeOverHold(Script*& script, const EventObject& p) {
  const EventObject covered = std::exchange(script->pointerObject, p);
  Send(script, kEventLeave, covered);
}

// A press is heard by the object under the pointer, which then holds the
// pointer until the release; a press on a slider's thumb starts a drag.
void Press(Script*& script, int32_t set, const PointerEvent& event, const EventObject& p) {
  SendConsuming(script, event.right ? kEventRightPress : kEventLeftPress, p, set, event);
  if (script == nullptr) {
    return;
  }
  script->pointerObject = p;
  ObjEntry* pressed = ObjectOf(*script, p);
  if (IsSlider(pressed) && pressed->slider.thumbGrabbed != 0) {
    pressed->slider.dragAccumulator = pressed->slider.thumbOffset;
    script->sliderDragged = 1;
  }
}

// Leaving and entering; while a button is held only the object it was
// pressed on is left and entered.
void Move(Script*& script, const EventObject& p, const ScriptPointerPosition& at) {
  ObjEntry* pressed = ObjectOf(*script, script->pointerObject);
  if (IsSlider(pressed) && script->sliderDragged != 0) {
    Drag(script, pressed->slider, at);
    return;
  }
  const EventObject previous = script->previousPointerObject;
  const EventObject held = script->pointerObject;
  if (p == previous) {
    if (at.x != script->lastPointerX || at.y != script->lastPointerY) {
      Send(script, kEventMove, p);
    }
  } else if (held.object >= 0) {
    if (previous == held) {
      Send(script, kEventLeave, previous);
    }
    if (script != nullptr && p == held) {
      Send(script, kEventEnter, p);
    }
  } else {
    Send(script, kEventLeave, previous);
    if (script != nullptr) {
      Send(script, kEventEnter, p);
    }
  }
}

// A release over the pressed object clicks it (a list also selects the item
// clicked); a pressed slider pages or jumps unless it was dragged, and hears
// of the change and of the release wherever the pointer is.
void Release(Script*& script, int32_t set, const PointerEvent& event, const EventObject& p,
             const ScriptPointerPosition& at) {
  const EventObject held = script->pointerObject;
  const Point point{at.x, at.y};
  if (p == held) {
    ObjEntry* object = ObjectOf(*script, p);
    if (object != nullptr && object->type == kObjList) {
      object->list.selectedIndex = object->list.pointedIndex;
      object->list.clickedLabel = ClickedLabel(object->list, LocalPoint(*script, p.object, point));
    }
    if (!IsSlider(object)) {
      SendConsuming(script, event.right ? kEventRightClick : kEventLeftClick, p, set, event);
    }
  }
  ObjEntry* slider = script != nullptr ? ObjectOf(*script, held) : nullptr;
  if (IsSlider(slider)) {
    if (script->sliderDragged == 0) {
      PageOrJump(slider->slider, LocalPoint(*script, held.object, point));
      SendConsuming(script, kEventSliderChanged, held, set, event);
    }
    if (script != nullptr) {
      SendConsuming(script, kEventSliderReleased, held, set, event);
    }
  }
  if (script != nullptr) {
    script->pointerObject = {};
    script->sliderDragged = 0;
  }
}

// One event with the object under the pointer; false when the script has
// been closed meanwhile.
bool HandleEvent(int32_t id, int32_t set, const PointerEvent& event,
                 const ScriptPointerPosition& at) {
  Script* script = ScriptFind(id);
  if (script == nullptr) {
    return false;
  }
  bool covered = false;
  const EventObject p = PointerObjectAt(*script, at, covered);
  script = ScriptFind(id);
  if (script != nullptr && covered) {
    TakeOverHold(script, p);
  }
  if (script == nullptr) {
    return false;
  }
  switch (event.action) {
    case PointerAction::kPress:
      Press(script, set, event, p);
      break;
    case PointerAction::kRelease:
      Release(script, set, event, p, at);
      break;
    case PointerAction::kMove:
      Move(script, p, at);
      break;
  }
  if (script == nullptr) {
    return false;
  }
  script->lastPointerX = at.x;
  script->lastPointerY = at.y;
  script->previousPointerObject = p;
  return true;
}

}  // namespace

EventObject ScriptObjectAtPointer(Script& script) {
  bool covered = false;
  return PointerObjectAt(script, ScriptPointerToDisplay(script.id), covered);
}

std::string ScriptObjectNameAt(Script& script, int32_t x, int32_t y) {
  Search search{script, {x, y}, -1, true};
  return TopmostAt(search).name;
}

void ScriptPointerUpdate(Script& script) {
  if (StateIsPaused() || script.threads.empty() || script.threads[0].suspended != 0) {
    return;
  }
  const int32_t id = script.id;
  const int32_t set = script.inputDevice;
  const ScriptPointerPosition at = ScriptPointerToDisplay(id);
  for (const PointerEvent& event : PointerEvents(set)) {
    if (!HandleEvent(id, set, event, at)) {
      return;
    }
  }
  ScriptPointerPlace(script, at.display, at.rawX, at.rawY);
}

void ScriptPointerPlace(Script& script, int32_t display, int32_t rawX, int32_t rawY) {
  for (ObjEntry& object : script.objects) {
    if (object.type == kObjPointer && object.displayId == display) {
      ObjPointer& pointer = object.pointer;
      ScriptFrameSetMoveTo(pointer.frames, Narrow(int64_t{rawX} - pointer.clickX),
                           Narrow(int64_t{rawY} - pointer.clickY));
    }
  }
}

// Nothing while the range is empty; a thumb as large as its track stays at
// the start.
void ScriptSliderPlaceThumb(ObjSlider& slider) {
  if (slider.minValue == slider.maxValue) {
    return;
  }
  const int64_t span = AxisOf(slider).Span();
  const int64_t offset = span * (int64_t{slider.value} - slider.minValue) /
                         (int64_t{slider.maxValue} - slider.minValue);
  slider.thumbOffset = static_cast<int32_t>(std::clamp<int64_t>(offset, 0, span));
  PositionThumb(slider);
}
