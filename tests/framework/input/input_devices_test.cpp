// The keyboard and mouse feeds. The key table is checked against SDL's own
// scancode names, which the module cannot include.
#include <SDL_scancode.h>
#include <gmock/gmock.h>

#include "tests/framework/input/input_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

constexpr uint32_t kMouseMove = 0x0200;

// A point as a window message packs it.
int32_t Point(int32_t x, int32_t y) {
  return static_cast<int32_t>((static_cast<uint32_t>(y) << 16) |
                              (static_cast<uint32_t>(x) & 0xFFFFu));
}

// A wheel message's wParam: the signed turn in the high word.
uint32_t Turn(int32_t delta) {
  return static_cast<uint32_t>(delta) << 16;
}

TEST_F(InputTest, EveryKeyOfTheKeyboardFeedsItsDesignedControl) {
  std::vector<std::pair<int, std::string>> expected = {
      {SDL_SCANCODE_BACKSPACE, "Backspace"},
      {SDL_SCANCODE_TAB, "Tab"},
      {SDL_SCANCODE_CAPSLOCK, "Caps Lock"},
      {SDL_SCANCODE_ESCAPE, "Escape"},
      {SDL_SCANCODE_SPACE, "Space"},
      {SDL_SCANCODE_PAUSE, "Pause"},
      {SDL_SCANCODE_NUMLOCKCLEAR, "Num Lock"},
      {SDL_SCANCODE_SCROLLLOCK, "Scroll Lock"},
      {SDL_SCANCODE_APPLICATION, "Context Menu"},
      {SDL_SCANCODE_RETURN, "Enter"},
      {SDL_SCANCODE_KP_ENTER, "Numpad Enter"},
      {SDL_SCANCODE_LSHIFT, "Left Shift"},
      {SDL_SCANCODE_RSHIFT, "Right Shift"},
      {SDL_SCANCODE_LCTRL, "Left Control"},
      {SDL_SCANCODE_RCTRL, "Right Control"},
      {SDL_SCANCODE_LALT, "Left Alt"},
      {SDL_SCANCODE_RALT, "Right Alt"},
      {SDL_SCANCODE_PAGEUP, "Page Up"},
      {SDL_SCANCODE_PAGEDOWN, "Page Down"},
      {SDL_SCANCODE_END, "End"},
      {SDL_SCANCODE_HOME, "Home"},
      {SDL_SCANCODE_LEFT, "Left Arrow"},
      {SDL_SCANCODE_UP, "Up Arrow"},
      {SDL_SCANCODE_RIGHT, "Right Arrow"},
      {SDL_SCANCODE_DOWN, "Down Arrow"},
      {SDL_SCANCODE_INSERT, "Insert"},
      {SDL_SCANCODE_DELETE, "Delete"},
      {SDL_SCANCODE_KP_PERIOD, "Numpad ."},
      {SDL_SCANCODE_KP_MULTIPLY, "Numpad *"},
      {SDL_SCANCODE_KP_PLUS, "Numpad +"},
      {SDL_SCANCODE_KP_MINUS, "Numpad -"},
      {SDL_SCANCODE_KP_DIVIDE, "Numpad /"},
      {SDL_SCANCODE_SEMICOLON, ";"},
      {SDL_SCANCODE_EQUALS, "="},
      {SDL_SCANCODE_COMMA, ","},
      {SDL_SCANCODE_MINUS, "-"},
      {SDL_SCANCODE_PERIOD, "."},
      {SDL_SCANCODE_SLASH, "/"},
      {SDL_SCANCODE_GRAVE, "`"},
      {SDL_SCANCODE_LEFTBRACKET, "["},
      {SDL_SCANCODE_BACKSLASH, "\\"},
      {SDL_SCANCODE_RIGHTBRACKET, "]"},
      {SDL_SCANCODE_APOSTROPHE, "'"},
  };
  for (int letter = 0; letter < 26; ++letter) {
    expected.emplace_back(SDL_SCANCODE_A + letter, std::string(1, static_cast<char>('A' + letter)));
  }
  const std::vector<SDL_Scancode> digits = {
      SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3, SDL_SCANCODE_4, SDL_SCANCODE_5,
      SDL_SCANCODE_6, SDL_SCANCODE_7, SDL_SCANCODE_8, SDL_SCANCODE_9, SDL_SCANCODE_0};
  const std::vector<SDL_Scancode> pad = {SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2, SDL_SCANCODE_KP_3,
                                         SDL_SCANCODE_KP_4, SDL_SCANCODE_KP_5, SDL_SCANCODE_KP_6,
                                         SDL_SCANCODE_KP_7, SDL_SCANCODE_KP_8, SDL_SCANCODE_KP_9,
                                         SDL_SCANCODE_KP_0};
  for (int digit = 1; digit <= 10; ++digit) {
    expected.emplace_back(digits[digit - 1], std::to_string(digit % 10));
    expected.emplace_back(pad[digit - 1], "Numpad " + std::to_string(digit % 10));
  }
  for (int f = 1; f <= 24; ++f) {
    expected.emplace_back(f <= 12 ? SDL_SCANCODE_F1 + f - 1 : SDL_SCANCODE_F13 + f - 13,
                          "F" + std::to_string(f));
  }
  int mapped = 0;
  for (const auto& [scancode, name] : expected) {
    EXPECT_EQ(InputControlName(InputKeyControl(scancode)), name) << "scancode " << scancode;
  }
  // Nothing else maps: Print Screen, the Windows keys, keys a US layout lacks.
  for (int scancode = -1; scancode <= SDL_NUM_SCANCODES; ++scancode) {
    mapped += InputKeyControl(scancode) != 0 ? 1 : 0;
  }
  EXPECT_EQ(mapped, static_cast<int>(expected.size()));
  for (int scancode : {SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_LGUI, SDL_SCANCODE_RGUI,
                       SDL_SCANCODE_NONUSBACKSLASH}) {
    EXPECT_EQ(InputKeyControl(scancode), 0);
  }
}

