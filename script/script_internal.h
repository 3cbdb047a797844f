// Shared by the script module's source files only: the records of scripts,
// objects, values and threads, and the functions one part of the module
// offers the others. Each section names the file that owns it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/mat/mat.h"
#include "framework/ms3d/ms3d.h"
#include "script/script.h"

struct Model;
struct ModelTexture;

// --- Values (script_values.cpp) -------------------------------------------------------
constexpr int32_t kScriptInteger = 0;
constexpr int32_t kScriptBoolean = 1;
constexpr int32_t kScriptString = 2;

// A script value: only the field of its own type is meaningful.
struct Parameter {
  int32_t type = kScriptInteger;
  int32_t intValue = 0;
  uint8_t boolValue = 0;
  std::string textValue;
};

Parameter ScriptIntValue(int32_t value);
Parameter ScriptBoolValue(bool value);
Parameter ScriptStringValue(std::string value);
// The fixed conversions every instruction and routine accessor uses.
int32_t ScriptToInt(const Parameter& value);
bool ScriptToBool(const Parameter& value);
std::string ScriptToString(const Parameter& value);
// The string conversions on text that need not be a value of its own.
int32_t ScriptTextToInt(std::string_view text);
bool ScriptTextToBool(std::string_view text);

// --- Objects (records read by script_load.cpp, built and changed by
// script_objects.cpp and script_attributes.cpp) -----------------------------------------
constexpr int32_t kObjButton = 0;
constexpr int32_t kObjColor = 1;
constexpr int32_t kObjDisplay = 2;
constexpr int32_t kObjImage = 3;
constexpr int32_t kObjLabel = 4;
constexpr int32_t kObjList = 5;
constexpr int32_t kObjPointer = 6;
constexpr int32_t kObjSlider = 7;
constexpr int32_t kObjMat = 8;
constexpr int32_t kObjRender = 9;
constexpr int32_t kObjAtex = 10;
constexpr int32_t kObjAppObj = 11;
constexpr int32_t kObjCamera = 12;
constexpr int32_t kObjScene = 13;
constexpr int32_t kObjModel = 14;

// One frame of a frame set: its images become models drawn in order.
struct Frame {
  std::string matName;  // empty: none
  std::vector<std::string> imageNames;
  Mat mat;                     // decoded when matName is set
  std::vector<Model*> models;  // one per image name
};

struct FrameSet {
  uint8_t blend = 0;   // linear filtering of the frame images
  uint8_t memory = 0;  // read each image whole into memory first
  std::vector<Frame> frames;
  int32_t left = 0;  // current position of all the set's models
  int32_t top = 0;
  int32_t originLeft = 0;  // a button's left and top from the file
  int32_t originTop = 0;
  int32_t width = 0;  // of the current frame's first model; 0 until known
  int32_t height = 0;
};

// Twelve values per triangle: x1, y1, u1, v1, x2, y2, u2, v2, x3, y3, u3, v3.
struct TrianglesData {
  std::vector<std::array<int32_t, 12>> triangles;
};

// Buttons, images, lists and sliders keep their position in their frame sets.
struct ObjButton {
  int32_t frame = 0;
  uint8_t visible = 0;
  uint8_t enabled = 0;
  std::string fontFileName;
  std::string text;
  int32_t color = 0;
  int32_t wrapWidth = 0;
  FrameSet frames;
  int32_t font = 0;
  std::vector<std::string> wrappedLines;
};

struct ObjColor {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t color = 0;
  int32_t alpha = 0;
  uint8_t visible = 0;
  uint8_t enabled = 0;
  Model* model = nullptr;
};

struct ObjDisplay {
  int32_t width = 0;
  int32_t height = 0;
  int32_t viewMode = 0;  // 0 Fill, 1 BestFit
};

struct ObjImage {
  int32_t rotation = 0;
  int32_t frame = 0;
  uint8_t visible = 0;
  int32_t alpha = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t color = 0xFFFFFF;
  FrameSet frames;
};

struct ObjLabel {
  int32_t left = 0;
  int32_t top = 0;
  std::string fileName;  // font
  int32_t color = 0;
  uint8_t alpha = 255;
  std::string text;
  uint8_t visible = 0;
  int32_t wrapWidth = 0;
  int32_t wrapHeight = 0;
  int32_t wrapLineOffset = 0;
  int32_t firstLine = 1;
  int32_t align = 0;
  int32_t font = 0;
  std::vector<std::string> wrappedLines;
};

