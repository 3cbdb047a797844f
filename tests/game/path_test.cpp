// Walk paths: the path file reader against its table and against damaged
// files, distances and lines, and the route search's defined cases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "game/path.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kPathName[] = "Bin\\Rooms\\Hall\\Background\\Path Tree.pth";

// Path files served as content files from a program folder, with the log
// read back.
class PathFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    DataFileStart();
    LogStart();
  }
  void TearDown() override {
    LogStop();
    DataFileStop();
    platform_.reset();
  }
  // Writes the file and reads it into the tree.
  bool Read(const std::string& content, PathTree& tree) {
    folder_.write("Bin/Rooms/Hall/Background/Path Tree.pth", content);
    return PathTreeRead(kPathName, tree);
  }
  // The log's error lines.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> errors;
    if (folder_.exists("results.log")) {
      for (const std::string& line : SplitLines(folder_.read("results.log"))) {
        if (line.starts_with("Error: ")) {
          errors.push_back(line);
        }
      }
    }
    return errors;
  }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// Lines joined with CR, the way the game's files end their lines.
std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\r") {
  std::string text;
  for (const std::string& line : lines) {
    text += line + end;
  }
  return text;
}

PathTree SampleTree() {
  PathTree tree;
  tree.floorColor = 0x00FF00;
  tree.blockColor = -16777216;
  tree.wrap = true;
  tree.nodes = {{10, 20, {1, 2}}, {300, 40, {0}}, {2147483647, 0, {0, 1}}};
  return tree;
}

std::vector<PathPoint> Points(const PathTree& tree) {
  std::vector<PathPoint> points;
  for (const PathNode& node : tree.nodes) {
    points.push_back({node.x, node.y});
  }
  return points;
}

std::vector<std::vector<int32_t>> Links(const PathTree& tree) {
  std::vector<std::vector<int32_t>> links;
  for (const PathNode& node : tree.nodes) {
    links.push_back(node.links);
  }
  return links;
}

TEST_F(PathFileTest, AllThreeVersionsReadBackWhatTheWriterWrote) {
  const PathTree sample = SampleTree();
  const std::string text = PathTreeText(sample);
  EXPECT_EQ(text.substr(0, 15), "Path File 2.0\r\n");
  for (const std::string version : {"Path File 1.0", "Path File 1.1", "Path File 2.0"}) {
    std::string content = version + text.substr(13);
    if (version == "Path File 1.0") {
      content.erase(content.find("1\r\n3\r\n"), 3);  // no wrap line
    }
    PathTree tree;
    tree.wrap = true;
    ASSERT_TRUE(Read(content, tree)) << version;
    EXPECT_EQ(tree.floorColor, sample.floorColor) << version;
    EXPECT_EQ(tree.blockColor, sample.blockColor) << version;
    EXPECT_EQ(tree.wrap, version != "Path File 1.0") << version;
    EXPECT_EQ(Points(tree), Points(sample)) << version;
    EXPECT_EQ(Links(tree), Links(sample)) << version;
  }
  EXPECT_THAT(LogLines(), IsEmpty());
}

TEST_F(PathFileTest, LinesThatAreNotAcceptedTakeTheirDefaults) {
  PathTree tree;
  tree.floorColor = 5;
  tree.blockColor = 6;
  tree.wrap = true;
  // Colours: "+7", " 7", "7 ", "--7", "" and numbers past 32 bits keep the
  // previous colours; the wrap flag is on only for exactly "1".
  for (const std::string bad : {"+7", " 7", "7 ", "--7", "", "-", "2147483648", "x"}) {
    ASSERT_TRUE(Read(Lines({"Path File 1.1", bad, bad, "01", "0"}), tree)) << bad;
    EXPECT_EQ(tree.floorColor, 5) << bad;
    EXPECT_EQ(tree.blockColor, 6) << bad;
    EXPECT_FALSE(tree.wrap) << bad;
  }
  ASSERT_TRUE(Read(Lines({"Path File 1.1", "-2147483648", "2147483647", "1", "0"}), tree));
  EXPECT_EQ(tree.floorColor, -2147483648);
  EXPECT_EQ(tree.blockColor, 2147483647);
  EXPECT_TRUE(tree.wrap);
  // Counts and coordinates take no sign; a bad node count means no nodes.
  ASSERT_TRUE(Read(Lines({"Path File 2.0", "1", "2", "0", "-2", "5", "6", "0"}), tree));
  EXPECT_THAT(tree.nodes, IsEmpty());
  ASSERT_TRUE(Read(Lines({"Path File 2.0", "1", "2", "0", "2", "-5", "+6", "x", "0", "2147483647",
                          "2", "1", "0"}),
                   tree));
  EXPECT_THAT(Points(tree), ElementsAre(PathPoint{0, 0}, PathPoint{0, 2147483647}));
  EXPECT_THAT(Links(tree), ElementsAre(IsEmpty(), ElementsAre(1, 0)));
}

