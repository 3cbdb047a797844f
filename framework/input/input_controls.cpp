// Control codes and their names: the keys and mouse controls 1-126 and the
// elements of the joysticks found at start, with the analog directions.
#include <algorithm>

#include "framework/input/input_internal.h"
#include "framework/utilities/utilities.h"

namespace {

// Names of the controls 1-126; stored and display name alike.
constexpr const char* kControlNames[126] = {"1",
                                            "2",
                                            "3",
                                            "4",
                                            "5",
                                            "6",
                                            "7",
                                            "8",
                                            "9",
                                            "0",
                                            "A",
                                            "Left Alt",
                                            "Right Alt",
                                            "Down Arrow",
                                            "Left Arrow",
                                            "Right Arrow",
                                            "Up Arrow",
                                            "B",
                                            "\\",
                                            "Backspace",
                                            "[",
                                            "]",
                                            "C",
                                            "Caps Lock",
                                            ",",
                                            "Context Menu",
                                            "Left Control",
                                            "Right Control",
                                            "D",
                                            "-",
                                            "Delete",
                                            "E",
                                            "End",
                                            "Enter",
                                            "=",
                                            "Escape",
                                            "F",
                                            "F1",
                                            "F2",
                                            "F3",
                                            "F4",
                                            "F5",
                                            "F6",
                                            "F7",
                                            "F8",
                                            "F9",
                                            "F10",
                                            "F11",
                                            "F12",
                                            "F13",
                                            "F14",
                                            "F15",
                                            "F16",
                                            "F17",
                                            "F18",
                                            "F19",
                                            "F20",
                                            "F21",
                                            "F22",
                                            "F23",
                                            "F24",
                                            "G",
                                            "H",
                                            "Home",
                                            "I",
                                            "Insert",
                                            "J",
                                            "K",
                                            "L",
                                            "M",
                                            "N",
                                            "Num Lock",
                                            "Numpad 1",
                                            "Numpad 2",
                                            "Numpad 3",
                                            "Numpad 4",
                                            "Numpad 5",
                                            "Numpad 6",
                                            "Numpad 7",
                                            "Numpad 8",
                                            "Numpad 9",
                                            "Numpad 0",
                                            "Numpad Enter",
                                            "Numpad -",
                                            "Numpad *",
                                            "Numpad .",
                                            "Numpad +",
                                            "Numpad /",
                                            "O",
                                            "P",
                                            "Page Down",
                                            "Page Up",
                                            "Pause",
                                            ".",
                                            "Q",
                                            "'",
                                            "R",
                                            "S",
                                            "Scroll Lock",
                                            ";",
                                            "Left Shift",
                                            "Right Shift",
                                            "/",
                                            "Space",
                                            "T",
                                            "Tab",
                                            "`",
                                            "U",
                                            "V",
                                            "W",
                                            "X",
                                            "Y",
                                            "Z",
                                            "Mouse Left Button",
                                            "Mouse Middle Button",
                                            "Mouse Right Button",
                                            "Mouse Button 4",
                                            "Mouse Button 5",
                                            "Mouse Down",
                                            "Mouse Left",
                                            "Mouse Right",
                                            "Mouse Scroll Left",
                                            "Mouse Scroll Right",
                                            "Mouse Scroll Down",
                                            "Mouse Scroll Up",
                                            "Mouse Up"};

// Joystick elements 1-45: 1-32 buttons, then these.
enum JoystickElement : int32_t {
  kLastButton = 32,
  kPovHat = 33,
  kRAxisDown = 34,
  kRAxisUp = 35,
  kUAxisDown = 36,
  kUAxisUp = 37,
  kVAxisDown = 38,
  kVAxisUp = 39,
  kXAxisLeft = 40,
  kXAxisRight = 41,
  kYAxisDown = 42,
  kYAxisUp = 43,
  kZAxisDown = 44,
  kZAxisUp = 45,
};

constexpr const char* kElementNames[] = {"POV Hat",      "R-axis Down", "R-axis Up", "U-axis Down",
                                         "U-axis Up",    "V-axis Down", "V-axis Up", "X-axis Left",
                                         "X-axis Right", "Y-axis Down", "Y-axis Up", "Z-axis Down",
                                         "Z-axis Up"};

std::vector<InputJoystick> joysticks;

bool ElementExists(const PlatformJoystickInfo& caps, int32_t element) {
  if (element >= 1 && element <= kLastButton) {
    return element <= caps.buttons;
  }
  switch (element) {
    case kPovHat:
      return caps.hasPov;
    case kRAxisDown:
    case kRAxisUp:
      return caps.hasR;
    case kUAxisDown:
    case kUAxisUp:
      return caps.hasU;
    case kVAxisDown:
    case kVAxisUp:
      return caps.hasV;
    case kXAxisLeft:
    case kXAxisRight:
    case kYAxisDown:
    case kYAxisUp:
      return true;
    case kZAxisDown:
    case kZAxisUp:
      return caps.hasZ;
    default:
      return false;
  }
}

std::string ElementName(int32_t element) {
  return element <= kLastButton ? "Button " + std::to_string(element)
                                : kElementNames[element - kPovHat];
}

// The joystick and element of a joystick control; false when the code names
// no existing element.
bool SplitJoystickCode(int32_t code, const InputJoystick*& joystick, int32_t& element) {
  if (code < kInputFirstJoystickControl) {
    return false;
  }
  const int32_t offset = code - kInputFirstJoystickControl;
  const size_t index = static_cast<size_t>(offset / kInputJoystickElements);
  if (index >= joysticks.size()) {
    return false;
  }
  joystick = &joysticks[index];
  element = offset % kInputJoystickElements + 1;
  return ElementExists(joystick->caps, element);
}

// Without a name of its own a joystick is named by its axes and buttons.
std::string JoystickName(const PlatformJoystickInfo& caps) {
  if (!caps.name.empty()) {
    return caps.name;
  }
  return std::to_string(caps.axes) + "-axis, " + std::to_string(caps.buttons) + "-button joystick";
}

}  // namespace

