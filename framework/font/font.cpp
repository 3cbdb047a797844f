// The module's state, its start and stop, the per-display font lists, and
// measuring, wrapping, colouring and drawing text with a font's glyph quads.
#include <algorithm>
#include <string_view>

#include "framework/font/font_internal.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/utilities/utilities.h"

namespace {

FontModule state;

constexpr GraphicsDisplayListener kListener{FontDisplayAdd, FontDisplayRemove};

bool InSet(const Font& font, unsigned char c) {
  return c >= font.first && c <= font.last;
}

// How far a character moves the pen; characters outside the set do not count.
int32_t Advance(const Font& font, unsigned char c) {
  return font.widths[c - font.first] - 1;
}

int32_t Width(const Font& font, std::string_view text) {
  int32_t width = 0;
  for (const unsigned char c : text) {
    if (InSet(font, c)) {
      width += Advance(font, c);
    }
  }
  return width;
}

// One line from (x, y), stopping before the first glyph that would pass the
// maximum width (0: no limit). Glyphs are only moved and drawn.
void DrawLine(const Font& font, int32_t x, int32_t y, std::string_view text, int32_t maxWidth) {
  int32_t pen = 0;
  for (const unsigned char c : text) {
    if (!InSet(font, c)) {
      continue;
    }
    const int32_t advance = Advance(font, c);
    if (maxWidth > 0 && pen + advance > maxWidth) {
      return;
    }
    if (Model* glyph = font.glyphs[c - font.first]) {
      ModelSetPosition(glyph, static_cast<float>(x + pen), static_cast<float>(y), -5.0f);
      ModelRender(glyph);
    }
    pen += advance;
  }
}

// Line breaks become single CRs.
std::string NormalisedBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      result += '\r';
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      result += text[i];
    }
  }
  return result;
}

void CloseGlyphs(Font& font) {
  for (Model*& glyph : font.glyphs) {
    ModelClose(glyph);
  }
}

// The display's first font whose name field matches, ignoring case; 0 if none.
int32_t FindByName(int32_t display, std::string Font::*field, const std::string& name) {
  const FontDisplay* entry = FontDisplayFind(display);
  if (entry == nullptr) {
    return 0;
  }
  const std::string wanted = UtilitiesUpperCase(name);
  for (const Font& font : entry->fonts) {
    if (UtilitiesUpperCase(font.*field) == wanted) {
      return font.id;
    }
  }
  return 0;
}

}  // namespace

std::string FontQuoted(const std::string& text) {
  return "\"" + text + "\"";
}

FontDisplay* FontDisplayFind(int32_t display) {
  for (FontDisplay& entry : state.displays) {
    if (entry.id == display) {
      return &entry;
    }
  }
  return nullptr;
}

// Fonts mostly sit at the slot of their id (one display, nothing deleted);
// otherwise each list is sorted by id.
Font* FontFind(int32_t font) {
  for (FontDisplay& display : state.displays) {
    auto& fonts = display.fonts;
    if (font >= 1 && font <= static_cast<int32_t>(fonts.size()) && fonts[font - 1].id == font) {
      return &fonts[font - 1];
    }
    const auto found = std::lower_bound(fonts.begin(), fonts.end(), font,
                                        [](const Font& f, int32_t id) { return f.id < id; });
    if (found != fonts.end() && found->id == font) {
      return &*found;
    }
  }
  return nullptr;
}

Font& FontRecordAdd(FontDisplay& display) {
  Font& font = display.fonts.emplace_back();
  font.id = state.nextId++;
  font.display = display.id;
  return font;
}

// --- Module lifecycle -------------------------------------------------------------

void FontStart() {
  LogVersion("qmrFont - Version 1.0");
  state = FontModule{};
  GraphicsDisplayListenerAdd(kListener);
  ModelSetFontRebuild(FontRebuildTexture);
}

void FontStop() {
  ModelSetFontRebuild(nullptr);
  GraphicsDisplayListenerRemove(kListener);
  state = FontModule{};
}

// --- Displays ----------------------------------------------------------------------

void FontDisplayAdd(int32_t display) {
  if (FontDisplayFind(display) == nullptr) {
    state.displays.push_back(FontDisplay{display, {}});
  }
}

void FontDisplayRemove(int32_t display) {
  FontDisplay* entry = FontDisplayFind(display);
  if (entry == nullptr) {
    return;
  }
  for (Font& font : entry->fonts) {
    CloseGlyphs(font);
  }
  std::erase_if(state.displays, [display](const FontDisplay& d) { return d.id == display; });
}

// --- Finding and deleting fonts ----------------------------------------------------------

void FontDelete(int32_t font) {
  Font* record = FontFind(font);
  if (record == nullptr) {
    return;
  }
  CloseGlyphs(*record);
  std::erase_if(FontDisplayFind(record->display)->fonts,
                [font](const Font& f) { return f.id == font; });
}

