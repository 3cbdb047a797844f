// imgmake: draws TGA pictures from a text recipe of shapes, gradients,
// noise, paper grain and text in ".fot" fonts; one recipe may make the
// numbered frames of an animation.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/imgmake/imgcanvas.h"
#include "tools/imgmake/imgexpr.h"
#include "tools/imgmake/imgfont.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: imgmake <recipe.txt> <out.tga> [--frames N] [-I FOLDER]... [--set NAME=VALUE]...\n"
    "\n"
    "Draws the picture a recipe describes and writes it as a 32-bit TGA with\n"
    "alpha. A recipe is one command per line; '#' starts a comment line:\n"
    "\n"
    "    canvas W H [PAINT]            first command: the size and the background\n"
    "    frames N                      make N pictures; '%' in <out.tga> is the number\n"
    "    mode over|replace             paint over the pixels (default) or replace them\n"
    "    fill PAINT                    the whole canvas\n"
    "    rect X Y W H PAINT [line L]   a box, or its outline L pixels wide\n"
    "    roundrect X Y W H R PAINT [line L]\n"
    "    circle CX CY R PAINT [line L]\n"
    "    ellipse CX CY RX RY PAINT [line L]\n"
    "    line X1 Y1 X2 Y2 WIDTH PAINT  a stroke with round ends\n"
    "    poly X1 Y1 X2 Y2 X3 Y3... PAINT  a polygon of three or more corners\n"
    "    noise AMOUNT SEED [X Y W H]   grey noise of +-AMOUNT levels\n"
    "    grain AMOUNT SCALE SEED [X Y W H]  paper grain of about SCALE pixels\n"
    "    alpha FACTOR [X Y W H]        multiplies the alpha\n"
    "    flip                          mirrors the picture so far left to right\n"
    "    if EXPR ... end               the lines between are drawn when EXPR is not 0\n"
    "    set NAME VALUE                ${NAME} is VALUE on later lines (unless --set)\n"
    "    font NAME FILE.fot            a bitmap font for text\n"
    "    text NAME X Y COLOUR \"TEXT\" [left|centre|right]\n"
    "\n"
    "PAINT is a COLOUR (#RRGGBB or #RRGGBBAA), \"linear X1 Y1 X2 Y2 COLOUR COLOUR\"\n"
    "or \"radial CX CY R COLOUR COLOUR\". Numbers may be expressions without\n"
    "spaces over f (the frame from 0), n (the frame count), t (f/n), pi, sin(),\n"
    "cos() and pick(I,A,B,...) (the value number I from 0), e.g.\n"
    "100+40*sin(2*pi*t) or pick(f,2,5,3). --set NAME=VALUE puts VALUE wherever\n"
    "${NAME} is written in the recipe. Font files are found beside the recipe,\n"
    "then in each -I folder. --frames N fails unless the recipe makes N frames.\n"
    "Faults are reported as recipe:line: error: ... and exit with status 1.\n";

constexpr int32_t kMaxSide = 8192;
constexpr int32_t kMaxFrames = 999;
// Values that name values can double a word at each set line; a word this
// long is a fault rather than memory spent without end.
constexpr size_t kMaxWord = 1000000;

// The words of one command, taken in order; the first fault is kept.
class Words : public ToolWords {
 public:
  Words(const ToolLine& line, const ImgFrameValues& values) : ToolWords(line), values_(values) {}

