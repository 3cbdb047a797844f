// States, their handlers, switching and the per-state clocks.
#include "framework/state/state_internal.h"

#include <utility>

#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

struct StateModule {
  std::vector<std::unique_ptr<StateRecord>> states;  // creation order
  StateRecord* current = nullptr;
  StateChangeHook hook;
  bool inProcess = false;  // a process handler is running
  int32_t pending = 0;     // switch requested by the running process handler
};

StateModule module;

StateRecord& FindOrCreate(int32_t id) {
  if (StateRecord* state = StateFind(id)) {
    return *state;
  }
  module.states.push_back(std::make_unique<StateRecord>());
  module.states.back()->id = id;
  return *module.states.back();
}

template <typename Handler>
bool SetHandler(int32_t id, Handler StateRecord::*member, Handler handler) {
  if (id <= 0) {
    return false;
  }
  StateRecord& state = FindOrCreate(id);
  if (state.*member) {
    return false;
  }
  state.*member = std::move(handler);
  return true;
}

// The clock runs only while the state is current and not paused; otherwise it
// shows the value it had when it was last frozen.
uint32_t ClockValue(const StateRecord& state) {
  if (&state != module.current || state.paused) {
    return state.elapsed;
  }
  return state.elapsed + PlatformTickCount() - state.startTick;
}

void FreezeClock(StateRecord& state) {
  if (!state.paused) {
    state.elapsed = ClockValue(state);
  }
}

void Enter(StateRecord& state, int32_t previous) {
  module.current = &state;
  if (!state.paused) {
    state.startTick = PlatformTickCount();
  }
  if (state.enter) {
    state.enter(previous);
  }
}

}  // namespace

// --- Lookups shared with the other source files ------------------------------

StateRecord* StateFind(int32_t id) {
  if (module.current != nullptr && module.current->id == id) {
    return module.current;
  }
  for (const auto& state : module.states) {
    if (state->id == id) {
      return state.get();
    }
  }
  return nullptr;
}

StateRecord* StateFindBySaveName(const std::string& name) {
  const std::string upper = UtilitiesUpperCase(name);
  if (upper.empty()) {
    return nullptr;
  }
  for (const auto& state : module.states) {
    if (state->saveName == upper) {
      return state.get();
    }
  }
  return nullptr;
}

const std::vector<std::unique_ptr<StateRecord>>& StateRecords() {
  return module.states;
}

// --- Module lifecycle ---------------------------------------------------------

void StateStart() {
  StateStop();
  LogVersion("qmrState - Version Alpha.0");
}

void StateStop() {
  module = StateModule{};
}

// --- States and handlers --------------------------------------------------------

bool StateSetEnter(int32_t id, StateEnterHandler handler) {
  return SetHandler(id, &StateRecord::enter, std::move(handler));
}

bool StateSetProcess(int32_t id, StateProcessHandler handler) {
  return SetHandler(id, &StateRecord::process, std::move(handler));
}

bool StateSetExit(int32_t id, StateExitHandler handler) {
  return SetHandler(id, &StateRecord::exit, std::move(handler));
}

bool StateSetSaveName(int32_t id, const std::string& name) {
  if (id <= 0) {
    LogError("StateSetSaveName - stateId " + std::to_string(id) + " is invalid.");
    return false;
  }
  StateRecord* state = StateFind(id);
  if (state == nullptr) {
    LogError("StateSetSaveName - State doesn't exist.");
    return false;
  }
  const StateRecord* owner = StateFindBySaveName(name);
  if (owner != nullptr && owner != state) {
    LogError("StateSetSaveName - Another state already has the name \"" + UtilitiesUpperCase(name) +
             "\".");
    return false;
  }
  state->saveName = UtilitiesUpperCase(name);
  return true;
}

void StateSetChangeHook(StateChangeHook hook) {
  module.hook = std::move(hook);
}

// --- Switching ------------------------------------------------------------------

int32_t StateGetCurrent() {
  return module.current == nullptr ? 0 : module.current->id;
}

void StateSet(int32_t id) {
  if (module.inProcess) {
    module.pending = id;
    return;
  }
  module.pending = 0;
  const int32_t old = StateGetCurrent();
  if (id == old) {
    return;
  }
  // A copy, so that a hook replacing itself is not destroyed while it runs.
  const StateChangeHook hook = module.hook;
  if (hook && !hook(old, id)) {
    return;
  }
  StateRecord* leaving = module.current;
  if (leaving != nullptr && leaving->exit) {
    leaving->exit(id);
  }
  // An unknown id keeps the old state current, its exit handler having run;
  // its clock keeps running as if it had never been left.
  StateRecord* entering = id == 0 ? nullptr : StateFind(id);
  if (id != 0 && entering == nullptr) {
    return;
  }
  if (leaving != nullptr) {
    FreezeClock(*leaving);
  }
  module.current = nullptr;
  if (entering != nullptr) {
    Enter(*entering, old);
  }
}

void StateProcess() {
  module.pending = 0;
  if (module.current == nullptr) {
    return;
  }
  module.inProcess = true;
  if (module.current->process) {
    module.current->process();
  }
  module.inProcess = false;
  if (module.pending != 0) {
    StateSet(module.pending);
  }
}

// --- Clocks -----------------------------------------------------------------------

uint32_t StateGetTime(int32_t id) {
  const StateRecord* state = StateFind(id);
  return state == nullptr ? 0 : ClockValue(*state);
}

bool StateIsPaused() {
  return module.current != nullptr && module.current->paused;
}

void StatePause() {
  if (module.current != nullptr) {
    FreezeClock(*module.current);
    module.current->paused = true;
  }
}

void StateResume() {
  if (module.current != nullptr) {
    StateResumeId(module.current->id);
  }
}

void StateResumeId(int32_t id) {
  // Only a paused clock restarts: restarting a running one would lose the
  // time since it last started. A state that is not current keeps its frozen
  // value until it is entered, which starts its clock.
  StateRecord* state = StateFind(id);
  if (state != nullptr && state->paused) {
    state->startTick = PlatformTickCount();
    state->paused = false;
  }
}

void StateResetTime(int32_t id) {
  StateSetTime(id, 0);
}

void StateSetTime(int32_t id, uint32_t milliseconds) {
  if (StateRecord* state = StateFind(id)) {
    state->elapsed = milliseconds;
    state->startTick = PlatformTickCount();
  }
}
