// The game's key handling on the headless platform: controls fed into the
// menus' control set as the keyboard would, the game's frames or key steps
// run, and what a real compiled script's listener received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Every event a script's listener receives, as "code name"; the script is
// installed as each of the screens the tests enter.
constexpr const char* kRecorder = R"(
  routine REPORT;
  on event(code, name) { REPORT("" + code + " " + name); }
)";
constexpr const char* kRecorderFiles[] = {
    "Bin/Interface/Main/Scripts/initial.vmc", "Bin/Interface/Main/Scripts/options.vmc",
    "Bin/Interface/Journal/Scripts/journal.vmc", "Bin/Interface/Pause/Scripts/pause.vmc"};

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VmccResult compiled;
    ASSERT_TRUE(VmccCompile(kRecorder, "recorder.vms", {}, compiled));
    for (const char* file : kRecorderFiles) {
      std::string error;
      ASSERT_TRUE(VmcWriterSave(compiled.script, program_.write(file, ""), error)) << error;
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));  // the main initial screen: state 11
    ASSERT_EQ(StateGetCurrent(), kStateMainInitial);
    set_ = InputMenuControlSet();
    EXPECT_THAT(TakeReports(), ElementsAre("1 APPSCRIPTENTER"));
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  void Feed(const std::string& key, int32_t value) {
    const int32_t code = InputControlCode(key);
    ASSERT_NE(code, 0) << key;
    InputControlFeed(set_, code, value);
  }
  void Press(const std::string& key) { Feed(key, 100); }
  void Release(const std::string& key) { Feed(key, 0); }
  void Tap(const std::string& key) {
    Press(key);
    Release(key);
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
  int32_t set_ = 0;
};

TEST_F(KeysTest, TypedKeysReachTheScriptAsAUSKeyboardTypesThem) {
  for (const char* key : {"A", "1", "Space", "/", "Backspace", "F1", "Numpad 5", "Escape"}) {
    Tap(key);
  }
  Press("Left Shift");
  for (const char* key : {"A", "1", "2", "\\", "'", "`", "Z"}) {
    Tap(key);
  }
  Release("Left Shift");
  // Shift pressed and released around a key within one frame still counts.
  Press("Right Shift");
  Tap("9");
  Release("Right Shift");
  Tap("z");
  // Enter counts on its release, and only there.
  Press("Enter");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(),
              ElementsAre("2 a", "2 1", "2  ", "2 /", "2 BACKSPACE", "2 ESCAPE", "2 A", "2 !",
                          "2 @", "2 |", "2 \"", "2 ~", "2 Z", "2 (", "2 z"));
  Release("Enter");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("2 ENTER"));
}

TEST_F(KeysTest, AltEnterSwitchesFullScreenOnTheReleaseAndIsNeverEnter) {
  ASSERT_FALSE(GraphicsIsFullscreen());
  Press("Left Alt");
  Press("Enter");
  ASSERT_TRUE(GameFrame());
  EXPECT_FALSE(GraphicsIsFullscreen());
  Release("Enter");
  Release("Left Alt");
  ASSERT_TRUE(GameFrame());
  EXPECT_TRUE(GraphicsIsFullscreen());
  EXPECT_THAT(TakeReports(), IsEmpty());

  // The options screens are told, since they show the setting.
  StateSet(kStateMainOptions);
  const int32_t options = GameScriptId(kScriptMainOptions);
  ASSERT_GT(options, 0);
  TakeReports();
  Press("Right Alt");
  Tap("Enter");
  Release("Right Alt");
  GameTextKeys(options);
  EXPECT_FALSE(GraphicsIsFullscreen());
  EXPECT_THAT(TakeReports(), ElementsAre("5 APPFULLSCREENTOGGLE"));

  // Alt let go before Enter: Enter alone.
  Press("Left Alt");
  Press("Enter");
  Release("Left Alt");
  Release("Enter");
  GameTextKeys(options);
  EXPECT_FALSE(GraphicsIsFullscreen());
  EXPECT_THAT(TakeReports(), ElementsAre("2 ENTER"));
}

TEST_F(KeysTest, EscapeInTheRoomOpensTheJournalUnlessACutsceneRuns) {
  StateSet(kStateGame);
  GameCutsceneSet(true);
  Tap("Escape");
  GameTextKeys(GameScriptId(kScriptRoom));
  EXPECT_EQ(StateGetCurrent(), kStateGame);

  GameCutsceneSet(false);
  Tap("Escape");
  GameTextKeys(GameScriptId(kScriptRoom));
  EXPECT_EQ(StateGetCurrent(), kStateJournal);
  // The journal got the entry and not the key.
  EXPECT_THAT(TakeReports(), ElementsAre("1 APPSCRIPTENTER"));
}

TEST_F(KeysTest, TheGameActionsAreBoundAndActAsDesigned) {
  // Enter and Space type text instead of choosing; the game's own keys
  // have their actions, at full weight.
  EXPECT_EQ(InputActionOfControl(set_, InputControlCode("Enter")), -1);
  EXPECT_EQ(InputActionOfControl(set_, InputControlCode("Space")), -1);
  EXPECT_EQ(InputActionName(InputActionOfControl(set_, InputControlCode("Mouse Left Button"))),
            "Select Item");
  for (const auto& [key, action] : std::vector<std::pair<std::string, std::string>>{
           {"Pause", "Pause"}, {"F9", "Quick Load"}, {"F12", "Screenshot"}}) {
    const int32_t bound = InputActionOfControl(set_, InputControlCode(key));
    EXPECT_EQ(InputActionName(bound), action) << key;
    EXPECT_EQ(InputActionControl(bound, 0), InputControlCode(key));
    EXPECT_EQ(InputActionControl(bound, 1), 0);
  }
  Press("F9");
  EXPECT_EQ(InputActionEventsPeek(set_).back().value, 100);

  // Escape reaches a menu once, as a typed key: its "Exit" press is worth
  // 100, and only an "Exit" of exactly 1 is the menu's Escape too.
  InputActionEventsTake(set_);
  Tap("Escape");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("2 ESCAPE"));
  InputActionBind(InputActionFind(set_, "Exit"), InputControlCode("F2"), 1);
  Tap("F2");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("2 ESCAPE"));

  // Quick Load needs the autosave, and is not taken from the pause overlay,
  // where Pause goes to the overlay's script.
  StateSet(kStateGame);
  Tap("F9");
  GamePointerKeys(GameScriptId(kScriptRoom));
  EXPECT_EQ(StateGetCurrent(), kStateGame);
  ASSERT_TRUE(SaveFileWrite(program_.path() + "autosave.sav", {}, {}));
  SavesListClear();
  SavesListBuild();
  StateSet(kStatePaused);
  TakeReports();
  Tap("F9");
  Tap("Pause");
  GamePointerKeys(GameScriptId(kScriptPause));
  EXPECT_EQ(StateGetCurrent(), kStatePaused);
  EXPECT_THAT(TakeReports(), ElementsAre("4 PAUSE"));
  StateSet(kStateGame);
  Press("F9");
  GamePointerKeys(GameScriptId(kScriptRoom));
  EXPECT_EQ(StateGetCurrent(), kStateGame);  // actions fire on the release
  Release("F9");
  GamePointerKeys(GameScriptId(kScriptRoom));
  EXPECT_EQ(StateGetCurrent(), kStateQuickLoad);
}

}  // namespace
