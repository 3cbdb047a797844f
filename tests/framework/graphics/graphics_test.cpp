#include "framework/graphics/graphics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::StartsWith;

PlatformMonitor Monitor(int32_t x, std::vector<PlatformMode> modes) {
  PlatformMonitor monitor;
  monitor.bounds = {x, 0, 1920, 1080};
  monitor.primary = x == 0;
  monitor.modes = std::move(modes);
  monitor.desktopMode = {1920, 1080, 32, 60};
  return monitor;
}

// Two fake monitors side by side: the first with a typical messy mode list,
// the second with only its desktop mode.
std::vector<PlatformMonitor> TwoMonitors() {
  return {Monitor(0, {{1024, 768, 32, 60},
                      {640, 480, 32, 60},
                      {1024, 768, 16, 60},
                      {1024, 768, 32, 75},
                      {320, 240, 32, 60},
                      {800, 600, 8, 60},
                      {1024, 768, 16, 85},
                      {800, 600, 32, 60},
                      {640, 400, 32, 70},
                      {1024, 768, 32, 85},
                      {1280, 720, 32, 60},
                      {600, 480, 32, 60}}),
          Monitor(1920, {{1920, 1080, 32, 60}, {2560, 1440, 32, 60}})};
}

std::vector<GraphicsMode> ModeList(int32_t monitor) {
  std::vector<GraphicsMode> modes;
  for (int32_t i = 0; GraphicsMonitorGetMode(monitor, i).width != 0; ++i) {
    modes.push_back(GraphicsMonitorGetMode(monitor, i));
  }
  return modes;
}

