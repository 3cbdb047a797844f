// sheetmake: writes an exposure sheet from frame pictures and a short
// description, and checks a sheet by reading it with the game's own reader
// and opening its frames with the game's image reader.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "tools/common/tool.h"
#include "tools/common/toolframework.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: sheetmake <description.txt> <out sheet>\n"
    "       sheetmake --check <sheet> [--walk right|left|up|down] [--head]\n"
    "\n"
    "Writes an exposure sheet (version 1.0, CR LF lines) from the frame pictures\n"
    "(TGA or BMP) in the sheet's folder and a description, one command a line:\n"
    "\n"
    "    # comment lines and blank lines are skipped\n"
    "    sprite feet          each frame's origin: the middle of its lowest opaque row\n"
    "                         (pictures without alpha are opaque everywhere)\n"
    "    sprite 20 95         or a fixed point in the picture\n"
    "    stride 10 0          walk stride: every step moves (10, 0); 'stride none' ends it\n"
    "    head 18 12           the head point; 'head none' ends it\n"
    "    repeat 3             frames last 3 ticks; -1 holds the frame; 0 ends it\n"
    "    frame w1.tga w2.tga  frames in order, with the settings in force\n"
    "\n"
    "Settings stay in force for the following frame lines. Frame names are\n"
    "relative to the sheet's folder, where the pictures must be.\n"
    "\n"
    "--check reads a sheet as the game does, opens its frames and reports missing\n"
    "pictures, a frame count that does not match the frames listed, property\n"
    "lines the game ignores, sprite and head points outside their picture, and,\n"
    "with --walk, steps whose stride is 0 or points against the direction and,\n"
    "with --head, a head set of fewer than 11 frames.\n";

