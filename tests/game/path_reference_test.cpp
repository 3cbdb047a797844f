// Route search against a plain restatement of its rules kept in this file:
// over thousands of random rooms and trees (wrapping or not, obstacles of the
// block colour, patches of a colour that is neither floor nor block, nodes
// off the floor and outside the mat, links both ways, one way, to themselves
// and twice) both give the same nearest floor pixels, sight lines, visible
// nodes, tree searches, waypoints, flags and log lines. Every route is also
// checked against facts of its own: each segment in sight, the ends on the
// floor, and a length equal to the shortest route through the tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <queue>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "game/path.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

// --- The rules, written out plainly ----------------------------------------------
// Slow on purpose: no shared buffers, 64-bit arithmetic everywhere, each step
// in the order the rules give it. Messages go to a list instead of the log.
namespace plain {

bool Inside(const Mat& mat, int64_t x, int64_t y) {
  return MatIsValid(mat) && x >= 0 && y >= 0 && x < mat.width && y < mat.height;
}

// The entry colour at a pixel; none outside the mat.
std::optional<int32_t> ColorAt(const Mat& mat, int64_t x, int64_t y) {
  if (!Inside(mat, x, y)) {
    return std::nullopt;
  }
  const uint8_t index = mat.data[static_cast<size_t>(y * mat.width + x)];
  if (index >= mat.entries.size()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(mat.entries[index].color);
}

bool IsFloor(const Mat& mat, const PathTree& tree, int64_t x, int64_t y) {
  const std::optional<int32_t> color = ColorAt(mat, x, y);
  return color && *color == tree.floorColor;
}

// A pixel outside the mat blocks sight like one of the block colour.
bool Blocks(const Mat& mat, const PathTree& tree, int64_t x, int64_t y) {
  const std::optional<int32_t> color = ColorAt(mat, x, y);
  return !color || *color == tree.blockColor;
}

int64_t Distance(PathPoint a, PathPoint b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  return static_cast<int64_t>(std::nearbyint(std::sqrt(dx * dx + dy * dy)));
}

PathPoint NearestFloor(const Mat& mat, const PathTree& tree, PathPoint point) {
  if (!Inside(mat, point.x, point.y) || IsFloor(mat, tree, point.x, point.y)) {
    return point;
  }
  const int32_t width = mat.width;
  const int32_t height = mat.height;
  std::vector<bool> marked(static_cast<size_t>(width) * height, false);
  std::vector<PathPoint> queue;
  auto add = [&](int32_t x, int32_t y) {
    const size_t at = static_cast<size_t>(y) * width + x;
    if (!marked[at]) {
      marked[at] = true;
      queue.push_back({x, y});
    }
  };
  add(point.x, point.y);
  for (size_t next = 0; next < queue.size(); ++next) {
    const PathPoint p = queue[next];
    if (IsFloor(mat, tree, p.x, p.y)) {
      return p;
    }
    if (p.y < height - 1) {
      add(p.x, p.y + 1);
    }
    if (p.x < width - 1) {
      add(p.x + 1, p.y);
    } else if (tree.wrap) {
      add(0, p.y);
    }
    if (p.y > 0) {
      add(p.x, p.y - 1);
    }
    if (p.x > 0) {
      add(p.x - 1, p.y);
    } else if (tree.wrap) {
      add(width - 1, p.y);
    }
  }
  return point;
}

// An end outside the mat blocks sight, except an end one width across the
// seam: that is where a route aims to walk round the other way.
bool LineOfSight(const Mat& mat, const PathTree& tree, PathPoint from, PathPoint to) {
  if (to.y < 0 || to.y >= mat.height || to.x < -mat.width || to.x >= 2 * mat.width) {
    return false;
  }
  if (Blocks(mat, tree, from.x, from.y)) {
    return false;
  }
  const int64_t dx = int64_t{to.x} - from.x;
  const int64_t dy = int64_t{to.y} - from.y;
  const int64_t sx = dx >= 0 ? 1 : -1;
  const int64_t sy = dy >= 0 ? 1 : -1;
  int64_t e = 0;
  int64_t x = from.x;
  int64_t y = from.y;
  int64_t tx = to.x;
  while (x != tx || y != to.y) {
    const int64_t ex = e + sx * dy;
    const int64_t ey = e - sy * dx;
    const int64_t ed = e + sx * dy - sy * dx;
    if (std::abs(ex) < std::abs(ed)) {
      if (std::abs(ex) <= std::abs(ey)) {
        x += sx;
        e = ex;
      } else {
        y += sy;
        e = ey;
      }
    } else if (std::abs(ed) <= std::abs(ey)) {
      x += sx;
      y += sy;
      e = ed;
    } else {
      y += sy;
      e = ey;
    }
    if (x < 0) {
      x = mat.width - 1;
      tx += mat.width;
    } else if (x >= mat.width) {
      x = 0;
      tx -= mat.width;
    }
    if (Blocks(mat, tree, x, y)) {
      return false;
    }
  }
  return true;
}

// A node outside the mat is never in sight, not even across the seam.
std::vector<int32_t> VisibleNodes(const Mat& mat, const PathTree& tree, PathPoint point) {
  std::vector<int32_t> visible;
  for (size_t n = 0; n < tree.nodes.size(); ++n) {
    const PathNode& node = tree.nodes[n];
    if (Inside(mat, node.x, node.y) && LineOfSight(mat, tree, point, {node.x, node.y})) {
      visible.push_back(static_cast<int32_t>(n));
    }
  }
  return visible;
}

int64_t NodeDistance(const PathTree& tree, int32_t a, int32_t b) {
  return Distance({tree.nodes[a].x, tree.nodes[a].y}, {tree.nodes[b].x, tree.nodes[b].y});
}

void SearchTree(PathTree& tree, int64_t initialCost, int32_t start, int32_t end,
                std::vector<int32_t>& bestPath, int64_t& bestCost) {
  if (start == end) {
    if (bestCost == -1 || initialCost < bestCost) {
      bestCost = initialCost;
      bestPath = {start};
    }
    return;
  }
  for (PathNode& node : tree.nodes) {
    node.visited = false;
  }
  tree.nodes[start].visited = true;
  if (tree.nodes[start].links.empty()) {
    return;
  }
  struct Frame {
    int32_t node;
    size_t link;
    int64_t cost;
  };
  std::vector<Frame> stack = {{start, 0, initialCost}};
  auto linkOf = [&tree](const Frame& frame) { return tree.nodes[frame.node].links[frame.link]; };
  while (!stack.empty()) {
    const Frame top = stack.back();
    const int32_t e = linkOf(top);
    tree.nodes[e].visited = true;
    const int64_t f = NodeDistance(tree, top.node, e);
    bool pushed = false;
    if (e == end) {
      if (bestCost == -1 || top.cost + f < bestCost) {
        bestCost = top.cost + f;
        bestPath.clear();
        for (const Frame& frame : stack) {
          bestPath.push_back(frame.node);
        }
        bestPath.push_back(end);
      }
    } else {
      const std::vector<int32_t>& links = tree.nodes[e].links;
      for (size_t h = 0; h < links.size(); ++h) {
        if (!tree.nodes[links[h]].visited &&
            (bestCost == -1 || NodeDistance(tree, e, links[h]) + top.cost + f < bestCost)) {
          stack.push_back({e, h, top.cost + f});
          pushed = true;
          break;
        }
      }
    }
    if (pushed) {
      continue;
    }
    while (!stack.empty()) {
      Frame& frame = stack.back();
      tree.nodes[linkOf(frame)].visited = false;
      const std::vector<int32_t>& links = tree.nodes[frame.node].links;
      size_t next = frame.link + 1;
      while (next < links.size() && tree.nodes[links[next]].visited) {
        ++next;
      }
      if (next < links.size()) {
        frame.link = next;
        break;
      }
      stack.pop_back();
    }
  }
}

const char kWalkerBlind[] =
    "The walker is standing in a place that cannot see any nodes in the path tree.  No path "
    "exists.";
const char kTargetBlind[] =
    "The click position is in a place that cannot see any nodes in the path tree.  No path "
    "exists.";
const char kNoRoute[] =
    "No path exists between the walker and the click point.  The tree may be incomplete.";
const char kOffFloor[] =
    "The walker is not standing on the floor.  Please move the walker to the floor and try "
    "again.  X=";

void Find(const Mat& mat, PathTree& tree, PathPoint a, PathPoint t,
          std::vector<PathWaypoint>& waypoints, std::vector<std::string>& log) {
  waypoints.clear();
  if (LineOfSight(mat, tree, a, t)) {
    waypoints = {{a.x, a.y, true}, {t.x, t.y, a.x >= t.x}};
    if (tree.wrap && a.x != t.x) {
      const PathPoint image = {a.x < t.x ? t.x - mat.width : t.x + mat.width, t.y};
      if (LineOfSight(mat, tree, a, image) && Distance(a, image) < Distance(a, t)) {
        waypoints[1].leftward = !waypoints[1].leftward;
      }
    }
    return;
  }
  const std::vector<int32_t> fromWalker = VisibleNodes(mat, tree, a);
  if (fromWalker.empty()) {
    log.push_back(kWalkerBlind);
    return;
  }
  const std::vector<int32_t> fromTarget = VisibleNodes(mat, tree, t);
  if (fromTarget.empty()) {
    log.push_back(kTargetBlind);
    return;
  }
  int64_t bestCost = -1;
  std::vector<int32_t> bestPath;
  for (int32_t s : fromWalker) {
    for (int32_t u : fromTarget) {
      const int64_t cost = Distance(a, {tree.nodes[s].x, tree.nodes[s].y}) +
                           Distance(t, {tree.nodes[u].x, tree.nodes[u].y});
      if (bestCost == -1 || cost < bestCost) {
        SearchTree(tree, cost, s, u, bestPath, bestCost);
      }
    }
  }
  if (bestPath.empty()) {
    log.push_back(kNoRoute);
    return;
  }
  waypoints.push_back({a.x, a.y, true});
  for (int32_t n : bestPath) {
    waypoints.push_back({tree.nodes[n].x, tree.nodes[n].y, false});
  }
  waypoints.push_back({t.x, t.y, false});
  for (size_t k = 1; k < waypoints.size(); ++k) {
    waypoints[k].leftward = waypoints[k - 1].x >= waypoints[k].x;
  }
}

bool WalkRequest(const Mat& mat, PathTree& tree, PathWalker& walker, PathPoint target,
                 std::vector<std::string>& log) {
  walker.waypoints.clear();
  walker.current = 0;
  if (!Inside(mat, target.x, target.y)) {
    return false;
  }
  PathPoint start = walker.position;
  bool onFloor = false;
  if (Inside(mat, start.x, start.y)) {
    onFloor = ColorAt(mat, start.x, start.y) != tree.blockColor;
  } else {
    start.x = std::clamp(start.x, 0, mat.width - 1);
    start.y = std::clamp(start.y, 0, mat.height - 1);
  }
  if (!onFloor) {
    const PathPoint q = NearestFloor(mat, tree, start);
    const std::string where = kOffFloor + std::to_string(q.x) + " Y=" + std::to_string(q.y);
    if (!Inside(mat, q.x, q.y)) {
      log.push_back(where);
      return false;
    }
    if (ColorAt(mat, q.x, q.y) == tree.blockColor) {
      log.push_back(where + " Pixel=" + std::to_string(tree.blockColor));
      return false;
    }
    walker.position = q;
    start = q;
  }
  Find(mat, tree, start, NearestFloor(mat, tree, target), walker.waypoints, log);
  if (walker.waypoints.empty()) {
    return false;
  }
  walker.current = 1;
  return true;
}

}  // namespace plain

// --- Random rooms ----------------------------------------------------------------

struct Room {
  Mat floor;
  PathTree tree;
  bool linkedInSight = false;  // links only between nodes that see each other
};

class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed) {}
  int32_t Between(int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(engine_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(engine_); }
  uint32_t Bits() { return static_cast<uint32_t>(engine_()); }
  template <typename T>
  void Shuffle(std::vector<T>& items) {
    std::shuffle(items.begin(), items.end(), engine_);
  }

 private:
  std::mt19937 engine_;
};

