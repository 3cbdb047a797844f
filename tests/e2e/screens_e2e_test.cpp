// The bundled case's interface screens in the real game under the test's X
// server, driven by real pointer and key events through xdotool and known by
// patches of the pictures the build made for them; what the game keeps is
// read back from "settings.ini" and "results.log".
#include <signal.h>

#include <algorithm>
#include <filesystem>

#include "tests/e2e/game_screens.h"

namespace {

namespace fs = std::filesystem;

// The credits roll over a plain night colour.
inline constexpr Area kCreditsSky = {40, 300, 200, 100};
inline constexpr uint32_t kNight = 0x0A0C16;

// The options' pause key.
constexpr Point kPauseKeyButton = {1060, 372};
constexpr Area kPauseKeyText = {900, 346, 320, 52};

// The value of a key in a settings file's text; "" when it has none.
std::string SettingsValue(const std::string& text, const std::string& key) {
  for (const std::string& line : SplitLines(text)) {
    if (line.starts_with(key + "=")) {
      return line.substr(key.size() + 1);
    }
  }
  return "";
}

class ScreensE2E : public GameScreensTest {
 protected:
  bool CreditsShown() {
    const std::vector<uint32_t> sky = Mapping().Read(kCreditsSky);
    return !sky.empty() &&
           std::all_of(sky.begin(), sky.end(), [](uint32_t pixel) { return pixel == kNight; });
  }
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
