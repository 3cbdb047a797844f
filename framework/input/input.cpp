// The module's lifecycle and its control sets: actions and their bindings,
// the pointer and its actions, feeding controls and the event queues, and
// the "Menu Controls" set built at start.
#include <algorithm>
#include <limits>

#include "framework/input/input_internal.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace {

constexpr size_t kQueueLimit = 1000;
constexpr int32_t kLargestWeight = 255;
constexpr int32_t kKeyDownArrow = 14;
constexpr int32_t kKeyLeftArrow = 15;
constexpr int32_t kKeyRightArrow = 16;
constexpr int32_t kKeyUpArrow = 17;
constexpr int32_t kKeyPageDown = 91;
constexpr int32_t kKeyPageUp = 92;
// Joystick elements the menu controls bind.
constexpr int32_t kJoystickButton1 = 1;
constexpr int32_t kJoystickButton2 = 2;
constexpr int32_t kJoystickXAxisLeft = 40;
constexpr int32_t kJoystickXAxisRight = 41;
constexpr int32_t kJoystickYAxisDown = 42;
constexpr int32_t kJoystickYAxisUp = 43;
constexpr int32_t kJoystickZAxisDown = 44;
constexpr int32_t kJoystickZAxisUp = 45;

enum PointerAction : int32_t {
  kPointerDown = 1,
  kPointerLeft = 2,
  kPointerRight = 3,
  kPointerUp = 4
};

struct InputModule {
  std::vector<InputControlSet> sets;  // creation order
  int32_t nextSet = 1;
  int32_t nextAction = 1;
  int32_t active = -1;
  int32_t menu = -1;
};

InputModule module;