  bool Number(const char* what, double& value) {
    std::string word;
    std::string error;
    return Word(what, word) &&
           (ImgEvaluate(word, values_, value, error) || Fail(std::string(what) + " " + error));
  }
  bool NotBelow(const char* what, double low, double& value) {
    return Number(what, value) && (value >= low || Fail(std::string(what) + " is " + Text(value) +
                                                        "; it must be at least " + Text(low)));
  }
  bool Whole(const char* what, int32_t low, int32_t high, int32_t& value) {
    double number = 0;
    if (!Number(what, number)) {
      return false;
    }
    if (number != std::floor(number) || number < low || number > high) {
      return Fail(std::string(what) + " is " + Text(number) +
                  "; it must be a whole number within " + std::to_string(low) + "-" +
                  std::to_string(high));
    }
    value = static_cast<int32_t>(number);
    return true;
  }
  bool Colour(uint32_t& colour) {
    std::string word;
    if (!Word("a colour", word)) {
      return false;
    }
    const bool hex =
        (word.size() == 7 || word.size() == 9) && word[0] == '#' &&
        std::all_of(word.begin() + 1, word.end(), [](unsigned char c) { return std::isxdigit(c); });
    if (!hex) {
      return Fail("\"" + word + "\" is not a colour (#RRGGBB or #RRGGBBAA)");
    }
    const auto value = static_cast<uint32_t>(std::stoul(word.substr(1), nullptr, 16));
    colour = word.size() == 7 ? 0xFF000000u | value : value >> 8 | value << 24;
    return true;
  }
  bool Paint(ImgPaint& paint);
  // An optional box X Y W H; the whole canvas when the line ends here.
  bool Box(const ImgCanvas& canvas, ImgBox& box) {
    if (!More()) {
      box = ImgBox{0, 0, canvas.width, canvas.height};
      return true;
    }
    double x = 0, y = 0, w = 0, h = 0;
    if (!Number("X", x) || !Number("Y", y) || !NotBelow("the width", 0, w) ||
        !NotBelow("the height", 0, h)) {
      return false;
    }
    box = ImgBox{Pixel(x), Pixel(y), Pixel(x + w), Pixel(y + h)};
    return true;
  }

  static std::string Text(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
  }
  // Coordinates far off the canvas are held where they cannot overflow.
  static int32_t Pixel(double value) {
    return static_cast<int32_t>(std::clamp(std::round(value), -1e6, 1e6));
  }

 private:
  const ImgFrameValues& values_;
};

bool Words::Paint(ImgPaint& paint) {
  uint32_t from = 0;
  uint32_t to = 0;
  if (Keyword("linear")) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!Number("X1", x1) || !Number("Y1", y1) || !Number("X2", x2) || !Number("Y2", y2) ||
        !Colour(from) || !Colour(to)) {
      return false;
    }
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length = dx * dx + dy * dy;
    paint = [=](double x, double y) {
      const double at = length > 0 ? ((x - x1) * dx + (y - y1) * dy) / length : 1.0;
      return ImgMix(from, to, std::clamp(at, 0.0, 1.0));
    };
    return true;
  }
  if (Keyword("radial")) {
    double cx = 0, cy = 0, r = 0;
    if (!Number("CX", cx) || !Number("CY", cy) || !NotBelow("the radius", 0, r) || !Colour(from) ||
        !Colour(to)) {
      return false;
    }
    paint = [=](double x, double y) {
      const double at = r > 0 ? std::hypot(x - cx, y - cy) / r : 1.0;
      return ImgMix(from, to, std::clamp(at, 0.0, 1.0));
    };
    return true;
  }
  if (!Colour(from)) {
    return false;
  }
  paint = [from](double, double) { return from; };
  return true;
}

// Draws the recipe's frames one after the other.
class Recipe {
 public:
  Recipe(std::string path, std::vector<ToolLine> lines, std::vector<std::string> folders)
      : path_(std::move(path)), lines_(std::move(lines)), folders_(std::move(folders)) {}

  // The frame count the recipe asks for; false after reporting a fault.
  bool Frames(int32_t& frames, int32_t& line);
  bool Draw(const ImgFrameValues& values, ImgCanvas& canvas);

 private:
  bool Fail(const ToolLine& line, const std::string& message) const {
    ToolFail(path_ + ":" + std::to_string(line.number), "error: " + message);
    return false;
  }
  bool Run(const ToolLine& line, Words& words, ImgCanvas& canvas);
  bool Shape(const std::string& command, Words& words, ImgCanvas& canvas);
  bool Grain(Words& words, ImgCanvas& canvas);
  bool Text(Words& words, ImgCanvas& canvas);
  bool LoadFont(Words& words);

