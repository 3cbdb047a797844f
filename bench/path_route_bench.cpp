// Walk routes in a 1280 x 720 room with a dozen obstacles and a 40-node path
// tree: the game's route (nearest floor pixel of the target, then PathFind)
// beside a plain 8-connected grid A* (octile heuristic, binary heap) over the
// same non-block pixels, for the same 10,000 start and target pairs on the
// floor. Prints "path-route: ours X us, astar Y us, ratio R" (processor time
// per route), the mean route lengths of both and how many routes of ours go
// through the tree.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "framework/mat/mat.h"
#include "game/path.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kWallHeight = 140;  // the back wall, drawn as block colour
constexpr int32_t kPairs = 10000;
constexpr size_t kTreeNodes = 40;
constexpr int32_t kCornerGap = 8;  // nodes stand this far diagonally off a corner
constexpr uint8_t kFloor = 0;
constexpr uint8_t kBlock = 1;
constexpr uint8_t kRug = 2;  // neither floor nor block: crossed, not stood on

struct Obstacle {
  int32_t x, y, w, h;
  bool ellipse;
};

// Furniture and pillars, some round (their corners are those of their box).
constexpr Obstacle kObstacles[] = {
    {100, 200, 120, 60, false},  {330, 180, 60, 140, false},  {520, 250, 180, 70, true},
    {820, 190, 90, 90, false},   {1030, 220, 140, 50, false}, {160, 400, 70, 160, false},
    {400, 430, 150, 60, true},   {650, 380, 60, 200, false},  {850, 420, 170, 80, true},
    {1120, 380, 60, 150, false}, {280, 600, 200, 50, false},  {900, 600, 180, 60, false}};

Mat RoomFloor() {
  Mat mat;
  mat.width = kWidth;
  mat.height = kHeight;
  mat.entries = {{"Floor", 0x808080}, {"Block", 0xff0000}, {"Rug", 0x00ff00}};
  mat.data.assign(static_cast<size_t>(kWidth) * kHeight, kFloor);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t& pixel = mat.data[static_cast<size_t>(y) * kWidth + x];
      if (y < kWallHeight) {
        pixel = kBlock;
      } else if (x >= 700 && x < 800 && y >= 620 && y < 700) {
        pixel = kRug;
      }
      for (const Obstacle& o : kObstacles) {
        const double ex = (x + 0.5 - o.x) / o.w * 2 - 1;
        const double ey = (y + 0.5 - o.y) / o.h * 2 - 1;
        const bool inBox = x >= o.x && x < o.x + o.w && y >= o.y && y < o.y + o.h;
        if (inBox && (!o.ellipse || ex * ex + ey * ey <= 1.0)) {
          pixel = kBlock;
        }
      }
    }
  }
  return mat;
}

bool OnFloor(const Mat& mat, PathPoint p) {
  return mat.data[static_cast<size_t>(p.y) * kWidth + p.x] == kFloor;
}

// Nodes diagonally off the obstacles' corners where that is floor; of 48
// corners, the one nearest another goes until 40 remain. Nodes are linked
// both ways wherever they see each other.
PathTree RoomTree(const Mat& mat) {
  PathTree tree;
  tree.floorColor = static_cast<int32_t>(mat.entries[kFloor].color);
  tree.blockColor = static_cast<int32_t>(mat.entries[kBlock].color);
  std::vector<PathPoint> corners;
  for (const Obstacle& o : kObstacles) {
    for (const PathPoint c : {PathPoint{o.x - kCornerGap, o.y - kCornerGap},
                              PathPoint{o.x + o.w - 1 + kCornerGap, o.y - kCornerGap},
                              PathPoint{o.x - kCornerGap, o.y + o.h - 1 + kCornerGap},
                              PathPoint{o.x + o.w - 1 + kCornerGap, o.y + o.h - 1 + kCornerGap}}) {
      if (c.x >= 0 && c.x < kWidth && c.y >= 0 && c.y < kHeight && OnFloor(mat, c)) {
        corners.push_back(c);
      }
    }
  }
  while (corners.size() > kTreeNodes) {
    size_t crowded = 0;
    int64_t nearest = INT64_MAX;
    for (size_t a = 0; a < corners.size(); ++a) {
      for (size_t b = 0; b < corners.size(); ++b) {
        const int64_t dx = corners[a].x - corners[b].x;
        const int64_t dy = corners[a].y - corners[b].y;
        if (a != b && dx * dx + dy * dy < nearest) {
          nearest = dx * dx + dy * dy;
          crowded = a;
        }
      }
    }
    corners.erase(corners.begin() + static_cast<std::ptrdiff_t>(crowded));
  }
  for (const PathPoint c : corners) {
    tree.nodes.push_back({c.x, c.y, {}, false});
  }
  for (size_t a = 0; a < corners.size(); ++a) {
    for (size_t b = a + 1; b < corners.size(); ++b) {
      if (PathLineOfSight(mat, tree, corners[a], corners[b])) {
        tree.nodes[a].links.push_back(static_cast<int32_t>(b));
        tree.nodes[b].links.push_back(static_cast<int32_t>(a));
      }
    }
  }
  return tree;
}