TEST_F(PathFileTest, LinksOutsideTheTreeAreSkipped) {
  PathTree tree;
  ASSERT_TRUE(Read(Lines({"Path File 2.0",
                          "1",
                          "2",
                          "0",
                          "5",  //
                          "1",
                          "1",
                          "4",
                          "7",
                          "-1",
                          "4",
                          "1",  //
                          "2",
                          "2",
                          "0",
                          "3",
                          "3",
                          "0",
                          "4",
                          "4",
                          "0",
                          "5",
                          "5",
                          "1",
                          "0"}),
                   tree));
  EXPECT_THAT(Links(tree),
              ElementsAre(ElementsAre(4, 1), IsEmpty(), IsEmpty(), IsEmpty(), ElementsAre(0)));
}

TEST_F(PathFileTest, LineFeedsAreSkippedAndOnlyCarriageReturnsEndLines) {
  const std::string text = PathTreeText(SampleTree());
  std::string crOnly = text;
  std::erase(crOnly, '\n');
  PathTree tree;
  ASSERT_TRUE(Read(crOnly, tree));
  EXPECT_EQ(Points(tree), Points(SampleTree()));
  EXPECT_EQ(Links(tree), Links(SampleTree()));
  // With line feeds only the whole file is one line: not a version.
  std::string lfOnly = text;
  std::erase(lfOnly, '\r');
  EXPECT_FALSE(Read(lfOnly, tree));
  std::string joined = lfOnly;
  std::erase(joined, '\n');
  EXPECT_THAT(LogLines(), ElementsAre("Error: RoomSetWalkPath - Unsupported version " + joined +
                                      " in file " + kPathName + "."));
  EXPECT_EQ(Points(tree), Points(SampleTree()));
}

TEST_F(PathFileTest, AnUnsupportedVersionKeepsThePreviousTree) {
  PathTree tree = SampleTree();
  EXPECT_FALSE(Read(Lines({"Path File 3.0", "1", "2", "0", "0"}), tree));
  EXPECT_FALSE(Read("path file 2.0\r1\r", tree));
  EXPECT_THAT(LogLines(),
              ElementsAre("Error: RoomSetWalkPath - Unsupported version Path File 3.0 in file " +
                              std::string(kPathName) + ".",
                          "Error: RoomSetWalkPath - Unsupported version path file 2.0 in file " +
                              std::string(kPathName) + "."));
  EXPECT_EQ(tree.floorColor, SampleTree().floorColor);
  EXPECT_EQ(tree.blockColor, SampleTree().blockColor);
  EXPECT_TRUE(tree.wrap);
  EXPECT_EQ(Points(tree), Points(SampleTree()));
  EXPECT_EQ(Links(tree), Links(SampleTree()));
}

TEST_F(PathFileTest, AMissingFileEmptiesTheNodesSilently) {
  PathTree tree = SampleTree();
  EXPECT_FALSE(PathTreeRead("Bin\\Rooms\\Nowhere\\Background\\Path Tree.pth", tree));
  EXPECT_THAT(tree.nodes, IsEmpty());
  EXPECT_EQ(tree.floorColor, SampleTree().floorColor);
  EXPECT_TRUE(tree.wrap);
  EXPECT_THAT(LogLines(), IsEmpty());
}

