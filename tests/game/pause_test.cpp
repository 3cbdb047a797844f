#include <gtest/gtest.h>

#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/support/testsupport.h"

// Sets the flag the frame loop holds while it runs, so that the loop's steps
// can be taken one at a time.
class TmainFormTestAccess {
 public:
  static void SetRunning(bool running) { MainForm().running_ = running; }
  static void FramePass() { MainForm().FramePass(); }
};

namespace {

constexpr int32_t kGameState = 3;
constexpr int32_t kRoomLoadState = 4;
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

  // A long tone, playing.
  int32_t PlayTone() {
    program_.write("Bin/Sounds/Tone.wav", WavFile(Tone(440, 44100, 200000, 0.5), 44100));
    const int32_t id = AudioOpen("Bin\\Sounds\\Tone.wav", kAudioKindSound, 0, 1);
    AudioPlay(id);
    return id;
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

TEST_F(PauseTest, TheClockThePauseStoppedRunsAgainThoughAnotherStateBecameCurrent) {
  Start("[Video]\nFullscreen=No\n");
  PlatformClockAdvance(100);
  MainForm().MainAppPause();
  // While the program is in the background the game changes state (as a
  // close request does), and the program comes back in that other state.
  StateSet(kRoomLoadState);
  MainForm().MainAppResume();
  StateSet(kGameState);
  PlatformClockAdvance(50);
  EXPECT_EQ(StateGetTime(kGameState), 150u);

  // The next focus loss finds the clock running and resumes it again.
  MainForm().MainAppPause();
  MainForm().MainAppResume();
  PlatformClockAdvance(25);
  EXPECT_EQ(StateGetTime(kGameState), 175u);
}

TEST_F(PauseTest, AClockTheGamePausedItselfStaysPausedButTheSoundsPlayOn) {
  Start("[Video]\nFullscreen=No\n");
  ASSERT_TRUE(AudioAvailable());
  const int32_t sound = PlayTone();
  StatePause();
  MainForm().MainAppPause();
  EXPECT_EQ(AudioGetStatus(sound), kAudioStatusPaused);
  MainForm().MainAppResume();
  EXPECT_TRUE(StateIsPaused());
  EXPECT_EQ(AudioGetStatus(sound), kAudioStatusPlaying);
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

TEST_F(PauseTest, MinimisedTheLoopWaitsForEventsAndACloseRequestBringsTheGameBack) {
  Start("[Video]\nFullscreen=No\n");
  PlatformAppMinimize();
  PlatformPumpMessages();
  ASSERT_TRUE(PlatformAppMinimized());
  const uint32_t before = PlatformTickCount();
  TmainFormTestAccess::FramePass();
  // No frame ran: the pass slept for the longest wait, as no event came.
  EXPECT_EQ(PlatformTickCount() - before, 100u);
  EXPECT_EQ(StateGetTime(kGameState), 0u);

  // A close request (here the system's, SIGTERM) restores the game, whose
  // next frame shows the quit confirmation.
  PlatformHeadlessPostEvent({.type = PlatformEventType::QuitRequest});
  TmainFormTestAccess::FramePass();
  TmainFormTestAccess::FramePass();
  EXPECT_EQ(PlatformTickCount() - before, 100u);  // events were waiting: no sleep
  EXPECT_FALSE(PlatformAppMinimized());
  EXPECT_TRUE(PlatformAppActive());
  TmainFormTestAccess::FramePass();
  EXPECT_NE(program_.read("results.log")
                .find("Error: AppStateQuitConfirmEnter - Unable to load "
                      "quit confirmation script."),
            std::string::npos);
}

}  // namespace
