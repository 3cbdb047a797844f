// Walk paths: reading and writing path trees, the floor mat's colours, lines
// of sight and the route search.
#include "game/path.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();

// --- Path files --------------------------------------------------------------------

// A decimal number that fits 32 bits: digits, with one leading "-" only when
// `signedValue`. Anything else (empty, spaces, signs, overflow) is refused.
bool ParseInteger(const std::string& text, bool signedValue, int32_t& value) {
  const bool negative = signedValue && !text.empty() && text[0] == '-';
  const size_t first = negative ? 1 : 0;
  if (text.size() <= first) {
    return false;
  }
  int64_t magnitude = 0;
  for (size_t i = first; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{kInt32Max} + 1) {
      return false;
    }
  }
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > kInt32Max) {
    return false;
  }
  value = static_cast<int32_t>(result);
  return true;
}

// The next line as a number without sign; 0 when it is not one.
int32_t ReadCount(int32_t file) {
  int32_t value = 0;
  return ParseInteger(DataFileReadLine(file), false, value) ? value : 0;
}

// The next line, false at the end of the file. An empty last line (what is
// left of a final CR LF) counts as no line, so that a cut-off file does not
// gain a node made of defaults.
bool NextLine(int32_t file, std::string& line) {
  if (DataFileEOF(file)) {
    return false;
  }
  line = DataFileReadLine(file);
  return !(line.empty() && DataFileEOF(file));
}

// Reads the nodes after the node count. The count only bounds the loop:
// nodes are added as they are read, and reading stops at the end of the
// file, so a huge count in a small file costs nothing.
void ReadNodes(int32_t file, int32_t count, std::vector<PathNode>& nodes) {
  std::string line;
  for (int32_t i = 0; i < count && NextLine(file, line); ++i) {
    PathNode& node = nodes.emplace_back();
    int32_t value = 0;
    node.x = ParseInteger(line, false, value) ? value : 0;
    node.y = ReadCount(file);
    const int32_t links = ReadCount(file);
    for (int32_t k = 0; k < links && NextLine(file, line); ++k) {
      if (ParseInteger(line, true, value) && value >= 0 && value < count) {
        node.links.push_back(value);
      }
    }
  }
  // A file that ends early holds fewer nodes than it declared; links to the
  // missing ones go.
  const auto size = static_cast<int32_t>(nodes.size());
  for (PathNode& node : nodes) {
    std::erase_if(node.links, [size](int32_t link) { return link >= size; });
  }
}

// --- Lines ---------------------------------------------------------------------------

// Steps the three-move line from `from` to `to` in unwrapped coordinates:
// each step goes in x, in y or diagonally, whichever leaves the smallest
// distance from the true line. Calls visit(x, y) for every pixel, the start
// first and the end last, and stops when it returns false; true when the end
// was visited. 64-bit arithmetic: the error stays within the larger of |dx|
// and |dy| plus both, which 32-bit coordinates cannot overflow.
template <typename Visit>
bool StepLine(PathPoint from, PathPoint to, Visit&& visit) {
  const int64_t dx = int64_t{to.x} - from.x;
  const int64_t dy = int64_t{to.y} - from.y;
  const int64_t sx = dx >= 0 ? 1 : -1;
  const int64_t sy = dy >= 0 ? 1 : -1;
  const int64_t xStepError = sx * dy;
  const int64_t yStepError = -sy * dx;
  int64_t x = from.x;
  int64_t y = from.y;
  int64_t e = 0;
  if (!visit(x, y)) {
    return false;
  }
  while (x != to.x || y != to.y) {
    const int64_t ex = e + xStepError;
    const int64_t ey = e + yStepError;
    const int64_t ed = ex + yStepError;
    const bool xBeforeDiagonal = std::abs(ex) < std::abs(ed);
    if (xBeforeDiagonal && std::abs(ex) <= std::abs(ey)) {
      x += sx;
      e = ex;
    } else if (!xBeforeDiagonal && std::abs(ed) <= std::abs(ey)) {
      x += sx;
      y += sy;
      e = ed;
    } else {
      y += sy;
      e = ey;
    }
    if (!visit(x, y)) {
      return false;
    }
  }
  return true;
}

// The floor mat prepared for the searches: the pixels and, per entry index,
// whether it is floor or block (an index that names no entry is neither).
struct FloorView {
  const uint8_t* pixels = nullptr;
  int64_t width = 0;
  int64_t height = 0;
  bool floor[256] = {};
  bool block[256] = {};