// Cut anywhere, a file gives at most the nodes it holds, every link inside
// the tree; huge counts allocate no more than the file holds.
TEST_F(PathFileTest, CutOffFilesAndHugeCountsReadOnlyWhatIsThere) {
  const std::string text = PathTreeText(SampleTree());
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    PathTree tree;
    Read(text.substr(0, cut), tree);
    EXPECT_LE(tree.nodes.size(), SampleTree().nodes.size()) << cut;
    for (const PathNode& node : tree.nodes) {
      for (int32_t link : node.links) {
        EXPECT_LT(link, static_cast<int32_t>(tree.nodes.size())) << cut;
      }
    }
  }
  // Cut after a node's last line, with or without its line feed: no node
  // made of defaults follows.
  PathTree tree;
  ASSERT_TRUE(
      Read(Lines({"Path File 2.0", "1", "2", "0", "3", "7", "8", "2", "0", "2"}, "\r\n"), tree));
  EXPECT_THAT(Points(tree), ElementsAre(PathPoint{7, 8}));
  EXPECT_THAT(Links(tree), ElementsAre(ElementsAre(0)));

  AllocationProbeReset();
  ASSERT_TRUE(Read(
      Lines({"Path File 2.0", "1", "2", "0", "2147483647", "7", "8", "2147483647", "0", "0", "0"}),
      tree));
  EXPECT_LT(AllocationProbeLargest(), 65536u);
  EXPECT_THAT(Points(tree), ElementsAre(PathPoint{7, 8}));
  EXPECT_THAT(Links(tree), ElementsAre(ElementsAre(0, 0, 0)));
}

// --- Geometry ----------------------------------------------------------------------

TEST(PathGeometryTest, DistancesRoundToTheNearestInteger) {
  EXPECT_EQ(PathDistance({0, 0}, {3, 4}), 5);
  EXPECT_EQ(PathDistance({0, 0}, {1, 1}), 1);  // 1.41
  EXPECT_EQ(PathDistance({4, 2}, {0, 0}), 4);  // 4.47: n = k*k + k stays down
  EXPECT_EQ(PathDistance({3, 2}, {0, 0}), 4);  // 3.61: n = k*k + k + 1 goes up
  EXPECT_EQ(PathDistance({-7, 9}, {-7, 9}), 0);
  // Far apart, against long double arithmetic; beyond 32 bits the largest value.
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> any(-1073741823, 1073741823);
  for (int i = 0; i < 10000; ++i) {
    const PathPoint a{any(random), any(random)};
    const PathPoint b{any(random) >> (i % 31), any(random)};
    const long double dx = static_cast<long double>(a.x) - b.x;
    const long double dy = static_cast<long double>(a.y) - b.y;
    ASSERT_EQ(PathDistance(a, b),
              std::min(std::llround(std::sqrt(dx * dx + dy * dy)), 2147483647ll))
        << a.x << "," << a.y << " " << b.x << "," << b.y;
  }
  EXPECT_EQ(PathDistance({-2147483647 - 1, 0}, {2147483647, 0}), 2147483647);
  EXPECT_EQ(PathDistance({0, 0}, {1518500250, 1518500250}), 2147483647);
}

std::vector<PathPoint> LinePixels(PathPoint from, PathPoint to, size_t limit = 100000) {
  std::vector<PathPoint> pixels;
  PathLineVisit(from, to, [&](PathPoint p) {
    pixels.push_back(p);
    return pixels.size() < limit;
  });
  return pixels;
}

