// The bundled case played from the solution's replay files (content/Solution)
// in the real game, under an X server of the test's own whose one screen is
// the size the files were made in: the windowed game takes the screen's mode,
// and a small screen keeps the software renderer's work down. The whole case
// from "New game" to the credits, its screenshots against committed
// references; and the case saved mid-way through the journal's save list,
// then loaded and finished in a new process.
//
// The references are made again from a run with QMR_UPDATE_REFERENCES=1 in
// the environment (the test then writes tests/e2e/references/ and passes).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "game/saves.h"
#include "tests/e2e/game_screens.h"

namespace {

namespace fs = std::filesystem;

// The size the solution's files were made in: the game's 1280 x 720 screens
// at half size between bars of 60 rows.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// Every replay ends well within this on a CI machine (two cores, the
// sanitizers, a software renderer).
constexpr std::chrono::seconds kReplayLimit(600);

const std::string kSolution = std::string(QMR_SOURCE_DIR) + "/content/Solution/";
const std::string kReferences = std::string(QMR_SOURCE_DIR) + "/tests/e2e/references/";

// Windowed at the screen's size, past the first-run screen (Detective), the
// voices silent so that lines last as long as their words.
const std::string kCaseSettings =
    "[Video]\r\nWidth=640\r\nHeight=480\r\nFullscreen=No\r\n[Controls]\r\nConfigured=Yes\r\n"
    "[Audio]\r\nVoice Volume=0\r\n";

// Screenshots are compared at 160 x 90: every channel within 24 of the
// reference, at most 1 % of the pixels off.
constexpr int kSmallWidth = 160;
constexpr int kSmallHeight = 90;
constexpr int kChannelTolerance = 24;
constexpr int kMostPixelsOff = kSmallWidth * kSmallHeight / 100;

// A Game state variable of a save as text: "b1", "i3", "sShop".
using Variables = std::map<std::string, std::string>;

// An X server started for the test and stopped with it, on the first free
// display number from $QMR_CASE_DISPLAY (or one derived from the process id,
// clear of scripts/test's range).
class PrivateDisplay {
 public:
  PrivateDisplay() {
    const char* first = std::getenv("QMR_CASE_DISPLAY");
    const int start = first != nullptr ? std::atoi(first) : 600 + getpid() % 300;
    for (int number = start; number < start + 40 && name_.empty(); ++number) {
      if (!fs::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
        Start(number);
      }
    }
  }
  ~PrivateDisplay() { Stop(); }
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  // ":N", or empty when no server could be started.
  const std::string& Name() const { return name_; }

