// A control set's bindings in "settings.ini": the section "Input Control
// Set <name>" with the joysticks found, the actions and their controls with
// weights, and the pointer actions with their speeds.
#include <set>

#include "framework/ini/ini.h"
#include "framework/input/input_internal.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace {

constexpr int32_t kLargestWeight = 255;
// What a read returns for a key the section does not have: no stored value
// can hold a line break.
const std::string kMissing = "\n";

std::string Section(const InputControlSet& set) {
  return "Input Control Set " + set.name;
}

// "Action 1 Control 2" and "Pointer Action 3 Control 1" hold a stored
// control name, a blank and the weight or speed.
std::string BindingText(const InputBinding& binding) {
  return InputControlName(binding.control) + " " + std::to_string(binding.value);
}

void SaveBindings(const std::string& section, const std::string& prefix,
                  const std::vector<InputBinding>& bindings) {
  IniWriteInt(section, prefix + "Controls", static_cast<int32_t>(bindings.size()));
  for (size_t j = 0; j < bindings.size(); ++j) {
    IniWriteString(section, prefix + "Control " + std::to_string(j + 1), BindingText(bindings[j]));
  }
}

// One binding from its key's text; false (logged, naming the key) when the
// text is not a known control name followed by a number.
bool ParseBinding(const std::string& section, const std::string& key, const std::string& text,
                  InputBinding& binding) {
  const size_t blank = text.rfind(' ');
  int32_t value = 0;
  if (blank == std::string::npos || !UtilitiesParseInteger(text.substr(blank + 1), value)) {
    LogError("InputControlSetLoad - The key \"" + key + "\" of \"" + section +
             "\" holds no control and number.");
    return false;
  }
  const int32_t control = InputControlCode(text.substr(0, blank));
  if (control == 0) {
    LogError("InputControlSetLoad - Unknown control \"" + text.substr(0, blank) + "\" in key \"" +
             key + "\" of \"" + section + "\".");
    return false;
  }
  binding = {control, value};
  return true;
}

// The bindings listed under a prefix; the count is only trusted as far as
// the keys exist, so a huge count costs nothing.
std::vector<InputBinding> LoadBindings(const std::string& section, const std::string& prefix) {
  std::vector<InputBinding> bindings;
  const int32_t count = IniReadInt(section, prefix + "Controls", 0);
  for (int32_t j = 1; j <= count; ++j) {
    const std::string key = prefix + "Control " + std::to_string(j);
    const std::string text = IniReadString(section, key, kMissing);
    if (text == kMissing) {
      break;
    }
    InputBinding binding;
    if (ParseBinding(section, key, text, binding)) {
      bindings.push_back(binding);
    }
  }
  return bindings;
}

// Saved actions replace the bindings of the set's actions of that name
// (made when missing); a name saved twice adds to the first. False when the
// section has no action.
bool LoadActions(const InputControlSet& set, const std::string& section) {
  const int32_t count = IniReadInt(section, "Action Count", 0);
  std::set<int32_t> loaded;
  for (int32_t i = 1; i <= count; ++i) {
    const std::string prefix = "Action " + std::to_string(i);
    const std::string name = IniReadString(section, prefix, kMissing);
    if (name == kMissing) {
      break;
    }
    int32_t action = InputActionFind(set.id, name);
    if (action == 0) {
      action = InputActionNew(set.id, name);
    }
    if (loaded.insert(action).second) {
      InputActionClear(action);
    }
    for (const InputBinding& binding : LoadBindings(section, prefix + " ")) {
      // Weights are bytes; a larger one written by hand counts as the largest.
      InputActionBind(action, binding.control, std::min(binding.value, kLargestWeight));
    }
  }
  return !loaded.empty();
}

void LoadPointer(InputControlSet& set, const std::string& section) {
  for (int32_t k = 1; k <= 4; ++k) {
    const std::string prefix = "Pointer Action " + std::to_string(k) + " ";
    if (IniReadString(section, prefix + "Controls", kMissing) == kMissing) {
      continue;
    }
    set.pointerActions[k - 1].clear();
    for (const InputBinding& binding : LoadBindings(section, prefix)) {
      InputPointerBind(set.id, k, binding.control, binding.value);
    }
  }
  set.followsMouse = IniReadBool(section, "Pointer Map Mouse", set.followsMouse);
}

}  // namespace

void InputControlSetSave(int32_t set) {
  const InputControlSet* record = InputSetFind(set);
  if (record == nullptr) {
    return;
  }
  const std::string section = Section(*record);
  IniBatchBegin();
  const std::vector<InputJoystick>& joysticks = InputJoysticks();
  IniWriteInt(section, "Game Controllers", static_cast<int32_t>(joysticks.size()));
  for (size_t n = 0; n < joysticks.size(); ++n) {
    IniWriteString(section, "Controller " + std::to_string(n + 1),
                   std::to_string(joysticks[n].caps.manufacturer) + ";" +
                       std::to_string(joysticks[n].caps.product));
  }
  IniWriteInt(section, "Action Count", static_cast<int32_t>(record->actions.size()));
  for (size_t i = 0; i < record->actions.size(); ++i) {
    const InputAction& action = record->actions[i];
    const std::string prefix = "Action " + std::to_string(i + 1);
    IniWriteString(section, prefix, action.name);
    SaveBindings(section, prefix + " ", action.bindings);
  }
  IniWriteBool(section, "Pointer Map Mouse", record->followsMouse);
  for (size_t k = 0; k < record->pointerActions.size(); ++k) {
    SaveBindings(section, "Pointer Action " + std::to_string(k + 1) + " ",
                 record->pointerActions[k]);
  }
  IniBatchEnd();
}

bool InputControlSetLoad(int32_t set) {
  InputControlSet* record = InputSetFind(set);
  if (record == nullptr) {
    return false;
  }
  const std::string section = Section(*record);
  if (!LoadActions(*record, section)) {
    return false;
  }
  LoadPointer(*record, section);
  return true;
}
