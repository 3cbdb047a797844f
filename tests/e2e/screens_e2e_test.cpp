// The bundled case's interface screens in the real game under the test's X
// server, driven by real pointer and key events through xdotool. Each screen
// is known by patches of the window that match the pictures the build made
// for it, read with the game's own image reader and placed as BestFit places
// them; what the game keeps is read back from "settings.ini" and
// "results.log".
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "tests/e2e/game_process.h"
#include "tests/e2e/screen_mapping.h"
#include "tests/support/testsupport.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";
constexpr std::chrono::seconds kPatience(20);
constexpr const char* kSettings = "[Video]\r\nWidth=1280\r\nHeight=720\r\nFullscreen=No\r\n";

// How long a mouse button is held: longer than a frame of the game under
// the sanitizers and a software renderer.
constexpr const char* kHold = "0.3";

// A rectangle in the screens' logical 1280 x 720 points.
// A built picture of the content, read once with the game's image reader.
class Pictures {
 public:
  const ImageFrame& Get(const std::string& name) {
    auto found = frames_.find(name);
    if (found == frames_.end()) {
      ImageFrame* image = nullptr;
      ImageLoad(std::string(QMR_CONTENT_BIN) + "/" + name, image);
      found = frames_.emplace(name, Holder(image)).first;
    }
    return *found->second;
  }

 private:
  struct Free {
    void operator()(ImageFrame* image) const { ImageFree(image); }
  };
  using Holder = std::unique_ptr<ImageFrame, Free>;
  std::map<std::string, Holder> frames_;
};

int Channel(uint32_t colour, int shift) {
  return static_cast<int>((colour >> shift) & 0xFF);
}

// The mean difference per channel between a screen patch and the picture
// placed with its top-left corner at `origin`, the picture's colours
// darkened by `shade` (the alpha of a black cover drawn over it).
double Difference(const ScreenMapping& screen, const std::vector<uint32_t>& patch, const Area& area,
                  const ImageFrame& picture, int originX, int originY, int shade) {
  const int width = screen.Width(area);
  const int height = screen.Height(area);
  if (picture.width == 0 || patch.size() != static_cast<size_t>(width) * height) {
    return 255;
  }
  double total = 0;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const int x = std::clamp(static_cast<int>(area.left - originX + screen.Logical(column)), 0,
                               picture.width - 1);
      const int y = std::clamp(static_cast<int>(area.top - originY + screen.Logical(row)), 0,
                               picture.height - 1);
      const uint32_t expected = picture.pixels[static_cast<size_t>(y) * picture.width + x];
      const uint32_t seen = patch[static_cast<size_t>(row) * width + column];
      for (const int shift : {0, 8, 16}) {
        total += std::abs(Channel(expected, shift) * (255 - shade) / 255 - Channel(seen, shift));
      }
    }
  }
  return total / (3.0 * width * height);
}

// A patch of a screen and the pictures any one of which it shows (a plate's
// frames, the background's animation frames), placed at a logical point.
struct Patch {
  Area area;
  std::vector<std::string> pictures;
  int originX = 0;
  int originY = 0;
  int shade = 0;
};

const std::string kCommon = "Interface/Common/Pictures/";
const std::vector<std::string> kStreet = {
    "Interface/Main/Pictures/street1.tga", "Interface/Main/Pictures/street2.tga",
    "Interface/Main/Pictures/street3.tga", "Interface/Main/Pictures/street4.tga"};
const std::vector<std::string> kJournalPicture = {"Interface/Journal/Pictures/journal.tga"};
const std::vector<std::string> kButtons = {kCommon + "button.tga", kCommon + "button_lit.tga",
                                           kCommon + "button_dim.tga"};
const std::vector<std::string> kPicks = {kCommon + "pick.tga", kCommon + "pick_lit.tga"};
const std::vector<std::string> kChecks = {kCommon + "check.tga", kCommon + "check_lit.tga",
                                          kCommon + "check_on.tga"};

