// Recording and replaying the real game under the test's X server: a player
// session on the menus is recorded through real X input, then replayed twice
// from the same settings without any input or focus, each replay ending in
// the same state as the recording. Bad files stop the game with their line.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/game_screens.h"

namespace {

// A replay runs without pacing, but under the sanitizers and a software
// renderer a frame still takes a while.
constexpr std::chrono::seconds kReplayPatience(300);

class ReplayE2E : public GameScreensTest {
 protected:
  // Screenshots go to "Screenshots" beside the program: the game's home has
  // no pictures folder.
  void SetUp() override {
    GameScreensTest::SetUp();
    const char* home = std::getenv("HOME");
    home_ = home != nullptr ? home : "";
    setenv("HOME", elsewhere_.path().c_str(), 1);
  }
  void TearDown() override { setenv("HOME", home_.c_str(), 1); }

  std::string Screenshot(int number) {
    return program_.read("Screenshots/screenshot" + std::to_string(number) + ".bmp");
  }

  // Replays the file from the given settings; its exit status.
  int Replay(const std::string& file, const std::string& settings) {
    program_.write("settings.ini", settings);
    GameProcess replay(GAME_BINARY, program_.path(), elsewhere_.path(),
                       {"-userdatainapp", "-replay", file});
    const int status = replay.WaitForExit(kReplayPatience);
    error_ = replay.StandardError();
    return status;
  }

  // The size line of a run in the game's window: under Xvfb the window is
  // the screen's one mode, the desktop's.
  static std::string SizeLine() {
    int width = 0;
    int height = 0;
    ScreenSize(width, height);
    return "size " + std::to_string(width) + " " + std::to_string(height);
  }

  std::string error_;
  std::string home_;
};

TEST_F(ReplayE2E, AMenuSessionReplaysToTheSameSettingsWithoutInputOrFocus) {
  GiveContent();
  const std::string record = elsewhere_.path() + "menus.txt";
  program_.write("settings.ini", kSettings);
  ASSERT_NO_FATAL_FAILURE(StartGame({"-record", record}));

  // The first-run screen's Done, a screenshot of the menu's moving street,
  // the overall volume dragged down on the options, the journal with a
  // screenshot, and Quit, which asks first.
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kInitial));
  ASSERT_NO_FATAL_FAILURE(Click(kDone));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Key("F12"));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuOptions));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMainOptions));
  ASSERT_NO_FATAL_FAILURE(LowerTheVolume());
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuJournal));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(Key("F12"));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
  ASSERT_NO_FATAL_FAILURE(Click(kQuitYesButton));
  ASSERT_EQ(game_->WaitForExit(kPatience), 0) << game_->StandardError();

  const std::string recorded = ReadWholeFile(record);
  const std::vector<std::string> lines = SplitLines(recorded);
  ASSERT_GT(lines.size(), 6u) << recorded;
  EXPECT_EQ(lines[0], "replay 1");
  EXPECT_EQ(lines[2], SizeLine());
  EXPECT_TRUE(lines.back().ends_with(" end")) << recorded;
  EXPECT_NE(recorded.find(" keydown Escape\n"), std::string::npos) << recorded;
  const std::string played = program_.read("settings.ini");
  ASSERT_NE(played.find("Configured=Yes"), std::string::npos) << played;
  ASSERT_EQ(program_.read("results.log").find("Error:"), std::string::npos);
  const std::string menu = Screenshot(1);
  const std::string journal = Screenshot(2);
  ASSERT_GT(menu.size(), 54u);
  ASSERT_GT(journal.size(), 54u);

  // Twice from the first settings, with the render window never focused and
  // the real pointer elsewhere: the same volume, to the step of the slider,
  // the same screenshots to the byte, taken on the same frames of the
  // street's and the fades' animations, and the same quit.
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("replay " + std::to_string(run));
    std::filesystem::remove_all(program_.path() + "Screenshots");
    ASSERT_EQ(Replay(record, kSettings), 0) << error_;
    EXPECT_EQ(program_.read("settings.ini"), played);
    EXPECT_TRUE(Screenshot(1) == menu) << "the menu's screenshot differs";
    EXPECT_TRUE(Screenshot(2) == journal) << "the journal's screenshot differs";
    const std::string log = program_.read("results.log");
    EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
  }
}

TEST_F(ReplayE2E, BadFilesAndAnotherWindowSizeStopWithTheirLine) {
  GiveContent();
  const std::string header =
      "replay 1\nstep 20\n" + SizeLine() + "\nseed 1\nstart 2026-12-08 09:30:00\n";
  const std::string disordered = elsewhere_.path() + "disordered.txt";
  WriteWholeFile(disordered, header + "5 move 10 10\n4 move 20 20\n");
  EXPECT_EQ(Replay(disordered, kSettings), 1);
  EXPECT_NE(error_.find(disordered + ":7: frame 4 comes after frame 5"), std::string::npos)
      << error_;

  // A window of another size is found once the window is open.
  const std::string small = elsewhere_.path() + "small.txt";
  WriteWholeFile(small,
                 "replay 1\nstep 20\nsize 640 480\nseed 1\nstart 2026-12-08 09:30:00\n"
                 "0 end\n");
  EXPECT_EQ(Replay(small, kSettings), 1);
  EXPECT_NE(error_.find(small + ":3: the replay was made in a 640 x 480 window, this one is "),
            std::string::npos)
      << error_;

  // A wait that runs out names its line, and the game shuts down normally.
  const std::string waiting = elsewhere_.path() + "waiting.txt";
  WriteWholeFile(waiting, header + "wait \"never set\" true 200\n50 end\n");
  EXPECT_EQ(Replay(waiting, kSettings), 1);
  EXPECT_NE(error_.find(waiting + ":6: \"never set\" did not read \"true\" within 200 ms"),
            std::string::npos)
      << error_;
  EXPECT_NE(program_.read("results.log").find("Error: Replay - " + waiting + ":6:"),
            std::string::npos);
}

}  // namespace
