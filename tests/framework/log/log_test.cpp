#include "framework/log/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

// The log in a program folder, with user files kept there.
class LogTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> parameters) {
    parameters.insert(parameters.begin(), "-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    LogStart();
  }
  void TearDown() override {
    LogStop();
    platform_.reset();
  }
  std::vector<std::string> Lines() const { return SplitLines(folder_.read("results.log")); }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(LogTest, ARunThatLogsNothingLeavesNoLogAndDeletesTheOldOne) {
  folder_.write("results.log", "old run\r\n");
  Start({});
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(LogTest, StartInfoWritesTheHeaderAtOnce) {
  Start({"-startinfo", "two words"});
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[0].starts_with("Application \"" + folder_.path() + "game\" started on "));
  EXPECT_NE(lines[0].find(" at "), std::string::npos);
  EXPECT_EQ(lines[1], "Parameters:");
  EXPECT_EQ(lines[2], "    -userdatainapp");
  EXPECT_EQ(lines[3], "    -startinfo");
  EXPECT_EQ(lines[4], "    two words");
}

TEST_F(LogTest, HeaderComesBeforeTheFirstLineAndLinesEndInCrLf) {
  platform_ = std::make_unique<HeadlessPlatform>(folder_.path());
  setenv("XDG_DATA_HOME", (folder_.path() + "data").c_str(), 1);
  LogStart();
  LogSetFolder(folder_.path() + "logs");
  PlatformCreateFolder(folder_.path() + "logs");
  LogError("AudioPlay - Unable to find emitter for sound.");
  unsetenv("XDG_DATA_HOME");
  const std::string text = folder_.read("logs/results.log");
  const auto lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "Parameters:");
  EXPECT_EQ(lines[2], "    (None)");
  EXPECT_EQ(lines[3], "Error: AudioPlay - Unable to find emitter for sound.");
  EXPECT_TRUE(text.ends_with("sound.\r\n"));
}

TEST_F(LogTest, TraceBlocksIndentOnlyWithTheSwitch) {
  Start({"-trace"});
  LogTraceBegin("GameInit - ");
  LogTrace("inside");
  LogTraceBegin("Nested - ");
  LogMessage("deeper");
  LogTraceEnd("Nested - ");
  LogTraceEnd("GameInit - ");
  LogTraceEnd("Unmatched - ");  // never drives the indent below nothing
  LogMessage("after");
  const auto lines = Lines();
  const std::vector<std::string> body(lines.begin() + 4, lines.end());
  EXPECT_EQ(body, (std::vector<std::string>{"GameInit - Begin", "  inside", "  Nested - Begin",
                                            "    deeper", "  Nested - End", "GameInit - End",
                                            "Unmatched - End", "after"}));
}

TEST_F(LogTest, TraceLinesAreDroppedWithoutTheSwitch) {
  Start({});
  LogTraceBegin("GameInit - ");
  LogTrace("hidden");
  LogMessage("shown");
  LogTraceEnd("GameInit - ");
  const auto lines = Lines();
  EXPECT_EQ(lines.back(), "shown");
  EXPECT_EQ(lines.size(), 4u);
}

TEST_F(LogTest, VersionLinesOnlyWithVerUnderOneHeading) {
  Start({"-ver"});
  LogVersion("qmrIni - Version 1.0");
  const auto lines = Lines();
  const std::vector<std::string> body(lines.begin() + 4, lines.end());
  EXPECT_EQ(body, (std::vector<std::string>{"Framework Versions:", "    qmrLog - Version 1.0",
                                            "    qmrIni - Version 1.0"}));
}

TEST_F(LogTest, NoVersionLinesWithoutVer) {
  Start({"-startinfo"});
  LogVersion("qmrIni - Version 1.0");
  for (const auto& line : Lines()) {
    EXPECT_EQ(line.find("Version"), std::string::npos) << line;
  }
}

TEST_F(LogTest, AnUnwritableFolderDropsLinesSilently) {
  Start({});
  LogSetFolder("/proc/no-such-folder");
  LogMessage("lost");
  LogError("also lost");
  EXPECT_EQ(LogGetFileName(), "results.log");
  LogSetFolder(folder_.path());
  LogSetFileName("other.log");
  LogMessage("kept");
  EXPECT_EQ(SplitLines(folder_.read("other.log")).back(), "kept");
}

TEST_F(LogTest, WindowsErrorTextNamesTheCodeWhenThereIsNoText) {
  Start({});
  PlatformClearError();
  errno = 0;
  EXPECT_EQ(LogWindowsErrorText(), "Unrecognized windows error code: 0");
  errno = 4321;
  EXPECT_EQ(LogWindowsErrorText(), "Unrecognized windows error code: 4321");
  errno = ENOENT;
  EXPECT_EQ(LogWindowsErrorText(), "No such file or directory");
}

TEST(LogBeforeStart, LinesGoNowhere) {
  TempFolder folder;
  HeadlessPlatform platform(folder.path(), {"-userdatainapp"});
  LogMessage("before the start");
  EXPECT_FALSE(folder.exists("results.log"));
}

}  // namespace
