// Reading ".fot" files: opening a font (its glyph quads and its one tiled
// texture) and reading its glyph images again after a context loss.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "framework/datafile/datafile.h"
#include "framework/font/font_format.h"
#include "framework/font/font_internal.h"
#include "framework/log/log.h"
#include "framework/model/model.h"

namespace {

constexpr int32_t kSkipStep = 1024;  // extra chunk bytes are skipped this much at a time

// Reads and drops count bytes (none when count is not above 0).
bool SkipBytes(int32_t file, int32_t count) {
  uint8_t scratch[kSkipStep];
  while (count > 0) {
    const int32_t step = std::min(count, kSkipStep);
    if (!DataFileReadExact(file, scratch, step)) {
      return false;
    }
    count -= step;
  }
  return true;
}

bool IsChunk(const char* id, const char* wanted) {
  return std::memcmp(id, wanted, 3) == 0;
}

uint16_t Little16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Glyph image bytes (red, green, blue, alpha) as 0xAARRGGBB pixels.
void ToPixels(const std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels) {
  pixels.resize(kFontImageSize * kFontImageSize);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* p = &bytes[i * 4];
    pixels[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                static_cast<uint32_t>(p[1]) << 8 | p[2];
  }
}

// Reads one font file for FontOpen field by field; the first failure is
// logged naming the file.
class FontReader {
 public:
  FontReader(int32_t file, const std::string& fileName)
      : file_(file), quoted_(FontQuoted(fileName)) {}

  bool Fail(const std::string& message) const {
    LogError("FontOpen - " + message);
    return false;
  }
  bool Read(void* buffer, int32_t count, const char* when) const {
    return DataFileReadExact(file_, buffer, count) ||
           Fail("Unexpected end of font " + quoted_ + " when " + when + ".");
  }
  bool Raw(void* buffer, int32_t count) const { return DataFileReadExact(file_, buffer, count); }
  bool Byte(uint8_t& value, const char* when) const { return Read(&value, 1, when); }
  bool Length(uint16_t& value, const char* when) const {
    uint8_t bytes[2] = {};
    if (!Read(bytes, 2, when)) {
      return false;
    }
    value = Little16(bytes);
    return true;
  }
  // A chunk whose length leaves no room for its own fields would have the
  // next chunk start inside it.
  bool CheckLength(uint16_t length, size_t fields) const {
    return length >= fields || Fail("Chunk length " + std::to_string(length) +
                                    " shorter than its fields in font " + quoted_ + ".");
  }
  bool Skip(int32_t count, const char* when) const {
    return SkipBytes(file_, count) ||
           Fail("Unexpected end of font " + quoted_ + " when " + when + ".");
  }
  bool AtEnd() const { return DataFileEOF(file_); }
  const std::string& Quoted() const { return quoted_; }

 private:
  int32_t file_;
  std::string quoted_;
};

struct FontHeader {
  std::string name;
  uint8_t first = 0;
  uint8_t last = 0;
  uint8_t height = 0;
};

// The version bytes (not checked) and the "FNT" chunk.
bool ReadHeader(const FontReader& in, FontHeader& header) {
  uint8_t version = 0;
  if (!in.Raw(&version, 1)) {
    return in.Fail("Unrecognized major version for font " + in.Quoted() + ".");
  }
  if (!in.Raw(&version, 1)) {
    return in.Fail("Unrecognized minor version for font " + in.Quoted() + ".");
  }
  char id[3] = {};
  if (!in.Read(id, 3, "reading chunk ID")) {
    return false;
  }
  if (!IsChunk(id, kFontHeaderId)) {
    return in.Fail("Unreocgnized chunk ID " + FontQuoted(std::string(id, 3)) + " in font " +
                   in.Quoted() + ".");
  }
  uint16_t length = 0;
  uint8_t c = 0;
  if (!in.Length(length, "reading header chunk length") ||
      !in.Byte(c, "reading font name length")) {
    return false;
  }
  // The chunk id and length, the name and its 0 byte, and three bytes after it.
  const auto fields = [&header] { return kFontChunkHead + header.name.size() + 1 + 3; };
  while (c != 0) {
    header.name += static_cast<char>(c);
    if (!in.CheckLength(length, fields()) || !in.Byte(c, "reading font name")) {
      return false;
    }
  }
  return in.Byte(header.first, "reading first character in set") &&
         in.Byte(header.last, "reading last character in set") &&
         in.Byte(header.height, "reading font height") && in.CheckLength(length, fields()) &&
         in.Skip(length - static_cast<int32_t>(fields()), "skipping extra header bytes");
}

struct FontImage {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kFontImageBytes);
  std::vector<uint32_t> pixels;
  int32_t count = 0;  // characters in the image
  std::array<uint8_t, 256> widths{};
};

