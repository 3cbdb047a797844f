// Splitting a mat's rows into runs of one entry index, and the rectangles of
// one depth the runs' quads leave.
#include "game/depth_runs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace {

// Quads of the designed mesh reach this far right of their run.
constexpr int32_t kRightOverlap = 2;

uint8_t BlueOf(const Mat& mat, uint8_t index) {
  return index < mat.entries.size() ? static_cast<uint8_t>(mat.entries[index].color & 0xFF) : 0;
}

// The first column from x on whose index differs from the one at x, or the
// width; eight columns are compared at a time.
int32_t RunEnd(const uint8_t* row, int32_t x, int32_t width) {
  const uint8_t index = row[x];
  const uint64_t repeated = 0x0101010101010101ull * index;
  for (; x + 8 <= width; x += 8) {
    uint64_t word = 0;
    std::memcpy(&word, row + x, sizeof word);
    if (const uint64_t differs = word ^ repeated; differs != 0) {
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(differs)
                                                                 : std::countl_zero(differs);
      return x + bit / 8;
    }
  }
  while (x < width && row[x] == index) {
    ++x;
  }
  return x;
}

const uint8_t* Row(const Mat& mat, int32_t y) {
  return mat.data.data() + static_cast<size_t>(y) * static_cast<size_t>(mat.width);
}

}  // namespace

std::vector<DepthRun> DepthRunsOf(const Mat& mat) {
  std::vector<DepthRun> runs;
  if (!MatIsValid(mat)) {
    return runs;
  }
  for (int32_t y = 0; y < mat.height; ++y) {
    const uint8_t* row = Row(mat, y);
    for (int32_t x0 = 0; x0 < mat.width;) {
      const int32_t x1 = RunEnd(row, x0, mat.width);
      runs.push_back({y, x0, x1, row[x0], BlueOf(mat, row[x0])});
      x0 = x1;
    }
  }
  return runs;
}

std::vector<DepthRect> DepthRectsOf(const Mat& mat) {
  std::vector<DepthRect> rects;
  if (!MatIsValid(mat)) {
    return rects;
  }
  // The depth of the most pixels lies under everything, in one rectangle.
  std::array<int64_t, 256> pixels{};
  for (int32_t y = 0; y < mat.height; ++y) {
    const uint8_t* row = Row(mat, y);
    for (int32_t x0 = 0; x0 < mat.width;) {
      const int32_t x1 = RunEnd(row, x0, mat.width);
      pixels[BlueOf(mat, row[x0])] += x1 - x0;
      x0 = x1;
    }
  }
  const auto under =
      static_cast<uint8_t>(std::max_element(pixels.begin(), pixels.end()) - pixels.begin());
  rects.push_back({0, 0, mat.width + kRightOverlap, mat.height + 1, under});
  // The rectangles reaching the row before, left to right, and those
  // reaching this row.
  std::vector<DepthRect> open;
  std::vector<DepthRect> reaching;
  for (int32_t y = 0; y < mat.height; ++y) {
    const uint8_t* row = Row(mat, y);
    reaching.clear();
    size_t k = 0;
    for (int32_t x0 = 0; x0 < mat.width;) {
      const uint8_t depth = BlueOf(mat, row[x0]);
      int32_t x1 = RunEnd(row, x0, mat.width);
      while (x1 < mat.width && BlueOf(mat, row[x1]) == depth) {
        x1 = RunEnd(row, x1, mat.width);
      }
      const int32_t right = x1 == mat.width ? x1 + kRightOverlap : x1;
      while (k < open.size() && open[k].x0 < x0) {
        rects.push_back(open[k++]);
      }
      if (depth == under) {
        // The rectangle under everything shows here.
      } else if (k < open.size() && open[k].x0 == x0 && open[k].x1 == right &&
                 open[k].depth == depth) {
        reaching.push_back(open[k++]);
        reaching.back().y1 = y + 1;
      } else {
        reaching.push_back({x0, y, right, y + 1, depth});
      }
      x0 = x1;
    }
    rects.insert(rects.end(), open.begin() + static_cast<std::ptrdiff_t>(k), open.end());
    std::swap(open, reaching);
  }
  // The row below the mat repeats the last one.
  for (DepthRect& rect : open) {
    ++rect.y1;
    rects.push_back(rect);
  }
  return rects;
}
