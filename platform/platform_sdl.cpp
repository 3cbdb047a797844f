// The SDL backend: SDL displays as monitors, SDL windows, OpenGL contexts on
// them, and SDL's events turned into the layer's events, with mouse events in
// the window-message numbering and packing the input module was written for.
#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "platform/platform_backend.h"
#include "platform/platform_internal.h"

namespace {

// Window-message numbers and flags of the mouse messages.
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftDown = 0x0201;
constexpr uint32_t kRightDown = 0x0204;
constexpr uint32_t kMiddleDown = 0x0207;
constexpr uint32_t kExtraDown = 0x020B;
constexpr uint32_t kWheel = 0x020A;
constexpr uint32_t kHorizontalWheel = 0x020E;
constexpr uint32_t kUpAfterDown = 1;  // each button's up message follows its down
constexpr uint32_t kMkLeft = 0x0001;
constexpr uint32_t kMkRight = 0x0002;
constexpr uint32_t kMkShift = 0x0004;
constexpr uint32_t kMkControl = 0x0008;
constexpr uint32_t kMkMiddle = 0x0010;
constexpr uint32_t kMkExtra1 = 0x0020;
constexpr uint32_t kMkExtra2 = 0x0040;
constexpr int kWheelDelta = 120;  // one notch

struct ButtonMessage {
  uint32_t down = 0;
  uint32_t heldFlag = 0;
  uint32_t highWord = 0;  // which extra button
};

std::optional<ButtonMessage> MessageOfButton(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return ButtonMessage{kLeftDown, kMkLeft, 0};
    case SDL_BUTTON_RIGHT:
      return ButtonMessage{kRightDown, kMkRight, 0};
    case SDL_BUTTON_MIDDLE:
      return ButtonMessage{kMiddleDown, kMkMiddle, 0};
    case SDL_BUTTON_X1:
      return ButtonMessage{kExtraDown, kMkExtra1, 1};
    case SDL_BUTTON_X2:
      return ButtonMessage{kExtraDown, kMkExtra2, 2};
    default:
      return std::nullopt;
  }
}

uint32_t HeldFlagsOfState(uint32_t state) {
  uint32_t flags = 0;
  for (uint8_t button = SDL_BUTTON_LEFT; button <= SDL_BUTTON_X2; ++button) {
    if ((state & SDL_BUTTON(button)) != 0) {
      flags |= MessageOfButton(button)->heldFlag;
    }
  }
  return flags;
}

uint32_t ModifierFlags() {
  const SDL_Keymod mods = SDL_GetModState();
  return ((mods & KMOD_SHIFT) != 0 ? kMkShift : 0) | ((mods & KMOD_CTRL) != 0 ? kMkControl : 0);
}

// x in the low and y in the high 16 bits, each as a 16-bit two's complement
// number, as window messages carry a point.
int32_t PackPoint(int32_t x, int32_t y) {
  const uint32_t low = static_cast<uint32_t>(x) & 0xFFFFu;
  const uint32_t high = static_cast<uint32_t>(y) & 0xFFFFu;
  return static_cast<int32_t>((high << 16) | low);
}

uint32_t PackWParam(int32_t highWord, uint32_t flags) {
  return ((static_cast<uint32_t>(highWord) & 0xFFFFu) << 16) | (flags & 0xFFFFu);
}

PlatformMode ModeOf(const SDL_DisplayMode& mode) {
  // Bytes per pixel: SDL counts 24 bits for a 32-bit XRGB mode.
  return {mode.w, mode.h, static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8,
          mode.refresh_rate};
}

bool MatchesMode(const SDL_DisplayMode& offered, const PlatformMode& wanted) {
  const PlatformMode mode = ModeOf(offered);
  return mode.width == wanted.width && mode.height == wanted.height &&
         mode.bitsPerPixel == wanted.bitsPerPixel &&
         (wanted.refreshRate == 0 || mode.refreshRate == wanted.refreshRate);
}

SDL_HitTestResult DragAnywhere(SDL_Window*, const SDL_Point*, void*) {
  return SDL_HITTEST_DRAGGABLE;
}

// The buffers every OpenGL window and context is made with.
void SetGLAttributes(bool requireAcceleration) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
  if (requireAcceleration) {
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
  }
}