  std::string path_;
  std::vector<ToolLine> lines_;
  std::vector<std::string> folders_;
  std::map<std::string, ImgFont> fonts_;
};

bool Recipe::Frames(int32_t& frames, int32_t& where) {
  frames = 1;
  where = 0;
  if (lines_.empty() || lines_[0].words[0] != "canvas") {
    ToolFail(lines_.empty() ? path_ : path_ + ":" + std::to_string(lines_[0].number),
             "error: a recipe starts with \"canvas W H\"");
    return false;
  }
  for (const ToolLine& line : lines_) {
    if (line.words[0] != "frames") {
      continue;
    }
    if (where != 0) {
      return Fail(line, "frames was already given on line " + std::to_string(where));
    }
    Words words(line, ImgFrameValues{});
    if (!words.Whole("the frame count", 1, kMaxFrames, frames) || !words.End()) {
      return Fail(line, words.Error());
    }
    where = line.number;
  }
  return true;
}

bool Recipe::Draw(const ImgFrameValues& values, ImgCanvas& canvas) {
  // The open "if" lines, each with whether its commands are drawn.
  std::vector<std::pair<const ToolLine*, bool>> blocks;
  for (const ToolLine& line : lines_) {
    Words words(line, values);
    const std::string& command = line.words[0];
    const bool drawing = blocks.empty() || blocks.back().second;
    if (command == "if") {
      double condition = 0;
      if (drawing && (!words.Number("a condition", condition) || !words.End())) {
        return Fail(line, words.Error());
      }
      blocks.emplace_back(&line, drawing && condition != 0);
    } else if (command == "end") {
      if (blocks.empty()) {
        return Fail(line, "end without an if");
      }
      if (!words.End()) {
        return Fail(line, words.Error());
      }
      blocks.pop_back();
    } else if (drawing && (!Run(line, words, canvas) || !words.End())) {
      return Fail(line, words.Error());
    }
  }
  return blocks.empty() || Fail(*blocks.back().first, "if without its end");
}

bool Recipe::Run(const ToolLine& line, Words& words, ImgCanvas& canvas) {
  const std::string& command = line.words[0];
  if (command == "canvas") {
    int32_t width = 0;
    int32_t height = 0;
    ImgPaint paint;
    if (&line != &lines_[0]) {
      return words.Fail("canvas comes once, first");
    }
    if (!words.Whole("the width", 1, kMaxSide, width) ||
        !words.Whole("the height", 1, kMaxSide, height)) {
      return false;
    }
    canvas = ImgCanvasNew(width, height, 0);
    if (!words.More()) {
      return true;  // transparent black
    }
    if (!words.Paint(paint)) {
      return false;
    }
    canvas.replace = true;
    ImgCanvasShape(
        canvas, {0, 0, width, height}, [](double, double) { return true; }, paint);
    canvas.replace = false;
    return true;
  }
  if (command == "frames") {
    return words.Keyword(line.words[1].c_str());  // read when the recipe was checked
  }
  if (command == "mode") {
    std::string mode;
    if (!words.Word("over or replace", mode) || (mode != "over" && mode != "replace")) {
      return words.Fail("mode is over or replace");
    }
    canvas.replace = mode == "replace";
    return true;
  }
  if (command == "fill") {
    ImgPaint paint;
    return words.Paint(paint) && (ImgCanvasShape(
                                      canvas, {0, 0, canvas.width, canvas.height},
                                      [](double, double) { return true; }, paint),
                                  true);
  }
  if (command == "rect" || command == "roundrect" || command == "circle" || command == "ellipse" ||
      command == "line" || command == "poly") {
    return Shape(command, words, canvas);
  }
  if (command == "noise") {
    double amount = 0;
    int32_t seed = 0;
    ImgBox box;
    if (!words.NotBelow("the amount", 0, amount) || !words.Whole("the seed", 0, 9999999, seed) ||
        !words.Box(canvas, box)) {
      return false;
    }
    ImgCanvasShade(canvas, box, [&](int32_t x, int32_t y) {
      return (ImgHash(static_cast<uint32_t>(seed), x, y) * 2.0 - 1.0) * amount;
    });
    return true;
  }
  if (command == "grain") {
    return Grain(words, canvas);
  }
  if (command == "alpha") {
    double factor = 0;
    ImgBox box;
    if (!words.NotBelow("the factor", 0, factor) || !words.Box(canvas, box)) {
      return false;
    }
    ImgCanvasAlpha(canvas, box, factor);
    return true;
  }
  if (command == "flip") {
    ImgCanvasFlip(canvas);
    return true;
  }
  if (command == "font") {
    return LoadFont(words);
  }
  if (command == "text") {
    return Text(words, canvas);
  }
  return words.Fail("unknown command \"" + command + "\"");
}