TEST(PathGeometryTest, LinesStepInXYOrDiagonallyFromStartToEnd) {
  EXPECT_THAT(LinePixels({0, 0}, {3, 1}),
              ElementsAre(PathPoint{0, 0}, PathPoint{1, 0}, PathPoint{2, 1}, PathPoint{3, 1}));
  EXPECT_THAT(LinePixels({3, 1}, {0, 0}),
              ElementsAre(PathPoint{3, 1}, PathPoint{2, 1}, PathPoint{1, 0}, PathPoint{0, 0}));
  // Ties: diagonal before x, diagonal before y.
  EXPECT_THAT(LinePixels({0, 0}, {2, 1}),
              ElementsAre(PathPoint{0, 0}, PathPoint{1, 1}, PathPoint{2, 1}));
  EXPECT_THAT(LinePixels({0, 0}, {1, 2}),
              ElementsAre(PathPoint{0, 0}, PathPoint{1, 1}, PathPoint{1, 2}));
  EXPECT_THAT(LinePixels({5, 5}, {5, 5}), ElementsAre(PathPoint{5, 5}));
  EXPECT_THAT(LinePixels({2, 0}, {2, -3}),
              ElementsAre(PathPoint{2, 0}, PathPoint{2, -1}, PathPoint{2, -2}, PathPoint{2, -3}));
  std::mt19937 random(11);
  std::uniform_int_distribution<int32_t> coordinate(-60, 60);
  for (int i = 0; i < 2000; ++i) {
    const PathPoint from{coordinate(random), coordinate(random)};
    const PathPoint to{coordinate(random), coordinate(random)};
    const std::vector<PathPoint> pixels = LinePixels(from, to);
    ASSERT_EQ(pixels.front(), from);
    ASSERT_EQ(pixels.back(), to);
    const size_t longer = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
    ASSERT_LE(pixels.size(), 2 * longer + 1);
    for (size_t k = 1; k < pixels.size(); ++k) {
      ASSERT_LE(std::abs(pixels[k].x - pixels[k - 1].x), 1);
      ASSERT_LE(std::abs(pixels[k].y - pixels[k - 1].y), 1);
      ASSERT_NE(pixels[k], pixels[k - 1]);
    }
  }
  // The extreme corners of the plane neither overflow nor take forever
  // when the visitor stops.
  const std::vector<PathPoint> far =
      LinePixels({-2147483647 - 1, -2147483647 - 1}, {2147483647, 2147483647}, 3);
  EXPECT_THAT(
      far, ElementsAre(PathPoint{-2147483647 - 1, -2147483647 - 1},
                       PathPoint{-2147483647, -2147483647}, PathPoint{-2147483646, -2147483646}));
  EXPECT_FALSE(PathLineVisit({0, 0}, {9, 0}, [](PathPoint p) { return p.x < 4; }));
}

// --- Floor mats --------------------------------------------------------------------

constexpr int32_t kFloor = 0x00FF00;
constexpr int32_t kBlock = 0xFF0000;

// A floor mat drawn in text: '.' floor, '#' block, '~' a colour that is
// neither, '?' an index that names no entry.
Mat DrawMat(const std::vector<std::string>& rows) {
  Mat mat;
  mat.entries = {{"FLOOR", kFloor}, {"BLOCK", kBlock}, {"RUG", 0x0000FF}};
  mat.width = static_cast<int32_t>(rows[0].size());
  mat.height = static_cast<int32_t>(rows.size());
  for (const std::string& row : rows) {
    for (char c : row) {
      mat.data.push_back(c == '.' ? 0 : c == '#' ? 1 : c == '~' ? 2 : 200);
    }
  }
  return mat;
}

PathTree Colours(bool wrap = false) {
  PathTree tree;
  tree.floorColor = kFloor;
  tree.blockColor = kBlock;
  tree.wrap = wrap;
  return tree;
}

TEST(PathSightTest, BlockPixelsAnywhereOnTheLineIncludingItsEndsStopSight) {
  const Mat mat = DrawMat({"..~?......",  //
                           ".#........",  //
                           "......#..."});
  const PathTree tree = Colours();
  EXPECT_TRUE(PathLineOfSight(mat, tree, {0, 0}, {9, 0}));   // across other colours
  EXPECT_FALSE(PathLineOfSight(mat, tree, {1, 1}, {5, 1}));  // start
  EXPECT_FALSE(PathLineOfSight(mat, tree, {5, 1}, {1, 1}));  // end
  EXPECT_FALSE(PathLineOfSight(mat, tree, {3, 2}, {9, 2}));  // middle
  EXPECT_TRUE(PathLineOfSight(mat, tree, {0, 2}, {5, 2}));
  int32_t color = 0;
  EXPECT_TRUE(PathPixelColor(mat, 1, 1, color));
  EXPECT_EQ(color, kBlock);
  EXPECT_FALSE(PathPixelColor(mat, 3, 0, color));
  EXPECT_FALSE(PathPixelColor(mat, 10, 0, color));
  EXPECT_FALSE(PathPixelColor(mat, 0, -1, color));
}

