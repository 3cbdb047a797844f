// Shared between the files of the font module; not part of its API.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/font/font.h"

struct Model;
struct ModelTexture;

struct Font {
  int32_t id = 0;
  int32_t display = 0;
  std::string fileName;  // the content name it was opened with
  std::string fontName;  // the name stored in the file
  uint8_t first = 0;     // the set of characters
  uint8_t last = 0;
  uint32_t colour = 0xFF000000u;  // 0xAARRGGBB
  int32_t height = 0;             // line height in pixels
  // By character code - first; characters no image covers have width 0 and
  // no quad. The quads belong to the font; the texture to its quads.
  std::array<uint8_t, 256> widths{};
  std::array<Model*, 256> glyphs{};
  ModelTexture* texture = nullptr;
};

struct FontDisplay {
  int32_t id = 0;
  std::vector<Font> fonts;  // in opening order, so sorted by id
};

struct FontModule {
  std::vector<FontDisplay> displays;
  int32_t nextId = 1;                // shared by all displays
  std::vector<std::string> wrapped;  // FontDrawWrapped's lines, kept to reuse their memory
};

FontDisplay* FontDisplayFind(int32_t display);
Font* FontFind(int32_t font);
// A new font record at the end of the display's list, with the next id.
Font& FontRecordAdd(FontDisplay& display);
// "\"" + text + "\"".
std::string FontQuoted(const std::string& text);
// Builds a context's glyph pages again from the font files (the model
// module's hook for ".fot" textures).
bool FontRebuildTexture(ModelTexture* texture);
// Opens the font file past its header: the file id (0 on failure) and, in
// font, the display's font of that file name.
int32_t FontRebuildStart(int32_t display, const std::string& fileName, int32_t& font);
// Reads the file's next image into one tile of the texture. On failure the
// font is deleted, the file closed, and false returned.
bool FontRebuildTexel(int32_t font, int32_t file, ModelTexture* texture, int32_t tile);
// Sets a glyph quad's colour from 0xAARRGGBB.
void FontGlyphColour(Model* glyph, uint32_t colour);