bool SameName(const std::string& a, const std::string& b) {
  return UtilitiesUpperCase(a) == UtilitiesUpperCase(b);
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The set holding an action and the action itself; both null when unknown.
struct ActionPlace {
  InputControlSet* set = nullptr;
  InputAction* action = nullptr;
};

ActionPlace FindAction(int32_t action) {
  for (InputControlSet& set : module.sets) {
    for (InputAction& candidate : set.actions) {
      if (candidate.id == action) {
        return {&set, &candidate};
      }
    }
  }
  return {};
}

void RemoveControl(std::vector<InputBinding>& bindings, int32_t control) {
  std::erase_if(bindings, [control](const InputBinding& b) { return b.control == control; });
}

bool HasControl(const std::vector<InputBinding>& bindings, int32_t control) {
  return std::any_of(bindings.begin(), bindings.end(),
                     [control](const InputBinding& b) { return b.control == control; });
}

void Push(std::deque<InputEvent>& queue, int32_t code, int32_t value) {
  queue.push_back({code, value, false});
  if (queue.size() > kQueueLimit) {
    queue.pop_front();
  }
}

int32_t ClientWidth(const InputDisplayWindow& entry) {
  return std::max(PlatformWindowClientRect(entry.window).width, 1);
}

int32_t ClientHeight(const InputDisplayWindow& entry) {
  return std::max(PlatformWindowClientRect(entry.window).height, 1);
}

// Moves the pointer by (dx, dy): across the edges of the display windows in
// list order, stopping at the outer edges of the first and the last, and
// clamped to the height of the window it ends on. A pointer on no display
// has nothing to move across.
void MovePointer(InputControlSet& set, int64_t dx, int64_t dy) {
  const std::vector<InputDisplayWindow>& windows = InputDisplayWindows();
  auto on = std::find_if(windows.begin(), windows.end(), [&set](const InputDisplayWindow& entry) {
    return entry.display == set.pointerDisplay;
  });
  if (on == windows.end()) {
    return;
  }
  size_t index = static_cast<size_t>(on - windows.begin());
  int64_t x = set.pointerX + dx;
  while (x < 0) {
    if (index == 0) {
      x = 0;
      break;
    }
    --index;
    x += ClientWidth(windows[index]);
  }
  while (x >= ClientWidth(windows[index])) {
    if (index + 1 == windows.size()) {
      x = ClientWidth(windows[index]) - 1;
      break;
    }
    x -= ClientWidth(windows[index]);
    ++index;
  }
  set.pointerDisplay = windows[index].display;
  set.pointerX = static_cast<int32_t>(x);
  set.pointerY = static_cast<int32_t>(
      std::clamp<int64_t>(set.pointerY + dy, 0, ClientHeight(windows[index]) - 1));
}

// A pointer action's control pushes the pointer by value x time since the
// set was activated x speed x 8 / 100000. The product is taken in 64 bits
// and saturated, so a long-active set moves the pointer far, never backwards.
void PushPointer(InputControlSet& set, int32_t pointerAction, int32_t value, int32_t speed) {
  const int32_t elapsed = static_cast<int32_t>(PlatformTickCount() - set.activationTime);
  if (elapsed <= 0) {
    return;
  }
  const int64_t amount = Saturate(int64_t{value} * elapsed * speed * 8 / 100000);
  switch (pointerAction) {
    case kPointerDown:
      MovePointer(set, 0, amount);
      break;
    case kPointerLeft:
      MovePointer(set, -amount, 0);
      break;
    case kPointerRight:
      MovePointer(set, amount, 0);
      break;
    default:
      MovePointer(set, 0, -amount);
      break;
  }
}

bool IsMouseMovement(int32_t control) {
  return control == kInputMouseDown || control == kInputMouseLeft || control == kInputMouseRight ||
         control == kInputMouseUp;
}

// Binds each existing joystick's element with the weight or speed.
template <typename Bind>
void BindJoysticks(int32_t element, Bind bind) {
  for (int32_t joystick = 0; joystick < InputJoystickCount(); ++joystick) {
    const int32_t control = InputJoystickControl(joystick, element);
    if (control != -1) {
      bind(control);
    }
  }
}

void BindAction(int32_t set, const std::string& name, std::initializer_list<int32_t> controls,
                std::initializer_list<int32_t> joystickElements) {
  const int32_t action = InputActionNew(set, name);
  for (int32_t control : controls) {
    InputActionBind(action, control, 100);
  }
  for (int32_t element : joystickElements) {
    BindJoysticks(element, [action](int32_t control) { InputActionBind(action, control, 100); });
  }
}

void BindPointer(int32_t set, int32_t pointerAction, int32_t mouse, int32_t key,
                 int32_t joystickElement) {
  InputPointerBind(set, pointerAction, mouse, 100);
  InputPointerBind(set, pointerAction, key, 50);
  BindJoysticks(joystickElement, [set, pointerAction](int32_t control) {
    InputPointerBind(set, pointerAction, control, 100);
  });
}

// The set the interface screens use.
void BuildMenuControls() {
  const int32_t set = InputControlSetNew("Menu Controls", false);
  module.menu = set;
  BindPointer(set, kPointerDown, kInputMouseDown, kKeyDownArrow, kJoystickYAxisDown);
  BindPointer(set, kPointerLeft, kInputMouseLeft, kKeyLeftArrow, kJoystickXAxisLeft);
  BindPointer(set, kPointerRight, kInputMouseRight, kKeyRightArrow, kJoystickXAxisRight);
  BindPointer(set, kPointerUp, kInputMouseUp, kKeyUpArrow, kJoystickYAxisUp);
  BindAction(set, "Scroll Up", {kInputMouseScrollUp, kKeyPageUp}, {kJoystickZAxisUp});
  BindAction(set, "Scroll Down", {kInputMouseScrollDown, kKeyPageDown}, {kJoystickZAxisDown});
  BindAction(set, "Exit", {kInputKeyEscape}, {});
  BindAction(set, "Select Item", {kInputMouseLeftButton, kInputKeyEnter}, {kJoystickButton1});
  BindAction(set, "Select Item Secondary", {kInputMouseRightButton}, {kJoystickButton2});
}

std::vector<InputEvent> Copy(const std::deque<InputEvent>& queue) {
  return {queue.begin(), queue.end()};
}

}  // namespace

// --- Shared with the other files ----------------------------------------------------------

