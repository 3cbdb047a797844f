#include "tools/roommake/roomdesc.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <utility>

#include "tools/common/tool.h"

namespace {

constexpr int32_t kMaxSide = 8192;
constexpr int32_t kMaxCoordinate = 1000000;
// Marks a pixel no shape painted yet; never an entry index, since a mat holds
// at most 255 entries (0 to 254).
constexpr uint8_t kUnpainted = 255;

// The words of one command, taken in order after the command word.
class Words : public ToolWords {
 public:
  using ToolWords::ToolWords;

  // A whole decimal number, optionally negative, within [low, high].
  bool Whole(const char* what, int32_t low, int32_t high, int32_t& value) {
    std::string word;
    if (!Word(what, word)) {
      return false;
    }
    const bool negative = word.starts_with('-');
    int32_t magnitude = 0;
    if (!ToolParseNumber(negative ? word.substr(1) : word, 0, 9999999, magnitude)) {
      return Fail(std::string(what) + " \"" + RoomWordText(word) + "\" is not a whole number");
    }
    value = negative ? -magnitude : magnitude;
    if (value < low || value > high) {
      return Fail(std::string(what) + " is " + std::to_string(value) + "; it must be within " +
                  std::to_string(low) + " to " + std::to_string(high));
    }
    return true;
  }
  bool Coordinate(const char* what, int32_t& value) {
    return Whole(what, -kMaxCoordinate, kMaxCoordinate, value);
  }
  bool Name(const char* what, std::string& name) {
    std::string word;
    if (!Word(what, word)) {
      return false;
    }
    name = RoomWordText(word);
    return true;
  }
};

// One mat while its shapes are painted.
class Painter {
 public:
  Painter(int32_t width, int32_t height)
      : width_(width), height_(height), data_(static_cast<size_t>(width) * height, kUnpainted) {}

  // The index of the entry of this name and colour, added at its first use;
  // false when the mat is full.
  bool Entry(const std::string& name, uint32_t color, uint8_t& index) {
    const auto found = indexOf_.find({name, color});
    if (found != indexOf_.end()) {
      index = found->second;
      return true;
    }
    if (entries_.size() == kMatMaxEntries) {
      return false;
    }
    index = static_cast<uint8_t>(entries_.size());
    entries_.push_back(MatEntry{name, color});
    indexOf_.emplace(std::make_pair(name, color), index);
    return true;
  }
  // Paints columns x0 to x1 - 1 of row y, clipped to the mat.
  void Span(int32_t y, int32_t x0, int32_t x1, uint8_t index) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_);
    if (y < 0 || y >= height_ || x0 >= x1) {
      return;
    }
    uint8_t* row = data_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
    std::fill(row + x0, row + x1, index);
  }
  bool HasUnpainted() const {
    return std::find(data_.begin(), data_.end(), kUnpainted) != data_.end();
  }
  void PaintUnpainted(uint8_t index) {
    std::replace(data_.begin(), data_.end(), kUnpainted, index);
  }
  Mat Finish() { return Mat{std::move(entries_), width_, height_, std::move(data_)}; }

 private:
  int32_t width_;
  int32_t height_;
  std::vector<uint8_t> data_;
  std::vector<MatEntry> entries_;
  std::map<std::pair<std::string, uint32_t>, uint8_t> indexOf_;
};

std::string Where(const std::string& path, const ToolLine& line) {
  return path + ":" + std::to_string(line.number);
}

bool Fail(const std::string& where, const std::string& message) {
  ToolFail(where, "error: " + message);
  return false;
}

bool ReadColour(const std::string& path, const ToolLine& line, std::vector<RoomColour>& colours) {
  Words words(line);
  RoomColour colour{{}, 0, line.number};
  std::string hex;
  if (words.Name("a name", colour.name) && words.Word("a colour RRGGBB", hex) &&
      (RoomParseHexColour(hex, colour.color) ||
       words.Fail("\"" + RoomWordText(hex) + "\" is not a colour of six hex digits RRGGBB"))) {
    words.End();
  }
  if (!words.Error().empty()) {
    return Fail(Where(path, line), words.Error());
  }
  if (colour.name.size() > kMatMaxNameLength) {
    return Fail(Where(path, line), "the name is " + std::to_string(colour.name.size()) +
                                       " bytes long; a mat entry's name holds at most 255");
  }
  for (const RoomColour& earlier : colours) {
    if (earlier.name == colour.name) {
      return Fail(Where(path, line), "colour \"" + colour.name + "\" is already named on line " +
                                         std::to_string(earlier.line));
    }
  }
  colours.push_back(colour);
  return true;
}

