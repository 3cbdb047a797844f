#include <gtest/gtest.h>
#include <signal.h>

#include "tests/e2e/game_process.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";
constexpr std::chrono::seconds kPatience(30);

bool SplashShown() {
  for (const XWindowInfo& window : ListNamedWindows()) {
    if (window.name == kTitle && window.viewable && window.width == 420 && window.height == 153) {
      return true;
    }
  }
  return false;
}

class StartupE2E : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QMR_MESSAGEBOX", "yes", 1); }  // boxes answer themselves

  TempFolder program_;
  TempFolder elsewhere_;
};

TEST_F(StartupE2E, WritesItsLogIntoTheProgramFolderAndEndsCleanlyOnSigterm) {
  GameProcess game(GAME_BINARY, program_.path(), elsewhere_.path(),
                   {"-startinfo", "-userdatainapp"});
  ASSERT_TRUE(WaitUntil([&] { return program_.exists("results.log"); }, kPatience))
      << game.StandardError();
  const auto lines = SplitLines(program_.read("results.log"));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("Application \"" + program_.path() + "briskforge\" started on "))
      << lines[0];
  EXPECT_EQ(lines[1], "Parameters:");
  EXPECT_EQ(lines[2], "    -startinfo");
  EXPECT_EQ(lines[3], "    -userdatainapp");
  EXPECT_FALSE(elsewhere_.exists("results.log"));

  // The game itself starts a second after the splash is first activated; a
  // SIGTERM while the splash shows is a close request that ends the process.
  ASSERT_TRUE(WaitUntil(SplashShown, kPatience)) << game.StandardError();
  game.Signal(SIGTERM);
  EXPECT_EQ(game.WaitForExit(kPatience), 0) << game.StandardError();
  EXPECT_EQ(game.StandardError().find("MessageBox"), std::string::npos);
}

TEST_F(StartupE2E, WithoutInterfaceContentTheRunEndsInTheFatalErrorState) {
  // The test server offers only its desktop mode, so the size asked for
  // here falls through to it.
  program_.write("settings.ini",
                 "[Video]\r\nWidth=800\r\nHeight=600\r\nBPP=32\r\nFullscreen=No\r\n");
  GameProcess game(GAME_BINARY, program_.path(), elsewhere_.path(), {"-userdatainapp", "-trace"});
  EXPECT_EQ(game.WaitForExit(kPatience), 1) << game.StandardError();

  const std::string log = program_.read("results.log");
  for (const char* line :
       {"GameInitDisplay - Searching for 800x600 ini resolution.",
        "GameInitDisplay - Found desktop resolution.",
        "Error: AppStateMainInitialEnter - Unable to load main initial script."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  const std::string errors = game.StandardError();
  EXPECT_NE(errors.find("Your system does not have hardware acceleration"), std::string::npos);
  EXPECT_NE(errors.find("MessageBox [" + std::string(kTitle) +
                        "]: A fatal error has occurred.  Please consult the file results.log "
                        "for details."),
            std::string::npos)
      << errors;
}

TEST_F(StartupE2E, WithoutAWindowForOpenGLTheStartFailsWithStatusOneAndTheReason) {
  // SDL cannot load this OpenGL library, so no render window can be made.
  setenv("SDL_OPENGL_LIBRARY", "/nonexistent/libGL.so.1", 1);
  GameProcess game(GAME_BINARY, program_.path(), elsewhere_.path(), {"-userdatainapp"});
  unsetenv("SDL_OPENGL_LIBRARY");
  EXPECT_EQ(game.WaitForExit(kPatience), 1) << game.StandardError();

  const std::vector<std::string> lines = SplitLines(program_.read("results.log"));
  const auto line = [&lines](const std::string& start) {
    for (const std::string& text : lines) {
      if (text.starts_with(start)) {
        return text;
      }
    }
    return std::string();
  };
  EXPECT_NE(line("Error: GraphicsDisplayCreateRC - Can't create a GL device context for display "
                 "\"Primary\": ")
                .find("/nonexistent/libGL.so.1"),
            std::string::npos);
  EXPECT_EQ(line("Error: GameInitDisplay"),
            "Error: GameInitDisplay - Unable to add \"Primary\" display.");
  EXPECT_EQ(game.StandardError().find("A fatal error"), std::string::npos);
}

}  // namespace
