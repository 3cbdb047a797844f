// The imgmake tool: a recipe's shapes, gradients, text and alpha read back
// through the game's image reader pixel by pixel, animation frames as
// numbered files, and faults reported as recipe:line with status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "tests/support/testsupport.h"
#include "tools/fotmake/fotwriter.h"
#include "tools/imgmake/imgfont.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// One character 'A', 4 wide and 5 high, whose first column alone is opaque
// white: text shows it as a bar 4 pixels high every 3 pixels.
std::vector<uint8_t> BarFont() {
  FotFont font;
  font.name = "Bars";
  font.first = 'A';
  font.last = 'A';
  font.height = 5;
  FotGlyph glyph;
  glyph.width = 4;
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      glyph.pixels.push_back(x == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    }
  }
  font.glyphs.push_back(glyph);
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(FotWriterBuild(font, bytes, error)) << error;
  return bytes;
}

class ImgmakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(work_.path());
    DataFileStart();
    LogStart();
  }
  void TearDown() override {
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  // Runs the tool in the work folder (arguments here hold no quotes).
  ToolRun Run(const std::vector<std::string>& args) const {
    return RunTool(IMGMAKE_BINARY, work_, args);
  }
  // The picture as the game reads it; empty when it cannot be read.
  std::vector<uint32_t> Read(const std::string& name, int32_t width, int32_t height) const {
    ImageFrame* image = nullptr;
    ImageLoad(work_.path() + name, image);
    std::vector<uint32_t> pixels;
    if (image != nullptr && image->loaded && !image->placeholder && image->width == width &&
        image->height == height) {
      pixels = image->pixels;
    }
    ImageFree(image);
    return pixels;
  }

  TempFolder work_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(ImgmakeTest, ShapesGradientsTextAndAlphaLandOnTheirPixels) {
  const std::vector<uint8_t> font = BarFont();
  work_.write("fonts/bars.fot", std::string(font.begin(), font.end()));
  work_.write("art/shapes.txt",
              "# every kind of command once\n"
              "canvas 40 30 #204060\n"
              "rect 2 2 10 6 #FF0000\n"
              "rect 14 2 10 8 #00FF00 line 2\n"
              "roundrect 2 12 12 10 4 #FFFFFF\n"
              "circle 30 20 5 #0000FF80\n"
              "line 26 0 38 0 2 #FFFF00\n"
              "rect 0 26 40 4 linear 0 0 40 0 #000000 #FF0000\n"
              "font bars bars.fot\n"
              "text bars 20+0*f 12 #FFFF00 \"AA\"\n"
              "mode replace\n"
              "rect 38 0 2 2 #00000000\n"
              "mode over\n"
              "alpha 0.5 36 10 2 2\n");
  const ToolRun run = Run({"art/shapes.txt", "out.tga", "-I", "fonts"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<uint32_t> pixels = Read("out.tga", 40, 30);
  ASSERT_EQ(pixels.size(), 40u * 30u);
  const auto at = [&](int32_t x, int32_t y) { return pixels[static_cast<size_t>(y * 40 + x)]; };
  constexpr uint32_t kBack = 0xFF204060;
  // Filled box: exactly its pixels.
  EXPECT_EQ(at(2, 2), 0xFFFF0000u);
  EXPECT_EQ(at(11, 7), 0xFFFF0000u);
  EXPECT_EQ(at(12, 7), kBack);
  EXPECT_EQ(at(11, 8), kBack);
  // Outline 2 wide: the band, not the middle.
  EXPECT_EQ(at(14, 2), 0xFF00FF00u);
  EXPECT_EQ(at(15, 3), 0xFF00FF00u);
  EXPECT_EQ(at(16, 4), kBack);
  EXPECT_EQ(at(23, 9), 0xFF00FF00u);
  // Rounded corner left clear, the middle filled.
  EXPECT_EQ(at(2, 12), kBack);
  EXPECT_EQ(at(7, 16), 0xFFFFFFFFu);
  EXPECT_EQ(at(2, 16), 0xFFFFFFFFu);
  // Half-transparent blue over the background; outside the circle untouched.
  EXPECT_EQ(at(30, 20), 0xFF1020B0u);
  EXPECT_EQ(at(30, 14), kBack);
  // Round-ended stroke.
  EXPECT_EQ(at(30, 0), 0xFFFFFF00u);
  EXPECT_EQ(at(30, 1), kBack);
  // Gradient from black to red along x, sampled at pixel centres.
  EXPECT_EQ(at(0, 27), 0xFF030000u);
  EXPECT_EQ(at(19, 27), 0xFF7C0000u);
  EXPECT_EQ(at(39, 27), 0xFFFC0000u);
  // Text: a bar at the pen, one glyph on at width - 1; the cell's last row
  // and column are not drawn.
  EXPECT_EQ(at(20, 12), 0xFFFFFF00u);
  EXPECT_EQ(at(20, 15), 0xFFFFFF00u);
  EXPECT_EQ(at(20, 16), kBack);
  EXPECT_EQ(at(21, 12), kBack);
  EXPECT_EQ(at(23, 12), 0xFFFFFF00u);
  EXPECT_EQ(at(26, 12), kBack);
  // A hole replaced into the canvas, and alpha halved.
  EXPECT_EQ(at(39, 1), 0x00000000u);
  EXPECT_EQ(at(36, 10), 0x80204060u);
  EXPECT_EQ(at(38, 12), kBack);
}

TEST_F(ImgmakeTest, FramesBecomeNumberedFilesEachDrawnWithItsNumber) {
  work_.write("anim.txt",
              "canvas 40 4 #000000\n"
              "frames 3\n"
              "rect f*10 0 2 2 #FF0000\n"
              "noise 40 7+f 25 0 15 4\n");
  ToolRun run = Run({"anim.txt", "anim_%%.tga", "--frames", "3"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::vector<uint32_t>> frames;
  for (int32_t f = 0; f < 3; ++f) {
    frames.push_back(Read("anim_0" + std::to_string(f + 1) + ".tga", 40, 4));
    ASSERT_EQ(frames.back().size(), 160u) << f;
    for (int32_t x = 0; x < 30; x += 10) {
      EXPECT_EQ(frames.back()[static_cast<size_t>(x)], x == f * 10 ? 0xFFFF0000u : 0xFF000000u)
          << f << " " << x;
    }
  }
  EXPECT_FALSE(work_.exists("anim_04.tga"));
  // The noise follows its seed: each frame's differs, and the same run
  // gives the same bytes again.
  EXPECT_NE(frames[0], frames[1]);
  const std::string first = work_.read("anim_01.tga");
  ASSERT_EQ(Run({"anim.txt", "anim_%%.tga"}).exitCode, 0);
  EXPECT_EQ(work_.read("anim_01.tga"), first);

  // A count the recipe does not make, or no place for the number, writes nothing.
  run = Run({"anim.txt", "other_%.tga", "--frames", "4"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "anim.txt:2: error: the recipe makes 3 frames; --frames asks for 4\n");
  EXPECT_EQ(Run({"anim.txt", "plain.tga"}).exitCode, 1);
  EXPECT_FALSE(work_.exists("other_1.tga"));
  EXPECT_FALSE(work_.exists("plain.tga"));
}

// One recipe drawn in several variants: values given with --set or by the
// recipe's own set lines, a table picked by the frame, a block drawn only
// in some frames, a polygon, and the picture mirrored at the end.
TEST_F(ImgmakeTest, SettingsTablesBlocksPolygonsAndFlipDrawTheirPixels) {
  work_.write("variant.txt",
              "set colour #FF0000\n"
              "set size 4\n"
              "canvas 20 10\n"
              "frames 3\n"
              "rect 0 0 ${size} 2 ${colour}\n"
              "rect pick(f,10,12,14) 5 1 1 #00FF00\n"
              "if f-1\n"
              "rect 19 9 1 1 #0000FF\n"
              "if 0\n"
              "rect 0 0 20 10 #FFFF00\n"
              "end\n"
              "end\n"
              "poly 0 4 8 4 0 8 #FFFFFF\n"
              "if ${mirror}\n"
              "flip\n"
              "end\n");
  const ToolRun run =
      Run({"variant.txt", "v_%.tga", "--set", "colour=#00FFFF", "--set", "mirror=1"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (int32_t f = 0; f < 3; ++f) {
    const std::vector<uint32_t> pixels = Read("v_" + std::to_string(f + 1) + ".tga", 20, 10);
    ASSERT_EQ(pixels.size(), 200u) << f;
    const auto at = [&](int32_t x, int32_t y) { return pixels[static_cast<size_t>(y * 20 + x)]; };
    // Mirrored: what was drawn at x is at 19 - x.
    EXPECT_EQ(at(16, 1), 0xFF00FFFFu) << f;  // the --set colour over the recipe's
    EXPECT_EQ(at(15, 1), 0u) << f;           // the recipe's size
    for (int32_t x = 5; x <= 9; ++x) {
      EXPECT_EQ(at(x, 5), x == 9 - 2 * f ? 0xFF00FF00u : 0u) << f << " " << x;
    }
    EXPECT_EQ(at(0, 9), f == 1 ? 0u : 0xFF0000FFu) << f;
    EXPECT_EQ(at(10, 0), 0u) << f;  // the block inside "if 0"
    // The triangle's corner pixels and one beyond its slanted edge.
    EXPECT_EQ(at(18, 5), 0xFFFFFFFFu) << f;
    EXPECT_EQ(at(14, 4), 0xFFFFFFFFu) << f;
    EXPECT_EQ(at(13, 7), 0u) << f;
  }
}

// Pixels wholly inside or outside a shape are not sampled point by point;
// for a disc that must change nothing: every pixel's alpha is still the
// share of its 4 x 4 sample points inside, counted here independently.
TEST_F(ImgmakeTest, DiscCoverageMatchesSixteenSamplesAtEveryPixel) {
  constexpr double kX = 10.4, kY = 9.7, kR = 6.3;
  work_.write("disc.txt", "canvas 24 20\ncircle 10.4 9.7 6.3 #FFFFFF\n");
  ASSERT_EQ(Run({"disc.txt", "disc.tga"}).exitCode, 0);
  const std::vector<uint32_t> pixels = Read("disc.tga", 24, 20);
  ASSERT_EQ(pixels.size(), 480u);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 24; ++x) {
      int32_t inside = 0;
      for (int32_t s = 0; s < 16; ++s) {
        const double px = x + (s % 4 + 0.5) / 4 - kX, py = y + (s / 4 + 0.5) / 4 - kY;
        inside += px * px + py * py <= kR * kR ? 1 : 0;
      }
      const uint32_t expected =
          inside == 0 ? 0u
                      : static_cast<uint32_t>(std::lround(255.0 * inside / 16)) << 24 | 0xFFFFFFu;
      EXPECT_EQ(pixels[static_cast<size_t>(y * 24 + x)], expected) << x << " " << y;
    }
  }
}

TEST_F(ImgmakeTest, FaultsNameTheRecipeLineAndWriteNothing) {
  const std::vector<uint8_t> font = BarFont();
  work_.write("cut.fot", std::string(font.begin(), font.begin() + 200));
  const struct {
    const char* recipe;
    const char* message;
  } cases[] = {
      {"rect 0 0 4 4 #FF0000\n", "bad.txt:1: error: a recipe starts with \"canvas W H\""},
      {"canvas 8 0\n", "bad.txt:1: error: the height is 0; it must be a whole number within"},
      {"canvas 8 8\n\n# note\nsquare 1 1 2\n", "bad.txt:4: error: unknown command \"square\""},
      {"canvas 8 8\nrect 0 0 2 2 #FF00\n", "bad.txt:2: error: \"#FF00\" is not a colour"},
      {"canvas 8 8\nframes 2\ncircle 4 4 2-f*3 #FF0000\n", "bad.txt:3: error: the radius is -1"},
      {"canvas 8 8\nframes 2\ncircle 4 4 1/f #FF0000\n",
       "bad.txt:3: error: the radius \"1/f\" is not a finite number"},
      {"canvas 8 8\nline 0 0 4 4 1 #FF0000 extra\n", "bad.txt:2: error: \"extra\" is one word"},
      {"canvas 8 8\ntext none 0 0 #FFFFFF \"A\"\n", "bad.txt:2: error: no font is named \"none\""},
      {"canvas 8 8\nfont a missing.fot\n", "bad.txt:2: error: cannot find the font"},
      {"canvas 8 8\nfont a cut.fot\n", "cut.fot: glyph image 1 is broken or cut short"},
      {"canvas 8 8\ntext a 0 0 #FFFFFF \"open\n", "bad.txt:2: error: the text has no closing"},
      {"canvas 8 8\nrect 0 0 2 2 ${ink}\n", "bad.txt:2: error: ${ink} has no value"},
      {"canvas 8 8\nrect 0 0 2 ${h #FF0000\n", "bad.txt:2: error: \"${\" has no closing"},
      {"set a-b 1\ncanvas 8 8\n", "bad.txt:1: error: set takes a NAME"},
      {"canvas 8 8\nframes 3\ncircle 4 4 pick(f,1,2) #FF0000\n",
       "bad.txt:3: error: the radius \"pick(f,1,2)\": pick has no value number 2 (it has 2"},
      {"canvas 8 8\nif 1\nrect 0 0 2 2 #FF0000\n", "bad.txt:2: error: if without its end"},
      {"canvas 8 8\nend\n", "bad.txt:2: error: end without an if"},
      {"set a 1\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\n"
       "set a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\n"
       "set a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\n"
       "set a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\n"
       "set a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\nset a (${a}+${a})\n"
       "canvas 8 8\n",
       "bad.txt:19: error: ${a} makes a word longer than 1000000 characters"},
      {"canvas 8 8\npoly 0 0 4 4 #FF0000\n", "bad.txt:2: error: poly needs three or more"},
  };
  for (const auto& c : cases) {
    work_.write("bad.txt", c.recipe);
    const ToolRun run = Run({"bad.txt", "bad_%.tga"});
    EXPECT_EQ(run.exitCode, 1) << c.recipe;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.recipe;
    EXPECT_THAT(run.err, StartsWith("bad.txt:")) << c.recipe;
    EXPECT_FALSE(work_.exists("bad_1.tga")) << c.recipe;
    EXPECT_FALSE(work_.exists("bad_1.tga.part")) << c.recipe;
    EXPECT_FALSE(work_.exists("bad_2.tga")) << c.recipe;
  }
  EXPECT_EQ(Run({"only-one-file.txt"}).exitCode, 2);
  EXPECT_EQ(Run({"bad.txt", "bad.tga", "--set", "no-name=1"}).exitCode, 2);
}

// A font file cut at every length is refused, except right after its
// header (a font without glyphs, as the game reads it), never read past its end.
TEST(ImgFontTest, EveryCutOfAFontIsReadSafely) {
  const std::vector<uint8_t> bytes = BarFont();
  ImgFont font;
  std::string error;
  ASSERT_TRUE(ImgFontRead(bytes, font, error)) << error;
  EXPECT_EQ(font.name, "Bars");
  EXPECT_EQ(font.glyphs['A'].width, 4);
  EXPECT_EQ(ImgFontTextWidth(font, "AAB"), 6);
  constexpr size_t kHeaderEnd = 2 + 5 + 5 + 3;  // version, chunk head, "Bars" and 0, three bytes
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_EQ(ImgFontRead(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), font, error),
              length == kHeaderEnd)
        << length;
  }
}

}  // namespace