struct ObjList {
  std::string kind;      // "HORIZONTAL" or "VERTICAL"
  std::string fileName;  // font
  int32_t color = 0;
  int32_t colorSelected = 0;
  int32_t frame = 0;
  int32_t frameSelected = 0;
  int32_t frameMouseOver = 0;
  int32_t frameColor = 0xFFFFFF;
  int32_t cellCount = 0;
  uint8_t visible = 0;
  uint8_t enabled = 0;
  std::string mat;  // mat file name
  int32_t textOffsetX = 5;
  int32_t textOffsetY = 0;
  int32_t textWidth = 0;
  uint8_t textMode = 0;
  FrameSet cells;
  FrameSet overlays;
  std::vector<Parameter> itemTexts;
  std::vector<Parameter> itemFrames;
  std::vector<Parameter> itemValues;
  int32_t firstItem = 0;
  int32_t selectedIndex = 0;
  int32_t pointedIndex = -1;
  std::string clickedLabel;
  Mat decodedMat;
  int32_t font = 0;
};

struct ObjPointer {
  int32_t frame = 0;
  uint8_t visible = 0;
  uint8_t fadeOnIdle = 0;
  int32_t fadeDelay = 2000;
  int32_t fadeDuration = 1000;
  int32_t clickX = 0;
  int32_t clickY = 0;
  FrameSet frames;
  int32_t lastX = 0;
  int32_t lastY = 0;
  uint32_t lastMoveTick = 0;
  uint8_t fadeAlpha = 0;
};

struct ObjSlider {
  int32_t frameRange = 0;
  int32_t frameSlider = 0;
  int32_t minValue = 0;
  int32_t maxValue = 0;
  int32_t value = 0;
  int32_t sliderType = 0;  // 0 horizontal, else vertical
  uint8_t visible = 0;
  uint8_t enabled = 0;
  int32_t pageType = 0;
  int32_t pageSize = 0;
  FrameSet track;
  FrameSet thumb;
  int32_t dragAccumulator = 0;
  int32_t thumbOffset = 0;
  uint8_t thumbGrabbed = 0;
};

struct ObjMat {
  int32_t left = 0;
  int32_t top = 0;
  uint8_t enabled = 0;
  std::string fileName;
  Mat mat;
  int32_t currentLabelIndex = -1;
  int32_t previousLabelIndex = -1;
};

struct ObjRender {
  std::string appRoutineName;
};

struct ObjAtex {
  int32_t left = 0;
  int32_t top = 0;
  int32_t alpha = 0;
  uint8_t visible = 0;
  std::string texture;  // image file name
  uint8_t blend = 0;
  int32_t uvelocity = 0;
  int32_t vvelocity = 0;
  int32_t uScale = 100;
  int32_t vScale = 100;
  TrianglesData triangles;
  Model* model = nullptr;
  ModelTexture* textureRecord = nullptr;
};

struct ObjAppObj {
  uint8_t enabled = 0;
  uint8_t visible = 0;
  std::string scriptAnimate;  // callback names, resolved when read
  std::string scriptInObject;
  std::string scriptRender;
  ScriptAppObjAnimate animate;
  ScriptAppObjInObject inObject;
  ScriptAppObjRender render;
};

struct ObjEntry;

// An object of a camera or scene, kept sorted by order.
struct OrderedObject {
  int32_t order = 0;
  int32_t object = 0;  // index into the script's objects
};

struct ObjCamera {
  uint8_t enabled = 0;
  int32_t viewLeft = 0;
  int32_t viewTop = 0;
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
  int32_t cameraX = 0;
  int32_t cameraY = 0;
  std::vector<std::string> objectNames;  // upper-cased
  std::vector<OrderedObject> members;
};

struct ObjScene {
  uint8_t enabled = 0;
  float x = 0.0f;  // thousandths in the file and the attributes
  float y = 0.0f;
  float z = 0.0f;
  std::string matFile;
  std::vector<std::string> modelNames;  // upper-cased
  int32_t display = -1;                 // index of the scene's Display object, -1 none
  std::string previousLabel;
  std::string currentLabel;
  Mat mat;
  std::vector<OrderedObject> members;
};

