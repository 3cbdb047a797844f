#include <gtest/gtest.h>

#include "platform/platform.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

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

}  // namespace
