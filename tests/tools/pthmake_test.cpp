// The pthmake tool: path sources and floor mats become trees the game's
// reader takes back, the check finds each kind of fault with its line, and
// the routes printed and drawn are the game's. Floor mats are made by
// roommake, the way rooms are built.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "game/path.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A floor with one block in the middle; nodes beside its corners see all of
// the floor.
const char kBoxRoom[] =
    "size 120 80\n"
    "colour floor FF0000\n"
    "colour block 00FF00\n"
    "mat walk\n"
    "fill floor\n"
    "rect block 40 30 40 20\n";

class PthmakeTest : public ::testing::Test {
 protected:
  void SetUp() override { modules_ = std::make_unique<ContentModules>(work_.path()); }
  void TearDown() override { modules_.reset(); }

  // Runs a tool in the work folder (arguments here hold no quotes).
  ToolRun Run(const char* binary, const std::vector<std::string>& args) const {
    return RunTool(binary, work_, args);
  }
  ToolRun Pthmake(const std::vector<std::string>& args) const { return Run(PTHMAKE_BINARY, args); }
  // Paints a room's mats with roommake; its floor mat is "<name>/Walk Area.mat".
  void MakeRoom(const std::string& name, const std::string& description) const {
    work_.write(name + ".room", description);
    const ToolRun run = Run(ROOMMAKE_BINARY, {name + ".room", name});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  Mat Floor(const std::string& name) const {
    Mat mat;
    MatOpen(work_.path() + name + "/Walk Area.mat", mat);
    return mat;
  }
  PathTree ReadTree(const std::string& name) const {
    PathTree tree;
    EXPECT_TRUE(PathTreeRead(work_.path() + name, tree));
    return tree;
  }

  TempFolder work_;
  std::unique_ptr<ContentModules> modules_;
};

std::vector<std::vector<int32_t>> Links(const PathTree& tree) {
  std::vector<std::vector<int32_t>> links;
  for (const PathNode& node : tree.nodes) {
    links.push_back(node.links);
  }
  return links;
}

TEST_F(PthmakeTest, SourceBecomesTheTreeTheGameReadsAndRoutesThroughIt) {
  MakeRoom("box", kBoxRoom);
  const std::string source =
      "# Around the box, by colour names of the room\n"
      "colours box.room\n"
      "floor floor\n"
      "block 00FF00\n"
      "node tl 36 26\n"
      "node tr 83 26\n"
      "node br 83 53\n"
      "node \"bottom left\" 36 53\n"
      "link tl tr br \"bottom left\" tl\n";
  work_.write("box.pts", source + "wrap\noneway tl br\n");
  ToolRun run = Pthmake({"box.pts", "oneway.pth"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "wrote oneway.pth: 4 nodes, 9 links\n");
  PathTree tree = ReadTree("oneway.pth");
  EXPECT_EQ(tree.floorColor, 0xFF0000);
  EXPECT_EQ(tree.blockColor, 0x00FF00);
  EXPECT_TRUE(tree.wrap);
  ASSERT_EQ(tree.nodes.size(), 4u);
  EXPECT_EQ(tree.nodes[3].x, 36);
  EXPECT_EQ(tree.nodes[3].y, 53);
  EXPECT_THAT(Links(tree), ElementsAre(ElementsAre(1, 3, 2), ElementsAre(0, 2), ElementsAre(1, 3),
                                       ElementsAre(2, 0)));

  // The one-way link goes through the box: two faults on its line.
  run = Pthmake({"--check", "oneway.pth", "box/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "oneway.pth:11: error: link 0 -> 2 has no link back\n"
            "oneway.pth:11: error: link 0 -> 2: node 2 at (83, 53) is not in sight of node 0 at "
            "(36, 26)\n");

  work_.write("box.pts", source);
  ASSERT_EQ(Pthmake({"box.pts", "box.pth"}).exitCode, 0);
  run = Pthmake({"--check", "box.pth", "box/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "box.pth: 4 nodes, 8 links: on the floor, in sight, one part, all floor seen\n");

  // Past the box the shorter way round, below it; a clear line is straight.
  run = Pthmake({"--route", "box.pth", "box/Walk Area.mat", "10", "40", "110", "40"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "waypoint 0 10 40\n"
            "waypoint 1 36 53 right\n"
            "waypoint 2 83 53 right\n"
            "waypoint 3 110 40 right\n"
            "route from (10, 40) to (110, 40): 4 waypoints, 106 pixels\n");
  run = Pthmake({"--route", "box.pth", "box/Walk Area.mat", "110", "10", "10", "12"});
  EXPECT_EQ(run.out,
            "waypoint 0 110 10\n"
            "waypoint 1 10 12 left\n"
            "route from (110, 10) to (10, 12): 2 waypoints, 100 pixels\n");
  // A walker inside the box is moved out first; a target inside it ends on
  // the nearest floor (below first).
  run = Pthmake({"--route", "box.pth", "box/Walk Area.mat", "60", "32", "60", "47"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("waypoint 0 60 29\n"));
  EXPECT_THAT(run.out, HasSubstr(" 60 50 left\nroute from (60, 32) to (60, 47)"));

  // The drawing: floor, block, nodes, links and the route.
  run = Pthmake({"--draw", "box.pth", "box/Walk Area.mat", "box.tga", "10", "40", "110", "40"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ImageFrame* image = nullptr;
  ImageLoad(work_.path() + "box.tga", image);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->pixels.size(), 120u * 80u);
  const auto at = [&](int32_t x, int32_t y) { return image->pixels[y * 120 + x] & 0xFFFFFF; };
  EXPECT_EQ(at(5, 5), 0xD0D0D0u);    // floor
  EXPECT_EQ(at(60, 40), 0x404040u);  // block
  EXPECT_EQ(at(37, 25), 0x0000A0u);  // beside node 0
  EXPECT_EQ(at(60, 26), 0x4080FFu);  // the link along the top
  EXPECT_EQ(at(60, 53), 0xE00000u);  // the route along the bottom
  ImageFree(image);
}

// A room of obstacles: rectangles, a slanted block, a rug that lines may
// cross but walks not end on, and a pocket behind walls with a narrow gap.
const char kObstacleRoom[] =
    "size 240 160\n"
    "colour wall 404040\n"
    "colour floor FF0000\n"
    "colour block 00FF00\n"
    "colour rug 8080FF\n"
    "mat walk\n"
    "fill wall\n"
    "polygon floor 10 40 230 40 240 160 0 160\n"
    "rect block 30 60 30 20\n"
    "polygon block 100 60 130 70 110 95\n"
    "rect rug 150 60 30 30\n"
    "rect block 170 100 60 4\n"
    "rect block 170 100 4 50\n"
    "rect block 226 100 4 50\n"
    "rect block 170 146 25 4\n"
    "rect block 205 146 25 4\n"
    "rect block 60 120 8 40\n";

TEST_F(PthmakeTest, TreeFromAFloorMatPassesItsCheckAndRoutesBetweenAnyFloorPoints) {
  MakeRoom("hall", kObstacleRoom);
  ToolRun run = Pthmake({"--from-mat", "hall/Walk Area.mat", "hall.pth", "floor", "00FF00"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  run = Pthmake({"--check", "hall.pth", "hall/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 0) << run.err;

  const Mat floor = Floor("hall");
  PathTree tree = ReadTree("hall.pth");
  ASSERT_GT(tree.nodes.size(), 8u);
  EXPECT_LT(tree.nodes.size(), 60u);
  std::vector<PathPoint> floorPixels;
  for (int32_t y = 0; y < floor.height; ++y) {
    for (int32_t x = 0; x < floor.width; ++x) {
      int32_t color = 0;
      if (PathPixelColor(floor, x, y, color) && color == 0xFF0000) {
        floorPixels.push_back({x, y});
      }
    }
  }
  std::mt19937 random(14);
  std::uniform_int_distribution<size_t> pick(0, floorPixels.size() - 1);
  for (int i = 0; i < 300; ++i) {
    const PathPoint from = floorPixels[pick(random)];
    const PathPoint to = floorPixels[pick(random)];
    PathWalker walker;
    walker.position = from;
    ASSERT_TRUE(PathWalkRequest(floor, tree, walker, to))
        << from.x << "," << from.y << " -> " << to.x << "," << to.y;
    ASSERT_EQ(walker.waypoints.front(), (PathWaypoint{from.x, from.y, true}));
    ASSERT_EQ(walker.waypoints.back().x, to.x);
    ASSERT_EQ(walker.waypoints.back().y, to.y);
    for (size_t k = 1; k < walker.waypoints.size(); ++k) {
      const PathWaypoint& a = walker.waypoints[k - 1];
      const PathWaypoint& b = walker.waypoints[k];
      ASSERT_TRUE(PathLineOfSight(floor, tree, {a.x, a.y}, {b.x, b.y})) << k;
    }
  }

  // Into the pocket through its gap: the printed route is the game's.
  PathWalker walker;
  walker.position = {20, 150};
  ASSERT_TRUE(PathWalkRequest(floor, tree, walker, {200, 120}));
  EXPECT_GT(walker.waypoints.size(), 3u);
  std::string expected;
  for (size_t k = 0; k < walker.waypoints.size(); ++k) {
    const PathWaypoint& w = walker.waypoints[k];
    expected += "waypoint " + std::to_string(k) + " " + std::to_string(w.x) + " " +
                std::to_string(w.y) +
                (k == 0       ? ""
                 : w.leftward ? " left"
                              : " right") +
                "\n";
  }
  run = Pthmake({"--route", "hall.pth", "hall/Walk Area.mat", "20", "150", "200", "120"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr(expected));
}

TEST_F(PthmakeTest, CheckReportsEveryFaultAtItsLine) {
  MakeRoom("box", kBoxRoom);
  // Node 0 links to 2 through the box and one way; 1 -> 2 has no way back;
  // node 3 stands in the box; node 4 is apart and links to a node that is
  // not there.
  const std::vector<std::string> lines = {"Path File 2.0",
                                          "16711680",
                                          "65280",
                                          "0",
                                          "5",  // 1-5
                                          "36",
                                          "26",
                                          "2",
                                          "1",
                                          "2",  // node 0: 6-10
                                          "83",
                                          "26",
                                          "2",
                                          "0",
                                          "2",  // node 1: 11-15
                                          "83",
                                          "53",
                                          "0",  // node 2: 16-18
                                          "60",
                                          "40",
                                          "0",  // node 3: 19-21
                                          "36",
                                          "53",
                                          "1",
                                          "7"};  // node 4: 22-25
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  work_.write("bad.pth", text);
  ToolRun run = Pthmake({"--check", "bad.pth", "box/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "bad.pth:25: error: link \"7\" of node 4 names no node (0 to 4); the game skips it\n"
            "bad.pth:19: error: node 3 at (60, 40) is not on the floor: its colour is 00FF00\n"
            "bad.pth:10: error: link 0 -> 2 has no link back\n"
            "bad.pth:10: error: link 0 -> 2: node 2 at (83, 53) is not in sight of node 0 at "
            "(36, 26)\n"
            "bad.pth:15: error: link 1 -> 2 has no link back\n"
            "bad.pth:19: error: node 3 cannot be reached from node 0: the tree is in 3 parts\n"
            "bad.pth:22: error: node 4 cannot be reached from node 0: the tree is in 3 parts\n");

  // Two nodes above the box leave the floor below it unseen.
  work_.write("top.pth",
              "Path File 1.0\r\n16711680\r\n65280\r\n2\r\n36\r\n26\r\n1\r\n1\r\n83\r\n"
              "26\r\n1\r\n0\r\n");
  run = Pthmake({"--check", "top.pth", "box/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("box/Walk Area.mat: error: "));
  EXPECT_THAT(run.err, HasSubstr(" floor pixels see no node, the first at ("));
  EXPECT_EQ(SplitLines(run.err).size(), 1u) << run.err;
  // A walker there sees no node: the game's log line, and status 1.
  run = Pthmake({"--route", "top.pth", "box/Walk Area.mat", "60", "70", "60", "10"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "log: Error: The walker is standing in a place that cannot see any nodes in the path "
            "tree.  No path exists.\n");
  EXPECT_EQ(run.err, "top.pth: error: no walk from (60, 70) to (60, 10)\n");
}

TEST_F(PthmakeTest, FaultsAreReportedWithTheirFileAndLine) {
  MakeRoom("box", kBoxRoom);
  const std::string head = "floor FF0000\nblock 00FF00\nnode a 1 1\nnode b 2 2\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {head + "link a c\n", "x.pts:5: error: no node is named \"c\"\n"},
      {head + "node a 3 3\n", "x.pts:5: error: node \"a\" is already defined on line 3\n"},
      {head + "link a b\noneway b a\n",
       "x.pts:6: error: the link from \"b\" to \"a\" is already made on line 5\n"},
      {head + "link a a\n", "x.pts:5: error: node \"a\" cannot link to itself\n"},
      {head + "node c -1 4\n",
       "x.pts:5: error: X \"-1\" is not a whole number from 0 to 1000000\n"},
      {"floor red\n",
       "x.pts:1: error: \"red\" is neither a colour name nor six hex digits "
       "RRGGBB\n"},
      {"floor FF0000\n", "x.pts: error: the source needs a \"block COLOUR\" line\n"},
      {head + "wrap 1\n", "x.pts:5: error: \"1\" is one word too many\n"},
      {head + "links a b\n", "x.pts:5: error: unknown command \"links\"\n"},
      {"colours missing.room\n",
       "missing.room: error: cannot read the recipe\n"
       "x.pts:1: error: cannot read the colours of missing.room\n"},
  };
  for (const Case& c : cases) {
    work_.write("x.pts", c.text);
    const ToolRun run = Pthmake({"x.pts", "x.pth"});
    EXPECT_EQ(run.exitCode, 1) << c.error;
    EXPECT_EQ(run.err, c.error);
    EXPECT_FALSE(work_.exists("x.pth")) << c.error;
  }

  // The game's own message for a version it does not read.
  work_.write("new.pth", "Path File 3.0\r\n0\r\n0\r\n0\r\n");
  ToolRun run = Pthmake({"--check", "new.pth", "box/Walk Area.mat"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "new.pth: error: RoomSetWalkPath - Unsupported version Path File 3.0 in file " +
                work_.path() + "new.pth.\n");
  run = Pthmake({"--route", "missing.pth", "box/Walk Area.mat", "1", "1", "2", "2"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "missing.pth: error: cannot open the file\n");
  run = Pthmake({"--from-mat", "box/Walk Area.mat", "x.pth", "floor", "sky"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "box/Walk Area.mat: error: \"sky\" is neither RRGGBB nor the name of an entry of the "
            "mat\n");

  // Specks of block everywhere need more nodes than a tree should have.
  std::string specks =
      "size 240 160\ncolour floor FF0000\ncolour block 00FF00\nmat walk\n"
      "fill floor\n";
  for (int32_t y = 2; y < 160; y += 6) {
    for (int32_t x = 2; x < 240; x += 6) {
      specks += "rect block " + std::to_string(x) + " " + std::to_string(y) + " 1 1\n";
    }
  }
  MakeRoom("specks", specks);
  run = Pthmake({"--from-mat", "specks/Walk Area.mat", "x.pth", "floor", "block", "--spacing", "1",
                 "--clearance", "1"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "specks/Walk Area.mat: error: the floor needs more than 400 nodes; write a path "
            "source for it\n");
  EXPECT_FALSE(work_.exists("x.pth"));

  for (const std::vector<std::string>& usage : std::vector<std::vector<std::string>>{
           {}, {"x.pts"}, {"--check", "x.pth"}, {"--route", "a", "b", "1", "2", "3", "x"}}) {
    run = Pthmake(usage);
    EXPECT_EQ(run.exitCode, 2) << usage.size();
    EXPECT_THAT(run.err, HasSubstr("usage: pthmake")) << usage.size();
  }
  run = Pthmake({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.out, HasSubstr("pthmake --check <tree.pth> <floor.mat>"));
}

}  // namespace
