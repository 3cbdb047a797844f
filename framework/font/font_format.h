// The ".fot" bitmap font file, shared by the reader and the font builder so
// that both lay glyphs out the same way.
//
// A file holds two version bytes, a header chunk "FNT" (font name ending in a
// 0 byte, first and last character of the set, height in pixels) and then one
// "IMG" chunk per 64 x 64 glyph image (pixels in red, green, blue, alpha
// order, first row first; the first and last character the image covers; one
// width byte per character). Every chunk starts with its 3-byte id and a
// little-endian 16-bit length that counts the whole chunk.
#pragma once

#include <cstdint>

constexpr int32_t kFontImageSize = 64;  // glyph images are square
constexpr int32_t kFontImageBytes = kFontImageSize * kFontImageSize * 4;
constexpr int32_t kFontChunkHead = 5;  // id and length
constexpr char kFontHeaderId[] = "FNT";
constexpr char kFontImageId[] = "IMG";

// Where a glyph sits in its image (top-left pixel).
struct FontGlyphSpot {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const FontGlyphSpot&) const = default;
};

// Glyphs go left to right in rows of the font height from (0, 0): a glyph
// that would reach past column 62 starts the next row. Returns the glyph's
// place and moves the pen past it.
inline FontGlyphSpot FontGlyphPlace(FontGlyphSpot& pen, int32_t width, int32_t height) {
  if (pen.x + width > kFontImageSize - 1) {
    pen.x = 0;
    pen.y += height;
  }
  const FontGlyphSpot spot = pen;
  pen.x += width;
  return spot;
}
