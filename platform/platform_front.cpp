// The backend-independent half of the windowing side of the platform layer:
// starting and stopping a backend, message boxes, the window table with the
// flags set through the API, the application's focus and minimised state, and
// the event queue with its one handler. Everything the system must do is
// passed on to the current backend.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "platform/platform_backend.h"
#include "platform/platform_internal.h"

namespace {

struct WindowRecord {
  std::string title{};
  bool opengl = false;
  bool borderless = false;
  bool visible = false;
  bool fullscreen = false;
  bool confined = false;
  bool cursorShown = true;
  bool focused = false;    // from delivered events
  bool minimized = false;  // from delivered events
};

struct FrontState {
  std::unique_ptr<PlatformBackendImpl> backend;
  PlatformBackend kind = PlatformBackend::Sdl;
  std::map<PlatformWindow, WindowRecord> windows;
  PlatformWindow nextWindow = 1;
  std::vector<PlatformShownBox> shownBoxes;
  std::deque<PlatformBoxAnswer> boxAnswers;
  std::vector<PlatformEvent> queued;
  PlatformEventHandler handler;
  int keepAwakeCount = 0;
};

FrontState front;

// Clears everything but the record of shown boxes, which stays readable after
// a stop until the next start.
void ResetFront() {
  front.windows.clear();
  front.nextWindow = 1;
  front.boxAnswers.clear();
  front.queued.clear();
  front.handler = nullptr;
  front.keepAwakeCount = 0;
}

WindowRecord* FindWindow(PlatformWindow window) {
  if (!front.backend) {
    return nullptr;
  }
  auto found = front.windows.find(window);
  return found == front.windows.end() ? nullptr : &found->second;
}

bool ValidMonitor(int monitor) {
  return front.backend && monitor >= 0 && monitor < front.backend->MonitorCount();
}

// --- Message boxes ---

void PrintBox(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "MessageBox [%s]: %s\n", title.c_str(), text.c_str());
}

// The answer QMR_MESSAGEBOX gives: "no" answers No, any other value Yes;
// information boxes always answer Ok. Nothing when the variable is unset or
// empty.
std::optional<PlatformBoxAnswer> EnvironmentAnswer(PlatformBoxKind kind) {
  const char* value = std::getenv("QMR_MESSAGEBOX");
  if (value == nullptr || value[0] == '\0') {
    return std::nullopt;
  }
  if (kind == PlatformBoxKind::Information) {
    return PlatformBoxAnswer::Ok;
  }
  std::string lower(value);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "no" ? PlatformBoxAnswer::No : PlatformBoxAnswer::Yes;
}

PlatformBoxAnswer ScriptedAnswer(PlatformBoxKind kind) {
  if (kind == PlatformBoxKind::Information) {
    return PlatformBoxAnswer::Ok;
  }
  if (front.boxAnswers.empty()) {
    return PlatformBoxAnswer::Yes;
  }
  const PlatformBoxAnswer answer = front.boxAnswers.front();
  front.boxAnswers.pop_front();
  return answer;
}

// --- Events ---

// Updates the focus and minimised flags; false when the event changes
// nothing and is therefore not delivered.
bool ApplyStateEvent(const PlatformEvent& event, WindowRecord& record) {
  bool* flag = nullptr;
  bool value = false;
  switch (event.type) {
    case PlatformEventType::WindowActivated:
      flag = &record.focused;
      value = true;
      break;
    case PlatformEventType::WindowDeactivated:
      flag = &record.focused;
      break;
    case PlatformEventType::WindowMinimized:
      flag = &record.minimized;
      value = true;
      break;
    case PlatformEventType::WindowRestored:
      flag = &record.minimized;
      break;
    default:
      return true;
  }
  if (*flag == value) {
    return false;
  }
  *flag = value;
  return true;
}

void CallHandler(const PlatformEvent& event) {
  // A copy, so that a handler replacing itself keeps running safely.
  const PlatformEventHandler handler = front.handler;
  if (handler) {
    handler(event);
  }
}

void Deliver(const PlatformEvent& event) {
  if (event.window == 0) {
    CallHandler(event);
    return;
  }
  WindowRecord* record = FindWindow(event.window);
  if (record == nullptr) {
    return;  // the window has gone since the event was queued
  }
  if (event.type == PlatformEventType::WindowActivated && !record->focused) {
    // One window has the focus at a time: the one that had it loses it first,
    // while the program as a whole stays active.
    std::vector<PlatformWindow> losing;
    for (const auto& [window, other] : front.windows) {
      if (other.focused) {
        losing.push_back(window);
      }
    }
    record->focused = true;
    for (PlatformWindow window : losing) {
      Deliver({.type = PlatformEventType::WindowDeactivated, .window = window});
    }
    if (FindWindow(event.window) != nullptr) {
      CallHandler(event);
    }
    return;
  }
  if (ApplyStateEvent(event, *record)) {
    CallHandler(event);
  }
}

