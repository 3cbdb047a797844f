#include <gmock/gmock.h>

#include "tests/framework/input/input_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

constexpr int32_t kSpace = 104;
constexpr int32_t kTab = 106;
constexpr int32_t kDownArrow = 14;

// A set with actions, weights, a joystick binding and pointer actions.
int32_t BuildGameSet(bool save) {
  const int32_t set = InputControlSetNew("Game Keys", save);
  const int32_t walk = InputActionNew(set, "Walk");
  const int32_t pause = InputActionNew(set, "Pause");
  InputActionNew(set, "Unbound");
  InputActionBind(walk, kInputMouseLeftButton, 100);
  InputActionBind(walk, kSpace, 40);
  InputActionBind(walk, InputJoystickControl(0, 2), 255);
  InputActionBind(pause, kInputKeyEscape, 0);
  InputPointerBind(set, 1, kDownArrow, 75);
  InputPointerBind(set, 4, InputJoystickControl(0, 43), 120);
  InputPointerBind(set, 4, kInputMouseUp, 100);
  return set;
}

TEST_F(InputTest, SavedSetsWriteTheDesignedKeysAndLoadBackTheSame) {
  PlatformHeadlessSetJoysticks({{.manufacturer = 1133, .product = 49685, .buttons = 6, .axes = 2}});
  Restart();
  BuildGameSet(true);
  InputControlSetNew("Not Saved", false);
  InputStop();  // saves the sets with the save flag

  const std::string saved = program_.read("settings.ini");
  EXPECT_EQ(saved.find("Not Saved"), std::string::npos);
  EXPECT_THAT(saved, HasSubstr("[Input Control Set Game Keys]\r\n"
                               "Game Controllers=1\r\n"
                               "Controller 1=1133;49685\r\n"
                               "Action Count=3\r\n"
                               "Action 1=Walk\r\n"
                               "Action 1 Controls=3\r\n"
                               "Action 1 Control 1=Mouse Left Button 100\r\n"
                               "Action 1 Control 2=Space 40\r\n"
                               "Action 1 Control 3=Controller1 Button 2 255\r\n"
                               "Action 2=Pause\r\n"
                               "Action 2 Controls=1\r\n"
                               "Action 2 Control 1=Escape 0\r\n"
                               "Action 3=Unbound\r\n"
                               "Action 3 Controls=0\r\n"
                               "Pointer Map Mouse=Yes\r\n"
                               "Pointer Action 1 Controls=1\r\n"
                               "Pointer Action 1 Control 1=Down Arrow 75\r\n"
                               "Pointer Action 2 Controls=0\r\n"
                               "Pointer Action 3 Controls=0\r\n"
                               "Pointer Action 4 Controls=1\r\n"
                               "Pointer Action 4 Control 1=Controller1 Y-axis Up 120\r\n"));

  // The next run loads it into a set of that name with bindings of its own,
  // which the saved ones replace; saving that set writes the same section.
  InputStart();
  const int32_t set = InputControlSetNew("GAME KEYS", true);
  const int32_t pause = InputActionNew(set, "pause");
  InputActionBind(pause, kTab, 100);
  InputActionBind(InputActionNew(set, "Keep"), kSpace, 100);
  InputPointerBind(set, 1, kTab, 10);
  ASSERT_TRUE(InputControlSetLoad(set));
  EXPECT_EQ(InputActionFind(set, "Pause"), pause);
  EXPECT_EQ(InputActionOfControl(set, kSpace), InputActionFind(set, "Walk"));
  EXPECT_EQ(InputActionOfControl(set, kTab), -1);
  program_.write("settings.ini", "");
  InputControlSetSave(set);
  const std::string again = program_.read("settings.ini");
  EXPECT_THAT(again, HasSubstr("Action 1=pause\r\n"
                               "Action 1 Controls=1\r\n"
                               "Action 1 Control 1=Escape 0\r\n"
                               "Action 2=Keep\r\n"
                               "Action 2 Controls=0\r\n"
                               "Action 3=Walk\r\n"));
  EXPECT_THAT(again, HasSubstr("Pointer Map Mouse=Yes\r\n"
                               "Pointer Action 1 Controls=1\r\n"
                               "Pointer Action 1 Control 1=Down Arrow 75\r\n"));

  // A set built the same way round-trips whole.
  const int32_t copy = InputControlSetNew("Copy", false);
  InputActionNew(copy, "Walk");
  InputActionNew(copy, "Pause");
  InputActionNew(copy, "Unbound");
  program_.write("settings.ini", saved.substr(0, saved.find("[Input Control Set Game Keys]")) +
                                     "[Input Control Set Copy]" +
                                     saved.substr(saved.find("]\r\nGame Controllers") + 1));
  const std::string section = program_.read("settings.ini");
  ASSERT_TRUE(InputControlSetLoad(copy));
  program_.write("settings.ini", "");
  InputControlSetSave(copy);
  EXPECT_EQ(program_.read("settings.ini"),
            section.substr(section.find("[Input Control Set Copy]")));
}

