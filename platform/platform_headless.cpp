// The headless backend: fake monitors, windows that exist only as records of
// their geometry, and no OpenGL. Where a window manager would answer a change
// with events (showing, raising, hiding, minimising, restoring), this backend
// queues the same events for the next pump, so that shell logic runs as it
// would on a desktop.
#include <map>

#include "platform/platform_backend.h"
#include "platform/platform_internal.h"

namespace {

PlatformMonitor DefaultMonitor() {
  PlatformMonitor monitor;
  monitor.bounds = {0, 0, 1920, 1080};
  monitor.primary = true;
  monitor.modes = {{640, 480, 32, 60},   {800, 600, 32, 60},  {1024, 768, 16, 60},
                   {1024, 768, 32, 60},  {1024, 768, 32, 75}, {1280, 720, 32, 60},
                   {1280, 1024, 32, 60}, {1920, 1080, 32, 60}};
  monitor.desktopMode = {1920, 1080, 32, 60};
  return monitor;
}

bool SameMode(const PlatformMode& offered, const PlatformMode& wanted) {
  return offered.width == wanted.width && offered.height == wanted.height &&
         offered.bitsPerPixel == wanted.bitsPerPixel &&
         (wanted.refreshRate == 0 || offered.refreshRate == wanted.refreshRate);
}

struct HeadlessWindow {
  PlatformRect windowed;  // the client rectangle outside full screen
  PlatformRect fullscreenRect;
  bool fullscreen = false;
};

void Queue(PlatformEventType type, PlatformWindow window) {
  PlatformQueueEvent({.type = type, .window = window});
}

class HeadlessBackend final : public PlatformBackendImpl {
 public:
  int MonitorCount() override { return static_cast<int>(monitors_.size()); }
  PlatformRect MonitorBounds(int monitor) override { return monitors_[monitor].bounds; }
  bool MonitorIsPrimary(int monitor) override { return monitors_[monitor].primary; }
  std::string MonitorDeviceName(int monitor) override {
    return "Headless " + std::to_string(monitor + 1);
  }
  bool MonitorEnumMode(int monitor, int number, PlatformMode& mode) override {
    const std::vector<PlatformMode>& modes = monitors_[monitor].modes;
    if (number >= static_cast<int>(modes.size())) {
      return false;
    }
    mode = modes[number];
    return true;
  }
  PlatformMode MonitorDesktopMode(int monitor) override { return monitors_[monitor].desktopMode; }
  void SetMonitors(const std::vector<PlatformMonitor>& monitors) override { monitors_ = monitors; }

  bool WindowCreate(PlatformWindow window, const PlatformWindowParams& params) override {
    if (params.opengl && !openglWindowFailure_.empty()) {
      PlatformSetErrorText(openglWindowFailure_);
      return false;
    }
    PlatformRect rect{params.x, params.y, params.width, params.height};
    if (params.centred && !monitors_.empty()) {
      const bool known = params.monitor >= 0 && params.monitor < MonitorCount();
      const PlatformRect bounds = monitors_[known ? params.monitor : 0].bounds;
      rect.x = bounds.x + (bounds.width - rect.width) / 2;
      rect.y = bounds.y + (bounds.height - rect.height) / 2;
    }
    windows_[window].windowed = rect;
    if (!params.hidden) {
      Queue(PlatformEventType::WindowActivated, window);
    }
    return true;
  }
  void WindowDestroy(PlatformWindow window) override { windows_.erase(window); }
  void WindowSetVisible(PlatformWindow window, bool visible) override {
    if (visible) {
      Queue(PlatformEventType::WindowActivated, window);
    } else if (PlatformWindowFocused(window)) {
      Queue(PlatformEventType::WindowDeactivated, window);
    }
  }
  void WindowSetTitle(PlatformWindow, const std::string&) override {}
  void WindowSetBorderless(PlatformWindow, bool) override {}
  void WindowSetPosition(PlatformWindow window, int32_t x, int32_t y) override {
    windows_[window].windowed.x = x;
    windows_[window].windowed.y = y;
  }
  void WindowSetClientSize(PlatformWindow window, int32_t width, int32_t height) override {
    windows_[window].windowed.width = width;
    windows_[window].windowed.height = height;
  }
  PlatformRect WindowClientRect(PlatformWindow window) override {
    const HeadlessWindow& record = windows_[window];
    return record.fullscreen ? record.fullscreenRect : record.windowed;
  }
  bool WindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode) override;
  void WindowSetPicture(PlatformWindow, int32_t, int32_t, std::vector<uint8_t>) override {}
  void WindowConfinePointer(PlatformWindow, bool) override {}
  void WindowCursorChanged(PlatformWindow) override {}
  void WindowRaise(PlatformWindow window) override {
    if (PlatformWindowVisible(window)) {
      Queue(PlatformEventType::WindowActivated, window);
    }
  }
  void WindowMinimize(PlatformWindow window) override {
    Queue(PlatformEventType::WindowDeactivated, window);
    Queue(PlatformEventType::WindowMinimized, window);
  }
  void WindowRestore(PlatformWindow window) override {
    Queue(PlatformEventType::WindowRestored, window);
    Queue(PlatformEventType::WindowActivated, window);
  }
  void FailOpenGLWindows(const std::string& reason) override { openglWindowFailure_ = reason; }