// Lines wrap at the left and right edges, whatever the wrap flag; a point
// outside the mat (but for the image of a pixel one width across the seam)
// blocks sight, and nothing outside the mat is read.
TEST(PathSightTest, LinesCrossTheSeamAndPointsOutsideTheMatBlockSight) {
  const Mat mat = DrawMat({"..........",  //
                           "#.........",  //
                           ".....#...."});
  const PathTree tree = Colours();
  EXPECT_FALSE(PathLineOfSight(mat, tree, {8, 1}, {12, 1}));  // through (0, 1)
  EXPECT_TRUE(PathLineOfSight(mat, tree, {8, 2}, {12, 2}));
  EXPECT_TRUE(PathLineOfSight(mat, tree, {2, 2}, {-2, 2}));
  EXPECT_FALSE(PathLineOfSight(mat, tree, {8, 2}, {0, 2}));
  EXPECT_TRUE(PathLineOfSight(mat, tree, {8, 0}, {19, 0}));
  for (const PathPoint outside : {PathPoint{-1, 0}, PathPoint{10, 0}, PathPoint{0, -1},
                                  PathPoint{0, 3}, PathPoint{-2147483647 - 1, 2147483647}}) {
    EXPECT_FALSE(PathLineOfSight(mat, tree, outside, {3, 1}));
  }
  for (const PathPoint outside : {PathPoint{-11, 0}, PathPoint{20, 0}, PathPoint{0, -1},
                                  PathPoint{0, 3}, PathPoint{2147483647, 2147483647}}) {
    EXPECT_FALSE(PathLineOfSight(mat, tree, {3, 1}, outside));
  }
  EXPECT_FALSE(PathLineOfSight(Mat{}, tree, {0, 0}, {0, 0}));
}

// --- Route search ------------------------------------------------------------------

// Replaces one pixel of a drawn mat.
Mat With(Mat mat, PathPoint p, char c) {
  mat.data[p.y * mat.width + p.x] = c == '.' ? 0 : c == '#' ? 1 : 2;
  return mat;
}