// One "IMG" chunk.
bool ReadImage(const FontReader& in, FontImage& image) {
  char id[3] = {};
  if (!in.Read(id, 3, "reading image chunk ID")) {
    return false;
  }
  if (!IsChunk(id, kFontImageId)) {
    return in.Fail("Unrecognized image chunk \"" + std::string(id, 3) + " in font " + in.Quoted() +
                   ".");
  }
  uint16_t length = 0;
  uint8_t first = 0;
  uint8_t last = 0;
  if (!in.Length(length, "reading image chunk length") ||
      !in.Read(image.bytes.data(), kFontImageBytes, "reading image data") ||
      !in.Byte(first, "reading first character in image") ||
      !in.Byte(last, "reading last character in image")) {
    return false;
  }
  image.count = last - first + 1;
  if (image.count <= 0) {
    return in.Fail("No characters widths defined for image in font " + in.Quoted() + ".");
  }
  const size_t fields = kFontChunkHead + kFontImageBytes + 2 + static_cast<size_t>(image.count);
  if (!in.Read(image.widths.data(), image.count, "reading number of character widths in image") ||
      !in.CheckLength(length, fields) ||
      !in.Skip(length - static_cast<int32_t>(fields), "skipping extra image chunk bytes")) {
    return false;
  }
  ToPixels(image.bytes, image.pixels);
  return true;
}

// A quad of the glyph's width and the font's height showing its place in
// the image, minus the last column and row.
Model* MakeGlyph(const Font& font, int32_t tile, FontGlyphSpot spot, int32_t width) {
  Model* quad = ModelNew(font.display, kModelCompilable);
  if (quad == nullptr) {
    return nullptr;
  }
  ModelSetName(quad, font.fontName);
  FontGlyphColour(quad, font.colour);
  const auto right = static_cast<float>(width - 1);
  const auto bottom = static_cast<float>(font.height - 1);
  const float corners[4][2] = {{0.0f, 0.0f}, {0.0f, bottom}, {right, bottom}, {right, 0.0f}};
  constexpr auto kSize = static_cast<float>(kFontImageSize);
  for (int32_t i = 0; i < 4; ++i) {
    ModelVertexSet(quad, i, corners[i][0], corners[i][1], -5.0f);
    ModelTexCoordSet(quad, i, (static_cast<float>(spot.x) + corners[i][0]) / kSize,
                     (static_cast<float>(spot.y) + corners[i][1]) / kSize);
  }
  ModelTriangle triangle;
  triangle.textures = {{font.texture, tile}};
  triangle.vertices = triangle.texCoords = {0, 1, 2};
  ModelTriangleSet(quad, 0, triangle);
  triangle.vertices = triangle.texCoords = {0, 2, 3};
  ModelTriangleSet(quad, 1, triangle);
  ModelCompile(quad);
  return quad;
}

// The image becomes the texture's next tile and the first `covered` of its
// characters glyphs of the font from the character offset on.
void AddImage(Font& font, const FontImage& image, int32_t offset, int32_t covered) {
  if (font.texture == nullptr) {
    font.texture = ModelTextureNew(font.display, font.fileName, 32);
    ModelTextureSetLinear(font.texture, true);
    ModelTextureSetRepeat(font.texture, true);
    ModelTextureSetTileSize(font.texture, kFontImageSize, kFontImageSize);
  }
  const int32_t tile = ModelTextureTileAdd(font.texture);
  ModelTextureTileUpload(font.texture, tile, image.pixels, kFontImageSize, kFontImageSize);
  FontGlyphSpot pen;
  for (int32_t i = 0; i < covered; ++i) {
    const uint8_t width = image.widths[i];
    font.widths[offset + i] = width;
    font.glyphs[offset + i] = MakeGlyph(font, tile, FontGlyphPlace(pen, width, font.height), width);
  }
}

