// Named, typed variables of the states and the conversions between their types.
#include "framework/state/state_internal.h"

#include <utility>

#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace {

StateVariable* FindVariable(StateRecord& state, const std::string& upperName) {
  for (StateVariable& variable : state.variables) {
    if (variable.name == upperName) {
      return &variable;
    }
  }
  return nullptr;
}

// Stores the value under the upper-cased name, appending the variable when
// missing; a variable may change its type. An id without a state stores nothing.
void Store(int32_t id, const std::string& name, StateVariable value) {
  StateRecord* state = StateFind(id);
  if (state == nullptr) {
    return;
  }
  value.name = UtilitiesUpperCase(name);
  if (StateVariable* variable = FindVariable(*state, value.name)) {
    *variable = std::move(value);
  } else {
    state->variables.push_back(std::move(value));
  }
}

}  // namespace

// --- Setting --------------------------------------------------------------------

void StateVariableSetBool(int32_t id, const std::string& name, bool value) {
  StateVariable variable;
  variable.type = kStateVariableBool;
  variable.boolValue = value;
  Store(id, name, std::move(variable));
}

void StateVariableSetInt(int32_t id, const std::string& name, int32_t value) {
  StateVariable variable;
  variable.type = kStateVariableInt;
  variable.intValue = value;
  Store(id, name, std::move(variable));
}

void StateVariableSetString(int32_t id, const std::string& name, const std::string& value) {
  StateVariable variable;
  variable.type = kStateVariableString;
  variable.stringValue = value;
  Store(id, name, std::move(variable));
}

// --- Reading and converting -------------------------------------------------------

StateVariable StateVariableGet(int32_t id, const std::string& name) {
  StateRecord* state = StateFind(id);
  if (state == nullptr) {
    return {};
  }
  if (const StateVariable* variable = FindVariable(*state, UtilitiesUpperCase(name))) {
    return *variable;
  }
  LogError("StateVariableGet - Variable \"" + name + "\" doesn't exist for state.");
  return {};
}

bool StateVariableExists(int32_t id, const std::string& name) {
  StateRecord* state = StateFind(id);
  return state != nullptr && FindVariable(*state, UtilitiesUpperCase(name)) != nullptr;
}

bool StateVariableGetBool(int32_t id, const std::string& name) {
  const StateVariable variable = StateVariableGet(id, name);
  switch (variable.type) {
    case kStateVariableBool:
      return variable.boolValue;
    case kStateVariableInt:
      return variable.intValue != 0;
    case kStateVariableString:
      return UtilitiesUpperCase(variable.stringValue) == "TRUE";
    default:
      return false;
  }
}

int32_t StateVariableGetInt(int32_t id, const std::string& name) {
  const StateVariable variable = StateVariableGet(id, name);
  switch (variable.type) {
    case kStateVariableBool:
      return variable.boolValue ? 1 : 0;
    case kStateVariableInt:
      return variable.intValue;
    case kStateVariableString: {
      // Integer text too long for 32 bits reads as 0, like any other text.
      int32_t value = 0;
      return UtilitiesParseInteger(variable.stringValue, value) ? value : 0;
    }
    default:
      return 0;
  }
}

std::string StateVariableGetString(int32_t id, const std::string& name) {
  const StateVariable variable = StateVariableGet(id, name);
  switch (variable.type) {
    case kStateVariableBool:
      return variable.boolValue ? "true" : "false";
    case kStateVariableInt:
      return std::to_string(variable.intValue);
    case kStateVariableString:
      return variable.stringValue;
    default:
      return {};
  }
}