InputControlSet* InputSetFind(int32_t set) {
  for (InputControlSet& record : module.sets) {
    if (record.id == set) {
      return &record;
    }
  }
  return nullptr;
}

void InputSetsAdoptDisplay(int32_t display) {
  for (InputControlSet& set : module.sets) {
    if (set.pointerDisplay == -1) {
      set.pointerDisplay = display;
    }
  }
}

void InputSetsDropDisplay(int32_t display) {
  for (InputControlSet& set : module.sets) {
    if (set.pointerDisplay == display) {
      set.pointerDisplay = -1;
    }
  }
}

// --- Module lifecycle ---------------------------------------------------------------------

void InputStart() {
  LogVersion("qmrInput - Version 1.0");
  module = InputModule{};
  InputDevicesReset();
  InputJoysticksDiscover();
  BuildMenuControls();
}

void InputStop() {
  InputKeyboardHookOff();
  for (const InputControlSet& set : module.sets) {
    if (set.save) {
      InputControlSetSave(set.id);
    }
  }
  module = InputModule{};
  InputDevicesReset();
  InputJoysticksClear();
}

// --- Control sets ---------------------------------------------------------------------------

int32_t InputControlSetNew(const std::string& name, bool save) {
  if (InputControlSetFind(name) != -1) {
    return 0;
  }
  InputControlSet set;
  set.id = module.nextSet++;
  set.name = name;
  set.save = save;
  const std::vector<InputDisplayWindow>& windows = InputDisplayWindows();
  if (!windows.empty()) {
    const PlatformRect client = PlatformWindowClientRect(windows.front().window);
    set.pointerDisplay = windows.front().display;
    set.pointerX = client.width / 2;
    set.pointerY = client.height / 2;
  }
  module.sets.push_back(std::move(set));
  return module.sets.back().id;
}

int32_t InputControlSetFind(const std::string& name) {
  for (const InputControlSet& set : module.sets) {
    if (SameName(set.name, name)) {
      return set.id;
    }
  }
  return -1;
}

void InputControlSetActivate(int32_t set) {
  if (InputControlSet* record = InputSetFind(set)) {
    module.active = set;
    record->activationTime = PlatformTickCount();
  }
}

int32_t InputControlSetActive() {
  return module.active;
}

int32_t InputMenuControlSet() {
  return module.menu;
}

// --- Actions and bindings ---------------------------------------------------------------------

int32_t InputActionNew(int32_t set, const std::string& name) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr || InputActionFind(set, name) != 0) {
    return 0;
  }
  record->actions.push_back({module.nextAction++, name, {}});
  return record->actions.back().id;
}

int32_t InputActionFind(int32_t set, const std::string& name) {
  if (const InputControlSet* record = InputSetFind(set)) {
    for (const InputAction& action : record->actions) {
      if (SameName(action.name, name)) {
        return action.id;
      }
    }
  }
  return 0;
}

int32_t InputActionCount(int32_t set) {
  const InputControlSet* record = InputSetFind(set);
  return record != nullptr ? static_cast<int32_t>(record->actions.size()) : 0;
}

int32_t InputActionAt(int32_t set, int32_t index) {
  const InputControlSet* record = InputSetFind(set);
  if (record == nullptr || index < 0 || index >= static_cast<int32_t>(record->actions.size())) {
    return -1;
  }
  return record->actions[index].id;
}

std::string InputActionName(int32_t action) {
  const ActionPlace place = FindAction(action);
  return place.action != nullptr ? place.action->name : std::string();
}

// Weights are bytes: a weight outside 0-255 is clamped into that range.
void InputActionBind(int32_t action, int32_t control, int32_t weight) {
  const ActionPlace place = FindAction(action);
  if (place.action == nullptr || HasControl(place.action->bindings, control)) {
    return;
  }
  for (InputAction& other : place.set->actions) {
    RemoveControl(other.bindings, control);
  }
  place.action->bindings.push_back({control, std::clamp(weight, 0, kLargestWeight)});
}

void InputActionUnbind(int32_t action, int32_t control) {
  if (InputAction* record = FindAction(action).action) {
    RemoveControl(record->bindings, control);
  }
}

