// Fonts without a rendering context: opening, finding and deleting fonts per
// display, measuring and wrapping, and files that are damaged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "tests/framework/font/font_files.h"

namespace {

using ::testing::Contains;
using Bytes = std::vector<uint8_t>;

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataFileStart();
    LogStart();
    FontStart();
    ModelStart();
    GraphicsStart();
    display_ = GraphicsDisplayAdd(0, "Primary", 0);
  }
  void TearDown() override {
    GraphicsStop();
    ModelStop();
    FontStop();
    LogStop();
    DataFileStop();
  }
  std::vector<std::string> LogLines() const {
    return folder_.exists("results.log") ? SplitLines(folder_.read("results.log"))
                                         : std::vector<std::string>{};
  }

  TempFolder folder_;
  HeadlessPlatform platform_{folder_.path(), {"-userdatainapp"}};
  int32_t display_ = 0;
};

TEST_F(FontTest, FontsBelongToTheirDisplayAndGoWithIt) {
  WriteBytes(folder_, "Bin/Fonts/A.fot", FontBytes(PatternFont('a', 'c', 12, {1, 5, 9})));
  WriteBytes(folder_, "Bin/Fonts/B.fot", FontBytes(PatternFont('a', 'a', 7, {4})));
  const int32_t first = FontOpen(display_, "Bin\\Fonts\\A.fot");
  ASSERT_GT(first, 0);
  EXPECT_EQ(FontOpen(display_, "bin\\fonts\\a.FOT"), first);
  EXPECT_EQ(FontFindByName(display_, "PATTERN"), first);
  EXPECT_EQ(FontTextWidth(first, "a b c z"), 0 + 4 + 8);

  const int32_t second = GraphicsDisplayAdd(0, "Second", 0);
  const int32_t onSecond = FontOpen(second, "Bin\\Fonts\\A.fot");
  const int32_t other = FontOpen(second, "Bin\\Fonts\\B.fot");
  EXPECT_GT(onSecond, first);
  EXPECT_EQ(other, onSecond + 1);
  EXPECT_EQ(FontFindByFile(second, "Bin\\Fonts\\A.fot"), onSecond);

  // Ids stay valid when the fonts before them go.
  FontDelete(onSecond);
  GraphicsDisplayClose(display_);
  EXPECT_EQ(FontGetHeight(first), 0);
  EXPECT_EQ(FontGetHeight(onSecond), 0);
  EXPECT_EQ(FontGetHeight(other), 7);
  EXPECT_EQ(FontOpen(display_, "Bin\\Fonts\\A.fot"), 0);
  EXPECT_EQ(FontOpen(second, "Bin\\Fonts\\A.fot"), other + 1);
}

