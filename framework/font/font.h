// Bitmap fonts: ".fot" files whose glyphs become small textured quads on one
// display. Each display has its own fonts, because textures and models live
// in its rendering context; font ids come from one counter for all displays
// (from 1, never reused; 0 = no font). A glyph of width w advances the pen by
// w - 1 pixels; characters outside a font's set measure and draw nothing.
// Text is drawn with its top-left corner at (x, y) in the current projection
// (GraphicsSetOrtho), at depth -5.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Line alignment within a box (FontDrawLines).
constexpr int32_t kFontAlignLeft = 0;
constexpr int32_t kFontAlignCentre = 1;
constexpr int32_t kFontAlignRight = 2;

// --- Module lifecycle ---------------------------------------------------
// Logs "qmrFont - Version 1.0", empties the tables and registers with the
// graphics module (displays) and the model module (context rebuilds).
void FontStart();
// Unregisters and forgets every font (its quads went with the model module,
// which stops first).
void FontStop();

// --- Displays ---------------------------------------------------------------
void FontDisplayAdd(int32_t display);     // an empty entry unless one exists
void FontDisplayRemove(int32_t display);  // deletes the display's fonts

// --- Opening and finding fonts -----------------------------------------------
// The font's id, or 0 with a log line; a font of that file name (ignoring
// case) already open on the display is returned as it is.
int32_t FontOpen(int32_t display, const std::string& fileName);
// Closes the font's glyph quads and removes it.
void FontDelete(int32_t font);
// The display's font of that file name (ignoring case), 0 if none.
int32_t FontFindByFile(int32_t display, const std::string& fileName);
// The display's font whose stored font name matches (ignoring case), 0 if none.
int32_t FontFindByName(int32_t display, const std::string& fontName);

// --- Measuring and colour ------------------------------------------------------
int32_t FontGetHeight(int32_t font);  // line height; 0 for an unknown id
// Sum of (width - 1) over the characters within the set; 0 for an unknown id.
int32_t FontTextWidth(int32_t font, const std::string& text);
// Colour 0xAARRGGBB of every glyph (opaque black when opened).
void FontSetColour(int32_t font, uint32_t colour);
// Breaks the text into lines narrower than the width at spaces and line
// breaks (CR, LF or CR LF); a word wider than the width keeps a line alone.
void FontWrap(int32_t font, int32_t wrapWidth, const std::string& text,
              std::vector<std::string>& lines);

// --- Drawing (on the current display, no allocation) ------------------------------
void FontDraw(int32_t font, int32_t x, int32_t y, const std::string& text);
// Stops before the first glyph that would pass the maximum width (0: no limit).
void FontDrawClipped(int32_t font, int32_t x, int32_t y, int32_t maxWidth, const std::string& text);
// Draws lines from firstLine (counted from 1), one font height apart, aligned
// in a box of boxWidth; with maxHeight above 0 only the lines that fit (but
// at least one).
void FontDrawLines(int32_t font, int32_t x, int32_t y, int32_t alignment, int32_t maxHeight,
                   int32_t boxWidth, int32_t firstLine, const std::vector<std::string>& lines);
// FontWrap, then the lines left-aligned in a box of the wrap width.
void FontDrawWrapped(int32_t font, int32_t x, int32_t y, int32_t wrapWidth,
                     const std::string& text);

// --- Diagnostics -----------------------------------------------------------
int32_t FontCount();  // fonts open over every display, for the resource report
