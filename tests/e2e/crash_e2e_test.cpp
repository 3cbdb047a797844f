// The real game killed by SIGKILL while it saves the game and writes its
// settings every frame. A patch folder replaces the test interface's script
// with one that does both from a thread of its own; each start is killed a
// varying time after its first write. After every kill each save passes the
// checked load and the settings file is whole; each start lists every save
// the kill before it left, which the saves it writes say in their
// descriptions.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "tests/e2e/game_process.h"
#include "tests/support/testsupport.h"

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kPatience(60);
constexpr int kTrials = 50;
constexpr const char* kSettings = "[Video]\r\nWidth=640\r\nHeight=360\r\nFullscreen=No\r\n";

// Saves three files in turn and flips the first-run setting, whose every
// change writes the whole settings file, once a frame. Each save says how
// many saves the game listed when it started.
constexpr const char* kWriter = R"(
routine AppSaveGame, AppSaveCount, AppConfigConfiguredSet;

object Display Screen { display = 1; width = 1280; height = 720; viewMode = 1; }
object Color Back { display = 1; width = 1280; height = 720; color = 0x1E2A3A; }

stateSetInt(3, "difficulty", 2);  // the Game state's, which a save holds
var listed = 0;
AppSaveCount(out listed);
var frame = 0;
fork {
  while (true) {
    frame += 1;
    AppSaveGame("crash" + (frame % 3 + 1) + ".sav", "Listed " + listed, frame % 100, "");
    AppConfigConfiguredSet(frame % 2 == 0);
    yield;
  }
}
)";

// When the file last changed, to the nanosecond.
std::pair<time_t, long> Modified(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0
             ? std::pair<time_t, long>(status.st_mtim.tv_sec, status.st_mtim.tv_nsec)
             : std::pair<time_t, long>(0, 0);
}

class CrashE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    platform_ = new HeadlessPlatform(folder_->path());
    DataFileStart();
    LogStart();
  }
  static void TearDownTestSuite() {
    LogStop();
    DataFileStop();
    delete platform_;
    platform_ = nullptr;
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    setenv("QMR_MESSAGEBOX", "yes", 1);
    fs::create_directory_symlink(QMR_CONTENT_BIN, program_.path() + "Bin");
    fs::copy_file(GAME_BINARY, program_.path() + "briskforge");
    program_.write("settings.ini", kSettings);
    const std::string source = elsewhere_.write("writer.vms", kWriter);
    const std::string patched = "Patch000001/Bin/Interface/Test/Scripts/test.vmc";
    program_.write(patched, "");
    const ToolRun compiled =
        RunTool(VMCC_BINARY, elsewhere_, {"-o", program_.path() + patched, source});
    ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
  }

  // The game started with the patched test interface, killed a while after
  // the first settings write of this start.
  void StartAndKill(int32_t milliseconds) {
    const auto before = Modified(program_.path() + "settings.ini");
    GameProcess game(
        GameProcess::InPlace{program_.path() + "briskforge", elsewhere_.path(), elsewhere_.path()},
        {"-userdatainapp", "-testscreen"});
    ASSERT_TRUE(
        WaitUntil([&] { return Modified(program_.path() + "settings.ini") != before; }, kPatience))
        << game.StandardError();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    game.Signal(SIGKILL);
    EXPECT_EQ(game.WaitForExit(std::chrono::seconds(10)), -1) << "the game ended by itself";
  }

  // The saves in the program folder with their descriptions; every one
  // passes the checked load.
  std::map<std::string, std::string> CheckedSaves() {
    std::map<std::string, std::string> saves;
    for (const std::string& name : PlatformListFolder(program_.path(), "*.sav")) {
      SaveContents contents;
      EXPECT_EQ(SaveFileRead(program_.path() + name, contents, true), SaveFileStatus::kLoaded)
          << name << " fails the checked load";
      saves[name] = contents.descriptor.description;
    }
    return saves;
  }

  static TempFolder* folder_;
  static HeadlessPlatform* platform_;
  TempFolder program_;
  TempFolder elsewhere_;
};

TempFolder* CrashE2E::folder_ = nullptr;
HeadlessPlatform* CrashE2E::platform_ = nullptr;

TEST_F(CrashE2E, KilledWhileSavingAndWritingSettingsEveryFrameEveryFileStaysWhole) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int32_t> delay(0, 300);
  // The settings file with the first-run setting at "No": the script's two
  // versions differ in that value alone.
  std::string settings;
  size_t listed = 0;
  std::map<std::string, std::string> before;
  int32_t temporariesLeft = 0;
  int trial = 0;
  for (; trial < kTrials && !HasFailure(); ++trial) {
    ASSERT_NO_FATAL_FAILURE(StartAndKill(delay(random)));

    std::string text = program_.read("settings.ini");
    const size_t configured = text.find("\r\nConfigured=Yes\r\n");
    if (configured != std::string::npos) {
      text.replace(configured, 18, "\r\nConfigured=No\r\n");
    }
    if (settings.empty()) {
      settings = text;
      EXPECT_NE(settings.find("[Controls]\r\nConfigured=No\r\n"), std::string::npos) << settings;
      EXPECT_TRUE(settings.starts_with("[Video]\r\nWidth=") &&
                  settings.ends_with("[Special Features]\r\nCount=0\r\n"))
          << settings;
    }
    EXPECT_EQ(text, settings) << "trial " << trial;

    // A save this start wrote says how many it listed: every save the kill
    // before left.
    const std::map<std::string, std::string> saves = CheckedSaves();
    EXPECT_FALSE(saves.empty());
    for (const auto& [name, description] : saves) {
      if (before.count(name) == 0 || before[name] != description) {
        EXPECT_EQ(description, "Listed " + std::to_string(listed)) << name << ", trial " << trial;
      }
    }
    temporariesLeft += static_cast<int32_t>(PlatformListFolder(program_.path(), "*.tmp").size());
    const std::string log = program_.read("results.log");
    EXPECT_EQ(log.find("Error: "), std::string::npos) << "trial " << trial << ":\n" << log;
    listed = saves.size();
    before = saves;
  }
  std::cout << "game killed " << trial << " times while writing: " << temporariesLeft
            << " temporaries left behind, none listed\n";
}

}  // namespace