// The module over the headless platform with chosen monitors, logging into
// the test's program folder.
class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}, TwoMonitors()); }
  void TearDown() override { Stop(); }

  void Start(std::vector<std::string> parameters, const std::vector<PlatformMonitor>& monitors) {
    parameters.insert(parameters.begin(), "-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    PlatformHeadlessSetMonitors(monitors);
    LogStart();
    GraphicsStart();
  }
  void Stop() {
    GraphicsStop();
    LogStop();
    platform_.reset();
  }
  void Restart(const std::vector<std::string>& parameters,
               const std::vector<PlatformMonitor>& monitors) {
    Stop();
    Start(parameters, monitors);
  }

  // A window on a monitor; `opengl` windows can carry a context.
  PlatformWindow Window(int32_t monitor = 0, bool opengl = true) {
    PlatformWindowParams params;
    params.x = monitor * 1920 + 100;
    params.y = 100;
    params.width = 512;
    params.height = 408;
    params.opengl = opengl;
    return PlatformWindowCreate(params);
  }

  std::vector<std::string> LogLines() const { return SplitLines(folder_.read("results.log")); }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// --- Monitor mode lists -------------------------------------------------------------

TEST_F(GraphicsTest, ModeListKeepsEachSizeAndDepthOnceAtTheDesktopRefreshRate) {
  // The desktop runs at 60 Hz: later 75 and 85 Hz entries do not replace it.
  EXPECT_THAT(ModeList(0),
              ElementsAre(GraphicsMode{640, 480, 32, 1}, GraphicsMode{800, 600, 32, 7},
                          GraphicsMode{1024, 768, 16, 2}, GraphicsMode{1024, 768, 32, 0},
                          GraphicsMode{1280, 720, 32, 10}));
  EXPECT_THAT(ModeList(1),
              ElementsAre(GraphicsMode{1920, 1080, 32, 0}, GraphicsMode{2560, 1440, 32, 1}));
}

TEST_F(GraphicsTest, RatesListedHighestFirstKeepTheDesktopRateElseTheHighest) {
  // As SDL lists them: each size's rates from the highest down.
  Restart({}, {Monitor(0, {{2560, 1440, 32, 144},
                           {2560, 1440, 32, 120},
                           {2560, 1440, 32, 24},
                           {1920, 1080, 32, 144},
                           {1920, 1080, 32, 60},
                           {1920, 1080, 32, 24},
                           {1280, 720, 32, 0},
                           {1280, 720, 32, 0}})});
  std::vector<int32_t> rates;
  for (const GraphicsMode& mode : ModeList(0)) {
    PlatformMode listed;
    ASSERT_TRUE(PlatformMonitorEnumMode(0, mode.number, listed));
    rates.push_back(listed.refreshRate);
  }
  // 1280x720 has two equal entries: the one enumerated last stays.
  EXPECT_THAT(ModeList(0),
              ElementsAre(GraphicsMode{1280, 720, 32, 7}, GraphicsMode{1920, 1080, 32, 4},
                          GraphicsMode{2560, 1440, 32, 0}));
  EXPECT_THAT(rates, ElementsAre(0, 60, 144));
}

TEST_F(GraphicsTest, ModesEnumeratedLargestFirstStillListSmallestFirst) {
  Restart({}, {Monitor(0, {{1920, 1080, 32, 60},
                           {1600, 1200, 32, 60},
                           {1600, 900, 32, 60},
                           {1280, 1024, 32, 60},
                           {1280, 1024, 16, 60},
                           {1280, 720, 32, 60},
                           {800, 600, 32, 60}})});
  EXPECT_THAT(ModeList(0),
              ElementsAre(GraphicsMode{800, 600, 32, 6}, GraphicsMode{1280, 720, 32, 5},
                          GraphicsMode{1280, 1024, 16, 4}, GraphicsMode{1280, 1024, 32, 3},
                          GraphicsMode{1600, 900, 32, 2}, GraphicsMode{1600, 1200, 32, 1},
                          GraphicsMode{1920, 1080, 32, 0}));
}

TEST_F(GraphicsTest, ListsAreTakenWhenTheModuleStarts) {
  PlatformHeadlessSetMonitors({Monitor(0, {{800, 600, 32, 60}})});
  EXPECT_EQ(ModeList(0).size(), 5u);
  GraphicsStop();
  EXPECT_TRUE(ModeList(0).empty());
  GraphicsStart();
  EXPECT_THAT(ModeList(0), ElementsAre(GraphicsMode{800, 600, 32, 0}));
  EXPECT_TRUE(ModeList(1).empty());
}

TEST_F(GraphicsTest, BadMonitorOrIndexGivesZeros) {
  EXPECT_EQ(GraphicsMonitorGetMode(0, 5), GraphicsMode{});
  EXPECT_EQ(GraphicsMonitorGetMode(0, -1), GraphicsMode{});
  EXPECT_EQ(GraphicsMonitorGetMode(2, 0), GraphicsMode{});
  EXPECT_EQ(GraphicsMonitorGetMode(-1, 0), GraphicsMode{});
}

// --- Finding modes and their texts ---------------------------------------------------

TEST_F(GraphicsTest, FindModeMatchesWidthHeightAndBits) {
  EXPECT_EQ(GraphicsMonitorFindModeIndex(0, 1024, 768, 16), 2);
  EXPECT_EQ(GraphicsMonitorFindMode(0, 1024, 768, 16), (GraphicsMode{1024, 768, 16, 2}));
  EXPECT_EQ(GraphicsMonitorFindModeIndex(0, 1024, 768, 32), 3);
  EXPECT_EQ(GraphicsMonitorFindModeIndex(1, 1920, 1080, 32), 0);
}

TEST_F(GraphicsTest, FindModeWithoutAMatchGivesZerosAndMinusOne) {
  EXPECT_EQ(GraphicsMonitorFindModeIndex(0, 1024, 768, 24), -1);
  EXPECT_EQ(GraphicsMonitorFindModeIndex(0, 1920, 1080, 32), -1);  // only on monitor 1
  EXPECT_EQ(GraphicsMonitorFindModeIndex(0, 320, 240, 32), -1);    // enumerated, too small
  EXPECT_EQ(GraphicsMonitorFindModeIndex(7, 1024, 768, 32), -1);
  EXPECT_EQ(GraphicsMonitorFindMode(0, 800, 600, 8), GraphicsMode{});
}

TEST_F(GraphicsTest, ModeTextNamesSizeAndDepth) {
  EXPECT_EQ(GraphicsMonitorModeText(0, 2), "1024x768 16-bit color");
  EXPECT_EQ(GraphicsMonitorModeText(1, 0), "1920x1080 32-bit color");
}

TEST_F(GraphicsTest, ModeTextOfAnEntryWithZerosIsEmpty) {
  EXPECT_EQ(GraphicsMonitorModeText(0, 5), "");
  EXPECT_EQ(GraphicsMonitorModeText(3, 0), "");
}

// --- OpenGL error texts -------------------------------------------------------------

TEST_F(GraphicsTest, ErrorTextsNameTheKnownErrors) {
  EXPECT_EQ(GraphicsErrorText(1280),
            "Invalid enumerated value passed to OpenGL function.  Error = 1280");
  EXPECT_EQ(GraphicsErrorText(1281), "Invalid value passed to OpenGL function.  Error = 1281");
  EXPECT_EQ(GraphicsErrorText(1282), "Invalid operation for current OpenGL state.  Error = 1282");
  EXPECT_EQ(GraphicsErrorText(1285), "Insufficient memory for OpenGL operation.  Error = 1285");
}

TEST_F(GraphicsTest, ErrorTextOfAnyOtherCodeSaysUnrecognised) {
  EXPECT_EQ(GraphicsErrorText(1283), "Unrecgoznied OpenGL error 1283.");
  EXPECT_EQ(GraphicsErrorText(0), "Unrecgoznied OpenGL error 0.");
}

// --- Display table --------------------------------------------------------------------

TEST_F(GraphicsTest, DisplayIdsCountFromOneAndAreNeverReused) {
  const int32_t first = GraphicsDisplayAdd(Window(), "Primary", 0);
  const int32_t second = GraphicsDisplayAdd(Window(), "Second", 0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  GraphicsDisplayClose(second);
  GraphicsDisplayClose(first);
  EXPECT_FALSE(GraphicsDisplayExists(first));
  const int32_t third = GraphicsDisplayAdd(Window(), "Third", 1);
  EXPECT_EQ(third, 3);
  EXPECT_TRUE(GraphicsDisplayExists(third));
  EXPECT_FALSE(GraphicsDisplayExists(second));
}

TEST_F(GraphicsTest, ClosingADisplayMovesLaterOnesDown) {
  const int32_t first = GraphicsDisplayAdd(Window(), "Primary", 0);
  const int32_t second = GraphicsDisplayAdd(Window(1), "Second", 1);
  GraphicsDisplayClose(first);
  GraphicsDisplayClose(99);
  EXPECT_EQ(GraphicsDisplayGetMonitor(second), 1);
  EXPECT_TRUE(GraphicsDisplayFreeRC(0));
  EXPECT_FALSE(GraphicsDisplayFreeRC(1));
  EXPECT_FALSE(GraphicsDisplayFreeRC(-1));
  EXPECT_THAT(LogLines(),
              IsSupersetOf({"Error: GraphicsDisplayFreeRC - Invalid display Index \"1\".",
                            "Error: GraphicsDisplayFreeRC - Invalid display Index \"-1\"."}));
}

TEST_F(GraphicsTest, UnknownIdsGiveTheDesignedDefaults) {
  EXPECT_EQ(GraphicsDisplayGetMonitor(4), -1);
  EXPECT_EQ(GraphicsDisplayGetMode(4, 0), (GraphicsMode{0, 0, 0, -1}));
  EXPECT_EQ(GraphicsDisplayGetModeIndex(4), -1);
  EXPECT_EQ(GraphicsDisplayGetWidth(4), 1);
  EXPECT_EQ(GraphicsDisplayGetHeight(4), 1);
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(4));
}

TEST_F(GraphicsTest, ADisplaysModeIsFoundInItsMonitorsList) {
  const int32_t id = GraphicsDisplayAdd(Window(), "Primary", 0);
  EXPECT_EQ(GraphicsDisplayGetModeIndex(id), -1);
  EXPECT_EQ(GraphicsDisplayGetWidth(id), 1);
  GraphicsDisplaySetMode(id, GraphicsMonitorFindMode(0, 1280, 720, 32));
  EXPECT_EQ(GraphicsDisplayGetModeIndex(id), 4);
  EXPECT_EQ(GraphicsDisplayGetWidth(id), 1280);
  EXPECT_EQ(GraphicsDisplayGetHeight(id), 720);
  EXPECT_EQ(GraphicsDisplayGetMode(id, 1), (GraphicsMode{800, 600, 32, 7}));
  EXPECT_EQ(GraphicsDisplayGetMode(id, 9), GraphicsMode{});
}

TEST_F(GraphicsTest, SettingAModeOfWidthZeroKeepsTheOldOne) {
  const int32_t id = GraphicsDisplayAdd(Window(), "Primary", 0);
  GraphicsDisplaySetMode(id, GraphicsMonitorFindMode(0, 800, 600, 32));
  GraphicsDisplaySetMode(id, GraphicsMode{0, 768, 32, 3});
  EXPECT_EQ(GraphicsDisplayGetWidth(id), 800);
}

TEST_F(GraphicsTest, AModeMissingFromTheMonitorsListHasNoIndex) {
  const int32_t id = GraphicsDisplayAdd(Window(1), "Second", 1);
  GraphicsDisplaySetMode(id, GraphicsMonitorFindMode(0, 1024, 768, 32));
  EXPECT_EQ(GraphicsDisplayGetModeIndex(id), -1);
  EXPECT_EQ(GraphicsDisplayGetHeight(id), 1);
}

// --- Rendering contexts and frames without OpenGL ---------------------------------------

TEST_F(GraphicsTest, CreatingAContextForAnUnknownIdIsLogged) {
  EXPECT_FALSE(GraphicsDisplayCreateRC(7));
  EXPECT_THAT(LogLines(), Contains("Error: GraphicsDisplayCreateRC - Can't get display 7."));
}

TEST_F(GraphicsTest, AWindowThatCannotCarryOpenGLGetsNoContext) {
  const int32_t id = GraphicsDisplayAdd(Window(0, false), "Primary", 0);
  EXPECT_FALSE(GraphicsDisplayCreateRC(id));
  EXPECT_THAT(LogLines(),
              Contains("Error: GraphicsDisplayCreateRC - Cant't create a GL rendering context for "
                       "display \"Primary\": The window cannot carry an OpenGL context."));
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(id));
}