// The inside test and bounds of each shape, filled or as an outline.
bool Recipe::Shape(const std::string& command, Words& words, ImgCanvas& canvas) {
  double a[5] = {};
  ImgPaint paint;
  ImgInside inside;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  double line = 0;
  const auto outline = [&] {
    return !words.Keyword("line") || words.NotBelow("the line width", 0, line);
  };
  if (command == "rect" || command == "roundrect") {
    const bool round = command == "roundrect";
    if (!words.Number("X", a[0]) || !words.Number("Y", a[1]) ||
        !words.NotBelow("the width", 0, a[2]) || !words.NotBelow("the height", 0, a[3]) ||
        (round && !words.NotBelow("the radius", 0, a[4])) || !words.Paint(paint) || !outline()) {
      return false;
    }
    x0 = a[0], y0 = a[1], x1 = a[0] + a[2], y1 = a[1] + a[3];
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double r = std::min({a[4], a[2] / 2, a[3] / 2});
    // Distance from the rounded box's edge, negative inside.
    const auto edge = [=](double x, double y) {
      const double qx = std::abs(x - cx) - (a[2] / 2 - r);
      const double qy = std::abs(y - cy) - (a[3] / 2 - r);
      return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
    };
    inside = [=](double x, double y) {
      const double d = edge(x, y);
      return d <= 0 && (line == 0 || d > -line);
    };
  } else if (command == "circle" || command == "ellipse") {
    const bool circle = command == "circle";
    if (!words.Number("CX", a[0]) || !words.Number("CY", a[1]) ||
        !words.NotBelow(circle ? "the radius" : "RX", 0, a[2]) ||
        (!circle && !words.NotBelow("RY", 0, a[3])) || !words.Paint(paint) || !outline()) {
      return false;
    }
    const double rx = a[2], ry = circle ? a[2] : a[3];
    x0 = a[0] - rx, y0 = a[1] - ry, x1 = a[0] + rx, y1 = a[1] + ry;
    const auto within = [=](double x, double y, double ex, double ey) {
      if (ex <= 0 || ey <= 0) {
        return false;
      }
      const double u = (x - a[0]) / ex, v = (y - a[1]) / ey;
      return u * u + v * v <= 1.0;
    };
    inside = [=](double x, double y) {
      return within(x, y, rx, ry) && (line == 0 || !within(x, y, rx - line, ry - line));
    };
  } else if (command == "poly") {
    // Corners up to the paint, which starts with '#' or a gradient's name.
    std::vector<double> corners;
    while (words.More() && !words.Peek().starts_with('#') && words.Peek() != "linear" &&
           words.Peek() != "radial") {
      double value = 0;
      if (!words.Number(corners.size() % 2 == 0 ? "X" : "Y", value)) {
        return false;
      }
      corners.push_back(value);
    }
    if (corners.size() < 6 || corners.size() % 2 != 0) {
      return words.Fail("poly needs three or more corners, each X Y, before its paint");
    }
    if (!words.Paint(paint)) {
      return false;
    }
    x0 = x1 = corners[0], y0 = y1 = corners[1];
    for (size_t i = 0; i < corners.size(); i += 2) {
      x0 = std::min(x0, corners[i]), x1 = std::max(x1, corners[i]);
      y0 = std::min(y0, corners[i + 1]), y1 = std::max(y1, corners[i + 1]);
    }
    // Even-odd rule: a point is inside when a ray to its right crosses the
    // edges an odd number of times.
    inside = [corners](double x, double y) {
      bool in = false;
      for (size_t i = 0, j = corners.size() - 2; i < corners.size(); j = i, i += 2) {
        const double xi = corners[i], yi = corners[i + 1];
        const double xj = corners[j], yj = corners[j + 1];
        if ((yi > y) != (yj > y) && x < xi + (xj - xi) * (y - yi) / (yj - yi)) {
          in = !in;
        }
      }
      return in;
    };
  } else {
    if (!words.Number("X1", a[0]) || !words.Number("Y1", a[1]) || !words.Number("X2", a[2]) ||
        !words.Number("Y2", a[3]) || !words.NotBelow("the width", 0, a[4]) || !words.Paint(paint)) {
      return false;
    }
    const double half = a[4] / 2, dx = a[2] - a[0], dy = a[3] - a[1];
    const double length = dx * dx + dy * dy;
    x0 = std::min(a[0], a[2]) - half, x1 = std::max(a[0], a[2]) + half;
    y0 = std::min(a[1], a[3]) - half, y1 = std::max(a[1], a[3]) + half;
    inside = [=](double x, double y) {
      const double at =
          length > 0 ? std::clamp(((x - a[0]) * dx + (y - a[1]) * dy) / length, 0.0, 1.0) : 0.0;
      return std::hypot(x - a[0] - at * dx, y - a[1] - at * dy) <= half;
    };
  }
  const auto low = [](double v) { return Words::Pixel(std::floor(v)); };
  const auto high = [](double v) { return Words::Pixel(std::ceil(v)); };
  ImgCanvasShape(canvas, {low(x0), low(y0), high(x1), high(y1)}, inside, paint);
  return true;
}