// The font's id, or 0 after logging why.
int32_t Load(const FontReader& in, FontDisplay& display, const std::string& fileName) {
  FontHeader header;
  if (!ReadHeader(in, header)) {
    return 0;
  }
  const int32_t count = header.last - header.first + 1;
  if (count <= 0) {
    in.Fail("No character widths defined in font " + in.Quoted());
    return 0;
  }
  Font& font = FontRecordAdd(display);
  font.fileName = fileName;
  font.fontName = header.name;
  font.first = header.first;
  font.last = header.last;
  font.height = header.height;
  const int32_t id = font.id;
  FontImage image;
  int32_t offset = 0;
  while (!in.AtEnd()) {
    if (!ReadImage(in, image)) {
      FontDelete(id);
      return 0;
    }
    // Characters past the end of the set have no place in the font: an
    // image that covers none of the set adds nothing.
    const int32_t covered = std::min(image.count, count - offset);
    if (covered > 0) {
      AddImage(font, image, offset, covered);
      offset += covered;
    }
  }
  return id;
}

}  // namespace

void FontGlyphColour(Model* glyph, uint32_t colour) {
  ModelSetColor(glyph, static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 24));
}

int32_t FontOpen(int32_t display, const std::string& fileName) {
  FontDisplay* entry = FontDisplayFind(display);
  if (entry == nullptr) {
    return 0;
  }
  if (const int32_t open = FontFindByFile(display, fileName)) {
    return open;
  }
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("FontOpen - Unable to load font " + FontQuoted(fileName) + ".");
    return 0;
  }
  const int32_t id = Load(FontReader(file, fileName), *entry, fileName);
  DataFileClose(file);
  return id;
}

// --- Rebuilding ------------------------------------------------------------------

int32_t FontRebuildStart(int32_t display, const std::string& fileName, int32_t& font) {
  font = FontFindByFile(display, fileName);
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("FontRebuildStart - Unable to load font " + FontQuoted(fileName) + ".");
    return 0;
  }
  // Two version bytes, then the header chunk's id and length.
  uint8_t head[7] = {};
  if (!DataFileReadExact(file, head, 7) ||
      !IsChunk(reinterpret_cast<const char*>(head + 2), kFontHeaderId) ||
      !SkipBytes(file, Little16(head + 5) - kFontChunkHead)) {
    DataFileClose(file);
    return 0;
  }
  return file;
}

bool FontRebuildTexel(int32_t font, int32_t file, ModelTexture* texture, int32_t tile) {
  const auto failed = [&](const char* what) {
    LogError(std::string("FontRebuildTexel -") + what + " when rebuilding font " +
             FontQuoted(ModelTextureFileName(texture)) + ".  Font deleted.");
    FontDelete(font);
    DataFileClose(file);
    return false;
  };
  char head[5] = {};
  if (!DataFileReadExact(file, head, 3)) {
    return failed("Could not read chunk ID");
  }
  if (!IsChunk(head, kFontImageId)) {
    return failed("Invalid chunk ID encountered");
  }
  if (!DataFileReadExact(file, head + 3, 2)) {
    return failed("Could not read chunk size");
  }
  std::vector<uint8_t> bytes(kFontImageBytes);
  if (!DataFileReadExact(file, bytes.data(), kFontImageBytes)) {
    return failed("Could not read pixel data");
  }
  int32_t rest =
      Little16(reinterpret_cast<const uint8_t*>(head + 3)) - kFontChunkHead - kFontImageBytes;
  for (; rest >= kSkipStep; rest -= kSkipStep) {
    if (!SkipBytes(file, kSkipStep)) {
      return failed("Could not read to end of image data");
    }
  }
  if (!SkipBytes(file, rest)) {
    return failed("Could not read to end of chunk");
  }
  std::vector<uint32_t> pixels;
  ToPixels(bytes, pixels);
  ModelTextureTileUpload(texture, tile, pixels, kFontImageSize, kFontImageSize);
  return true;
}

bool FontRebuildTexture(ModelTexture* texture) {
  int32_t font = 0;
  const int32_t file =
      FontRebuildStart(ModelTextureDisplay(texture), ModelTextureFileName(texture), font);
  if (file == 0) {
    // Glyphs whose page is gone would draw as solid blocks.
    FontDelete(font);
    return false;
  }
  for (int32_t tile = 0; tile < ModelTextureTileCount(texture); ++tile) {
    if (!FontRebuildTexel(font, file, texture, tile)) {
      return true;  // logged, and the font is gone
    }
  }
  DataFileClose(file);
  return true;
}
