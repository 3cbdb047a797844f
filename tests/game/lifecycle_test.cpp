#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/graphics/graphics.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::HasSubstr;

PlatformMonitor Monitor(int32_t width, int32_t height, std::vector<PlatformMode> modes) {
  PlatformMonitor monitor;
  monitor.bounds = {0, 0, width, height};
  monitor.primary = true;
  monitor.modes = std::move(modes);
  monitor.desktopMode = {width, height, 32, 60};
  return monitor;
}

// The game's start-up on the headless platform with chosen monitors and
// settings, its user files in the test's program folder.
class LifecycleTest : public ::testing::Test {
 protected:
  void Start(const std::string& settings, std::vector<PlatformMonitor> monitors,
             std::vector<std::string> parameters = {}) {
    program_.write("settings.ini", settings);
    parameters.insert(parameters.begin(), "-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(), parameters);
    PlatformHeadlessSetMonitors(monitors);
    ModulesStart();
    MainForm().MainFormCreate();
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }
  std::string Log() const { return program_.read("results.log"); }
  PlatformWindow PrimaryWindow() const {
    return PlatformWindow(2);  // the splash window is the first
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

const std::vector<PlatformMode> kUsualModes = {{800, 600, 32, 60},
                                               {1024, 768, 16, 60},
                                               {1024, 768, 32, 60},
                                               {1280, 720, 32, 60},
                                               {1920, 1080, 32, 60}};

TEST_F(LifecycleTest, TheSettingsModeOpensAWindowedPrimaryDisplay) {
  Start("[Video]\nWidth=1024\nHeight=768\nBPP=16\nFullscreen=No\n",
        {Monitor(1920, 1080, kUsualModes)}, {"-trace"});
  ASSERT_TRUE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("GameInitDisplay - Searching for 1024x768 ini resolution.\r\n"
                               "GameInitDisplay - Found INI resolution.\r\n"));
  EXPECT_FALSE(GraphicsIsFullscreen());
  const PlatformRect client = PlatformWindowClientRect(PrimaryWindow());
  EXPECT_EQ(client.width, 1024);
  EXPECT_EQ(client.height, 768);
  EXPECT_EQ(client.x, (1920 - 1024) / 2);
  EXPECT_EQ(client.y, (1080 - 768) / 2);
  EXPECT_EQ(PlatformWindowTitle(PrimaryWindow()), "Tamsin Larkwood Brisk Forge 36");
}

TEST_F(LifecycleTest, NonsenseSettingsFallThroughToTheDesktopMode) {
  Start("[Video]\nWidth=99999\nHeight=-5\nBPP=7\nFullscreen=No\n",
        {Monitor(1920, 1080, kUsualModes)}, {"-trace"});
  ASSERT_TRUE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("GameInitDisplay - Searching for 99999x-5 ini resolution.\r\n"
                               "GameInitDisplay - Searching for 1920x1080 desktop resolution.\r\n"
                               "GameInitDisplay - Found desktop resolution.\r\n"));
  EXPECT_EQ(PlatformWindowClientRect(PrimaryWindow()).width, 1920);
}

TEST_F(LifecycleTest, TheDesignAndBasicModesAreTheLastChoices) {
  Start("[Video]\nFullscreen=No\n", {Monitor(2560, 1440, kUsualModes)}, {"-trace"});
  ASSERT_TRUE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("GameInitDisplay - Searching for 1280x720 design resolution.\r\n"
                               "GameInitDisplay - Found designed resolution.\r\n"));
  ModulesStop();
  platform_.reset();

  Start("[Video]\nFullscreen=No\n", {Monitor(2560, 1440, {{800, 600, 32, 60}})}, {"-trace"});
  ASSERT_TRUE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("GameInitDisplay - Searching for 800x600 basic fallback "
                               "resolution.\r\nGameInitDisplay - Found basic fallback "
                               "resolution.\r\n"));
}

TEST_F(LifecycleTest, NoUsableModeMeansNoGame) {
  Start("", {Monitor(2560, 1440, {{640, 400, 32, 60}, {800, 600, 16, 60}})});
  EXPECT_FALSE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("Error: GameInitDisplay - Unable to find suitable display mode."));
  EXPECT_EQ(PlatformWindowExists(PrimaryWindow()), false);
}

TEST_F(LifecycleTest, ARenderWindowThatCannotBeMadeLeavesNoDisplayAndTheLogSaysWhy) {
  Start("[Video]\nFullscreen=No\n", {Monitor(1920, 1080, kUsualModes)});
  PlatformHeadlessFailOpenGLWindows("No matching OpenGL visual.");
  EXPECT_FALSE(GameInitDisplay());
  EXPECT_THAT(Log(), HasSubstr("Error: GraphicsDisplayCreateRC - Can't create a GL device context "
                               "for display \"Primary\": No matching OpenGL visual.\r\n"
                               "Error: GameInitDisplay - Unable to add \"Primary\" display.\r\n"));
  EXPECT_FALSE(GraphicsDisplayExists(1));
  EXPECT_EQ(MainForm().MainDisplayGetWindow(1), 0u);
}

