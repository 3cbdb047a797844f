// Path trees made from a floor mat: nodes beside the corners of the blocked
// areas, more where floor would see no node or the tree would fall apart,
// linked where the game's line of sight holds both ways.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/mat/mat.h"
#include "game/path.h"

// More nodes than this make the game's exhaustive route search too slow.
constexpr size_t kPthMaxGeneratedNodes = 400;

struct PthGenerateOptions {
  int32_t clearance = 6;  // how far from a corner its node stands, diagonally
  int32_t spacing = 24;   // corner nodes closer than this to an earlier node are left out
};

// Fills the tree's nodes for its floor and block colours and wrap flag:
// corner nodes in reading order, then a node at each floor pixel that sees
// none yet, then nodes along the floor that join the parts of the tree.
// Nodes that see each other both ways are linked, except where a detour
// through a third linked node is at most 5 % longer; each node's links run
// from the nearest. Adds a warning when the floor itself is in parts that
// no tree can join; false when the floor needs more than
// kPthMaxGeneratedNodes nodes.
bool PthGenerate(const Mat& floor, PathTree& tree, const PthGenerateOptions& options,
                 std::vector<std::string>& warnings);