// Three colours, sometimes with the top byte set, none equal to another.
std::vector<uint32_t> DistinctColors(Dice& dice) {
  std::vector<uint32_t> colors;
  while (colors.size() < 3) {
    const uint32_t color = dice.Chance(0.2) ? dice.Bits() : dice.Bits() & 0xffffff;
    if (std::find(colors.begin(), colors.end(), color) == colors.end()) {
      colors.push_back(color);
    }
  }
  return colors;
}

// Floor everywhere, then rectangles and ellipses of the block colour or of a
// colour that is neither; sometimes scattered block pixels, a second entry
// of the floor colour, or no floor at all.
Mat RandomFloor(Dice& dice, const std::vector<uint32_t>& colors) {
  Mat mat;
  mat.width = dice.Between(4, 80);
  mat.height = dice.Between(3, 60);
  const bool noFloor = dice.Chance(0.03);
  std::vector<uint32_t> entryColors = {noFloor ? colors[2] : colors[0], colors[1], colors[2]};
  if (dice.Chance(0.2)) {
    entryColors.push_back(colors[0]);
  }
  dice.Shuffle(entryColors);
  std::vector<uint8_t> floor, block, other;
  for (size_t i = 0; i < entryColors.size(); ++i) {
    mat.entries.push_back({"entry " + std::to_string(i), entryColors[i]});
    const uint8_t index = static_cast<uint8_t>(i);
    (entryColors[i] == colors[0]   ? floor
     : entryColors[i] == colors[1] ? block
                                   : other)
        .push_back(index);
  }
  auto pick = [&dice](const std::vector<uint8_t>& indices) {
    return indices[static_cast<size_t>(dice.Between(0, static_cast<int32_t>(indices.size()) - 1))];
  };
  const std::vector<uint8_t>& ground = floor.empty() ? other : floor;
  mat.data.resize(static_cast<size_t>(mat.width) * mat.height);
  for (uint8_t& pixel : mat.data) {
    pixel = pick(ground);
  }
  const int32_t shapes = dice.Between(0, 7);
  for (int32_t s = 0; s < shapes; ++s) {
    const uint8_t index = dice.Chance(0.7) ? pick(block) : pick(other);
    const bool ellipse = dice.Chance(0.4);
    const int32_t x0 = dice.Between(-3, mat.width - 1);
    const int32_t y0 = dice.Between(-3, mat.height - 1);
    const int32_t w = dice.Between(1, std::max(1, mat.width / 2));
    const int32_t h = dice.Between(1, std::max(1, mat.height / 2));
    for (int32_t y = std::max(0, y0); y < std::min(mat.height, y0 + h); ++y) {
      for (int32_t x = std::max(0, x0); x < std::min(mat.width, x0 + w); ++x) {
        const double ex = (x - x0 + 0.5) / w * 2 - 1;
        const double ey = (y - y0 + 0.5) / h * 2 - 1;
        if (!ellipse || ex * ex + ey * ey <= 1.0) {
          mat.data[static_cast<size_t>(y) * mat.width + x] = index;
        }
      }
    }
  }
  if (dice.Chance(0.1)) {
    for (uint8_t& pixel : mat.data) {
      if (dice.Chance(0.03)) {
        pixel = pick(block);
      }
    }
  }
  return mat;
}