bool SoftwareRenderer(const char* renderer) {
  if (renderer == nullptr) {
    return true;
  }
  std::string lower(renderer);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* name : {"llvmpipe", "softpipe", "swrast"}) {
    if (lower.find(name) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Puts back the context that was current before a temporary change.
class CurrentContextKeeper {
 public:
  CurrentContextKeeper()
      : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
  ~CurrentContextKeeper() { SDL_GL_MakeCurrent(context_ ? window_ : nullptr, context_); }
  CurrentContextKeeper(const CurrentContextKeeper&) = delete;
  CurrentContextKeeper& operator=(const CurrentContextKeeper&) = delete;

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
};

struct SdlWindow {
  SDL_Window* window = nullptr;
  uint32_t id = 0;                 // SDL's window id, which its events carry
  std::vector<uint8_t> picture{};  // top-down BGR
  int32_t pictureWidth = 0;
  int32_t pictureHeight = 0;
  PlatformRect windowed{};  // the client rectangle to return to from full screen
};

class SdlBackend;
SdlBackend* running = nullptr;  // the one SDL backend while the layer runs on it

class SdlBackend final : public PlatformBackendImpl {
 public:
  SdlBackend() { running = this; }
  ~SdlBackend() override;

  int MonitorCount() override { return std::max(SDL_GetNumVideoDisplays(), 0); }
  PlatformRect MonitorBounds(int monitor) override;
  bool MonitorIsPrimary(int monitor) override { return monitor == 0; }
  std::string MonitorDeviceName(int monitor) override;
  bool MonitorEnumMode(int monitor, int number, PlatformMode& mode) override;
  PlatformMode MonitorDesktopMode(int monitor) override;
  void SetMonitors(const std::vector<PlatformMonitor>&) override {}

  bool WindowCreate(PlatformWindow window, const PlatformWindowParams& params) override;
  void WindowDestroy(PlatformWindow window) override;
  void WindowSetVisible(PlatformWindow window, bool visible) override;
  void WindowSetTitle(PlatformWindow window, const std::string& title) override {
    SDL_SetWindowTitle(Native(window), title.c_str());
  }
  void WindowSetBorderless(PlatformWindow window, bool borderless) override {
    SDL_SetWindowBordered(Native(window), borderless ? SDL_FALSE : SDL_TRUE);
  }
  void WindowSetPosition(PlatformWindow window, int32_t x, int32_t y) override;
  void WindowSetClientSize(PlatformWindow window, int32_t width, int32_t height) override;
  PlatformRect WindowClientRect(PlatformWindow window) override;
  bool WindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode) override;
  void WindowSetPicture(PlatformWindow window, int32_t width, int32_t height,
                        std::vector<uint8_t> bgrTopDown) override;
  void WindowConfinePointer(PlatformWindow window, bool confine) override {
    SDL_SetWindowGrab(Native(window), confine ? SDL_TRUE : SDL_FALSE);
  }
  void WindowCursorChanged(PlatformWindow) override { ApplyCursor(); }
  void WindowRaise(PlatformWindow window) override { SDL_RaiseWindow(Native(window)); }
  void WindowMinimize(PlatformWindow window) override { SDL_MinimizeWindow(Native(window)); }
  void WindowRestore(PlatformWindow window) override { SDL_RestoreWindow(Native(window)); }
  void FailOpenGLWindows(const std::string&) override {}

  void KeepAwake() override { SDL_DisableScreenSaver(); }
  void PollEvents(std::vector<PlatformEvent>& events) override;
  // A null event leaves the one that ended the wait in SDL's queue.
  void WaitEvents(uint32_t timeoutMs) override {
    SDL_WaitEventTimeout(nullptr, static_cast<int>(timeoutMs));
  }

  int JoystickCount() override { return std::max(SDL_NumJoysticks(), 0); }
  bool JoystickGetInfo(int joystick, PlatformJoystickInfo& info) override;
  void SetJoysticks(const std::vector<PlatformJoystickInfo>&) override {}

  PlatformGLContext GLCreateContext(PlatformWindow window) override;
  void GLDeleteContext(PlatformGLContext context) override;
  bool GLMakeCurrent(PlatformWindow window, PlatformGLContext context) override;
  PlatformGLContext GLCurrentContext() override;
  void* GLProcAddress(const std::string& name) override;
  bool GLSwap(PlatformWindow window) override;
  int GLSetSwapInterval(bool on) override;
  bool GLAccelerated(PlatformWindow window) override;

  uint32_t IdOf(PlatformWindow window) const {
    auto found = windows_.find(window);
    return found != windows_.end() ? found->second.id : 0;
  }

 private:
  SDL_Window* Native(PlatformWindow window) { return windows_.at(window).window; }
  bool Fullscreen(PlatformWindow window) {
    return (SDL_GetWindowFlags(Native(window)) & SDL_WINDOW_FULLSCREEN) != 0;
  }
  // The handle of the window an event names; 0 when it is none of ours.
  PlatformWindow HandleOf(uint32_t sdlId) const;
  bool LeaveFullscreen(PlatformWindow window);
  void DrawPicture(const SdlWindow& record);
  void ApplyCursor();
  void TranslateWindowEvent(const SDL_WindowEvent& event, std::vector<PlatformEvent>& events);
  void TranslateMouseEvent(const SDL_Event& event, std::vector<PlatformEvent>& events);

  std::map<PlatformWindow, SdlWindow> windows_;
  std::map<PlatformGLContext, SDL_GLContext> contexts_;
  PlatformWindow pointerWindow_ = 0;  // from enter and leave events
  PlatformWindow focusWindow_ = 0;    // from focus events
  uint32_t heldButtons_ = 0;          // MK_ flags of the buttons held
};

SdlBackend::~SdlBackend() {
  running = nullptr;
  SDL_GL_MakeCurrent(nullptr, nullptr);
  for (auto& [handle, context] : contexts_) {
    SDL_GL_DeleteContext(context);
  }
  for (auto& [handle, record] : windows_) {
    SDL_DestroyWindow(record.window);  // a full-screen window gives the desktop back
  }
  // SDL's video stays started (see PlatformSdlBackendCreate); what it keeps
  // between runs of the layer is put back as a fresh start finds it.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  SDL_ShowCursor(SDL_ENABLE);
  SDL_EnableScreenSaver();
}

// --- Monitors ---

PlatformRect SdlBackend::MonitorBounds(int monitor) {
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(monitor, &bounds) != 0) {
    return {};
  }
  return {bounds.x, bounds.y, bounds.w, bounds.h};
}

