// Named, typed variables of the states and the conversions between their types.
#include "framework/log/log.h"
#include "framework/state/state_internal.h"
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

// The variable of that name, appended when missing; nullptr without a state.
// A variable may change its type, so the caller overwrites it whole.
StateVariable* VariableToSet(int32_t id, const std::string& name) {
  StateRecord* state = StateFind(id);
  if (state == nullptr) {
    return nullptr;
  }
  const std::string upper = UtilitiesUpperCase(name);
  if (StateVariable* variable = FindVariable(*state, upper)) {
    return variable;
  }
  state->variables.push_back(StateVariable{upper});
  return &state->variables.back();
}

}  // namespace

// --- Setting --------------------------------------------------------------------

void StateVariableSetBool(int32_t id, const std::string& name, bool value) {
  if (StateVariable* variable = VariableToSet(id, name)) {
    *variable = StateVariable{variable->name, kStateVariableBool, value};
  }
}

void StateVariableSetInt(int32_t id, const std::string& name, int32_t value) {
  if (StateVariable* variable = VariableToSet(id, name)) {
    *variable = StateVariable{variable->name, kStateVariableInt, false, value};
  }
}

void StateVariableSetString(int32_t id, const std::string& name, const std::string& value) {
  if (StateVariable* variable = VariableToSet(id, name)) {
    *variable = StateVariable{variable->name, kStateVariableString, false, 0, value};
  }
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