// Value noise: smoothly between random levels on a lattice of the spacing.
double Smooth(uint32_t seed, double x, double y, double sx, double sy) {
  const double u = x / sx, v = y / sy;
  const double fu = std::floor(u), fv = std::floor(v);
  const auto ease = [](double s) { return s * s * (3 - 2 * s); };
  const double wu = ease(u - fu), wv = ease(v - fv);
  const auto at = [&](double i, double j) {
    return ImgHash(seed, static_cast<int32_t>(fu + i), static_cast<int32_t>(fv + j));
  };
  const double top = at(0, 0) + (at(1, 0) - at(0, 0)) * wu;
  const double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * wu;
  return top + (bottom - top) * wv;
}

// Paper: soft blotches of the scale, long fibres across, and a fine tooth.
bool Recipe::Grain(Words& words, ImgCanvas& canvas) {
  double amount = 0;
  double scale = 0;
  int32_t seed = 0;
  ImgBox box;
  if (!words.NotBelow("the amount", 0, amount) || !words.NotBelow("the scale", 1, scale) ||
      !words.Whole("the seed", 0, 9999999, seed) || !words.Box(canvas, box)) {
    return false;
  }
  const auto s = static_cast<uint32_t>(seed);
  ImgCanvasShade(canvas, box, [&](int32_t x, int32_t y) {
    const double blotch = Smooth(s, x, y, scale, scale);
    const double fibre = Smooth(s + 7919, x, y, scale * 4, std::max(scale / 3, 1.0));
    const double tooth = ImgHash(s + 104729, x, y);
    return (0.5 * blotch + 0.3 * fibre + 0.2 * tooth - 0.5) * 2.0 * amount;
  });
  return true;
}