// A picture read through the game's image reader; null when it cannot be.
class Picture {
 public:
  explicit Picture(const std::string& name) {
    ImageLoad(name, image_);
    if (image_ != nullptr && (!image_->loaded || image_->placeholder)) {
      ImageFree(image_);
    }
  }
  ~Picture() { ImageFree(image_); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  const ImageFrame* get() const { return image_; }

 private:
  ImageFrame* image_ = nullptr;
};

std::string PointText(const AnimationPoint& point) {
  return std::to_string(point.x) + "," + std::to_string(point.y);
}

// --- Making a sheet ------------------------------------------------------------

struct Settings {
  bool feet = false;
  AnimationPoint sprite;
  bool stride = false;
  AnimationPoint strideBy;
  bool head = false;
  AnimationPoint headAt;
  int32_t repeat = 0;
};

struct FrameRecipe {
  std::string file;
  int32_t line = 0;
  Settings settings;
};

// A whole number, which may be negative (points left of or above a
// picture's corner, strides left or up, a held frame).
bool Coordinate(ToolWords& words, const char* what, int32_t& value) {
  std::string text;
  return words.Word(what, text) &&
         ((UtilitiesParseInteger(text, value) && value >= -1000000 && value <= 1000000) ||
          words.Fail("\"" + text + "\" is not a whole number from -1000000 to 1000000"));
}

bool Point(ToolWords& words, AnimationPoint& point) {
  return Coordinate(words, "an x", point.x) && Coordinate(words, "a y", point.y);
}

// One command: a setting changes, or frames are listed with the settings.
bool ApplyCommand(const ToolLine& line, Settings& settings, std::vector<FrameRecipe>& frames,
                  std::string& error) {
  ToolWords words(line);
  const std::string& command = line.words[0];
  bool ok = true;
  if (command == "sprite") {
    settings.feet = words.Keyword("feet");
    ok = settings.feet || Point(words, settings.sprite);
  } else if (command == "stride") {
    settings.stride = !words.Keyword("none");
    ok = !settings.stride || Point(words, settings.strideBy);
  } else if (command == "head") {
    settings.head = !words.Keyword("none");
    ok = !settings.head || Point(words, settings.headAt);
  } else if (command == "repeat") {
    ok = Coordinate(words, "a tick count", settings.repeat);
  } else if (command == "frame") {
    ok = words.More() || words.Fail("frame needs a picture");
    std::string file;
    while (words.More() && words.Word("a picture", file)) {
      // A quoted name is stored with its opening quote.
      file.erase(0, file.starts_with('"') ? 1 : 0);
      std::replace(file.begin(), file.end(), '/', '\\');
      frames.push_back({file, line.number, settings});
    }
  } else {
    words.Fail("unknown command \"" + command + "\"");
    ok = false;
  }
  ok = ok && words.End();
  error = words.Error();
  return ok;
}

bool ReadDescription(const std::string& path, std::vector<FrameRecipe>& frames) {
  std::vector<ToolLine> lines;
  if (!ToolReadRecipe(path, lines)) {
    return false;
  }
  Settings settings;
  for (const ToolLine& line : lines) {
    std::string error;
    if (!ApplyCommand(line, settings, frames, error)) {
      ToolFail(path + ":" + std::to_string(line.number), "error: " + error);
      return false;
    }
  }
  if (frames.empty()) {
    ToolFail(path, "error: the description lists no frames");
    return false;
  }
  return true;
}

// The middle of the lowest row holding an opaque pixel; false when the
// picture has none. As when the game draws a frame, only 32-bit pictures
// carry alpha: every pixel of the others is opaque.
bool FindFeet(const ImageFrame& image, AnimationPoint& feet) {
  const bool alpha = image.bitsPerPixel == 32;
  const auto opaque = [alpha](uint32_t pixel) { return !alpha || (pixel >> 24) != 0; };
  for (int32_t y = image.height - 1; y >= 0; --y) {
    const auto row = image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width;
    const auto first = std::find_if(row, row + image.width, opaque);
    if (first != row + image.width) {
      const auto last = std::find_if(std::make_reverse_iterator(row + image.width),
                                     std::make_reverse_iterator(row), opaque);
      const auto left = static_cast<int32_t>(first - row);
      const auto right = static_cast<int32_t>(last.base() - row) - 1;
      feet = {(left + right) / 2, y};
      return true;
    }
  }
  return false;
}

// The sheet's lines for one frame; false after reporting a picture that
// cannot be read or, for "feet", has no opaque pixel.
bool FrameLines(const std::string& description, const fs::path& folder, const FrameRecipe& frame,
                std::string& text) {
  const std::string where = description + ":" + std::to_string(frame.line);
  std::string diskName = frame.file;
  std::replace(diskName.begin(), diskName.end(), '\\', '/');
  const Picture picture((folder / diskName).string());
  if (picture.get() == nullptr) {
    ToolFail(where, "error: cannot read the picture \"" + (folder / diskName).string() + "\"");
    return false;
  }
  const Settings& settings = frame.settings;
  AnimationPoint sprite = settings.sprite;
  if (settings.feet && !FindFeet(*picture.get(), sprite)) {
    ToolFail(where, "error: \"" + frame.file + "\" has no opaque pixel to find the feet by");
    return false;
  }
  std::vector<std::string> properties = {"sprite=" + PointText(sprite)};
  if (settings.stride) {
    properties.push_back("prev=0,0");
    properties.push_back("next=" + PointText(settings.strideBy));
  }
  if (settings.head) {
    properties.push_back("head=" + PointText(settings.headAt));
  }
  if (settings.repeat != 0) {
    properties.push_back("repeat=" + std::to_string(settings.repeat));
  }
  text += frame.file + "\r\n" + std::to_string(properties.size()) + "\r\n";
  for (const std::string& property : properties) {
    text += property + "\r\n";
  }
  return true;
}

int Make(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    return ToolUsageError("sheetmake", kUsageText, "a description and a sheet are needed");
  }
  std::vector<FrameRecipe> frames;
  if (!ReadDescription(args[0], frames)) {
    return kToolFailure;
  }
  const ToolFramework framework("sheetmake");
  const fs::path folder = fs::absolute(args[1]).parent_path();
  std::string text = "1.0\r\n" + std::to_string(frames.size()) + "\r\n";
  for (const FrameRecipe& frame : frames) {
    if (!FrameLines(args[0], folder, frame, text)) {
      return kToolFailure;
    }
  }
  if (!ToolWriteFile(args[1], std::vector<uint8_t>(text.begin(), text.end()))) {
    return ToolFail(args[1], "error: cannot write the sheet");
  }
  return 0;
}

// --- Checking a sheet ----------------------------------------------------------

struct CheckOptions {
  std::string sheet;
  std::string walk;  // empty: not a walk
  bool head = false;
};