std::string SdlBackend::MonitorDeviceName(int monitor) {
  const char* name = SDL_GetDisplayName(monitor);
  return name != nullptr ? name : "";
}

bool SdlBackend::MonitorEnumMode(int monitor, int number, PlatformMode& mode) {
  SDL_DisplayMode found{};
  if (number >= SDL_GetNumDisplayModes(monitor) ||
      SDL_GetDisplayMode(monitor, number, &found) != 0) {
    return false;
  }
  mode = ModeOf(found);
  return true;
}

PlatformMode SdlBackend::MonitorDesktopMode(int monitor) {
  SDL_DisplayMode mode{};
  return SDL_GetDesktopDisplayMode(monitor, &mode) == 0 ? ModeOf(mode) : PlatformMode{};
}

// --- Windows ---

bool SdlBackend::WindowCreate(PlatformWindow window, const PlatformWindowParams& params) {
  Uint32 flags = params.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (params.borderless) {
    flags |= SDL_WINDOW_BORDERLESS;
  }
  if (params.opengl) {
    SetGLAttributes(false);
    flags |= SDL_WINDOW_OPENGL;
  }
  const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(params.monitor));
  SDL_Window* native =
      SDL_CreateWindow(params.title.c_str(), params.centred ? centred : params.x,
                       params.centred ? centred : params.y, params.width, params.height, flags);
  if (native == nullptr) {
    // Kept as the layer's own text, so that later SDL calls cannot replace
    // the reason (no OpenGL library, no matching visual ...).
    PlatformSetErrorText(SDL_GetError());
    return false;
  }
  if (params.draggableBody) {
    SDL_SetWindowHitTest(native, DragAnywhere, nullptr);
  }
  windows_[window] = {.window = native, .id = SDL_GetWindowID(native)};
  return true;
}

void SdlBackend::WindowDestroy(PlatformWindow window) {
  SDL_DestroyWindow(Native(window));
  windows_.erase(window);
  if (pointerWindow_ == window) {
    pointerWindow_ = 0;
  }
  if (focusWindow_ == window) {
    focusWindow_ = 0;
  }
}

void SdlBackend::WindowSetVisible(PlatformWindow window, bool visible) {
  if (visible) {
    SDL_ShowWindow(Native(window));
  } else {
    SDL_HideWindow(Native(window));
  }
}

// In full screen a new position or size is kept for the return to a window.
void SdlBackend::WindowSetPosition(PlatformWindow window, int32_t x, int32_t y) {
  if (Fullscreen(window)) {
    windows_.at(window).windowed.x = x;
    windows_.at(window).windowed.y = y;
  } else {
    SDL_SetWindowPosition(Native(window), x, y);
  }
}