 private:
  void Start(int number) {
    const std::string display = ":" + std::to_string(number);
    const std::string size =
        std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", size.c_str(), "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The server is up once its socket is there; one that lost the number
    // to another server ends at once.
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    bool ended = false;
    WaitUntil(
        [&] {
          ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
          return ended || fs::exists(socket);
        },
        std::chrono::seconds(10));
    if (ended || !fs::exists(socket)) {
      if (!ended) {
        Stop();
      }
      pid_ = -1;
      return;
    }
    name_ = display;
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

  pid_t pid_ = -1;
  std::string name_;
};

// A screenshot's game screen (the window less the bars BestFit leaves),
// box-filtered down to 160 x 90; empty when the file cannot be read.
std::vector<uint32_t> Reduced(const std::string& file) {
  ImageFrame* image = nullptr;
  ImageLoad(file, image);
  std::vector<uint32_t> small;
  if (image != nullptr && image->loaded != 0 && image->placeholder == 0) {
    const double scale = std::min(image->width / double(ScreenMapping::kScreenWidth),
                                  image->height / double(ScreenMapping::kScreenHeight));
    const int width = static_cast<int>(std::lround(ScreenMapping::kScreenWidth * scale));
    const int height = static_cast<int>(std::lround(ScreenMapping::kScreenHeight * scale));
    const int left = (image->width - width) / 2;
    const int top = (image->height - height) / 2;
    for (int y = 0; y < kSmallHeight; ++y) {
      for (int x = 0; x < kSmallWidth; ++x) {
        const int x0 = left + x * width / kSmallWidth;
        const int x1 = left + (x + 1) * width / kSmallWidth;
        const int y0 = top + y * height / kSmallHeight;
        const int y1 = top + (y + 1) * height / kSmallHeight;
        uint32_t sums[3] = {0, 0, 0};
        for (int row = y0; row < y1; ++row) {
          for (int column = x0; column < x1; ++column) {
            const uint32_t pixel = image->pixels[static_cast<size_t>(row) * image->width + column];
            for (int c = 0; c < 3; ++c) {
              sums[c] += (pixel >> (8 * c)) & 0xFF;
            }
          }
        }
        const auto count = static_cast<uint32_t>(std::max((x1 - x0) * (y1 - y0), 1));
        small.push_back(0xFF000000u | (sums[2] / count) << 16 | (sums[1] / count) << 8 |
                        sums[0] / count);
      }
    }
  }
  ImageFree(image);
  return small;
}

// How many pixels of two reduced screenshots differ by more than the
// tolerance in a channel; every pixel when they cannot be compared.
int PixelsOff(const std::vector<uint32_t>& seen, const std::vector<uint32_t>& expected) {
  if (seen.size() != expected.size() || seen.empty()) {
    return kSmallWidth * kSmallHeight;
  }
  int off = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    for (const int shift : {0, 8, 16}) {
      if (std::abs(Channel(seen[i], shift) - Channel(expected[i], shift)) > kChannelTolerance) {
        ++off;
        break;
      }
    }
  }
  return off;
}

bool WriteReduced(const std::string& file, const std::vector<uint32_t>& pixels) {
  ImageFrame frame;
  frame.width = kSmallWidth;
  frame.height = kSmallHeight;
  frame.bitsPerPixel = 24;
  frame.loaded = 1;
  frame.pixels = pixels;
  return ImageSave(file, &frame);
}

std::string VariableText(const StateVariable& variable) {
  switch (variable.type) {
    case kStateVariableBool:
      return variable.boolValue ? "b1" : "b0";
    case kStateVariableInt:
      return "i" + std::to_string(variable.intValue);
    default:
      return "s" + variable.stringValue;
  }
}

// A save file read and checked by the game's own reader; its Game state's
// variables, empty when the file cannot be loaded.
Variables GameVariablesOf(const std::string& file) {
  SaveContents contents;
  Variables variables;
  if (SaveFileRead(file, contents, false) != SaveFileStatus::kLoaded) {
    return variables;
  }
  for (const StateSavedVariables& state : contents.states) {
    if (state.name == "GAME") {
      for (const StateVariable& variable : state.variables) {
        variables[variable.name] = VariableText(variable);
      }
    }
  }
  return variables;
}

// What the whole case left, kept for both tests: the Game state's variables
// of its last autosave, the settings and the screenshots reduced.
struct WholeCase {
  bool ran = false;
  bool clean = false;
  Variables variables;
  std::string settings;
  std::vector<std::vector<uint32_t>> screenshots;
};

class CaseE2E : public GameScreensTest {
 protected:
  // No pointer is moved on the shared X server: the game runs on the test's
  // own, and screenshots go beside the program (the home has no pictures
  // folder).
  void SetUp() override {
    setenv("QMR_MESSAGEBOX", "yes", 1);
    display_ = std::make_unique<PrivateDisplay>();
    if (display_->Name().empty()) {
      GTEST_SKIP() << "Xvfb could not be started for the case's " << kScreenWidth << " x "
                   << kScreenHeight << " screen";
    }
    const char* display = std::getenv("DISPLAY");
    savedDisplay_ = display != nullptr ? display : "";
    const char* home = std::getenv("HOME");
    savedHome_ = home != nullptr ? home : "";
    setenv("DISPLAY", display_->Name().c_str(), 1);
    setenv("HOME", elsewhere_.path().c_str(), 1);
    GiveContent();
  }
  void TearDown() override {
    setenv("DISPLAY", savedDisplay_.c_str(), 1);
    setenv("HOME", savedHome_.c_str(), 1);
    display_.reset();
  }

  // Replays a solution file in the program folder as it is (its settings,
  // saves and screenshots from earlier runs stay); the exit status. The
  // time it took is printed, not checked.
  int Replay(const std::string& name) {
    const auto start = std::chrono::steady_clock::now();
    GameProcess replay(GAME_BINARY, program_.path(), elsewhere_.path(),
                       {"-userdatainapp", "-replay", kSolution + name});
    const int status = replay.WaitForExit(kReplayLimit);
    error_ = replay.StandardError();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::cout << "[ replay   ] " << name << ": " << seconds << " s\n";
    return status;
  }

  // The replay ended normally and logged no error.
  void ExpectCleanRun(int status) {
    EXPECT_EQ(status, 0) << error_;
    const std::string log = program_.read("results.log");
    EXPECT_EQ(log.find("Error: "), std::string::npos) << log;
  }

  std::string Screenshot(int number) {
    return program_.path() + "Screenshots/screenshot" + std::to_string(number) + ".bmp";
  }
  int ScreenshotCount() {
    int count = 0;
    while (fs::exists(Screenshot(count + 1))) {
      ++count;
    }
    return count;
  }

