// The sheetmake tool, run as authors run it: the sheets it writes are read
// back by the game's sheet reader, and its check finds each kind of fault
// with its line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "game/agents.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Text(const AnimationPoint& point) {
  return std::to_string(point.x) + "," + std::to_string(point.y);
}

std::vector<std::string> Describe(const Animation& animation) {
  std::vector<std::string> frames;
  for (const AnimationFrame& frame : animation.frames) {
    const size_t slash = frame.imageFile.find_last_of('\\');
    frames.push_back(frame.imageFile.substr(slash + 1) + " sprite " + Text(frame.sprite) +
                     " prev " + Text(frame.prev) + " next " + Text(frame.next) +
                     (frame.hasHead ? " head " + Text(frame.head) : "") + " repeat " +
                     std::to_string(frame.repeat));
  }
  return frames;
}

class SheetmakeTest : public ::testing::Test {
 protected:
  void SetUp() override { modules_ = std::make_unique<ContentModules>(work_.path()); }
  void TearDown() override { modules_.reset(); }

  ToolRun Sheetmake(const std::vector<std::string>& args) const {
    return RunTool(SHEETMAKE_BINARY, work_, args);
  }
  // A 20 x 30 frame, transparent but for an opaque block from (left, top)
  // to (right, bottom) inclusive, saved as a 32-bit picture.
  // Without alpha (24 bits), the whole frame is opaque.
  void Frame(const std::string& name, int32_t left, int32_t top, int32_t right, int32_t bottom,
             uint8_t depth = 32) const {
    ImageFrame* image = nullptr;
    ImageFrame* frame = ImageFrameNew(image);
    frame->width = 20;
    frame->height = 30;
    frame->bitsPerPixel = depth;
    frame->pixels.assign(20 * 30, 0x00FFFFFF);
    for (int32_t y = top; y <= bottom; ++y) {
      for (int32_t x = left; x <= right; ++x) {
        frame->pixels[static_cast<size_t>(y * 20 + x)] = 0xFF804020;
      }
    }
    std::filesystem::create_directories(std::filesystem::path(work_.path() + name).parent_path());
    ASSERT_TRUE(ImageSave(work_.path() + name, image));
    ImageFree(image);
  }
  // Runs the check on the sheet text, saved as "Det/check.txt".
  ToolRun Check(const std::string& sheet, const std::vector<std::string>& options = {}) const {
    work_.write("Det/check.txt", sheet);
    std::vector<std::string> args = {"--check", "Det/check.txt"};
    args.insert(args.end(), options.begin(), options.end());
    return Sheetmake(args);
  }

  TempFolder work_;
  std::unique_ptr<ContentModules> modules_;
};