PathPoint RandomInside(Dice& dice, const Mat& mat) {
  return {dice.Between(0, mat.width - 1), dice.Between(0, mat.height - 1)};
}

PathPoint RandomOutside(Dice& dice, const Mat& mat) {
  while (true) {
    const PathPoint p = {dice.Between(-mat.width, 2 * mat.width - 1),
                         dice.Between(-mat.height, 2 * mat.height - 1)};
    if (!plain::Inside(mat, p.x, p.y)) {
      return p;
    }
  }
}

// Mostly a floor pixel; sometimes any pixel, sometimes one outside the mat.
PathPoint RandomPlace(Dice& dice, const Room& room, double inside, double outside) {
  if (dice.Chance(outside)) {
    return RandomOutside(dice, room.floor);
  }
  if (dice.Chance(inside)) {
    return RandomInside(dice, room.floor);
  }
  for (int tries = 0; tries < 40; ++tries) {
    const PathPoint p = RandomInside(dice, room.floor);
    if (plain::IsFloor(room.floor, room.tree, p.x, p.y)) {
      return p;
    }
  }
  return RandomInside(dice, room.floor);
}

void Link(Dice& dice, PathTree& tree, int32_t a, int32_t b) {
  tree.nodes[a].links.push_back(b);
  if (dice.Chance(0.9)) {
    tree.nodes[b].links.push_back(a);
  }
}

