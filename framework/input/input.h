// Input (qmrInput): keys, mouse buttons, mouse movement, wheels and joystick
// elements become numbered controls; control sets map controls to named
// actions with weights, queue what fired, and drive a pointer that follows
// the mouse or is pushed by keys across the display windows. The game and
// the scripts ask a control set which actions fired, never whether a key is
// down. The devices: mouse messages from the render windows, the keyboard
// feed from the message pump while the keyboard is hooked, and joysticks,
// which are named and can be bound but are never polled.
//
// Control codes: 1-126 keys and mouse controls (the names below), 127 and
// above joystick elements (126 + joystick index x 45 + element 1-45).
// Unknown set or action ids are ignored by every operation: queries give 0,
// -1 or empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// --- Module lifecycle -------------------------------------------------------------
// Logs "qmrInput - Version 1.0", discovers the joysticks, empties the tables
// (ids from 1 again) and builds "Menu Controls" (see below).
void InputStart();
// Unhooks the keyboard, saves every set with the save flag to the settings
// file and empties all tables.
void InputStop();

// --- Control codes and names ----------------------------------------------------
// Codes of the controls the engine itself refers to.
enum : int32_t {
  kInputKeyEnter = 34,
  kInputKeyEscape = 36,
  kInputKeyLeftAlt = 12,
  kInputKeyRightAlt = 13,
  kInputKeyLeftShift = 101,
  kInputKeyRightShift = 102,
  kInputMouseLeftButton = 114,
  kInputMouseMiddleButton = 115,
  kInputMouseRightButton = 116,
  kInputMouseDown = 119,
  kInputMouseLeft = 120,
  kInputMouseRight = 121,
  kInputMouseScrollLeft = 122,
  kInputMouseScrollRight = 123,
  kInputMouseScrollDown = 124,
  kInputMouseScrollUp = 125,
  kInputMouseUp = 126,
  kInputFirstJoystickControl = 127,
  kInputJoystickElements = 45,
};

// Stored name of a control ("Space", "Controller2 Button 3"); empty when no
// such control exists.
std::string InputControlName(int32_t code);
// Display name ("Space", "Button 3 (Gamepad)"); empty when no such control.
std::string InputControlDisplayName(int32_t code);
// The code of a stored name, compared without regard to case; 0 when none.
int32_t InputControlCode(const std::string& storedName);

// --- Control sets -------------------------------------------------------------------
// A new set; 0 when a set of that name (case ignored) exists. Its pointer
// starts at the centre of the first display window, or at (0, 0) on no
// display when there is none.
int32_t InputControlSetNew(const std::string& name, bool save);
int32_t InputControlSetFind(const std::string& name);  // -1 when none
// Makes the set active (the devices feed it) and records its activation time.
void InputControlSetActivate(int32_t set);
int32_t InputControlSetActive();  // -1 when none
int32_t InputMenuControlSet();    // "Menu Controls"

// --- Actions and bindings -------------------------------------------------------------
// Action ids come from one counter for all sets; 0 when the set is unknown
// or already has an action of that name (case ignored).
int32_t InputActionNew(int32_t set, const std::string& name);
int32_t InputActionFind(int32_t set, const std::string& name);  // 0 when none
int32_t InputActionCount(int32_t set);
int32_t InputActionAt(int32_t set, int32_t index);  // -1 when none
std::string InputActionName(int32_t action);
// Appends (control, weight) unless the control is already bound to this
// action; a binding of the control to another action of the set goes first.
void InputActionBind(int32_t action, int32_t control, int32_t weight);
void InputActionUnbind(int32_t action, int32_t control);
void InputActionClear(int32_t action);
int32_t InputActionControl(int32_t action, int32_t index);   // 0 when none
int32_t InputActionOfControl(int32_t set, int32_t control);  // -1 when none

// --- The pointer of a set ---------------------------------------------------------------
// Pointer actions: 1 down, 2 left, 3 right, 4 up. The mouse movement
// controls are never bound: they make the pointer follow the mouse instead.
void InputPointerBind(int32_t set, int32_t pointerAction, int32_t control, int32_t speed);
struct InputPointer {
  int32_t display = -1;  // display id the pointer is on, -1 none
  int32_t x = 0;         // client pixels of that display's window
  int32_t y = 0;
};
InputPointer InputPointerGet(int32_t set);  // display -1 at (0, 0) for an unknown set

// --- Feeding and events -------------------------------------------------------------------
// Records one control event (code 1 and above): the control event queue,
// the control's state, the bound action's event and the pointer's move.
void InputControlFeed(int32_t set, int32_t control, int32_t value);
int32_t InputControlState(int32_t set, int32_t control);  // 0 when out of range

// One queued event: an action id (action events) or a control code (control
// events), its value and whether a handler has consumed it.
struct InputEvent {
  int32_t code = 0;
  int32_t value = 0;
  bool handled = false;
};
// The queues hold at most 1000 events each; the oldest goes first.
std::vector<InputEvent> InputActionEventsTake(int32_t set);  // the queue is emptied
std::vector<InputEvent> InputActionEventsPeek(int32_t set);  // left in place
void InputActionEventHandled(int32_t set, int32_t index);
std::vector<InputEvent> InputControlEventsTake(int32_t set);

// --- Saved bindings -------------------------------------------------------------------------
// Writes the set to "settings.ini", section "Input Control Set <name>".
void InputControlSetSave(int32_t set);
// Reads that section back into the set: its actions (made when missing)
// get the saved bindings in place of their own, and the pointer actions and
// "Pointer Map Mouse" are restored. Unknown control names are skipped with a
// log line; false when the section holds no actions.
bool InputControlSetLoad(int32_t set);

// --- Display windows (the shell registers every render window) -----------------------------
// Adds the display (or updates its window); sets without a pointer display
// get this one.
void InputDisplayAdd(int32_t display, PlatformWindow window);
void InputDisplayRemove(int32_t display);
void InputDisplaySetWindow(int32_t display, PlatformWindow window);

// --- Mouse ----------------------------------------------------------------------------------
// A render window's mouse message (0x0200 move, 0x0201/0x0202 left button,
// ... as the platform packs them); feeds the active set.
void InputMouseMessage(uint32_t message, PlatformWindow window, uint32_t wParam, int32_t lParam);
// Sets the last mouse position and feeds 0 to the four movement controls.
void InputMouseReset(int32_t x, int32_t y);
bool InputMouseButtonsSwapped();

// --- Keyboard -------------------------------------------------------------------------------
// While hooked, the shell passes every key event of the pump to
// InputKeyboardEvent; unhooked, keys are dropped (focus loss, shutdown).
void InputKeyboardHookOn();
void InputKeyboardHookOff();
bool InputKeyboardHooked();
// One key event from the platform (an SDL scancode number) while hooked:
// feeds the mapped control to the active set (100 down, 0 up); a press of a
// key already down (repeat) is ignored, and the system (Windows) keys are
// never fed.
void InputKeyboardEvent(int32_t scancode, bool down);
// The control a scancode maps to; 0 when it maps to nothing.
int32_t InputKeyControl(int32_t scancode);

// --- Joysticks ------------------------------------------------------------------------------
int32_t InputJoystickCount();
// The code of element 1-45 of a joystick; -1 when either does not exist.
int32_t InputJoystickControl(int32_t joystick, int32_t element);
// The control of the n-th analog direction (mouse, wheels, joystick axes);
// 0 beyond the last.
int32_t InputAxisControl(int32_t n);