  FloorView(const Mat& mat, const PathTree& tree) {
    if (!MatIsValid(mat)) {
      return;
    }
    pixels = mat.data.data();
    width = mat.width;
    height = mat.height;
    for (size_t i = 0; i < mat.entries.size(); ++i) {
      floor[i] = mat.entries[i].color == static_cast<uint32_t>(tree.floorColor);
      block[i] = mat.entries[i].color == static_cast<uint32_t>(tree.blockColor);
    }
  }
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && x < width && y >= 0 && y < height; }
  uint8_t At(int64_t x, int64_t y) const { return pixels[y * width + x]; }
};

// The line of sight over a prepared mat. Both ends must lie inside the mat,
// except that the end may be the image of a pixel one width across the
// seam; the line wraps at the left and right edges.
bool Sight(const FloorView& view, PathPoint from, PathPoint to) {
  if (!view.Inside(from.x, from.y) || to.y < 0 || to.y >= view.height || to.x < -view.width ||
      to.x >= 2 * view.width) {
    return false;
  }
  // The line's y stays between the ends, so only x needs folding into the
  // mat; it moves by one at a time, so one correction per step suffices.
  int64_t offset = 0;  // unwrapped minus wrapped column
  return StepLine(from, to, [&](int64_t x, int64_t y) {
    int64_t column = x - offset;
    if (column < 0) {
      column += view.width;
      offset -= view.width;
    } else if (column >= view.width) {
      column -= view.width;
      offset += view.width;
    }
    return !view.block[view.At(column, y)];
  });
}

}  // namespace

// --- Path files ----------------------------------------------------------------------

bool PathTreeRead(const std::string& fileName, PathTree& tree) {
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    tree.nodes.clear();
    return false;
  }
  const std::string version = DataFileReadLine(file);
  if (version != "Path File 1.0" && version != "Path File 1.1" && version != "Path File 2.0") {
    LogError("RoomSetWalkPath - Unsupported version " + version + " in file " + fileName + ".");
    DataFileClose(file);
    return false;
  }
  int32_t value = 0;
  if (ParseInteger(DataFileReadLine(file), true, value)) {
    tree.floorColor = value;
  }
  if (ParseInteger(DataFileReadLine(file), true, value)) {
    tree.blockColor = value;
  }
  tree.wrap = false;
  if (version != "Path File 1.0") {
    tree.wrap = DataFileReadLine(file) == "1";
  }
  tree.nodes.clear();
  ReadNodes(file, ReadCount(file), tree.nodes);
  DataFileClose(file);
  return true;
}

std::string PathTreeText(const PathTree& tree) {
  std::string text;
  const auto line = [&text](const std::string& content) { text += content + "\r\n"; };
  line("Path File 2.0");
  line(std::to_string(tree.floorColor));
  line(std::to_string(tree.blockColor));
  line(tree.wrap ? "1" : "0");
  line(std::to_string(tree.nodes.size()));
  for (const PathNode& node : tree.nodes) {
    line(std::to_string(node.x));
    line(std::to_string(node.y));
    line(std::to_string(node.links.size()));
    for (int32_t link : node.links) {
      line(std::to_string(link));
    }
  }
  return text;
}

// --- Geometry ------------------------------------------------------------------------

// The square root of an integer is never exactly a half, so rounding to the
// nearest integer is exact here: the answer is k with k*k - k < n <= k*k + k,
// computed on integers. A distance beyond 32 bits is cut to the largest value.
int32_t PathDistance(PathPoint a, PathPoint b) {
  const uint64_t dx = std::llabs(int64_t{a.x} - b.x);
  const uint64_t dy = std::llabs(int64_t{a.y} - b.y);
  if (dx >= uint64_t{kInt32Max} || dy >= uint64_t{kInt32Max}) {
    return kInt32Max;
  }
  const uint64_t n = dx * dx + dy * dy;
  auto k = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
  while (k * k > n) {
    --k;
  }
  while ((k + 1) * (k + 1) <= n) {
    ++k;
  }
  if (n > k * k + k) {
    ++k;
  }
  return k > uint64_t{kInt32Max} ? kInt32Max : static_cast<int32_t>(k);
}

bool PathLineVisit(PathPoint from, PathPoint to, const std::function<bool(PathPoint)>& visit) {
  return StepLine(from, to, [&visit](int64_t x, int64_t y) {
    return visit({static_cast<int32_t>(x), static_cast<int32_t>(y)});
  });
}

bool PathPixelColor(const Mat& floor, int32_t x, int32_t y, int32_t& color) {
  const int32_t index = MatEntryAt(floor, x, y);
  if (index < 0) {
    return false;
  }
  color = static_cast<int32_t>(floor.entries[index].color);
  return true;
}

// --- Route search --------------------------------------------------------------------

bool PathLineOfSight(const Mat& floor, const PathTree& tree, PathPoint from, PathPoint to) {
  return Sight(FloorView(floor, tree), from, to);
}
