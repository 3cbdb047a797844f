// The roommake tool: a room description becomes five mats the game reads back
// pixel for pixel, its report counts the game's own depth runs, and faults
// are reported as file:line with status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "game/depth_runs.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::HasSubstr;

class RoommakeTest : public ::testing::Test {
 protected:
  void SetUp() override { modules_ = std::make_unique<ContentModules>(work_.path()); }
  void TearDown() override { modules_.reset(); }

  // Runs the tool in the work folder (arguments here hold no quotes).
  ToolRun Run(const std::vector<std::string>& args) const {
    return RunTool(ROOMMAKE_BINARY, work_, args);
  }
  Mat Open(const std::string& name) const {
    Mat mat;
    MatOpen(work_.path() + name, mat);
    return mat;
  }
  // The colour of the entry at a pixel, or a value no entry has.
  static uint32_t ColourAt(const Mat& mat, int32_t x, int32_t y) {
    const int32_t entry = MatEntryAt(mat, x, y);
    return entry < 0 ? 0xDEADBEEF : mat.entries[entry].color;
  }

  TempFolder work_;
  std::unique_ptr<ContentModules> modules_;
};

constexpr uint32_t kWall = 0x404040;
constexpr uint32_t kFloor = 0xFF0000;
constexpr uint32_t kCrate = 0x0000FF;

TEST_F(RoommakeTest, DescriptionBecomesFiveMatsTheGameReadsBack) {
  work_.write("hall.room",
              "# A hall: a floor trapezium with a crate, depth bands, a lamp\r\n"
              "size 160 90\n"
              "colour wall 404040\n"
              "mat walk\n"
              "fill wall\n"
              "polygon floor 20 40 140 40 159 89 0 89\n"
              "rect \"crate top\" 60 50 20 10\n"
              "mat depth-layers\n"
              "gradient depth 0 90 200 20 10\n"
              "rect wall -5 -5 25 15\n"
              "mat light\n"
              "polygon lamp 10 10 50 10 50 30 10 30\n"
              "mat sound\n"
              "rect lamp 10 10 40 20\n"
              "# colours may be named after their use\n"
              "colour floor FF0000\n"
              "colour \"crate top\" 0000FF\n"
              "colour lamp FFE0A0\n");
  const ToolRun run = Run({"hall.room", "out/Background", "--preview", "check", "--runs"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const Mat walk = Open("out/Background/Walk Area.mat");
  ASSERT_TRUE(MatIsValid(walk));
  EXPECT_EQ(walk.width, 160);
  EXPECT_EQ(walk.height, 90);
  ASSERT_EQ(walk.entries.size(), 3u);  // in the order of first use
  EXPECT_EQ(walk.entries[0].name, "wall");
  EXPECT_EQ(walk.entries[1].name, "floor");
  EXPECT_EQ(walk.entries[2].name, "crate top");
  struct Sample {
    int32_t x, y;
    uint32_t colour;
  };
  // Inside and outside the trapezium's slanted sides (pixel centres: its
  // bottom edge at y = 89 leaves row 89 out), the crate's corners.
  for (const Sample& s : std::vector<Sample>{{0, 0, kWall},
                                             {80, 39, kWall},
                                             {80, 40, kFloor},
                                             {20, 40, kFloor},
                                             {19, 40, kWall},
                                             {0, 88, kFloor},
                                             {158, 88, kFloor},
                                             {159, 88, kWall},
                                             {80, 89, kWall},
                                             {2, 70, kWall},
                                             {12, 70, kFloor},
                                             {60, 50, kCrate},
                                             {79, 59, kCrate},
                                             {80, 59, kFloor},
                                             {79, 60, kFloor}}) {
    EXPECT_EQ(ColourAt(walk, s.x, s.y), s.colour) << s.x << "," << s.y;
  }

  // The gradient changes every 10 rows from blue 200 to 20, rounded; the
  // wall rectangle is clipped at the corner.
  const Mat depth = Open("out/Background/Depth Layers.mat");
  ASSERT_TRUE(MatIsValid(depth));
  for (int32_t y = 0; y < 90; ++y) {
    const uint32_t blue = static_cast<uint32_t>(200 - (y / 10 * 10) * 180 / 89.0 + 0.5);
    EXPECT_EQ(ColourAt(depth, 100, y), blue) << y;
    EXPECT_EQ(depth.entries[MatEntryAt(depth, 100, y)].name, "depth " + std::to_string(blue));
  }
  EXPECT_EQ(ColourAt(depth, 19, 9), kWall);
  EXPECT_EQ(ColourAt(depth, 20, 9), 200u);
  EXPECT_EQ(ColourAt(depth, 19, 10), 180u);

  // A rectangle drawn as a polygon covers the same pixels as "rect"; the
  // unpainted depth-agent mat and the rest of the sound mat take the first
  // named colour, after the entries the shapes use.
  const Mat light = Open("out/Background/Light Agent.mat");
  const Mat sound = Open("out/Background/Sound.mat");
  const Mat agent = Open("out/Background/Depth Agent.mat");
  ASSERT_TRUE(MatIsValid(light) && MatIsValid(sound) && MatIsValid(agent));
  EXPECT_EQ(light.data, sound.data);
  EXPECT_EQ(sound.entries[1].name, "wall");
  EXPECT_EQ(std::count(sound.data.begin(), sound.data.end(), 0), 40 * 20);
  ASSERT_EQ(agent.entries.size(), 1u);
  EXPECT_EQ(agent.entries[0].color, kWall);

  // The report counts the runs of the depth mat and the game's quads, and
  // lists the runs.
  const std::vector<DepthRun> runs = DepthRunsOf(depth);
  EXPECT_THAT(run.out, HasSubstr("depth mesh of Depth Layers.mat: " + std::to_string(runs.size()) +
                                 " runs in 90 rows (at most 2 in a row), " +
                                 std::to_string(DepthRectsOf(depth).size()) + " quads"));
  std::string listed;
  for (const DepthRun& r : runs) {
    listed += "run " + std::to_string(r.y) + " " + std::to_string(r.x0) + " " +
              std::to_string(r.x1) + " " + std::to_string(r.index) + " " + std::to_string(r.depth) +
              "\n";
  }
  EXPECT_THAT(run.out, HasSubstr(listed));
  EXPECT_EQ(runs.size(), 90u + 10u);

  // Previews: the walk mat in its colours, the depth mats in grey.
  ImageFrame* image = nullptr;
  ImageLoad(work_.path() + "check/Depth Layers.tga", image);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->pixels.size(), 160u * 90u);
  EXPECT_EQ(image->pixels[50 * 160 + 100] & 0xFFFFFF, 0x636363u);  // blue 99 at row 50
  ImageFree(image);
  ImageLoad(work_.path() + "check/Walk Area.tga", image);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixels[55 * 160 + 70] & 0xFFFFFF, kCrate);
  ImageFree(image);
}

