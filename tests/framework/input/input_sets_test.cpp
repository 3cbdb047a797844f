#include <gmock/gmock.h>

#include <algorithm>

#include "tests/framework/input/input_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

constexpr int32_t kSpace = 104;
constexpr int32_t kRightArrow = 16;
constexpr int32_t kLeftArrow = 15;
constexpr int32_t kPageUp = 92;

// A joystick without a name or buttons and a named gamepad with four
// buttons, a Z axis and a hat.
void AttachTwoJoysticks() {
  PlatformHeadlessSetJoysticks({{.axes = 2},
                                {.name = "Gamepad",
                                 .manufacturer = 1118,
                                 .product = 654,
                                 .buttons = 4,
                                 .axes = 3,
                                 .hasZ = true,
                                 .hasPov = true}});
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::vector<int32_t> Controls(int32_t action) {
  std::vector<int32_t> controls;
  for (int32_t index = 0; InputActionControl(action, index) != 0; ++index) {
    controls.push_back(InputActionControl(action, index));
  }
  return controls;
}

TEST_F(InputTest, JoystickControlsAreNamedAndNamesLeadBackToTheirCodes) {
  AttachTwoJoysticks();
  Restart();
  ASSERT_EQ(InputJoystickCount(), 2);
  EXPECT_EQ(InputJoystickControl(1, 3), 174);
  EXPECT_EQ(InputControlName(174), "Controller2 Button 3");
  EXPECT_EQ(InputControlDisplayName(174), "Button 3 (Gamepad)");
  EXPECT_EQ(InputControlDisplayName(126 + 40), "X-axis Left (2-axis, 0-button joystick)");
  // Elements a joystick lacks, joysticks that are not there, no code at all.
  EXPECT_EQ(InputJoystickControl(0, 1), -1);
  EXPECT_EQ(InputControlName(126 + 1), "");
  EXPECT_EQ(InputControlName(126 + 45 + 5), "");
  EXPECT_EQ(InputControlName(126 + 34), "");
  EXPECT_EQ(InputControlName(126 + 45 + 33), "Controller2 POV Hat");
  EXPECT_EQ(InputJoystickControl(2, 40), -1);
  EXPECT_EQ(InputControlName(126 + 90 + 40), "");
  EXPECT_EQ(InputControlName(0), "");
  EXPECT_EQ(InputControlDisplayName(-5), "");

  // Every name leads back to its own code, in any case.
  for (int32_t code = 1; code <= 126 + 90; ++code) {
    const std::string name = InputControlName(code);
    if (!name.empty()) {
      EXPECT_EQ(InputControlCode(name), code) << name;
      EXPECT_EQ(InputControlCode(Lower(name)), code) << name;
    }
  }
  EXPECT_EQ(InputControlName(107), "`");
  EXPECT_EQ(InputControlCode("controller2 z-axis up"), 126 + 45 + 45);
  EXPECT_EQ(InputControlCode("Controller1 Button 1"), 0);
  EXPECT_EQ(InputControlCode(""), 0);

  // The analog directions: the mouse and its wheels, then each joystick's axes.
  std::vector<int32_t> axes;
  for (int32_t n = 0; InputAxisControl(n) != 0; ++n) {
    axes.push_back(InputAxisControl(n));
  }
  EXPECT_THAT(axes, ElementsAre(120, 121, 126, 119, 125, 124, 122, 123,       //
                                166, 167, 169, 168,                           //
                                126 + 45 + 40, 126 + 45 + 41, 126 + 45 + 43,  //
                                126 + 45 + 42, 126 + 45 + 45, 126 + 45 + 44));
  EXPECT_EQ(InputAxisControl(-1), 0);
}

TEST_F(InputTest, MenuControlsBindTheMouseTheKeysAndEveryJoystick) {
  AttachTwoJoysticks();
  Restart();
  const int32_t menu = InputMenuControlSet();
  EXPECT_EQ(InputControlSetFind("MENU CONTROLS"), menu);
  EXPECT_EQ(InputControlSetActive(), -1);
  ASSERT_EQ(InputActionCount(menu), 5);
  std::vector<std::string> names;
  for (int32_t index = 0; index < InputActionCount(menu); ++index) {
    names.push_back(InputActionName(InputActionAt(menu, index)));
  }
  EXPECT_THAT(names, ElementsAre("Scroll Up", "Scroll Down", "Exit", "Select Item",
                                 "Select Item Secondary"));
  const int32_t pad = 126 + 45;
  EXPECT_THAT(Controls(InputActionFind(menu, "Scroll Up")), ElementsAre(125, kPageUp, pad + 45));
  EXPECT_THAT(Controls(InputActionFind(menu, "Scroll Down")), ElementsAre(124, 91, pad + 44));
  EXPECT_THAT(Controls(InputActionFind(menu, "Exit")), ElementsAre(kInputKeyEscape));
  EXPECT_THAT(Controls(InputActionFind(menu, "select item")),
              ElementsAre(kInputMouseLeftButton, kInputKeyEnter, pad + 1));
  EXPECT_THAT(Controls(InputActionFind(menu, "Select Item Secondary")),
              ElementsAre(kInputMouseRightButton, pad + 2));

  // The arrows push the pointer at speed 50, a joystick axis at 100.
  const PlatformWindow window = Window(800, 600);
  InputDisplayAdd(7, window);
  InputControlSetActivate(menu);
  PlatformClockAdvance(1000);
  InputControlFeed(menu, kRightArrow, 100);  // 100 x 1000 x 50 x 8 / 100000
  EXPECT_EQ(InputPointerGet(menu).x, 400);
  InputControlFeed(menu, 126 + 41, 100);  // the first joystick's X-axis Right
  EXPECT_EQ(InputPointerGet(menu).x, 799);
  InputControlFeed(menu, 126 + 40, 50);  // half way left
  EXPECT_EQ(InputPointerGet(menu).x, 399);
}

TEST_F(InputTest, AControlBelongsToOneActionPerSetWithItsWeight) {
  const int32_t set = InputControlSetNew("Game", false);
  const int32_t other = InputControlSetNew("Other", false);
  EXPECT_EQ(InputControlSetNew("GAME", true), 0);
  const int32_t select = InputActionNew(set, "Select Item");
  const int32_t exit = InputActionNew(set, "Exit");
  const int32_t elsewhere = InputActionNew(other, "Exit");
  EXPECT_EQ(InputActionNew(set, "exit"), 0);
  EXPECT_EQ(InputActionNew(99, "Exit"), 0);
  EXPECT_NE(elsewhere, exit);

  InputActionBind(select, kInputKeyEnter, 100);
  InputActionBind(select, kSpace, 50);
  InputActionBind(elsewhere, kInputKeyEnter, 100);  // another set keeps its own
  InputActionBind(exit, kInputKeyEnter, 100);
  InputActionBind(exit, kInputKeyEnter, 7);  // already bound here: unchanged
  InputActionBind(exit, kInputKeyEscape, 300);
  EXPECT_THAT(Controls(select), ElementsAre(kSpace));
  EXPECT_THAT(Controls(exit), ElementsAre(kInputKeyEnter, kInputKeyEscape));
  EXPECT_EQ(InputActionOfControl(set, kInputKeyEnter), exit);
  EXPECT_EQ(InputActionOfControl(other, kInputKeyEnter), elsewhere);
  EXPECT_EQ(InputActionOfControl(set, kPageUp), -1);

  // Action value = weight x value / 100; a weight above a byte's range is 255.
  InputControlFeed(set, kSpace, 100);
  InputControlFeed(set, kInputKeyEnter, 100);
  InputControlFeed(set, kInputKeyEscape, 100);
  InputControlFeed(set, kPageUp, 100);
  EXPECT_THAT(Pairs(InputActionEventsTake(set)),
              ElementsAre(Pair(select, 50), Pair(exit, 100), Pair(exit, 255)));
  EXPECT_EQ(InputControlEventsTake(set).size(), 4u);

  InputActionUnbind(exit, kInputKeyEnter);
  EXPECT_THAT(Controls(exit), ElementsAre(kInputKeyEscape));
  InputActionClear(exit);
  EXPECT_TRUE(Controls(exit).empty());

  // Unknown sets and actions change nothing and answer empty.
  InputActionBind(12345, kSpace, 100);
  InputControlFeed(12345, kSpace, 100);
  EXPECT_EQ(InputActionName(12345), "");
  EXPECT_EQ(InputActionAt(set, 2), -1);
  EXPECT_EQ(InputActionCount(12345), 0);
  EXPECT_EQ(InputPointerGet(12345).display, -1);
  EXPECT_TRUE(InputActionEventsPeek(12345).empty());
}

TEST_F(InputTest, QueuesKeepTheLatestThousandEventsAndStatesGrowToTheCode) {
  const int32_t set = InputControlSetNew("Game", false);
  const int32_t jump = InputActionNew(set, "Jump");
  InputActionBind(jump, kSpace, 100);
  for (int32_t value = 0; value <= 1000; ++value) {
    InputControlFeed(set, kSpace, value);
  }
  InputActionEventHandled(set, 1);
  const std::vector<InputEvent> peeked = InputActionEventsPeek(set);
  ASSERT_EQ(peeked.size(), 1000u);
  EXPECT_EQ(peeked.front().value, 1);  // the 1001st dropped the first
  EXPECT_EQ(peeked.back().value, 1000);
  EXPECT_TRUE(peeked[1].handled);
  EXPECT_FALSE(peeked[0].handled);
  EXPECT_EQ(InputActionEventsTake(set).size(), 1000u);
  EXPECT_TRUE(InputActionEventsPeek(set).empty());
  const std::vector<InputEvent> controls = InputControlEventsTake(set);
  ASSERT_EQ(controls.size(), 1000u);
  EXPECT_EQ(controls.front().value, 1);
  EXPECT_TRUE(InputControlEventsTake(set).empty());

  // Keys hold their last value, mouse movement and wheels add up; states
  // grow to a joystick control's code.
  EXPECT_EQ(InputControlState(set, kSpace), 1000);
  InputControlFeed(set, kInputMouseRight, 300);
  InputControlFeed(set, kInputMouseRight, 200);
  InputControlFeed(set, kInputMouseScrollUp, 100);
  InputControlFeed(set, kInputMouseScrollUp, 100);
  EXPECT_EQ(InputControlState(set, kInputMouseRight), 500);
  EXPECT_EQ(InputControlState(set, kInputMouseScrollUp), 200);
  EXPECT_EQ(InputControlState(set, 300), 0);
  InputControlFeed(set, 300, 100);
  EXPECT_EQ(InputControlState(set, 300), 100);
  EXPECT_EQ(InputControlState(set, 299), 0);
  // Codes no control can have are no controls: nothing is recorded.
  InputControlFeed(set, 0, 100);
  InputControlFeed(set, 2000000000, 100);
  EXPECT_EQ(InputControlState(set, 2000000000), 0);
  EXPECT_THAT(
      Pairs(InputControlEventsTake(set)),
      ElementsAre(Pair(kInputMouseRight, 300), Pair(kInputMouseRight, 200),
                  Pair(kInputMouseScrollUp, 100), Pair(kInputMouseScrollUp, 100), Pair(300, 100)));
}

TEST_F(InputTest, PointerActionsPushThePointerAcrossTheDisplayWindows) {
  const PlatformWindow wide = Window(640, 480);
  const PlatformWindow small = Window(320, 200);
  EXPECT_EQ(InputPointerGet(InputMenuControlSet()).display, -1);  // made before any window
  InputDisplayAdd(1, wide);
  EXPECT_EQ(InputPointerGet(InputMenuControlSet()).display, 1);
  InputDisplayAdd(2, small);
  const int32_t set = InputControlSetNew("Keys", false);
  InputPointer pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 1);
  EXPECT_EQ(pointer.x, 320);
  EXPECT_EQ(pointer.y, 240);

  InputPointerBind(set, 3, kRightArrow, 50);
  InputPointerBind(set, 2, kLeftArrow, 50);
  InputPointerBind(set, 2, kRightArrow, 25);  // moves from "right" to "left"
  InputPointerBind(set, 3, kRightArrow, 50);  // and back
  InputPointerBind(set, 3, kRightArrow, 5);   // already there: the speed stays
  InputPointerBind(set, 5, kSpace, 50);       // no such pointer action
  InputControlSetActivate(set);
  InputControlFeed(set, kRightArrow, 100);  // no time since activation: no move
  EXPECT_EQ(InputPointerGet(set).x, 320);

  PlatformClockAdvance(1000);               // each push now moves 400 pixels
  InputControlFeed(set, kRightArrow, 100);  // 720 is past the first window
  pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 2);
  EXPECT_EQ(pointer.x, 80);
  EXPECT_EQ(pointer.y, 199);  // within the smaller window
  InputControlFeed(set, kRightArrow, 100);
  EXPECT_EQ(InputPointerGet(set).x, 319);  // the last window's edge
  InputControlFeed(set, kLeftArrow, 100);
  pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 1);
  EXPECT_EQ(pointer.x, 559);  // 319 - 400 + 640
  InputControlFeed(set, kLeftArrow, 200);
  EXPECT_EQ(InputPointerGet(set).x, 0);  // the first window's edge

  // After a long time active the push is far too large for 32 bits; it
  // still pushes the way the key says.
  PlatformClockAdvance(3000000);
  InputControlFeed(set, kRightArrow, 100);
  pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 2);
  EXPECT_EQ(pointer.x, 319);

  // The mouse movement controls are never bound: they make the pointer
  // follow the mouse.
  const int32_t mouse = InputControlSetNew("Mouse", false);
  InputPointerBind(mouse, 2, kInputMouseLeft, 100);
  InputControlSetActivate(mouse);
  PlatformClockAdvance(1000);
  InputControlFeed(mouse, kInputMouseLeft, 100);
  EXPECT_EQ(InputPointerGet(mouse).x, 320);
  InputMouseMessage(0x0200, small, 0, (7 << 16) | 5);
  pointer = InputPointerGet(mouse);
  EXPECT_EQ(pointer.display, 2);
  EXPECT_EQ(pointer.x, 5);
  EXPECT_EQ(pointer.y, 7);

  // A removed display leaves the pointers on it, which the next display takes.
  InputDisplayRemove(2);
  EXPECT_EQ(InputPointerGet(mouse).display, -1);
  InputDisplayAdd(3, small);
  EXPECT_EQ(InputPointerGet(mouse).display, 3);
}

}  // namespace
