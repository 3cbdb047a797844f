#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include "framework/input/input.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

// Takes the shell's start-up, loop and shutdown steps one at a time.
class TmainFormTestAccess {
 public:
  static bool StartupChecks() { return MainForm().StartupChecks(); }
  static void FramePass() { MainForm().FramePass(); }
  static void Shutdown() { MainForm().Shutdown(); }
};

namespace {

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";

// The whole shell on the headless platform, posing as a program in a
// temporary folder with its user files kept there.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
  }
  void TearDown() override { platform_.reset(); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(ShellTest, ACloseBeforeTheGameStartsEndsTheProcessCleanly) {
  PlatformHeadlessPostEvent({.type = PlatformEventType::QuitRequest});
  EXPECT_EQ(ShellMain(), 0);
  EXPECT_TRUE(PlatformShownBoxes().empty());
  EXPECT_EQ(PlatformCurrentFolder(), program_.path());
}

TEST_F(ShellTest, DecliningTheSoftwareRendererEndsTheProcess) {
  // The headless platform has no accelerated OpenGL, so the question comes.
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::No);
  EXPECT_EQ(ShellMain(), 0);
  ASSERT_EQ(PlatformShownBoxes().size(), 1u);
  const PlatformShownBox& box = PlatformShownBoxes().front();
  EXPECT_EQ(box.title, kTitle);
  EXPECT_EQ(box.kind, PlatformBoxKind::YesNo);
  EXPECT_EQ(box.text, std::string("Your system does not have hardware acceleration for OpenGL.  ") +
                          kTitle +
                          " can be run but at reduced performance levels.\r\n\r\nYou may be able "
                          "to correct this by updating your video drivers from your vendor's "
                          "website.\r\n\r\nWould you like to run " +
                          kTitle + " anyway?");
  // The game starts a second after the splash window is first activated.
  EXPECT_GE(PlatformTickCount(), 1000u);
}

TEST_F(ShellTest, AStartThatCannotOpenTheGameDisplayEndsWithStatusOne) {
  // No render window can be made: the start ends instead of waiting for it.
  PlatformHeadlessFailOpenGLWindows("No matching OpenGL visual.");
  EXPECT_EQ(ShellMain(), 1);
  EXPECT_NE(program_.read("results.log").find("GameInitDisplay - Unable to add \"Primary\""),
            std::string::npos);

  // No display mode the game can use.
  platform_.reset();
  platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                 std::vector<std::string>{"-userdatainapp"});
  PlatformMonitor small;
  small.bounds = {0, 0, 640, 400};
  small.primary = true;
  small.modes = {{640, 400, 32, 60}};
  small.desktopMode = small.modes.front();
  PlatformHeadlessSetMonitors({small});
  EXPECT_EQ(ShellMain(), 1);
  EXPECT_NE(program_.read("results.log").find("GameInitDisplay - Unable to find suitable display"),
            std::string::npos);
  // Neither failure shows a box beyond the acceleration question.
  EXPECT_EQ(PlatformShownBoxes().size(), 1u);
}

TEST_F(ShellTest, WhileRunningTheMouseFeedsTheActiveSetAndKeysStopWithTheFocus) {
  program_.write("settings.ini", "[Video]\nFullscreen=No\n");
  ModulesStart();
  PlatformSetEventHandler([](const PlatformEvent& event) { MainForm().DispatchEvent(event); });
  MainForm().MainFormCreate();
  ASSERT_TRUE(TmainFormTestAccess::StartupChecks());
  EXPECT_TRUE(InputKeyboardHooked());
  const PlatformWindow primary = 2;  // the splash window is the first
  const int32_t set = InputMenuControlSet();
  InputControlSetActivate(set);
  // The render window is registered: the pointer follows the mouse into it.
  PlatformHeadlessPostEvent({.type = PlatformEventType::MouseMessage,
                             .window = primary,
                             .message = 0x0201,
                             .wParam = 1,
                             .lParam = (20 << 16) | 30});
  PlatformHeadlessPostEvent({.type = PlatformEventType::MouseMessage,
                             .window = primary,
                             .message = 0x0200,
                             .lParam = (20 << 16) | 30});
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::KeyDown, .window = primary, .key = SDL_SCANCODE_SPACE});
  MainForm().MainFormProcessMessages();
  const std::vector<InputEvent> fed = InputControlEventsTake(set);
  ASSERT_GE(fed.size(), 2u);
  EXPECT_EQ(fed.front().code, kInputMouseLeftButton);
  EXPECT_EQ(fed.back().code, 104);  // Space
  const InputPointer pointer = InputPointerGet(set);
  EXPECT_NE(pointer.display, -1);
  EXPECT_EQ(pointer.x, 30);
  EXPECT_EQ(pointer.y, 20);

  // The focus goes: the next pass pauses and unhooks, and keys are dropped.
  PlatformHeadlessPostEvent({.type = PlatformEventType::WindowDeactivated, .window = primary});
  MainForm().MainFormProcessMessages();
  TmainFormTestAccess::FramePass();
  EXPECT_FALSE(InputKeyboardHooked());
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::KeyDown, .window = primary, .key = SDL_SCANCODE_ESCAPE});
  MainForm().MainFormProcessMessages();
  EXPECT_TRUE(InputControlEventsTake(set).empty());

  // It comes back: hooked again.
  PlatformHeadlessPostEvent({.type = PlatformEventType::WindowActivated, .window = primary});
  MainForm().MainFormProcessMessages();
  TmainFormTestAccess::FramePass();
  EXPECT_TRUE(InputKeyboardHooked());

  TmainFormTestAccess::Shutdown();
  EXPECT_FALSE(InputKeyboardHooked());
  // Once the game has stopped, mouse messages no longer reach the input module.
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::MouseMessage, .window = primary, .message = 0x0201, .lParam = 0});
  MainForm().MainFormProcessMessages();
  EXPECT_TRUE(InputControlEventsTake(set).empty());
  PlatformSetEventHandler({});
  ModulesStop();
}

}  // namespace
