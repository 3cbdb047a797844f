#include "tools/imgmake/imgfont.h"

#include <algorithm>
#include <cstring>

#include "framework/font/font_format.h"

namespace {

// Reads the bytes front to back; every read fails once the bytes run out.
class ByteReader {
 public:
  explicit ByteReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Left() const { return bytes_.size() - at_; }
  bool AtEnd() const { return at_ == bytes_.size(); }
  bool Take(size_t count, const uint8_t*& data) {
    if (Left() < count) {
      return false;
    }
    data = bytes_.data() + at_;
    at_ += count;
    return true;
  }
  bool Byte(uint8_t& value) {
    const uint8_t* data = nullptr;
    if (!Take(1, data)) {
      return false;
    }
    value = *data;
    return true;
  }
  // A chunk's id and length; false unless the id is the wanted one and the
  // length counts at least its own head.
  bool Chunk(const char* id, size_t& length) {
    const uint8_t* head = nullptr;
    if (!Take(kFontChunkHead, head) || std::memcmp(head, id, 3) != 0) {
      return false;
    }
    length = static_cast<size_t>(head[3] | head[4] << 8);
    return length >= kFontChunkHead;
  }
  size_t Offset() const { return at_; }
  bool SkipTo(size_t offset) {
    if (offset < at_ || offset > bytes_.size()) {
      return false;
    }
    at_ = offset;
    return true;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

bool ReadHeader(ByteReader& in, ImgFont& font, uint8_t& first, uint8_t& last, std::string& error) {
  const uint8_t* version = nullptr;
  size_t length = 0;
  if (!in.Take(2, version) || !in.Chunk(kFontHeaderId, length)) {
    error = "not a .fot font (no \"FNT\" header)";
    return false;
  }
  const size_t start = in.Offset() - kFontChunkHead;
  uint8_t c = 0;
  while (in.Byte(c) && c != 0) {
    font.name += static_cast<char>(c);
  }
  uint8_t height = 0;
  if (c != 0 || !in.Byte(first) || !in.Byte(last) || !in.Byte(height) ||
      !in.SkipTo(std::max(in.Offset(), start + length))) {
    error = "the font header is cut short";
    return false;
  }
  if (height < 1 || height > kFontImageSize || first > last) {
    error = "the font header gives height " + std::to_string(height) + " and characters " +
            std::to_string(first) + "-" + std::to_string(last);
    return false;
  }
  font.height = height;
  return true;
}

// One "IMG" chunk: its pixels become an image and its characters, from
// `next` on, glyphs placed by the reader's rule.
bool ReadImage(ByteReader& in, ImgFont& font, int32_t& next, int32_t last, std::string& error) {
  size_t length = 0;
  const uint8_t* pixels = nullptr;
  uint8_t firstInImage = 0;
  uint8_t lastInImage = 0;
  const uint8_t* widths = nullptr;
  const size_t start = in.Offset();
  if (!in.Chunk(kFontImageId, length) || !in.Take(kFontImageBytes, pixels) ||
      !in.Byte(firstInImage) || !in.Byte(lastInImage) || lastInImage < firstInImage ||
      !in.Take(static_cast<size_t>(lastInImage - firstInImage + 1), widths) ||
      !in.SkipTo(std::max(in.Offset(), start + length))) {
    error = "glyph image " + std::to_string(font.images.size() + 1) + " is broken or cut short";
    return false;
  }
  std::vector<uint32_t>& image = font.images.emplace_back(kFontImageSize * kFontImageSize);
  for (size_t i = 0; i < image.size(); ++i) {
    const uint8_t* p = pixels + i * 4;
    image[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
               static_cast<uint32_t>(p[1]) << 8 | p[2];
  }
  // As in the game: characters are numbered on from the set's first through
  // the images, whatever first character an image names.
  FontGlyphSpot pen;
  for (int32_t i = 0; i <= lastInImage - firstInImage && next <= last; ++i, ++next) {
    const int32_t width = widths[i];
    const FontGlyphSpot spot = FontGlyphPlace(pen, width, font.height);
    if (width >= 1 && spot.x + width <= kFontImageSize && spot.y + font.height <= kFontImageSize) {
      font.glyphs[static_cast<size_t>(next)] =
          ImgGlyph{static_cast<int32_t>(font.images.size() - 1), spot.x, spot.y, width};
    }
  }
  return true;
}

}  // namespace

bool ImgFontRead(const std::vector<uint8_t>& bytes, ImgFont& font, std::string& error) {
  font = ImgFont{};
  ByteReader in(bytes);
  uint8_t first = 0;
  uint8_t last = 0;
  if (!ReadHeader(in, font, first, last, error)) {
    return false;
  }
  int32_t next = first;
  while (!in.AtEnd()) {
    if (!ReadImage(in, font, next, last, error)) {
      return false;
    }
  }
  return true;
}

int32_t ImgFontTextWidth(const ImgFont& font, const std::string& text) {
  int32_t width = 0;
  for (const char c : text) {
    const ImgGlyph& glyph = font.glyphs[static_cast<uint8_t>(c)];
    width += glyph.image < 0 ? 0 : glyph.width - 1;
  }
  return width;
}