TEST_F(InputTest, AHeldKeyFeedsOneDownAndOneUpAndOnlyWhileHooked) {
  const int32_t set = InputMenuControlSet();
  InputKeyboardHookOn();
  InputKeyboardEvent(SDL_SCANCODE_A, true);  // no active set yet: dropped
  InputControlSetActivate(set);
  for (int repeat = 0; repeat < 3; ++repeat) {
    InputKeyboardEvent(SDL_SCANCODE_A, true);
  }
  InputKeyboardEvent(SDL_SCANCODE_A, false);
  InputKeyboardEvent(SDL_SCANCODE_LGUI, true);  // a Windows key is never fed
  InputKeyboardEvent(SDL_SCANCODE_PRINTSCREEN, true);
  InputKeyboardEvent(SDL_SCANCODE_RETURN, true);
  EXPECT_THAT(Pairs(InputControlEventsTake(set)),
              ElementsAre(Pair(11, 100), Pair(11, 0), Pair(kInputKeyEnter, 100)));
  EXPECT_THAT(Pairs(InputActionEventsTake(set)),
              ElementsAre(Pair(InputActionFind(set, "Select Item"), 100)));

  InputKeyboardHookOff();
  EXPECT_FALSE(InputKeyboardHooked());
  InputKeyboardEvent(SDL_SCANCODE_B, true);
  EXPECT_THAT(InputControlEventsTake(set), IsEmpty());
  InputKeyboardHookOn();
  InputStop();  // stopping unhooks
  EXPECT_FALSE(InputKeyboardHooked());
  InputStart();
}

