// TEMPORARY: stand-ins for functions another part of the module is being
// written in, so that each part builds on its own. Each part deletes its
// section when it defines the real functions; the file goes when both are gone.
#include "script/script_internal.h"

// --- Defined by the loader and objects (script_load.cpp, script_objects.cpp,
// script_attributes.cpp) ------------------------------------------------------------------
void ScriptClose(int32_t script) {
  auto& table = ScriptTable();
  std::erase_if(table,
                [script](const std::unique_ptr<Script>& entry) { return entry->id == script; });
}
bool ScriptCompileAssets(Script&) {
  return true;
}
void ScriptReleaseAssets(Script&) {}
void ScriptAnimateObjects(Script&) {}
bool ScriptAttributeHasIndex(int32_t, int32_t, bool) {
  return false;
}
bool ScriptObjectAttributeGet(Script&, int32_t, int32_t, int32_t, Parameter&) {
  return false;
}
bool ScriptObjectAttributeSet(Script&, int32_t, int32_t, int32_t, const Parameter&) {
  return false;
}
