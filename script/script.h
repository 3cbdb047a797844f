// Scripts: the compiled ".vmc" files behind every interface screen and room.
// A script declares typed objects (buttons, images, labels, lists, ...), the
// names of the game routines it calls, one listener for events, and byte code
// that runs in cooperative script threads. Scripts are addressed by ids from 1
// that are never reused (0 = no script); threads by ids from one counter for
// all scripts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// --- Module lifecycle (qmrScript) ---------------------------------------------------
// Logs "qmrScript - Version Alpha.0", empties the script table and the
// registries; script and thread ids start again at 1.
void ScriptStart();
// Closes every script (first first) and empties the registries.
void ScriptStop();

// --- Scripts -----------------------------------------------------------------------
// Appends an empty script with its event thread (thread 0); its id.
int32_t ScriptNew();
// ScriptNew and ScriptFileLoad; the id, or 0 (the new script closed again).
int32_t ScriptLoad(const std::string& fileName);
// Reads a ".vmc" content file into an existing script, builds its objects'
// assets and runs its initial code; false with a log line on failure.
bool ScriptFileLoad(int32_t script, const std::string& fileName);
// Releases the objects' drawables and removes the script; unknown ids are ignored.
void ScriptClose(int32_t script);
bool ScriptExists(int32_t script);

// --- Threads, frames and events ---------------------------------------------------
// Resumes a suspended thread where it yielded (thread -1: thread 0); nothing
// while the current application state is paused.
void ScriptThreadResume(int32_t script, int32_t thread);
// The per-frame step of one script: thread 0 if it waits, else the animation
// step, the pointer events and the other threads.
void ScriptProcess(int32_t script);
// Calls the listener with the code and the upper-cased name unless thread 0
// is suspended or running (the event is then dropped).
void ScriptEventSend(int32_t script, int32_t code, const std::string& name);
// The same with the name as given (typed text keeps its letter case).
void ScriptEventSendExact(int32_t script, int32_t code, const std::string& name);
bool ScriptIsWaiting(int32_t script);  // thread 0 is suspended
bool ScriptIsRunning(int32_t script);  // thread 0's running flag
// Writes the script's threads to the log.
void ScriptThreadDump(int32_t script);

// --- Rendering and the pointer ------------------------------------------------------------
// Draws the script's objects for one display, between the display's
// GraphicsRenderBegin and GraphicsRenderEnd; nothing for an unknown script or
// one without a Display object for that display.
void ScriptRender(int32_t script, int32_t display);

// Where the script's pointer device is: the display it is over, its position
// in that window's client pixels (raw) and in the script's display
// coordinates (the Display object's logical screen).
struct ScriptPointerPosition {
  int32_t display = -1;
  int32_t rawX = 0;
  int32_t rawY = 0;
  int32_t x = 0;
  int32_t y = 0;
};
ScriptPointerPosition ScriptPointerToDisplay(int32_t script);

// --- Random numbers -----------------------------------------------------------------
// Seeds the generator of built-in 0 (built-ins 41 and 42 seed it again from
// the tick clock).
void ScriptRandomSeed(uint32_t seed);

// --- App routines -------------------------------------------------------------------
// Routines return 1 to let the calling thread go on; anything else ends it.
using ScriptAppRoutine = std::function<int32_t(int32_t script, int32_t thread)>;
using ScriptRenderProcedure = std::function<void(int32_t display, const std::string& objectName)>;
using ScriptAppObjAnimate = std::function<void(const std::string& objectName)>;
using ScriptAppObjInObject =
    std::function<bool(const std::string& objectName, int32_t x, int32_t y)>;
using ScriptAppObjRender = std::function<void(const std::string& objectName)>;

// Registration by name (case ignored); false when the name is already taken
// in that registry (the first registration stays).
bool ScriptAppRoutineRegister(const std::string& name, ScriptAppRoutine routine);
bool ScriptAppRoutineRenderRegister(const std::string& name, ScriptRenderProcedure procedure);
bool ScriptAppObjAnimateRegister(const std::string& name, ScriptAppObjAnimate procedure);
bool ScriptAppObjInObjectRegister(const std::string& name, ScriptAppObjInObject function);
bool ScriptAppObjRenderRegister(const std::string& name, ScriptAppObjRender procedure);

// What a registry holds, in registration order, names upper-cased; the kind
// is that of the app routines (0 standalone function, 2 render procedure)
// and 0 for the AppObj callbacks.
enum class ScriptRegistry { kAppRoutines, kAppObjAnimate, kAppObjInObject, kAppObjRender };
struct ScriptRegisteredName {
  std::string name;
  int32_t kind = 0;
};
const std::vector<ScriptRegisteredName>& ScriptRegistryList(ScriptRegistry registry);

// Runs the script's routine of that index for the thread; its result, or 0
// (logged when the name is not registered or not a function).
int32_t ScriptAppRoutineRun(int32_t script, int32_t thread, int32_t routineIndex);
// Runs the named render procedure; false when it did not run.
bool ScriptAppRoutineRenderRun(int32_t script, const std::string& routineName, int32_t display,
                               const std::string& objectName);

// --- Routine parameters ------------------------------------------------------------
// Slot n (from 1) of the calling thread is the value pushed n-th last before
// the call. Getters give 0, false or "" and setters false for an unknown
// script, thread or slot, or a suspended thread.
int32_t ScriptParamGetInt(int32_t script, int32_t thread, int32_t slot);
bool ScriptParamGetBool(int32_t script, int32_t thread, int32_t slot);
std::string ScriptParamGetString(int32_t script, int32_t thread, int32_t slot);
bool ScriptParamSetInt(int32_t script, int32_t thread, int32_t slot, int32_t value);
bool ScriptParamSetBool(int32_t script, int32_t thread, int32_t slot, bool value);
bool ScriptParamSetString(int32_t script, int32_t thread, int32_t slot, const std::string& value);

// --- Diagnostics -------------------------------------------------------------------
// What the tables hold now, for leak checks and the resource report.
int32_t ScriptCount();        // scripts loaded
int32_t ScriptThreadCount();  // threads over every script, event threads included
