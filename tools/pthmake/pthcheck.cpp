#include "tools/pthmake/pthcheck.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>

#include "framework/datafile/datafile.h"

namespace {

std::string Point(PathPoint p) {
  return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

std::string ColourText(int32_t color) {
  char text[16];
  const auto value = static_cast<uint32_t>(color);
  std::snprintf(text, sizeof text, value > 0xFFFFFF ? "%08X" : "%06X", value);
  return text;
}

// A decimal number that fits 32 bits, with one leading "-" only when signed:
// the numbers a path file holds, read as the game reads them.
bool ParseNumber(const std::string& text, bool signedValue, int32_t& value) {
  const bool negative = signedValue && text.starts_with('-');
  const size_t first = negative ? 1 : 0;
  if (text.size() <= first || text.size() - first > 10 ||
      !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(first), text.end(),
                   [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const int64_t magnitude = std::stoll(text.substr(first));
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  value = static_cast<int32_t>(result);
  return true;
}

// Follows the game's reading of a path file line by line, keeping the line
// numbers and noting every line read as a default or skipped.
class LayoutReader {
 public:
  LayoutReader(int32_t file, PthLayout& layout, std::vector<PthProblem>& problems)
      : file_(file), layout_(layout), problems_(problems) {}

  void Read();

 private:
  std::string Line() {
    ++line_;
    return DataFileReadLine(file_);
  }
  // The next line unless the file has ended (an empty last line is no line).
  bool Next(std::string& text) {
    if (DataFileEOF(file_)) {
      return false;
    }
    text = Line();
    return !(text.empty() && DataFileEOF(file_));
  }
  void Problem(const std::string& message) { problems_.push_back({line_, message}); }
  // An unsigned number line; 0 with a problem when it is not one.
  int32_t Count(const std::string& text, const std::string& what) {
    int32_t value = 0;
    if (!ParseNumber(text, false, value)) {
      Problem(what + " \"" + text + "\" is not a number; the game reads 0");
    }
    return value;
  }
  void ReadNode(int32_t node, int32_t count, const std::string& xText);

  int32_t file_;
  PthLayout& layout_;
  std::vector<PthProblem>& problems_;
  int32_t line_ = 0;
  std::vector<std::vector<int32_t>> linkValues_;
};

void LayoutReader::Read() {
  const std::string version = Line();
  for (const char* what : {"the floor colour", "the block colour"}) {
    int32_t value = 0;
    const std::string text = Line();
    if (!ParseNumber(text, true, value)) {
      Problem(std::string(what) + " \"" + text +
              "\" is not a number; the game keeps the colour it had");
    }
  }
  if (version != "Path File 1.0") {
    const std::string wrap = Line();
    if (wrap != "0" && wrap != "1") {
      Problem("the wrap line \"" + wrap + "\" is neither 0 nor 1; the game reads it as off");
    }
  }
  const int32_t count = Count(Line(), "the node count");
  const int32_t countLine = line_;
  std::string text;
  for (int32_t node = 0; node < count && Next(text); ++node) {
    ReadNode(node, count, text);
  }
  const auto size = static_cast<int32_t>(layout_.nodeLines.size());
  if (size < count) {
    problems_.push_back({countLine, "the file declares " + std::to_string(count) +
                                        " nodes and ends after " + std::to_string(size)});
  }
  // The game drops the links to nodes the file ends before.
  for (size_t node = 0; node < layout_.linkLines.size(); ++node) {
    std::vector<int32_t>& lines = layout_.linkLines[node];
    for (size_t k = lines.size(); k-- > 0;) {
      if (linkValues_[node][k] >= size) {
        problems_.push_back({lines[k], "link " + std::to_string(linkValues_[node][k]) +
                                           " names a node the file ends before"});
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k));
      }
    }
  }
}

void LayoutReader::ReadNode(int32_t node, int32_t count, const std::string& xText) {
  const std::string name = "node " + std::to_string(node) + "'s ";
  layout_.nodeLines.push_back(line_);
  Count(xText, name + "x");
  Count(Line(), name + "y");
  const int32_t links = Count(Line(), name + "link count");
  std::vector<int32_t>& lines = layout_.linkLines.emplace_back();
  std::vector<int32_t>& values = linkValues_.emplace_back();
  std::string text;
  for (int32_t k = 0; k < links && Next(text); ++k) {
    int32_t value = 0;
    if (ParseNumber(text, true, value) && value >= 0 && value < count) {
      lines.push_back(line_);
      values.push_back(value);
    } else {
      Problem("link \"" + text + "\" of node " + std::to_string(node) + " names no node (0 to " +
              std::to_string(count - 1) + "); the game skips it");
    }
  }
}

bool SameShape(const PathTree& tree, const PthLayout& layout) {
  if (layout.linkLines.size() != tree.nodes.size()) {
    return false;
  }
  for (size_t i = 0; i < tree.nodes.size(); ++i) {
    if (layout.linkLines[i].size() != tree.nodes[i].links.size()) {
      return false;
    }
  }
  return true;
}

bool HasLink(const PathNode& node, int32_t to) {
  return std::find(node.links.begin(), node.links.end(), to) != node.links.end();
}

PathPoint At(const PathNode& node) {
  return {node.x, node.y};
}

void CheckNodes(const Mat& floor, const PathTree& tree, const PthLayout& layout,
                std::vector<PthProblem>& problems) {
  for (size_t i = 0; i < tree.nodes.size(); ++i) {
    const PathPoint p = At(tree.nodes[i]);
    int32_t color = 0;
    const std::string node = "node " + std::to_string(i) + " at " + Point(p);
    if (!PathPixelColor(floor, p.x, p.y, color)) {
      problems.push_back({layout.NodeLine(i), node + " is outside the floor mat (" +
                                                  std::to_string(floor.width) + " x " +
                                                  std::to_string(floor.height) + ")"});
    } else if (color != tree.floorColor) {
      problems.push_back(
          {layout.NodeLine(i), node + " is not on the floor: its colour is " + ColourText(color)});
    }
  }
}

void CheckLinks(const Mat& floor, const PathTree& tree, const PthLayout& layout,
                std::vector<PthProblem>& problems) {
  for (size_t i = 0; i < tree.nodes.size(); ++i) {
    const PathNode& node = tree.nodes[i];
    for (size_t k = 0; k < node.links.size(); ++k) {
      const auto j = static_cast<size_t>(node.links[k]);
      const std::string link = "link " + std::to_string(i) + " -> " + std::to_string(j);
      const PathNode& other = tree.nodes[j];
      if (!HasLink(other, static_cast<int32_t>(i))) {
        problems.push_back({layout.LinkLine(i, k), link + " has no link back"});
      }
      if (!PathLineOfSight(floor, tree, At(node), At(other))) {
        problems.push_back(
            {layout.LinkLine(i, k), link + ": node " + std::to_string(j) + " at " +
                                        Point(At(other)) + " is not in sight of node " +
                                        std::to_string(i) + " at " + Point(At(node))});
      }
    }
  }
}

void CheckParts(const PathTree& tree, const PthLayout& layout, std::vector<PthProblem>& problems) {
  int32_t partCount = 0;
  const std::vector<int32_t> parts = PthTreeParts(tree, partCount);
  for (int32_t part = 1; part < partCount; ++part) {
    const auto first =
        static_cast<size_t>(std::find(parts.begin(), parts.end(), part) - parts.begin());
    const auto size = std::count(parts.begin(), parts.end(), part);
    const std::string others =
        size == 1 ? "" : " and " + std::to_string(size - 1) + " more nodes of its part";
    problems.push_back(
        {layout.NodeLine(first), "node " + std::to_string(first) + others +
                                     " cannot be reached from node 0: the tree is in " +
                                     std::to_string(partCount) + " parts"});
  }
}

void CheckFloor(const Mat& floor, const PathTree& tree, std::vector<PthProblem>& problems) {
  int64_t floorPixels = 0;
  for (int32_t y = 0; y < floor.height; ++y) {
    for (int32_t x = 0; x < floor.width; ++x) {
      floorPixels += PthIsFloor(floor, tree, {x, y}) ? 1 : 0;
    }
  }
  if (floorPixels == 0) {
    problems.push_back(
        {0, "no pixel has the tree's floor colour " + ColourText(tree.floorColor), true});
    return;
  }
  int64_t unseen = 0;
  PathPoint first;
  PthVisitUnseenFloor(floor, tree, [&](PathPoint p) {
    if (unseen++ == 0) {
      first = p;
    }
    return true;
  });
  if (unseen > 0) {
    problems.push_back({0,
                        std::to_string(unseen) + " of " + std::to_string(floorPixels) +
                            " floor pixels see no node, the first at " + Point(first),
                        true});
  }
}

}  // namespace

bool PthTreeLoad(const std::string& fileName, PathTree& tree, PthLayout& layout,
                 std::vector<PthProblem>& problems) {
  if (!PathTreeRead(fileName, tree)) {
    return false;
  }
  const int32_t file = DataFileOpen(fileName);
  if (file != 0) {
    LayoutReader(file, layout, problems).Read();
    DataFileClose(file);
  }
  if (!SameShape(tree, layout)) {
    layout = PthLayout{};  // lines unknown: problems name the file
  }
  return true;
}

bool PthIsFloor(const Mat& floor, const PathTree& tree, PathPoint point) {
  int32_t color = 0;
  return PathPixelColor(floor, point.x, point.y, color) && color == tree.floorColor;
}

void PthVisitUnseenFloor(const Mat& floor, const PathTree& tree,
                         const std::function<bool(PathPoint)>& unseen) {
  // Near nodes are the likeliest to be in sight and the cheapest lines to
  // follow: each tile of pixels tries the nodes nearest its centre first.
  constexpr int32_t kTile = 16;
  std::vector<std::vector<size_t>> orders;  // per tile of the current band
  size_t orderedNodes = 0;
  for (int32_t y = 0; y < floor.height; ++y) {
    if (y % kTile == 0 || orderedNodes != tree.nodes.size()) {
      orders.assign(static_cast<size_t>((floor.width + kTile - 1) / kTile), {});
      orderedNodes = tree.nodes.size();
    }
    for (int32_t x = 0; x < floor.width; ++x) {
      const PathPoint p{x, y};
      if (!PthIsFloor(floor, tree, p)) {
        continue;
      }
      std::vector<size_t>& order = orders[static_cast<size_t>(x / kTile)];
      if (order.size() != tree.nodes.size()) {
        const PathPoint centre{x / kTile * kTile + kTile / 2, y / kTile * kTile + kTile / 2};
        order.resize(tree.nodes.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
          return PathDistance(centre, At(tree.nodes[a])) < PathDistance(centre, At(tree.nodes[b]));
        });
      }
      if (std::none_of(
              order.begin(), order.end(),
              [&](size_t n) { return PathLineOfSight(floor, tree, p, At(tree.nodes[n])); }) &&
          !unseen(p)) {
        return;
      }
    }
  }
}