// Faults, reported at the end in the order found.
class Report {
 public:
  explicit Report(const std::string& sheet) : sheet_(sheet) {}
  void Error(int32_t line, const std::string& message) {
    std::cerr << sheet_ << (line > 0 ? ":" + std::to_string(line) : "") << ": error: " << message
              << "\n";
    ++errors_;
  }
  int Status() const { return errors_ == 0 ? 0 : kToolFailure; }

 private:
  std::string sheet_;
  int errors_ = 0;
};

// The sheet's lines as the game reads them: a line ends at a CR, LFs are
// skipped.
std::vector<std::string> GameLines(const std::string& contents) {
  std::vector<std::string> lines(1);
  for (char c : contents) {
    if (c == '\r') {
      lines.emplace_back();
    } else if (c != '\n') {
      lines.back() += c;
    }
  }
  if (lines.back().empty()) {
    lines.pop_back();
  }
  return lines;
}

bool IsPoint(const std::string& value) {
  const size_t comma = value.find(',');
  int32_t number = 0;
  return comma != std::string::npos && UtilitiesParseInteger(value.substr(0, comma), number) &&
         UtilitiesParseInteger(value.substr(comma + 1), number);
}

// Why the game would ignore the property line; empty when it would not.
std::string PropertyFault(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) {
    return "has no \"=\"";
  }
  const std::string key = line.substr(0, equals);
  const std::string value = line.substr(equals + 1);
  int32_t number = 0;
  if (key == "repeat") {
    return UtilitiesParseInteger(value, number) ? "" : "has a repeat that is not a whole number";
  }
  if (key == "sprite" || key == "prev" || key == "next" || key == "head") {
    return IsPoint(value) ? "" : "has a value that is not x,y";
  }
  return "has an unknown key";
}

// Walks the frames the way the game lays them out, past the declared count,
// to find the frames actually listed and the property lines the game
// ignores. Gives the line of each frame's picture name.
std::vector<int32_t> ListFrames(const std::vector<std::string>& lines, int32_t declared,
                                Report& report) {
  std::vector<int32_t> frameLines;
  size_t at = 2;
  const auto blankFrom = [&lines](size_t from) {
    return std::all_of(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(),
                       [](const std::string& line) { return line.empty(); });
  };
  while (at < lines.size() && !blankFrom(at)) {
    const int32_t number = static_cast<int32_t>(frameLines.size()) + 1;
    frameLines.push_back(static_cast<int32_t>(at) + 1);
    if (lines[at].find('=') != std::string::npos) {
      report.Error(frameLines.back(), "frame " + std::to_string(number) + "'s picture \"" +
                                          lines[at] +
                                          "\" looks like a property line: a property count "
                                          "does not match its lines");
    }
    int32_t count = 0;
    if (++at >= lines.size() || !UtilitiesParseInteger(lines[at], count) || count < 0) {
      report.Error(static_cast<int32_t>(at) + 1,
                   "frame " + std::to_string(number) + " has no property count");
      break;
    }
    for (int32_t i = 0; i < count && ++at < lines.size(); ++i) {
      const std::string fault = PropertyFault(lines[at]);
      if (!fault.empty()) {
        report.Error(static_cast<int32_t>(at) + 1,
                     "the property line \"" + lines[at] + "\" " + fault + ": the game ignores it");
      }
    }
    ++at;
  }
  if (static_cast<int32_t>(frameLines.size()) != declared) {
    report.Error(2, "the sheet declares " + std::to_string(declared) + " frames and lists " +
                        std::to_string(frameLines.size()));
  }
  return frameLines;
}

bool Inside(const AnimationPoint& point, const ImageFrame& image) {
  return point.x >= 0 && point.y >= 0 && point.x < image.width && point.y < image.height;
}

void CheckPictures(const Animation& animation, const std::vector<std::string>& lines,
                   const std::vector<int32_t>& frameLines, Report& report) {
  for (size_t i = 0; i < animation.frames.size(); ++i) {
    const AnimationFrame& frame = animation.frames[i];
    const int32_t line = i < frameLines.size() ? frameLines[i] : 0;
    const std::string name = "frame " + std::to_string(i + 1);
    const Picture picture(frame.imageFile);
    if (picture.get() == nullptr) {
      const std::string listed = line > 0 ? lines[static_cast<size_t>(line) - 1] : frame.imageFile;
      report.Error(line, name + "'s picture \"" + listed + "\" is missing or unreadable");
      continue;
    }
    const std::string size =
        std::to_string(picture.get()->width) + " x " + std::to_string(picture.get()->height);
    if (!Inside(frame.sprite, *picture.get())) {
      report.Error(line, name + "'s sprite point " + PointText(frame.sprite) +
                             " lies outside its " + size + " picture");
    }
    if (frame.hasHead && !Inside(frame.head, *picture.get())) {
      report.Error(line, name + "'s head point " + PointText(frame.head) + " lies outside its " +
                             size + " picture");
    }
  }
}

