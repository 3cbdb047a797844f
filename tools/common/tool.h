// What every content tool shares: its exit statuses, the shape of its
// messages on standard error, and reading number options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kToolFailure = 1;  // the work failed; the message says where
constexpr int kToolUsage = 2;    // the command line was wrong

// The command line's arguments after the program's name.
std::vector<std::string> ToolArguments(int argc, char** argv);
// When the arguments ask for help ("--help" anywhere, or "-h" alone), prints
// the usage text on standard output and returns true.
bool ToolHelpAsked(const std::vector<std::string>& args, const char* usage);

// Writes the file whole; false when it cannot be created or written.
bool ToolWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// One line of a recipe: its number from 1 and its words.
struct ToolLine {
  int32_t number = 0;
  std::vector<std::string> words;
};

// The words of one recipe command, taken in order after the command word;
// the first fault is kept for the command's error line.
class ToolWords {
 public:
  explicit ToolWords(const ToolLine& line) : line_(line) {}

  const std::string& Error() const { return error_; }
  bool Fail(const std::string& message) {
    if (error_.empty()) {
      error_ = message;
    }
    return false;
  }
  bool More() const { return next_ < line_.words.size(); }
  // The next word without taking it; empty at the end of the line.
  std::string Peek() const { return More() ? line_.words[next_] : std::string(); }
  bool Word(const char* what, std::string& word) {
    if (!More()) {
      return Fail(line_.words[0] + " needs " + what);
    }
    word = line_.words[next_++];
    return true;
  }
  // Takes the keyword when it is the next word.
  bool Keyword(const char* keyword) {
    if (More() && line_.words[next_] == keyword) {
      ++next_;
      return true;
    }
    return false;
  }
  bool End() { return !More() || Fail("\"" + line_.words[next_] + "\" is one word too many"); }

 private:
  const ToolLine& line_;
  size_t next_ = 1;
  std::string error_;
};

// Reads the whole file; false when it cannot be opened.
bool ToolReadFile(const std::string& path, std::string& contents);
// Reads a recipe: one command per line, skipping blank lines and lines whose
// first character (after spaces) is '#'. Words are split at spaces and tabs;
// a word in double quotes keeps its spaces (\" and \\ stand for a quote and
// a backslash there) and is stored with its opening quote, so that quoted
// text can be told from a bare word. False after reporting the fault as
// "file: error: ..." or "file:line: error: ...".
bool ToolReadRecipe(const std::string& path, std::vector<ToolLine>& lines);
// Prints "<where>: <message>" (where is a file, or file:line); kToolFailure.
int ToolFail(const std::string& where, const std::string& message);
// Prints "<where>: warning: <message>".
void ToolWarn(const std::string& where, const std::string& message);
// Prints "<tool>: <message>" and the usage text; kToolUsage.
int ToolUsageError(const std::string& tool, const char* usage, const std::string& message);
// A whole decimal number of at most seven digits within [low, high]; false
// when the text is not one.
bool ToolParseNumber(const std::string& text, int32_t low, int32_t high, int32_t& value);

// The main of a tool whose work takes one set of options: the help, the
// options parsed (a fault is a usage error), then the work's exit status.
template <typename Options, typename Parse, typename Work>
int ToolMain(int argc, char** argv, const char* tool, const char* usage, Parse parse, Work work) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, usage)) {
    return 0;
  }
  Options options;
  std::string error;
  if (!parse(args, options, error)) {
    return ToolUsageError(tool, usage, error);
  }
  return work(options);
}
