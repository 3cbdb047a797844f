// fotmake: builds a ".fot" bitmap font from a TrueType or OpenType font with
// FreeType. Each character of the set is rendered at the pixel size as white
// with its coverage in alpha, in a cell as wide as its advance plus one and
// as high as the font's line plus one.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/fotmake/fotwriter.h"

namespace {

const char kUsageText[] =
    "usage: fotmake <font.ttf|.otf> <out.fot> --size PIXELS [--name NAME]\n"
    "               [--first CODE] [--last CODE] [--face INDEX]\n"
    "\n"
    "Renders the characters CODE..CODE (default 32..255, as Windows-1252) of\n"
    "the font at PIXELS pixels per em into a bitmap font for the game.\n"
    "  --size PIXELS  FreeType pixel size, 4-48\n"
    "  --name NAME    font name stored in the file (default: the family name)\n"
    "  --first CODE   first character of the set, 0-255 (default 32)\n"
    "  --last CODE    last character of the set, 0-255 (default 255)\n"
    "  --face INDEX   face of a font collection (default 0)\n"
    "The line height is the font's ascender minus its descender plus one; a\n"
    "character's width byte is its advance plus one.\n";

// Windows-1252 characters 0x80-0x9F in Unicode; 0 where the code is unused.
constexpr uint32_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t Unicode(int32_t code) {
  return code >= 0x80 && code < 0xA0 ? kWindows1252[code - 0x80] : static_cast<uint32_t>(code);
}

struct Options {
  std::string input;
  std::string output;
  int32_t size = 0;
  std::string name;
  int32_t first = 32;
  int32_t last = 255;
  int32_t face = 0;
};

// The options, or an empty message on success.
std::string ParseOptions(const std::vector<std::string>& args, Options& options) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      files.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size()) {
      return arg + " needs a value";
    }
    const std::string& value = args[++i];
    bool ok = true;
    if (arg == "--size") {
      ok = ToolParseNumber(value, 4, 48, options.size);
    } else if (arg == "--first") {
      ok = ToolParseNumber(value, 0, 255, options.first);
    } else if (arg == "--last") {
      ok = ToolParseNumber(value, 0, 255, options.last);
    } else if (arg == "--face") {
      ok = ToolParseNumber(value, 0, 9999, options.face);
    } else if (arg == "--name") {
      ok = !value.empty();
      options.name = value;
    } else {
      return "unknown option " + arg;
    }
    if (!ok) {
      return "bad value \"" + value + "\" for " + arg;
    }
  }
  if (files.size() != 2) {
    return "needs one font file and one output file";
  }
  if (options.size == 0) {
    return "--size is missing";
  }
  if (options.first > options.last) {
    return "--first is above --last";
  }
  options.input = files[0];
  options.output = files[1];
  return {};
}

// Owns the FreeType library and one face.
class Face {
 public:
  ~Face() {
    if (face_ != nullptr) {
      FT_Done_Face(face_);
    }
    if (library_ != nullptr) {
      FT_Done_FreeType(library_);
    }
  }
  // An empty message on success.
  std::string Open(const Options& options) {
    if (FT_Init_FreeType(&library_) != 0) {
      return "FreeType cannot start";
    }
    if (FT_New_Face(library_, options.input.c_str(), options.face, &face_) != 0) {
      return "not a font FreeType can read, or no face " + std::to_string(options.face);
    }
    if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(options.size)) != 0) {
      return "the font has no size of " + std::to_string(options.size) + " pixels";
    }
    return {};
  }
  FT_Face operator->() const { return face_; }
  FT_Face get() const { return face_; }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// The character's cell: white, coverage in alpha, the bitmap placed at the
// pen with its baseline `ascender` rows down; what passes the cell is cut.
FotGlyph RenderGlyph(FT_GlyphSlot slot, int32_t height, int32_t ascender) {
  FotGlyph glyph;
  glyph.width = static_cast<int32_t>((slot->advance.x + 32) >> 6) + 1;
  glyph.pixels.assign(static_cast<size_t>(glyph.width) * height, 0x00FFFFFFu);
  const FT_Bitmap& bitmap = slot->bitmap;
  for (int32_t row = 0; row < static_cast<int32_t>(bitmap.rows); ++row) {
    const int32_t y = ascender - slot->bitmap_top + row;
    for (int32_t column = 0; column < static_cast<int32_t>(bitmap.width); ++column) {
      const int32_t x = slot->bitmap_left + column;
      // The last column and row of a cell are never shown.
      if (x < 0 || x >= glyph.width - 1 || y < 0 || y >= height - 1) {
        continue;
      }
      const uint8_t coverage = bitmap.buffer[row * bitmap.pitch + column];
      glyph.pixels[static_cast<size_t>(y) * glyph.width + x] =
          static_cast<uint32_t>(coverage) << 24 | 0xFFFFFFu;
    }
  }
  return glyph;
}

// The glyphs of the set; an empty message on success.
std::string RenderFont(const Face& face, const Options& options, FotFont& font) {
  const FT_Size_Metrics& metrics = face->size->metrics;
  const auto ascender = static_cast<int32_t>((metrics.ascender + 63) >> 6);
  const auto descender = static_cast<int32_t>(-(metrics.descender >> 6));
  font.name =
      options.name.empty() && face->family_name != nullptr ? face->family_name : options.name;
  font.first = static_cast<uint8_t>(options.first);
  font.last = static_cast<uint8_t>(options.last);
  font.height = ascender + descender + 1;
  for (int32_t code = options.first; code <= options.last; ++code) {
    const uint32_t unicode = Unicode(code);
    const FT_UInt index = unicode != 0 ? FT_Get_Char_Index(face.get(), unicode) : 0;
    if (index == 0) {
      font.glyphs.push_back(FotGlyph{1, {}});  // nothing to draw, no advance
      continue;
    }
    if (FT_Load_Glyph(face.get(), index, FT_LOAD_RENDER) != 0 ||
        (face->glyph->bitmap.rows > 0 && face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)) {
      return "character " + std::to_string(code) + " cannot be rendered in grey levels";
    }
    font.glyphs.push_back(RenderGlyph(face->glyph, font.height, ascender));
  }
  return {};
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return out
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()))
      .good();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  Options options;
  if (const std::string error = ParseOptions(args, options); !error.empty()) {
    return ToolUsageError("fotmake", kUsageText, error);
  }
  Face face;
  if (const std::string error = face.Open(options); !error.empty()) {
    return ToolFail(options.input, error);
  }
  FotFont font;
  if (const std::string error = RenderFont(face, options, font); !error.empty()) {
    return ToolFail(options.input, error);
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!FotWriterBuild(font, bytes, error)) {
    return ToolFail(options.input, error);
  }
  if (!WriteFile(options.output, bytes)) {
    return ToolFail(options.output, "cannot be written");
  }
  std::cout << "wrote " << options.output << ": \"" << font.name << "\", characters "
            << options.first << "-" << options.last << ", height " << font.height << ", "
            << FotWriterImages(font).size() << " images\n";
  return 0;
}
