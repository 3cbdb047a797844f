#include <gtest/gtest.h>

#include "framework/graphics/graphics.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

// Sets the flag the frame loop holds while it runs, so that the loop's steps
// can be taken one at a time.
class TmainFormTestAccess {
 public:
  static void SetRunning(bool running) { MainForm().running_ = running; }
};

namespace {

constexpr int32_t kGameState = 3;
constexpr PlatformWindow kPrimaryWindow = 2;  // the splash window is the first

// A running game in its Game state on the headless platform.
class PauseTest : public ::testing::Test {
 protected:
  void Start(const std::string& settings, std::vector<std::string> parameters = {}) {
    program_.write("settings.ini", settings);
    parameters.insert(parameters.begin(), "-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(), parameters);
    ModulesStart();
    PlatformSetEventHandler([](const PlatformEvent& event) { MainForm().DispatchEvent(event); });
    MainForm().MainFormCreate();
    ASSERT_TRUE(GameInitDisplay());
    ASSERT_TRUE(GameInit());
    StateSet(kGameState);
    TmainFormTestAccess::SetRunning(true);
  }
  void TearDown() override {
    TmainFormTestAccess::SetRunning(false);
    PlatformSetEventHandler({});
    ModulesStop();
    platform_.reset();
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(PauseTest, PausingFreezesTheStateClockAndShowsThePointer) {
  Start("[Video]\nFullscreen=No\n");
  PlatformClockAdvance(100);
  MainForm().MainAppPause();
  PlatformClockAdvance(5000);
  EXPECT_EQ(StateGetTime(kGameState), 100u);
  EXPECT_TRUE(PlatformWindowCursorShown(kPrimaryWindow));

  MainForm().MainAppResume();
  PlatformClockAdvance(50);
  EXPECT_EQ(StateGetTime(kGameState), 150u);
  EXPECT_FALSE(PlatformWindowCursorShown(kPrimaryWindow));
}

TEST_F(PauseTest, AClockTheGamePausedItselfStaysPausedAfterResuming) {
  Start("[Video]\nFullscreen=No\n");
  StatePause();
  MainForm().MainAppPause();
  MainForm().MainAppResume();
  EXPECT_TRUE(StateIsPaused());
}

TEST_F(PauseTest, PausingTwiceRemembersTheFirstClockState) {
  Start("[Video]\nFullscreen=No\n");
  MainForm().MainAppPause();
  MainForm().MainAppPause();  // already paused: the game's clock was running
  MainForm().MainAppResume();
  EXPECT_FALSE(StateIsPaused());
}

TEST_F(PauseTest, WinMouseKeepsTheSystemPointerVisible) {
  Start("[Video]\nFullscreen=No\n", {"-winmouse"});
  EXPECT_TRUE(PlatformWindowCursorShown(kPrimaryWindow));
  MainForm().MainAppPause();
  MainForm().MainAppResume();
  EXPECT_TRUE(PlatformWindowCursorShown(kPrimaryWindow));
}

TEST_F(PauseTest, ThePointerIsConfinedOnlyInFullScreen) {
  Start("[Video]\nFullscreen=No\n");
  MainForm().MainMouseConstrain(true);
  EXPECT_FALSE(PlatformWindowPointerConfined(kPrimaryWindow));
  GameSetFullscreen(true);
  EXPECT_TRUE(PlatformWindowPointerConfined(kPrimaryWindow));
  MainForm().MainAppPause();
  EXPECT_FALSE(PlatformWindowPointerConfined(kPrimaryWindow));
  MainForm().MainAppResume();
  EXPECT_TRUE(PlatformWindowPointerConfined(kPrimaryWindow));
}

TEST_F(PauseTest, NoConstrainNeverConfinesThePointer) {
  Start("", {"-noconstrain"});
  ASSERT_TRUE(GraphicsIsFullscreen());
  MainForm().MainMouseConstrain(true);
  EXPECT_FALSE(PlatformWindowPointerConfined(kPrimaryWindow));
}

TEST_F(PauseTest, KeepAwakeEveryTenSecondsWhileActive) {
  Start("[Video]\nFullscreen=No\n");
  ASSERT_TRUE(PlatformAppActive());
  const int before = PlatformKeepAwakeCount();
  PlatformClockAdvance(10001);
  MainForm().MainKeepAwake();
  MainForm().MainKeepAwake();
  EXPECT_EQ(PlatformKeepAwakeCount(), before + 1);
  PlatformClockAdvance(10000);
  MainForm().MainKeepAwake();
  EXPECT_EQ(PlatformKeepAwakeCount(), before + 1);
  PlatformClockAdvance(1);
  MainForm().MainKeepAwake();
  EXPECT_EQ(PlatformKeepAwakeCount(), before + 2);
}

TEST_F(PauseTest, LosingFocusInFullScreenRestoresTheDesktopAndComingBackSwitchesAgain) {
  Start("");
  ASSERT_TRUE(PlatformWindowFullscreen(kPrimaryWindow));
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::WindowDeactivated, .window = kPrimaryWindow});
  PlatformPumpMessages();  // the deactivation minimises the game ...
  PlatformPumpMessages();  // ... and the minimise arrives
  EXPECT_TRUE(PlatformAppMinimized());
  EXPECT_FALSE(PlatformWindowFullscreen(kPrimaryWindow));
  EXPECT_TRUE(GraphicsIsFullscreen());  // the game still means to be in full screen

  PlatformAppRestore();
  PlatformPumpMessages();
  EXPECT_TRUE(GameFrame());
  EXPECT_TRUE(PlatformWindowFullscreen(kPrimaryWindow));
}

}  // namespace