// The focus moving from one of the program's windows to another arrives as a
// loss followed by a gain; the gain goes first, so that the program stays
// active throughout, as it does when the focus moves inside it.
void OrderFocusMoves(std::vector<PlatformEvent>& events) {
  for (size_t i = 0; i + 1 < events.size(); ++i) {
    const PlatformEvent& loss = events[i];
    const PlatformEvent& gain = events[i + 1];
    if (loss.type == PlatformEventType::WindowDeactivated &&
        gain.type == PlatformEventType::WindowActivated && gain.window != loss.window &&
        FindWindow(gain.window) != nullptr) {
      std::swap(events[i], events[i + 1]);
      ++i;
    }
  }
}

}  // namespace

// --- Start and stop ---

bool PlatformStart(PlatformBackend backend) {
  // A start while started replaces the backend; the process side stays.
  front.backend.reset();
  ResetFront();
  front.shownBoxes.clear();
  PlatformClockReset();
  front.kind = backend;
  front.backend = backend == PlatformBackend::Sdl ? PlatformSdlBackendCreate()
                                                  : PlatformHeadlessBackendCreate();
  return front.backend != nullptr;
}

void PlatformStop() {
  front.backend.reset();
  ResetFront();
  PlatformProcessReset();
}

bool PlatformStarted() {
  return front.backend != nullptr;
}

PlatformBackend PlatformCurrentBackend() {
  return front.kind;
}

// --- Message boxes ---

PlatformBoxAnswer PlatformMessageBox(const std::string& title, const std::string& text,
                                     PlatformBoxKind kind) {
  front.shownBoxes.push_back({title, text, kind});
  if (front.backend && front.kind == PlatformBackend::Headless) {
    PrintBox(title, text);
    return ScriptedAnswer(kind);
  }
  if (const std::optional<PlatformBoxAnswer> answer = EnvironmentAnswer(kind)) {
    PrintBox(title, text);
    return *answer;
  }
  if (const std::optional<PlatformBoxAnswer> answer = PlatformSdlShowBox(title, text, kind)) {
    return *answer;
  }
  // No box could be shown: the text still reaches the user, and a question
  // counts as declined.
  PrintBox(title, text);
  return kind == PlatformBoxKind::Information ? PlatformBoxAnswer::Ok : PlatformBoxAnswer::No;
}

void PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer answer) {
  front.boxAnswers.push_back(answer);
}

const std::vector<PlatformShownBox>& PlatformShownBoxes() {
  return front.shownBoxes;
}

// --- Monitors and display modes ---

int PlatformMonitorCount() {
  return front.backend ? front.backend->MonitorCount() : 0;
}

PlatformRect PlatformMonitorBounds(int monitor) {
  return ValidMonitor(monitor) ? front.backend->MonitorBounds(monitor) : PlatformRect{};
}

bool PlatformMonitorIsPrimary(int monitor) {
  return ValidMonitor(monitor) && front.backend->MonitorIsPrimary(monitor);
}

std::string PlatformMonitorDeviceName(int monitor) {
  return ValidMonitor(monitor) ? front.backend->MonitorDeviceName(monitor) : std::string();
}

bool PlatformMonitorEnumMode(int monitor, int number, PlatformMode& mode) {
  return ValidMonitor(monitor) && number >= 0 &&
         front.backend->MonitorEnumMode(monitor, number, mode);
}

PlatformMode PlatformMonitorDesktopMode(int monitor) {
  return ValidMonitor(monitor) ? front.backend->MonitorDesktopMode(monitor) : PlatformMode{};
}

void PlatformHeadlessSetMonitors(const std::vector<PlatformMonitor>& monitors) {
  if (front.backend) {
    front.backend->SetMonitors(monitors);
  }
}

// --- Windows ---

