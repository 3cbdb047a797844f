// The matmake tool: a picture and labels file become a mat the game reads,
// the dump gives back the picture and a labels file that rebuilds the same
// mat, and faults are reported as file:line.
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
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int32_t kWidth = 37;
constexpr int32_t kHeight = 23;

// Bands and a checkered block in four colours, with alpha that varies
// (the tool ignores it).
uint32_t PictureColor(int32_t x, int32_t y) {
  static constexpr uint32_t kColors[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
  const int32_t which = x < 10 ? 0 : y < 8 ? 1 : (x + y) % 2 == 0 ? 2 : 3;
  return kColors[which];
}

class MatmakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(work_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    DataFileStart();
    LogStart();
    UtilitiesStart();
    MatStart();
  }
  void TearDown() override {
    MatStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  // Runs the tool in the work folder (arguments here hold no quotes).
  ToolRun Run(const std::vector<std::string>& args) const {
    return RunTool(MATMAKE_BINARY, work_, args);
  }

  void WritePicture(const std::string& name, const std::vector<uint32_t>& pixels, int32_t width,
                    int32_t height) const {
    ImageFrame* image = nullptr;
    ImageFrame* frame = ImageFrameNew(image);
    frame->width = width;
    frame->height = height;
    frame->bitsPerPixel = 32;
    frame->pixels = pixels;
    ASSERT_TRUE(ImageSave(work_.path() + name, image));
    ImageFree(image);
  }
  std::vector<uint32_t> ReadPicture(const std::string& name) const {
    ImageFrame* image = nullptr;
    ImageLoad(work_.path() + name, image);
    std::vector<uint32_t> pixels;
    if (image != nullptr && image->loaded && !image->placeholder) {
      pixels = image->pixels;
    }
    ImageFree(image);
    return pixels;
  }
  void WriteSample() const {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        pixels.push_back(PictureColor(x, y) | static_cast<uint32_t>(x * 7 + y) << 24);
      }
    }
    WritePicture("pic.tga", pixels, kWidth, kHeight);
    work_.write("labels.txt",
                "# Room floor\r\n"
                "\n"
                "  0000FF   Stairs Up  \n"
                "FF0000 Walk Area\n"
                "7F00FF00 Door\n"
                "ABCDEF Unused\n"
                "123456\n");
  }

  TempFolder work_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(MatmakeTest, PictureBecomesAMatAndTheDumpRebuildsTheSameMat) {
  WriteSample();
  ToolRun run = Run({"pic.tga", "labels.txt", "room.mat"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "labels.txt:6: warning: colour ABCDEF (\"Unused\") appears nowhere in pic.tga; kept as "
            "entry 3\n");

  // The game's reader sees the labels in file order and each pixel's label.
  Mat mat;
  MatOpen("room.mat", mat);
  ASSERT_TRUE(MatIsValid(mat));
  ASSERT_EQ(mat.width, kWidth);
  ASSERT_EQ(mat.height, kHeight);
  const std::vector<std::pair<std::string, uint32_t>> expected = {{"Stairs Up", 0x0000FF},
                                                                  {"Walk Area", 0xFF0000},
                                                                  {"Door", 0x7F00FF00},
                                                                  {"Unused", 0xABCDEF},
                                                                  {"", 0x123456}};
  ASSERT_EQ(mat.entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(mat.entries[i].name, expected[i].first) << i;
    EXPECT_EQ(mat.entries[i].color, expected[i].second) << i;
  }
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const int32_t entry = MatEntryAt(mat, x, y);
      ASSERT_EQ(mat.entries[entry].color & 0xFFFFFF, PictureColor(x, y)) << x << "," << y;
    }
  }

  // The dump draws the same picture and lists a labels file that rebuilds
  // the mat byte for byte.
  run = Run({"--dump", "room.mat", "back.tga"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<uint32_t> back = ReadPicture("back.tga");
  ASSERT_EQ(back.size(), static_cast<size_t>(kWidth * kHeight));
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      ASSERT_EQ(back[y * kWidth + x] & 0xFFFFFF, PictureColor(x, y)) << x << "," << y;
    }
  }
  EXPECT_THAT(SplitLines(run.out),
              ElementsAre("# room.mat: 37 x 23 pixels, 5 entries", "# entry 0: 203 pixels",
                          "0000FF Stairs Up", "# entry 1: 230 pixels", "FF0000 Walk Area",
                          "# entry 2: 216 pixels", "7F00FF00 Door", "# entry 3: 0 pixels",
                          "ABCDEF Unused", "# entry 4: 202 pixels", "123456"));
  work_.write("dumped.txt", run.out);
  run = Run({"back.tga", "dumped.txt", "again.mat"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(work_.read("again.mat") == work_.read("room.mat"));
}

TEST_F(MatmakeTest, FaultsAreReportedWithTheirFileAndLine) {
  WriteSample();
  std::vector<uint32_t> stray(kWidth * kHeight, 0xFF0000);
  stray[3 * kWidth + 5] = 0x00FF01;
  stray[4 * kWidth + 1] = 0x00FF01;
  WritePicture("stray.tga", stray, kWidth, kHeight);
  std::string manyLabels;
  for (int i = 0; i < 256; ++i) {
    manyLabels += std::to_string(100000 + i) + " label\n";
  }
  work_.write("many.txt", manyLabels);
  work_.write("badcolor.txt", "FF0000 Walk\n\n0FF00 Door\n");
  work_.write("twice.txt", "FF0000 Walk\n# again\nff0000 Run\n");
  work_.write("longname.txt", "FF0000 " + std::string(256, 'n') + "\n");
  work_.write("empty.txt", "# nothing\n");
  work_.write("bad.mat", std::string("MAT\x01\x00\x01\x00\x00\x00\x01\x00\x00\x00\x01", 14) +
                             std::string("\x00\x00\x00\x00\x00\x01\x00\x03", 8));
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"stray.tga", "labels.txt", "x.mat"},
       "stray.tga: pixel (5, 3) has colour 00FF01, which labels.txt does not name\n"},
      {{"pic.tga", "badcolor.txt", "x.mat"},
       "badcolor.txt:3: \"0FF00\" is not a colour of six (or eight) hex digits\n"},
      {{"pic.tga", "twice.txt", "x.mat"},
       "twice.txt:3: colour FF0000 is already named on line 1\n"},
      {{"pic.tga", "longname.txt", "x.mat"},
       "longname.txt:1: the name is 256 bytes long; a mat name holds at most 255\n"},
      {{"pic.tga", "many.txt", "x.mat"},
       "many.txt:256: more than 255 labels; a mat holds at most 255 entries\n"},
      {{"pic.tga", "empty.txt", "x.mat"}, "empty.txt: names no colour\n"},
      {{"pic.tga", "missing.txt", "x.mat"}, "missing.txt: cannot open the labels file\n"},
      {{"labels.txt", "labels.txt", "x.mat"},
       "labels.txt: a picture must be a \".tga\" or \".bmp\" file\n"},
      {{"missing.tga", "labels.txt", "x.mat"}, "missing.tga: cannot read the picture\n"},
      {{"--dump", "bad.mat"}, "bad.mat: MatOpenRawEmbedded - Invalid mat run index \"3\".\n"},
      {{"--dump", "x.mat"}, "x.mat: MatOpenRaw - Unable to open \"" + work_.path() + "x.mat\".\n"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, 1) << c.error;
    EXPECT_EQ(run.err, c.error);
    EXPECT_FALSE(work_.exists("x.mat")) << c.error;
  }

  for (const std::vector<std::string>& usage :
       std::vector<std::vector<std::string>>{{}, {"pic.tga", "labels.txt"}, {"--dump"}}) {
    const ToolRun run = Run(usage);
    EXPECT_EQ(run.exitCode, 2) << usage.size();
    EXPECT_THAT(run.err, HasSubstr("usage: matmake")) << usage.size();
  }
  const ToolRun help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("matmake --dump <in.mat>"));
}

}  // namespace