// The grid peer: 8-connected over pixels that are not block, diagonal steps
// only between two open sides, octile distance as the heuristic, a binary
// heap of open pixels. Costs are integers, 1000 a straight step and 1414 a
// diagonal one, so that equal estimates are exactly equal and ties go to the
// pixel further from the start. Buffers are kept between routes; a
// generation number tells this route's entries from older ones.
class GridAStar {
 public:
  explicit GridAStar(const Mat& mat)
      : open_(mat.data.size()),
        cost_(mat.data.size()),
        stamp_(mat.data.size(), 0),
        closed_(mat.data.size(), 0) {
    for (size_t i = 0; i < mat.data.size(); ++i) {
      open_[i] = mat.data[i] != kBlock ? 1 : 0;
    }
  }

  // The length in pixels of the shortest grid route; -1 when there is none.
  double Route(PathPoint from, PathPoint to) {
    ++generation_;
    heap_.clear();
    const int32_t goal = to.y * kWidth + to.x;
    Reach(from.y * kWidth + from.x, 0, to);
    while (!heap_.empty()) {
      std::pop_heap(heap_.begin(), heap_.end(), Later());
      const Entry entry = heap_.back();
      heap_.pop_back();
      if (closed_[entry.pixel] == generation_) {
        continue;
      }
      if (entry.pixel == goal) {
        return static_cast<double>(entry.cost) / kStraight;
      }
      closed_[entry.pixel] = generation_;
      ++expanded_;
      Expand(entry, to);
    }
    return -1.0;
  }
  int64_t Expanded() const { return expanded_; }

 private:
  static constexpr int64_t kStraight = 1000;
  static constexpr int64_t kDiagonal = 1414;

  struct Entry {
    int64_t estimate;  // cost so far plus the heuristic
    int64_t cost;
    int32_t pixel;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.estimate > b.estimate || (a.estimate == b.estimate && a.cost < b.cost);
    }
  };

  static int64_t Octile(int32_t pixel, PathPoint to) {
    const int64_t dx = std::abs(pixel % kWidth - to.x);
    const int64_t dy = std::abs(pixel / kWidth - to.y);
    return kStraight * std::max(dx, dy) + (kDiagonal - kStraight) * std::min(dx, dy);
  }

  void Reach(int32_t pixel, int64_t cost, PathPoint to) {
    if (stamp_[pixel] == generation_ && cost_[pixel] <= cost) {
      return;
    }
    stamp_[pixel] = generation_;
    cost_[pixel] = cost;
    heap_.push_back({cost + Octile(pixel, to), cost, pixel});
    std::push_heap(heap_.begin(), heap_.end(), Later());
  }

  bool Open(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < kWidth && y < kHeight && open_[y * kWidth + x] != 0;
  }

  void Expand(const Entry& entry, PathPoint to) {
    const int32_t x = entry.pixel % kWidth;
    const int32_t y = entry.pixel / kWidth;
    for (int32_t dy = -1; dy <= 1; ++dy) {
      for (int32_t dx = -1; dx <= 1; ++dx) {
        const bool diagonal = dx != 0 && dy != 0;
        if ((dx == 0 && dy == 0) || !Open(x + dx, y + dy) ||
            (diagonal && (!Open(x + dx, y) || !Open(x, y + dy)))) {
          continue;
        }
        const int32_t next = (y + dy) * kWidth + x + dx;
        if (closed_[next] != generation_) {
          Reach(next, entry.cost + (diagonal ? kDiagonal : kStraight), to);
        }
      }
    }
  }

  std::vector<uint8_t> open_;
  std::vector<int64_t> cost_;
  std::vector<uint32_t> stamp_;
  std::vector<uint32_t> closed_;
  std::vector<Entry> heap_;
  uint32_t generation_ = 0;
  int64_t expanded_ = 0;
};

