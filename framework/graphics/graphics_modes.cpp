// Monitor mode lists, the displays' modes, and switching monitors between a
// display's mode and the desktop.
//
// The platform changes a monitor's mode through a full-screen window on it,
// so a monitor takes a display's mode by putting the display windows on that
// monitor in full screen, and the desktop returns when they leave it.
#include <algorithm>
#include <tuple>

#include "framework/graphics/graphics_internal.h"
#include "framework/log/log.h"

namespace {

// Smaller modes are narrower, then lower, then shallower.
bool SmallerMode(const GraphicsMode& a, const GraphicsMode& b) {
  return std::tie(a.width, a.height, a.bitsPerPixel) < std::tie(b.width, b.height, b.bitsPerPixel);
}

bool SameSizeAndDepth(const GraphicsMode& a, const GraphicsMode& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel;
}

// The game's screens need at least 640x480 and 16 bits per pixel.
bool UsableMode(const PlatformMode& mode) {
  return mode.width >= 640 && mode.height >= 480 && mode.bitsPerPixel >= 16;
}

// Of two refresh rates of one size and depth, the better: the desktop's
// (switching to it keeps the picture as the player set it up), else the
// higher one.
bool BetterRefreshRate(int32_t rate, int32_t than, int32_t desktopRate) {
  if ((rate == desktopRate) != (than == desktopRate)) {
    return rate == desktopRate;
  }
  return rate > than;
}

// The monitor's usable modes, sorted by width, height and bits, each size and
// depth once with the number of its best refresh rate (the system may list
// the rates in any order: SDL lists them highest first).
std::vector<GraphicsMode> EnumerateMonitor(int32_t monitor) {
  std::vector<GraphicsMode> modes;
  std::vector<int32_t> rates;  // the refresh rate of each entry of modes
  if (PlatformMonitorDeviceName(monitor).empty()) {
    return modes;
  }
  const int32_t desktopRate = PlatformMonitorDesktopMode(monitor).refreshRate;
  PlatformMode found;
  for (int32_t number = 0; PlatformMonitorEnumMode(monitor, number, found); ++number) {
    if (!UsableMode(found)) {
      continue;
    }
    const GraphicsMode mode{found.width, found.height, found.bitsPerPixel, number};
    const auto place = std::lower_bound(modes.begin(), modes.end(), mode, SmallerMode);
    const auto index = place - modes.begin();
    if (place == modes.end() || !SameSizeAndDepth(*place, mode)) {
      modes.insert(place, mode);
      rates.insert(rates.begin() + index, found.refreshRate);
    } else if (!BetterRefreshRate(rates[index], found.refreshRate, desktopRate)) {
      // Of equal rates the one enumerated last is kept.
      *place = mode;
      rates[index] = found.refreshRate;
    }
  }
  return modes;
}

const std::vector<GraphicsMode>* ModeList(int32_t monitor) {
  const auto& lists = GraphicsData().monitorModes;
  if (monitor < 0 || monitor >= static_cast<int32_t>(lists.size())) {
    return nullptr;
  }
  return &lists[monitor];
}

void SetResolutionFailed(const std::string& message, int32_t monitor) {
  LogError("GraphicsMonitorSetResolution - " + message + std::to_string(monitor) + ".");
}

}  // namespace

void GraphicsMonitorsEnumerate() {
  auto& lists = GraphicsData().monitorModes;
  lists.clear();
  const int32_t count = PlatformMonitorCount();
  for (int32_t monitor = 0; monitor < count; ++monitor) {
    lists.push_back(EnumerateMonitor(monitor));
  }
}

// --- Monitors and their modes ------------------------------------------------------

GraphicsMode GraphicsMonitorGetMode(int32_t monitor, int32_t index) {
  const auto* modes = ModeList(monitor);
  if (modes == nullptr || index < 0 || index >= static_cast<int32_t>(modes->size())) {
    return {};
  }
  return (*modes)[index];
}

