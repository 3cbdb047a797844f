#include "tools/fotmake/fotwriter.h"

#include <algorithm>

#include "framework/font/font_format.h"

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, size_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// Starts a chunk; its length is filled in by EndChunk.
size_t BeginChunk(std::vector<uint8_t>& bytes, const char* id) {
  const size_t start = bytes.size();
  bytes.insert(bytes.end(), id, id + 3);
  bytes.insert(bytes.end(), 2, 0);
  return start;
}

void EndChunk(std::vector<uint8_t>& bytes, size_t start) {
  Put16(bytes, start + 3, bytes.size() - start);
}

std::string CheckFont(const FotFont& font) {
  if (font.height < 1 || font.height > kFontImageSize) {
    return "height " + std::to_string(font.height) + " is not within 1-64";
  }
  if (font.name.find('\0') != std::string::npos || font.name.size() > 1000) {
    return "the font name holds a 0 byte or is longer than 1000 bytes";
  }
  if (font.first > font.last ||
      font.glyphs.size() > static_cast<size_t>(font.last - font.first + 1)) {
    return "more glyphs than characters in the set";
  }
  for (size_t i = 0; i < font.glyphs.size(); ++i) {
    const FotGlyph& glyph = font.glyphs[i];
    if (glyph.width < 1 || glyph.width > kFontImageSize - 1) {
      return "character " + std::to_string(font.first + i) + " is " + std::to_string(glyph.width) +
             " pixels wide; an image row holds 1-63";
    }
    if (!glyph.pixels.empty() &&
        glyph.pixels.size() != static_cast<size_t>(glyph.width) * font.height) {
      return "character " + std::to_string(font.first + i) + " has a cell of the wrong size";
    }
  }
  return {};
}

// One image chunk with the glyphs [begin, end).
void WriteImage(const FotFont& font, size_t begin, size_t end, std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> image(kFontImageSize * kFontImageSize, font.background);
  FontGlyphSpot pen;
  for (size_t i = begin; i < end; ++i) {
    const FotGlyph& glyph = font.glyphs[i];
    const FontGlyphSpot spot = FontGlyphPlace(pen, glyph.width, font.height);
    for (int32_t y = 0; y < font.height && !glyph.pixels.empty(); ++y) {
      std::copy_n(&glyph.pixels[static_cast<size_t>(y) * glyph.width], glyph.width,
                  &image[static_cast<size_t>(spot.y + y) * kFontImageSize + spot.x]);
    }
  }
  const size_t start = BeginChunk(bytes, kFontImageId);
  for (const uint32_t pixel : image) {
    bytes.insert(bytes.end(), {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                               static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 24)});
  }
  bytes.push_back(static_cast<uint8_t>(font.first + begin));
  bytes.push_back(static_cast<uint8_t>(font.first + end - 1));
  for (size_t i = begin; i < end; ++i) {
    bytes.push_back(static_cast<uint8_t>(font.glyphs[i].width));
  }
  EndChunk(bytes, start);
}

}  // namespace

std::vector<int32_t> FotWriterImages(const FotFont& font) {
  std::vector<int32_t> images;
  FontGlyphSpot pen;
  for (const FotGlyph& glyph : font.glyphs) {
    FontGlyphSpot next = pen;
    const FontGlyphSpot spot = FontGlyphPlace(next, glyph.width, font.height);
    if (images.empty() || spot.y + font.height > kFontImageSize) {
      images.push_back(0);
      next = FontGlyphSpot{};
      FontGlyphPlace(next, glyph.width, font.height);
    }
    pen = next;
    ++images.back();
  }
  return images;
}

bool FotWriterBuild(const FotFont& font, std::vector<uint8_t>& bytes, std::string& error) {
  error = CheckFont(font);
  bytes.clear();
  if (!error.empty()) {
    return false;
  }
  bytes = {1, 0};  // version 1.0
  const size_t header = BeginChunk(bytes, kFontHeaderId);
  bytes.insert(bytes.end(), font.name.begin(), font.name.end());
  bytes.insert(bytes.end(), {0, font.first, font.last, static_cast<uint8_t>(font.height)});
  EndChunk(bytes, header);
  size_t begin = 0;
  for (const int32_t count : FotWriterImages(font)) {
    WriteImage(font, begin, begin + count, bytes);
    begin += count;
  }
  return true;
}
