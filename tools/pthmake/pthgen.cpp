#include "tools/pthmake/pthgen.h"

#include <algorithm>
#include <deque>

#include "tools/pthmake/pthcheck.h"

namespace {

// A corner candidate's neighbourhood: (2 x kCornerReach + 1) pixels square.
constexpr int32_t kCornerReach = 5;
// A block pixel is a corner when less than this share of its neighbourhood
// is block: about a third at a right-angled corner, a half along any
// straight edge, however its pixels step.
constexpr double kCornerShare = 0.42;
// Links whose detour through a third node is at most this much longer (in
// percent) are left out.
constexpr int64_t kDetourPercent = 105;

enum class Pixel : uint8_t { Other, Floor, Block };

class Generator {
 public:
  Generator(const Mat& floor, PathTree& tree) : floor_(floor), tree_(tree) {
    pixels_.resize(static_cast<size_t>(floor.width) * static_cast<size_t>(floor.height));
    for (int32_t y = 0; y < floor.height; ++y) {
      for (int32_t x = 0; x < floor.width; ++x) {
        int32_t color = 0;
        const bool known = PathPixelColor(floor, x, y, color);
        pixels_[Index(x, y)] = !known                     ? Pixel::Other
                               : color == tree.floorColor ? Pixel::Floor
                               : color == tree.blockColor ? Pixel::Block
                                                          : Pixel::Other;
      }
    }
  }

  void PlaceCorners(const PthGenerateOptions& options);
  void Cover();
  bool Join();
  void Link();
  // Whether a node was refused for want of room.
  bool Full() const { return full_; }

 private:
  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(floor_.width) + static_cast<size_t>(x);
  }
  bool Inside(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < floor_.width && y < floor_.height;
  }
  bool Is(int32_t x, int32_t y, Pixel kind) const {
    return Inside(x, y) && pixels_[Index(x, y)] == kind;
  }
  bool IsCorner(int32_t x, int32_t y, const std::vector<int32_t>& blockSums) const;
  // Adds a node unless the tree is full.
  void AddNode(PathPoint p) {
    full_ = tree_.nodes.size() >= kPthMaxGeneratedNodes;
    if (!full_) {
      tree_.nodes.push_back(PathNode{p.x, p.y, {}, false});
    }
  }
  bool MutualSight(PathPoint a, PathPoint b) const {
    return PathLineOfSight(floor_, tree_, a, b) && PathLineOfSight(floor_, tree_, b, a);
  }
  PathPoint NodeAt(size_t n) const { return {tree_.nodes[n].x, tree_.nodes[n].y}; }
  std::vector<std::vector<bool>> SightMatrix() const;
  std::vector<PathPoint> FloorPathToOtherPart(const std::vector<int32_t>& parts) const;

  const Mat& floor_;
  PathTree& tree_;
  std::vector<Pixel> pixels_;
  bool full_ = false;
};

// Block pixels whose two neighbours towards one diagonal and the diagonal
// pixel itself are not block, with little block around them.
bool Generator::IsCorner(int32_t x, int32_t y, const std::vector<int32_t>& blockSums) const {
  const int32_t x0 = std::max(x - kCornerReach, 0);
  const int32_t y0 = std::max(y - kCornerReach, 0);
  const int32_t x1 = std::min(x + kCornerReach + 1, floor_.width);
  const int32_t y1 = std::min(y + kCornerReach + 1, floor_.height);
  const auto sum = [&](int32_t sx, int32_t sy) {
    return blockSums[static_cast<size_t>(sy) * static_cast<size_t>(floor_.width + 1) +
                     static_cast<size_t>(sx)];
  };
  const int32_t block = sum(x1, y1) - sum(x0, y1) - sum(x1, y0) + sum(x0, y0);
  return block < kCornerShare * (x1 - x0) * (y1 - y0);
}

