// Exposure sheets: the text files that list an animation's frame images and
// the anchor points that place them. Only the sheet is read here; the images
// are opened on first use by the agents.
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"

namespace {

// Closes the sheet file when reading stops, on every path.
class SheetFile {
 public:
  explicit SheetFile(const std::string& name) : id_(DataFileOpen(name)) {}
  ~SheetFile() {
    if (id_ > 0) {
      DataFileClose(id_);
    }
  }
  SheetFile(const SheetFile&) = delete;
  SheetFile& operator=(const SheetFile&) = delete;

  bool IsOpen() const { return id_ > 0; }
  bool ReadLine(std::string& line) const { return DataFileReadLine(id_, line); }
  std::string ReadLine() const { return DataFileReadLine(id_); }

 private:
  int32_t id_ = 0;
};

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The folder of the sheet, ending in a backslash, that frame names are
// relative to; empty for a sheet named without a folder.
std::string SheetFolder(const std::string& sheetFile) {
  const size_t slash = sheetFile.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : sheetFile.substr(0, slash) + "\\";
}

// Major number before the first ".", minor number after it: major below 2,
// minor below 1.
bool CheckVersion(const std::string& line, const std::string& sheetFile) {
  const size_t point = line.find('.');
  if (point == std::string::npos) {
    LogError("AnimationOpen - No major/minor version separator in exposure sheet " +
             Quoted(sheetFile) + ".");
    return false;
  }
  const std::string major = line.substr(0, point);
  const std::string minor = line.substr(point + 1);
  int32_t value = 0;
  if (!UtilitiesParseInteger(major, value) || value >= 2) {
    LogError("AnimationOpen - Unsupported major version " + Quoted(major) + " in exposure sheet " +
             Quoted(sheetFile) + ".");
    return false;
  }
  if (!UtilitiesParseInteger(minor, value) || value >= 1) {
    LogError("AnimationOpen - Unsupported minor version " + Quoted(minor) + " in exposure sheet " +
             Quoted(sheetFile) + ".");
    return false;
  }
  return true;
}

// A positive count that fits in 32 bits; 0 when the line is not one.
int32_t ReadFrameCount(const std::string& line, const std::string& sheetFile) {
  int32_t count = 0;
  if (!UtilitiesParseInteger(line, count) || count <= 0) {
    LogError("AnimationOpen - Invalid frame count " + Quoted(line) + " in exposure sheet " +
             Quoted(sheetFile) + ".");
    return 0;
  }
  return count;
}

// "x,y" split at the first comma; false (point unchanged) unless both parts
// are integers.
bool ParsePoint(const std::string& value, AnimationPoint& point) {
  const size_t comma = value.find(',');
  if (comma == std::string::npos) {
    return false;
  }
  AnimationPoint parsed;
  if (!UtilitiesParseInteger(value.substr(0, comma), parsed.x) ||
      !UtilitiesParseInteger(value.substr(comma + 1), parsed.y)) {
    return false;
  }
  point = parsed;
  return true;
}

// One key=value line, split at the first "=". Unknown keys, lines without
// "=" and values that are not numbers change nothing.
void ApplyProperty(const std::string& line, AnimationFrame& frame) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) {
    return;
  }
  const std::string key = line.substr(0, equals);
  const std::string value = line.substr(equals + 1);
  if (key == "sprite") {
    ParsePoint(value, frame.sprite);
  } else if (key == "prev") {
    ParsePoint(value, frame.prev);
  } else if (key == "next") {
    ParsePoint(value, frame.next);
  } else if (key == "head") {
    frame.hasHead = ParsePoint(value, frame.head) || frame.hasHead;
  } else if (key == "repeat") {
    UtilitiesParseInteger(value, frame.repeat);
  }
}

enum class FrameRead { kComplete, kEnded, kInvalid };

// Reads one frame: its image name, its property count and that many
// property lines. The sprite point comes in as the previous frame's.
FrameRead ReadFrame(const SheetFile& file, const std::string& sheetFile, const std::string& folder,
                    AnimationFrame& frame) {
  std::string name;
  std::string countLine;
  if (!file.ReadLine(name) || !file.ReadLine(countLine)) {
    return FrameRead::kEnded;
  }
  frame.imageFile = folder + name;
  int32_t count = 0;
  if (!UtilitiesParseInteger(countLine, count) || count < 0) {
    LogError("AnimationOpen - Invalid property count " + Quoted(countLine) + " for frame " +
             Quoted(frame.imageFile) + " in exposure sheet " + Quoted(sheetFile) + ".");
    return FrameRead::kInvalid;
  }
  // A count larger than the file holds stops with the file.
  std::string property;
  for (int32_t i = 0; i < count; ++i) {
    if (!file.ReadLine(property)) {
      return FrameRead::kEnded;
    }
    ApplyProperty(property, frame);
  }
  return FrameRead::kComplete;
}

// Reads the frames after the count line. The frames grow as they are read,
// never to the declared count, which the file need not back. A sheet that
// ends early keeps its complete frames; false when it held none or a frame
// was malformed.
bool ReadFrames(const SheetFile& file, const std::string& sheetFile, int32_t count,
                std::vector<AnimationFrame>& frames) {
  const std::string folder = SheetFolder(sheetFile);
  AnimationPoint sprite;
  for (int32_t i = 0; i < count; ++i) {
    AnimationFrame frame;
    frame.sprite = sprite;
    const FrameRead read = ReadFrame(file, sheetFile, folder, frame);
    if (read == FrameRead::kInvalid) {
      return false;
    }
    if (read == FrameRead::kEnded) {
      LogError("AnimationOpen - Exposure sheet " + Quoted(sheetFile) + " ends after " +
               std::to_string(frames.size()) + " of " + std::to_string(count) + " frames.");
      return !frames.empty();
    }
    sprite = frame.sprite;
    frames.push_back(std::move(frame));
  }
  return true;
}

}  // namespace

bool AnimationOpen(Animation& animation, const std::string& sheetFile, bool persistent) {
  const bool wasPersistent = animation.persistent;
  animation.persistent = persistent;
  if (!sheetFile.empty() && sheetFile == animation.sheetFile && animation.loaded && wasPersistent) {
    return true;
  }
  AnimationClose(animation);
  animation.sheetFile = sheetFile;

  const SheetFile file(sheetFile);
  if (!file.IsOpen()) {
    LogError("AnimationOpen - Unable to open animation exposure sheet " + Quoted(sheetFile) + ".");
    return false;
  }
  if (!CheckVersion(file.ReadLine(), sheetFile)) {
    return false;
  }
  const int32_t count = ReadFrameCount(file.ReadLine(), sheetFile);
  if (count == 0 || !ReadFrames(file, sheetFile, count, animation.frames)) {
    animation.frames.clear();
    return false;
  }
  animation.loaded = true;
  return true;
}

void AnimationClose(Animation& animation) {
  for (AnimationFrame& frame : animation.frames) {
    ModelClose(frame.image);
  }
  animation.frames.clear();
  animation.loaded = false;
}
