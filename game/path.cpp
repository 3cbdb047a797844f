// Walk paths: reading and writing path trees, the floor mat's colours, lines
// of sight and the route search.
#include "game/path.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <queue>
#include <utility>

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
// error (diagonal before x on a tie, either before y). Calls visit(x, y) for
// every pixel, the start first and the end last, and stops when it returns
// false; true when the end was visited.
//
// With the error e taken in the line's own quadrant (adx, ady >= 0), the
// three moves leave e + ady, e - adx and e + ady - adx, and since |a| < |b|
// exactly when (a - b)(a + b) < 0, comparing their magnitudes comes down to
// comparing 2e with fixed thresholds: x when 2e < adx - 2 ady (then x also
// beats y, whose threshold adx - ady is higher), else diagonal when
// 2e <= 2 adx - ady or ady = 0, else y. 64-bit arithmetic: |e| stays below
// adx + ady, which 32-bit coordinates cannot overflow.
template <typename Visit>
bool StepLine(PathPoint from, PathPoint to, Visit&& visit) {
  const int64_t adx = std::llabs(int64_t{to.x} - from.x);
  const int64_t ady = std::llabs(int64_t{to.y} - from.y);
  const int64_t sx = to.x >= from.x ? 1 : -1;
  const int64_t sy = to.y >= from.y ? 1 : -1;
  const int64_t xStep = adx - 2 * ady;
  const int64_t diagonalStep = ady == 0 ? std::numeric_limits<int64_t>::max() : 2 * adx - ady;
  int64_t x = from.x;
  int64_t y = from.y;
  int64_t twiceError = 0;
  if (!visit(x, y)) {
    return false;
  }
  while (x != to.x || y != to.y) {
    if (twiceError < xStep) {
      x += sx;
      twiceError += 2 * ady;
    } else if (twiceError <= diagonalStep) {
      x += sx;
      y += sy;
      twiceError += 2 * (ady - adx);
    } else {
      y += sy;
      twiceError -= 2 * adx;
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

// --- Nearest floor -------------------------------------------------------------------

// The breadth-first search's marks and queue, kept between calls: a pixel is
// marked when its stamp equals the call's generation, so no call clears the
// whole mat.
struct FloorSearchScratch {
  std::vector<uint32_t> stamps;
  uint32_t generation = 0;
  std::vector<PathPoint> queue;

  // Starts a search over `pixels` pixels and returns its generation.
  uint32_t Begin(size_t pixels) {
    if (stamps.size() != pixels || ++generation == 0) {
      stamps.assign(pixels, 0);
      generation = 1;
    }
    queue.clear();
    return generation;
  }
};

PathPoint NearestFloor(const FloorView& view, bool wrap, PathPoint point) {
  if (!view.Inside(point.x, point.y) || view.floor[view.At(point.x, point.y)]) {
    return point;
  }
  thread_local FloorSearchScratch scratch;
  const uint32_t generation = scratch.Begin(static_cast<size_t>(view.width * view.height));
  const auto width = static_cast<int32_t>(view.width);
  const auto height = static_cast<int32_t>(view.height);
  const auto enqueue = [&](int32_t x, int32_t y) {
    uint32_t& stamp = scratch.stamps[static_cast<size_t>(y) * width + x];
    if (stamp != generation) {
      stamp = generation;
      scratch.queue.push_back({x, y});
    }
  };
  enqueue(point.x, point.y);
  for (size_t head = 0; head < scratch.queue.size(); ++head) {
    const PathPoint p = scratch.queue[head];
    if (view.floor[view.At(p.x, p.y)]) {
      return p;
    }
    if (p.y < height - 1) {
      enqueue(p.x, p.y + 1);
    }
    if (p.x < width - 1) {
      enqueue(p.x + 1, p.y);
    } else if (wrap) {
      enqueue(0, p.y);
    }
    if (p.y > 0) {
      enqueue(p.x, p.y - 1);
    }
    if (p.x > 0) {
      enqueue(p.x - 1, p.y);
    } else if (wrap) {
      enqueue(width - 1, p.y);
    }
  }
  return point;
}

// Whether each node is in sight of a point, worked out when first asked, so
// that the route search looks only at nodes that could still improve its
// route. A node outside the mat is never in sight.
class NodeSight {
 public:
  NodeSight(const FloorView& view, const PathTree& tree, PathPoint point)
      : view_(view), tree_(tree), point_(point) {
    known_.resize(tree.nodes.size(), kUnknown);
  }

  bool Sees(int32_t node) {
    if (known_[node] == kUnknown) {
      const PathPoint at{tree_.nodes[node].x, tree_.nodes[node].y};
      known_[node] = view_.Inside(at.x, at.y) && Sight(view_, point_, at) ? kSeen : kHidden;
    }
    return known_[node] == kSeen;
  }
  bool SeesAny() {
    for (size_t node = 0; node < known_.size(); ++node) {
      if (Sees(static_cast<int32_t>(node))) {
        return true;
      }
    }
    return false;
  }

 private:
  enum Known : uint8_t { kUnknown, kSeen, kHidden };
  const FloorView& view_;
  const PathTree& tree_;
  PathPoint point_;
  std::vector<Known> known_;
};

// --- Tree search ---------------------------------------------------------------------

constexpr int64_t kUnreachable = std::numeric_limits<int64_t>::max();

// The tree's links as flat arrays with their rounded lengths, in file order
// so that link positions stay those of the tree; a link to no node is kept
// as -1 and never followed. The incoming links serve the distance bound.
struct LinkGraph {
  std::vector<int32_t> first{0};  // per node its first link, then one past the last link
  std::vector<int32_t> target;
  std::vector<int64_t> length;
  std::vector<int32_t> intoFirst;  // the same for incoming links
  std::vector<int32_t> intoSource;
  std::vector<int64_t> intoLength;

  LinkGraph() = default;
  explicit LinkGraph(const PathTree& tree) {
    const auto count = static_cast<int32_t>(tree.nodes.size());
    std::vector<int32_t> incoming(count + 1, 0);
    for (const PathNode& node : tree.nodes) {
      for (int32_t link : node.links) {
        const bool valid = link >= 0 && link < count;
        target.push_back(valid ? link : -1);
        length.push_back(
            valid ? PathDistance({node.x, node.y}, {tree.nodes[link].x, tree.nodes[link].y}) : 0);
        if (valid) {
          ++incoming[link + 1];
        }
      }
      first.push_back(static_cast<int32_t>(target.size()));
    }
    for (int32_t n = 0; n < count; ++n) {
      incoming[n + 1] += incoming[n];
    }
    intoFirst = incoming;
    intoSource.resize(incoming[count]);
    intoLength.resize(incoming[count]);
    for (int32_t n = 0; n < count; ++n) {
      for (int32_t k = first[n]; k < first[n + 1]; ++k) {
        if (target[k] >= 0) {
          const int32_t slot = incoming[target[k]]++;
          intoSource[slot] = n;
          intoLength[slot] = length[k];
        }
      }
    }
  }
};

// The cheapest cost from every node along links to a node where `cost`
// starts finite (what is left from there; kUnreachable elsewhere), summing
// the same rounded lengths as the search.
std::vector<int64_t> CostsToEnds(const LinkGraph& graph, std::vector<int64_t> cost) {
  using Entry = std::pair<int64_t, int32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  for (int32_t node = 0; node < static_cast<int32_t>(cost.size()); ++node) {
    if (cost[node] != kUnreachable) {
      queue.push({cost[node], node});
    }
  }
  while (!queue.empty()) {
    const auto [c, node] = queue.top();
    queue.pop();
    if (c != cost[node]) {
      continue;
    }
    for (int32_t k = graph.intoFirst[node]; k < graph.intoFirst[node + 1]; ++k) {
      const int32_t source = graph.intoSource[k];
      if (c + graph.intoLength[k] < cost[source]) {
        cost[source] = c + graph.intoLength[k];
        queue.push({cost[source], source});
      }
    }
  }
  return cost;
}

// The cheapest cost along links from every node to `end`. No route from a
// node costs less, so the search may drop a branch whose cost plus this bound
// cannot beat the best route: such a branch holds no route the search would
// accept, and the routes it does accept come in the same order, so the
// result is the same.
std::vector<int64_t> CostsTo(const LinkGraph& graph, int32_t end) {
  std::vector<int64_t> cost(graph.first.size() - 1, kUnreachable);
  cost[end] = 0;
  return CostsToEnds(graph, std::move(cost));
}

// A tree's link graph and the cheapest costs between its nodes, kept from
// one search to the next while the tree's nodes and links stay the same. The
// tree is compared in full on every use, so a changed tree is never answered
// from an older one.
class TreeCosts {
 public:
  // The graph and costs of `tree`, worked out again when it has changed.
  static TreeCosts& Of(const PathTree& tree) {
    thread_local TreeCosts costs;
    if (!costs.Matches(tree)) {
      costs.nodes_.assign(tree.nodes.begin(), tree.nodes.end());
      costs.graph_ = LinkGraph(tree);
      costs.to_.assign(tree.nodes.size(), {});
      costs.cached_ = 0;
    }
    return costs;
  }
  const LinkGraph& graph() const { return graph_; }
  // The cheapest cost along links from every node to `end`, valid until the
  // next call. A bounded number of costs is kept: those of a huge tree are
  // worked out again when needed rather than filling the memory.
  const std::vector<int64_t>& To(int32_t end) {
    if (to_[end].empty()) {
      if (cached_ + nodes_.size() > kCachedCosts) {
        for (std::vector<int64_t>& costs : to_) {
          std::vector<int64_t>().swap(costs);
        }
        cached_ = 0;
      }
      to_[end] = CostsTo(graph_, end);
      cached_ += nodes_.size();
    }
    return to_[end];
  }

 private:
  bool Matches(const PathTree& tree) const {
    return std::equal(nodes_.begin(), nodes_.end(), tree.nodes.begin(), tree.nodes.end(),
                      [](const PathNode& a, const PathNode& b) {
                        return a.x == b.x && a.y == b.y && a.links == b.links;
                      });
  }

  std::vector<PathNode> nodes_;
  LinkGraph graph_;
  std::vector<std::vector<int64_t>> to_;
  size_t cached_ = 0;  // the number of costs in to_
  static constexpr size_t kCachedCosts = size_t{1} << 20;
};

// Whether a route through `node`, reached at `cost`, might beat the best
// route (bestCost < 0: none yet), given the cheapest costs to the end.
bool CanBeat(const std::vector<int64_t>& costsToEnd, int32_t node, int64_t cost, int64_t bestCost) {
  return costsToEnd[node] != kUnreachable && (bestCost < 0 || cost + costsToEnd[node] < bestCost);
}

// The depth-first search with branch-and-bound over the tree's visited
// flags. A frame stands at a node with the link it follows and the cost to
// reach the node. Costs are 64-bit; bestCost < 0 means no route yet.
class TreeSearch {
 public:
  TreeSearch(PathTree& tree, const LinkGraph& graph, const std::vector<int64_t>& costsToEnd,
             int32_t end, std::vector<int32_t>& bestPath, int64_t& bestCost)
      : tree_(tree),
        graph_(graph),
        costsToEnd_(costsToEnd),
        end_(end),
        bestPath_(bestPath),
        bestCost_(bestCost) {}

  void Run(int64_t initialCost, int32_t start) {
    for (PathNode& node : tree_.nodes) {
      node.visited = false;
    }
    tree_.nodes[start].visited = true;
    // The start's first link is followed whatever it leads to.
    int32_t link = graph_.first[start];
    while (link < graph_.first[start + 1] && graph_.target[link] < 0) {
      ++link;
    }
    if (link == graph_.first[start + 1]) {
      return;
    }
    stack_.push_back({start, link, initialCost});
    while (!stack_.empty()) {
      const Frame top = stack_.back();
      const int32_t node = graph_.target[top.link];
      tree_.nodes[node].visited = true;
      const int64_t cost = top.cost + graph_.length[top.link];
      if (node == end_) {
        Accept(cost);
      } else if (const int32_t child = NextLink(node, graph_.first[node], cost); child >= 0) {
        stack_.push_back({node, child, cost});
        continue;
      }
      Backtrack();
    }
  }

 private:
  struct Frame {
    int32_t node;
    int32_t link;
    int64_t cost;
  };

  void Accept(int64_t cost) {
    if (bestCost_ < 0 || cost < bestCost_) {
      bestCost_ = cost;
      bestPath_.clear();
      for (const Frame& frame : stack_) {
        bestPath_.push_back(frame.node);
      }
      bestPath_.push_back(end_);
    }
  }

  // The first link of `node` from position `link` on that leads to an
  // unvisited node from which a route might still beat the best one; -1 if
  // none. `cost` is the cost to reach `node`.
  int32_t NextLink(int32_t node, int32_t link, int64_t cost) const {
    for (; link < graph_.first[node + 1]; ++link) {
      const int32_t next = graph_.target[link];
      if (next >= 0 && !tree_.nodes[next].visited &&
          CanBeat(costsToEnd_, next, cost + graph_.length[link], bestCost_)) {
        return link;
      }
    }
    return -1;
  }

  // Leaves the node the top frame's link led to and moves the frame on to
  // its next link, dropping frames that have none left.
  void Backtrack() {
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      tree_.nodes[graph_.target[top.link]].visited = false;
      const int32_t next = NextLink(top.node, top.link + 1, top.cost);
      if (next >= 0) {
        top.link = next;
        return;
      }
      stack_.pop_back();
    }
  }

  PathTree& tree_;
  const LinkGraph& graph_;
  const std::vector<int64_t>& costsToEnd_;
  int32_t end_;
  std::vector<int32_t>& bestPath_;
  int64_t& bestCost_;
  std::vector<Frame> stack_;
};

// Runs one search from `start` to `end` unless even the cheapest route
// between them cannot beat the best one.
void SearchTree(PathTree& tree, const LinkGraph& graph, const std::vector<int64_t>& costsToEnd,
                int64_t initialCost, int32_t start, int32_t end, std::vector<int32_t>& bestPath,
                int64_t& bestCost) {
  if (start == end) {
    if (bestCost < 0 || initialCost < bestCost) {
      bestCost = initialCost;
      bestPath = {start};
    }
    return;
  }
  if (CanBeat(costsToEnd, start, initialCost, bestCost)) {
    TreeSearch(tree, graph, costsToEnd, end, bestPath, bestCost).Run(initialCost, start);
  }
}

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, kInt32Max));
}