TEST_F(InputTest, MouseMessagesFeedButtonsWheelsAndMovement) {
  const PlatformWindow first = Window(640, 480);
  const PlatformWindow second = Window(640, 480);
  const PlatformWindow unknown = Window(100, 100);
  InputDisplayAdd(1, first);
  InputDisplayAdd(2, second);
  const int32_t set = InputMenuControlSet();
  InputMouseMessage(0x0201, first, 1, Point(1, 1));  // no active set: dropped
  InputControlSetActivate(set);
  EXPECT_THAT(InputControlEventsTake(set), IsEmpty());

  InputMouseMessage(0x0201, first, 1, Point(1, 1));
  InputMouseMessage(0x0202, first, 0, Point(1, 1));
  InputMouseMessage(0x0204, first, 2, Point(1, 1));
  InputMouseMessage(0x0205, first, 0, Point(1, 1));
  InputMouseMessage(0x0207, first, 0x10, Point(1, 1));
  InputMouseMessage(0x0208, first, 0, Point(1, 1));
  InputMouseMessage(0x020A, first, Turn(-120), Point(1, 1));  // towards the user
  InputMouseMessage(0x020A, first, Turn(120), Point(1, 1));
  InputMouseMessage(0x020E, first, Turn(-120), Point(1, 1));
  InputMouseMessage(0x020E, first, Turn(240), Point(1, 1));
  InputMouseMessage(0x020B, first, (1u << 16) | 0x20, Point(1, 1));
  InputMouseMessage(0x020C, first, 1u << 16, Point(1, 1));
  InputMouseMessage(0x020B, first, (2u << 16) | 0x40, Point(1, 1));
  InputMouseMessage(0x020C, first, 2u << 16, Point(1, 1));
  InputMouseMessage(0x020B, first, 3u << 16, Point(1, 1));  // no such button
  InputMouseMessage(0x0203, first, 0, Point(1, 1));         // a double click is not fed
  EXPECT_THAT(
      Pairs(InputControlEventsTake(set)),
      ElementsAre(Pair(114, 100), Pair(114, 0), Pair(116, 100), Pair(116, 0), Pair(115, 100),
                  Pair(115, 0), Pair(124, 100), Pair(125, 100), Pair(123, 100), Pair(122, 100),
                  Pair(117, 100), Pair(117, 0), Pair(118, 100), Pair(118, 0)));

  // Movement feeds the distance x 100 against the last position; the menu
  // set's pointer follows the mouse into the window that reports it.
  InputMouseReset(10, 10);
  InputMouseMessage(kMouseMove, first, 0, Point(15, 4));
  InputMouseMessage(kMouseMove, second, 0, Point(12, 9));
  InputPointer pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 2);
  EXPECT_EQ(pointer.x, 12);
  EXPECT_EQ(pointer.y, 9);
  InputMouseMessage(kMouseMove, first, 0, Point(-3, 9));  // dragged out to the left
  pointer = InputPointerGet(set);
  EXPECT_EQ(pointer.display, 1);
  EXPECT_EQ(pointer.x, -3);
  InputMouseMessage(kMouseMove, first, 0, Point(-3, 9));  // no change: nothing
  InputMouseMessage(kMouseMove, unknown, 0, Point(20, 30));
  EXPECT_EQ(InputPointerGet(set).display, -1);
  EXPECT_THAT(
      Pairs(InputControlEventsTake(set)),
      ElementsAre(Pair(kInputMouseLeft, 0), Pair(kInputMouseRight, 0), Pair(kInputMouseUp, 0),
                  Pair(kInputMouseDown, 0), Pair(kInputMouseRight, 500), Pair(kInputMouseUp, 600),
                  Pair(kInputMouseLeft, 300), Pair(kInputMouseDown, 500),
                  Pair(kInputMouseLeft, 1500), Pair(kInputMouseRight, 2300),
                  Pair(kInputMouseDown, 2100)));
  EXPECT_EQ(InputControlState(set, kInputMouseRight), 2800);
  EXPECT_FALSE(InputMouseButtonsSwapped());

  // A set that does not follow the mouse keeps its pointer.
  const int32_t keys = InputControlSetNew("Keys", false);
  InputControlSetActivate(keys);
  InputMouseMessage(kMouseMove, second, 0, Point(100, 100));
  EXPECT_EQ(InputPointerGet(keys).display, 1);
  EXPECT_EQ(InputPointerGet(keys).x, 320);
}

}  // namespace
