#include <gtest/gtest.h>
#include <signal.h>

#include "tests/e2e/game_process.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";

bool SplashShown() {
  for (const XWindowInfo& window : ListNamedWindows()) {
    if (window.name == kTitle && window.viewable && window.width == 420 && window.height == 153) {
      return true;
    }
  }
  return false;
}

TEST(StartupE2E, RunsFromAnotherFolderAndEndsCleanlyOnSigterm) {
  setenv("QMR_MESSAGEBOX", "yes", 1);  // answers the boxes without a person
  TempFolder program;
  TempFolder elsewhere;
  GameProcess game(GAME_BINARY, program.path(), elsewhere.path(), {"-startinfo", "-userdatainapp"});

  // The header is written into the program folder, not the working folder.
  ASSERT_TRUE(WaitUntil([&] { return program.exists("results.log"); }, std::chrono::seconds(20)))
      << game.StandardError();
  const auto lines = SplitLines(program.read("results.log"));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("Application \"" + program.path() + "briskforge\" started on "))
      << lines[0];
  EXPECT_EQ(lines[1], "Parameters:");
  EXPECT_EQ(lines[2], "    -startinfo");
  EXPECT_EQ(lines[3], "    -userdatainapp");
  EXPECT_FALSE(elsewhere.exists("results.log"));

  EXPECT_TRUE(WaitUntil(SplashShown, std::chrono::seconds(20)));
  // The game starts a second after the splash is first activated; the
  // software renderer of the test server brings up the acceleration
  // question, answered by the environment.
  ASSERT_TRUE(WaitUntil(
      [&] { return game.StandardError().find("hardware acceleration") != std::string::npos; },
      std::chrono::seconds(20)))
      << game.StandardError();
  EXPECT_TRUE(game.Running());

  game.Signal(SIGTERM);
  EXPECT_EQ(game.WaitForExit(std::chrono::seconds(20)), 0) << game.StandardError();
}

}  // namespace