// Either linked where the nodes see each other, as a tool would link them, or
// linked at random; then a few links to the node itself or written twice, and
// each node's links in random order.
void RandomLinks(Dice& dice, Room& room) {
  PathTree& tree = room.tree;
  const int32_t count = static_cast<int32_t>(tree.nodes.size());
  if (count == 0) {
    return;
  }
  room.linkedInSight = dice.Chance(0.5);
  if (room.linkedInSight) {
    for (int32_t a = 0; a < count; ++a) {
      for (int32_t b = a + 1; b < count; ++b) {
        const PathPoint pa = {tree.nodes[a].x, tree.nodes[a].y};
        const PathPoint pb = {tree.nodes[b].x, tree.nodes[b].y};
        if (plain::LineOfSight(room.floor, tree, pa, pb) && dice.Chance(0.85)) {
          Link(dice, tree, a, b);
        }
      }
    }
  } else {
    const int32_t links = dice.Between(0, 2 * count);
    for (int32_t l = 0; l < links; ++l) {
      Link(dice, tree, dice.Between(0, count - 1), dice.Between(0, count - 1));
    }
  }
  if (dice.Chance(0.1)) {
    const int32_t n = dice.Between(0, count - 1);
    tree.nodes[n].links.insert(tree.nodes[n].links.begin(), n);
  }
  for (PathNode& node : tree.nodes) {
    if (!node.links.empty() && dice.Chance(0.05)) {
      node.links.push_back(node.links.front());
    }
    dice.Shuffle(node.links);
  }
}

