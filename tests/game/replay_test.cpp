// Replays run by the whole shell on the headless platform, with a first-run
// screen that logs every key it is sent with the time, a random number and
// the time of day: the frames, the clocks and the seed come from the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/replay.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

// Logs each key with the state's clock, a random number and the time of
// day; after 200 ms of its clock sets "ready".
constexpr const char* kKeyLogger = R"(
  routine AppLog, AppGetTime;
  fork {
    wait(200);
    stateSetBool(3, "ready", true);
  }
  on event(code, name) {
    if (code == 2) {
      var hour = 0;
      var minute = 0;
      AppGetTime(out hour, out minute);
      AppLog("key " + name + " at " + time() + " random " + random(1000) + " clock " + hour +
             ":" + minute);
    }
  }
)";

// The first run's screen: held until "ready", then A on the file's third
// frame and B on its sixtieth, over midnight.
constexpr const char* kHeader = "replay 1\nstep 20\nsize 1280 720\nstart 2026-12-08 23:59:59\n";
constexpr const char* kLines =
    "wait ready true 1000\n"
    "3 keydown A\n4 keyup A\n"
    "60 keydown B\n61 keyup B\n"
    "63 end\n";

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VmccResult compiled;
    ASSERT_TRUE(VmccCompile(kKeyLogger, "keys.vms", {}, compiled));
    std::string error;
    ASSERT_TRUE(VmcWriterSave(compiled.script,
                              program_.write("Bin/Interface/Main/Scripts/initial.vmc", ""), error))
        << error;
  }

  // Runs the shell on a replay file; its exit status.
  int Replay(const std::string& text) {
    program_.write("settings.ini", "[Video]\nFullscreen=No\nWidth=1280\nHeight=720\n");
    const std::string file = program_.write("run.txt", text);
    HeadlessPlatform platform(program_.path(), {"-userdatainapp", "-replay", file});
    if (!ReplaySetUp()) {
      return -1;
    }
    const int status = ShellMain();
    ReplayReset();
    return status;
  }

  // The lines the screen logged.
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const std::string& line : SplitLines(program_.read("results.log"))) {
      if (line.starts_with("key ")) {
        keys.push_back(line.substr(0, line.find(" Thread ID:")));
      }
    }
    return keys;
  }

  TempFolder program_;
};

TEST_F(ReplayTest, FramesClocksAndRandomNumbersComeFromTheFile) {
  const std::string run = std::string(kHeader) + "seed 42\n" + kLines;
  ASSERT_EQ(Replay(run), 0) << program_.read("results.log");
  // The game starts on frame 0 with its clock at 0 and runs 20 ms a frame.
  // "ready" is set in frame 10 and seen before frame 11, where the file's
  // clock starts from its frame 0: A comes in frame 14, B in frame 71,
  // 1.42 s after the start, in the new day.
  const std::vector<std::string> first = Keys();
  ASSERT_EQ(first.size(), 2u) << program_.read("results.log");
  EXPECT_TRUE(first[0].starts_with("key a at 280 random ")) << first[0];
  EXPECT_TRUE(first[0].ends_with(" clock 23:59")) << first[0];
  EXPECT_TRUE(first[1].starts_with("key b at 1420 random ")) << first[1];
  EXPECT_TRUE(first[1].ends_with(" clock 0:0")) << first[1];

  // The same file gives the same numbers; another seed others.
  ASSERT_EQ(Replay(run), 0);
  EXPECT_EQ(Keys(), first);
  ASSERT_EQ(Replay(std::string(kHeader) + "seed 43\n" + kLines), 0);
  const std::vector<std::string> other = Keys();
  ASSERT_EQ(other.size(), 2u);
  EXPECT_NE(other[0], first[0]);
  EXPECT_EQ(other[0].substr(0, 14), first[0].substr(0, 14));
}

TEST_F(ReplayTest, AWaitThatRunsOutOrAGameThatEndsFirstFailsTheRun) {
  // "ready" never reads false: the wait gives up after 100 ms, five frames.
  ASSERT_EQ(Replay(std::string(kHeader) + "seed 1\nwait ready false 100\n9 end\n"), 1);
  EXPECT_NE(program_.read("results.log")
                .find("run.txt:6: \"ready\" did not read \"false\" within "
                      "100 ms"),
            std::string::npos)
      << program_.read("results.log");
  EXPECT_TRUE(Keys().empty());

  // Without its screen the game ends in its fatal-error state on the first
  // frame, long before the file's end.
  ASSERT_TRUE(std::filesystem::remove(program_.path() + "Bin/Interface/Main/Scripts/initial.vmc"));
  ASSERT_EQ(Replay(std::string(kHeader) + "seed 1\n3 keydown A\n"), 1);
  EXPECT_NE(program_.read("results.log")
                .find("run.txt:6: the game ended at frame 0 before the replay reached this line"),
            std::string::npos)
      << program_.read("results.log");
}

}  // namespace
