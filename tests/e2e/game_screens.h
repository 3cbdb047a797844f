// What the end-to-end tests of the bundled case's screens and rooms share:
// the real game started in a program folder of its own under the test's X
// server, driven by real pointer and key events through xdotool, and its
// screens known by patches of the window that match the pictures the build
// made, read with the game's own image reader and placed as BestFit places
// them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "tests/e2e/game_process.h"
#include "tests/e2e/screen_mapping.h"
#include "tests/support/testsupport.h"

inline constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";
inline constexpr std::chrono::seconds kPatience(20);
inline constexpr const char* kSettings = "[Video]\r\nWidth=1280\r\nHeight=720\r\nFullscreen=No\r\n";

// How long a mouse button is held: longer than a frame of the game under
// the sanitizers and a software renderer.
inline constexpr const char* kHold = "0.3";

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

inline int Channel(uint32_t colour, int shift) {
  return static_cast<int>((colour >> shift) & 0xFF);
}

// The mean difference per channel between a screen patch and the picture
// placed with its top-left corner at `origin`, the picture's colours
// darkened by `shade` (the alpha of a black cover drawn over it).
inline double Difference(const ScreenMapping& screen, const std::vector<uint32_t>& patch,
                         const Area& area, const ImageFrame& picture, int originX, int originY,
                         int shade) {
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

// A screen: the patches that must all match.
struct Screen {
  const char* name;
  std::vector<Patch> patches;
};

// Menu buttons, journal tabs and other places to click, in logical points.
struct Point {
  int x, y;
};
// High on the shop's wall: a click there ends a line and does nothing else.
inline constexpr Point kOpeningClick = {640, 60};

// The bundled case's screens and the places the tests click on them.
inline const std::string kCommon = "Interface/Common/Pictures/";
inline const std::vector<std::string> kStreet = {
    "Interface/Main/Pictures/street1.tga", "Interface/Main/Pictures/street2.tga",
    "Interface/Main/Pictures/street3.tga", "Interface/Main/Pictures/street4.tga"};
inline const std::vector<std::string> kJournalPicture = {"Interface/Journal/Pictures/journal.tga"};
inline const std::vector<std::string> kButtons = {
    kCommon + "button.tga", kCommon + "button_lit.tga", kCommon + "button_dim.tga"};
inline const std::vector<std::string> kPicks = {kCommon + "pick.tga", kCommon + "pick_lit.tga"};
inline const std::vector<std::string> kChecks = {kCommon + "check.tga", kCommon + "check_lit.tga",
                                                 kCommon + "check_on.tga"};

// The street between the title and the menu's buttons, where the windows
// light in turn; its top edge, above the options' and features' panel.
inline constexpr Area kStreetArea = {200, 340, 120, 160};
inline const Patch kStreetPatch = {kStreetArea, kStreet};
inline const Patch kStreetEdge = {{300, 4, 200, 30}, kStreet};
// The journal's left page below its tabs' reach, and its leather edge.
inline const Patch kJournalLeft = {{450, 150, 150, 250}, kJournalPicture};
inline const Patch kJournalEdge = {{300, 2, 200, 24}, kJournalPicture};
// The left ends of plates, clear of their centred text.
inline const Patch kFullScreenBox = {{130, 336, 36, 36}, kChecks, 130, 336};
inline const Patch kFirstFeature = {{130, 150, 40, 52}, kButtons, 130, 150};
inline const Patch kJournalPause = {{440, 620, 30, 40}, kPicks, 440, 620};
inline const Patch kPagePause = {{1060, 620, 30, 40}, kPicks, 1060, 620};
inline const Patch kResume = {{480, 320, 40, 52}, kButtons, 480, 320};
inline const Patch kQuitYes = {{380, 430, 30, 40}, kPicks, 380, 430};

inline const Screen kInitial = {
    "main initial",
    {{{1040, 60, 120, 60}, {kCommon + "paper.tga"}}, {{880, 610, 40, 52}, kButtons, 880, 610}}};
inline const Screen kMenu = {"main menu", {kStreetPatch}};
inline const Screen kMainOptions = {"main options", {kStreetEdge, kFullScreenBox}};
inline const Screen kMainSpecial = {"main special features", {kStreetEdge, kFirstFeature}};
inline const Screen kJournal = {"journal", {kJournalLeft, kJournalPause}};
inline const Screen kJournalPage = {"journal page", {kJournalLeft, kPagePause}};
inline const Screen kJournalOptions = {"journal options", {kJournalEdge, kFullScreenBox}};
inline const Screen kJournalSpecial = {"journal special features", {kJournalEdge, kFirstFeature}};
inline const Screen kPause = {"pause", {kResume}};
inline const Screen kQuit = {"quit confirmation", {kQuitYes}};

// Menu buttons, journal tabs and other places to click, in logical points.
inline constexpr Point kMenuNewGame = {1040, 276};
inline constexpr Point kMenuJournal = {1040, 342};
inline constexpr Point kMenuOptions = {1040, 408};
inline constexpr Point kMenuSpecial = {1040, 474};
inline constexpr Point kMenuCredits = {1040, 540};
inline constexpr Point kDone = {1040, 636};
inline constexpr Point kTabHints = {256, 196};
inline constexpr Point kTabSuspects = {256, 258};
inline constexpr Point kTabInvestigations = {256, 320};
inline constexpr Point kTabOptions = {256, 382};
inline constexpr Point kTabSpecial = {256, 444};
inline constexpr Point kJournalClose = {256, 526};
inline constexpr Point kJournalQuit = {256, 588};
inline constexpr Point kJournalPauseButton = {515, 640};
inline constexpr Point kQuitYesButton = {455, 450};
// The main options' overall volume: its track's row and ends, and the colour
// of its thumb.
inline constexpr int kVolumeRow = 146;
inline constexpr int kVolumeLeft = 270;
inline constexpr int kVolumeRight = 630;
inline constexpr uint32_t kThumbFace = 0xE0B050;

class GameScreensTest : public ::testing::Test {
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

  void GiveContent() {
    std::filesystem::create_directory_symlink(QMR_CONTENT_BIN, program_.path() + "Bin");
  }

  // Starts the game with the user files in its program folder, and any
  // further parameters.
  void StartGame(const std::vector<std::string>& more = {}) {
    ASSERT_TRUE(::Xdotool("mousemove 960 540"));
    std::vector<std::string> parameters = {"-userdatainapp"};
    parameters.insert(parameters.end(), more.begin(), more.end());
    game_ =
        std::make_unique<GameProcess>(GAME_BINARY, program_.path(), elsewhere_.path(), parameters);
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
  // From the journal the game is quit: it ends with status 0 and nothing in
  // its log was an error.
  void QuitFromTheJournal() {
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
    ASSERT_NO_FATAL_FAILURE(Click(kJournalQuit));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
    ASSERT_NO_FATAL_FAILURE(Click(kQuitYesButton));
    EXPECT_EQ(game_->WaitForExit(kPatience), 0) << game_->StandardError();
    const std::string log = program_.read("results.log");
    EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
  }
  // A click on a room, where nothing lights up under the pointer first.
  void ClickAt(const Point& point) {
    Xdotool("mousemove " + Mapping().Point(point.x, point.y) + " sleep 0.2 mousedown 1 sleep " +
            kHold + " mouseup 1");
  }
  // The opening of a new game: its lines are ended by clicks high on the
  // shop's wall, where only the talk takes them, until the game saves itself
  // at its end.
  void SitThroughTheOpening() {
    const bool over = WaitUntil(
        [&] {
          if (program_.exists("autosave.sav")) {
            return true;
          }
          ClickAt(kOpeningClick);
          return false;
        },
        3 * kPatience);
    ASSERT_TRUE(over) << "the opening does not end\n" << game_->StandardError();
  }

  // Where the options' overall volume thumb lies on the X screen; -1 when it
  // is not on its track.
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

  // Opens a screen with a click, checks it, and leaves it with Escape for
  // the screen it was opened from.
  void Visit(const Point& button, const Screen& screen, const Screen& back) {
    SCOPED_TRACE(screen.name);
    ASSERT_NO_FATAL_FAILURE(Click(button));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(screen));
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(back));
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