Room RandomRoom(uint32_t seed) {
  Dice dice(seed);
  Room room;
  const std::vector<uint32_t> colors = DistinctColors(dice);
  room.floor = RandomFloor(dice, colors);
  room.tree.floorColor = static_cast<int32_t>(colors[0]);
  room.tree.blockColor = static_cast<int32_t>(colors[1]);
  room.tree.wrap = dice.Chance(0.5);
  const int32_t nodes = dice.Between(0, 11);
  for (int32_t n = 0; n < nodes; ++n) {
    const PathPoint p = RandomPlace(dice, room, 0.15, 0.1);
    room.tree.nodes.push_back({p.x, p.y, {}, false});
  }
  RandomLinks(dice, room);
  return room;
}

// The room as text for a failure message: '.' floor, '#' block, '~' other,
// node numbers (in base 36) where nodes stand, then the nodes and links.
std::string Describe(const Room& room) {
  const Mat& mat = room.floor;
  const PathTree& tree = room.tree;
  std::ostringstream out;
  out << mat.width << " x " << mat.height << (tree.wrap ? ", wrapping" : "") << "\n";
  std::vector<std::string> rows(static_cast<size_t>(mat.height), std::string(mat.width, '~'));
  for (int32_t y = 0; y < mat.height; ++y) {
    for (int32_t x = 0; x < mat.width; ++x) {
      if (plain::IsFloor(mat, tree, x, y)) {
        rows[y][x] = '.';
      } else if (plain::Blocks(mat, tree, x, y)) {
        rows[y][x] = '#';
      }
    }
  }
  const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (size_t n = 0; n < tree.nodes.size(); ++n) {
    const PathNode& node = tree.nodes[n];
    if (plain::Inside(mat, node.x, node.y)) {
      rows[node.y][node.x] = digits[n % 36];
    }
  }
  for (const std::string& row : rows) {
    out << row << "\n";
  }
  for (size_t n = 0; n < tree.nodes.size(); ++n) {
    out << "node " << n << " (" << tree.nodes[n].x << ", " << tree.nodes[n].y << ") ->";
    for (int32_t link : tree.nodes[n].links) {
      out << " " << link;
    }
    out << "\n";
  }
  return out.str();
}

std::string Text(PathPoint p) {
  return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

std::string Text(const std::vector<PathWaypoint>& waypoints) {
  std::string text;
  for (const PathWaypoint& w : waypoints) {
    text +=
        " (" + std::to_string(w.x) + ", " + std::to_string(w.y) + (w.leftward ? ", left)" : ")");
  }
  return text.empty() ? " none" : text;
}

std::string Text(const std::vector<int32_t>& values) {
  std::string text;
  for (int32_t value : values) {
    text += " " + std::to_string(value);
  }
  return text.empty() ? " none" : text;
}

std::string Text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += "\n    \"" + line + "\"";
  }
  return text.empty() ? " none" : text;
}

// The cheapest route from a through the tree to t by Dijkstra's rule over the
// same rounded lengths: into any node a sees, along links, out of any node t
// sees. -1 when there is none.
int64_t CheapestTreeRoute(const Room& room, PathPoint a, PathPoint t) {
  const PathTree& tree = room.tree;
  const size_t count = tree.nodes.size();
  std::vector<int64_t> cost(count, -1);
  using Entry = std::pair<int64_t, int32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
  for (int32_t s : plain::VisibleNodes(room.floor, tree, a)) {
    open.push({plain::Distance(a, {tree.nodes[s].x, tree.nodes[s].y}), s});
  }
  while (!open.empty()) {
    const auto [c, n] = open.top();
    open.pop();
    if (cost[n] != -1) {
      continue;
    }
    cost[n] = c;
    for (int32_t link : tree.nodes[n].links) {
      if (cost[link] == -1) {
        open.push({c + plain::NodeDistance(tree, n, link), link});
      }
    }
  }
  int64_t best = -1;
  for (int32_t u : plain::VisibleNodes(room.floor, tree, t)) {
    if (cost[u] != -1) {
      const int64_t c = cost[u] + plain::Distance(t, {tree.nodes[u].x, tree.nodes[u].y});
      best = best == -1 ? c : std::min(best, c);
    }
  }
  return best;
}

// The error lines logged since the last call, without their "Error: ".
std::vector<std::string> TakeErrors(const TempFolder& folder) {
  std::vector<std::string> errors;
  if (!folder.exists("results.log")) {
    return errors;
  }
  for (const std::string& line : SplitLines(folder.read("results.log"))) {
    if (line.starts_with("Error: ")) {
      errors.push_back(line.substr(7));
    }
  }
  WriteWholeFile(folder.path() + "results.log", "");
  return errors;
}

