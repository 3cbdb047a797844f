// The devices that feed the active control set: the render windows' mouse
// messages, the keyboard while it is hooked, and the list of display
// windows the pointers move across.
#include <algorithm>
#include <array>

#include "framework/input/input_internal.h"

namespace {

// Window-message numbers of the mouse messages.
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftDown = 0x0201;
constexpr uint32_t kLeftUp = 0x0202;
constexpr uint32_t kRightDown = 0x0204;
constexpr uint32_t kRightUp = 0x0205;
constexpr uint32_t kMiddleDown = 0x0207;
constexpr uint32_t kMiddleUp = 0x0208;
constexpr uint32_t kWheel = 0x020A;
constexpr uint32_t kExtraDown = 0x020B;
constexpr uint32_t kExtraUp = 0x020C;
constexpr uint32_t kHorizontalWheel = 0x020E;
// A wheel's wParam above this (as unsigned) is a turn towards the user or
// to the left: its high word, the signed turn, is negative.
constexpr uint32_t kWheelBackwards = 0x7CFFFFFF;
constexpr int32_t kMouseButton4 = 117;
constexpr int32_t kMouseButton5 = 118;
constexpr int32_t kPressed = 100;

struct InputDevices {
  std::vector<InputDisplayWindow> displays;
  int32_t lastX = -1;
  int32_t lastY = -1;
  bool hooked = false;
};

InputDevices devices;

// SDL scancodes (the USB keyboard usage numbers, which SDL's scancode enum
// keeps as its values) and the controls they map to. Scancodes name
// physical keys, so the keypad's keys feed the numpad controls whether Num
// Lock is on or not, and the navigation cluster feeds its own controls.
// Print Screen and the Windows (GUI) keys map to nothing and are never fed.
struct KeyMapping {
  int32_t scancode;
  int32_t control;
};
constexpr KeyMapping kKeyTable[] = {
    {4, 11},     // A
    {5, 18},     // B
    {6, 23},     // C
    {7, 29},     // D
    {8, 32},     // E
    {9, 37},     // F
    {10, 62},    // G
    {11, 63},    // H
    {12, 65},    // I
    {13, 67},    // J
    {14, 68},    // K
    {15, 69},    // L
    {16, 70},    // M
    {17, 71},    // N
    {18, 89},    // O
    {19, 90},    // P
    {20, 95},    // Q
    {21, 97},    // R
    {22, 98},    // S
    {23, 105},   // T
    {24, 108},   // U
    {25, 109},   // V
    {26, 110},   // W
    {27, 111},   // X
    {28, 112},   // Y
    {29, 113},   // Z
    {30, 1},     // 1
    {31, 2},     // 2
    {32, 3},     // 3
    {33, 4},     // 4
    {34, 5},     // 5
    {35, 6},     // 6
    {36, 7},     // 7
    {37, 8},     // 8
    {38, 9},     // 9
    {39, 10},    // 0
    {40, 34},    // Return: Enter
    {41, 36},    // Escape
    {42, 20},    // Backspace
    {43, 106},   // Tab
    {44, 104},   // Space
    {45, 30},    // -
    {46, 35},    // =
    {47, 21},    // [
    {48, 22},    // ]
    {49, 19},    // backslash
    {51, 100},   // ;
    {52, 96},    // '
    {53, 107},   // grave accent
    {54, 25},    // ,
    {55, 94},    // .
    {56, 103},   // /
    {57, 24},    // Caps Lock
    {58, 38},    // F1
    {59, 39},    // F2
    {60, 40},    // F3
    {61, 41},    // F4
    {62, 42},    // F5
    {63, 43},    // F6
    {64, 44},    // F7
    {65, 45},    // F8
    {66, 46},    // F9
    {67, 47},    // F10
    {68, 48},    // F11
    {69, 49},    // F12
    {71, 99},    // Scroll Lock
    {72, 93},    // Pause
    {73, 66},    // Insert
    {74, 64},    // Home
    {75, 92},    // Page Up
    {76, 31},    // Delete
    {77, 33},    // End
    {78, 91},    // Page Down
    {79, 16},    // Right Arrow
    {80, 15},    // Left Arrow
    {81, 14},    // Down Arrow
    {82, 17},    // Up Arrow
    {83, 72},    // Num Lock (SDL: Num Lock / Clear)
    {84, 88},    // keypad /
    {85, 85},    // keypad *
    {86, 84},    // keypad -
    {87, 87},    // keypad +
    {88, 83},    // keypad Enter
    {89, 73},    // keypad 1
    {90, 74},    // keypad 2
    {91, 75},    // keypad 3
    {92, 76},    // keypad 4
    {93, 77},    // keypad 5
    {94, 78},    // keypad 6
    {95, 79},    // keypad 7
    {96, 80},    // keypad 8
    {97, 81},    // keypad 9
    {98, 82},    // keypad 0
    {99, 86},    // keypad .
    {101, 26},   // Application: Context Menu
    {104, 50},   // F13
    {105, 51},   // F14
    {106, 52},   // F15
    {107, 53},   // F16
    {108, 54},   // F17
    {109, 55},   // F18
    {110, 56},   // F19
    {111, 57},   // F20
    {112, 58},   // F21
    {113, 59},   // F22
    {114, 60},   // F23
    {115, 61},   // F24
    {224, 27},   // Left Control
    {225, 101},  // Left Shift
    {226, 12},   // Left Alt
    {228, 28},   // Right Control
    {229, 102},  // Right Shift
    {230, 13},   // Right Alt
};

constexpr int32_t kScancodeCount = 232;

// The table indexed by scancode, built once at compile time.
constexpr std::array<uint8_t, kScancodeCount> BuildKeyControls() {
  std::array<uint8_t, kScancodeCount> controls{};
  for (const KeyMapping& mapping : kKeyTable) {
    controls[mapping.scancode] = static_cast<uint8_t>(mapping.control);
  }
  return controls;
}
constexpr std::array<uint8_t, kScancodeCount> kKeyControls = BuildKeyControls();

void FeedActive(int32_t control, int32_t value) {
  InputControlFeed(InputControlSetActive(), control, value);
}

int32_t DisplayOfWindow(PlatformWindow window) {
  for (const InputDisplayWindow& entry : devices.displays) {
    if (entry.window == window) {
      return entry.display;
    }
  }
  return -1;
}

InputDisplayWindow* FindDisplay(int32_t display) {
  for (InputDisplayWindow& entry : devices.displays) {
    if (entry.display == display) {
      return &entry;
    }
  }
  return nullptr;
}

// A move feeds the distance in each direction, x 100, against the last
// position; a set whose pointer follows the mouse takes the new position in
// the window that reported it.
void MouseMove(PlatformWindow window, int32_t lParam) {
  // The point is two 16-bit two's complement numbers: while a button is held
  // the mouse is reported outside the window too, left of and above it
  // negative.
  const int32_t x = static_cast<int16_t>(static_cast<uint32_t>(lParam) & 0xFFFFu);
  const int32_t y = static_cast<int16_t>(static_cast<uint32_t>(lParam) >> 16);
  if (x < devices.lastX) {
    FeedActive(kInputMouseLeft, (devices.lastX - x) * 100);
  }
  if (x > devices.lastX) {
    FeedActive(kInputMouseRight, (x - devices.lastX) * 100);
  }
  if (y < devices.lastY) {
    FeedActive(kInputMouseUp, (devices.lastY - y) * 100);
  }
  if (y > devices.lastY) {
    FeedActive(kInputMouseDown, (y - devices.lastY) * 100);
  }
  InputControlSet* set = InputSetFind(InputControlSetActive());
  if ((x != devices.lastX || y != devices.lastY) && set != nullptr && set->followsMouse) {
    set->pointerDisplay = DisplayOfWindow(window);
    set->pointerX = x;
    set->pointerY = y;
  }
  devices.lastX = x;
  devices.lastY = y;
}

}  // namespace

