#include "framework/mat/mat.h"

#include <algorithm>
#include <cstring>

#include "framework/log/log.h"

namespace {

bool started = false;

// Width and height as every reader accepts them: positive, and small enough
// that the pixels fit the limit.
bool SizeAccepted(int32_t width, int32_t height) {
  return width > 0 && height > 0 && int64_t{width} * height <= kMatMaxPixels;
}

// Sum of the absolute differences of the red, green and blue bytes.
int32_t ColorDistance(uint32_t a, uint32_t b) {
  int32_t distance = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int32_t difference =
        static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF);
    distance += difference < 0 ? -difference : difference;
  }
  return distance;
}

}  // namespace

// --- Module lifecycle -------------------------------------------------------------

void MatStart() {
  if (!started) {
    started = true;
    LogVersion("qmrMat - Version 1.0");
  }
}

void MatStop() {
  started = false;
}

// --- Decoding ----------------------------------------------------------------------

void MatDecode(const MatRaw& raw, Mat& mat) {
  if (!MatRawIsValid(raw)) {
    MatClear(mat);
    return;
  }
  mat.entries = raw.entries;
  mat.width = raw.width;
  mat.height = raw.height;
  const size_t total = static_cast<size_t>(raw.width) * static_cast<size_t>(raw.height);
  // A mat decoded again into the same record keeps its buffer: every byte is
  // written below, by a run or by the zero fill of what no run reaches.
  mat.data.resize(total);
  uint8_t* pixels = mat.data.data();
  size_t position = 0;
  for (const MatRun& run : raw.runs) {
    const size_t count = std::min<size_t>(run.length, total - position);
    std::memset(pixels + position, run.index, count);
    position += count;
    if (position == total) {
      break;
    }
  }
  std::memset(pixels + position, 0, total - position);
}

// --- Validity and clearing ----------------------------------------------------------

bool MatIsValid(const Mat& mat) {
  return SizeAccepted(mat.width, mat.height) && !mat.entries.empty() &&
         mat.data.size() == static_cast<size_t>(mat.width) * static_cast<size_t>(mat.height);
}

bool MatRawIsValid(const MatRaw& raw) {
  return SizeAccepted(raw.width, raw.height) && !raw.entries.empty() && !raw.runs.empty();
}

void MatClear(Mat& mat) {
  mat.entries.clear();
  mat.width = 0;
  mat.height = 0;
  mat.data.clear();
}

void MatRawClear(MatRaw& raw) {
  raw.entries.clear();
  raw.width = 0;
  raw.height = 0;
  raw.runs.clear();
}

// --- Queries -------------------------------------------------------------------------

std::string MatNearestEntryName(const Mat& mat, uint32_t color) {
  if (!MatIsValid(mat)) {
    return "";
  }
  // No distance reaches 768, so the first entry is always taken.
  int32_t best = 768;
  const MatEntry* nearest = nullptr;
  for (const MatEntry& entry : mat.entries) {
    const int32_t distance = ColorDistance(entry.color, color);
    if (distance < best) {
      best = distance;
      nearest = &entry;
    }
  }
  return nearest->name;
}

int32_t MatEntryAt(const Mat& mat, int32_t x, int32_t y) {
  if (!MatIsValid(mat) || x < 0 || y < 0 || x >= mat.width || y >= mat.height) {
    return -1;
  }
  const uint8_t index = mat.data[static_cast<size_t>(y) * mat.width + x];
  return index < mat.entries.size() ? index : -1;
}
