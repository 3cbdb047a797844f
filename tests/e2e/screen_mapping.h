// Where a BestFit interface screen of the game lies on the X screen, for the
// tests that drive the real game through the X server.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"

// A logical rectangle of a 1280 x 720 interface screen.
struct Area {
  int left, top, width, height;
};

// The game's render window: the window of that title that is not the splash.
inline bool FindGameWindow(const std::string& title, XWindowInfo& found) {
  for (const XWindowInfo& window : ListNamedWindows()) {
    if (window.name == title && window.viewable && !(window.width == 420 && window.height == 153)) {
      found = window;
      return true;
    }
  }
  return false;
}

// BestFit keeps the aspect ratio and centres the picture in the window.
class ScreenMapping {
 public:
  static constexpr int kScreenWidth = 1280;
  static constexpr int kScreenHeight = 720;

  explicit ScreenMapping(const XWindowInfo& window) {
    scale_ = std::min(static_cast<double>(window.width) / kScreenWidth,
                      static_cast<double>(window.height) / kScreenHeight);
    left_ = window.x + (window.width - static_cast<int>(std::lround(kScreenWidth * scale_))) / 2;
    top_ = window.y + (window.height - static_cast<int>(std::lround(kScreenHeight * scale_))) / 2;
  }
  int X(double x) const { return left_ + static_cast<int>(x * scale_); }
  int Y(double y) const { return top_ + static_cast<int>(y * scale_); }
  std::string Point(int x, int y) const {
    return std::to_string(X(x)) + " " + std::to_string(Y(y));
  }
  int Width(const Area& area) const { return static_cast<int>(area.width * scale_); }
  int Height(const Area& area) const { return static_cast<int>(area.height * scale_); }
  std::vector<uint32_t> Read(const Area& area) const {
    return ReadScreen(X(area.left), Y(area.top), Width(area), Height(area));
  }
  // One screen pixel at a logical point; all ones when it cannot be read.
  uint32_t Pixel(int x, int y) const {
    const std::vector<uint32_t> pixel = ReadScreen(X(x), Y(y), 1, 1);
    return pixel.empty() ? 0xFFFFFFFFu : pixel[0];
  }
  // The logical point that a screen pixel of an area's patch shows.
  double Logical(int pixel) const { return (pixel + 0.5) / scale_; }

 private:
  double scale_ = 1;
  int left_ = 0;
  int top_ = 0;
};