// A program in a temporary folder keeping its log there, so that the lines
// each call logs can be read back and compared.
class PathReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    modules_ = std::make_unique<ContentModules>(folder_.path(), ContentModules::kWithoutMats);
  }
  void TearDown() override { modules_.reset(); }

  TempFolder folder_;
  std::unique_ptr<ContentModules> modules_;
};

// Collects the differences found in one room.
class Findings {
 public:
  template <typename T>
  Findings& operator<<(const T& value) {
    text_ << value;
    return *this;
  }
  bool Empty() const { return text_.str().empty(); }
  std::string Str() const { return text_.str(); }

 private:
  std::ostringstream text_;
};

// A point for a query: a node's place, a place in or around the room, or
// the image of one across the seam.
PathPoint QueryPoint(Dice& dice, const Room& room) {
  const PathTree& tree = room.tree;
  if (!tree.nodes.empty() && dice.Chance(0.3)) {
    const PathNode& node = tree.nodes[dice.Between(0, static_cast<int32_t>(tree.nodes.size()) - 1)];
    return {node.x, node.y};
  }
  PathPoint p = RandomPlace(dice, room, 0.3, 0.1);
  if (dice.Chance(0.1)) {
    p.x += dice.Chance(0.5) ? room.floor.width : -room.floor.width;
  }
  return p;
}

void CompareGeometry(Dice& dice, const Room& room, Findings& findings) {
  const Mat& mat = room.floor;
  const PathTree& tree = room.tree;
  for (int i = 0; i < 6; ++i) {
    const PathPoint p = RandomPlace(dice, room, 0.6, 0.1);
    const PathPoint ours = PathFindNearestFloor(mat, tree, p);
    const PathPoint plain = plain::NearestFloor(mat, tree, p);
    if (!(ours == plain)) {
      findings << "nearest floor to " << Text(p) << ": " << Text(ours) << ", plainly "
               << Text(plain) << "\n";
    }
  }
  for (int i = 0; i < 16; ++i) {
    const PathPoint from = QueryPoint(dice, room);
    const PathPoint to = QueryPoint(dice, room);
    const bool ours = PathLineOfSight(mat, tree, from, to);
    if (ours != plain::LineOfSight(mat, tree, from, to)) {
      findings << "sight from " << Text(from) << " to " << Text(to) << ": " << ours << "\n";
    }
  }
  for (int i = 0; i < 4; ++i) {
    const PathPoint p = QueryPoint(dice, room);
    const std::vector<int32_t> ours = PathVisibleNodes(mat, tree, p);
    const std::vector<int32_t> plain = plain::VisibleNodes(mat, tree, p);
    if (ours != plain) {
      findings << "nodes seen from " << Text(p) << ":" << Text(ours) << ", plainly" << Text(plain)
               << "\n";
    }
  }
}

// Searches from random nodes with and without a best route found before.
void CompareSearches(Dice& dice, const Room& room, Findings& findings) {
  const int32_t count = static_cast<int32_t>(room.tree.nodes.size());
  if (count == 0) {
    return;
  }
  for (int i = 0; i < 6; ++i) {
    const int32_t start = dice.Between(0, count - 1);
    const int32_t end = dice.Between(0, count - 1);
    const int32_t initial = dice.Between(0, 200);
    const bool earlier = dice.Chance(0.3);
    std::vector<int32_t> oursPath, plainPath;
    int32_t oursCost = -1;
    int64_t plainCost = -1;
    if (earlier) {
      oursPath = plainPath = {dice.Between(0, count - 1)};
      oursCost = dice.Between(0, 400);
      plainCost = oursCost;
    }
    PathTree oursTree = room.tree;
    PathTree plainTree = room.tree;
    PathSearchTree(oursTree, initial, start, end, oursPath, oursCost);
    plain::SearchTree(plainTree, initial, start, end, plainPath, plainCost);
    if (oursPath != plainPath || oursCost != plainCost) {
      findings << "search " << start << " -> " << end << " from cost " << initial
               << (earlier ? " with a route before" : "") << ":" << Text(oursPath) << " cost "
               << oursCost << ", plainly" << Text(plainPath) << " cost " << plainCost << "\n";
    }
  }
}

