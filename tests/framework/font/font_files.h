// Fonts of known glyphs for the font tests, made with the font writer.
#pragma once

#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "tools/fotmake/fotwriter.h"

// Glyph pixels: opaque colours that differ strongly from pixel to pixel and
// from character to character, with transparent holes, so that a glyph
// drawn from the wrong place or at the wrong spot shows.
inline uint32_t GlyphPixel(int32_t character, int32_t x, int32_t y) {
  const auto h = static_cast<uint32_t>(character * 977 + x * 73 + y * 151);
  if (h % 5 == 0) {
    return 0;
  }
  return 0xFF000000u | (h * 2654435761u >> 8 & 0xFFFFFFu);
}

// A font of patterned glyphs with these widths from the first character on.
inline FotFont PatternFont(uint8_t first, uint8_t last, int32_t height,
                           const std::vector<int32_t>& widths) {
  FotFont font;
  font.name = "Pattern";
  font.first = first;
  font.last = last;
  font.height = height;
  for (size_t i = 0; i < widths.size(); ++i) {
    FotGlyph glyph{widths[i], {}};
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < widths[i]; ++x) {
        glyph.pixels.push_back(GlyphPixel(first + static_cast<int32_t>(i), x, y));
      }
    }
    font.glyphs.push_back(glyph);
  }
  return font;
}

inline std::vector<uint8_t> FontBytes(const FotFont& font) {
  std::vector<uint8_t> bytes;
  std::string error;
  FotWriterBuild(font, bytes, error);
  return bytes;
}

inline void WriteBytes(const TempFolder& folder, const std::string& relative,
                       const std::vector<uint8_t>& bytes) {
  folder.write(relative, std::string(bytes.begin(), bytes.end()));
}