int32_t FontFindByFile(int32_t display, const std::string& fileName) {
  return FindByName(display, &Font::fileName, fileName);
}

int32_t FontFindByName(int32_t display, const std::string& fontName) {
  return FindByName(display, &Font::fontName, fontName);
}

// --- Measuring and colour ------------------------------------------------------------------

int32_t FontGetHeight(int32_t font) {
  const Font* record = FontFind(font);
  return record != nullptr ? record->height : 0;
}

int32_t FontTextWidth(int32_t font, const std::string& text) {
  const Font* record = FontFind(font);
  return record != nullptr ? Width(*record, text) : 0;
}

void FontSetColour(int32_t font, uint32_t colour) {
  Font* record = FontFind(font);
  if (record == nullptr || record->colour == colour) {
    return;
  }
  record->colour = colour;
  for (Model* glyph : record->glyphs) {
    FontGlyphColour(glyph, colour);
  }
}

// Words go onto the current line while the line stays narrower than the wrap
// width; a word joins with one space. Spaces at the start of a paragraph are
// kept; a word wider than the width gets a line of its own, unbroken.
void FontWrap(int32_t font, int32_t wrapWidth, const std::string& text,
              std::vector<std::string>& lines) {
  lines.clear();
  const Font* record = FontFind(font);
  if (record == nullptr) {
    return;
  }
  const std::string source = NormalisedBreaks(text);
  const int32_t space = Width(*record, " ");
  std::string current;
  int32_t pen = 0;
  bool lineStart = true;
  size_t at = 0;
  while (at < source.size()) {
    if (source[at] == '\r') {
      // A break ends the current line, which is empty unless a word and a
      // space came before the break.
      lines.push_back(std::move(current));
      current.clear();
      pen = 0;
      ++at;
      lineStart = true;
      continue;
    }
    if (source[at] == ' ' && lineStart) {
      current += ' ';
      pen += space;
      ++at;
      continue;
    }
    const size_t end = std::min(source.find_first_of(" \r", at), source.size());
    const std::string_view word(source.data() + at, end - at);
    const bool endsParagraph = end < source.size() && source[end] == '\r';
    at = std::min(end + 1, source.size());
    lineStart = endsParagraph;
    const int32_t wordWidth = Width(*record, word);
    const int32_t needed = pen + (pen > 0 ? space : 0) + wordWidth;
    if (needed < wrapWidth) {
      if (pen > 0) {
        current += ' ';
      }
      current += word;
      pen = needed;
      if (endsParagraph) {
        lines.push_back(std::move(current));
        current.clear();
        pen = 0;
      }
    } else if (current.empty()) {
      lines.emplace_back(word);
    } else {
      lines.push_back(std::move(current));
      current = word;
      pen = wordWidth;
      if (endsParagraph) {
        lines.push_back(std::move(current));
        current.clear();
        pen = 0;
      }
    }
  }
  if (!current.empty()) {
    lines.push_back(std::move(current));
  }
}

// --- Drawing ------------------------------------------------------------------------------

void FontDraw(int32_t font, int32_t x, int32_t y, const std::string& text) {
  FontDrawClipped(font, x, y, 0, text);
}

void FontDrawClipped(int32_t font, int32_t x, int32_t y, int32_t maxWidth,
                     const std::string& text) {
  if (const Font* record = FontFind(font)) {
    DrawLine(*record, x, y, text, maxWidth);
  }
}

void FontDrawLines(int32_t font, int32_t x, int32_t y, int32_t alignment, int32_t maxHeight,
                   int32_t boxWidth, int32_t firstLine, const std::vector<std::string>& lines) {
  const Font* record = FontFind(font);
  if (record == nullptr) {
    return;
  }
  int32_t drawn = 0;
  for (size_t i = static_cast<size_t>(std::max(firstLine, 1)) - 1; i < lines.size(); ++i) {
    int32_t offset = 0;
    if (alignment == kFontAlignCentre) {
      offset = (boxWidth - Width(*record, lines[i])) / 2;
    } else if (alignment == kFontAlignRight) {
      offset = boxWidth - Width(*record, lines[i]);
    }
    DrawLine(*record, x + offset, y + drawn * record->height, lines[i], 0);
    ++drawn;
    if (maxHeight > 0 && (drawn + 1) * record->height > maxHeight) {
      return;
    }
  }
}

void FontDrawWrapped(int32_t font, int32_t x, int32_t y, int32_t wrapWidth,
                     const std::string& text) {
  FontWrap(font, wrapWidth, text, state.wrapped);
  FontDrawLines(font, x, y, kFontAlignLeft, 0, wrapWidth, 1, state.wrapped);
}

// --- Diagnostics -------------------------------------------------------------------

int32_t FontCount() {
  size_t count = 0;
  for (const FontDisplay& display : state.displays) {
    count += display.fonts.size();
  }
  return static_cast<int32_t>(count);
}
