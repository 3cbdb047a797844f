// The game's script routines as the scripts see them, on the headless
// platform: every name registered once, of its kind, in the designed order;
// what the getters give for an agent that does not exist; sounds that
// cannot be played; the cutscene flag; and a simulated click reaching the
// object under it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "script/script.h"
#include "shell/modules.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The designed registration order: the AppObj render callbacks, the hit
// tests, then the routines table by table, the two render procedures (kind
// 2) between AppQuitGame and AppQuitConfirm.
const std::vector<std::string> kRenderCallbacks = {
    "AppRenderAgents",    "AppRenderConceptArt", "AppRenderDialogOptions", "AppRenderFogOfWar",
    "AppRenderInventory", "AppRenderSave",       "AppRenderSaveDialog"};
const std::vector<std::string> kHitTests = {"AppInDialogOptions", "AppInObjectAgents",
                                            "AppInObjectFogOfWar"};
const std::vector<std::string> kRoutines = {
    // Agents.
    "AppAgentAdd", "AppAgentAnimate", "AppAgentAnimatePersist", "AppAgentGetDestination",
    "AppAgentGetDirection", "AppAgentGetPosition", "AppAgentGetScale", "AppAgentIsWalking",
    "AppAgentSay", "AppAgentSetAnimation", "AppAgentSetDepth", "AppAgentSetDialogCameraOffset",
    "AppAgentSetDialogOffset", "AppAgentSetDirection", "AppAgentSetHeadOnTop",
    "AppAgentSetPosition", "AppAgentSetScale", "AppAgentWalkClearAction", "AppAgentWalkTo",
    "AppActionsDone",
    // Inventory.
    "AppAgentInventoryAdd", "AppAgentInventoryCount", "AppAgentInventoryEmpty",
    "AppAgentInventoryFirst", "AppAgentInventoryHasItem", "AppAgentInventoryName",
    "AppAgentInventoryRemove", "AppAgentInventorySelect", "AppAgentInventorySelectedIndex",
    "AppAgentInventorySelectedName", "AppAgentInventorySetHighlight",
    // Speech bubbles and dialog options.
    "AppBubbleOpen", "AppDialogAdvance", "AppDialogOptionAdd", "AppDialogOptionBegin",
    "AppDialogOptionEnd", "AppDialogOptionGetId", "AppDialogOptionSetAlignment",
    "AppDialogOptionSetBubbleOffset", "AppDialogOptionSetColumns", "AppDialogOptionSetHeadOffset",
    "AppDialogOptionSetMaxWidth", "AppDialogOptionSetMinBubbles", "AppDialogOptionSetTail",
    "AppDialogOptionSetTailVisible", "AppDialogSetOffset",
    // Rooms.
    "AppRoomLoad", "AppRoomSetDepthBuffer", "AppRoomSetDepthMat", "AppRoomSetFloorMat",
    "AppRoomSetLightMat", "AppRoomSetSoundMat", "AppRoomSetWalkPath", "AppRoomSetScale",
    // Application states, with the render procedures.
    "AppCredits", "AppGame", "AppJournal", "AppJournalHints", "AppJournalInvestigations",
    "AppJournalOptions", "AppJournalSpecialFeatures", "AppJournalSuspects", "AppMainInitial",
    "AppMainMenu", "AppMainOptions", "AppMainSpecialFeatures", "AppPause", "AppQuitGame",
    "AppRenderDepthBuffer", "AppRenderDialog", "AppQuitConfirm", "AppDontQuit", "AppResume",
    "AppNewGame", "AppInitGameState",
    // Configuration.
    "AppConfigConfiguredGet", "AppConfigConfiguredSet", "AppConfigControlHandGet",
    "AppConfigControlHandSet", "AppConfigControlModeGet", "AppConfigControlModeSet",
    "AppConfigShowFlyoversGet", "AppConfigShowFlyoversSet", "AppConfigShowHotspotsGet",
    "AppConfigShowHotspotsSet", "AppConfigShowPointerGet", "AppConfigShowPointerSet",
    "AppConfigShowTipsGet", "AppConfigShowTipsSet", "AppConfigSpeechBubbleLengthGet",
    "AppConfigSpeechBubbleLengthSet", "AppConfigSpeechBubblesGet", "AppConfigSpeechBubblesSet",
    "AppConfigAudioPlay", "AppConfigAudioStop",
    // Unlockables.
    "AppAchievementLocked", "AppAchievementUnlock", "AppCollectibleLocked", "AppCollectibleUnlock",
    "AppSpecialFeatureLocked", "AppSpecialFeatureUnlock",
    // Cutscenes.
    "AppCutsceneBegin", "AppCutsceneEnd", "AppCutsceneRegisterThread", "AppCutsceneSkip",
    "AppCutsceneSkipping",
    // Sounds and music.
    "AppSoundPlay", "AppSoundPlayNoWait", "AppSoundPlayNoWaitLoop", "AppSoundStop",
    "AppSoundSetVolume", "AppSoundGetStatus", "AppSoundGetVolume", "AppMusicPlay", "AppMusicStop",
    // Save games.
    "AppSaveCount", "AppSaveFirstDisplayed", "AppSaveGame", "AppSaveGameAuto", "AppSaveGameExists",
    "AppSaveGetDesc", "AppSaveGetFileName", "AppSaveSetDialogImage", "AppSaveSetDialogPosition",
    "AppSaveSetPosition", "AppLoadGame",
    // Fog of war.
    "AppFogOfWarAdd", "AppFogOfWarCoverage", "AppFogOfWarUncover",
    // Display, time and miscellany.
    "AppGetDisplayId", "AppGetResolution", "AppSetResolution", "AppSetFullscreen", "AppGetTime",
    "AppStateGetTimeMilli", "AppScreenShot", "AppConceptArtSet", "AppSimulateClick", "AppLog"};