// The street between the title and the menu's buttons, where the windows
// light in turn; its top edge, above the options' and features' panel.
constexpr Area kStreetArea = {200, 340, 120, 160};
const Patch kStreetPatch = {kStreetArea, kStreet};
const Patch kStreetEdge = {{300, 4, 200, 30}, kStreet};
// The journal's left page below its tabs' reach, and its leather edge.
const Patch kJournalLeft = {{450, 150, 150, 250}, kJournalPicture};
const Patch kJournalEdge = {{300, 2, 200, 24}, kJournalPicture};
// The left ends of plates, clear of their centred text.
const Patch kFullScreenBox = {{130, 336, 36, 36}, kChecks, 130, 336};
const Patch kFirstFeature = {{130, 150, 40, 52}, kButtons, 130, 150};
const Patch kJournalPause = {{440, 620, 30, 40}, kPicks, 440, 620};
const Patch kPagePause = {{1060, 620, 30, 40}, kPicks, 1060, 620};
const Patch kResume = {{480, 320, 40, 52}, kButtons, 480, 320};
const Patch kQuitYes = {{380, 430, 30, 40}, kPicks, 380, 430};

// A screen: the patches that must all match.
struct Screen {
  const char* name;
  std::vector<Patch> patches;
};

const Screen kInitial = {
    "main initial",
    {{{1040, 60, 120, 60}, {kCommon + "paper.tga"}}, {{880, 610, 40, 52}, kButtons, 880, 610}}};
const Screen kMenu = {"main menu", {kStreetPatch}};
const Screen kMainOptions = {"main options", {kStreetEdge, kFullScreenBox}};
const Screen kMainSpecial = {"main special features", {kStreetEdge, kFirstFeature}};
const Screen kJournal = {"journal", {kJournalLeft, kJournalPause}};
const Screen kJournalPage = {"journal page", {kJournalLeft, kPagePause}};
const Screen kJournalOptions = {"journal options", {kJournalEdge, kFullScreenBox}};
const Screen kJournalSpecial = {"journal special features", {kJournalEdge, kFirstFeature}};
const Screen kPause = {"pause", {kResume}};
const Screen kQuit = {"quit confirmation", {kQuitYes}};

// The credits roll over a plain night colour.
constexpr Area kCreditsSky = {40, 300, 200, 100};
constexpr uint32_t kNight = 0x0A0C16;

// Menu buttons, journal tabs and other places to click, in logical points.
struct Point {
  int x, y;
};
constexpr Point kMenuJournal = {1040, 342};
constexpr Point kMenuOptions = {1040, 408};
constexpr Point kMenuSpecial = {1040, 474};
constexpr Point kMenuCredits = {1040, 540};
constexpr Point kDone = {1040, 636};
constexpr Point kTabHints = {256, 196};
constexpr Point kTabSuspects = {256, 258};
constexpr Point kTabInvestigations = {256, 320};
constexpr Point kTabOptions = {256, 382};
constexpr Point kTabSpecial = {256, 444};
constexpr Point kJournalPauseButton = {515, 640};
constexpr Point kQuitYesButton = {455, 450};
constexpr Point kPauseKeyButton = {1060, 372};
// The overall volume's slider: its track's row and ends.
constexpr int kVolumeRow = 146;
constexpr int kVolumeLeft = 270;
constexpr int kVolumeRight = 630;
constexpr Area kPauseKeyText = {900, 346, 320, 52};
constexpr uint32_t kThumbFace = 0xE0B050;

// The value of a key in a settings file's text; "" when it has none.
std::string SettingsValue(const std::string& text, const std::string& key) {
  for (const std::string& line : SplitLines(text)) {
    if (line.starts_with(key + "=")) {
      return line.substr(key.size() + 1);
    }
  }
  return "";
}