struct ObjModel {
  uint8_t enabled = 0;
  uint8_t visible = 0;
  float x = 0.0f;  // thousandths in the file and the attributes
  float y = 0.0f;
  float z = 0.0f;
  int32_t pitch = 0;
  int32_t yaw = 0;
  int32_t roll = 0;
  std::string modelFile;
  std::unique_ptr<TMS3D> loaded;  // the 3D model read from modelFile (asset building)
};

// One object of a script; only the block of its own type is used.
struct ObjEntry {
  std::string name;  // upper-cased
  int32_t type = 0;
  uint8_t displayId = 0;
  int32_t order = 0;
  uint8_t ownedByGroup = 0;  // drawn and hit-tested only through a camera
  ObjAppObj appObj;
  ObjAtex atex;
  ObjButton button;
  ObjCamera camera;
  ObjColor color;
  ObjDisplay display;
  ObjImage image;
  ObjLabel label;
  ObjList list;
  ObjMat mat;
  ObjModel model;
  ObjPointer pointer;
  ObjRender render;
  ObjScene scene;
  ObjSlider slider;
};

// --- Threads (script_threads.cpp, script_interpreter.cpp) ---------------------------------
struct Jump {
  int32_t returnAddress = 0;
  int32_t savedFrameBase = 0;
};

// The decoded header of the current instruction and the call stack.
struct RunData {
  uint8_t opcode = 0;
  bool aIsVariable = false;
  bool bIsVariable = false;
  std::vector<Jump> jumpList;
};

struct ScriptThread {
  int32_t id = 0;
  uint8_t suspended = 0;
  int32_t savedPc = 0;
  RunData savedRunData;
  std::vector<Parameter> stack;  // slot 0 at the bottom
  int32_t frameBase = 0;
  uint8_t running = 0;
  int32_t callPc = 0;  // offset of the routine call in progress, for the thread dump
  // Thread 0 only: a listener call yielded, so its two arguments stay on the
  // stack until the listener finishes on a later frame.
  uint8_t listenerArgumentsPending = 0;
};

// --- Scripts (script.cpp, script_load.cpp) ------------------------------------------------
// An object as pointer events name it: its index and the name its events
// carry; (-1, empty) is no object.
struct EventObject {
  int32_t object = -1;
  std::string name;
  bool operator==(const EventObject&) const = default;
};

// Source line tables (read with -scriptdebug): the code from an entry's
// offset up to the next entry's comes from that file, line and column.
struct ScriptLine {
  uint32_t offset = 0;
  uint16_t file = 0;  // index into the table's files
  uint32_t line = 0;
  uint32_t column = 0;
};

struct ScriptLineTable {
  std::vector<std::string> files;
  std::vector<ScriptLine> entries;  // by increasing offset
};

struct Script {
  int32_t id = 0;
  std::string fileName;
  int32_t version = 0;
  std::vector<std::string> appRoutineNames;
  std::vector<uint8_t> code;
  int32_t listenerAddress = 0;
  uint8_t listenerEnabled = 0;
  std::vector<ObjEntry> objects;
  std::vector<OrderedObject> drawOrder;  // sorted by order
  int32_t inputDevice = -1;  // the control set whose pointer and clicks the script follows
  EventObject pointerObject;
  EventObject previousPointerObject;
  uint8_t sliderDragged = 0;
  int32_t lastPointerX = 0;
  int32_t lastPointerY = 0;
  uint32_t nextAnimateTick = 0;
  std::vector<ScriptThread> threads;  // thread 0 is the event thread
  ScriptLineTable lines;              // empty without -scriptdebug or a table
};

// The script with this id, or nullptr (binary search on the ascending ids).
// Records stay where they are while others are added or removed, but a
// routine may close any script: code that calls out (routines, listeners of
// other scripts) finds its script again by id afterwards.
Script* ScriptFind(int32_t id);
// Every script in ascending id order.
std::vector<std::unique_ptr<Script>>& ScriptTable();
// Sorts ascending by order; equal orders keep their sequence (the result of
// an exchange sort that swaps neighbours only on a strictly smaller order).
void ScriptSortByOrder(std::vector<OrderedObject>& list);
// The next thread id of the module-wide counter.
int32_t ScriptNextThreadId();