TEST_F(SheetmakeTest, SheetsMadeFromFramesAreReadBackByTheGame) {
  Frame("Det/w1.tga", 4, 0, 8, 25);   // feet 6,25
  Frame("Det/w2.tga", 9, 2, 14, 29);  // feet 11,29 (at the bottom edge)
  Frame("Det/Wave/up.bmp", 0, 0, 19, 29);
  Frame("Det/flat.tga", 2, 2, 3, 3, 24);  // feet 9,29
  work_.write("det.txt",
              "# walking right\n"
              "sprite feet\n"
              "stride 10 -1\n"
              "head 10 4\n"
              "frame w1.tga w2.tga\n"
              "\n"
              "stride none\n"
              "head none\n"
              "sprite 3 7\n"
              "repeat -1\n"
              "frame \"Wave/up.bmp\"\n"
              "sprite feet\n"
              "repeat 0\n"
              "frame flat.tga\n");
  const ToolRun run = Sheetmake({"det.txt", "Det/walk.txt"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string sheet = work_.read("Det/walk.txt");
  EXPECT_TRUE(sheet.starts_with("1.0\r\n4\r\nw1.tga\r\n"));
  EXPECT_EQ(sheet.find('\n'), sheet.find("\r\n") + 1);

  Animation animation;
  ASSERT_TRUE(AnimationOpen(animation, work_.path() + "Det/walk.txt", false));
  EXPECT_THAT(Describe(animation),
              ElementsAre("w1.tga sprite 6,25 prev 0,0 next 10,-1 head 10,4 repeat 0",
                          "w2.tga sprite 11,29 prev 0,0 next 10,-1 head 10,4 repeat 0",
                          "up.bmp sprite 3,7 prev 0,0 next 0,0 repeat -1",
                          "flat.tga sprite 9,29 prev 0,0 next 0,0 repeat 0"));
  EXPECT_TRUE(animation.frames[2].imageFile.ends_with("/Det\\Wave\\up.bmp"));

  // The walk part passes the check; the whole, whose last frames do not
  // move, does not.
  work_.write("walk.txt", "sprite feet\nstride 10 0\nframe w1.tga w2.tga w1.tga\n");
  ASSERT_EQ(Sheetmake({"walk.txt", "Det/right.txt"}).exitCode, 0);
  const ToolRun good = Sheetmake({"--check", "Det/right.txt", "--walk", "right"});
  EXPECT_EQ(good.exitCode, 0) << good.err;
  EXPECT_THAT(good.out, HasSubstr("3 frames, no faults"));
  EXPECT_EQ(Sheetmake({"--check", "Det/walk.txt", "--walk", "right"}).exitCode, 1);
}

TEST_F(SheetmakeTest, DescriptionFaultsNameTheirLine) {
  Frame("Det/w1.tga", 4, 0, 8, 25);
  Frame("Det/empty.tga", 0, 0, -1, -1);
  const struct {
    std::string description;
    std::string error;
  } cases[] = {
      {"frame w1.tga\nwalk 3\n", "d.txt:2: error: unknown command \"walk\""},
      {"stride 10\nframe w1.tga\n", "d.txt:1: error: stride needs a y"},
      {"head 1 x\n", "d.txt:1: error: \"x\" is not a whole number"},
      {"frame\n", "d.txt:1: error: frame needs a picture"},
      {"sprite 1 2\n", "d.txt: error: the description lists no frames"},
      {"frame w1.tga\nframe w9.tga\n", "d.txt:2: error: cannot read the picture"},
      {"sprite feet\nframe empty.tga\n", "d.txt:2: error: \"empty.tga\" has no opaque pixel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    work_.write("d.txt", c.description);
    const ToolRun run = Sheetmake({"d.txt", "Det/out.txt"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(c.error));
    EXPECT_FALSE(work_.exists("Det/out.txt"));
  }
  EXPECT_EQ(Sheetmake({"d.txt"}).exitCode, 2);
  EXPECT_EQ(Sheetmake({"--check"}).exitCode, 2);
  EXPECT_EQ(Sheetmake({"--check", "x.txt", "--walk", "north"}).exitCode, 2);
  const ToolRun help = Sheetmake({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("--check"));
}

TEST_F(SheetmakeTest, TheCheckFindsEachFaultWithItsLine) {
  Frame("Det/a.tga", 4, 0, 8, 25);
  const std::string a = "a.tga\r\n1\r\nsprite=6,25\r\n";
  const std::string step = "a.tga\r\n3\r\nsprite=6,25\r\nprev=0,0\r\nnext=";
  const struct {
    std::string sheet;
    std::vector<std::string> options;
    std::vector<std::string> errors;
  } cases[] = {
      {"1.0\r\n1\r\n" + a, {}, {}},
      {"1.0\r\n2\r\n" + a + "b.tga\r\n0\r\n",
       {},
       {"Det/check.txt:6: error: frame 2's picture \"b.tga\" is missing or unreadable"}},
      {"1.0\r\n1\r\n" + a + a + "\r\n",
       {},
       {"Det/check.txt:2: error: the sheet declares 1 frames and lists 2"}},
      {"1.0\r\n3\r\n" + a + a,
       {},
       {"Det/check.txt: error: the game says: AnimationOpen - Exposure sheet \"" + work_.path() +
            "Det/check.txt\" ends after 2 of 3 frames.",
        "Det/check.txt:2: error: the sheet declares 3 frames and lists 2"}},
      // A property count one short: the last property is read as the next
      // frame's picture name.
      {"1.0\r\n1\r\na.tga\r\n1\r\nsprite=6,25\r\nhead=1\r\n0\r\n",
       {},
       {"Det/check.txt:6: error: frame 2's picture \"head=1\" looks like a property line: a "
        "property count does not match its lines",
        "Det/check.txt:2: error: the sheet declares 1 frames and lists 2"}},
      {"1.0\r\n1\r\na.tga\r\n3\r\nsprite=20,0\r\nhead=3,-1\r\nrepeat=x\r\n",
       {},
       {"Det/check.txt:7: error: the property line \"repeat=x\" has a repeat that is not a whole "
        "number: the game ignores it",
        "Det/check.txt:3: error: frame 1's sprite point 20,0 lies outside its 20 x 30 picture",
        "Det/check.txt:3: error: frame 1's head point 3,-1 lies outside its 20 x 30 picture"}},
      {"1.0\r\n2\r\n" + step + "5,0\r\n" + step + "5,0\r\n", {"--walk", "right"}, {}},
      {"1.0\r\n2\r\n" + step + "5,0\r\n" + step + "0,0\r\n",
       {"--walk", "right"},
       {"Det/check.txt:8: error: the step from frame 2 to 1 has a stride of 0"}},
      {"1.0\r\n2\r\n" + step + "5,0\r\n" + step + "0,-4\r\n",
       {"--walk", "down"},
       {"Det/check.txt:3: error: the step from frame 1 to 2 moves 5,0, not down",
        "Det/check.txt:8: error: the step from frame 2 to 1 moves 0,-4, not down"}},
      {"1.0\r\n1\r\n" + a,
       {"--head"},
       {"Det/check.txt:2: error: a head set needs 11 frames, "
        "one for each mouth, and has 1"}},
      {"2.0\r\n1\r\n" + a,
       {},
       {"Det/check.txt: error: the game says: AnimationOpen - Unsupported major version \"2\" "
        "in exposure sheet \"" +
        work_.path() + "Det/check.txt\"."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sheet);
    const ToolRun run = Check(c.sheet, c.options);
    EXPECT_EQ(run.exitCode, c.errors.empty() ? 0 : 1);
    EXPECT_EQ(SplitLines(run.err), c.errors);
  }
  std::string heads = "1.0\r\n11\r\n";
  for (int i = 0; i < 11; ++i) {
    heads += a;
  }
  EXPECT_EQ(Check(heads, {"--head"}).exitCode, 0);
}

}  // namespace