TEST(PathFloorTest, TheNearestFloorIsFoundBelowRightAboveLeftInThatOrder) {
  const Mat ring = DrawMat({".....",  //
                            "..~..",  //
                            ".~~~.",  //
                            "..~..",  //
                            "....."});
  const PathTree tree = Colours();
  Mat mat = DrawMat({"~~~~~", "~~.~~", "~.~.~", "~~.~~", "~~~~~"});
  EXPECT_EQ(PathFindNearestFloor(mat, tree, {2, 2}), (PathPoint{2, 3}));
  mat = With(mat, {2, 3}, '~');
  EXPECT_EQ(PathFindNearestFloor(mat, tree, {2, 2}), (PathPoint{3, 2}));
  mat = With(mat, {3, 2}, '~');
  EXPECT_EQ(PathFindNearestFloor(mat, tree, {2, 2}), (PathPoint{2, 1}));
  mat = With(mat, {2, 1}, '~');
  EXPECT_EQ(PathFindNearestFloor(mat, tree, {2, 2}), (PathPoint{1, 2}));
  // Of the pixels two steps away, two steps down comes first; block pixels
  // are searched through.
  EXPECT_EQ(PathFindNearestFloor(ring, tree, {2, 2}), (PathPoint{2, 4}));
  const Mat walled = DrawMat({"~#.", "~#~", "~~~"});
  EXPECT_EQ(PathFindNearestFloor(walled, tree, {0, 0}), (PathPoint{2, 0}));
  // The point itself: already floor, outside the mat, or no floor at all.
  EXPECT_EQ(PathFindNearestFloor(ring, tree, {0, 0}), (PathPoint{0, 0}));
  EXPECT_EQ(PathFindNearestFloor(ring, tree, {5, 2}), (PathPoint{5, 2}));
  EXPECT_EQ(PathFindNearestFloor(DrawMat({"~#~"}), tree, {1, 0}), (PathPoint{1, 0}));
  EXPECT_EQ(PathFindNearestFloor(Mat{}, tree, {1, 0}), (PathPoint{1, 0}));
  // Across the seam only when the room wraps.
  const Mat edge = DrawMat({"~~~~~~~~~~~~.~~", "~~~~~~~~~~~~~~~"});
  EXPECT_EQ(PathFindNearestFloor(edge, tree, {0, 1}), (PathPoint{12, 0}));
  EXPECT_EQ(PathFindNearestFloor(edge, Colours(true), {0, 1}), (PathPoint{12, 0}));
  EXPECT_EQ(PathFindNearestFloor(edge, Colours(true), {1, 0}), (PathPoint{12, 0}));
  const Mat left = With(edge, {14, 1}, '.');
  EXPECT_EQ(PathFindNearestFloor(left, tree, {0, 1}), (PathPoint{12, 0}));
  EXPECT_EQ(PathFindNearestFloor(left, Colours(true), {0, 1}), (PathPoint{14, 1}));
  // Repeated searches on mats of other sizes see none of the earlier marks.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(PathFindNearestFloor(walled, tree, {0, 2}), (PathPoint{2, 0}));
    EXPECT_EQ(PathFindNearestFloor(left, Colours(true), {0, 1}), (PathPoint{14, 1}));
  }
}

// Two rooms of 11 x 7 joined by a door at (5, 3); a third room at the
// bottom right reachable by no link.
Mat DoorMat() {
  return DrawMat({".....#.....",  //
                  ".....#.....",  //
                  ".....#.....",  //
                  "...........",  //
                  ".....#.....",  //
                  ".....######",  //
                  ".....#....."});
}

class PathRouteTest : public PathFileTest {};

TEST_F(PathRouteTest, StraightWalksTakeTwoWaypointsAndOneNodeJoinsTwoRooms) {
  const Mat mat = DoorMat();
  PathTree tree = Colours();
  tree.nodes = {{9, 6, {}}, {5, 3, {}}};
  std::vector<PathWaypoint> waypoints;
  PathFind(mat, tree, {2, 0}, {0, 6}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{2, 0, true}, PathWaypoint{0, 6, true}));
  PathFind(mat, tree, {0, 6}, {2, 0}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{0, 6, true}, PathWaypoint{2, 0, false}));
  PathFind(mat, tree, {2, 0}, {8, 0}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{2, 0, true}, PathWaypoint{5, 3, false},
                                     PathWaypoint{8, 0, false}));
  PathFind(mat, tree, {8, 0}, {2, 0}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{8, 0, true}, PathWaypoint{5, 3, true},
                                     PathWaypoint{2, 0, true}));
  EXPECT_THAT(LogLines(), IsEmpty());
}

