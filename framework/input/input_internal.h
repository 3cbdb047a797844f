// Shared between the files of the input module; not part of its API.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/input/input.h"
#include "platform/platform.h"

// The highest control code there can be: the designed system numbers at
// most 16 joysticks, so codes above the 16th joystick's last element are
// no controls (and never grow a set's control states).
constexpr int32_t kInputMaxJoysticks = 16;
constexpr int32_t kInputHighestControl =
    kInputFirstJoystickControl - 1 + kInputMaxJoysticks * kInputJoystickElements;

// One binding: a control and its weight (actions, 0-255) or speed (pointer
// actions).
struct InputBinding {
  int32_t control = 0;
  int32_t value = 0;
};

struct InputAction {
  int32_t id = 0;
  std::string name;
  std::vector<InputBinding> bindings;
};

struct InputControlSet {
  int32_t id = 0;
  std::string name;
  bool save = false;
  int32_t pointerDisplay = -1;
  bool followsMouse = false;
  int32_t pointerX = 0;
  int32_t pointerY = 0;
  std::array<std::vector<InputBinding>, 4> pointerActions;  // down, left, right, up
  uint32_t activationTime = 0;
  std::vector<InputAction> actions;
  std::deque<InputEvent> actionEvents;
  std::deque<InputEvent> controlEvents;
  std::vector<int32_t> states = std::vector<int32_t>(126);  // index code - 1
};

// --- Control sets (input.cpp) ---------------------------------------------------
InputControlSet* InputSetFind(int32_t set);
// Gives every set without a pointer display this one.
void InputSetsAdoptDisplay(int32_t display);
// Sets whose pointer is on the display lose it.
void InputSetsDropDisplay(int32_t display);

// --- Joysticks (input_controls.cpp) ---------------------------------------------
struct InputJoystick {
  std::string name;
  int32_t systemNumber = 0;
  PlatformJoystickInfo caps;
};
void InputJoysticksDiscover();
void InputJoysticksClear();
const std::vector<InputJoystick>& InputJoysticks();

// --- Devices (input_devices.cpp) ---------------------------------------------------
struct InputDisplayWindow {
  int32_t display = -1;
  PlatformWindow window = 0;
};
// The display windows in registration order.
const std::vector<InputDisplayWindow>& InputDisplayWindows();
// Empties the display list, forgets the mouse position and unhooks the keyboard.
void InputDevicesReset();
