// Shared between the front of the platform layer (platform_front.cpp) and its
// two backends; not part of its API.
//
// The front owns what both backends share: the window handles and the flags
// set through the API (title, border, visibility, full screen, confinement,
// cursor), the focus and minimised state learnt from delivered events, the
// message-box record and the event queue. A backend does the system's side of
// each change and reports the system's events; it only ever sees handles of
// windows it created, with arguments the front has already checked.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

class PlatformBackendImpl {
 public:
  virtual ~PlatformBackendImpl() = default;

  // Monitors; the index is always valid.
  virtual int MonitorCount() = 0;
  virtual PlatformRect MonitorBounds(int monitor) = 0;
  virtual bool MonitorIsPrimary(int monitor) = 0;
  virtual std::string MonitorDeviceName(int monitor) = 0;
  virtual bool MonitorEnumMode(int monitor, int number, PlatformMode& mode) = 0;
  virtual PlatformMode MonitorDesktopMode(int monitor) = 0;
  virtual void SetMonitors(const std::vector<PlatformMonitor>& monitors) = 0;

  // Windows; the front has recorded the new flag before each call.
  // False (with the reason as the error text) when the window cannot be made.
  virtual bool WindowCreate(PlatformWindow window, const PlatformWindowParams& params) = 0;
  virtual void WindowDestroy(PlatformWindow window) = 0;
  virtual void WindowSetVisible(PlatformWindow window, bool visible) = 0;
  virtual void WindowSetTitle(PlatformWindow window, const std::string& title) = 0;
  virtual void WindowSetBorderless(PlatformWindow window, bool borderless) = 0;
  virtual void WindowSetPosition(PlatformWindow window, int32_t x, int32_t y) = 0;
  virtual void WindowSetClientSize(PlatformWindow window, int32_t width, int32_t height) = 0;
  virtual PlatformRect WindowClientRect(PlatformWindow window) = 0;
  virtual bool WindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode) = 0;
  // Rows top-down, 3 bytes per pixel (blue, green, red), no padding.
  virtual void WindowSetPicture(PlatformWindow window, int32_t width, int32_t height,
                                std::vector<uint8_t> bgrTopDown) = 0;
  virtual void WindowConfinePointer(PlatformWindow window, bool confine) = 0;
  virtual void WindowCursorChanged(PlatformWindow window) = 0;
  virtual void WindowRaise(PlatformWindow window) = 0;
  virtual void WindowMinimize(PlatformWindow window) = 0;
  virtual void WindowRestore(PlatformWindow window) = 0;
  // Headless only: the reason OpenGL windows fail with; empty: they succeed.
  virtual void FailOpenGLWindows(const std::string& reason) = 0;

  // Application.
  virtual void KeepAwake() = 0;
  // Appends the system's waiting events, translated.
  virtual void PollEvents(std::vector<PlatformEvent>& events) = 0;
  // Sleeps until a system event waits (leaving it for PollEvents) or the time
  // has passed.
  virtual void WaitEvents(uint32_t timeoutMs) = 0;

  // Joysticks; SetJoysticks is for the headless backend only.
  virtual int JoystickCount() = 0;
  virtual bool JoystickGetInfo(int joystick, PlatformJoystickInfo& info) = 0;
  virtual void SetJoysticks(const std::vector<PlatformJoystickInfo>& joysticks) = 0;

  // OpenGL; the window exists.
  virtual PlatformGLContext GLCreateContext(PlatformWindow window) = 0;
  virtual void GLDeleteContext(PlatformGLContext context) = 0;
  virtual bool GLMakeCurrent(PlatformWindow window, PlatformGLContext context) = 0;
  virtual PlatformGLContext GLCurrentContext() = 0;
  virtual void* GLProcAddress(const std::string& name) = 0;
  virtual bool GLSwap(PlatformWindow window) = 0;
  virtual int GLSetSwapInterval(bool on) = 0;
  virtual bool GLAccelerated(PlatformWindow window) = 0;
};

// The backends; the SDL one is null (with SDL's error set) when SDL cannot
// start its video subsystem.
std::unique_ptr<PlatformBackendImpl> PlatformSdlBackendCreate();
std::unique_ptr<PlatformBackendImpl> PlatformHeadlessBackendCreate();

// A real message box through SDL, usable before the layer starts; nothing
// when no box can be shown.
std::optional<PlatformBoxAnswer> PlatformSdlShowBox(const std::string& title,
                                                    const std::string& text, PlatformBoxKind kind);

// SDL's id of a window of the SDL backend, which its events carry (tests push
// SDL events for it); 0 for none.
uint32_t PlatformSdlWindowId(PlatformWindow window);

// Queues an event for the next pump, after the system's own events.
void PlatformQueueEvent(const PlatformEvent& event);
// Whether the window has the input focus, as the delivered events tell.
bool PlatformWindowFocused(PlatformWindow window);