// --- Asset building and release (script_objects.cpp) --------------------------------------
// Builds every object's drawables, fonts, mats and links in object order; the
// first object that fails stops it.
bool ScriptCompileAssets(Script& script);
// Closes the drawables asset building made (fonts stay open).
void ScriptReleaseAssets(Script& script);
// The per-object work of one animation step (listener calls, scrolling).
void ScriptAnimateObjects(Script& script);
// Colours the model: red, green and blue of 0x00RRGGBB, and alpha.
void ScriptModelColor(Model* model, int32_t color, int32_t alpha);
// Moves every model of the set by the difference to (left, top), the new position.
void ScriptFrameSetMoveTo(FrameSet& set, int32_t left, int32_t top);
// Colours every model of the set the same way.
void ScriptFrameSetColor(FrameSet& set, int32_t color, int32_t alpha);
// Takes the set's width and height from the first model of the frame (from
// 1); false, nothing changed, when the set has no such frame.
bool ScriptFrameSetSize(FrameSet& set, int32_t frame);
// Nearest integer (halves to even), held within the int32 range; 0 for NaN.
int32_t ScriptRound(double value);

// --- Attributes (script_attributes.cpp) ---------------------------------------------------
// Whether the attribute takes an item index operand before its value.
// --- Rendering (script_render.cpp) --------------------------------------------------------
// How a script's logical screen lies in a display's window: the first
// Display object of the display (null: none, nothing is drawn), the window's
// client size and, in BestFit mode, the scale, the drawn size and the bars.
struct DisplayMapping {
  const ObjEntry* display = nullptr;
  bool bestFit = false;
  int32_t windowWidth = 0;
  int32_t windowHeight = 0;
  double scale = 1.0;
  int32_t drawnWidth = 0;
  int32_t drawnHeight = 0;
  int32_t barX = 0;
  int32_t barY = 0;
};
DisplayMapping ScriptDisplayMapping(const Script& script, int32_t display);
// Sets up and restores the display mapping (viewport and pixel projection).
GraphicsRect ScriptViewportDisplaySet(const DisplayMapping& mapping);
void ScriptViewportDisplayUnset(const GraphicsRect& saved);
// Sets up and restores a camera's viewport and projection.
GraphicsRect ScriptRenderObjectCamera(const ObjCamera& camera, const DisplayMapping& mapping);
void ScriptViewportCameraUnset(const GraphicsRect& saved);
// Draws one object by its type.
void ScriptRenderObject(int32_t display, Script& script, ObjEntry& object,
                        const DisplayMapping& mapping);
// Draws a scene's visible loaded models: normally, or in their picking colours.
void ScriptRenderScene(int32_t display, const Script& script, const ObjScene& scene, bool picking);

// --- Pointer input (script_input.cpp) ------------------------------------------------------
// The per-frame pointer events of a script (a step of ScriptProcess).
void ScriptPointerUpdate(Script& script);
// What lies topmost under (x, y) in display coordinates of the script's
// pointer display, with the hit tests' side effects; the empty object when
// nothing is hit.
EventObject ScriptObjectAtPointer(Script& script);
// The name of what lies topmost at a point of the display coordinates, each
// object tested on its own display; empty when nothing is hit. A hit-test
// callback may close the script: the caller finds it again by id.
std::string ScriptObjectNameAt(Script& script, int32_t x, int32_t y);
// Moves every Pointer object of the display so that its hot spot is at the
// window pixel (raw x, raw y).
void ScriptPointerPlace(Script& script, int32_t display, int32_t rawX, int32_t rawY);
// Moves the slider's thumb models to where its value puts them.
void ScriptSliderPlaceThumb(ObjSlider& slider);

bool ScriptAttributeHasIndex(int32_t type, int32_t attribute, bool set);
// Reads an attribute into the value; false ends the executing thread (an
// object index outside the script, an attribute the type does not have, an
// item index outside the list).
bool ScriptObjectAttributeGet(Script& script, int32_t object, int32_t attribute, int32_t item,
                              Parameter& value);
// Converts the value to the attribute's type and stores it; false as above.
bool ScriptObjectAttributeSet(Script& script, int32_t object, int32_t attribute, int32_t item,
                              const Parameter& value);