PlatformWindow PlatformWindowCreate(const PlatformWindowParams& params) {
  if (!front.backend) {
    return 0;
  }
  PlatformWindowParams checked = params;
  checked.width = std::max<int32_t>(checked.width, 1);
  checked.height = std::max<int32_t>(checked.height, 1);
  const PlatformWindow window = front.nextWindow++;
  front.windows[window] = {.title = params.title,
                           .opengl = params.opengl,
                           .borderless = params.borderless,
                           .visible = !params.hidden};
  if (!front.backend->WindowCreate(window, checked)) {
    front.windows.erase(window);
    return 0;
  }
  return window;
}

void PlatformWindowDestroy(PlatformWindow window) {
  if (FindWindow(window) != nullptr) {
    front.backend->WindowDestroy(window);
    front.windows.erase(window);
  }
}

bool PlatformWindowExists(PlatformWindow window) {
  return FindWindow(window) != nullptr;
}

void PlatformWindowShow(PlatformWindow window) {
  if (WindowRecord* record = FindWindow(window)) {
    record->visible = true;
    front.backend->WindowSetVisible(window, true);
  }
}

void PlatformWindowHide(PlatformWindow window) {
  if (WindowRecord* record = FindWindow(window)) {
    record->visible = false;
    front.backend->WindowSetVisible(window, false);
  }
}

bool PlatformWindowVisible(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->visible;
}

void PlatformWindowSetTitle(PlatformWindow window, const std::string& title) {
  if (WindowRecord* record = FindWindow(window)) {
    record->title = title;
    front.backend->WindowSetTitle(window, title);
  }
}

std::string PlatformWindowTitle(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr ? record->title : std::string();
}

void PlatformWindowSetBorderless(PlatformWindow window, bool borderless) {
  if (WindowRecord* record = FindWindow(window)) {
    record->borderless = borderless;
    front.backend->WindowSetBorderless(window, borderless);
  }
}

bool PlatformWindowBorderless(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->borderless;
}

void PlatformWindowSetPosition(PlatformWindow window, int32_t x, int32_t y) {
  if (FindWindow(window) != nullptr) {
    front.backend->WindowSetPosition(window, x, y);
  }
}

void PlatformWindowSetClientSize(PlatformWindow window, int32_t width, int32_t height) {
  if (FindWindow(window) != nullptr) {
    front.backend->WindowSetClientSize(window, std::max<int32_t>(width, 1),
                                       std::max<int32_t>(height, 1));
  }
}

PlatformRect PlatformWindowClientRect(PlatformWindow window) {
  return FindWindow(window) != nullptr ? front.backend->WindowClientRect(window) : PlatformRect{};
}

bool PlatformWindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode) {
  WindowRecord* record = FindWindow(window);
  if (record == nullptr || !front.backend->WindowSetFullscreen(window, on, mode)) {
    return false;
  }
  record->fullscreen = on;
  return true;
}

bool PlatformWindowFullscreen(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->fullscreen;
}

void PlatformWindowSetPicture(PlatformWindow window, int32_t width, int32_t height,
                              const std::vector<uint8_t>& bgrBottomUp) {
  constexpr int32_t kLargest = 16384;
  if (FindWindow(window) == nullptr) {
    return;
  }
  if (width <= 0 || height <= 0 || width > kLargest || height > kLargest) {
    PlatformSetErrorText("The picture's size " + std::to_string(width) + "x" +
                         std::to_string(height) + " is not usable.");
    return;
  }
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t stride = (rowBytes + 3) & ~size_t{3};  // rows padded to 4 bytes
  const size_t rows = static_cast<size_t>(height);
  if (bgrBottomUp.size() < stride * (rows - 1) + rowBytes) {
    PlatformSetErrorText("The picture holds fewer pixels than its size needs.");
    return;
  }
  std::vector<uint8_t> topDown(rowBytes * rows);
  for (size_t row = 0; row < rows; ++row) {
    const uint8_t* source = bgrBottomUp.data() + (rows - 1 - row) * stride;
    std::copy(source, source + rowBytes, topDown.begin() + row * rowBytes);
  }
  front.backend->WindowSetPicture(window, width, height, std::move(topDown));
}

void PlatformWindowConfinePointer(PlatformWindow window, bool confine) {
  if (WindowRecord* record = FindWindow(window)) {
    record->confined = confine;
    front.backend->WindowConfinePointer(window, confine);
  }
}

bool PlatformWindowPointerConfined(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->confined;
}

void PlatformWindowShowCursor(PlatformWindow window, bool show) {
  if (WindowRecord* record = FindWindow(window)) {
    record->cursorShown = show;
    front.backend->WindowCursorChanged(window);
  }
}