class ScreensE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    platform_ = new HeadlessPlatform(folder_->path());
    DataFileStart();
    LogStart();
  }
  static void TearDownTestSuite() {
    pictures_.reset();
    LogStop();
    DataFileStop();
    delete platform_;
    platform_ = nullptr;
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    if (!XdotoolInstalled()) {
      GTEST_SKIP() << "xdotool is not installed (scripts/setup installs it): the screens "
                      "cannot be driven";
    }
    if (!pictures_) {
      pictures_ = std::make_unique<Pictures>();
    }
    setenv("QMR_MESSAGEBOX", "yes", 1);
  }

  void GiveContent() { fs::create_directory_symlink(QMR_CONTENT_BIN, program_.path() + "Bin"); }

  void StartGame() {
    ASSERT_TRUE(::Xdotool("mousemove 960 540"));
    game_ = std::make_unique<GameProcess>(GAME_BINARY, program_.path(), elsewhere_.path(),
                                          std::vector<std::string>{"-userdatainapp"});
    ASSERT_TRUE(WaitUntil([this] { return FindGameWindow(kTitle, window_); }, kPatience))
        << game_->StandardError();
    // Without a window manager nothing gives the render window the focus
    // when the splash goes.
    ASSERT_NO_FATAL_FAILURE(
        Xdotool("windowfocus --sync " + std::to_string(NewestWindowId(kTitle))));
  }

  ScreenMapping Mapping() {
    FindGameWindow(kTitle, window_);
    return ScreenMapping(window_);
  }

  double PatchDifference(const ScreenMapping& screen, const Patch& patch) {
    const std::vector<uint32_t> seen = screen.Read(patch.area);
    double best = 255;
    for (const std::string& name : patch.pictures) {
      best = std::min(best, Difference(screen, seen, patch.area, pictures_->Get(name),
                                       patch.originX, patch.originY, patch.shade));
    }
    return best;
  }

  bool Shows(const Screen& screen) {
    const ScreenMapping mapping = Mapping();
    return std::all_of(screen.patches.begin(), screen.patches.end(), [&](const Patch& patch) {
      return PatchDifference(mapping, patch) < kMatch;
    });
  }

  // Waits for a screen; on failure names the patches that did not match.
  void ExpectScreen(const Screen& screen) {
    if (WaitUntil([&] { return Shows(screen); }, kPatience)) {
      return;
    }
    std::string report;
    const ScreenMapping mapping = Mapping();
    for (const Patch& patch : screen.patches) {
      report += " " + std::to_string(PatchDifference(mapping, patch));
    }
    FAIL() << screen.name << " not shown; mean differences" << report << "\n"
           << game_->StandardError();
  }

  bool CreditsShown() {
    const std::vector<uint32_t> sky = Mapping().Read(kCreditsSky);
    return !sky.empty() &&
           std::all_of(sky.begin(), sky.end(), [](uint32_t pixel) { return pixel == kNight; });
  }

  void Xdotool(const std::string& arguments) {
    ASSERT_TRUE(::Xdotool(arguments)) << "xdotool " << arguments;
  }
  // The game takes the pointer's place and its buttons once a frame: the
  // press waits until the plate under the pointer lights up, so that it
  // lands on the plate, and is held long enough for a frame to see it.
  void Click(const Point& point) {
    const ScreenMapping screen = Mapping();
    const Area around = {point.x - 60, point.y - 8, 120, 16};
    const std::vector<uint32_t> before = screen.Read(around);
    Xdotool("mousemove --sync " + screen.Point(point.x, point.y));
    WaitUntil([&] { return screen.Read(around) != before; }, std::chrono::seconds(2));
    Xdotool("mousedown 1 sleep " + std::string(kHold) + " mouseup 1");
  }
  void Key(const std::string& key) { Xdotool("key " + key); }

  // Opens a screen with a click, checks it, and leaves it with Escape for
  // the screen it was opened from.
  void Visit(const Point& button, const Screen& screen, const Screen& back) {
    SCOPED_TRACE(screen.name);
    ASSERT_NO_FATAL_FAILURE(Click(button));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(screen));
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(back));
  }

  // Where the overall volume's thumb lies on the X screen; -1 when it is
  // not on its track.
  int VolumeThumb(const ScreenMapping& screen) {
    const int left = screen.X(kVolumeLeft);
    const std::vector<uint32_t> row =
        ReadScreen(left, screen.Y(kVolumeRow), screen.X(kVolumeRight) - left, 1);
    const auto thumb = std::find(row.begin(), row.end(), kThumbFace);
    return thumb == row.end() ? -1 : left + static_cast<int>(thumb - row.begin());
  }

  // Drags the overall volume's thumb towards the left end of its track.
  void LowerTheVolume() {
    const ScreenMapping screen = Mapping();
    const int start = VolumeThumb(screen);
    ASSERT_GE(start, 0) << "the volume's thumb is not on its track";
    const std::string row = " " + std::to_string(screen.Y(kVolumeRow));
    Xdotool("mousemove --sync " + std::to_string(start + 4) + row + " mousedown 1 sleep " + kHold);
    // The game takes the pointer's place once a frame: the pointer moves on
    // in steps until the thumb has followed it.
    int x = start + 4;
    ASSERT_TRUE(WaitUntil(
        [&] {
          x = std::max(screen.X(kVolumeLeft), x - 20);
          ::Xdotool("mousemove " + std::to_string(x) + row);
          const int now = VolumeThumb(screen);
          return now >= 0 && now < start - 40;
        },
        kPatience));
    Xdotool("mouseup 1");
  }

  static constexpr double kMatch = 12;
  // The image reader runs in a headless platform of its own folder.
  static inline TempFolder* folder_ = nullptr;
  static inline HeadlessPlatform* platform_ = nullptr;
  static inline std::unique_ptr<Pictures> pictures_;
  TempFolder program_;
  TempFolder elsewhere_;
  std::unique_ptr<GameProcess> game_;
  XWindowInfo window_;
};