// A registry's names and kinds as "NAME kind", names upper-cased.
std::vector<std::string> Listed(ScriptRegistry registry) {
  std::vector<std::string> listed;
  for (const ScriptRegisteredName& entry : ScriptRegistryList(registry)) {
    listed.push_back(entry.name + " " + std::to_string(entry.kind));
  }
  return listed;
}

std::vector<std::string> Expected(const std::vector<std::string>& names) {
  std::vector<std::string> expected;
  for (const std::string& name : names) {
    const bool procedure = name == "AppRenderDepthBuffer" || name == "AppRenderDialog";
    expected.push_back(UtilitiesUpperCase(name) + (procedure ? " 2" : " 0"));
  }
  return expected;
}

// A room whose listener, on "GETTERS", asks every getter about the agent
// "Nobody", each output variable holding a value no default has, and reports
// what came back; on "CUTSCENE" it runs the cutscene routines; on "CLICK"
// it clicks the point (X, Y) of the Game state. Clicks on the box are
// reported.
constexpr const char* kRoom = R"(
  routine REPORT, AppAgentGetDestination, AppAgentGetDirection, AppAgentGetPosition,
          AppAgentGetScale, AppAgentIsWalking, AppAgentInventoryCount, AppAgentInventoryEmpty,
          AppAgentInventoryFirst, AppAgentInventoryHasItem, AppAgentInventoryName,
          AppAgentInventorySelectedIndex, AppAgentInventorySelectedName, AppActionsDone,
          AppSoundPlay, AppSoundPlayNoWait, AppSoundPlayNoWaitLoop, AppSoundStop,
          AppSoundSetVolume, AppSoundGetStatus, AppSoundGetVolume, AppCutsceneBegin,
          AppCutsceneEnd, AppCutsceneRegisterThread, AppCutsceneSkip, AppCutsceneSkipping,
          AppSimulateClick;
  object Display Screen { display = 1; width = 1280; height = 720; }
  object Color Box { display = 1; left = 100; top = 100; width = 200; height = 100; }

  func agentGetters() {
    var x = 7;
    var y = 7;
    var direction = 7;
    var scale = 7;
    var walking = true;
    AppAgentGetDestination("Nobody", out x, out y);
    REPORT("destination " + x + " " + y);
    x = 7;
    y = 7;
    AppAgentGetPosition("Nobody", out x, out y);
    AppAgentGetDirection("Nobody", out direction);
    AppAgentGetScale("Nobody", out scale);
    AppAgentIsWalking("Nobody", out walking);
    REPORT("position " + x + " " + y + " direction " + direction + " scale " + scale +
           " walking " + walking);
  }

  func inventoryGetters() {
    var count = 7;
    var emptied = 7;
    var first = 7;
    var has = true;
    var name = "x";
    var selected = 7;
    var selectedName = "x";
    AppAgentInventoryCount("Nobody", out count);
    AppAgentInventoryEmpty("Nobody", out emptied);
    AppAgentInventoryFirst("Nobody", out first);
    AppAgentInventoryHasItem("Nobody", "Pipe", out has);
    AppAgentInventoryName("Nobody", 0, out name);
    AppAgentInventorySelectedIndex("Nobody", out selected);
    AppAgentInventorySelectedName("Nobody", out selectedName);
    REPORT("count " + count + " emptied " + emptied + " first " + first + " has " + has +
           " name [" + name + "] selected " + selected + " [" + selectedName + "]");
  }

  func soundGetters() {
    var played = 7;
    var once = 7;
    var looping = 7;
    var stopped = 0;
    var volumeSet = 0;
    var status = 7;
    var volume = 7;
    var done = false;
    AppSoundPlay("Bin\\Missing.wav", false, out played);
    AppSoundPlayNoWait("Bin\\Missing.wav", out once);
    AppSoundPlayNoWaitLoop("Bin\\Missing.ogg", out looping);
    AppActionsDone(out done);
    // Stop and SetVolume write 0 over the id they were given.
    stopped = played;
    volumeSet = played;
    AppSoundStop(out stopped);
    AppSoundSetVolume(out volumeSet, 50);
    AppSoundGetStatus(played, out status);
    AppSoundGetVolume(played, out volume);
    REPORT("played " + played + " " + once + " " + looping + " done " + done + " stop " +
           stopped + " set " + volumeSet + " status " + status + " volume " + volume);
  }

  on event(code, name) {
    if (name == "GETTERS") {
      agentGetters();
      inventoryGetters();
      soundGetters();
    }
    if (name == "CUTSCENE") {
      var skipping = true;
      AppCutsceneBegin();
      AppCutsceneRegisterThread();
      AppCutsceneSkip();
      AppCutsceneSkipping(out skipping);
      REPORT("skipping " + skipping);
    }
    if (name == "CUTSCENEEND") { AppCutsceneEnd(); }
    if (name == "CLICK") { AppSimulateClick(stateGetInt(3, "X"), stateGetInt(3, "Y")); }
    if (code == -4) { REPORT("click " + name); }
  }
)";

class RoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteScript(program_, "Bin/Rooms/A/Scripts/A.vmc", kRoom);
    WriteScript(program_, "Bin/gameStart.vmc", R"(stateSetString(3, "Script Room File", "A");)");
    program_.write("settings.ini",
                   "[Video]\nFullscreen=No\nWidth=1280\nHeight=720\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  void EnterRoom() {
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A"));
    reports_.clear();
  }
  static void Tell(const std::string& event) { ScriptEventSend(RoomScriptId(), 2, event); }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

TEST_F(RoutinesTest, TheRegistryHoldsEveryRoutineOnceOfItsKindInTheDesignedOrder) {
  EXPECT_THAT(Listed(ScriptRegistry::kAppObjRender), ElementsAreArray(Expected(kRenderCallbacks)));
  EXPECT_THAT(Listed(ScriptRegistry::kAppObjInObject), ElementsAreArray(Expected(kHitTests)));
  // The test's own REPORT comes before the game's routines.
  std::vector<std::string> routines = Listed(ScriptRegistry::kAppRoutines);
  ASSERT_FALSE(routines.empty());
  EXPECT_EQ(routines.front(), "REPORT 0");
  routines.erase(routines.begin());
  EXPECT_THAT(routines, ElementsAreArray(Expected(kRoutines)));
  EXPECT_TRUE(ScriptRegistryList(ScriptRegistry::kAppObjAnimate).empty());
  EXPECT_EQ(kRenderCallbacks.size() + kHitTests.size() + kRoutines.size(), 149u);
}

TEST_F(RoutinesTest, GettersForAMissingAgentOrSoundGiveTheDesignedDefaults) {
  EnterRoom();
  Tell("GETTERS");
  // A sound that cannot be opened writes -1 and leaves no action to wait
  // for; stopping or setting the volume of no sound still writes 0.
  EXPECT_THAT(TakeReports(),
              ElementsAre("destination 0 0", "position 0 0 direction 2 scale 100 walking false",
                          "count 0 emptied 0 first 0 has false name [] selected -1 []",
                          "played -1 -1 -1 done true stop 0 set 0 status 3 volume 0"));

  // Nothing skips a cutscene: it runs until its end.
  Tell("CUTSCENE");
  EXPECT_THAT(TakeReports(), ElementsAre("skipping false"));
  EXPECT_TRUE(GameCutsceneRunning());
  Tell("CUTSCENEEND");
  EXPECT_FALSE(GameCutsceneRunning());
  // A new game or a load starts outside any cutscene, even when the last
  // game was left during one.
  Tell("CUTSCENE");
  TakeReports();
  ASSERT_TRUE(FileGameStateInit());
  EXPECT_FALSE(GameCutsceneRunning());
}

TEST_F(RoutinesTest, ASimulatedClickReachesTheObjectUnderThePoint) {
  EnterRoom();
  for (const auto& [x, y] : {std::pair{50, 50}, std::pair{150, 150}}) {
    StateVariableSetInt(kStateGame, "X", x);
    StateVariableSetInt(kStateGame, "Y", y);
    Tell("CLICK");
    ASSERT_TRUE(GameFrame());
    ASSERT_TRUE(GameFrame());
  }
  // Beside the box the click is the script's own.
  EXPECT_THAT(TakeReports(), ElementsAre("click LEFTCLICK", "click BOX"));
}

}  // namespace