// Equal routes: the one found first in link order wins, and an equal cost
// passed in is not replaced. The first route found is not the cheapest.
TEST_F(PathRouteTest, TheSearchKeepsTheFirstOfTheCheapestRoutes) {
  PathTree tree;
  tree.nodes = {
      {0, 0, {4, 1, 2}}, {3, 4, {0, 3}}, {3, -4, {0, 3}}, {6, 0, {1, 2}}, {0, 50, {0, 3}}};
  std::vector<int32_t> path;
  int32_t cost = -1;
  PathSearchTree(tree, 7, 0, 3, path, cost);
  EXPECT_THAT(path, ElementsAre(0, 1, 3));
  EXPECT_EQ(cost, 17);
  tree.nodes[0].links = {4, 2, 1};
  cost = -1;
  PathSearchTree(tree, 7, 0, 3, path, cost);
  EXPECT_THAT(path, ElementsAre(0, 2, 3));
  EXPECT_EQ(cost, 17);
  PathSearchTree(tree, 0, 0, 3, path = {9}, cost = 10);
  EXPECT_THAT(path, ElementsAre(9));
  PathSearchTree(tree, 0, 0, 3, path, cost = 11);
  EXPECT_THAT(path, ElementsAre(0, 2, 3));
  EXPECT_EQ(cost, 10);
  // Start and end alike: the start alone, if cheaper; no links, no route.
  PathSearchTree(tree, 4, 2, 2, path, cost = -1);
  EXPECT_THAT(path, ElementsAre(2));
  EXPECT_EQ(cost, 4);
  tree.nodes[3].links.clear();
  PathSearchTree(tree, 0, 3, 0, path = {}, cost = -1);
  EXPECT_THAT(path, IsEmpty());
  EXPECT_EQ(cost, -1);
  // Links to no node are never followed; costs past 32 bits stop at the
  // largest value.
  tree.nodes = {{-2147483647 - 1, 0, {7, -1, 1}}, {2147483647, 2147483647, {0}}};
  PathSearchTree(tree, 2147483647, 0, 1, path, cost = -1);
  EXPECT_THAT(path, ElementsAre(0, 1));
  EXPECT_EQ(cost, 2147483647);
}

// Two doors in a wall, equally far: the route through the door whose node
// comes first wins.
TEST_F(PathRouteTest, EqualRoutesThroughTheTreeGoByNodeOrder) {
  const Mat mat = DrawMat({".....#.....",  //
                           "...........",  //
                           ".....#.....",  //
                           ".....#.....",  //
                           ".....#.....",  //
                           "...........",  //
                           ".....#....."});
  PathTree tree = Colours();
  tree.nodes = {{5, 5, {}}, {5, 1, {}}};
  std::vector<PathWaypoint> waypoints;
  PathFind(mat, tree, {2, 3}, {8, 3}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{2, 3, true}, PathWaypoint{5, 5, false},
                                     PathWaypoint{8, 3, false}));
  std::swap(tree.nodes[0], tree.nodes[1]);
  PathFind(mat, tree, {2, 3}, {8, 3}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{2, 3, true}, PathWaypoint{5, 1, false},
                                     PathWaypoint{8, 3, false}));
}

// A 640-wide wrapping room: a target 50 pixels to the left across the seam
// is walked to leftwards, the short way round, when that way is clear.
TEST_F(PathRouteTest, WrappingRoomsWalkTheShortWayRoundTheSeam) {
  Mat mat;
  mat.entries = {{"FLOOR", kFloor}, {"BLOCK", kBlock}};
  mat.width = 640;
  mat.height = 200;
  mat.data.assign(640 * 200, 0);
  PathTree tree = Colours(true);
  std::vector<PathWaypoint> waypoints;
  PathFind(mat, tree, {20, 100}, {610, 100}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{20, 100, true}, PathWaypoint{610, 100, true}));
  PathFind(mat, tree, {610, 100}, {20, 100}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{610, 100, true}, PathWaypoint{20, 100, false}));
  tree.wrap = false;
  PathFind(mat, tree, {20, 100}, {610, 100}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{20, 100, true}, PathWaypoint{610, 100, false}));
  tree.wrap = true;
  mat = With(mat, {0, 100}, '#');
  PathFind(mat, tree, {20, 100}, {610, 100}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{20, 100, true}, PathWaypoint{610, 100, false}));
}