TEST_F(GraphicsTest, AWindowThatIsGoneGetsNoDeviceContext) {
  const PlatformWindow window = Window();
  const int32_t id = GraphicsDisplayAdd(window, "Primary", 0);
  PlatformWindowDestroy(window);
  EXPECT_FALSE(GraphicsDisplayCreateRC(id));
  EXPECT_THAT(LogLines(), Contains(StartsWith("Error: GraphicsDisplayCreateRC - Can't create a GL "
                                              "device context for display \"Primary\": ")));
}

TEST_F(GraphicsTest, AFrameWithoutAContextLogsTheHandles) {
  const PlatformWindow window = Window();
  const int32_t id = GraphicsDisplayAdd(window, "Primary", 0);
  GraphicsRenderBegin(id);
  GraphicsRenderEnd(id);
  const auto lines = LogLines();
  ASSERT_GE(lines.size(), 5u);
  const std::vector<std::string> tail(lines.end() - 5, lines.end());
  EXPECT_THAT(tail[0], StartsWith("Error: GraphicsRenderBegin - Unable to make RC current on "
                                  "display \"Primary\": "));
  EXPECT_EQ(tail[1], "  Handle = " + std::to_string(window));
  EXPECT_EQ(tail[2], "  DC = 0");
  EXPECT_EQ(tail[3], "  RC = 0");
  EXPECT_THAT(
      tail[4],
      StartsWith("Error: GraphicsRenderEnd - Unable to SwapBuffers on display \"Primary\": "));
}