// --- Shared with the other files ------------------------------------------------------------

const std::vector<InputDisplayWindow>& InputDisplayWindows() {
  return devices.displays;
}

void InputDevicesReset() {
  devices = InputDevices{};
}

// --- Display windows ---------------------------------------------------------------------------

void InputDisplayAdd(int32_t display, PlatformWindow window) {
  if (InputDisplayWindow* entry = FindDisplay(display)) {
    entry->window = window;
  } else {
    devices.displays.push_back({display, window});
  }
  InputSetsAdoptDisplay(display);
}

// Pointers on the display lose it, so that the next display added takes
// them instead of leaving them on a display that is gone.
void InputDisplayRemove(int32_t display) {
  std::erase_if(devices.displays,
                [display](const InputDisplayWindow& entry) { return entry.display == display; });
  InputSetsDropDisplay(display);
}

void InputDisplaySetWindow(int32_t display, PlatformWindow window) {
  if (InputDisplayWindow* entry = FindDisplay(display)) {
    entry->window = window;
  }
}

// --- Mouse -------------------------------------------------------------------------------------

void InputMouseMessage(uint32_t message, PlatformWindow window, uint32_t wParam, int32_t lParam) {
  if (InputControlSetActive() == -1) {
    return;
  }
  const uint32_t highWord = wParam >> 16;
  switch (message) {
    case kMouseMove:
      MouseMove(window, lParam);
      break;
    case kLeftDown:
    case kLeftUp:
      FeedActive(kInputMouseLeftButton, message == kLeftDown ? kPressed : 0);
      break;
    case kRightDown:
    case kRightUp:
      FeedActive(kInputMouseRightButton, message == kRightDown ? kPressed : 0);
      break;
    case kMiddleDown:
    case kMiddleUp:
      FeedActive(kInputMouseMiddleButton, message == kMiddleDown ? kPressed : 0);
      break;
    case kWheel:
      FeedActive(wParam > kWheelBackwards ? kInputMouseScrollDown : kInputMouseScrollUp, kPressed);
      break;
    case kHorizontalWheel:
      FeedActive(wParam > kWheelBackwards ? kInputMouseScrollRight : kInputMouseScrollLeft,
                 kPressed);
      break;
    case kExtraDown:
    case kExtraUp:
      if (highWord == 1 || highWord == 2) {
        FeedActive(highWord == 1 ? kMouseButton4 : kMouseButton5,
                   message == kExtraDown ? kPressed : 0);
      }
      break;
    default:
      break;
  }
}

