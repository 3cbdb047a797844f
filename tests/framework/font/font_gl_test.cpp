// Text drawn on a real display (SDL under a virtual X server with Mesa): the
// pixels read back must show each glyph's cell from the font file at the
// place the pen puts it.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "platform/platform.h"
#include "tests/framework/font/font_files.h"

namespace {

using ::testing::Contains;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 120;
constexpr int32_t kFontHeight = 14;

// The window's pixels as 0x00RRGGBB, rows from the top.
std::vector<uint32_t> ReadWindow() {
  std::vector<uint8_t> bytes(static_cast<size_t>(kWidth) * kHeight * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  std::vector<uint32_t> pixels;
  for (int32_t row = kHeight - 1; row >= 0; --row) {
    for (int32_t column = 0; column < kWidth; ++column) {
      const uint8_t* p = &bytes[(static_cast<size_t>(row) * kWidth + column) * 4];
      pixels.push_back(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
    }
  }
  return pixels;
}

// The largest difference of one channel, and where it is.
std::string Compare(const std::vector<uint32_t>& drawn, const std::vector<uint32_t>& expected,
                    int* largest) {
  *largest = 0;
  std::string where = "none";
  for (size_t i = 0; i < drawn.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int difference = std::abs(static_cast<int>((drawn[i] >> shift) & 0xFF) -
                                      static_cast<int>((expected[i] >> shift) & 0xFF));
      if (difference > *largest) {
        *largest = difference;
        where = "(" + std::to_string(i % kWidth) + ", " + std::to_string(i / kWidth) + ")";
      }
    }
  }
  return where;
}

// What a line of text looks like on black: each character of the set shows
// its cell without the last column and row, the next one width - 1 further.
class Canvas {
 public:
  explicit Canvas(const FotFont& font) : font_(font), pixels_(kWidth * kHeight, 0) {}
  void Line(int32_t x, int32_t y, const std::string& text) {
    for (const unsigned char c : text) {
      if (c < font_.first || c > font_.last) {
        continue;
      }
      const FotGlyph& glyph = font_.glyphs[c - font_.first];
      if (x < 0 || y < 0 || x + glyph.width > kWidth || y + font_.height > kHeight) {
        ADD_FAILURE() << "text outside the window";
        return;
      }
      for (int32_t row = 0; row < font_.height - 1; ++row) {
        for (int32_t column = 0; column < glyph.width - 1; ++column) {
          const uint32_t pixel = glyph.pixels[row * glyph.width + column];
          pixels_[(y + row) * kWidth + x + column] = pixel >> 24 != 0 ? pixel & 0xFFFFFFu : 0;
        }
      }
      x += glyph.width - 1;
    }
  }
  int32_t Width(const std::string& text) const {
    int32_t width = 0;
    for (const unsigned char c : text) {
      if (c >= font_.first && c <= font_.last) {
        width += font_.glyphs[c - font_.first].width - 1;
      }
    }
    return width;
  }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  const FotFont& font_;
  std::vector<uint32_t> pixels_;
};

// Characters ' ' to 'z' of widths 3 to 14: rows of an image break at varied
// places and the set takes several images.
FotFont TestFont() {
  std::vector<int32_t> widths;
  for (int32_t c = ' '; c <= 'z'; ++c) {
    widths.push_back(3 + (c * 7) % 12);
  }
  return PatternFont(' ', 'z', kFontHeight, widths);
}

class FontGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
    PlatformSetProgramPath(folder_.path() + "game");
    PlatformSetParameters({"-userdatainapp"});
    DataFileStart();
    LogStart();
    FontStart();
    ModelStart();
    GraphicsStart();
    PlatformWindowParams params;
    params.title = "font";
    params.width = kWidth;
    params.height = kHeight;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    display_ = GraphicsDisplayAdd(window_, "Primary", 0);
    ASSERT_TRUE(GraphicsDisplayCreateRC(display_));
    WriteBytes(folder_, "Bin/Fonts/Test.fot", FontBytes(font_));
    id_ = FontOpen(display_, "Bin\\Fonts\\Test.fot");
    ASSERT_GT(id_, 0);
    FontSetColour(id_, 0xFFFFFFFFu);
    BeginFrame();
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    GraphicsStop();
    ModelStop();
    FontStop();
    LogStop();
    DataFileStop();
    PlatformStop();
  }
  void BeginFrame() {
    GraphicsRenderBegin(display_);
    GraphicsSetOrtho(kWidth, kHeight);
  }
  void RebuildContext() {
    ModelAssetsFree();
    GraphicsDisplaysFreeRC();
    GraphicsDisplaysRecreateRC();
    ModelAssetsRecompile();
    BeginFrame();
  }
  void ExpectDrawn(const Canvas& canvas) {
    int largest = 0;
    const std::string where = Compare(ReadWindow(), canvas.Pixels(), &largest);
    EXPECT_LE(largest, 2) << "at " << where;
  }
  std::vector<std::string> LogLines() const { return SplitLines(folder_.read("results.log")); }

