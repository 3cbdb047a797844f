// Writes ".fot" bitmap fonts: lays glyph cells out in 64 x 64 images by the
// reader's placement rule and writes the chunks. Used by fotmake and by tests
// that need fonts of known glyphs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One character: a cell `width` pixels wide and the font's height high. The
// pen advances width - 1 and the quad shows all but the last column and row.
struct FotGlyph {
  int32_t width = 1;
  std::vector<uint32_t> pixels;  // width x height, 0xAARRGGBB, rows first; empty: transparent
};

struct FotFont {
  std::string name;
  uint8_t first = 0;  // the set of characters
  uint8_t last = 0;
  int32_t height = 0;
  std::vector<FotGlyph> glyphs;  // from the first character on
  uint32_t background = 0;       // the image pixels no glyph covers
};

// Glyphs per image: an image ends when the next glyph's row would pass its
// bottom. Each entry is the number of glyphs of one image.
std::vector<int32_t> FotWriterImages(const FotFont& font);
// The file's bytes; false with a reason when the font cannot be stored (a
// glyph wider than an image row holds, a height of 0 or above 64, more glyphs
// than the set, a name with a 0 byte).
bool FotWriterBuild(const FotFont& font, std::vector<uint8_t>& bytes, std::string& error);