TEST_F(LifecycleTest, AMissingFullscreenKeyStartsInFullScreenAndTheSwitchBackIsCentred) {
  Start("[Video]\nWidth=1280\nHeight=720\n", {Monitor(1920, 1080, kUsualModes)});
  ASSERT_TRUE(GameInitDisplay());
  EXPECT_TRUE(GraphicsIsFullscreen());
  EXPECT_TRUE(PlatformWindowFullscreen(PrimaryWindow()));

  GameSetFullscreen(false);
  EXPECT_FALSE(GraphicsIsFullscreen());
  EXPECT_FALSE(PlatformWindowFullscreen(PrimaryWindow()));
  // The window keeps the full-screen size, centred on the monitor.
  const PlatformRect client = PlatformWindowClientRect(PrimaryWindow());
  const PlatformRect monitor = PlatformMonitorBounds(0);
  EXPECT_EQ(client.width, monitor.width);
  EXPECT_EQ(client.x, (monitor.width - client.width) / 2);
}

TEST_F(LifecycleTest, WindowsAreCentredWithIntegerHalvesTowardZero) {
  Start("[Video]\nWidth=1280\nHeight=720\nFullscreen=No\n",
        {Monitor(1280, 720, {{1280, 720, 32, 60}})});
  ASSERT_TRUE(GameInitDisplay());
  MainForm().MainThreadDisplayResize(1, 1281, 721);
  const PlatformRect client = PlatformWindowClientRect(PrimaryWindow());
  EXPECT_EQ(client.x, 0);
  EXPECT_EQ(client.y, 0);
}

TEST_F(LifecycleTest, AnInvalidMonitorFallsBackToThePrimaryOne) {
  Start("", {Monitor(1920, 1080, kUsualModes)});
  const int32_t id = MainForm().MainThreadDisplayAdd(3, "Second", false);
  EXPECT_GT(id, 0);
  EXPECT_EQ(GraphicsDisplayGetMonitor(id), 0);
  EXPECT_THAT(Log(), HasSubstr("Error: renderForm.SetMonitor - Invalid monitor ID \"3\".  "
                               "Defaulting to primary monitor."));
}

TEST_F(LifecycleTest, ClosingTheGameWindowAsksTheGameInsteadOfClosing) {
  Start("[Video]\nFullscreen=No\n", {Monitor(1920, 1080, kUsualModes)});
  ASSERT_TRUE(GameInitDisplay());
  MainForm().DispatchEvent(
      {.type = PlatformEventType::WindowCloseRequest, .window = PrimaryWindow()});
  EXPECT_TRUE(PlatformWindowExists(PrimaryWindow()));
  EXPECT_TRUE(MainForm().CloseRequested());

  // Once the display is gone, the window closes normally.
  MainForm().MainThreadDisplayClose(1);
  EXPECT_FALSE(PlatformWindowExists(PrimaryWindow()));
}

TEST_F(LifecycleTest, InitialisationRegistersTheStatesAndEntersTheFirstOne) {
  Start("[Controls]\nConfigured=Yes\n[Video]\nFullscreen=No\n", {Monitor(1920, 1080, kUsualModes)});
  ASSERT_TRUE(GameInitDisplay());
  ASSERT_TRUE(GameInit());
  // Without interface scripts the main menu cannot load: fatal error.
  EXPECT_EQ(StateGetCurrent(), 2);
  EXPECT_THAT(Log(), HasSubstr("Error: AppStateMainMenuEnter - Unable to load background script."));
  EXPECT_THAT(Log(), ::testing::Not(HasSubstr("main menu script")));
  EXPECT_TRUE(StateVariableGetBool(3, "menu main fade in"));
  EXPECT_FALSE(GameFrame());
  EXPECT_TRUE(GameQuit());
}

TEST_F(LifecycleTest, ACloseRequestWhilePlayingGoesToTheQuitConfirmation) {
  Start("[Video]\nFullscreen=No\n", {Monitor(1920, 1080, kUsualModes)});
  ASSERT_TRUE(GameInitDisplay());
  ASSERT_TRUE(GameInit());
  StateSet(3);
  EXPECT_FALSE(GameQuit());
  // The confirmation has no script to load, so the game ends fatally.
  EXPECT_THAT(Log(), HasSubstr("Error: AppStateQuitConfirmEnter - Unable to load quit "
                               "confirmation script."));
  EXPECT_EQ(StateGetCurrent(), 2);
  EXPECT_TRUE(GameQuit());
}

TEST_F(LifecycleTest, FramesLastAtLeastTenMillisecondsWithoutVsync) {
  Start("[Video]\nFullscreen=No\n", {Monitor(1920, 1080, kUsualModes)}, {"-sleep", "3"});
  ASSERT_TRUE(GameInitDisplay());
  ASSERT_TRUE(GameInit());
  StateSet(3);
  const uint32_t before = PlatformTickCount();
  EXPECT_TRUE(GameFrame());
  EXPECT_EQ(PlatformTickCount() - before, 10u);
}

class ShellRunTest : public ::testing::Test {
 protected:
  TempFolder program_;
};

TEST_F(ShellRunTest, AGameThatCannotLoadItsFirstScreenEndsWithTheFatalErrorBox) {
  HeadlessPlatform platform(program_.path(), {"-userdatainapp"});
  EXPECT_EQ(ShellMain(), 1);
  const auto& boxes = PlatformShownBoxes();
  ASSERT_EQ(boxes.size(), 2u);  // the acceleration question, then the fatal error
  EXPECT_EQ(boxes[1].kind, PlatformBoxKind::Information);
  EXPECT_EQ(boxes[1].text,
            "A fatal error has occurred.  Please consult the file results.log for details.");
  EXPECT_THAT(program_.read("results.log"),
              HasSubstr("Error: AppStateMainInitialEnter - Unable to load main initial script."));
}

}  // namespace