TEST_F(ScreensE2E, AFirstRunVisitsEveryScreenAndKeepsItsSettingsAndASecondOpensTheMenu) {
  GiveContent();
  program_.write("settings.ini", kSettings);
  ASSERT_NO_FATAL_FAILURE(StartGame());

  // A first run asks how to play; Done records it at once.
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kInitial));
  ASSERT_NO_FATAL_FAILURE(Click(kDone));
  EXPECT_TRUE(
      WaitUntil([&] { return SettingsValue(program_.read("settings.ini"), "Configured") == "Yes"; },
                kPatience))
      << program_.read("settings.ini");
  EXPECT_TRUE(game_->Running());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  // The street behind the menu moves.
  const std::vector<uint32_t> street = Mapping().Read(kStreetArea);
  EXPECT_TRUE(WaitUntil([&] { return Mapping().Read(kStreetArea) != street; }, kPatience));

  // The main options: the overall volume lowered and the pause key moved
  // to K. The menu's control set is not one the game saves, so the new key
  // lasts the run.
  ASSERT_NO_FATAL_FAILURE(Click(kMenuOptions));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMainOptions));
  const std::string volumeBefore = SettingsValue(program_.read("settings.ini"), "App Volume");
  ASSERT_NO_FATAL_FAILURE(LowerTheVolume());
  const std::vector<uint32_t> pauseKey = Mapping().Read(kPauseKeyText);
  // The plate lights under the pointer before the press asks for a key.
  ASSERT_NO_FATAL_FAILURE(
      Xdotool("mousemove --sync " + Mapping().Point(kPauseKeyButton.x, kPauseKeyButton.y)));
  ASSERT_TRUE(WaitUntil([&] { return Mapping().Read(kPauseKeyText) != pauseKey; }, kPatience));
  const std::vector<uint32_t> lit = Mapping().Read(kPauseKeyText);
  ASSERT_NO_FATAL_FAILURE(Xdotool("mousedown 1 sleep " + std::string(kHold) + " mouseup 1"));
  ASSERT_TRUE(WaitUntil([&] { return Mapping().Read(kPauseKeyText) != lit; }, kPatience));
  const std::vector<uint32_t> waiting = Mapping().Read(kPauseKeyText);
  ASSERT_NO_FATAL_FAILURE(Key("k"));
  ASSERT_TRUE(WaitUntil([&] { return Mapping().Read(kPauseKeyText) != waiting; }, kPatience));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  // Opened again with the pointer where it was, the page names another key.
  ASSERT_NO_FATAL_FAILURE(Click(kMenuOptions));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMainOptions));
  const std::vector<uint32_t> rebound = Mapping().Read(kPauseKeyText);
  EXPECT_NE(rebound, pauseKey);
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  ASSERT_NO_FATAL_FAILURE(Visit(kMenuSpecial, kMainSpecial, kMenu));

  ASSERT_NO_FATAL_FAILURE(Click(kMenuCredits));
  EXPECT_TRUE(WaitUntil([&] { return CreditsShown(); }, kPatience)) << "credits not shown";
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  // The journal and every page it opens; the three pages of notes differ in
  // their titles.
  ASSERT_NO_FATAL_FAILURE(Click(kMenuJournal));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  const Area title = {700, 70, 400, 50};
  std::vector<std::vector<uint32_t>> titles;
  for (const Point& tab : {kTabHints, kTabSuspects, kTabInvestigations}) {
    ASSERT_NO_FATAL_FAILURE(Click(tab));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournalPage));
    titles.push_back(Mapping().Read(title));
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  }
  EXPECT_NE(titles[0], titles[1]);
  EXPECT_NE(titles[1], titles[2]);
  EXPECT_NE(titles[0], titles[2]);
  ASSERT_NO_FATAL_FAILURE(Visit(kTabOptions, kJournalOptions, kJournal));
  ASSERT_NO_FATAL_FAILURE(Visit(kTabSpecial, kJournalSpecial, kJournal));
  ASSERT_NO_FATAL_FAILURE(Visit(kJournalPauseButton, kPause, kJournal));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  // Quit asks first; Escape stays, Quit ends the run.
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
  ASSERT_NO_FATAL_FAILURE(Click(kQuitYesButton));
  EXPECT_EQ(game_->WaitForExit(kPatience), 0) << game_->StandardError();

  const std::string settings = program_.read("settings.ini");
  EXPECT_EQ(SettingsValue(settings, "Configured"), "Yes");
  EXPECT_NE(SettingsValue(settings, "App Volume"), volumeBefore) << settings;
  EXPECT_NE(settings.find("[Input Control Set Menu Controls]"), std::string::npos) << settings;
  EXPECT_NE(settings.find("=K 100"), std::string::npos) << settings;
  const std::string log = program_.read("results.log");
  EXPECT_EQ(log.find("Error:"), std::string::npos) << log;

  // A second run opens the menu at once with the rebound key; SIGTERM
  // there asks to quit.
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuOptions));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMainOptions));
  EXPECT_TRUE(WaitUntil([&] { return Mapping().Read(kPauseKeyText) == rebound; }, kPatience));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  game_->Signal(SIGTERM);
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
  ASSERT_NO_FATAL_FAILURE(Click(kQuitYesButton));
  EXPECT_EQ(game_->WaitForExit(kPatience), 0) << game_->StandardError();
}

TEST_F(ScreensE2E, WithoutTheQuitScreenACloseEndsInTheFatalBox) {
  // The built content without the quit confirmation's script.
  fs::copy(QMR_CONTENT_BIN, program_.path() + "Bin", fs::copy_options::recursive);
  ASSERT_TRUE(fs::remove(program_.path() + "Bin/Interface/Quit/Scripts/quit.vmc"));
  program_.write("settings.ini", std::string(kSettings) + "[Controls]\r\nConfigured=Yes\r\n");
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  game_->Signal(SIGTERM);
  EXPECT_EQ(game_->WaitForExit(kPatience), 1) << game_->StandardError();
  EXPECT_NE(game_->StandardError().find("A fatal error has occurred.  Please consult the file "
                                        "results.log for details."),
            std::string::npos)
      << game_->StandardError();
  EXPECT_NE(program_.read("results.log").find("Error: "), std::string::npos);
}

}  // namespace