bool ReadColourLines(const std::string& path, const std::vector<ToolLine>& lines,
                     std::vector<RoomColour>& colours) {
  for (const ToolLine& line : lines) {
    if (line.words[0] == "colour" && !ReadColour(path, line, colours)) {
      return false;
    }
  }
  return true;
}

// Paints the commands of a description, a line at a time.
class RoomPainter {
 public:
  RoomPainter(const std::string& path, RoomDescription& room) : path_(path), room_(room) {
    for (size_t i = 0; i < kRoomMatKinds.size(); ++i) {
      painters_.emplace_back(room.width, room.height);
    }
  }

  bool Run(const ToolLine& line);
  bool Finish();

 private:
  bool Shape(const std::string& command, Words& words);
  bool Polygon(uint8_t index, Words& words);
  bool Gradient(Words& words);
  // The entry index of a named colour in the current mat.
  bool NamedEntry(Words& words, uint8_t& index);
  bool Entry(Words& words, const std::string& name, uint32_t color, uint8_t& index) {
    return painters_[current_].Entry(name, color, index) ||
           words.Fail("the " + std::string(kRoomMatKinds[current_].word) +
                      " mat would have more than 255 entries");
  }

  const std::string& path_;
  RoomDescription& room_;
  std::vector<Painter> painters_;
  size_t current_ = kRoomMatKinds.size();  // none until the first "mat" line
};

bool RoomPainter::Run(const ToolLine& line) {
  const std::string& command = line.words[0];
  Words words(line);
  if (command == "colour") {
    return true;  // read before painting
  }
  if (command == "size") {
    words.Fail("\"size\" comes once, as the first command");
  } else if (command == "mat") {
    std::string kind;
    if (words.Word("a kind of mat", kind) && words.End()) {
      const auto found = std::find_if(kRoomMatKinds.begin(), kRoomMatKinds.end(),
                                      [&](const RoomMatKind& k) { return kind == k.word; });
      if (found == kRoomMatKinds.end()) {
        words.Fail("\"" + RoomWordText(kind) +
                   "\" is not a kind of mat (depth-layers, depth-agent, walk, light or sound)");
      } else {
        current_ = static_cast<size_t>(found - kRoomMatKinds.begin());
      }
    }
  } else if (command == "fill" || command == "rect" || command == "polygon" ||
             command == "gradient") {
    if (current_ == kRoomMatKinds.size()) {
      words.Fail("\"" + command + "\" needs a \"mat KIND\" line before it");
    } else if (Shape(command, words)) {
      words.End();
    }
  } else {
    words.Fail("unknown command \"" + RoomWordText(command) + "\"");
  }
  return words.Error().empty() || Fail(Where(path_, line), words.Error());
}

bool RoomPainter::NamedEntry(Words& words, uint8_t& index) {
  std::string name;
  if (!words.Name("a colour name", name)) {
    return false;
  }
  const auto found = std::find_if(room_.colours.begin(), room_.colours.end(),
                                  [&](const RoomColour& c) { return c.name == name; });
  if (found == room_.colours.end()) {
    return words.Fail("no colour is named \"" + name + "\"");
  }
  return Entry(words, found->name, found->color, index);
}

bool RoomPainter::Shape(const std::string& command, Words& words) {
  if (command == "gradient") {
    return Gradient(words);
  }
  uint8_t index = 0;
  if (!NamedEntry(words, index)) {
    return false;
  }
  Painter& painter = painters_[current_];
  if (command == "fill") {
    for (int32_t y = 0; y < room_.height; ++y) {
      painter.Span(y, 0, room_.width, index);
    }
    return true;
  }
  if (command == "polygon") {
    return Polygon(index, words);
  }
  int32_t x = 0, y = 0, w = 0, h = 0;
  if (!words.Coordinate("X", x) || !words.Coordinate("Y", y) ||
      !words.Whole("the width W", 0, kMaxCoordinate, w) ||
      !words.Whole("the height H", 0, kMaxCoordinate, h)) {
    return false;
  }
  for (int32_t row = std::max(y, 0); row < std::min(y + h, room_.height); ++row) {
    painter.Span(row, x, x + w, index);
  }
  return true;
}