void CompareRoutes(Dice& dice, Room& room, Findings& findings, const TempFolder& log) {
  for (int i = 0; i < 6; ++i) {
    const PathPoint a = RandomPlace(dice, room, 0.3, 0.05);
    const PathPoint t = RandomPlace(dice, room, 0.3, 0.05);
    std::vector<PathWaypoint> ours, plain;
    std::vector<std::string> plainLog;
    PathFind(room.floor, room.tree, a, t, ours);
    const std::vector<std::string> oursLog = TakeErrors(log);
    PathTree plainTree = room.tree;
    plain::Find(room.floor, plainTree, a, t, plain, plainLog);
    if (ours != plain || oursLog != plainLog) {
      findings << "route " << Text(a) << " -> " << Text(t) << ":" << Text(ours) << Text(oursLog)
               << "\n  plainly" << Text(plain) << Text(plainLog) << "\n";
    }
  }
}

bool HasFloor(const Room& room) {
  for (int32_t y = 0; y < room.floor.height; ++y) {
    for (int32_t x = 0; x < room.floor.width; ++x) {
      if (plain::IsFloor(room.floor, room.tree, x, y)) {
        return true;
      }
    }
  }
  return false;
}

// What every walk must be, whatever the rules: it starts where the walker
// now stands, not on the block colour, and ends on the floor; it is as short
// as the shortest route through the tree when it goes through it; and each
// segment is in sight the way the search looked along it. Lines are not
// symmetric, so the walker looks at its first node, the target at the last
// one, and two linked nodes at each other in either direction (in trees
// linked by sight; random links need not be in sight). A straight walk looks
// from walker to target, round the seam when its flag says so.
void CheckWalk(const Room& room, const PathWalker& walker, bool hasFloor, Findings& findings) {
  const Mat& mat = room.floor;
  const PathTree& tree = room.tree;
  const std::vector<PathWaypoint>& w = walker.waypoints;
  std::vector<PathPoint> points;
  int64_t length = 0;
  for (size_t k = 0; k < w.size(); ++k) {
    points.push_back({w[k].x, w[k].y});
    length += k == 0 ? 0 : PathDistance(points[k - 1], points[k]);
  }
  const PathPoint start = points.front();
  const PathPoint end = points.back();
  if (!(start == walker.position) || plain::Blocks(mat, tree, start.x, start.y)) {
    findings << "walk starting at " << Text(start) << " for a walker at " << Text(walker.position)
             << "\n";
  }
  if (hasFloor && !plain::IsFloor(mat, tree, end.x, end.y)) {
    findings << "walk ending off the floor at " << Text(end) << "\n";
  }
  for (size_t k = 1; k < w.size(); ++k) {
    if (w[k].leftward != (points[k - 1].x >= points[k].x) && w.size() != 2) {
      findings << "waypoint " << k << " flagged against its direction\n";
    }
  }
  auto sight = [&](PathPoint from, PathPoint to) {
    if (!PathLineOfSight(mat, tree, from, to)) {
      findings << "no sight from " << Text(from) << " to " << Text(to) << "\n";
    }
  };
  if (w.size() == 2) {
    sight(start, end);
    if (w[1].leftward != (start.x >= end.x)) {
      const PathPoint image = {end.x + (w[1].leftward ? -mat.width : mat.width), end.y};
      sight(start, image);
      if (!tree.wrap || PathDistance(start, image) >= PathDistance(start, end)) {
        findings << "walk flagged the long way round\n";
      }
    }
    return;
  }
  sight(start, points[1]);
  sight(end, points[points.size() - 2]);
  for (size_t k = 2; k + 1 < points.size() && room.linkedInSight; ++k) {
    if (!PathLineOfSight(mat, tree, points[k - 1], points[k]) &&
        !PathLineOfSight(mat, tree, points[k], points[k - 1])) {
      findings << "linked nodes " << Text(points[k - 1]) << " and " << Text(points[k])
               << " out of sight\n";
    }
  }
  if (length != CheapestTreeRoute(room, start, end)) {
    findings << "walk of length " << length << " through the tree, the shortest is "
             << CheapestTreeRoute(room, start, end) << "\n";
  }
}