bool Recipe::LoadFont(Words& words) {
  std::string name;
  std::string file;
  if (!words.Word("a name", name) || !words.Word("a font file", file)) {
    return false;
  }
  if (fonts_.contains(name)) {
    return true;  // read when the first frame was drawn
  }
  // An absolute file name stays as it is in each candidate.
  std::vector<std::string> candidates = {(fs::path(path_).parent_path() / file).string()};
  for (const std::string& folder : folders_) {
    candidates.push_back((fs::path(folder) / file).string());
  }
  for (const std::string& candidate : candidates) {
    std::string contents;
    if (!ToolReadFile(candidate, contents)) {
      continue;
    }
    std::string error;
    ImgFont font;
    if (!ImgFontRead(std::vector<uint8_t>(contents.begin(), contents.end()), font, error)) {
      return words.Fail(candidate + ": " + error);
    }
    fonts_.emplace(name, std::move(font));
    return true;
  }
  return words.Fail("cannot find the font \"" + file + "\" beside the recipe" +
                    (folders_.empty() ? "" : " or in the -I folders"));
}

bool Recipe::Text(Words& words, ImgCanvas& canvas) {
  std::string name;
  double x = 0;
  double y = 0;
  uint32_t colour = 0;
  std::string text;
  if (!words.Word("a font name", name) || !words.Number("X", x) || !words.Number("Y", y) ||
      !words.Colour(colour) || !words.Word("the text in double quotes", text)) {
    return false;
  }
  const auto font = fonts_.find(name);
  if (font == fonts_.end()) {
    return words.Fail("no font is named \"" + name + "\" (name one with \"font\" first)");
  }
  if (text[0] != '"') {
    return words.Fail("the text goes in double quotes");
  }
  text.erase(0, 1);
  const int32_t width = ImgFontTextWidth(font->second, text);
  int32_t left = Words::Pixel(x);
  if (words.Keyword("centre") || words.Keyword("center")) {
    left -= width / 2;
  } else if (words.Keyword("right")) {
    left -= width;
  } else {
    words.Keyword("left");
  }
  ImgCanvasText(canvas, font->second, left, Words::Pixel(y), colour, text);
  return true;
}

// The frame's file when the recipe has a `frames` line: the run of '%' in
// the name becomes its number from 1, padded with zeros to the run's length.
std::string FramePath(const std::string& pattern, int32_t frame) {
  const std::string name = fs::path(pattern).filename().string();
  const size_t start = name.find('%');
  if (start == std::string::npos) {
    return pattern;
  }
  const size_t length = name.find_first_not_of('%', start) - start;
  std::string number = std::to_string(frame);
  if (number.size() < length) {
    number.insert(0, length - number.size(), '0');
  }
  return (fs::path(pattern).parent_path() /
          (name.substr(0, start) + number + name.substr(start + length)))
      .string();
}

struct Options {
  std::string recipe;
  std::string output;
  int32_t frames = 0;  // 0: as the recipe says
  std::vector<std::string> folders;
  std::map<std::string, std::string> values;  // --set NAME=VALUE
};