  // The program folder as before the first run: the settings, no saves,
  // log or screenshots.
  void StartOver() {
    for (const fs::directory_entry& entry : fs::directory_iterator(program_.path())) {
      if (entry.path().extension() == ".sav" || entry.path().filename() == "results.log") {
        fs::remove(entry.path());
      }
    }
    fs::remove_all(program_.path() + "Screenshots");
    program_.write("settings.ini", kCaseSettings);
  }

  // The whole case, replayed once for both tests of this program.
  const WholeCase& PlayWholeCase() {
    static WholeCase whole;
    if (!whole.ran) {
      whole.ran = true;
      StartOver();
      const int status = Replay("case.txt");
      ExpectCleanRun(status);
      whole.clean = status == 0 && !HasFailure();
      whole.variables = GameVariablesOf(program_.path() + "autosave.sav");
      whole.settings = program_.read("settings.ini");
      for (int number = 1; number <= ScreenshotCount(); ++number) {
        whole.screenshots.push_back(Reduced(Screenshot(number)));
      }
    }
    return whole;
  }

  std::unique_ptr<PrivateDisplay> display_;
  std::string savedDisplay_;
  std::string savedHome_;
  std::string error_;
};

// From "New game" to the credits and out: the last autosave holds the
// case solved, the settings the achievement, and the four screenshots
// match the references.
TEST_F(CaseE2E, TheSolutionPlaysFromNewGameToTheCredits) {
  const WholeCase& whole = PlayWholeCase();
  ASSERT_TRUE(whole.clean) << "the whole case's replay failed";
  ASSERT_FALSE(whole.variables.empty()) << "no readable autosave";
  EXPECT_EQ(whole.variables.at("CASE SOLVED"), "b1");
  EXPECT_NE(whole.settings.find("=Quarter Past Three\r\n"), std::string::npos) << whole.settings;

  ASSERT_EQ(whole.screenshots.size(), 4u);
  const bool update = std::getenv("QMR_UPDATE_REFERENCES") != nullptr;
  for (int number = 1; number <= 4; ++number) {
    SCOPED_TRACE("screenshot " + std::to_string(number));
    const std::vector<uint32_t>& seen = whole.screenshots[number - 1];
    ASSERT_EQ(seen.size(), static_cast<size_t>(kSmallWidth * kSmallHeight));
    const std::string reference = kReferences + "case" + std::to_string(number) + ".bmp";
    if (update) {
      ASSERT_TRUE(WriteReduced(reference, seen)) << reference;
    }
    EXPECT_LE(PixelsOff(seen, Reduced(reference)), kMostPixelsOff) << reference;
  }
}

// The case saved mid-way on the journal's save list, twice to the same
// bytes; loaded from the save list in a new process, it goes on from the
// picture it was saved at and ends as the whole case does.
TEST_F(CaseE2E, ACaseSavedMidwayLoadsInANewProcessAndEndsTheSame) {
  const WholeCase& whole = PlayWholeCase();
  ASSERT_TRUE(whole.clean) << "the whole case's replay failed";

  std::string firstSave;
  std::vector<uint32_t> lastBeforeSaving;
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("saving run " + std::to_string(run));
    StartOver();
    ExpectCleanRun(Replay("midcase_save.txt"));
    ASSERT_TRUE(program_.exists("savegame1.sav"));
    const std::string save = program_.read("savegame1.sav");
    if (run == 1) {
      firstSave = save;
      lastBeforeSaving = Reduced(Screenshot(ScreenshotCount()));
    } else {
      EXPECT_TRUE(save == firstSave) << "two replays saved different files";
    }
  }
  const Variables saved = GameVariablesOf(program_.path() + "savegame1.sav");
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved.at("CASE SOLVED"), "b0");

  // The saving run's screenshots, autosave and log are gone; its save and
  // settings stay.
  fs::remove_all(program_.path() + "Screenshots");
  fs::remove(program_.path() + "autosave.sav");
  fs::remove(program_.path() + "results.log");
  ExpectCleanRun(Replay("midcase_load.txt"));
  ASSERT_GE(ScreenshotCount(), 1);
  EXPECT_LE(PixelsOff(Reduced(Screenshot(1)), lastBeforeSaving), kMostPixelsOff)
      << "the loaded case does not look as it did when saved";
  const Variables finished = GameVariablesOf(program_.path() + "autosave.sav");
  ASSERT_FALSE(finished.empty()) << "no readable autosave";
  EXPECT_EQ(finished, whole.variables);
}

}  // namespace
