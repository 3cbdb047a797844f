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

bool ToolWriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

namespace {

// Splits a line into words (see ToolReadRecipe); false with the reason.
bool SplitWords(const std::string& text, std::vector<std::string>& words, std::string& error) {
  size_t at = 0;
  while (true) {
    at = text.find_first_not_of(" \t", at);
    if (at == std::string::npos) {
      return true;
    }
    if (text[at] != '"') {
      const size_t end = std::min(text.find_first_of(" \t", at), text.size());
      words.push_back(text.substr(at, end - at));
      at = end;
      continue;
    }
    std::string word = "\"";
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] == '\\' && at + 1 < text.size() &&
          (text[at + 1] == '"' || text[at + 1] == '\\')) {
        ++at;
      }
      word += text[at];
    }
    if (at == text.size()) {
      error = "the text has no closing '\"'";
      return false;
    }
    words.push_back(word);
    ++at;
  }
}

}  // namespace

bool ToolReadRecipe(const std::string& path, std::vector<ToolLine>& lines) {
  std::string contents;
  if (!ToolReadFile(path, contents)) {
    ToolFail(path, "error: cannot read the recipe");
    return false;
  }
  std::istringstream in(contents);
  std::string text;
  for (int32_t number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] == '#') {
      continue;
    }
    ToolLine line{number, {}};
    std::string error;
    if (!SplitWords(text, line.words, error)) {
      ToolFail(path + ":" + std::to_string(number), "error: " + error);
      return false;
    }
    lines.push_back(std::move(line));
  }
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
