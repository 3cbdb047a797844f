// Splitting a mat's rows into runs of one entry index.
#include "game/depth_runs.h"

namespace {

uint8_t BlueOf(const Mat& mat, uint8_t index) {
  return index < mat.entries.size() ? static_cast<uint8_t>(mat.entries[index].color & 0xFF) : 0;
}

}  // namespace

std::vector<DepthRun> DepthRunsOf(const Mat& mat) {
  std::vector<DepthRun> runs;
  if (!MatIsValid(mat)) {
    return runs;
  }
  for (int32_t y = 0; y < mat.height; ++y) {
    const uint8_t* row = mat.data.data() + static_cast<size_t>(y) * static_cast<size_t>(mat.width);
    int32_t x0 = 0;
    for (int32_t x = 1; x <= mat.width; ++x) {
      if (x == mat.width || row[x] != row[x0]) {
        runs.push_back({y, x0, x, row[x0], BlueOf(mat, row[x0])});
        x0 = x;
      }
    }
  }
  return runs;
}