// --- Joysticks shared with the other files ------------------------------------------

void InputJoysticksDiscover() {
  joysticks.clear();
  const int count = PlatformJoystickCount();
  for (int number = 0; number < count && joysticks.size() < kInputMaxJoysticks; ++number) {
    PlatformJoystickInfo caps;
    if (PlatformJoystickGetInfo(number, caps)) {
      joysticks.push_back({JoystickName(caps), number, caps});
    }
  }
}

void InputJoysticksClear() {
  joysticks.clear();
}

const std::vector<InputJoystick>& InputJoysticks() {
  return joysticks;
}

// --- Control codes and names -----------------------------------------------------------

std::string InputControlName(int32_t code) {
  if (code >= 1 && code < kInputFirstJoystickControl) {
    return kControlNames[code - 1];
  }
  const InputJoystick* joystick = nullptr;
  int32_t element = 0;
  if (!SplitJoystickCode(code, joystick, element)) {
    return "";
  }
  const int32_t index = (code - kInputFirstJoystickControl) / kInputJoystickElements;
  return "Controller" + std::to_string(index + 1) + " " + ElementName(element);
}

std::string InputControlDisplayName(int32_t code) {
  if (code >= 1 && code < kInputFirstJoystickControl) {
    return kControlNames[code - 1];
  }
  const InputJoystick* joystick = nullptr;
  int32_t element = 0;
  if (!SplitJoystickCode(code, joystick, element)) {
    return "";
  }
  return ElementName(element) + " (" + joystick->name + ")";
}

int32_t InputControlCode(const std::string& storedName) {
  const std::string wanted = UtilitiesUpperCase(storedName);
  if (wanted.empty()) {
    return 0;
  }
  const int32_t last = kInputFirstJoystickControl - 1 +
                       static_cast<int32_t>(joysticks.size()) * kInputJoystickElements;
  for (int32_t code = 1; code <= last; ++code) {
    if (UtilitiesUpperCase(InputControlName(code)) == wanted) {
      return code;
    }
  }
  return 0;
}

// --- Joysticks ------------------------------------------------------------------------

int32_t InputJoystickCount() {
  return static_cast<int32_t>(joysticks.size());
}

int32_t InputJoystickControl(int32_t joystick, int32_t element) {
  if (joystick < 0 || joystick >= InputJoystickCount() ||
      !ElementExists(joysticks[joystick].caps, element)) {
    return -1;
  }
  return kInputFirstJoystickControl - 1 + joystick * kInputJoystickElements + element;
}

// The mouse is taken to have a wheel and a horizontal wheel: the platform
// cannot tell, and a missing wheel only means its controls never fire.
int32_t InputAxisControl(int32_t n) {
  std::vector<int32_t> directions = {
      kInputMouseLeft,     kInputMouseRight,      kInputMouseUp,         kInputMouseDown,
      kInputMouseScrollUp, kInputMouseScrollDown, kInputMouseScrollLeft, kInputMouseScrollRight};
  for (int32_t joystick = 0; joystick < InputJoystickCount(); ++joystick) {
    for (int32_t element : {kXAxisLeft, kXAxisRight, kYAxisUp, kYAxisDown, kZAxisUp, kZAxisDown,
                            kRAxisUp, kRAxisDown, kUAxisUp, kUAxisDown, kVAxisUp, kVAxisDown}) {
      const int32_t code = InputJoystickControl(joystick, element);
      if (code != -1) {
        directions.push_back(code);
      }
    }
  }
  return n >= 0 && n < static_cast<int32_t>(directions.size()) ? directions[n] : 0;
}
