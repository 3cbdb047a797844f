// The runs a depth mesh is made of: each row of a mat split where the entry
// index changes. The room tools report them; the game draws the depth they
// leave as rectangles.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/mat/mat.h"

struct DepthRun {
  int32_t y = 0;
  int32_t x0 = 0;     // first column
  int32_t x1 = 0;     // the column where the index changes, or the width
  uint8_t index = 0;  // the run's entry index
  uint8_t depth = 0;  // the blue byte of the entry's colour
};

// Columns x0 to x1 - 1 of rows y0 to y1 - 1 at one depth.
struct DepthRect {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
  uint8_t depth = 0;  // the blue byte
};

// Every run of every row, rows top to bottom, runs left to right; empty for
// an invalid mat.
std::vector<DepthRun> DepthRunsOf(const Mat& mat);
// The depth the runs leave when each is drawn, in order and with the depth
// function ALWAYS, as a quad two pixels wider and one taller than the run:
// each pixel of the mat at its own depth, two columns right of the mat at
// the depth of their row's last pixel, and the row below the mat as the last
// row. The first rectangle covers all that at the depth of the most pixels;
// the others, drawn over it in any order, do not overlap each other: spans
// of one other depth, neighbours in a row joined, equal spans of consecutive
// rows joined. Empty for an invalid mat.
std::vector<DepthRect> DepthRectsOf(const Mat& mat);
