// ".fot" bitmap fonts read into memory for drawing into pictures: the same
// file layout and glyph placement the game's font module reads, without a
// display.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ImgGlyph {
  int32_t image = -1;  // index into the font's images; -1: the character has no glyph
  int32_t x = 0;       // the cell's top-left pixel in its image
  int32_t y = 0;
  int32_t width = 0;  // the cell's width; the pen advances width - 1
};

struct ImgFont {
  std::string name;
  int32_t height = 0;
  std::vector<std::vector<uint32_t>> images;  // 64 x 64 pixels each, 0xAARRGGBB
  std::array<ImgGlyph, 256> glyphs{};         // by character code
};

// Reads a font file's bytes; false with the reason when they are not a
// well-formed font (every size is checked against the bytes there are).
bool ImgFontRead(const std::vector<uint8_t>& bytes, ImgFont& font, std::string& error);
// The width the text takes: the sum of (width - 1) of its glyphs.
int32_t ImgFontTextWidth(const ImgFont& font, const std::string& text);