void SdlBackend::WindowSetClientSize(PlatformWindow window, int32_t width, int32_t height) {
  if (Fullscreen(window)) {
    windows_.at(window).windowed.width = width;
    windows_.at(window).windowed.height = height;
  } else {
    SDL_SetWindowSize(Native(window), width, height);
  }
}

PlatformRect SdlBackend::WindowClientRect(PlatformWindow window) {
  PlatformRect rect;
  SDL_GetWindowPosition(Native(window), &rect.x, &rect.y);
  SDL_GetWindowSize(Native(window), &rect.width, &rect.height);
  return rect;
}

bool SdlBackend::WindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode) {
  SDL_Window* native = Native(window);
  if (!on) {
    return !Fullscreen(window) || LeaveFullscreen(window);
  }
  if (!Fullscreen(window)) {
    windows_.at(window).windowed = WindowClientRect(window);
  }
  const int display = SDL_GetWindowDisplayIndex(native);
  if (display < 0) {
    return false;
  }
  const int count = SDL_GetNumDisplayModes(display);
  for (int number = 0; number < count; ++number) {
    SDL_DisplayMode offered{};
    if (SDL_GetDisplayMode(display, number, &offered) == 0 && MatchesMode(offered, mode)) {
      // Without a window manager nothing makes the window cover the monitor
      // either, so the backend gives it the monitor's place and the mode's
      // size first; a window manager then does the rest.
      SDL_Rect bounds{};
      SDL_GetDisplayBounds(display, &bounds);
      SDL_SetWindowPosition(native, bounds.x, bounds.y);
      SDL_SetWindowSize(native, offered.w, offered.h);
      return SDL_SetWindowDisplayMode(native, &offered) == 0 &&
             SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN) == 0;
    }
  }
  SDL_SetError("Display %d has no mode %dx%d at %d bits.", display, mode.width, mode.height,
               mode.bitsPerPixel);
  return false;
}

// Without a window manager nothing puts the window back as it was, so the
// backend does.
bool SdlBackend::LeaveFullscreen(PlatformWindow window) {
  SDL_Window* native = Native(window);
  if (SDL_SetWindowFullscreen(native, 0) != 0) {
    return false;
  }
  const PlatformRect& rect = windows_.at(window).windowed;
  SDL_SetWindowSize(native, rect.width, rect.height);
  SDL_SetWindowPosition(native, rect.x, rect.y);
  return true;
}

void SdlBackend::WindowSetPicture(PlatformWindow window, int32_t width, int32_t height,
                                  std::vector<uint8_t> bgrTopDown) {
  SdlWindow& record = windows_.at(window);
  record.picture = std::move(bgrTopDown);
  record.pictureWidth = width;
  record.pictureHeight = height;
  DrawPicture(record);
}

void SdlBackend::DrawPicture(const SdlWindow& record) {
  if (record.picture.empty()) {
    return;
  }
  SDL_Surface* target = SDL_GetWindowSurface(record.window);
  if (target == nullptr) {
    return;
  }
  // SDL only reads the pixels, though its signature asks for a mutable pointer.
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(record.picture.data()), record.pictureWidth, record.pictureHeight, 24,
      record.pictureWidth * 3, SDL_PIXELFORMAT_BGR24);
  if (source == nullptr) {
    return;
  }
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(record.window);
}

// SDL has one cursor for all windows: it follows the setting of the window
// under the pointer, else of the focused window.
void SdlBackend::ApplyCursor() {
  const PlatformWindow target = pointerWindow_ != 0 ? pointerWindow_ : focusWindow_;
  if (target != 0) {
    SDL_ShowCursor(PlatformWindowCursorShown(target) ? SDL_ENABLE : SDL_DISABLE);
  }
}

PlatformWindow SdlBackend::HandleOf(uint32_t sdlId) const {
  for (const auto& [handle, record] : windows_) {
    if (record.id == sdlId) {
      return handle;
    }
  }
  return 0;
}

// --- Events ---

void SdlBackend::PollEvents(std::vector<PlatformEvent>& events) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:
        events.push_back({.type = PlatformEventType::QuitRequest});
        break;
      case SDL_DISPLAYEVENT:
        events.push_back({.type = PlatformEventType::DisplayChanged});
        break;
      case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window, events);
        break;
      case SDL_MOUSEMOTION:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
      case SDL_MOUSEWHEEL:
        TranslateMouseEvent(event, events);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        events.push_back({.type = event.type == SDL_KEYDOWN ? PlatformEventType::KeyDown
                                                            : PlatformEventType::KeyUp,
                          .window = HandleOf(event.key.windowID),
                          .key = static_cast<int32_t>(event.key.keysym.scancode)});
        break;
      default:
        break;
    }
  }
}