TEST_F(GraphicsTest, FramesAndContextCallsOnUnknownIdsLogNothing) {
  GraphicsDisplayAdd(Window(), "Primary", 0);
  GraphicsRenderBegin(5);
  GraphicsRenderEnd(5);
  GraphicsDisplaysFreeRC();  // displays without contexts free without trouble
  EXPECT_FALSE(folder_.exists("results.log"));
}

// --- Vertical sync ------------------------------------------------------------------------

TEST_F(GraphicsTest, VSyncStaysOffWithoutTheSwapIntervalControl) {
  ASSERT_EQ(PlatformGLSetSwapInterval(true), -1);
  GraphicsSetVSync(true);
  EXPECT_FALSE(GraphicsVSyncActive());
  GraphicsSetVSync(false);
  EXPECT_FALSE(GraphicsVSyncActive());
}

// --- Full screen --------------------------------------------------------------------------

TEST_F(GraphicsTest, FullScreenPutsEachDisplayWindowInItsMode) {
  const PlatformWindow primary = Window();
  const PlatformWindow second = Window(1);
  const int32_t primaryId = GraphicsDisplayAdd(primary, "Primary", 0);
  const int32_t secondId = GraphicsDisplayAdd(second, "Second", 1);
  GraphicsDisplaySetMode(primaryId, GraphicsMonitorFindMode(0, 1024, 768, 16));
  GraphicsDisplaySetMode(secondId, GraphicsMonitorFindMode(1, 1920, 1080, 32));
  GraphicsSetFullscreen(true);
  EXPECT_TRUE(GraphicsIsFullscreen());
  EXPECT_TRUE(PlatformWindowFullscreen(primary));
  EXPECT_TRUE(PlatformWindowFullscreen(second));
  EXPECT_EQ(PlatformWindowClientRect(primary).width, 1024);
  EXPECT_EQ(PlatformWindowClientRect(second).x, 1920);
  GraphicsSetFullscreen(false);
  EXPECT_FALSE(GraphicsIsFullscreen());
  EXPECT_FALSE(PlatformWindowFullscreen(primary));
  EXPECT_FALSE(PlatformWindowFullscreen(second));
  EXPECT_EQ(PlatformWindowClientRect(primary).width, 512);
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(GraphicsTest, LeavingFullScreenWhenNotInItChangesNothing) {
  const PlatformWindow window = Window();
  GraphicsDisplayAdd(window, "Primary", 0);
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, true, {1280, 720, 32, 0}));
  GraphicsSetFullscreen(false);
  EXPECT_TRUE(PlatformWindowFullscreen(window));
  EXPECT_EQ(PlatformWindowClientRect(window).width, 1280);
}