std::vector<int32_t> PthTreeParts(const PathTree& tree, int32_t& partCount) {
  const size_t count = tree.nodes.size();
  std::vector<std::vector<size_t>> neighbours(count);
  for (size_t i = 0; i < count; ++i) {
    for (const int32_t link : tree.nodes[i].links) {
      if (link >= 0 && static_cast<size_t>(link) < count) {
        neighbours[i].push_back(static_cast<size_t>(link));
        neighbours[static_cast<size_t>(link)].push_back(i);
      }
    }
  }
  std::vector<int32_t> parts(count, -1);
  partCount = 0;
  for (size_t start = 0; start < count; ++start) {
    if (parts[start] >= 0) {
      continue;
    }
    std::vector<size_t> stack{start};
    parts[start] = partCount;
    while (!stack.empty()) {
      const size_t node = stack.back();
      stack.pop_back();
      for (const size_t next : neighbours[node]) {
        if (parts[next] < 0) {
          parts[next] = partCount;
          stack.push_back(next);
        }
      }
    }
    ++partCount;
  }
  return parts;
}

std::vector<PthProblem> PthCheck(const Mat& floor, const PathTree& tree, const PthLayout& layout) {
  std::vector<PthProblem> problems;
  CheckNodes(floor, tree, layout, problems);
  CheckLinks(floor, tree, layout, problems);
  CheckParts(tree, layout, problems);
  CheckFloor(floor, tree, problems);
  return problems;
}