void Generator::PlaceCorners(const PthGenerateOptions& options) {
  // Sums of block pixels above and left of each point, for the corner test.
  std::vector<int32_t> sums(static_cast<size_t>(floor_.width + 1) *
                            static_cast<size_t>(floor_.height + 1));
  const auto at = [&](int32_t x, int32_t y) -> int32_t& {
    return sums[static_cast<size_t>(y) * static_cast<size_t>(floor_.width + 1) +
                static_cast<size_t>(x)];
  };
  for (int32_t y = 0; y < floor_.height; ++y) {
    for (int32_t x = 0; x < floor_.width; ++x) {
      at(x + 1, y + 1) = at(x, y + 1) + at(x + 1, y) - at(x, y) + (Is(x, y, Pixel::Block) ? 1 : 0);
    }
  }
  const auto farEnough = [&](PathPoint p) {
    return std::none_of(tree_.nodes.begin(), tree_.nodes.end(), [&](const PathNode& n) {
      return PathDistance(p, {n.x, n.y}) < options.spacing;
    });
  };
  for (int32_t y = 0; y < floor_.height; ++y) {
    for (int32_t x = 0; x < floor_.width; ++x) {
      if (!Is(x, y, Pixel::Block)) {
        continue;
      }
      for (const auto& [dx, dy] : {std::pair{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}) {
        if (!Inside(x + dx, y + dy) || Is(x + dx, y, Pixel::Block) || Is(x, y + dy, Pixel::Block) ||
            Is(x + dx, y + dy, Pixel::Block) || !IsCorner(x, y, sums)) {
          continue;
        }
        for (int32_t d = options.clearance; d >= 1; --d) {
          const PathPoint p{x + dx * d, y + dy * d};
          if (Is(p.x, p.y, Pixel::Floor)) {
            if (farEnough(p)) {
              AddNode(p);
            }
            break;
          }
        }
      }
    }
  }
}

void Generator::Cover() {
  PthVisitUnseenFloor(floor_, tree_, [this](PathPoint p) {
    AddNode(p);
    return !full_;
  });
}

std::vector<std::vector<bool>> Generator::SightMatrix() const {
  const size_t count = tree_.nodes.size();
  std::vector<std::vector<bool>> sight(count, std::vector<bool>(count, false));
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = i + 1; j < count; ++j) {
      sight[i][j] = sight[j][i] = MutualSight(NodeAt(i), NodeAt(j));
    }
  }
  return sight;
}

// The floor pixels from a node of part 0 to the nearest node of another
// part, by 4-neighbour steps over the floor (across the seam when the room
// wraps); empty when no floor path leads there.
std::vector<PathPoint> Generator::FloorPathToOtherPart(const std::vector<int32_t>& parts) const {
  std::vector<int32_t> nodeAt(pixels_.size(), -1);
  for (size_t n = 0; n < tree_.nodes.size(); ++n) {
    const PathPoint p = NodeAt(n);
    if (Inside(p.x, p.y)) {
      nodeAt[Index(p.x, p.y)] = static_cast<int32_t>(n);
    }
  }
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::vector<size_t> from(pixels_.size(), kNone);
  std::deque<PathPoint> queue;
  for (size_t n = 0; n < tree_.nodes.size(); ++n) {
    const PathPoint p = NodeAt(n);
    if (parts[n] == 0 && Is(p.x, p.y, Pixel::Floor) && from[Index(p.x, p.y)] == kNone) {
      from[Index(p.x, p.y)] = Index(p.x, p.y);
      queue.push_back(p);
    }
  }
  while (!queue.empty()) {
    const PathPoint p = queue.front();
    queue.pop_front();
    const int32_t node = nodeAt[Index(p.x, p.y)];
    if (node >= 0 && parts[static_cast<size_t>(node)] != 0) {
      std::vector<PathPoint> path{p};
      for (size_t i = Index(p.x, p.y); from[i] != i; i = from[i]) {
        const size_t back = from[i];
        path.push_back({static_cast<int32_t>(back % static_cast<size_t>(floor_.width)),
                        static_cast<int32_t>(back / static_cast<size_t>(floor_.width))});
      }
      std::reverse(path.begin(), path.end());
      return path;
    }
    for (const auto& [dx, dy] : {std::pair{0, 1}, {1, 0}, {0, -1}, {-1, 0}}) {
      PathPoint next{p.x + dx, p.y + dy};
      if (tree_.wrap && (next.x < 0 || next.x >= floor_.width)) {
        next.x = (next.x + floor_.width) % floor_.width;
      }
      if (Is(next.x, next.y, Pixel::Floor) && from[Index(next.x, next.y)] == kNone) {
        from[Index(next.x, next.y)] = Index(p.x, p.y);
        queue.push_back(next);
      }
    }
  }
  return {};
}