void InputActionClear(int32_t action) {
  if (InputAction* record = FindAction(action).action) {
    record->bindings.clear();
  }
}

int32_t InputActionControl(int32_t action, int32_t index) {
  const InputAction* record = FindAction(action).action;
  if (record == nullptr || index < 0 || index >= static_cast<int32_t>(record->bindings.size())) {
    return 0;
  }
  return record->bindings[index].control;
}

int32_t InputActionOfControl(int32_t set, int32_t control) {
  if (const InputControlSet* record = InputSetFind(set)) {
    for (const InputAction& action : record->actions) {
      if (HasControl(action.bindings, control)) {
        return action.id;
      }
    }
  }
  return -1;
}

// --- The pointer of a set ------------------------------------------------------------------------

void InputPointerBind(int32_t set, int32_t pointerAction, int32_t control, int32_t speed) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr || pointerAction < kPointerDown || pointerAction > kPointerUp ||
      control <= 0) {
    return;
  }
  if (IsMouseMovement(control)) {
    record->followsMouse = true;
    return;
  }
  std::vector<InputBinding>& own = record->pointerActions[pointerAction - 1];
  for (std::vector<InputBinding>& other : record->pointerActions) {
    if (&other != &own) {
      RemoveControl(other, control);
    }
  }
  if (!HasControl(own, control)) {
    own.push_back({control, speed});
  }
}

InputPointer InputPointerGet(int32_t set) {
  const InputControlSet* record = InputSetFind(set);
  if (record == nullptr) {
    return {};
  }
  return {record->pointerDisplay, record->pointerX, record->pointerY};
}

// --- Feeding and events
// ------------------------------------------------------------------------------

void InputControlFeed(int32_t set, int32_t control, int32_t value) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr || control < 1 || control > kInputHighestControl) {
    return;
  }
  Push(record->controlEvents, control, value);
  if (record->states.size() < static_cast<size_t>(control)) {
    record->states.resize(control);
  }
  int32_t& state = record->states[control - 1];
  // Mouse movement and wheels add up (in 32 bits, wrapping); keys and buttons
  // hold their last value.
  state = control >= kInputMouseDown && control <= kInputMouseUp
              ? static_cast<int32_t>(static_cast<uint32_t>(state) + static_cast<uint32_t>(value))
              : value;
  for (const InputAction& action : record->actions) {
    for (const InputBinding& binding : action.bindings) {
      if (binding.control == control) {
        Push(record->actionEvents, action.id, Saturate(int64_t{binding.value} * value / 100));
      }
    }
  }
  for (int32_t pointerAction = kPointerDown; pointerAction <= kPointerUp; ++pointerAction) {
    for (const InputBinding& binding : record->pointerActions[pointerAction - 1]) {
      if (binding.control == control) {
        PushPointer(*record, pointerAction, value, binding.value);
      }
    }
  }
}

int32_t InputControlState(int32_t set, int32_t control) {
  const InputControlSet* record = InputSetFind(set);
  if (record == nullptr || control < 1 || static_cast<size_t>(control) > record->states.size()) {
    return 0;
  }
  return record->states[control - 1];
}

std::vector<InputEvent> InputActionEventsTake(int32_t set) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr) {
    return {};
  }
  std::vector<InputEvent> events = Copy(record->actionEvents);
  record->actionEvents.clear();
  return events;
}

std::vector<InputEvent> InputActionEventsPeek(int32_t set) {
  const InputControlSet* record = InputSetFind(set);
  return record != nullptr ? Copy(record->actionEvents) : std::vector<InputEvent>{};
}

void InputActionEventHandled(int32_t set, int32_t index) {
  InputControlSet* record = InputSetFind(set);
  if (record != nullptr && index >= 0 &&
      index < static_cast<int32_t>(record->actionEvents.size())) {
    record->actionEvents[index].handled = true;
  }
}

std::vector<InputEvent> InputControlEventsTake(int32_t set) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr) {
    return {};
  }
  std::vector<InputEvent> events = Copy(record->controlEvents);
  record->controlEvents.clear();
  return events;
}