// --- Byte code (the interpreter, the built-ins and the fault decoder) ------------------------
enum Opcode : uint8_t {
  kOpReturn = 0,
  kOpCall = 1,
  kOpNot = 5,
  kOpJump = 10,
  kOpJumpNotEqual = 11,
  kOpJumpEqual = 12,
  kOpJumpGreaterEqual = 13,
  kOpJumpLess = 14,
  kOpJumpGreater = 15,
  kOpJumpLessEqual = 16,
  kOpMove = 17,
  kOpAdd = 18,
  kOpSubtract = 19,
  kOpAnd = 20,
  kOpOr = 21,
  kOpMultiply = 22,
  kOpDivide = 23,
  kOpRemainder = 24,
  kOpPush = 25,
  kOpPop = 26,
  kOpAppRoutine = 31,
  kOpBuiltIn = 32,
  kOpSetAttribute = 33,
  kOpGetAttribute = 34,
  kOpNothing = 35,
  kOpYield = 36,
  kOpFork = 37,
};

constexpr uint8_t kOpcodeMask = 0x3F;
constexpr uint8_t kFlagA = 0x40;
constexpr uint8_t kFlagB = 0x80;
constexpr int32_t kBuiltInCount = 43;
// Strings in the code have a 16-bit length from this script version on.
constexpr int32_t kLongStringVersion = 9;

// --- Interpreter and routines (script_threads.cpp, script_interpreter.cpp,
// script_routines.cpp, script_builtins.cpp) -------------------------------------------------
// Appends a thread with the next id, empty stacks, all flags clear; its index.
int32_t ScriptThreadNew(Script& script);
// Runs the thread from the address unless it is suspended: running set,
// frameBase at the stack's length, an empty call stack.
void ScriptThreadStart(Script& script, int32_t thread, int32_t address);
// The interpreter loop. The script may be closed by what the thread calls;
// the caller finds it again by id afterwards.
void ScriptThreadRun(Script& script, int32_t thread, int32_t address, RunData runData);
// Removes a thread other than 0.
void ScriptThreadRemove(Script& script, int32_t thread);
// Index of the thread with that id (-1: thread 0), or -1 when there is none;
// the hint is tried first.
int32_t ScriptThreadIndex(const Script& script, int32_t threadId, int32_t hint = 0);
// Tests only: all runs together may execute this many more instructions;
// after that every run ends its thread at its next instruction, as a fault
// would. A negative number (the default) sets no limit.
void ScriptInstructionBudgetSet(int64_t instructions);
// Empties the four registries and seeds the random numbers (module start and stop).
void ScriptRoutinesClear();
// The AppObj callbacks registered under the name (case ignored); empty when
// the name is empty or unknown.
ScriptAppObjAnimate ScriptAppObjAnimateFind(const std::string& name);
ScriptAppObjInObject ScriptAppObjInObjectFind(const std::string& name);
ScriptAppObjRender ScriptAppObjRenderFind(const std::string& name);
// Parameter slot n (from 1) of a thread: the stack slot frameBase - n; nullptr
// when the thread is suspended or the slot does not exist.
Parameter* ScriptParamSlot(Script& script, int32_t thread, int32_t slot);
// Runs built-in routine `index` (0-42) for the thread at that index; 0 for
// any other index. Built-in 24 calls another script's listener: the caller
// finds its script again by id afterwards.
int32_t ScriptBuiltInRun(Script& script, int32_t thread, int32_t index);
// Seeds the built-ins' random numbers from the tick clock.
void ScriptBuiltInsSeed();
// Calls the listener on thread 0 with the code and the name, which the
// caller has upper-cased (object names are upper-cased when read), without
// the running check of ScriptEventSend (internal events).
void ScriptListenerCall(Script& script, int32_t code, const std::string& name);

// --- Debugging with -scriptdebug (script_debug.cpp) ------------------------------------------
// Notes whether the switch is present (module start).
void ScriptDebugStart();
// With the switch, reads "<fileName>.lines" when it exists; a broken table is
// ignored with one log line. The script's table is emptied either way.
void ScriptDebugLinesLoad(Script& script);
// With the switch, logs the fault of the thread (index) in the instruction
// at the offset, decoding it again to name what faulted.
void ScriptDebugFault(const Script& script, int32_t thread, int32_t pc);
// With the switch, where the thread waits or calls a routine ("file:line:col
// (offset n)" or "offset n"); empty without the switch or for an idle thread.
std::string ScriptDebugThreadPosition(const Script& script, const ScriptThread& thread);