// Offsets into a file made by the writer.
constexpr size_t kHeaderLength = 5;  // after the version bytes and "FNT"
size_t ImageChunk(const Bytes& bytes, int32_t image = 0) {
  size_t start = 2 + (bytes[kHeaderLength] | bytes[kHeaderLength + 1] << 8);
  for (; image > 0; --image) {
    start += bytes[start + 3] | bytes[start + 4] << 8;
  }
  return start;
}
void Put16(Bytes& bytes, size_t at, int32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

TEST_F(FontTest, GlyphImagesFollowThePlacementRule) {
  // A row holds glyphs up to column 62: 30 + 33 just fits, the next one does
  // not; a glyph whose row would pass the image's bottom starts the next image.
  const FotFont font = PatternFont('a', 'g', 21, {30, 33, 1, 20, 12, 45, 50});
  const Bytes bytes = FontBytes(font);
  const struct {
    int32_t image;
    int32_t x;
    int32_t y;
  } spots[] = {{0, 0, 0}, {0, 30, 0}, {0, 0, 21}, {0, 1, 21}, {0, 21, 21}, {0, 0, 42}, {1, 0, 0}};
  for (size_t i = 0; i < font.glyphs.size(); ++i) {
    const FotGlyph& glyph = font.glyphs[i];
    const size_t pixels = ImageChunk(bytes, spots[i].image) + 5;
    for (int32_t y = 0; y < font.height; ++y) {
      for (int32_t x = 0; x < glyph.width; ++x) {
        const uint8_t* p = &bytes[pixels + ((spots[i].y + y) * 64 + spots[i].x + x) * 4];
        const uint32_t pixel = static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
        ASSERT_EQ(pixel, glyph.pixels[y * glyph.width + x])
            << "glyph " << i << " at " << x << ", " << y;
      }
    }
  }
  WriteBytes(folder_, "Bin/Rule.fot", bytes);
  EXPECT_EQ(FontTextWidth(FontOpen(display_, "Bin\\Rule.fot"), "abcdefg"),
            29 + 32 + 0 + 19 + 11 + 44 + 49);
}

struct Damage {
  const char* what;
  std::function<void(Bytes&)> damage;
  std::string logged;  // empty: the font loads
};

TEST_F(FontTest, DamagedFilesAreRefusedOrLoadWhatIsSound) {
  // Two characters 'A' and 'B' in the set, four in the image.
  const FotFont font = PatternFont('A', 'D', 10, {3, 5, 7, 9});
  const std::string end = "Error: FontOpen - Unexpected end of font \"Bin\\Bad.fot\" when ";
  const std::vector<Damage> cases = {
      {"no bytes", [](Bytes& b) { b.clear(); },
       "Error: FontOpen - Unrecognized major version for font \"Bin\\Bad.fot\"."},
      {"header id", [](Bytes& b) { b[2] = 'X'; },
       "Error: FontOpen - Unreocgnized chunk ID \"XNT\" in font \"Bin\\Bad.fot\"."},
      {"header length shorter than its fields", [](Bytes& b) { Put16(b, kHeaderLength, 12); },
       "Error: FontOpen - Chunk length 12 shorter than its fields in font \"Bin\\Bad.fot\"."},
      {"first character of the set above the last",
       [](Bytes& b) { b[ImageChunk(b) - 2] = 'A' - 1; },
       "Error: FontOpen - No character widths defined in font \"Bin\\Bad.fot\""},
      {"image id", [](Bytes& b) { b[ImageChunk(b)] = 'J'; },
       "Error: FontOpen - Unrecognized image chunk \"JMG in font \"Bin\\Bad.fot\"."},
      {"image length shorter than its fields",
       [](Bytes& b) { Put16(b, ImageChunk(b) + 3, 5 + 64 * 64 * 4 + 2); },
       "Error: FontOpen - Chunk length 16391 shorter than its fields in font \"Bin\\Bad.fot\"."},
      {"image chunk past the end", [](Bytes& b) { Put16(b, ImageChunk(b) + 3, 65535); },
       end + "skipping extra image chunk bytes."},
      {"first character of the image above the last",
       [](Bytes& b) { b[ImageChunk(b) + 5 + 16384] = 'Z'; },
       "Error: FontOpen - No characters widths defined for image in font \"Bin\\Bad.fot\"."},
      {"widths end early", [](Bytes& b) { b.resize(b.size() - 1); },
       end + "reading number of character widths in image."},
      {"more characters and images than the set needs",
       [](Bytes& b) {
         b[ImageChunk(b) - 2] = 'B';
         b.insert(b.end(), b.begin() + static_cast<ptrdiff_t>(ImageChunk(b)), b.end());
       },
       ""},
  };
  for (const Damage& item : cases) {
    SCOPED_TRACE(item.what);
    Bytes bytes = FontBytes(font);
    item.damage(bytes);
    WriteBytes(folder_, "Bin/Bad.fot", bytes);
    const int32_t id = FontOpen(display_, "Bin\\Bad.fot");
    if (item.logged.empty()) {
      ASSERT_GT(id, 0);
      EXPECT_EQ(FontTextWidth(id, "ABCD"), 2 + 4);
      FontDelete(id);
    } else {
      EXPECT_EQ(id, 0);
      EXPECT_THAT(LogLines(), Contains(item.logged));
      EXPECT_EQ(FontFindByFile(display_, "Bin\\Bad.fot"), 0);
    }
  }
}

TEST_F(FontTest, AFullSetFollowedByMoreImagesWritesNothingPastItsWidths) {
  Bytes bytes = FontBytes(PatternFont(0, 255, 4, std::vector<int32_t>(256, 2)));
  bytes.insert(bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(ImageChunk(bytes)), bytes.end());
  WriteBytes(folder_, "Bin/Full.fot", bytes);
  const int32_t id = FontOpen(display_, "Bin\\Full.fot");
  ASSERT_GT(id, 0);
  EXPECT_EQ(FontTextWidth(id, std::string(1, '\xFF')), 1);
}

struct WrapCase {
  int32_t width;
  std::string text;
  std::vector<std::string> lines;
};

TEST_F(FontTest, WrapBreaksWhereDesigned) {
  // Every character from the space to 'z' advances 2 pixels.
  WriteBytes(folder_, "Bin/Even.fot", FontBytes(PatternFont(' ', 'z', 8, std::vector(91, 3))));
  const int32_t font = FontOpen(display_, "Bin\\Even.fot");
  const std::vector<WrapCase> cases = {
      {20, "aaa bbb ccc", {"aaa bbb", "ccc"}},
      {14, "aaa bbb", {"aaa", "bbb"}},  // a line must stay narrower than the width
      {10, "abcdefghijkl", {"abcdefghijkl"}},
      {10, "ab abcdefghijkl cd", {"ab", "abcdefghijkl", "cd"}},
      {10, "abcd efgh\rij", {"abcd", "efgh", "ij"}},
      {100, "ab\r\ncd\n\nef\r", {"ab", "cd", "", "ef"}},
      {100, "  ab cd\r ef", {"   ab cd", "  ef"}},  // spaces that start a paragraph stay
      {100, "ab \rcd", {"ab", "cd"}},               // a space before a break
      {100, "", {}},
  };
  std::vector<std::string> lines{"left over"};
  for (const WrapCase& item : cases) {
    FontWrap(font, item.width, item.text, lines);
    EXPECT_EQ(lines, item.lines) << item.width << " \"" << item.text << "\"";
  }
  FontWrap(font + 1, 100, "ab", lines);
  EXPECT_TRUE(lines.empty());
}

TEST_F(FontTest, WrapKeepsTheOrderOfWordsThatTakeNoWidth) {
  // 'z' advances nothing, so a line holding only it has an empty pen.
  std::vector<int32_t> widths(91, 3);
  widths['z' - ' '] = 1;
  WriteBytes(folder_, "Bin/Zero.fot", FontBytes(PatternFont(' ', 'z', 8, widths)));
  const int32_t font = FontOpen(display_, "Bin\\Zero.fot");
  std::vector<std::string> lines;
  FontWrap(font, 10, "z abcdefgh zz", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"z", "abcdefgh", "zz"}));
}

}  // namespace