bool IsName(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

// Puts each value where a word writes ${NAME}: the values given with --set,
// and those the recipe's own "set NAME VALUE" lines give for the lines after
// them (a --set of the same name wins, so recipe values are defaults). The
// "set" lines are then dropped. A name without a value is a fault, so that a
// forgotten --set cannot quietly draw a wrong picture.
bool Substitute(const Options& options, std::vector<ToolLine>& lines) {
  std::map<std::string, std::string> values = options.values;
  std::vector<ToolLine> drawn;
  for (ToolLine& line : lines) {
    const std::string where = options.recipe + ":" + std::to_string(line.number);
    for (std::string& word : line.words) {
      size_t at = 0;
      while ((at = word.find("${", at)) != std::string::npos) {
        const size_t end = word.find('}', at);
        if (end == std::string::npos) {
          ToolFail(where, "error: \"${\" has no closing \"}\" in \"" + word + "\"");
          return false;
        }
        const std::string name = word.substr(at + 2, end - at - 2);
        const auto value = values.find(name);
        if (value == values.end()) {
          ToolFail(where, "error: ${" + name + "} has no value (give it with --set " + name +
                              "=VALUE or a set line)");
          return false;
        }
        if (word.size() - (end + 1 - at) + value->second.size() > kMaxWord) {
          ToolFail(where, "error: ${" + name + "} makes a word longer than " +
                              std::to_string(kMaxWord) + " characters");
          return false;
        }
        word.replace(at, end + 1 - at, value->second);
        at += value->second.size();
      }
    }
    if (line.words[0] != "set") {
      drawn.push_back(std::move(line));
    } else if (line.words.size() != 3 || !IsName(line.words[1])) {
      ToolFail(where, "error: set takes a NAME (letters, digits and '_') and one VALUE");
      return false;
    } else if (!options.values.contains(line.words[1])) {
      values[line.words[1]] = line.words[2];
    }
  }
  lines = std::move(drawn);
  return true;
}

// NAME=VALUE with a name of letters, digits and '_'.
bool ParseSetting(const std::string& text, Options& options) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || !IsName(text.substr(0, equals))) {
    return false;
  }
  options.values[text.substr(0, equals)] = text.substr(equals + 1);
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--frames" || args[i] == "-I" || args[i] == "--set") && i + 1 == args.size()) {
      error = args[i] + " needs a value";
      return false;
    }
    if (args[i] == "--frames") {
      if (!ToolParseNumber(args[++i], 1, kMaxFrames, options.frames)) {
        error = "--frames takes a count within 1-" + std::to_string(kMaxFrames);
        return false;
      }
    } else if (args[i] == "--set") {
      if (!ParseSetting(args[++i], options)) {
        error = "--set takes NAME=VALUE, the name of letters, digits and '_'";
        return false;
      }
    } else if (args[i] == "-I") {
      options.folders.push_back(args[++i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    error = "a recipe and an output picture are needed";
    return false;
  }
  options.recipe = files[0];
  options.output = files[1];
  return true;
}

int Make(const Options& options) {
  std::vector<ToolLine> lines;
  if (!ToolReadRecipe(options.recipe, lines) || !Substitute(options, lines)) {
    return kToolFailure;
  }
  Recipe recipe(options.recipe, std::move(lines), options.folders);
  int32_t frames = 1;
  int32_t framesLine = 0;
  if (!recipe.Frames(frames, framesLine)) {
    return kToolFailure;
  }
  const std::string where =
      framesLine == 0 ? options.recipe : options.recipe + ":" + std::to_string(framesLine);
  if (options.frames != 0 && options.frames != frames) {
    return ToolFail(where, "error: the recipe makes " + std::to_string(frames) +
                               " frames; --frames asks for " + std::to_string(options.frames));
  }
  if (frames > 1 && fs::path(options.output).filename().string().find('%') == std::string::npos) {
    return ToolFail(where, "error: " + std::to_string(frames) + " frames need a '%' in the name " +
                               options.output + " for their numbers");
  }
  // Frames go to ".part" files that take their names only once every frame
  // is drawn, so that a fault in a late frame leaves no partial set behind.
  std::vector<std::string> paths;
  const auto discard = [&paths] {
    for (const std::string& path : paths) {
      std::error_code ignored;
      fs::remove(path + ".part", ignored);
    }
    return kToolFailure;
  };
  for (int32_t f = 0; f < frames; ++f) {
    const ImgFrameValues values{static_cast<double>(f), static_cast<double>(f) / frames,
                                static_cast<double>(frames)};
    ImgCanvas canvas;
    if (!recipe.Draw(values, canvas)) {
      return discard();
    }
    paths.push_back(framesLine == 0 ? options.output : FramePath(options.output, f + 1));
    if (!ToolWriteFile(paths.back() + ".part", ImgTgaBytes(canvas))) {
      ToolFail(paths.back(), "error: cannot write the picture");
      return discard();
    }
  }
  for (const std::string& path : paths) {
    std::error_code error;
    fs::rename(path + ".part", path, error);
    if (error) {
      ToolFail(path, "error: cannot write the picture: " + error.message());
      return discard();
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return ToolMain<Options>(argc, argv, "imgmake", kUsageText, ParseOptions, Make);
}