bool PlatformWindowCursorShown(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->cursorShown;
}

void PlatformWindowRaise(PlatformWindow window) {
  if (FindWindow(window) != nullptr) {
    front.backend->WindowRaise(window);
  }
}

void PlatformHeadlessFailOpenGLWindows(const std::string& reason) {
  if (front.backend) {
    front.backend->FailOpenGLWindows(reason);
  }
}

// --- Application ---

bool PlatformAppActive() {
  return std::any_of(front.windows.begin(), front.windows.end(),
                     [](const auto& entry) { return entry.second.focused; });
}

bool PlatformAppMinimized() {
  bool anyShown = false;
  for (const auto& [window, record] : front.windows) {
    if (record.visible) {
      if (!record.minimized) {
        return false;
      }
      anyShown = true;
    }
  }
  return anyShown;
}

void PlatformAppMinimize() {
  for (const auto& [window, record] : front.windows) {
    if (record.visible && !record.minimized) {
      front.backend->WindowMinimize(window);
    }
  }
}

void PlatformAppRestore() {
  if (!PlatformAppMinimized()) {
    return;
  }
  for (const auto& [window, record] : front.windows) {
    if (record.visible) {
      front.backend->WindowRestore(window);
    }
  }
}

void PlatformKeepAwake() {
  if (front.backend) {
    ++front.keepAwakeCount;
    front.backend->KeepAwake();
  }
}

int PlatformKeepAwakeCount() {
  return front.keepAwakeCount;
}

// --- Events and the message pump ---

void PlatformSetEventHandler(PlatformEventHandler handler) {
  front.handler = std::move(handler);
}

void PlatformPumpMessages() {
  if (!front.backend) {
    return;
  }
  std::vector<PlatformEvent> events;
  front.backend->PollEvents(events);
  // Events queued while these are handled wait for the next pump.
  events.insert(events.end(), front.queued.begin(), front.queued.end());
  front.queued.clear();
  OrderFocusMoves(events);
  for (const PlatformEvent& event : events) {
    if (!front.backend) {
      return;  // the handler stopped the layer
    }
    Deliver(event);
  }
}

void PlatformWaitEvents(uint32_t timeoutMs) {
  if (front.backend && front.queued.empty()) {
    front.backend->WaitEvents(timeoutMs);
  }
}

void PlatformHeadlessPostEvent(const PlatformEvent& event) {
  PlatformQueueEvent(event);
}

void PlatformQueueEvent(const PlatformEvent& event) {
  front.queued.push_back(event);
}

bool PlatformWindowFocused(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->focused;
}

// --- Joysticks ---

int PlatformJoystickCount() {
  return front.backend ? front.backend->JoystickCount() : 0;
}

bool PlatformJoystickGetInfo(int joystick, PlatformJoystickInfo& info) {
  return front.backend && joystick >= 0 && joystick < front.backend->JoystickCount() &&
         front.backend->JoystickGetInfo(joystick, info);
}

void PlatformHeadlessSetJoysticks(const std::vector<PlatformJoystickInfo>& joysticks) {
  if (front.backend) {
    front.backend->SetJoysticks(joysticks);
  }
}

// --- OpenGL contexts ---

PlatformGLContext PlatformGLCreateContext(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  if (record == nullptr || !record->opengl) {
    PlatformSetErrorText("The window cannot carry an OpenGL context.");
    return 0;
  }
  return front.backend->GLCreateContext(window);
}

void PlatformGLDeleteContext(PlatformGLContext context) {
  if (front.backend && context != 0) {
    front.backend->GLDeleteContext(context);
  }
}

bool PlatformGLMakeCurrent(PlatformWindow window, PlatformGLContext context) {
  if (!front.backend || (context != 0 && FindWindow(window) == nullptr)) {
    return false;
  }
  return front.backend->GLMakeCurrent(window, context);
}

PlatformGLContext PlatformGLCurrentContext() {
  return front.backend ? front.backend->GLCurrentContext() : 0;
}

void* PlatformGLProcAddress(const std::string& name) {
  return front.backend ? front.backend->GLProcAddress(name) : nullptr;
}

bool PlatformGLSwap(PlatformWindow window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->opengl && front.backend->GLSwap(window);
}

int PlatformGLSetSwapInterval(bool on) {
  return front.backend ? front.backend->GLSetSwapInterval(on) : -1;
}

bool PlatformGLAccelerated(PlatformWindow window) {
  return FindWindow(window) != nullptr && front.backend->GLAccelerated(window);
}
