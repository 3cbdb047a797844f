// Script values and the fixed conversions between their three types.
#include <utility>

#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

Parameter ScriptIntValue(int32_t value) {
  Parameter parameter;
  parameter.intValue = value;
  return parameter;
}

Parameter ScriptBoolValue(bool value) {
  Parameter parameter;
  parameter.type = kScriptBoolean;
  parameter.boolValue = value ? 1 : 0;
  return parameter;
}

Parameter ScriptStringValue(std::string value) {
  Parameter parameter;
  parameter.type = kScriptString;
  parameter.textValue = std::move(value);
  return parameter;
}

// A valid integer text too large for 32 bits keeps its low 32 bits, the way
// a decimal reader that multiplies and adds in 32-bit arithmetic ends up.
int32_t ScriptTextToInt(std::string_view text) {
  if (!UtilitiesIsIntegerText(text)) {
    return 0;
  }
  const bool negative = text[0] == '-';
  uint32_t magnitude = 0;
  for (size_t i = negative ? 1 : 0; i < text.size(); ++i) {
    magnitude = magnitude * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

bool ScriptTextToBool(std::string_view text) {
  return text.size() == 4 && (text[0] | 0x20) == 't' && (text[1] | 0x20) == 'r' &&
         (text[2] | 0x20) == 'u' && (text[3] | 0x20) == 'e';
}

int32_t ScriptToInt(const Parameter& value) {
  switch (value.type) {
    case kScriptInteger:
      return value.intValue;
    case kScriptBoolean:
      return value.boolValue != 0 ? 1 : 0;
    default:
      return ScriptTextToInt(value.textValue);
  }
}

bool ScriptToBool(const Parameter& value) {
  switch (value.type) {
    case kScriptInteger:
      return value.intValue != 0;
    case kScriptBoolean:
      return value.boolValue != 0;
    default:
      return ScriptTextToBool(value.textValue);
  }
}

std::string ScriptToString(const Parameter& value) {
  switch (value.type) {
    case kScriptInteger:
      return std::to_string(value.intValue);
    case kScriptBoolean:
      return value.boolValue != 0 ? "true" : "false";
    default:
      return value.textValue;
  }
}