TEST_F(InputTest, AHandWrittenSectionLoadsWhatItCanAndNamesWhatItSkips) {
  program_.write("settings.ini",
                 "[Input Control Set Hand]\r\n"
                 "Action Count=2000000000\r\n"
                 "Action 1=Exit\r\n"
                 "Action 1 Controls=3\r\n"
                 "Action 1 Control 1=escape 300\r\n"
                 "Action 1 Control 2=Hyper Key 100\r\n"
                 "Action 1 Control 3=Space\r\n"
                 "Action 2=Jump\r\n"
                 "Action 2 Controls=1\r\n"
                 "Action 2 Control 1=Space 80\r\n"
                 "Action 3=EXIT\r\n"
                 "Action 3 Controls=99999\r\n"
                 "Action 3 Control 1=Mouse Right Button 50\r\n"
                 "Pointer Map Mouse=No\r\n"
                 "Pointer Action 3 Controls=1\r\n"
                 "Pointer Action 3 Control 1=Right Arrow 60\r\n"
                 "[Input Control Set Empty]\r\n"
                 "Action Count=0\r\n");
  const int32_t set = InputControlSetNew("Hand", false);
  ASSERT_TRUE(InputControlSetLoad(set));
  EXPECT_FALSE(InputControlSetLoad(InputControlSetNew("Empty", false)));
  EXPECT_FALSE(InputControlSetLoad(InputControlSetNew("Absent", false)));
  EXPECT_FALSE(InputControlSetLoad(12345));

  // The second "Exit" adds to the first; the weight above a byte is 255.
  ASSERT_EQ(InputActionCount(set), 2);
  const int32_t exit = InputActionFind(set, "Exit");
  EXPECT_EQ(InputActionAt(set, 0), exit);
  EXPECT_EQ(InputActionControl(exit, 0), kInputKeyEscape);
  EXPECT_EQ(InputActionControl(exit, 1), kInputMouseRightButton);
  EXPECT_EQ(InputActionControl(exit, 2), 0);
  InputControlFeed(set, kInputKeyEscape, 100);
  InputControlFeed(set, kInputMouseRightButton, 100);
  InputControlFeed(set, kSpace, 100);
  EXPECT_THAT(Pairs(InputActionEventsTake(set)),
              ElementsAre(Pair(exit, 255), Pair(exit, 50), Pair(InputActionFind(set, "Jump"), 80)));

  // The pointer action came back, and the saved flag holds.
  const PlatformWindow window = Window(800, 600);
  InputDisplayAdd(1, window);
  InputControlSetActivate(set);
  PlatformClockAdvance(1000);
  InputControlFeed(set, 16, 100);  // Right Arrow: 100 x 1000 x 60 x 8 / 100000
  EXPECT_EQ(InputPointerGet(set).x, 480);
  InputMouseMessage(0x0200, window, 0, (5 << 16) | 5);
  EXPECT_EQ(InputPointerGet(set).x, 480);

  EXPECT_THAT(Log(), HasSubstr("Error: InputControlSetLoad - Unknown control \"Hyper Key\" in key "
                               "\"Action 1 Control 2\" of \"Input Control Set Hand\".\r\n"));
  EXPECT_THAT(Log(), HasSubstr("Error: InputControlSetLoad - The key \"Action 1 Control 3\" of "
                               "\"Input Control Set Hand\" holds no control and number.\r\n"));
}

}  // namespace
