// The application states on the headless platform with real compiled
// scripts: what each screen does when its script is missing, and the way
// back from the pause overlay and the quit confirmation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Reports every event it receives as "code name" and asks for the
// transitions the test names.
constexpr const char* kRecorder = R"(
  routine REPORT, AppQuitConfirm, AppDontQuit, AppResume, AppNewGame;
  on event(code, name) {
    REPORT("" + code + " " + name);
    if (name == "QUIT") { AppQuitConfirm(); }
    if (name == "DONTQUIT") { AppDontQuit(); }
    if (name == "RESUME") { AppResume(); }
    if (name == "NEWGAME") { AppNewGame(); }
  }
)";

constexpr const char* kCredits = "Bin/Interface/Credits/Scripts/credits.vmc";
constexpr const char* kJournal = "Bin/Interface/Journal/Scripts/journal.vmc";
constexpr const char* kHints = "Bin/Interface/Journal/Scripts/Hints.vmc";
constexpr const char* kInvestigations = "Bin/Interface/Journal/Scripts/Investigations.vmc";
constexpr const char* kJournalOptions = "Bin/Interface/Journal/Scripts/options.vmc";
constexpr const char* kJournalSpecial = "Bin/Interface/Journal/Scripts/special.vmc";
constexpr const char* kSuspects = "Bin/Interface/Journal/Scripts/Suspects.vmc";
constexpr const char* kBackground = "Bin/Interface/Main/Scripts/background.vmc";
constexpr const char* kInitial = "Bin/Interface/Main/Scripts/initial.vmc";
constexpr const char* kMainMenu = "Bin/Interface/Main/Scripts/mainmenu.vmc";
constexpr const char* kMainOptions = "Bin/Interface/Main/Scripts/options.vmc";
constexpr const char* kMainSpecial = "Bin/Interface/Main/Scripts/special.vmc";
constexpr const char* kPause = "Bin/Interface/Pause/Scripts/pause.vmc";
constexpr const char* kQuit = "Bin/Interface/Quit/Scripts/quit.vmc";
constexpr const char* kAllScripts[] = {
    kCredits,    kJournal, kHints,    kInvestigations, kJournalOptions, kJournalSpecial, kSuspects,
    kBackground, kInitial, kMainMenu, kMainOptions,    kMainSpecial,    kPause,          kQuit};

// A configured game whose program folder holds the recorder as every
// interface script but the missing one; it starts in the main menu.
class StatesTest : public ::testing::Test {
 protected:
  void Start(const std::string& missing = "") {
    VmccResult compiled;
    ASSERT_TRUE(VmccCompile(kRecorder, "recorder.vms", {}, compiled));
    for (const char* file : kAllScripts) {
      if (file != missing) {
        std::string error;
        ASSERT_TRUE(VmcWriterSave(compiled.script, program_->write(file, ""), error)) << error;
      }
    }
    program_->write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_->path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
  }
  void Stop() {
    if (platform_) {
      ModulesStop();
      platform_.reset();
    }
  }
  void TearDown() override { Stop(); }

  // The error lines of the states' enter handlers.
  std::vector<std::string> EnterErrors() const {
    std::vector<std::string> errors;
    for (const std::string& line : SplitLines(program_->read("results.log"))) {
      if (line.find("Error: AppState") != std::string::npos) {
        errors.push_back(line.substr(line.find("Error: ")));
      }
    }
    return errors;
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }
  static void Send(GameScript script, const std::string& text) {
    ScriptEventSend(GameScriptId(script), 2, text);
  }