TEST_F(RoommakeTest, FaultsAreReportedWithTheirFileAndLine) {
  const std::string head = "size 40 30\ncolour wall 404040\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"colour wall 404040\nsize 4 4\n",
       "x.room:1: error: a room description starts with "
       "\"size W H\"\n"},
      {"size 9000 10\n", "x.room:1: error: the width W is 9000; it must be within 1 to 8192\n"},
      {head + "mat walk\n\nfill floor\n", "x.room:5: error: no colour is named \"floor\"\n"},
      {head + "rect wall 0 0 4 4\n",
       "x.room:3: error: \"rect\" needs a \"mat KIND\" line "
       "before it\n"},
      {head + "mat floor\n",
       "x.room:3: error: \"floor\" is not a kind of mat (depth-layers, "
       "depth-agent, walk, light or sound)\n"},
      {head + "mat walk\npolygon wall 0 0 10 0\n",
       "x.room:4: error: a polygon needs at least three points\n"},
      {head + "mat walk\npolygon wall 0 0 10 0 5\n", "x.room:4: error: polygon needs Y\n"},
      {head + "mat walk\nrect wall 0 0 -4 4\n",
       "x.room:4: error: the width W is -4; it must be within 0 to 1000000\n"},
      {head + "mat walk\nrect wall 0 0 4 4 5\n", "x.room:4: error: \"5\" is one word too many\n"},
      {head + "mat walk\ngradient d 10 10 0 5\n", "x.room:4: error: Y1 must be below Y0\n"},
      {head + "colour wall 000000\n",
       "x.room:3: error: colour \"wall\" is already named on "
       "line 2\n"},
      {head + "colour sky 00FF0\n",
       "x.room:3: error: \"00FF0\" is not a colour of six hex digits RRGGBB\n"},
      {head + "circle wall 1 1 1\n", "x.room:3: error: unknown command \"circle\"\n"},
      {"size 40 30\nmat walk\ngradient d 0 15 0 10\n",
       "x.room: error: the depth-layers mat has pixels no shape paints, and no colour is named for "
       "them\n"},
      {"size 40 300\nmat walk\ngradient d 0 300 0 255\n",
       "x.room:3: error: the walk mat would have more than 255 entries\n"},
  };
  for (const Case& c : cases) {
    work_.write("x.room", c.text);
    const ToolRun run = Run({"x.room", "out"});
    EXPECT_EQ(run.exitCode, 1) << c.error;
    EXPECT_EQ(run.err, c.error);
    EXPECT_FALSE(work_.exists("out/Walk Area.mat")) << c.error;
  }
  const ToolRun missing = Run({"missing.room", "out"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "missing.room: error: cannot read the recipe\n");
  for (const std::vector<std::string>& usage :
       std::vector<std::vector<std::string>>{{}, {"x.room"}, {"x.room", "out", "--preview"}}) {
    const ToolRun run = Run(usage);
    EXPECT_EQ(run.exitCode, 2) << usage.size();
    EXPECT_THAT(run.err, HasSubstr("usage: roommake")) << usage.size();
  }
  const ToolRun help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("gradient PREFIX Y0 Y1 B0 B1 [STEP]"));
}

}  // namespace
