// The registries of app routines and AppObj callbacks, calls of app routines
// and render procedures by name, and the parameter slots routines read and
// write.
//
// Names are kept upper-cased and found without regard to case. A script
// resolves its routine names at every call, so each registry is a hash table
// whose hash and comparison ignore case: a call neither copies nor
// upper-cases the name.
#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) {
      hash = (hash ^ static_cast<uint8_t>(Upper(c))) * 1099511628211ull;
    }
    return static_cast<size_t>(hash);
  }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) {
      return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
      if (Upper(a[i]) != Upper(b[i])) {
        return false;
      }
    }
    return true;
  }
};

template <typename Entry>
using Registry = std::unordered_map<std::string, Entry, NameHash, NameEqual>;

enum class RoutineKind { kFunction, kRender };

struct AppRoutine {
  RoutineKind kind = RoutineKind::kFunction;
  ScriptAppRoutine function;
  ScriptRenderProcedure render;
};

// A routine found for a name, kept per script and routine index: a call of
// the same name skips the hash lookup. Entries of a registry never move or
// change until it is emptied, and the name is compared exactly, so a kept
// entry is always the one a lookup would find.
struct FoundRoutine {
  std::string name;
  const AppRoutine* routine = nullptr;
};
constexpr size_t kFoundRoutines = 64;

struct RoutineModule {
  Registry<AppRoutine> routines;
  std::array<FoundRoutine, kFoundRoutines> found;
  Registry<ScriptAppObjAnimate> animate;
  Registry<ScriptAppObjInObject> inObject;
  Registry<ScriptAppObjRender> render;
  // The names of each registry in registration order, by ScriptRegistry.
  std::array<std::vector<ScriptRegisteredName>, 4> order;
  int32_t threadHint = 0;  // index of the thread the last accessor used
  size_t scriptHint = 0;   // table index of the script the last accessor used
};

RoutineModule module;

template <typename Entry>
bool Register(Registry<Entry>& registry, ScriptRegistry which, const std::string& name, Entry entry,
              int32_t kind = 0) {
  std::string upper = UtilitiesUpperCase(name);
  if (!registry.try_emplace(upper, std::move(entry)).second) {
    return false;
  }
  module.order[static_cast<size_t>(which)].push_back({std::move(upper), kind});
  return true;
}

template <typename Entry>
const Entry* Find(const Registry<Entry>& registry, std::string_view name) {
  const auto found = registry.find(name);
  return found != registry.end() ? &found->second : nullptr;
}

template <typename Entry>
Entry FindCallback(const Registry<Entry>& registry, const std::string& name) {
  const Entry* found = Find(registry, name);
  return found != nullptr ? *found : Entry{};
}

// ScriptFind, trying the script the last call found first.
Script* FindScript(int32_t id) {
  const auto& table = ScriptTable();
  if (module.scriptHint < table.size() && table[module.scriptHint]->id == id) {
    return table[module.scriptHint].get();
  }
  Script* found = ScriptFind(id);
  const auto entry = std::find_if(table.begin(), table.end(),
                                  [found](const auto& script) { return script.get() == found; });
  module.scriptHint = static_cast<size_t>(entry - table.begin());
  return found;
}

const AppRoutine* FindRoutine(int32_t script, int32_t routineIndex, const std::string& name) {
  FoundRoutine& kept =
      module.found[(static_cast<size_t>(script) * 31 + static_cast<size_t>(routineIndex)) %
                   kFoundRoutines];
  if (kept.routine == nullptr || kept.name != name) {
    kept.routine = Find(module.routines, name);
    kept.name = name;
  }
  return kept.routine;
}

// The parameter slot of a thread given by ids; nullptr when any is unknown.
Parameter* SlotOf(int32_t script, int32_t thread, int32_t slot) {
  Script* found = FindScript(script);
  if (found == nullptr) {
    return nullptr;
  }
  const int32_t index = ScriptThreadIndex(*found, thread, module.threadHint);
  if (index < 0) {
    return nullptr;
  }
  module.threadHint = index;
  return ScriptParamSlot(*found, index, slot);
}

}  // namespace

void ScriptRoutinesClear() {
  module = RoutineModule{};
  ScriptBuiltInsSeed();
}

// --- Registration -----------------------------------------------------------------------------

bool ScriptAppRoutineRegister(const std::string& name, ScriptAppRoutine routine) {
  return Register(module.routines, ScriptRegistry::kAppRoutines, name,
                  AppRoutine{RoutineKind::kFunction, std::move(routine), {}}, 0);
}

bool ScriptAppRoutineRenderRegister(const std::string& name, ScriptRenderProcedure procedure) {
  return Register(module.routines, ScriptRegistry::kAppRoutines, name,
                  AppRoutine{RoutineKind::kRender, {}, std::move(procedure)}, 2);
}

bool ScriptAppObjAnimateRegister(const std::string& name, ScriptAppObjAnimate procedure) {
  return Register(module.animate, ScriptRegistry::kAppObjAnimate, name, std::move(procedure));
}

