// The replay file: hand-writable text, one statement a line. A header names
// the run (format version, step, window size, seed, start time); then come
// the input lines, each led by the frame it belongs to, "wait" lines and an
// optional "end" line.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "framework/input/input.h"
#include "shell/replay.h"

namespace {

constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kWheel = 0x020A;
constexpr uint32_t kHorizontalWheel = 0x020E;
// The wheel delta of one notch, in the high word of a wheel's wParam.
constexpr uint32_t kWheelForward = 120u << 16;
constexpr uint32_t kWheelBackward = 0xFF88u << 16;  // -120
// A wheel's wParam above this is a turn towards the user (or to the right).
constexpr uint32_t kWheelBackwards = 0x7CFFFFFF;
constexpr int32_t kScancodes = 512;
constexpr int32_t kLargestStep = 1000;
constexpr int32_t kLargestSize = 16384;
constexpr const char* kHeaderWords[] = {"step", "size", "seed", "start"};

bool IsHeaderWord(const std::string& word) {
  return std::find(std::begin(kHeaderWords), std::end(kHeaderWords), word) !=
         std::end(kHeaderWords);
}

// The mouse buttons by name: the down message (up is the next one) and the
// high word of wParam that tells the extra buttons apart.
struct Button {
  const char* name;
  uint32_t down;
  uint32_t highWord;
};
constexpr Button kButtons[] = {
    {"left", 0x0201, 0}, {"right", 0x0204, 0}, {"middle", 0x0207, 0},
    {"x1", 0x020B, 1},   {"x2", 0x020B, 2},
};

struct Wheel {
  const char* name;
  uint32_t message;
  uint32_t wParam;
};
constexpr Wheel kWheels[] = {
    {"up", kWheel, kWheelForward},
    {"down", kWheel, kWheelBackward},
    {"left", kHorizontalWheel, kWheelForward},
    {"right", kHorizontalWheel, kWheelBackward},
};

// Splits a line into words at blanks and tabs; a word in double quotes may
// hold blanks. False for a quote that is not closed.
bool Words(const std::string& text, std::vector<std::string>& words) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (text[i] == '"') {
      const size_t close = text.find('"', i + 1);
      if (close == std::string::npos) {
        return false;
      }
      words.push_back(text.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    const size_t end = text.find_first_of(" \t\"", i);
    words.push_back(text.substr(i, end == std::string::npos ? std::string::npos : end - i));
    i = end == std::string::npos ? text.size() : end;
  }
  return true;
}

// A whole word of decimal digits within [low, high].
std::optional<int64_t> Number(const std::string& word, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, fault] = std::from_chars(word.data(), end, value);
  if (word.empty() || word[0] == '+' || fault != std::errc() || stop != end || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

std::string Quoted(const std::string& word) {
  return word.find_first_of(" \t") != std::string::npos || word.empty() ? '"' + word + '"' : word;
}

// Reads the file line by line, keeping the first fault.
class Parser {
 public:
  Parser(const std::string& name, ReplayFile& file) : name_(name), file_(file) {}

  bool Line(int32_t number, const std::string& text) {
    number_ = number;
    words_.clear();
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') {
      return true;  // blank, or a comment
    }
    if (!Words(text, words_)) {
      return Fail("a quote is not closed");
    }
    if (ended_) {
      return Fail("nothing may follow the end line");
    }
    if (!versionSeen_) {
      return Version();
    }
    if (!inputSeen_ && HeaderLine()) {
      return ok_;
    }
    if (inputSeen_ && IsHeaderWord(words_[0])) {
      return Fail("the header's lines come before the first frame");
    }
    if (!inputSeen_ && !HeaderComplete()) {
      return false;
    }
    inputSeen_ = true;
    return InputLine();
  }

  // The end of the text: a file needs at least its header.
  bool Finish() {
    if (!versionSeen_) {
      return Fail("the file is empty; it begins with \"replay 1\"");
    }
    return inputSeen_ || HeaderComplete();
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& message) {
    error_ = name_ + ":" + std::to_string(number_) + ": " + message;
    ok_ = false;
    return false;
  }

  bool Count(size_t count, const char* form) {
    return words_.size() == count || Fail(std::string("expected \"") + form + "\"");
  }

  bool Version() {
    if (words_[0] != "replay" || words_.size() != 2) {
      return Fail("a replay file begins with \"replay 1\"");
    }
    if (words_[1] != "1") {
      return Fail("replay format " + words_[1] + " is not known; this game reads format 1");
    }
    versionSeen_ = true;
    return true;
  }

  // One of the header's lines; false when the line is not a header line
  // (ok_ tells whether it was a faulty one).
  bool HeaderLine() {
    ReplayHeader& header = file_.header;
    const std::string& word = words_[0];
    if (word == "step") {
      const std::optional<int64_t> step =
          words_.size() == 2 ? Number(words_[1], 1, kLargestStep) : std::nullopt;
      header.step = static_cast<int32_t>(step.value_or(0));
      return Seen(step, "step MILLISECONDS", "a step of 1 to 1000 ms");
    }
    if (word == "size") {
      const bool three = words_.size() == 3;
      const std::optional<int64_t> width =
          three ? Number(words_[1], 1, kLargestSize) : std::nullopt;
      const std::optional<int64_t> height =
          three ? Number(words_[2], 1, kLargestSize) : std::nullopt;
      header.width = static_cast<int32_t>(width.value_or(0));
      header.height = static_cast<int32_t>(height.value_or(0));
      header.sizeLine = number_;
      return Seen(width && height ? width : std::nullopt, "size WIDTH HEIGHT",
                  "a client size of 1 to 16384 pixels each way");
    }
    if (word == "seed") {
      const std::optional<int64_t> seed =
          words_.size() == 2 ? Number(words_[1], 0, UINT32_MAX) : std::nullopt;
      header.seed = static_cast<uint32_t>(seed.value_or(0));
      return Seen(seed, "seed NUMBER", "a seed of 0 to 4294967295");
    }
    if (word == "start") {
      return Seen(Start(), "start YYYY-MM-DD HH:MM:SS", "a date and time that exist");
    }
    return false;
  }

  // Records a header line once; `value` empty means its words were wrong.
  bool Seen(const std::optional<int64_t>& value, const char* form, const char* range) {
    if (!seen_.insert(words_[0]).second) {
      Fail("the header has a second \"" + words_[0] + "\" line");
      return true;
    }
    if (!value) {
      Fail(std::string("expected \"") + form + "\" with " + range);
    }
    return true;
  }

  std::optional<int64_t> Start() {
    if (words_.size() != 3) {
      return std::nullopt;
    }
    PlatformDateTime& start = file_.header.start;
    char tail = 0;
    if (std::sscanf(words_[1].c_str(), "%4d-%2d-%2d%c", &start.year, &start.month, &start.day,
                    &tail) != 3 ||
        std::sscanf(words_[2].c_str(), "%2d:%2d:%2d%c", &start.hour, &start.minute, &start.second,
                    &tail) != 3 ||
        !PlatformDateTimeValid(start)) {
      return std::nullopt;
    }
    return 1;
  }

  bool HeaderComplete() {
    for (const char* word : kHeaderWords) {
      if (!seen_.contains(word)) {
        return Fail(std::string("the header has no \"") + word + "\" line");
      }
    }
    return true;
  }

  bool InputLine() {
    ReplayLine line;
    line.line = number_;
    if (words_[0] == "wait") {
      return Wait(line);
    }
    const std::optional<int64_t> frame = Number(words_[0], 0, INT32_MAX);
    if (!frame) {
      return Fail("\"" + words_[0] + "\" is neither a header line nor a frame number");
    }
    line.frame = static_cast<int32_t>(*frame);
    if (line.frame < lastFrame_) {
      return Fail("frame " + words_[0] + " comes after frame " + std::to_string(lastFrame_));
    }
    lastFrame_ = line.frame;
    if (words_.size() < 2) {
      return Fail("frame " + words_[0] + " has nothing to do");
    }
    if (!Action(line)) {
      return false;
    }
    ended_ = line.action == ReplayAction::End;
    file_.lines.push_back(std::move(line));
    return true;
  }

  bool Wait(ReplayLine& line) {
    if (!Count(4, "wait VARIABLE VALUE LIMIT")) {
      return false;
    }
    const std::optional<int64_t> limit = Number(words_[3], 1, INT32_MAX);
    if (words_[1].empty() || !limit) {
      return Fail("expected \"wait VARIABLE VALUE LIMIT\" with a name and a limit in ms above 0");
    }
    line.action = ReplayAction::Wait;
    line.frame = lastFrame_;
    line.variable = words_[1];
    line.value = words_[2];
    line.limit = static_cast<int32_t>(*limit);
    file_.lines.push_back(std::move(line));
    return true;
  }

  bool Action(ReplayLine& line) {
    const std::string& verb = words_[1];
    if (verb == "move" || verb == "down" || verb == "up" || verb == "wheel") {
      return Mouse(line);
    }
    if (verb == "keydown" || verb == "keyup") {
      if (!Count(3, "FRAME keydown|keyup KEY")) {
        return false;
      }
      line.action = ReplayAction::Key;
      line.down = verb == "keydown";
      line.key = words_[2];
      return ReplayKeyScancode(line.key) >= 0 ||
             Fail("no key is named \"" + line.key + "\" (names as in the control sets)");
    }
    const std::pair<const char*, ReplayAction> plain[] = {{"pause", ReplayAction::Pause},
                                                          {"resume", ReplayAction::Resume},
                                                          {"close", ReplayAction::Close},
                                                          {"report", ReplayAction::Report},
                                                          {"end", ReplayAction::End}};
    for (const auto& [name, action] : plain) {
      if (verb == name) {
        line.action = action;
        return Count(2, (std::string("FRAME ") + name).c_str());
      }
    }
    return Fail("\"" + verb + "\" is not something a frame can do");
  }

  bool Mouse(ReplayLine& line) {
    const std::string& verb = words_[1];
    const bool move = verb == "move";
    const size_t pointAt = move ? 2 : 3;
    if (!Count(pointAt + 2, move ? "FRAME move X Y" : "FRAME down|up|wheel WHICH X Y")) {
      return false;
    }
    const std::optional<int64_t> x = Number(words_[pointAt], 0, 65535);
    const std::optional<int64_t> y = Number(words_[pointAt + 1], 0, 65535);
    if (!x || !y) {
      return Fail("a client point has coordinates of 0 to 65535");
    }
    line.action = ReplayAction::Mouse;
    line.x = static_cast<int32_t>(*x);
    line.y = static_cast<int32_t>(*y);
    if (move) {
      line.message = kMouseMove;
      return true;
    }
    const std::string& which = words_[2];
    if (verb == "wheel") {
      for (const Wheel& wheel : kWheels) {
        if (which == wheel.name) {
          line.message = wheel.message;
          line.wParam = wheel.wParam;
          return true;
        }
      }
      return Fail("a wheel turns up, down, left or right, not \"" + which + "\"");
    }
    for (const Button& button : kButtons) {
      if (which == button.name) {
        line.message = button.down + (verb == "up" ? 1 : 0);
        line.wParam = button.highWord << 16;
        return true;
      }
    }
    return Fail("the mouse buttons are left, right, middle, x1 and x2, not \"" + which + "\"");
  }

  std::string name_;
  ReplayFile& file_;
  int32_t number_ = 0;
  std::vector<std::string> words_;
  std::set<std::string> seen_;
  bool versionSeen_ = false;
  bool inputSeen_ = false;
  bool ended_ = false;
  bool ok_ = true;
  int32_t lastFrame_ = 0;
  std::string error_;
};

std::string TwoDigits(int32_t value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

bool ReplayFileParse(const std::string& text, const std::string& name, ReplayFile& file,
                     std::string& error) {
  file = ReplayFile{};
  Parser parser(name, file);
  int32_t number = 0;
  // Editors on some systems begin a text file with a byte order mark.
  size_t begin = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end;
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    begin = end + 1;
    if (!parser.Line(++number, line)) {
      error = parser.Error();
      return false;
    }
  }
  if (!parser.Finish()) {
    error = parser.Error();
    return false;
  }
  return true;
}

std::string ReplayHeaderText(const ReplayHeader& header) {
  const PlatformDateTime& s = header.start;
  char year[8];
  std::snprintf(year, sizeof year, "%04d", s.year);
  return "replay 1\nstep " + std::to_string(header.step) + "\nsize " +
         std::to_string(header.width) + " " + std::to_string(header.height) + "\nseed " +
         std::to_string(header.seed) + "\nstart " + year + "-" + TwoDigits(s.month) + "-" +
         TwoDigits(s.day) + " " + TwoDigits(s.hour) + ":" + TwoDigits(s.minute) + ":" +
         TwoDigits(s.second) + "\n";
}

std::string ReplayLineText(const ReplayLine& line) {
  const std::string frame = std::to_string(line.frame) + " ";
  const std::string point = " " + std::to_string(line.x) + " " + std::to_string(line.y) + "\n";
  switch (line.action) {
    case ReplayAction::Mouse:
      if (line.message == kMouseMove) {
        return frame + "move" + point;
      }
      if (line.message == kWheel || line.message == kHorizontalWheel) {
        const bool backwards = line.wParam > kWheelBackwards;
        const char* which =
            line.message == kWheel ? (backwards ? "down" : "up") : (backwards ? "right" : "left");
        return frame + "wheel " + which + point;
      }
      for (const Button& button : kButtons) {
        const bool up = line.message == button.down + 1;
        if ((line.message == button.down || up) && (line.wParam >> 16) == button.highWord) {
          return frame + (up ? "up " : "down ") + button.name + point;
        }
      }
      return "";
    case ReplayAction::Key:
      return frame + (line.down ? "keydown " : "keyup ") + Quoted(line.key) + "\n";
    case ReplayAction::Pause:
      return frame + "pause\n";
    case ReplayAction::Resume:
      return frame + "resume\n";
    case ReplayAction::Close:
      return frame + "close\n";
    case ReplayAction::Report:
      return frame + "report\n";
    case ReplayAction::Wait:
      return "wait " + Quoted(line.variable) + " " + Quoted(line.value) + " " +
             std::to_string(line.limit) + "\n";
    case ReplayAction::End:
      return frame + "end\n";
  }
  return "";
}

bool ReplayLineFromMouse(uint32_t message, uint32_t wParam, int32_t lParam, ReplayLine& line) {
  line.action = ReplayAction::Mouse;
  line.message = message;
  // Only what the input module reads is kept: the wheel's direction and the
  // extra button's number; the held-button flags are not.
  const bool wheel = message == kWheel || message == kHorizontalWheel;
  line.wParam =
      wheel ? (wParam > kWheelBackwards ? kWheelBackward : kWheelForward) : (wParam & 0xFFFF0000u);
  const uint32_t point = static_cast<uint32_t>(lParam);
  line.x = static_cast<int32_t>(point & 0xFFFF);
  line.y = static_cast<int32_t>(point >> 16);
  return !ReplayLineText(line).empty();
}

int32_t ReplayKeyScancode(const std::string& name) {
  const int32_t code = InputControlCode(name);
  if (code <= 0) {
    return -1;
  }
  for (int32_t scancode = 0; scancode < kScancodes; ++scancode) {
    if (InputKeyControl(scancode) == code) {
      return scancode;
    }
  }
  return -1;
}