// Adds nodes along floor paths between the parts of the tree (parts by
// sight both ways) until it is one part; false when the floor itself is in
// parts no path joins.
bool Generator::Join() {
  while (true) {
    PathTree linked = tree_;
    const std::vector<std::vector<bool>> sight = SightMatrix();
    for (size_t i = 0; i < sight.size(); ++i) {
      for (size_t j = 0; j < sight.size(); ++j) {
        if (sight[i][j]) {
          linked.nodes[i].links.push_back(static_cast<int32_t>(j));
        }
      }
    }
    int32_t partCount = 0;
    const std::vector<int32_t> parts = PthTreeParts(linked, partCount);
    if (partCount <= 1) {
      return true;
    }
    const std::vector<PathPoint> path = FloorPathToOtherPart(parts);
    if (path.empty() || full_) {
      return false;
    }
    // Each new node stands at the last pixel of the path the one before it
    // sees both ways; neighbouring floor pixels always see each other.
    PathPoint anchor = path.front();
    for (size_t i = 1; i < path.size(); ++i) {
      if (!MutualSight(anchor, path[i])) {
        anchor = path[i - 1];
        AddNode(anchor);
      }
    }
  }
}

void Generator::Link() {
  const size_t count = tree_.nodes.size();
  std::vector<std::vector<bool>> linked = SightMatrix();
  std::vector<std::vector<int64_t>> length(count, std::vector<int64_t>(count, 0));
  std::vector<std::pair<size_t, size_t>> links;
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; j < count; ++j) {
      length[i][j] = PathDistance(NodeAt(i), NodeAt(j));
      if (i < j && linked[i][j]) {
        links.emplace_back(i, j);
      }
    }
  }
  // Longest first: a link is left out only for a detour over links that are
  // shorter, so the tree stays in one part.
  std::stable_sort(links.begin(), links.end(), [&](const auto& a, const auto& b) {
    return length[a.first][a.second] > length[b.first][b.second];
  });
  for (const auto& [a, c] : links) {
    for (size_t b = 0; b < count; ++b) {
      if (b != a && b != c && linked[a][b] && linked[b][c] &&
          (length[a][b] + length[b][c]) * 100 <= length[a][c] * kDetourPercent) {
        linked[a][c] = linked[c][a] = false;
        break;
      }
    }
  }
  for (size_t i = 0; i < count; ++i) {
    std::vector<int32_t>& out = tree_.nodes[i].links;
    out.clear();
    for (size_t j = 0; j < count; ++j) {
      if (linked[i][j]) {
        out.push_back(static_cast<int32_t>(j));
      }
    }
    std::stable_sort(out.begin(), out.end(), [&](int32_t a, int32_t b) {
      return length[i][static_cast<size_t>(a)] < length[i][static_cast<size_t>(b)];
    });
  }
}

}  // namespace

bool PthGenerate(const Mat& floor, PathTree& tree, const PthGenerateOptions& options,
                 std::vector<std::string>& warnings) {
  tree.nodes.clear();
  Generator generator(floor, tree);
  generator.PlaceCorners(options);
  generator.Cover();
  const bool joined = !generator.Full() && generator.Join();
  if (generator.Full()) {
    return false;
  }
  if (!joined) {
    warnings.push_back(
        "the floor is in parts that no walk joins; the tree cannot be one part either");
  }
  generator.Link();
  return true;
}