  TempFolder folder_;
  const FotFont font_ = TestFont();
  PlatformWindow window_ = 0;
  int32_t display_ = 0;
  int32_t id_ = 0;
};

const std::string kPangram = "Sphinx of black quartz, judge my vow!";

TEST_F(FontGlTest, ALineShowsEachGlyphWhereThePenPutsIt) {
  ASSERT_GT(FotWriterImages(font_).size(), 3u);
  FontDraw(id_, 7, 5, kPangram);
  FontDraw(id_, 3, 30, "~\x7F{|}0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  FontDrawClipped(id_, 11, 60, 100, "[\\]^_`abcdefghijklmnopqrstuvwxyz");
  Canvas canvas(font_);
  canvas.Line(7, 5, kPangram);
  canvas.Line(3, 30, "0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  std::string clipped = "[\\]^_`abcdefghijklmnopqrstuvwxyz";
  while (canvas.Width(clipped) > 100) {
    clipped.pop_back();
  }
  canvas.Line(11, 60, clipped);
  ExpectDrawn(canvas);
}

TEST_F(FontGlTest, WrappedLinesBreakWhereDesignedAndAlignInTheirBox) {
  Canvas canvas(font_);
  // The last line just fits; the word before the break gets its own line.
  const int32_t wrapWidth = canvas.Width("judge my vow!") + 1;
  ASSERT_LT(canvas.Width("Sphinx of black"), wrapWidth);
  ASSERT_GE(canvas.Width("Sphinx of black quartz,"), wrapWidth);
  FontDrawWrapped(id_, 4, 2, wrapWidth, "Sphinx of black quartz,\r\njudge my vow!");
  const std::vector<std::string> wrapped = {"Sphinx of black", "quartz,", "judge my vow!"};
  for (size_t i = 0; i < wrapped.size(); ++i) {
    canvas.Line(4, 2 + static_cast<int32_t>(i) * kFontHeight, wrapped[i]);
  }

  const std::vector<std::string> lines = {"Sphinx", "judge my vow!", "quartz"};
  FontDrawLines(id_, 10, 60, kFontAlignCentre, 0, 140, 2, lines);
  canvas.Line(10 + (140 - canvas.Width(lines[1])) / 2, 60, lines[1]);
  canvas.Line(10 + (140 - canvas.Width(lines[2])) / 2, 60 + kFontHeight, lines[2]);
  // A box one pixel short of two lines holds one.
  FontDrawLines(id_, 260, 60, kFontAlignRight, 2 * kFontHeight - 1, 150, 1, lines);
  canvas.Line(260 + 150 - canvas.Width(lines[0]), 60, lines[0]);
  ExpectDrawn(canvas);
}

TEST_F(FontGlTest, TextDrawsTheSameAfterTheContextIsRebuilt) {
  FontDraw(id_, 2, 40, kPangram);
  const std::vector<uint32_t> before = ReadWindow();
  ASSERT_NE(before, std::vector<uint32_t>(kWidth * kHeight, 0));
  RebuildContext();
  FontDraw(id_, 2, 40, kPangram);
  int largest = 0;
  EXPECT_EQ(Compare(ReadWindow(), before, &largest), "none");
}

TEST_F(FontGlTest, AFontThatCannotBeReadAgainIsDeletedWithTheRebuild) {
  const std::vector<uint8_t> bytes = FontBytes(font_);
  // The file ends in the middle of the second image's pixels.
  WriteBytes(folder_, "Bin/Fonts/Test.fot",
             std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2 * 16400));
  RebuildContext();
  EXPECT_THAT(LogLines(),
              Contains("Error: FontRebuildTexel -Could not read pixel data when rebuilding font "
                       "\"Bin\\Fonts\\Test.fot\".  Font deleted."));
  EXPECT_EQ(FontGetHeight(id_), 0);
  EXPECT_EQ(ModelTextureFind(display_, "Bin\\Fonts\\Test.fot"), nullptr);

  // Without its file a font goes as well, rather than drawing blocks.
  WriteBytes(folder_, "Bin/Fonts/Test.fot", bytes);
  id_ = FontOpen(display_, "Bin\\Fonts\\Test.fot");
  ASSERT_GT(id_, 0);
  std::remove((folder_.path() + "Bin/Fonts/Test.fot").c_str());
  RebuildContext();
  EXPECT_THAT(LogLines(), Contains("Error: FontRebuildStart - Unable to load font "
                                   "\"Bin\\Fonts\\Test.fot\"."));
  EXPECT_THAT(LogLines(), Contains("Error: ModelAssetsRecompile - Could not reread font file."));
  EXPECT_EQ(FontGetHeight(id_), 0);
  FontDraw(id_, 2, 40, kPangram);
  EXPECT_EQ(ReadWindow(), std::vector<uint32_t>(kWidth * kHeight, 0));
}

}  // namespace
