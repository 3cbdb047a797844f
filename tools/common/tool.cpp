#include "tools/common/tool.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

std::vector<std::string> ToolArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

bool ToolHelpAsked(const std::vector<std::string>& args, const char* usage) {
  const bool asked = std::find(args.begin(), args.end(), "--help") != args.end() ||
                     (args.size() == 1 && args[0] == "-h");
  if (asked) {
    std::cout << usage;
  }
  return asked;
}

bool ToolReadFile(const std::string& path, std::string& contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  contents = text.str();
  return true;
}

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