  std::unique_ptr<TempFolder> program_ = std::make_unique<TempFolder>();
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

TEST_F(StatesTest, AScreenWhoseScriptIsMissingLogsItsMessagesAndEndsTheGame) {
  struct Case {
    int32_t state;
    const char* missing;
    std::vector<std::string> errors;
  };
  const std::string lead = "Error: AppState";
  const std::vector<Case> cases = {
      {kStateCredits, kCredits, {"CreditsEnter - Unable to load credits script."}},
      {kStateJournal, kJournal, {"JournalEnter - Unable to load journal script."}},
      {kStateJournalHints, kHints, {"JournalHintsEnter - Unable to load journal hints script."}},
      {kStateJournalInvestigations,
       kInvestigations,
       {"JournalInvestigationsEnter - Unable to load journal investigations script."}},
      {kStateJournalOptions,
       kJournalOptions,
       {"JournalOptionsEnter - Unable to load journal options script."}},
      {kStateJournalSpecial,
       kJournalSpecial,
       {"JournalSpecialEnter - Unable to load journal special script."}},
      {kStateJournalSuspects,
       kSuspects,
       {"JournalSuspectsEnter - Unable to load journal Suspects script."}},
      {kStateMainInitial, kInitial, {"MainInitialEnter - Unable to load main initial script."}},
      // The main menu is the first screen: the game starts in the fatal state.
      {kStateMainMenu, kBackground, {"MainMenuEnter - Unable to load background script."}},
      {kStateMainMenu, kMainMenu, {"MainMenuEnter - Unable to load main menu script."}},
      {kStateMainOptions, kMainOptions, {"MainOptionsEnter - Unable to load main options script."}},
      {kStateMainSpecial, kMainSpecial, {"MainSpecialEnter - Unable to load main special script."}},
      {kStatePaused, kPause, {"PausedEnter - Unable to load pause script."}},
      {kStateQuitConfirm, kQuit, {"QuitConfirmEnter - Unable to load quit confirmation script."}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.missing);
    program_ = std::make_unique<TempFolder>();
    Start(test.missing);
    if (StateGetCurrent() != kStateFatalError) {
      StateSet(test.state);
    }
    EXPECT_EQ(StateGetCurrent(), kStateFatalError);
    EXPECT_FALSE(GameFrame());
    std::vector<std::string> expected;
    for (const std::string& error : test.errors) {
      expected.push_back(lead + error);
    }
    EXPECT_THAT(EnterErrors(), ElementsAreArray(expected));
    Stop();
  }

  // The special features load the menu's background first.
  program_ = std::make_unique<TempFolder>();
  Start();
  GameScriptsClose();
  std::remove((program_->path() + kBackground).c_str());
  StateSet(kStateMainSpecial);
  EXPECT_EQ(StateGetCurrent(), kStateFatalError);
  EXPECT_THAT(EnterErrors(),
              ElementsAre(lead + "MainSpecialEnter - Unable to load background script for "
                                 "special features."));
}

TEST_F(StatesTest, TheQuitConfirmationKnowsWhereItCameFromAndGoesBackThere) {
  Start();
  ASSERT_EQ(StateGetCurrent(), kStateMainMenu);
  EXPECT_THAT(TakeReports(), ElementsAre("1 APPSCRIPTENTER", "1 APPSCRIPTENTER"));

  StateSet(kStateGame);
  StateSet(kStatePaused);
  Send(kScriptPause, "QUIT");
  ASSERT_EQ(StateGetCurrent(), kStateQuitConfirm);
  EXPECT_THAT(TakeReports(), ElementsAre("1 APPSCRIPTENTER", "2 QUIT", "1 FROM GAME"));

  // Asking again, or resuming, from the confirmation changes nothing.
  Send(kScriptQuit, "QUIT");
  Send(kScriptQuit, "RESUME");
  EXPECT_EQ(StateGetCurrent(), kStateQuitConfirm);
  Send(kScriptQuit, "DONTQUIT");
  EXPECT_EQ(StateGetCurrent(), kStatePaused);
  // Not quitting anywhere but in the confirmation does nothing.
  Send(kScriptPause, "DONTQUIT");
  EXPECT_EQ(StateGetCurrent(), kStatePaused);
  Send(kScriptPause, "RESUME");
  EXPECT_EQ(StateGetCurrent(), kStateGame);
  Send(kScriptPause, "RESUME");
  Send(kScriptPause, "DONTQUIT");
  EXPECT_EQ(StateGetCurrent(), kStateGame);

  StateSet(kStateMainMenu);
  TakeReports();
  Send(kScriptMainMenu, "QUIT");
  EXPECT_THAT(TakeReports(), ElementsAre("2 QUIT", "1 FROM MENU"));
  Send(kScriptQuit, "DONTQUIT");
  EXPECT_EQ(StateGetCurrent(), kStateMainMenu);
}

TEST_F(StatesTest, ANewGameAndAQuickLoadGoThroughTheRoomLoad) {
  Start();
  const std::string roomFile = "Script Room File";
  StateVariableSetString(kStateGame, roomFile, "Bin\\Rooms\\First.vmc");
  StateSet(kStateGame);
  PlatformClockAdvance(500);
  StateSet(kStateMainMenu);

  // A new game starts the game's clock again and frees the menus for the
  // room, whose script does not exist.
  Send(kScriptMainMenu, "NEWGAME");
  EXPECT_EQ(StateGetCurrent(), kStateRoomLoad);
  EXPECT_EQ(StateGetTime(kStateGame), 0u);
  EXPECT_TRUE(GameFrame());
  EXPECT_EQ(GameScriptId(kScriptMainMenu), 0);
  EXPECT_EQ(GameScriptId(kScriptBackground), 0);
  EXPECT_EQ(StateGetCurrent(), kStateFatalError);
  EXPECT_NE(program_->read("results.log").find("Bin\\Rooms\\First.vmc"), std::string::npos);

  // Without an autosave a quick load goes back to the menu; with one, the
  // saved game's room is the one loaded, after the game's start script.
  StateSet(kStateQuickLoad);
  EXPECT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateMainMenu);
  VmccResult start;
  std::string error;
  ASSERT_TRUE(VmccCompile("", "gameStart.vms", {}, start));
  ASSERT_TRUE(VmcWriterSave(start.script, program_->write("Bin/gameStart.vmc", ""), error));
  StateVariableSetString(kStateGame, roomFile, "Bin\\Rooms\\Saved.vmc");
  ASSERT_TRUE(SaveFileWrite(UtilitiesUserDataFolder() + "autosave.sav", {}, {}));
  SavesListClear();
  SavesListBuild();
  StateVariableSetString(kStateGame, roomFile, "Bin\\Rooms\\Later.vmc");
  StateSet(kStateQuickLoad);
  EXPECT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateRoomLoad);
  EXPECT_EQ(StateVariableGetString(kStateGame, roomFile), "Bin\\Rooms\\Saved.vmc");
}

}  // namespace
