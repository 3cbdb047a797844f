// TEMPORARY: stand-ins for functions another part of the module is being
// written in, so that each part builds on its own. Each part deletes its
// section when it defines the real functions; the file goes when both are gone.
#include "script/script_internal.h"

// --- Defined by the interpreter and routines (script_threads.cpp,
// script_interpreter.cpp, script_routines.cpp, script_builtins.cpp) ---------------------------
void ScriptThreadStart(Script&, int32_t, int32_t) {}
void ScriptListenerCall(Script&, int32_t, const std::string&) {}
void ScriptRoutinesClear() {}
ScriptAppObjAnimate ScriptAppObjAnimateFind(const std::string&) {
  return {};
}
ScriptAppObjInObject ScriptAppObjInObjectFind(const std::string&) {
  return {};
}
ScriptAppObjRender ScriptAppObjRenderFind(const std::string&) {
  return {};
}