int32_t GraphicsMonitorFindModeIndex(int32_t monitor, int32_t width, int32_t height,
                                     int32_t bitsPerPixel) {
  const auto* modes = ModeList(monitor);
  if (modes == nullptr) {
    return -1;
  }
  const GraphicsMode wanted{width, height, bitsPerPixel, 0};
  for (size_t i = 0; i < modes->size(); ++i) {
    if (SameSizeAndDepth((*modes)[i], wanted)) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

GraphicsMode GraphicsMonitorFindMode(int32_t monitor, int32_t width, int32_t height,
                                     int32_t bitsPerPixel) {
  return GraphicsMonitorGetMode(monitor,
                                GraphicsMonitorFindModeIndex(monitor, width, height, bitsPerPixel));
}

std::string GraphicsMonitorModeText(int32_t monitor, int32_t index) {
  const GraphicsMode mode = GraphicsMonitorGetMode(monitor, index);
  if (mode.width == 0 || mode.height == 0 || mode.bitsPerPixel == 0) {
    return {};
  }
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " " +
         std::to_string(mode.bitsPerPixel) + "-bit color";
}

bool GraphicsMonitorSetResolution(int32_t monitor, int32_t modeNumber) {
  if (PlatformMonitorDeviceName(monitor).empty()) {
    SetResolutionFailed("Unable to enumerate device name for monitor ", monitor);
    return false;
  }
  PlatformMode mode;
  if (!PlatformMonitorEnumMode(monitor, modeNumber, mode)) {
    SetResolutionFailed("Unable to enumerate display settings for monitor ", monitor);
    return false;
  }
  bool anyWindow = false;
  bool changed = true;
  for (const GraphicsDisplay& display : GraphicsData().displays) {
    if (display.monitor == monitor) {
      anyWindow = true;
      changed = PlatformWindowSetFullscreen(display.window, true, mode) && changed;
    }
  }
  // Without a window on the monitor nothing can carry the mode.
  if (!anyWindow || !changed) {
    SetResolutionFailed("Resolution change failed on monitor ", monitor);
    return false;
  }
  return true;
}

bool GraphicsMonitorsRestoreDesktop() {
  bool restored = true;
  for (const GraphicsDisplay& display : GraphicsData().displays) {
    if (PlatformWindowFullscreen(display.window)) {
      restored = PlatformWindowSetFullscreen(display.window, false, {}) && restored;
    }
  }
  if (!restored) {
    LogError("GraphicsMonitorsRestoreDesktop - Resolution change failed.");
  }
  return restored;
}

// --- Full screen ------------------------------------------------------------------

void GraphicsSetFullscreen(bool on) {
  GraphicsModule& data = GraphicsData();
  if (on) {
    for (const GraphicsDisplay& display : data.displays) {
      // A display without a chosen mode has nothing to switch its monitor to.
      if (display.mode.width != 0) {
        GraphicsMonitorSetResolution(display.monitor, display.mode.number);
      }
    }
  } else if (data.fullscreen) {
    GraphicsMonitorsRestoreDesktop();
  }
  data.fullscreen = on;
}

// --- Display modes ------------------------------------------------------------------

void GraphicsDisplaySetMode(int32_t id, const GraphicsMode& mode) {
  GraphicsDisplay* display = GraphicsDisplayFind(id);
  if (display == nullptr || mode.width == 0) {
    return;
  }
  display->mode = mode;
  if (GraphicsDisplayMakeCurrent(id)) {
    GraphicsViewportFitWindow(display->window);
  }
}

GraphicsMode GraphicsDisplayGetMode(int32_t id, int32_t index) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  if (display == nullptr) {
    return {0, 0, 0, -1};
  }
  return GraphicsMonitorGetMode(display->monitor, index);
}

int32_t GraphicsDisplayGetModeIndex(int32_t id) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  if (display == nullptr) {
    return -1;
  }
  const GraphicsMode& mode = display->mode;
  return GraphicsMonitorFindModeIndex(display->monitor, mode.width, mode.height, mode.bitsPerPixel);
}

int32_t GraphicsDisplayGetWidth(int32_t id) {
  const int32_t width = GraphicsDisplayGetMode(id, GraphicsDisplayGetModeIndex(id)).width;
  return width != 0 ? width : 1;
}

int32_t GraphicsDisplayGetHeight(int32_t id) {
  const int32_t height = GraphicsDisplayGetMode(id, GraphicsDisplayGetModeIndex(id)).height;
  return height != 0 ? height : 1;
}
