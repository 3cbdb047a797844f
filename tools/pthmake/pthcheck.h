// Reading a path file the way the game does while keeping the line of each
// node and link, and checking a tree against its floor mat.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/mat/mat.h"
#include "game/path.h"

// A problem found in a path file or tree: at a line of the path file, in
// the path file as a whole (line 0), or in the floor mat.
struct PthProblem {
  int32_t line = 0;
  std::string message;
  bool inFloorMat = false;
};

// Where the parts of a path file lie: the line of each node's x and of each
// link the game keeps, in the tree's order.
struct PthLayout {
  std::vector<int32_t> nodeLines;
  std::vector<std::vector<int32_t>> linkLines;

  int32_t NodeLine(size_t node) const { return node < nodeLines.size() ? nodeLines[node] : 0; }
  int32_t LinkLine(size_t node, size_t link) const {
    return node < linkLines.size() && link < linkLines[node].size() ? linkLines[node][link] : 0;
  }
};

// Reads a path file with the game's reader (the framework must be started)
// and finds where its nodes and links lie. Lines the game reads as defaults
// or skips become problems. False when the game reads no tree (the file
// cannot be opened, or its version is not supported: the game logs why).
bool PthTreeLoad(const std::string& fileName, PathTree& tree, PthLayout& layout,
                 std::vector<PthProblem>& problems);

// Whether the pixel is floor for the tree.
bool PthIsFloor(const Mat& floor, const PathTree& tree, PathPoint point);
// Calls `unseen` for every floor pixel from which no node is in sight (the
// game's PathVisibleNodes is empty), rows top to bottom, until it returns
// false. `unseen` may add nodes to the tree; pixels after it see them.
void PthVisitUnseenFloor(const Mat& floor, const PathTree& tree,
                         const std::function<bool(PathPoint)>& unseen);
// The part of the tree each node belongs to, links taken both ways; parts
// are numbered from 0 in the order of their first node.
std::vector<int32_t> PthTreeParts(const PathTree& tree, int32_t& partCount);

// Checks a tree against its floor mat: nodes on the floor, links both ways
// and in sight both ways, one part, every floor pixel in sight of a node.
std::vector<PthProblem> PthCheck(const Mat& floor, const PathTree& tree, const PthLayout& layout);