bool ScriptAppObjInObjectRegister(const std::string& name, ScriptAppObjInObject function) {
  return Register(module.inObject, ScriptRegistry::kAppObjInObject, name, std::move(function));
}

bool ScriptAppObjRenderRegister(const std::string& name, ScriptAppObjRender procedure) {
  return Register(module.render, ScriptRegistry::kAppObjRender, name, std::move(procedure));
}

const std::vector<ScriptRegisteredName>& ScriptRegistryList(ScriptRegistry registry) {
  return module.order[static_cast<size_t>(registry)];
}

ScriptAppObjAnimate ScriptAppObjAnimateFind(const std::string& name) {
  return FindCallback(module.animate, name);
}

ScriptAppObjInObject ScriptAppObjInObjectFind(const std::string& name) {
  return FindCallback(module.inObject, name);
}

ScriptAppObjRender ScriptAppObjRenderFind(const std::string& name) {
  return FindCallback(module.render, name);
}

// --- Calls ------------------------------------------------------------------------------------

int32_t ScriptAppRoutineRun(int32_t script, int32_t thread, int32_t routineIndex) {
  const Script* found = FindScript(script);
  if (found == nullptr || ScriptThreadIndex(*found, thread, module.threadHint) < 0 ||
      routineIndex < 0 || routineIndex >= static_cast<int32_t>(found->appRoutineNames.size())) {
    return 0;
  }
  const std::string& name = found->appRoutineNames[static_cast<size_t>(routineIndex)];
  const AppRoutine* routine = FindRoutine(script, routineIndex, name);
  if (routine == nullptr) {
    LogError("ScriptAppRoutineRun - App routine \"" + UtilitiesUpperCase(name) +
             "\" has not been registered.");
    return 0;
  }
  if (routine->kind != RoutineKind::kFunction) {
    LogError("ScriptAppRoutineRun - App routine \"" + UtilitiesUpperCase(name) +
             "\" is not a standalone function or object function.");
    return 0;
  }
  return routine->function(script, thread);
}

bool ScriptAppRoutineRenderRun(int32_t script, const std::string& routineName, int32_t display,
                               const std::string& objectName) {
  if (ScriptFind(script) == nullptr) {
    return false;
  }
  const AppRoutine* routine = Find(module.routines, routineName);
  if (routine == nullptr) {
    LogError("ScriptAppRoutineRenderRun - App routine \"" + UtilitiesUpperCase(routineName) +
             "\" has not been registered.");
    return false;
  }
  if (routine->kind != RoutineKind::kRender) {
    LogError("ScriptAppRoutineRenderRun - App routine \"" + UtilitiesUpperCase(routineName) +
             "\" is not a render procedure.");
    return false;
  }
  routine->render(display, objectName);
  return true;
}

// --- Parameter slots --------------------------------------------------------------------------

Parameter* ScriptParamSlot(Script& script, int32_t thread, int32_t slot) {
  if (thread < 0 || thread >= static_cast<int32_t>(script.threads.size())) {
    return nullptr;
  }
  ScriptThread& owner = script.threads[static_cast<size_t>(thread)];
  if (owner.suspended != 0 || slot < 1 || slot > owner.frameBase) {
    return nullptr;
  }
  const size_t index = static_cast<size_t>(owner.frameBase - slot);
  return index < owner.stack.size() ? &owner.stack[index] : nullptr;
}

int32_t ScriptParamGetInt(int32_t script, int32_t thread, int32_t slot) {
  const Parameter* value = SlotOf(script, thread, slot);
  return value != nullptr ? ScriptToInt(*value) : 0;
}

bool ScriptParamGetBool(int32_t script, int32_t thread, int32_t slot) {
  const Parameter* value = SlotOf(script, thread, slot);
  return value != nullptr && ScriptToBool(*value);
}

std::string ScriptParamGetString(int32_t script, int32_t thread, int32_t slot) {
  const Parameter* value = SlotOf(script, thread, slot);
  return value != nullptr ? ScriptToString(*value) : std::string();
}

bool ScriptParamSetInt(int32_t script, int32_t thread, int32_t slot, int32_t value) {
  Parameter* target = SlotOf(script, thread, slot);
  if (target == nullptr) {
    return false;
  }
  target->type = kScriptInteger;
  target->intValue = value;
  target->textValue.clear();
  return true;
}

bool ScriptParamSetBool(int32_t script, int32_t thread, int32_t slot, bool value) {
  Parameter* target = SlotOf(script, thread, slot);
  if (target == nullptr) {
    return false;
  }
  target->type = kScriptBoolean;
  target->boolValue = value ? 1 : 0;
  target->textValue.clear();
  return true;
}

bool ScriptParamSetString(int32_t script, int32_t thread, int32_t slot, const std::string& value) {
  Parameter* target = SlotOf(script, thread, slot);
  if (target == nullptr) {
    return false;
  }
  target->type = kScriptString;
  target->textValue = value;
  return true;
}