void InputMouseReset(int32_t x, int32_t y) {
  devices.lastX = x;
  devices.lastY = y;
  for (int32_t control : {kInputMouseLeft, kInputMouseRight, kInputMouseUp, kInputMouseDown}) {
    FeedActive(control, 0);
  }
}

// SDL reports no swapped-buttons setting; the buttons it reports are already
// the ones the user means.
bool InputMouseButtonsSwapped() {
  return false;
}

// --- Keyboard ------------------------------------------------------------------------------------

// There is no system hook to install: the shell passes the pump's key events
// while the flag is set, so hooking cannot fail.
void InputKeyboardHookOn() {
  devices.hooked = true;
}

void InputKeyboardHookOff() {
  devices.hooked = false;
}

bool InputKeyboardHooked() {
  return devices.hooked;
}

void InputKeyboardEvent(int32_t scancode, bool down) {
  const int32_t control = InputKeyControl(scancode);
  const int32_t set = InputControlSetActive();
  if (!devices.hooked || control == 0 || set == -1) {
    return;
  }
  if (down && InputControlState(set, control) != 0) {
    return;  // the key repeats while held
  }
  InputControlFeed(set, control, down ? kPressed : 0);
}

int32_t InputKeyControl(int32_t scancode) {
  return scancode >= 0 && scancode < kScancodeCount ? kKeyControls[scancode] : 0;
}
