// The picture imgmake draws on: straight-alpha 0xAARRGGBB pixels, rows from
// the top. Shapes are given by an inside test and covered with 4 x 4 samples
// per pixel, so their edges are smooth and a shape whose edges lie on whole
// pixels fills exactly those pixels. A pixel whose corners and centre all lie
// inside the shape (or all outside) is not sampled further: details thinner
// than half a pixel may be missed there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/imgmake/imgfont.h"

struct ImgCanvas {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  bool replace = false;  // paint takes the place of the pixels instead of going over them
};

// A box of pixels [x0, x1) x [y0, y1); drawing clips it to the canvas.
struct ImgBox {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
};

// The colour of the paint at a point of the canvas (pixel centres are at .5).
using ImgPaint = std::function<uint32_t(double x, double y)>;
using ImgInside = std::function<bool(double x, double y)>;

ImgCanvas ImgCanvasNew(int32_t width, int32_t height, uint32_t colour);
// Paints the part of the box the shape covers.
void ImgCanvasShape(ImgCanvas& canvas, ImgBox box, const ImgInside& inside, const ImgPaint& paint);
// Text with its top-left corner at (x, y): each glyph pixel times the colour.
void ImgCanvasText(ImgCanvas& canvas, const ImgFont& font, int32_t x, int32_t y, uint32_t colour,
                   const std::string& text);
// Adds (grey) the box's pixels the amount of change returned for each pixel,
// in levels, to red, green and blue.
void ImgCanvasShade(ImgCanvas& canvas, ImgBox box,
                    const std::function<double(int32_t, int32_t)>& change);
// Multiplies the alpha of the box's pixels.
void ImgCanvasAlpha(ImgCanvas& canvas, ImgBox box, double factor);
// Mirrors the canvas left to right.
void ImgCanvasFlip(ImgCanvas& canvas);

// Channel-wise mix of two colours, at 0 the first, at 1 the second.
uint32_t ImgMix(uint32_t from, uint32_t to, double at);
// A number in [0, 1) that depends only on the seed and the point.
double ImgHash(uint32_t seed, int32_t x, int32_t y);

// An uncompressed 32-bit TGA with alpha, rows from the top.
std::vector<uint8_t> ImgTgaBytes(const ImgCanvas& canvas);
