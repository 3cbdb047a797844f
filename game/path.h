// Walk paths: a room's path tree, the floor mat's colours, and the route
// search that turns a walk request into waypoints. Plain functions over a
// floor mat and a tree, so that the game and the path tools share exactly one
// implementation.
//
// The floor mat's pixels are compared by their entry's whole 32-bit colour:
// the tree's floor colour marks where a walker may stand and a walk may end,
// its block colour stops straight lines; any other colour may be crossed but
// not stood on. Rooms may wrap around horizontally.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/mat/mat.h"

struct PathPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const PathPoint&, const PathPoint&) = default;
};

struct PathNode {
  int32_t x = 0;
  int32_t y = 0;
  std::vector<int32_t> links;  // node indices, one way each, in file order
  bool visited = false;        // scratch of the tree search
};

struct PathTree {
  int32_t floorColor = 0;
  int32_t blockColor = 0;
  bool wrap = false;  // the right edge continues at the left edge
  std::vector<PathNode> nodes;
};

struct PathWaypoint {
  int32_t x = 0;
  int32_t y = 0;
  bool leftward = false;  // reached moving towards smaller x
  friend bool operator==(const PathWaypoint&, const PathWaypoint&) = default;
};

// A walker's side of a walk: where it stands and where it goes. It is
// walking while current < the number of waypoints; waypoint 0 is its start.
struct PathWalker {
  PathPoint position;
  std::vector<PathWaypoint> waypoints;
  int32_t current = 0;
};

// --- Path files ------------------------------------------------------------------
// Reads a ".pth" content file ("Path File 1.0", "1.1" or "2.0") into the tree,
// numbers that do not parse taking their defaults. A file that cannot be
// opened empties the nodes silently; an unsupported version line is logged
// and leaves the tree as it was. False in both cases. Reading stops at the
// end of the file: a file that ends early gives the nodes it holds, without
// links to the nodes it lacks.
bool PathTreeRead(const std::string& fileName, PathTree& tree);
// The tree as a "Path File 2.0" text, lines ending in CR LF.
std::string PathTreeText(const PathTree& tree);

// --- Geometry --------------------------------------------------------------------
// The Euclidean distance rounded to the nearest integer, halves to even.
int32_t PathDistance(PathPoint a, PathPoint b);
// Visits the pixels of the three-move line from `from` to `to` in order, the
// start first and the end last, in unwrapped coordinates. Stops early when
// `visit` returns false; true when the end was visited.
bool PathLineVisit(PathPoint from, PathPoint to, const std::function<bool(PathPoint)>& visit);
// The floor mat's colour at a pixel: false for a pixel outside the mat or an
// index that names no entry.
bool PathPixelColor(const Mat& floor, int32_t x, int32_t y, int32_t& color);

// --- Route search ----------------------------------------------------------------
// The floor-coloured pixel nearest in 4-neighbour steps (below, right, above,
// left first; across the seam when the tree wraps); the point itself when it
// is outside the mat, already floor, or no floor is reachable.
PathPoint PathFindNearestFloor(const Mat& floor, const PathTree& tree, PathPoint point);
// No block-coloured pixel on the line, start and end included; the line
// crosses the seam. A pixel outside the mat blocks sight: the start must lie
// inside the mat, the end inside it or up to one width beyond its left or
// right edge (a pixel's image across the seam).
bool PathLineOfSight(const Mat& floor, const PathTree& tree, PathPoint from, PathPoint to);
// The nodes in sight of the point, in node order; a node outside the mat is
// never in sight.
std::vector<int32_t> PathVisibleNodes(const Mat& floor, const PathTree& tree, PathPoint point);
// Depth-first search with branch-and-bound from node `start` to node `end`,
// starting at `initialCost`; replaces the best path and cost (-1: none yet)
// only with a strictly cheaper route. Nodes outside the tree, as start, end
// or link, are ignored; costs beyond 32 bits are cut to the largest value.
void PathSearchTree(PathTree& tree, int32_t initialCost, int32_t start, int32_t end,
                    std::vector<int32_t>& bestPath, int32_t& bestCost);
// The waypoints of the shortest route from start to target: straight when in
// sight (the other way round the seam when that is shorter), else through the
// tree. Empty, with the log line saying why, when there is none.
void PathFind(const Mat& floor, PathTree& tree, PathPoint start, PathPoint target,
              std::vector<PathWaypoint>& waypoints);
// A walk request: empties the walker's waypoints, moves a walker that is off
// the floor onto the nearest floor, and routes it to the floor pixel nearest
// the target. True when it has waypoints to walk (current is then 1).
bool PathWalkRequest(const Mat& floor, PathTree& tree, PathWalker& walker, PathPoint target);
