#include "tools/common/tool.h"

#include <algorithm>
#include <iostream>

int ToolFail(const std::string& where, const std::string& message) {
  std::cerr << where << ": " << message << "\n";
  return kToolFailure;
}

void ToolWarn(const std::string& where, const std::string& message) {
  std::cerr << where << ": warning: " << message << "\n";
}

int ToolUsageError(const std::string& tool, const char* usage, const std::string& message) {
  std::cerr << tool << ": " << message << "\n" << usage;
  return kToolUsage;
}

bool ToolParseNumber(const std::string& text, int32_t low, int32_t high, int32_t& value) {
  if (text.empty() || text.size() > 7 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  value = std::stoi(text);
  return value >= low && value <= high;
}