// The cost of the cheapest route from A to T through the tree, -1 when there
// is none: an A* search from A over the ways into the tree (to nodes in sight
// of A), its links and the ways out (from nodes in sight of T), guided by the
// cost left from each node to T when sight from T is not asked. Sight is
// tested only when a way in or out comes up as the most promising step, so
// only nodes on routes cheaper than the answer are ever tested.
int64_t CheapestRoute(const LinkGraph& graph, const PathTree& tree, PathPoint a,
                      const std::vector<int64_t>& fromT, NodeSight& fromA, NodeSight& toT) {
  const std::vector<int64_t> left = CostsToEnds(graph, fromT);
  enum class Step : uint8_t { kIn, kLink, kOut };
  struct Candidate {
    int64_t estimate;  // the cost so far plus what is left at least
    int64_t cost;
    int32_t node;
    Step step;
    bool operator>(const Candidate& other) const { return estimate > other.estimate; }
  };
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> queue;
  const auto count = static_cast<int32_t>(tree.nodes.size());
  const auto offer = [&](int64_t cost, int32_t node, Step step) {
    if (left[node] != kUnreachable) {
      queue.push({cost + (step == Step::kOut ? fromT[node] : left[node]), cost, node, step});
    }
  };
  for (int32_t n = 0; n < count; ++n) {
    offer(PathDistance(a, {tree.nodes[n].x, tree.nodes[n].y}), n, Step::kIn);
  }
  std::vector<bool> reached(count, false);
  while (!queue.empty()) {
    const Candidate next = queue.top();
    queue.pop();
    if (next.step == Step::kOut) {
      if (toT.Sees(next.node)) {
        return next.estimate;
      }
      continue;
    }
    if (reached[next.node] || (next.step == Step::kIn && !fromA.Sees(next.node))) {
      continue;
    }
    reached[next.node] = true;
    offer(next.cost, next.node, Step::kOut);
    for (int32_t k = graph.first[next.node]; k < graph.first[next.node + 1]; ++k) {
      if (graph.target[k] >= 0 && !reached[graph.target[k]]) {
        offer(next.cost + graph.length[k], graph.target[k], Step::kLink);
      }
    }
  }
  return -1;
}