void SdlBackend::TranslateWindowEvent(const SDL_WindowEvent& event,
                                      std::vector<PlatformEvent>& events) {
  const PlatformWindow window = HandleOf(event.windowID);
  if (window == 0) {
    return;
  }
  auto report = [&](PlatformEventType type) { events.push_back({.type = type, .window = window}); };
  switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      DrawPicture(windows_.at(window));
      break;
    case SDL_WINDOWEVENT_ENTER:
      pointerWindow_ = window;
      ApplyCursor();
      break;
    case SDL_WINDOWEVENT_LEAVE:
      pointerWindow_ = pointerWindow_ == window ? 0 : pointerWindow_;
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      focusWindow_ = window;
      ApplyCursor();
      report(PlatformEventType::WindowActivated);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      focusWindow_ = focusWindow_ == window ? 0 : focusWindow_;
      if (focusWindow_ == 0) {
        SDL_EnableScreenSaver();  // the game is no longer in front
      }
      report(PlatformEventType::WindowDeactivated);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      report(PlatformEventType::WindowMinimized);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      report(PlatformEventType::WindowRestored);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      report(PlatformEventType::WindowCloseRequest);
      break;
    default:
      break;
  }
}

void SdlBackend::TranslateMouseEvent(const SDL_Event& event, std::vector<PlatformEvent>& events) {
  const PlatformWindow window = HandleOf(event.motion.windowID);  // the same field in all four
  if (window == 0) {
    return;
  }
  auto report = [&](uint32_t message, uint32_t wParam, int32_t x, int32_t y) {
    events.push_back({.type = PlatformEventType::MouseMessage,
                      .window = window,
                      .message = message,
                      .wParam = wParam,
                      .lParam = PackPoint(x, y)});
  };
  switch (event.type) {
    case SDL_MOUSEMOTION:
      heldButtons_ = HeldFlagsOfState(event.motion.state);
      report(kMouseMove, heldButtons_ | ModifierFlags(), event.motion.x, event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const std::optional<ButtonMessage> button = MessageOfButton(event.button.button);
      if (!button) {
        break;
      }
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      heldButtons_ = down ? heldButtons_ | button->heldFlag : heldButtons_ & ~button->heldFlag;
      report(button->down + (down ? 0 : kUpAfterDown),
             PackWParam(static_cast<int32_t>(button->highWord), heldButtons_ | ModifierFlags()),
             event.button.x, event.button.y);
      break;
    }
    case SDL_MOUSEWHEEL: {
      const int32_t sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
      const uint32_t flags = heldButtons_ | ModifierFlags();
      auto turn = [&](uint32_t message, int32_t notches) {
        const int32_t delta = std::clamp(notches * sign * kWheelDelta, -32768, 32767);
        report(message, PackWParam(delta, flags), event.wheel.mouseX, event.wheel.mouseY);
      };
      if (event.wheel.y != 0) {
        turn(kWheel, event.wheel.y);
      }
      if (event.wheel.x != 0) {
        turn(kHorizontalWheel, event.wheel.x);
      }
      break;
    }
    default:
      break;
  }
}

// --- Joysticks ---

bool SdlBackend::JoystickGetInfo(int joystick, PlatformJoystickInfo& info) {
  SDL_Joystick* device = SDL_JoystickOpen(joystick);
  if (device == nullptr) {
    return false;
  }
  const int buttons = SDL_JoystickNumButtons(device);
  const int axes = SDL_JoystickNumAxes(device);
  const int hats = SDL_JoystickNumHats(device);
  const char* name = SDL_JoystickName(device);
  info = {.name = name != nullptr ? name : "",
          .manufacturer = SDL_JoystickGetVendor(device),
          .product = SDL_JoystickGetProduct(device),
          .buttons = buttons,
          .axes = axes,
          .hasZ = axes > 2,
          .hasR = axes > 3,
          .hasU = axes > 4,
          .hasV = axes > 5,
          .hasPov = hats > 0};
  SDL_JoystickClose(device);
  return buttons >= 0 && axes >= 0 && hats >= 0;
}

// --- OpenGL contexts ---