  void KeepAwake() override {}
  void PollEvents(std::vector<PlatformEvent>&) override {}
  // No system event ever comes, so the whole time passes.
  void WaitEvents(uint32_t timeoutMs) override { PlatformSleep(timeoutMs); }

  int JoystickCount() override { return static_cast<int>(joysticks_.size()); }
  bool JoystickGetInfo(int joystick, PlatformJoystickInfo& info) override {
    info = joysticks_[joystick];
    return true;
  }
  void SetJoysticks(const std::vector<PlatformJoystickInfo>& joysticks) override {
    joysticks_ = joysticks;
  }

  PlatformGLContext GLCreateContext(PlatformWindow) override { return NoOpenGL(0); }
  void GLDeleteContext(PlatformGLContext) override {}
  bool GLMakeCurrent(PlatformWindow, PlatformGLContext) override { return NoOpenGL(false); }
  PlatformGLContext GLCurrentContext() override { return 0; }
  void* GLProcAddress(const std::string&) override { return nullptr; }
  bool GLSwap(PlatformWindow) override { return NoOpenGL(false); }
  int GLSetSwapInterval(bool) override { return -1; }
  bool GLAccelerated(PlatformWindow) override { return false; }

 private:
  template <typename T>
  static T NoOpenGL(T result) {
    PlatformSetErrorText("The headless platform has no OpenGL.");
    return result;
  }
  // The monitor holding the centre of the window, else the first.
  int MonitorOf(const PlatformRect& rect) const;

  std::vector<PlatformMonitor> monitors_{DefaultMonitor()};
  std::map<PlatformWindow, HeadlessWindow> windows_;
  std::string openglWindowFailure_;
  std::vector<PlatformJoystickInfo> joysticks_;
};

int HeadlessBackend::MonitorOf(const PlatformRect& rect) const {
  const int32_t x = rect.x + rect.width / 2;
  const int32_t y = rect.y + rect.height / 2;
  for (size_t i = 0; i < monitors_.size(); ++i) {
    const PlatformRect& b = monitors_[i].bounds;
    if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) {
      return static_cast<int>(i);
    }
  }
  return 0;
}

bool HeadlessBackend::WindowSetFullscreen(PlatformWindow window, bool on,
                                          const PlatformMode& mode) {
  HeadlessWindow& record = windows_[window];
  if (!on) {
    record.fullscreen = false;
    return true;
  }
  if (monitors_.empty()) {
    PlatformSetErrorText("There is no monitor for full screen.");
    return false;
  }
  const PlatformMonitor& monitor = monitors_[MonitorOf(WindowClientRect(window))];
  bool offered = SameMode(monitor.desktopMode, mode);
  for (const PlatformMode& candidate : monitor.modes) {
    offered = offered || SameMode(candidate, mode);
  }
  if (!offered) {
    PlatformSetErrorText("The monitor has no display mode " + std::to_string(mode.width) + "x" +
                         std::to_string(mode.height) + " at " + std::to_string(mode.bitsPerPixel) +
                         " bits.");
    return false;
  }
  record.fullscreenRect = {monitor.bounds.x, monitor.bounds.y, mode.width, mode.height};
  record.fullscreen = true;
  return true;
}

}  // namespace

std::unique_ptr<PlatformBackendImpl> PlatformHeadlessBackendCreate() {
  return std::make_unique<HeadlessBackend>();
}