// Fills the pixels whose centres lie inside the polygon by the even-odd rule:
// on each row, between pairs of the edges' crossings of the centre line.
bool RoomPainter::Polygon(uint8_t index, Words& words) {
  std::vector<std::pair<double, double>> points;
  while (words.More()) {
    int32_t x = 0, y = 0;
    if (!words.Coordinate("X", x) || !words.Coordinate("Y", y)) {
      return false;
    }
    points.emplace_back(x, y);
  }
  if (points.size() < 3) {
    return words.Fail("a polygon needs at least three points");
  }
  std::vector<double> crossings;
  for (int32_t y = 0; y < room_.height; ++y) {
    const double centre = y + 0.5;
    crossings.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      const auto [xa, ya] = points[i];
      const auto [xb, yb] = points[(i + 1) % points.size()];
      if ((ya > centre) != (yb > centre)) {
        crossings.push_back(xa + (centre - ya) * (xb - xa) / (yb - ya));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
      painters_[current_].Span(y, static_cast<int32_t>(std::ceil(crossings[i] - 0.5)),
                               static_cast<int32_t>(std::ceil(crossings[i + 1] - 0.5)), index);
    }
  }
  return true;
}

// Rows y0 to y1 - 1 in entries whose blue byte runs from b0 to b1, changing
// every `step` rows.
bool RoomPainter::Gradient(Words& words) {
  std::string prefix;
  int32_t y0 = 0, y1 = 0, b0 = 0, b1 = 0, step = 1;
  if (!words.Name("a name prefix", prefix) || !words.Coordinate("Y0", y0) ||
      !words.Coordinate("Y1", y1) || !words.Whole("B0", 0, 255, b0) ||
      !words.Whole("B1", 0, 255, b1) || (words.More() && !words.Whole("STEP", 1, kMaxSide, step))) {
    return false;
  }
  if (y1 <= y0) {
    return words.Fail("Y1 must be below Y0");
  }
  for (int32_t y = std::max(y0, 0); y < std::min(y1, room_.height); ++y) {
    const int32_t first = y0 + (y - y0) / step * step;
    const int32_t blue =
        y1 - 1 == y0 ? b0
                     : static_cast<int32_t>(
                           std::lround(b0 + (b1 - b0) * double(first - y0) / double(y1 - 1 - y0)));
    uint8_t index = 0;
    if (!Entry(words, prefix + " " + std::to_string(blue), static_cast<uint32_t>(blue), index)) {
      return false;
    }
    painters_[current_].Span(y, 0, room_.width, index);
  }
  return true;
}

// Pixels no shape painted take the first named colour.
bool RoomPainter::Finish() {
  for (size_t i = 0; i < painters_.size(); ++i) {
    Painter& painter = painters_[i];
    if (painter.HasUnpainted()) {
      const std::string mat = std::string("the ") + kRoomMatKinds[i].word + " mat";
      uint8_t index = 0;
      if (room_.colours.empty()) {
        return Fail(path_, mat + " has pixels no shape paints, and no colour is named for them");
      }
      if (!painter.Entry(room_.colours[0].name, room_.colours[0].color, index)) {
        return Fail(path_, mat + " has 255 entries and pixels no shape paints");
      }
      painter.PaintUnpainted(index);
    }
    room_.mats[i] = painter.Finish();
  }
  return true;
}

}  // namespace

bool RoomParseHexColour(const std::string& text, uint32_t& color) {
  if (text.size() != 6 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    return false;
  }
  color = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
  return true;
}

std::string RoomWordText(const std::string& word) {
  return word.starts_with('"') ? word.substr(1) : word;
}

bool RoomReadColours(const std::string& path, std::vector<RoomColour>& colours) {
  std::vector<ToolLine> lines;
  return ToolReadRecipe(path, lines) && ReadColourLines(path, lines, colours);
}

bool RoomDescriptionRead(const std::string& path, RoomDescription& room) {
  std::vector<ToolLine> lines;
  if (!ToolReadRecipe(path, lines)) {
    return false;
  }
  if (lines.empty() || lines[0].words[0] != "size") {
    return Fail(lines.empty() ? path : Where(path, lines[0]),
                "a room description starts with \"size W H\"");
  }
  Words size(lines[0]);
  if (!size.Whole("the width W", 1, kMaxSide, room.width) ||
      !size.Whole("the height H", 1, kMaxSide, room.height) || !size.End()) {
    return Fail(Where(path, lines[0]), size.Error());
  }
  if (!ReadColourLines(path, lines, room.colours)) {
    return false;
  }
  RoomPainter painter(path, room);
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!painter.Run(lines[i])) {
      return false;
    }
  }
  return painter.Finish();
}