// The best route from A to T through the tree: entered at a node in sight
// of A, left at a node in sight of T, trying the pairs of such nodes in node
// order and keeping the first of the cheapest routes. Empty when there is
// none.
//
// Knowing the cheapest cost C first changes nothing in the result, which is
// the first route of cost C in the search's order, and saves most of the
// work: the first pair in order that can give a route of cost C gives it,
// searched from a best cost of C + 1, which prunes everything dearer at once.
// Only pairs that can give such a route have their sight tested.
std::vector<int32_t> TreeRoute(PathTree& tree, PathPoint a, PathPoint t, NodeSight& fromA,
                               NodeSight& toT) {
  TreeCosts& costs = TreeCosts::Of(tree);
  const auto count = static_cast<int32_t>(tree.nodes.size());
  std::vector<int64_t> fromT(count);
  for (int32_t n = 0; n < count; ++n) {
    fromT[n] = PathDistance(t, {tree.nodes[n].x, tree.nodes[n].y});
  }
  std::vector<int32_t> bestPath;
  const int64_t cheapest = CheapestRoute(costs.graph(), tree, a, fromT, fromA, toT);
  if (cheapest < 0) {
    return bestPath;
  }
  int64_t bestCost = cheapest + 1;
  for (int32_t enter = 0; enter < count; ++enter) {
    const int64_t toEnter = PathDistance(a, {tree.nodes[enter].x, tree.nodes[enter].y});
    if (toEnter >= bestCost) {
      continue;
    }
    for (int32_t leave = 0; leave < count; ++leave) {
      const int64_t cost = toEnter + fromT[leave];
      if (cost >= bestCost || !CanBeat(costs.To(leave), enter, cost, bestCost)) {
        continue;
      }
      if (!fromA.Sees(enter)) {
        break;
      }
      if (toT.Sees(leave)) {
        SearchTree(tree, costs.graph(), costs.To(leave), cost, enter, leave, bestPath, bestCost);
        return bestPath;
      }
    }
  }
  return bestPath;  // not reached: the cheapest route runs between some such pair
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

PathPoint PathFindNearestFloor(const Mat& floor, const PathTree& tree, PathPoint point) {
  return NearestFloor(FloorView(floor, tree), tree.wrap, point);
}

std::vector<int32_t> PathVisibleNodes(const Mat& floor, const PathTree& tree, PathPoint point) {
  const FloorView view(floor, tree);
  NodeSight sight(view, tree, point);
  std::vector<int32_t> visible;
  for (int32_t node = 0; node < static_cast<int32_t>(tree.nodes.size()); ++node) {
    if (sight.Sees(node)) {
      visible.push_back(node);
    }
  }
  return visible;
}

void PathSearchTree(PathTree& tree, int32_t initialCost, int32_t start, int32_t end,
                    std::vector<int32_t>& bestPath, int32_t& bestCost) {
  const auto count = static_cast<int32_t>(tree.nodes.size());
  if (start < 0 || start >= count || end < 0 || end >= count) {
    return;
  }
  TreeCosts& costs = TreeCosts::Of(tree);
  int64_t cost = bestCost < 0 ? -1 : bestCost;
  SearchTree(tree, costs.graph(), costs.To(end), initialCost, start, end, bestPath, cost);
  bestCost = cost < 0 ? bestCost : Saturated(cost);
}

void PathFind(const Mat& floor, PathTree& tree, PathPoint start, PathPoint target,
              std::vector<PathWaypoint>& waypoints) {
  waypoints.clear();
  const FloorView view(floor, tree);
  if (Sight(view, start, target)) {
    waypoints = {{start.x, start.y, true}, {target.x, target.y, start.x >= target.x}};
    // In a wrapping room the walk may go the other way round, across the
    // seam, when that is shorter and clear.
    if (tree.wrap && start.x != target.x) {
      const auto width = static_cast<int32_t>(view.width);
      const PathPoint image{start.x < target.x ? target.x - width : target.x + width, target.y};
      if (Sight(view, start, image) && PathDistance(start, image) < PathDistance(start, target)) {
        waypoints[1].leftward = !waypoints[1].leftward;
      }
    }
    return;
  }
  // A route found proves that both ends see a node, so which reason to give
  // is worked out only when there is none.
  NodeSight fromStart(view, tree, start);
  NodeSight toTarget(view, tree, target);
  const std::vector<int32_t> route = TreeRoute(tree, start, target, fromStart, toTarget);
  if (route.empty()) {
    if (!fromStart.SeesAny()) {
      LogError(
          "The walker is standing in a place that cannot see any nodes in the path tree.  No "
          "path exists.");
    } else if (!toTarget.SeesAny()) {
      LogError(
          "The click position is in a place that cannot see any nodes in the path tree.  No path "
          "exists.");
    } else {
      LogError(
          "No path exists between the walker and the click point.  The tree may be incomplete.");
    }
    return;
  }
  waypoints.push_back({start.x, start.y, true});
  for (int32_t node : route) {
    waypoints.push_back({tree.nodes[node].x, tree.nodes[node].y, false});
  }
  waypoints.push_back({target.x, target.y, false});
  for (size_t k = 1; k < waypoints.size(); ++k) {
    waypoints[k].leftward = waypoints[k - 1].x >= waypoints[k].x;
  }
}

bool PathWalkRequest(const Mat& floor, PathTree& tree, PathWalker& walker, PathPoint target) {
  walker.waypoints.clear();
  walker.current = 0;
  const FloorView view(floor, tree);
  if (!view.Inside(target.x, target.y)) {
    return false;
  }
  // A walker outside the mat is brought to its nearest pixel inside and
  // counts as off the floor.
  PathPoint start = walker.position;
  bool onFloor = view.Inside(start.x, start.y);
  if (onFloor) {
    onFloor = !view.block[view.At(start.x, start.y)];
  } else {
    start.x = std::clamp<int32_t>(start.x, 0, static_cast<int32_t>(view.width) - 1);
    start.y = std::clamp<int32_t>(start.y, 0, static_cast<int32_t>(view.height) - 1);
  }
  if (!onFloor) {
    // The search starts inside the mat, so its answer lies inside it too.
    start = NearestFloor(view, tree.wrap, start);
    if (view.block[view.At(start.x, start.y)]) {
      int32_t color = 0;
      PathPixelColor(floor, start.x, start.y, color);
      LogError(
          "The walker is not standing on the floor.  Please move the walker to the floor and try "
          "again.  X=" +
          std::to_string(start.x) + " Y=" + std::to_string(start.y) +
          " Pixel=" + std::to_string(color));
      return false;
    }
    walker.position = start;
  }
  PathFind(floor, tree, start, NearestFloor(view, tree.wrap, target), walker.waypoints);
  if (walker.waypoints.empty()) {
    return false;
  }
  walker.current = 1;
  return true;
}