// Each step of the walk cycle, the last frame to the first included, moves
// by (A.next - B.prev): never 0, never against the walk's direction.
void CheckWalk(const Animation& animation, const std::string& direction,
               const std::vector<int32_t>& frameLines, Report& report) {
  const AnimationPoint way = direction == "right"  ? AnimationPoint{1, 0}
                             : direction == "left" ? AnimationPoint{-1, 0}
                             : direction == "up"   ? AnimationPoint{0, -1}
                                                   : AnimationPoint{0, 1};
  const size_t count = animation.frames.size();
  for (size_t i = 0; i < count; ++i) {
    const AnimationFrame& from = animation.frames[i];
    const AnimationFrame& to = animation.frames[(i + 1) % count];
    const AnimationPoint stride{from.next.x - to.prev.x, from.next.y - to.prev.y};
    const int32_t line = i < frameLines.size() ? frameLines[i] : 0;
    const std::string step = "the step from frame " + std::to_string(i + 1) + " to " +
                             std::to_string((i + 1) % count + 1);
    if (stride.x == 0 && stride.y == 0) {
      report.Error(line, step + " has a stride of 0");
    } else if (stride.x * way.x + stride.y * way.y <= 0) {
      report.Error(line, step + " moves " + PointText(stride) + ", not " + direction);
    }
  }
}

bool ParseCheck(const std::vector<std::string>& args, CheckOptions& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--walk" && i + 1 < args.size()) {
      options.walk = args[++i];
      if (options.walk != "right" && options.walk != "left" && options.walk != "up" &&
          options.walk != "down") {
        error = "--walk takes right, left, up or down";
        return false;
      }
    } else if (args[i] == "--head") {
      options.head = true;
    } else if (options.sheet.empty() && !args[i].starts_with("--")) {
      options.sheet = args[i];
    } else {
      error = "unexpected \"" + args[i] + "\"";
      return false;
    }
  }
  if (options.sheet.empty()) {
    error = "--check needs a sheet";
    return false;
  }
  return true;
}

int Check(const CheckOptions& options) {
  std::string contents;
  if (!ToolReadFile(options.sheet, contents)) {
    return ToolFail(options.sheet, "error: cannot read the sheet");
  }
  ToolFramework framework("sheetmake");
  Report report(options.sheet);
  Animation animation;
  const bool read = AnimationOpen(animation, fs::absolute(options.sheet).string(), false);
  for (const std::string& line : framework.NewLogLines()) {
    if (line.starts_with("Error: ")) {
      report.Error(0, "the game says: " + line.substr(7));
    }
  }
  if (!read) {
    return report.Status();
  }
  const std::vector<std::string> lines = GameLines(contents);
  int32_t declared = 0;
  UtilitiesParseInteger(lines.size() > 1 ? lines[1] : std::string(), declared);
  const std::vector<int32_t> frameLines = ListFrames(lines, declared, report);
  CheckPictures(animation, lines, frameLines, report);
  if (!options.walk.empty()) {
    CheckWalk(animation, options.walk, frameLines, report);
  }
  if (options.head && animation.frames.size() < 11) {
    report.Error(2, "a head set needs 11 frames, one for each mouth, and has " +
                        std::to_string(animation.frames.size()));
  }
  if (report.Status() == 0) {
    std::cout << options.sheet << ": " << animation.frames.size() << " frames, no faults\n";
  }
  AnimationClose(animation);
  return report.Status();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  if (!args.empty() && args[0] == "--check") {
    CheckOptions options;
    std::string error;
    if (!ParseCheck({args.begin() + 1, args.end()}, options, error)) {
      return ToolUsageError("sheetmake", kUsageText, error);
    }
    return Check(options);
  }
  return Make(args);
}
