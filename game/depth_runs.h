// The runs a depth mesh is made of: each row of a mat split where the entry
// index changes. The game builds one quad per run; the room tools report them.
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

// Every run of every row, rows top to bottom, runs left to right; empty for
// an invalid mat.
std::vector<DepthRun> DepthRunsOf(const Mat& mat);