TEST_F(GraphicsTest, ADisplayWithoutAModeKeepsItsWindow) {
  const PlatformWindow window = Window();
  GraphicsDisplayAdd(window, "Primary", 0);
  GraphicsSetFullscreen(true);
  EXPECT_TRUE(GraphicsIsFullscreen());
  EXPECT_FALSE(PlatformWindowFullscreen(window));
}

TEST_F(GraphicsTest, StoppingInFullScreenRestoresTheDesktop) {
  const PlatformWindow window = Window();
  const int32_t id = GraphicsDisplayAdd(window, "Primary", 0);
  GraphicsDisplaySetMode(id, GraphicsMonitorFindMode(0, 800, 600, 32));
  GraphicsSetFullscreen(true);
  ASSERT_TRUE(PlatformWindowFullscreen(window));
  GraphicsStop();
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  EXPECT_FALSE(GraphicsDisplayExists(id));
  EXPECT_FALSE(GraphicsIsFullscreen());
}

TEST_F(GraphicsTest, RestoringTheDesktopReturnsOnlyFullScreenWindows) {
  const PlatformWindow window = Window();
  GraphicsDisplayAdd(window, "Primary", 0);
  EXPECT_TRUE(GraphicsMonitorsRestoreDesktop());
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  EXPECT_EQ(PlatformWindowClientRect(window).width, 512);
}

TEST_F(GraphicsTest, SetResolutionNeedsAMonitorAModeAndAWindow) {
  GraphicsDisplayAdd(Window(), "Primary", 0);
  EXPECT_FALSE(GraphicsMonitorSetResolution(2, 0));
  EXPECT_FALSE(GraphicsMonitorSetResolution(0, 12));
  EXPECT_FALSE(GraphicsMonitorSetResolution(1, 0));
  EXPECT_TRUE(GraphicsMonitorSetResolution(0, 10));
  EXPECT_THAT(LogLines(),
              IsSupersetOf({"Error: GraphicsMonitorSetResolution - Unable to enumerate device "
                            "name for monitor 2.",
                            "Error: GraphicsMonitorSetResolution - Unable to enumerate display "
                            "settings for monitor 0.",
                            "Error: GraphicsMonitorSetResolution - Resolution change failed on "
                            "monitor 1."}));
}

TEST_F(GraphicsTest, AModeTheSystemRefusesFailsTheChange) {
  // The display says monitor 1, but its window stands on monitor 0, which
  // has no 2560x1440 mode to offer.
  const PlatformWindow window = Window(0);
  GraphicsDisplayAdd(window, "Second", 1);
  EXPECT_FALSE(GraphicsMonitorSetResolution(1, 1));
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  EXPECT_THAT(
      LogLines(),
      Contains("Error: GraphicsMonitorSetResolution - Resolution change failed on monitor 1."));
}

// --- Display changes -------------------------------------------------------------------------

TEST_F(GraphicsTest, DisplayChangesAreIgnoredDuringAModeSwitch) {
  GraphicsSetModeSwitch(true);
  GraphicsDisplayChanged();
  EXPECT_FALSE(GraphicsDisplayChangedTake());
  GraphicsSetModeSwitch(false);
  GraphicsDisplayChanged();
  EXPECT_TRUE(GraphicsDisplayChangedTake());
  EXPECT_FALSE(GraphicsDisplayChangedTake());
}

}  // namespace
