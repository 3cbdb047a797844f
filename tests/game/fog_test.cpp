// Strokes on a fog mat, without a window: thousands of random strokes
// compared with the capsule they stand for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "game/game_internal.h"
#include "game/path.h"

namespace {

constexpr uint8_t kCovered = 0;  // blue 255
constexpr uint8_t kClear = 1;    // blue 0
constexpr uint8_t kShade = 2;    // blue 200

Mat FogMat(int32_t width, int32_t height, size_t entryCount = 3) {
  Mat mat;
  mat.entries = {{"COVER", 0x4040FF}, {"CLEAR", 0x203000}, {"SHADE", 0x0000C8}};
  mat.entries.resize(entryCount, {"MORE", 0xFF});
  mat.width = width;
  mat.height = height;
  mat.data.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kCovered);
  return mat;
}

// The distance from a pixel to the segment from a to b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

struct Stroke {
  int32_t x1, y1, x2, y2, radius;
};

std::string Describe(const Stroke& s) {
  return "stroke (" + std::to_string(s.x1) + ", " + std::to_string(s.y1) + ") - (" +
         std::to_string(s.x2) + ", " + std::to_string(s.y2) + ") radius " +
         std::to_string(s.radius);
}

// Draws the stroke over a mat of covered and shaded pixels and checks every
// pixel against the capsule: a pixel a pixel's width inside the side lines
// holds the clear index, one a pixel's width outside the round ends is
// untouched, one in between either, and none keeps the stroke's mark. The
// side lines are offset by r x (dy, dx) / the rounded length, truncated; the
// ends are half circles through their ends (a point stroke runs to P1 + (1, 1)).
void ExpectCapsule(const Stroke& s, int32_t width, int32_t height, uint32_t seed) {
  Mat mat = FogMat(width, height);
  std::mt19937 random(seed);
  for (uint8_t& pixel : mat.data) {
    pixel = random() % 4 == 0 ? kShade : kCovered;
  }
  const std::vector<uint8_t> before = mat.data;
  FogOfWarStroke(mat, kClear, s.x1, s.y1, s.x2, s.y2, s.radius);

  const double ax = s.x1, ay = s.y1;
  double bx = s.x2, by = s.y2;
  if (ax == bx && ay == by) {
    bx += 1;
    by += 1;
  }
  const double dx = bx - ax;
  const double dy = by - ay;
  const double length = std::hypot(dx, dy);
  const double r = std::clamp<double>(s.radius, 0, std::ceil(std::hypot(width, height)));
  const double ox = std::trunc(r * dy / std::round(length));
  const double oy = std::trunc(r * dx / std::round(length));
  const double inner = (ox * dy + oy * dx) / length - 1.0;
  const double outer = std::hypot(ox, oy) + 1.0;
  int32_t wrong = 0;
  for (int32_t y = 0; y < height && wrong < 5; ++y) {
    for (int32_t x = 0; x < width && wrong < 5; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      const double d = SegmentDistance(x, y, ax, ay, bx, by);
      const uint8_t pixel = mat.data[i];
      const bool ok = d <= inner  ? pixel == kClear
                      : d > outer ? pixel == before[i]
                                  : pixel == kClear || pixel == before[i];
      if (!ok) {
        ++wrong;
        ADD_FAILURE() << Describe(s) << ": pixel (" << x << ", " << y << ") at " << d
                      << " from the centre line (" << inner << " to " << outer << ") holds "
                      << static_cast<int>(pixel);
      }
    }
  }
  // However thin the stroke, its centre line is uncovered wherever it
  // crosses the mat (short enough strokes are drawn as they are given).
  if (std::max({std::abs(ax), std::abs(ay), std::abs(bx), std::abs(by)}) < 1000) {
    PathLineVisit({s.x1, s.y1}, {static_cast<int32_t>(bx), static_cast<int32_t>(by)},
                  [&](PathPoint p) {
                    const int32_t index = MatEntryAt(mat, p.x, p.y);
                    EXPECT_TRUE(index < 0 || index == kClear)
                        << Describe(s) << ": centre pixel (" << p.x << ", " << p.y << ")";
                    return index < 0 || index == kClear;
                  });
  }
}

TEST(FogStrokeTest, RandomStrokesUncoverTheirCapsuleInsideTheMatAndNothingElse) {
  constexpr int32_t kWidth = 120;
  constexpr int32_t kHeight = 90;
  std::mt19937 random(14);
  std::uniform_int_distribution<int32_t> x(-60, kWidth + 60);
  std::uniform_int_distribution<int32_t> y(-60, kHeight + 60);
  std::uniform_int_distribution<int32_t> radius(0, 30);
  for (uint32_t n = 0; n < 1500; ++n) {
    Stroke s{x(random), y(random), x(random), y(random), radius(random)};
    if (n % 10 == 0) {
      s.x2 = s.x1;  // a point stroke: a disc
      s.y2 = s.y1;
    } else if (n % 10 == 1) {
      s.x2 = s.x1 + static_cast<int32_t>(random() % 7) - 3;  // a short one
    }
    ExpectCapsule(s, kWidth, kHeight, n);
  }
  // Strokes ending far away, with radii beyond the diagonal or below zero.
  for (const Stroke& s : {
           Stroke{-2147483647 - 1, 45, 2147483647, 45, 10},
           Stroke{-2000000000, -2000000000, 2000000000, 2000000000, 6},
           Stroke{60, -2147483647 - 1, 60, 2147483647, 2147483647},
           Stroke{2147483647, 2147483647, 2147483647, 2147483647, 5},
           Stroke{30, 30, 90, 60, -2147483647 - 1},
           Stroke{10, 80, 110, 5, 1},
       }) {
    ExpectCapsule(s, kWidth, kHeight, 1);
  }
}

// Mats that cannot take a stroke are left as they are: the mark would name
// an entry, or the clear index names none.
TEST(FogStrokeTest, MatsWithoutRoomForTheMarkAreLeftAlone) {
  Mat many = FogMat(40, 30, 128);
  FogOfWarStroke(many, kClear, 0, 0, 40, 30, 10);
  EXPECT_EQ(std::count(many.data.begin(), many.data.end(), kCovered), 40 * 30);

  Mat fog = FogMat(40, 30);
  FogOfWarStroke(fog, 3, 0, 0, 40, 30, 10);
  EXPECT_EQ(std::count(fog.data.begin(), fog.data.end(), kCovered), 40 * 30);

  Mat empty;
  FogOfWarStroke(empty, kClear, 0, 0, 40, 30, 10);
  EXPECT_TRUE(empty.data.empty());

  // One entry short of the mark is fine.
  Mat most = FogMat(40, 30, 127);
  FogOfWarStroke(most, kClear, 20, 15, 20, 15, 3);
  EXPECT_GT(std::count(most.data.begin(), most.data.end(), kClear), 0);
}

}  // namespace