PlatformGLContext SdlBackend::GLCreateContext(PlatformWindow window) {
  // Creating makes the new context current in SDL; a context is only made,
  // not made current, as the callers expect.
  const CurrentContextKeeper keeper;
  SDL_GLContext context = SDL_GL_CreateContext(Native(window));
  if (context == nullptr) {
    return 0;
  }
  // Counted for the whole program, not per backend: a handle names one
  // context even across a restart of the layer.
  static PlatformGLContext nextContext = 1;
  const PlatformGLContext handle = nextContext++;
  contexts_[handle] = context;
  return handle;
}

void SdlBackend::GLDeleteContext(PlatformGLContext context) {
  auto found = contexts_.find(context);
  if (found != contexts_.end()) {
    SDL_GL_DeleteContext(found->second);
    contexts_.erase(found);
  }
}

bool SdlBackend::GLMakeCurrent(PlatformWindow window, PlatformGLContext context) {
  if (context == 0) {
    return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
  }
  auto found = contexts_.find(context);
  if (found == contexts_.end()) {
    SDL_SetError("No OpenGL context %u.", context);
    return false;
  }
  return SDL_GL_MakeCurrent(Native(window), found->second) == 0;
}

PlatformGLContext SdlBackend::GLCurrentContext() {
  const SDL_GLContext current = SDL_GL_GetCurrentContext();
  for (const auto& [handle, context] : contexts_) {
    if (current != nullptr && context == current) {
      return handle;
    }
  }
  return 0;
}

void* SdlBackend::GLProcAddress(const std::string& name) {
  return SDL_GL_GetProcAddress(name.c_str());
}

bool SdlBackend::GLSwap(PlatformWindow window) {
  SDL_GL_SwapWindow(Native(window));
  return true;
}

int SdlBackend::GLSetSwapInterval(bool on) {
  if (SDL_GL_SetSwapInterval(on ? 1 : 0) == 0) {
    return 1;
  }
  // SDL says "not supported" when neither it nor the driver has the call.
  return std::strstr(SDL_GetError(), "not supported") != nullptr ? -1 : 0;
}

bool SdlBackend::GLAccelerated(PlatformWindow) {
  // The test asks the system, not the window's own context: a hidden window
  // made for it asks for an accelerated visual and reads the renderer.
  const CurrentContextKeeper keeper;
  SetGLAttributes(true);
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SetGLAttributes(false);
  if (probe == nullptr) {
    return false;
  }
  bool accelerated = false;
  if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
    accelerated = !SoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context);
  }
  SDL_DestroyWindow(probe);
  return accelerated;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// SDL's D-Bus connection (input methods, screen saver) keeps buffers that only
// libdbus's own shutdown frees, which SDL never calls; without this every
// leak check of a program using the SDL backend would fail.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
#endif

std::unique_ptr<PlatformBackendImpl> PlatformSdlBackendCreate() {
  // The shell decides what a closed last window or a lost focus means, and
  // keeps the screen awake only while the game is in front.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Started once for the life of the process: quitting SDL's video closes the
  // last connection to a bare X server, which then resets and refuses the
  // next connection for a moment, and unloads the X libraries SDL loaded,
  // whose allocations then read as leaks.
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return nullptr;
  }
  // Joysticks are optional: without the subsystem none are found.
  if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  }
  return std::make_unique<SdlBackend>();
}

uint32_t PlatformSdlWindowId(PlatformWindow window) {
  return running != nullptr ? running->IdOf(window) : 0;
}

std::optional<PlatformBoxAnswer> PlatformSdlShowBox(const std::string& title,
                                                    const std::string& text, PlatformBoxKind kind) {
  const SDL_MessageBoxButtonData okButton[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
       static_cast<int>(PlatformBoxAnswer::Ok), "OK"}};
  const SDL_MessageBoxButtonData yesNoButtons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, static_cast<int>(PlatformBoxAnswer::Yes), "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, static_cast<int>(PlatformBoxAnswer::No), "No"}};
  const bool question = kind == PlatformBoxKind::YesNo;
  const SDL_MessageBoxData box{
      SDL_MESSAGEBOX_INFORMATION,         nullptr, title.c_str(), text.c_str(), question ? 2 : 1,
      question ? yesNoButtons : okButton, nullptr};
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) {
    return std::nullopt;
  }
  if (pressed < 0) {  // closed without a button
    return question ? PlatformBoxAnswer::No : PlatformBoxAnswer::Ok;
  }
  return static_cast<PlatformBoxAnswer>(pressed);
}
