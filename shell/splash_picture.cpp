// The splash picture, drawn at start-up rather than shipped as a file: a
// dark forge-coloured gradient with an ember glow and the title in a small
// block font.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "shell/shell.h"

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 153;

struct Glyph {
  char letter;
  uint8_t rows[7];  // five bits per row, leftmost pixel in bit 4
};

constexpr Glyph kGlyphs[] = {
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'3', {0x1E, 0x01, 0x01, 0x0E, 0x01, 0x01, 0x1E}},
    {'6', {0x0E, 0x10, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x1B, 0x11}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
};

const Glyph* FindGlyph(char letter) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.letter == letter) {
      return &glyph;
    }
  }
  return nullptr;
}

class Canvas {
 public:
  Canvas() : pixels_(static_cast<size_t>(kWidth) * kHeight * 3) {}

  // Top-down coordinates; stored bottom row first, as a bitmap stores them.
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) {
      return;
    }
    uint8_t* p = &pixels_[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 3];
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }

  // Text centred on a row, each font pixel a square of `scale` pixels.
  void Text(const char* text, int top, int scale, uint8_t r, uint8_t g, uint8_t b) {
    const int advance = 6 * scale;
    const int width = static_cast<int>(std::strlen(text)) * advance - scale;
    int left = (kWidth - width) / 2;
    for (const char* c = text; *c != '\0'; ++c, left += advance) {
      if (const Glyph* glyph = FindGlyph(*c)) {
        DrawGlyph(*glyph, left, top, scale, r, g, b);
      }
    }
  }

  std::vector<uint8_t> Take() { return std::move(pixels_); }

 private:
  void DrawGlyph(const Glyph& glyph, int left, int top, int scale, uint8_t r, uint8_t g,
                 uint8_t b) {
    for (int row = 0; row < 7; ++row) {
      for (int column = 0; column < 5; ++column) {
        if ((glyph.rows[row] >> (4 - column)) & 1) {
          FillSquare(left + column * scale, top + row * scale, scale, r, g, b);
        }
      }
    }
  }

  void FillSquare(int x, int y, int size, uint8_t r, uint8_t g, uint8_t b) {
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx) {
        Set(x + dx, y + dy, r, g, b);
      }
    }
  }

  std::vector<uint8_t> pixels_;
};

uint8_t Channel(double value) {
  return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
}

void PaintBackground(Canvas& canvas) {
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      // An ember glow rising from the bottom centre over a dark slate.
      const double dx = (x - kWidth / 2.0) / kWidth;
      const double dy = (kHeight - y) / static_cast<double>(kHeight);
      const double glow = std::exp(-(dx * dx * 9.0 + dy * dy * 4.0));
      canvas.Set(x, y, Channel(24 + 200 * glow), Channel(26 + 90 * glow * glow),
                 Channel(38 + 10 * glow));
    }
  }
}

}  // namespace

std::vector<uint8_t> SplashPicture() {
  Canvas canvas;
  PaintBackground(canvas);
  canvas.Text("TAMSIN LARKWOOD", 22, 3, 235, 225, 205);
  canvas.Text("BRISK FORGE 36", 62, 5, 255, 214, 120);
  canvas.Text("LOADING", 126, 2, 200, 190, 170);
  return canvas.Take();
}