void CompareWalks(Dice& dice, Room& room, Findings& findings, const TempFolder& log) {
  const bool hasFloor = HasFloor(room);
  for (int i = 0; i < 8; ++i) {
    PathWalker ours;
    ours.position = RandomPlace(dice, room, 0.3, 0.15);
    ours.waypoints = {{1, 2, false}};
    ours.current = 5;
    PathWalker plain = ours;
    const PathPoint from = ours.position;
    const PathPoint target =
        dice.Chance(0.9) ? RandomInside(dice, room.floor) : RandomOutside(dice, room.floor);
    std::vector<std::string> plainLog;
    const bool oursWalks = PathWalkRequest(room.floor, room.tree, ours, target);
    const std::vector<std::string> oursLog = TakeErrors(log);
    PathTree plainTree = room.tree;
    const bool plainWalks = plain::WalkRequest(room.floor, plainTree, plain, target, plainLog);
    if (oursWalks != plainWalks || !(ours.position == plain.position) ||
        ours.waypoints != plain.waypoints || ours.current != plain.current || oursLog != plainLog) {
      findings << "walk from " << Text(from) << " to " << Text(target) << ": " << oursWalks
               << " at " << Text(ours.position) << ", current " << ours.current
               << Text(ours.waypoints) << Text(oursLog) << "\n  plainly " << plainWalks << " at "
               << Text(plain.position) << ", current " << plain.current << Text(plain.waypoints)
               << Text(plainLog) << "\n";
    }
    if (oursWalks) {
      CheckWalk(room, ours, hasFloor, findings);
    } else if (plainLog.size() == 1 && plainLog[0] == plain::kNoRoute &&
               CheapestTreeRoute(room, plain.position,
                                 PathFindNearestFloor(room.floor, room.tree, target)) != -1) {
      findings << "no route found where the tree has one\n";
    }
  }
}

constexpr uint32_t kFirstSeed = 1208;
constexpr int kRooms = 3000;

TEST_F(PathReferenceTest, RoutesMatchThePlainRulesInRandomRooms) {
  int failed = 0;
  for (int r = 0; r < kRooms && failed < 3; ++r) {
    const uint32_t seed = kFirstSeed + static_cast<uint32_t>(r);
    Room room = RandomRoom(seed);
    Dice dice(seed ^ 0x5bd1e995u);
    Findings findings;
    CompareGeometry(dice, room, findings);
    CompareSearches(dice, room, findings);
    CompareRoutes(dice, room, findings, folder_);
    CompareWalks(dice, room, findings, folder_);
    if (!findings.Empty()) {
      ++failed;
      ADD_FAILURE() << "room seed " << seed << " (RandomRoom(" << seed << ")): " << Describe(room)
                    << findings.Str();
    }
  }
}

// Nodes far outside the mat, at the ends of the 32-bit range and just past
// its edges, linked to everything: they are never in sight, routes go round
// them, and searching through them neither overflows nor goes negative.
TEST_F(PathReferenceTest, NodesFarOutsideTheMatAreNeverSeenAndCostsStayInRange) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  Room room;
  room.floor.width = 40;
  room.floor.height = 30;
  room.floor.entries = {{"floor", 7}, {"wall", 9}};
  room.floor.data.assign(40 * 30, 0);
  for (int32_t y = 0; y < 25; ++y) {
    room.floor.data[static_cast<size_t>(y) * 40 + 20] = 1;  // a wall with a gap below
  }
  room.tree.floorColor = 7;
  room.tree.blockColor = 9;
  const std::vector<PathPoint> places = {{kMax, 27}, {kMin, 27}, {15, kMax}, {kMax, kMin},
                                         {45, 27},   {-3, 5},    {15, 27},   {25, 27}};
  for (const PathPoint p : places) {
    room.tree.nodes.push_back({p.x, p.y, {}, false});
  }
  for (int32_t a = 0; a < 8; ++a) {
    for (int32_t b = 0; b < 8; ++b) {
      if (a != b) {
        room.tree.nodes[a].links.push_back(b);
      }
    }
  }
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      for (int32_t n : PathVisibleNodes(room.floor, room.tree, {x, y})) {
        ASSERT_GE(n, 6) << "node " << n << " seen from " << Text(PathPoint{x, y});
      }
    }
  }
  std::vector<PathWaypoint> route;
  PathFind(room.floor, room.tree, {5, 5}, {35, 5}, route);
  EXPECT_EQ(Text(route), " (5, 5, left) (15, 27) (25, 27) (35, 5)");
  for (int32_t end = 0; end < 6; ++end) {
    std::vector<int32_t> path;
    int32_t cost = -1;
    PathSearchTree(room.tree, 3, 6, end, path, cost);
    ASSERT_GE(path.size(), 2u) << "to node " << end;
    EXPECT_EQ(path.front(), 6);
    EXPECT_EQ(path.back(), end);
    EXPECT_GT(cost, 3) << "to node " << end;
  }
  for (const PathPoint far : {PathPoint{kMin, kMax}, PathPoint{kMax, kMin}}) {
    PathWalker walker;
    walker.position = far;
    EXPECT_TRUE(PathWalkRequest(room.floor, room.tree, walker, {35, 5}));
    EXPECT_EQ(Text(walker.position), Text(PathPoint{far.x < 0 ? 0 : 39, far.y < 0 ? 0 : 29}));
  }
  EXPECT_TRUE(TakeErrors(folder_).empty());
}

}  // namespace