double RouteLength(const std::vector<PathWaypoint>& waypoints) {
  double length = 0.0;
  for (size_t k = 1; k < waypoints.size(); ++k) {
    length += std::hypot(waypoints[k].x - waypoints[k - 1].x, waypoints[k].y - waypoints[k - 1].y);
  }
  return length;
}

struct Pair {
  PathPoint start;
  PathPoint target;
};

std::vector<Pair> FloorPairs(const Mat& mat) {
  std::mt19937 engine(20261208);
  std::uniform_int_distribution<int32_t> column(0, kWidth - 1);
  std::uniform_int_distribution<int32_t> row(0, kHeight - 1);
  auto floorPixel = [&] {
    while (true) {
      const PathPoint p = {column(engine), row(engine)};
      if (OnFloor(mat, p)) {
        return p;
      }
    }
  };
  std::vector<Pair> pairs(kPairs);
  for (Pair& pair : pairs) {
    pair.start = floorPixel();
    pair.target = floorPixel();
  }
  return pairs;
}

struct Totals {
  double oursSeconds = 0.0;
  double astarSeconds = 0.0;
  double oursLength = 0.0;
  double astarLength = 0.0;
  int32_t pairs = 0;
  int32_t routes = 0;     // found by both; their lengths are summed
  int32_t oursNone = 0;   // pairs ours found no route for
  int32_t astarNone = 0;  // pairs A* found no route for
  int64_t astarExpanded = 0;
  int32_t throughTree = 0;  // routes of ours with more than two waypoints
};

Mat floorMat;
PathTree tree;
std::vector<Pair> pairs;
Totals totals;

// Seconds of this thread's processor time: the machine may be shared, and
// waiting for a processor is no part of either route's cost.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Work>
double Time(Work work) {
  const double start = ThreadSeconds();
  work();
  return ThreadSeconds() - start;
}

// One pair per iteration, ours and A* in turn so that both see the same
// machine load; the iteration time is ours.
void BM_PathRoute(benchmark::State& state) {
  GridAStar astar(floorMat);
  std::vector<PathWaypoint> waypoints;
  size_t next = 0;
  for (auto _ : state) {
    const Pair& pair = pairs[next++ % pairs.size()];
    const double ours = Time([&] {
      const PathPoint target = PathFindNearestFloor(floorMat, tree, pair.target);
      PathFind(floorMat, tree, pair.start, target, waypoints);
      benchmark::DoNotOptimize(waypoints.data());
    });
    double grid = -1.0;
    totals.astarSeconds += Time([&] { grid = astar.Route(pair.start, pair.target); });
    totals.oursSeconds += ours;
    ++totals.pairs;
    totals.oursNone += waypoints.empty() ? 1 : 0;
    totals.throughTree += waypoints.size() > 2 ? 1 : 0;
    totals.astarNone += grid < 0.0 ? 1 : 0;
    if (!waypoints.empty() && grid >= 0.0) {
      totals.oursLength += RouteLength(waypoints);
      totals.astarLength += grid;
      ++totals.routes;
    }
    state.SetIterationTime(ours);
  }
  totals.astarExpanded += astar.Expanded();
}

}  // namespace

BENCHMARK(BM_PathRoute)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kPairs);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  floorMat = RoomFloor();
  tree = RoomTree(floorMat);
  pairs = FloorPairs(floorMat);
  size_t links = 0;
  for (const PathNode& node : tree.nodes) {
    links += node.links.size();
  }
  std::printf("room: %d x %d pixels, %zu obstacles, %zu nodes, %zu links (one way each)\n", kWidth,
              kHeight, std::size(kObstacles), tree.nodes.size(), links);
  benchmark::RunSpecifiedBenchmarks();
  const double count = std::max(totals.pairs, 1);
  const double ours = totals.oursSeconds / count * 1e6;
  const double astar = totals.astarSeconds / count * 1e6;
  std::printf("path-route: ours %.1f us, astar %.1f us, ratio %.3f\n", ours, astar, ours / astar);
  std::printf("path-route length: ours %.1f px, astar %.1f px over %d routes both found\n",
              totals.oursLength / totals.routes, totals.astarLength / totals.routes, totals.routes);
  std::printf("path-route through the tree: %d of %d\n", totals.throughTree, totals.pairs);
  std::printf(
      "path-route unreachable: ours %d, astar %d of %d pairs; astar expands %.0f pixels a route\n",
      totals.oursNone, totals.astarNone, totals.pairs,
      static_cast<double>(totals.astarExpanded) / count);
  benchmark::Shutdown();
  return 0;
}