TEST_F(PathRouteTest, UnreachableTargetsLogWhyAndLeaveNoWaypoints) {
  const Mat mat = DoorMat();
  PathTree tree = Colours();
  tree.nodes = {{2, 2, {}}, {8, 2, {}}, {-1, 3, {}}, {11, 3, {}}};
  std::vector<PathWaypoint> waypoints{{1, 1, true}};
  PathFind(mat, tree, {8, 6}, {2, 0}, waypoints);  // walker shut in
  EXPECT_THAT(waypoints, IsEmpty());
  PathFind(mat, tree, {2, 0}, {8, 6}, waypoints);  // target shut in
  PathFind(mat, tree, {2, 0}, {8, 0}, waypoints);  // the nodes are not linked
  EXPECT_THAT(waypoints, IsEmpty());
  EXPECT_THAT(
      LogLines(),
      ElementsAre("Error: The walker is standing in a place that cannot see any nodes in the path "
                  "tree.  No path exists.",
                  "Error: The click position is in a place that cannot see any nodes in the path "
                  "tree.  No path exists.",
                  "Error: No path exists between the walker and the click point.  The tree may be "
                  "incomplete."));
  tree.nodes[0].links = {1};
  PathFind(mat, tree, {2, 0}, {8, 0}, waypoints);
  EXPECT_THAT(waypoints, ElementsAre(PathWaypoint{2, 0, true}, PathWaypoint{2, 2, true},
                                     PathWaypoint{8, 2, false}, PathWaypoint{8, 0, true}));
  // Nodes outside the mat are never in sight, not even across the seam.
  EXPECT_THAT(PathVisibleNodes(mat, tree, {5, 3}), ElementsAre(0, 1));
}

TEST_F(PathRouteTest, WalkersOffTheFloorAreMovedToItFirst) {
  const Mat mat = DrawMat({"..~~~~",  //
                           "..~~#~",  //
                           "..~~~~"});
  PathTree tree = Colours();
  PathWalker walker;
  // Off the mat: brought inside, then to the nearest floor; the target on
  // a pixel of neither colour becomes the floor pixel nearest it.
  walker.position = {9, -4};
  EXPECT_TRUE(PathWalkRequest(mat, tree, walker, {3, 2}));
  EXPECT_EQ(walker.position, (PathPoint{1, 0}));
  EXPECT_THAT(walker.waypoints, ElementsAre(PathWaypoint{1, 0, true}, PathWaypoint{1, 2, true}));
  EXPECT_EQ(walker.current, 1);
  // On a block pixel.
  walker.position = {4, 1};
  EXPECT_TRUE(PathWalkRequest(mat, tree, walker, {0, 0}));
  EXPECT_EQ(walker.position, (PathPoint{1, 1}));
  EXPECT_THAT(walker.waypoints, ElementsAre(PathWaypoint{1, 1, true}, PathWaypoint{0, 0, true}));
  // On a pixel of neither colour the walker counts as on the floor.
  walker.position = {3, 1};
  EXPECT_TRUE(PathWalkRequest(mat, tree, walker, {0, 1}));
  EXPECT_EQ(walker.position, (PathPoint{3, 1}));
  // Targets outside the mat are refused silently, and so is every request
  // on an empty mat; the earlier walk is dropped.
  EXPECT_FALSE(PathWalkRequest(mat, tree, walker, {6, 1}));
  EXPECT_THAT(walker.waypoints, IsEmpty());
  EXPECT_EQ(walker.current, 0);
  walker.waypoints = {{3, 1, true}, {0, 1, true}};
  walker.current = 1;
  EXPECT_FALSE(PathWalkRequest(Mat{}, tree, walker, {0, 0}));
  EXPECT_THAT(walker.waypoints, IsEmpty());
  EXPECT_EQ(walker.current, 0);
  EXPECT_THAT(LogLines(), IsEmpty());
  // No floor in reach: the walker stays where it is.
  const Mat blocked = DrawMat({"##~", "###"});
  walker.position = {0, 1};
  EXPECT_FALSE(PathWalkRequest(blocked, tree, walker, {2, 0}));
  walker.position = {-3, 7};
  EXPECT_FALSE(PathWalkRequest(blocked, tree, walker, {2, 0}));
  EXPECT_EQ(walker.position, (PathPoint{-3, 7}));
  EXPECT_THAT(walker.waypoints, IsEmpty());
  EXPECT_THAT(LogLines(), ElementsAre("Error: The walker is not standing on the floor.  Please "
                                      "move the walker to the floor and try again.  X=0 Y=1 "
                                      "Pixel=16711680",
                                      "Error: The walker is not standing on the floor.  Please "
                                      "move the walker to the floor and try again.  X=0 Y=1 "
                                      "Pixel=16711680"));
}

}  // namespace
