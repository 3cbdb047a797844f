// modelshot, run as a program on models modelconv makes from OBJ text: a
// square facing the eye shows its texel times the ramp's bright step, turned
// 70 degrees the dark step, with the background untouched around it; picking
// shows nothing but the pick mat's colours, the front's in the middle; a
// damaged model is reported with the game's own log line and exit status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr uint32_t kWood = 0xC87828;        // the texture's one colour
constexpr uint32_t kBackground = 0x3050A0;  // around the model

// A square of side 2 in the z = 0 plane, facing +z (towards the eye).
const char kSquareObj[] =
    "mtllib square.mtl\n"
    "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "usemtl wood\n"
    "f 1/1 2/2 3/3 4/4\n";

// A cube of side 2 around the origin, one group per side pair.
const char kCubeObj[] =
    "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
    "g FRONT\nf 1 2 3 4\nf 6 5 8 7\n"
    "g TOP\nf 4 3 7 8\nf 5 6 2 1\n"
    "g SIDE\nf 2 6 7 3\nf 5 1 4 8\n";

class ModelshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    DataFileStart();
    LogStart();
    UtilitiesStart();
    ImageStart();
    MatStart();
  }
  void TearDown() override {
    MatStop();
    ImageStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  static ToolRun Expect(const ToolRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  }
  ToolRun Convert(const std::vector<std::string>& args) const {
    return Expect(RunTool(MODELCONV_BINARY, folder_, args));
  }
  ToolRun Shoot(const std::vector<std::string>& args) const {
    return RunTool(MODELSHOT_BINARY, folder_, args);
  }
  void WriteFlatPicture(const std::string& relative, uint32_t color) const {
    ImageFrame* image = nullptr;
    ImageFrame* frame = ImageFrameNew(image);
    frame->width = 4;
    frame->height = 4;
    frame->bitsPerPixel = 24;
    frame->pixels.assign(16, 0xFF000000 | color);
    ASSERT_TRUE(ImageSave(folder_.path() + relative, image));
    ImageFree(image);
  }
  // The picture's pixels as 0xRRGGBB, row 0 at the top.
  std::vector<uint32_t> Picture(const std::string& relative) const {
    ImageFrame* image = nullptr;
    ImageLoad(folder_.path() + relative, image);
    std::vector<uint32_t> pixels;
    if (image != nullptr && image->loaded && !image->placeholder) {
      for (const uint32_t pixel : image->pixels) {
        pixels.push_back(pixel & 0xFFFFFF);
      }
    }
    ImageFree(image);
    return pixels;
  }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// Each channel of a scaled by step / 255, within 2.
void ExpectShaded(uint32_t pixel, uint32_t color, uint32_t step) {
  for (const int shift : {16, 8, 0}) {
    const int want = static_cast<int>(((color >> shift) & 0xFF) * step / 255);
    EXPECT_NEAR(static_cast<int>((pixel >> shift) & 0xFF), want, 2)
        << std::hex << pixel << " against " << color << " x " << std::dec << step;
  }
}

TEST_F(ModelshotTest, ASquareShowsItsTexelTimesTheRampStepFacingTheEyeAndTurned) {
  folder_.write("Bin/square.obj", kSquareObj);
  folder_.write("Bin/square.mtl", "newmtl wood\nmap_Kd wood.tga\n");
  WriteFlatPicture("Bin/wood.tga", kWood);
  Convert({"--ramp", "2", "Bin/square.obj", "Bin/square.ms3d"});  // steps 128 and 255
  for (const int yaw : {0, 70}) {
    SCOPED_TRACE(yaw);
    const std::string picture = "shot" + std::to_string(yaw) + ".tga";
    Expect(Shoot({"--size", "160x120", "--angles", "0," + std::to_string(yaw) + ",0", "--distance",
                  "6", "--background", "3050A0", "Bin/square.ms3d", picture}));
    const std::vector<uint32_t> pixels = Picture(picture);
    ASSERT_EQ(pixels.size(), 160u * 120u);
    ExpectShaded(pixels[60 * 160 + 80], kWood, yaw == 0 ? 255 : 128);
    // Far from the square: the background, exactly.
    EXPECT_EQ(pixels[0], kBackground);
    EXPECT_EQ(pixels[5 * 160 + 80], kBackground);
    EXPECT_EQ(pixels[60 * 160 + 2], kBackground);
  }
}

TEST_F(ModelshotTest, PickingShowsOnlyThePickMatsColoursWithTheFrontInTheMiddle) {
  folder_.write("Bin/cube.obj", kCubeObj);
  Convert({"--pick", "Bin/cube.obj", "Bin/Cube/cube.ms3d"});
  Mat mat;
  MatOpen(folder_.path() + "Bin/Cube/cube.mat", mat);
  ASSERT_EQ(mat.entries.size(), 4u);
  std::set<uint32_t> labelled;
  for (const MatEntry& entry : mat.entries) {
    labelled.insert(entry.color);
  }
  Expect(Shoot({"--pick", "--size", "100x100", "Bin/Cube/cube.ms3d", "front.tga"}));
  EXPECT_EQ(Picture("front.tga").at(50 * 100 + 50), mat.entries[1].color);  // FRONT

  Expect(Shoot(
      {"--pick", "--angles", "30,40,0", "--size", "100x100", "Bin/Cube/cube.ms3d", "turned.tga"}));
  const std::vector<uint32_t> pixels = Picture("turned.tga");
  ASSERT_EQ(pixels.size(), 100u * 100u);
  std::set<uint32_t> seen(pixels.begin(), pixels.end());
  EXPECT_EQ(seen, labelled);  // all three sides and the background, nothing blended
}

TEST_F(ModelshotTest, ADamagedModelIsReportedWithTheGamesLogLine) {
  folder_.write("Bin/cube.obj", kCubeObj);
  Convert({"Bin/cube.obj", "Bin/cube.ms3d"});
  const std::string whole = folder_.read("Bin/cube.ms3d");
  folder_.write("Bin/cut.ms3d", whole.substr(0, whole.size() / 2));
  const ToolRun run = Shoot({"Bin/cut.ms3d", "cut.tga"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith(folder_.path() + "Bin/cut.ms3d: "));
  EXPECT_THAT(run.err, HasSubstr("cut.ms3d"));
  EXPECT_FALSE(folder_.exists("cut.tga"));
  const ToolRun usage = Shoot({"--size", "0x10", "Bin/cube.ms3d", "x.tga"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_THAT(usage.err, HasSubstr("--size needs WxH"));
}

}  // namespace
