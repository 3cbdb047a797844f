#include "tools/imgmake/imgcanvas.h"

#include <algorithm>
#include <cmath>

#include "framework/font/font_format.h"

namespace {

constexpr int32_t kSamples = 4;  // per pixel side

double Channel(uint32_t colour, int shift) {
  return static_cast<double>((colour >> shift) & 0xFF);
}

uint32_t Level(double value) {
  return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

uint32_t Pack(double a, double r, double g, double b) {
  return Level(a) << 24 | Level(r) << 16 | Level(g) << 8 | Level(b);
}

// The colour laid over the pixel with the given coverage (0-1).
uint32_t Over(uint32_t below, uint32_t above, double coverage) {
  const double a = Channel(above, 24) / 255.0 * coverage;
  const double b = Channel(below, 24) / 255.0 * (1.0 - a);
  const double out = a + b;
  if (out <= 0.0) {
    return 0;
  }
  const auto mix = [&](int shift) {
    return (Channel(above, shift) * a + Channel(below, shift) * b) / out;
  };
  return Pack(out * 255.0, mix(16), mix(8), mix(0));
}

// The box within the canvas.
ImgBox Clip(const ImgCanvas& canvas, ImgBox box) {
  box.x0 = std::clamp(box.x0, 0, canvas.width);
  box.x1 = std::clamp(box.x1, box.x0, canvas.width);
  box.y0 = std::clamp(box.y0, 0, canvas.height);
  box.y1 = std::clamp(box.y1, box.y0, canvas.height);
  return box;
}

uint32_t& PixelAt(ImgCanvas& canvas, int32_t x, int32_t y) {
  return canvas
      .pixels[static_cast<size_t>(y) * static_cast<size_t>(canvas.width) + static_cast<size_t>(x)];
}

void Paint(ImgCanvas& canvas, int32_t x, int32_t y, uint32_t colour, double coverage) {
  uint32_t& pixel = PixelAt(canvas, x, y);
  pixel = canvas.replace ? ImgMix(pixel, colour, coverage) : Over(pixel, colour, coverage);
}

void Put16(std::vector<uint8_t>& bytes, int32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

ImgCanvas ImgCanvasNew(int32_t width, int32_t height, uint32_t colour) {
  return ImgCanvas{
      width, height,
      std::vector<uint32_t>(static_cast<size_t>(width) * static_cast<size_t>(height), colour),
      false};
}

void ImgCanvasShape(ImgCanvas& canvas, ImgBox box, const ImgInside& inside, const ImgPaint& paint) {
  box = Clip(canvas, box);
  // The shape at the pixels' corners, along the row's top and bottom edges:
  // a pixel whose four corners and centre are all inside (or all outside)
  // is taken as wholly covered (or not at all), and only the pixels on an
  // edge are sampled, which is most of the time saved on large shapes.
  const auto width = static_cast<size_t>(box.x1 - box.x0);
  std::vector<uint8_t> top(width + 1);
  std::vector<uint8_t> bottom(width + 1);
  const auto corners = [&](std::vector<uint8_t>& row, int32_t y) {
    for (size_t i = 0; i <= width; ++i) {
      row[i] = inside(box.x0 + static_cast<double>(i), y) ? 1 : 0;
    }
  };
  corners(bottom, box.y0);
  for (int32_t y = box.y0; y < box.y1; ++y) {
    std::swap(top, bottom);
    corners(bottom, y + 1);
    for (int32_t x = box.x0; x < box.x1; ++x) {
      const auto i = static_cast<size_t>(x - box.x0);
      const int32_t around = top[i] + top[i + 1] + bottom[i] + bottom[i + 1];
      const bool centre = inside(x + 0.5, y + 0.5);
      int32_t covered = around == 4 && centre ? kSamples * kSamples : 0;
      if (around != (centre ? 4 : 0)) {
        for (int32_t sy = 0; sy < kSamples; ++sy) {
          for (int32_t sx = 0; sx < kSamples; ++sx) {
            covered += inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples) ? 1 : 0;
          }
        }
      }
      if (covered > 0) {
        Paint(canvas, x, y, paint(x + 0.5, y + 0.5),
              static_cast<double>(covered) / (kSamples * kSamples));
      }
    }
  }
}

void ImgCanvasText(ImgCanvas& canvas, const ImgFont& font, int32_t x, int32_t y, uint32_t colour,
                   const std::string& text) {
  for (const char c : text) {
    const ImgGlyph& glyph = font.glyphs[static_cast<uint8_t>(c)];
    if (glyph.image < 0) {
      continue;
    }
    const std::vector<uint32_t>& image = font.images[static_cast<size_t>(glyph.image)];
    // The game shows all of the cell but its last column and row.
    for (int32_t gy = 0; gy < font.height - 1; ++gy) {
      for (int32_t gx = 0; gx < glyph.width - 1; ++gx) {
        const int32_t px = x + gx;
        const int32_t py = y + gy;
        if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) {
          continue;
        }
        const uint32_t texel =
            image[static_cast<size_t>((glyph.y + gy) * kFontImageSize + glyph.x + gx)];
        const auto times = [&](int shift) {
          return Channel(texel, shift) * Channel(colour, shift) / 255.0;
        };
        Paint(canvas, px, py, Pack(times(24), times(16), times(8), times(0)), 1.0);
      }
    }
    x += glyph.width - 1;
  }
}

void ImgCanvasShade(ImgCanvas& canvas, ImgBox box,
                    const std::function<double(int32_t, int32_t)>& change) {
  box = Clip(canvas, box);
  for (int32_t y = box.y0; y < box.y1; ++y) {
    for (int32_t x = box.x0; x < box.x1; ++x) {
      uint32_t& pixel = PixelAt(canvas, x, y);
      const double delta = change(x, y);
      pixel = Pack(Channel(pixel, 24), Channel(pixel, 16) + delta, Channel(pixel, 8) + delta,
                   Channel(pixel, 0) + delta);
    }
  }
}

void ImgCanvasAlpha(ImgCanvas& canvas, ImgBox box, double factor) {
  box = Clip(canvas, box);
  for (int32_t y = box.y0; y < box.y1; ++y) {
    for (int32_t x = box.x0; x < box.x1; ++x) {
      uint32_t& pixel = PixelAt(canvas, x, y);
      pixel = (pixel & 0xFFFFFF) | Level(Channel(pixel, 24) * factor) << 24;
    }
  }
}

void ImgCanvasFlip(ImgCanvas& canvas) {
  for (int32_t y = 0; y < canvas.height; ++y) {
    const auto row = canvas.pixels.begin() + static_cast<std::ptrdiff_t>(y) * canvas.width;
    std::reverse(row, row + canvas.width);
  }
}

uint32_t ImgMix(uint32_t from, uint32_t to, double at) {
  const auto mix = [&](int shift) {
    return Channel(from, shift) + (Channel(to, shift) - Channel(from, shift)) * at;
  };
  return Pack(mix(24), mix(16), mix(8), mix(0));
}

double ImgHash(uint32_t seed, int32_t x, int32_t y) {
  // SplitMix64's finaliser over the three numbers.
  uint64_t h = (static_cast<uint64_t>(seed) << 40) ^
               (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 20) ^ static_cast<uint32_t>(y) ^
               (0x9E3779B97F4A7C15ull * (seed + 1ull));
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  return static_cast<double>(h >> 11) / 9007199254740992.0;
}

std::vector<uint8_t> ImgTgaBytes(const ImgCanvas& canvas) {
  // No id, no colour map, true colour (byte 2), then the colour map fields
  // and the origin, all 0.
  std::vector<uint8_t> bytes(12, 0);
  bytes[2] = 2;
  Put16(bytes, canvas.width);
  Put16(bytes, canvas.height);
  bytes.push_back(32);
  bytes.push_back(0x28);  // rows from the top, 8 alpha bits
  bytes.reserve(bytes.size() + canvas.pixels.size() * 4);
  for (const uint32_t pixel : canvas.pixels) {
    bytes.insert(bytes.end(),
                 {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8),
                  static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 24)});
  }
  return bytes;
}
