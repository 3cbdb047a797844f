// The script table: ids, lookup, the thread id counter, and the module's
// start and stop.
#include <algorithm>

#include "framework/input/input.h"
#include "framework/log/log.h"
#include "script/script_internal.h"

namespace {

struct ScriptModule {
  std::vector<std::unique_ptr<Script>> scripts;  // ascending ids
  int32_t nextScriptId = 1;
  int32_t nextThreadId = 1;
};

ScriptModule module;

}  // namespace

void ScriptStart() {
  LogVersion("qmrScript - Version Alpha.0");
  module = ScriptModule{};
  ScriptRoutinesClear();
  ScriptDebugStart();
}

void ScriptStop() {
  while (!module.scripts.empty()) {
    ScriptClose(module.scripts.front()->id);
  }
  ScriptRoutinesClear();
  module = ScriptModule{};
}

std::vector<std::unique_ptr<Script>>& ScriptTable() {
  return module.scripts;
}

Script* ScriptFind(int32_t id) {
  const auto found = std::lower_bound(
      module.scripts.begin(), module.scripts.end(), id,
      [](const std::unique_ptr<Script>& script, int32_t wanted) { return script->id < wanted; });
  return found != module.scripts.end() && (*found)->id == id ? found->get() : nullptr;
}

bool ScriptExists(int32_t script) {
  return ScriptFind(script) != nullptr;
}

int32_t ScriptNew() {
  auto script = std::make_unique<Script>();
  script->id = module.nextScriptId++;
  // The script follows the pointer and buttons of the control set in use,
  // or of the menus' set when none is.
  const int32_t active = InputControlSetActive();
  script->inputDevice = active >= 0 ? active : InputMenuControlSet();
  ScriptThreadNew(*script);
  module.scripts.push_back(std::move(script));
  return module.scripts.back()->id;
}

int32_t ScriptNextThreadId() {
  return module.nextThreadId++;
}

// The stable merge sort gives exactly the order of the designed exchange sort
// (equal orders keep their sequence) without its quadratic time on a list
// read from a file.
void ScriptSortByOrder(std::vector<OrderedObject>& list) {
  std::stable_sort(list.begin(), list.end(), [](const OrderedObject& a, const OrderedObject& b) {
    return a.order < b.order;
  });
}

// --- Diagnostics -------------------------------------------------------------------

int32_t ScriptCount() {
  return static_cast<int32_t>(module.scripts.size());
}

int32_t ScriptThreadCount() {
  size_t count = 0;
  for (const auto& script : module.scripts) {
    count += script->threads.size();
  }
  return static_cast<int32_t>(count);
}
