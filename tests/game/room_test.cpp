// Rooms on the headless platform with real compiled scripts: when a room
// is replaced, which files the room's routines read, the scale line,
// damaged mats, and a new game from the main menu into its first room.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/path.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// The main menu starts a new game the way the bundled menu does.
constexpr const char* kMenu = R"(
  routine REPORT, AppInitGameState, AppNewGame;
  on event(code, name) {
    if (name == "NEWGAME") {
      AppInitGameState();
      REPORT("initialised");
      AppNewGame();
    }
  }
)";

// A room that reports its load and its events (but the per-frame one), and
// calls the room routines the test asks for. Arguments come from the Game
// state's variable "ARG", since event names arrive upper-cased.
std::string Room(const std::string& name) {
  return R"(
    routine REPORT, AppRoomLoad, AppRoomSetDepthBuffer, AppRoomSetDepthMat, AppRoomSetFloorMat,
            AppRoomSetLightMat, AppRoomSetSoundMat, AppRoomSetWalkPath, AppRoomSetScale;
    REPORT(")" +
         name + R"( loaded");
    on event(code, name) {
      if (code != 3) { REPORT(")" +
         name + R"( " + code + " " + name); }
      var argument = stateGetString(3, "ARG");
      if (name == "TWOROOMS") { AppRoomLoad("B"); AppRoomLoad("C"); }
      if (name == "BUSY") { AppRoomLoad(argument); wait(1000); }
      if (name == "LOAD") { AppRoomLoad(argument); }
      if (name == "MATS") {
        AppRoomSetDepthBuffer(argument);
        AppRoomSetDepthMat(argument);
        AppRoomSetFloorMat(argument);
        AppRoomSetLightMat(argument);
        AppRoomSetSoundMat(argument);
      }
      if (name == "PATH") { AppRoomSetWalkPath(argument); }
      if (name == "SCALE") { AppRoomSetScale(400, 100, 200, 50); }
      if (name == "FLAT") { AppRoomSetScale(300, 80, 300, 60); }
      if (name == "HUGE") { AppRoomSetScale(2147483647, 100, -2147483648, 50); }
    }
  )";
}

// A mat of the given width, one row, of one floor-coloured entry.
Mat FloorMat(int32_t width) {
  Mat mat;
  mat.entries = {{"floor", 0x00FF00}};
  mat.width = width;
  mat.height = 1;
  mat.data.assign(static_cast<size_t>(width), 0);
  return mat;
}

class RoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    for (const char* name : {"A", "B", "C"}) {
      WriteScript(program_, std::string("Bin/Rooms/") + name + "/Scripts/" + name + ".vmc",
                  Room(name));
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    ASSERT_EQ(StateGetCurrent(), kStateMainMenu);
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  // Enters room A through the room-load state, as a new game does.
  void EnterRoomA() {
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A"));
    ASSERT_THAT(TakeReports(), ElementsAre("A loaded", "A 1 APPSCRIPTENTER"));
  }
  // Sends the room script an event, with the argument its routines take.
  static void Tell(const std::string& event, const std::string& argument = "") {
    StateVariableSetString(kStateGame, "ARG", argument);
    ScriptEventSend(RoomScriptId(), 2, event);
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }
  std::vector<std::string> ErrorsSince(size_t& seen) const {
    return ErrorsLoggedSince(program_, seen);
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

TEST_F(RoomTest, ARoomChangesAtTheStartOfTheNextFrameToTheLastRoomAskedFor) {
  EnterRoomA();
  const int32_t roomA = RoomScriptId();
  size_t seen = 0;
  ErrorsSince(seen);

  // Asked twice within one frame: nothing happens until the next frame,
  // which loads the last room once and runs it in that same frame.
  Tell("TWOROOMS");
  EXPECT_EQ(RoomScriptId(), roomA);
  EXPECT_THAT(TakeReports(), ElementsAre("A 2 TWOROOMS"));
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("C loaded"));
  EXPECT_FALSE(ScriptExists(roomA));
  EXPECT_GT(RoomScriptId(), roomA);
  EXPECT_EQ(StateVariableGetString(kStateGame, "Script Room File"), "C");
  const int32_t roomC = RoomScriptId();
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), IsEmpty());
  EXPECT_EQ(RoomScriptId(), roomC);
  EXPECT_EQ(GameScriptId(kScriptRoom), roomC);
  EXPECT_THAT(ErrorsSince(seen), IsEmpty());

  // A room whose listener still waits is replaced all the same, with a word.
  Tell("BUSY", "A");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("C 2 BUSY", "A loaded"));
  EXPECT_THAT(ErrorsSince(seen),
              ElementsAre("RoomLoad - Room script is processing when being replaced."));

  // A room without its script ends the game.
  Tell("LOAD", "X");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(ErrorsSince(seen),
              ElementsAre("ScriptFileLoad - Unable to open script file "
                          "\"Bin\\Rooms\\X\\Scripts\\X.vmc\".",
                          "RoomLoad - Unable to load script \"Bin\\Rooms\\X\\Scripts\\X.vmc\"."));
  EXPECT_EQ(StateGetCurrent(), kStateFatalError);
  EXPECT_EQ(RoomScriptId(), -1);
  EXPECT_FALSE(GameFrame());
}

TEST_F(RoomTest, TheSettersReadTheFilesTheirArgumentNames) {
  EnterRoomA();
  size_t seen = 0;
  ErrorsSince(seen);

  // A room name: the designed files of its "Background" folder.
  Tell("MATS", "Nowhere");
  const std::string folder = "Bin\\Rooms\\Nowhere\\Background\\";
  const auto missing = [&folder](const char* file) {
    return "MatOpenRaw - Unable to open \"" + folder + file + "\".";
  };
  EXPECT_THAT(ErrorsSince(seen), ElementsAre(missing("Depth Layers.mat"),
                                             missing("Depth Agent.mat"), missing("Walk Area.mat"),
                                             missing("Light Agent.mat"), missing("Sound.mat")));

  const std::string hall = "Bin/Rooms/Hall/Background/";
  program_.write(hall + "Depth Layers.mat", MatFileBytes(FloorMat(1)));
  program_.write(hall + "Depth Agent.mat", MatFileBytes(FloorMat(2)));
  program_.write(hall + "Walk Area.mat", MatFileBytes(FloorMat(3)));
  program_.write(hall + "Light Agent.mat", MatFileBytes(FloorMat(4)));
  program_.write(hall + "Sound.mat", MatFileBytes(FloorMat(5)));
  PathTree tree;
  tree.floorColor = 0x00FF00;
  tree.nodes = {{1, 0, {1}}, {2, 0, {0}}};
  program_.write(hall + "Path Tree.pth", PathTreeText(tree));
  program_.write("Rooms2/Hall.mat", MatFileBytes(FloorMat(7)));
  tree.nodes.resize(1);
  tree.nodes[0].links.clear();
  program_.write("Rooms2/Hall.pth", PathTreeText(tree));

  Tell("MATS", "Hall");
  Tell("PATH", "Hall");
  EXPECT_EQ(RoomAgentDepthMat().width, 2);
  EXPECT_EQ(RoomFloorMat().width, 3);
  EXPECT_EQ(RoomLightMat().width, 4);
  EXPECT_EQ(RoomPathTree().nodes.size(), 2u);

  // With a backslash: exactly that file.
  Tell("MATS", "Rooms2\\Hall.mat");
  Tell("PATH", "Rooms2\\Hall.pth");
  EXPECT_EQ(RoomAgentDepthMat().width, 7);
  EXPECT_EQ(RoomFloorMat().width, 7);
  EXPECT_EQ(RoomLightMat().width, 7);
  EXPECT_EQ(RoomPathTree().nodes.size(), 1u);
  EXPECT_EQ(RoomPathTree().floorColor, 0x00FF00);

  // Empty: cleared.
  Tell("MATS", "");
  Tell("PATH", "");
  EXPECT_EQ(RoomAgentDepthMat().width, 0);
  EXPECT_EQ(RoomFloorMat().width, 0);
  EXPECT_EQ(RoomLightMat().width, 0);
  EXPECT_THAT(RoomPathTree().nodes, IsEmpty());
  EXPECT_EQ(RoomPathTree().floorColor, 0);
  EXPECT_THAT(ErrorsSince(seen), IsEmpty());

  // The room's data is released at shutdown.
  Tell("MATS", "Hall");
  GameShutdown();
  EXPECT_EQ(RoomFloorMat().width, 0);
  EXPECT_EQ(RoomScriptId(), 0);
}

TEST_F(RoomTest, TheScaleLineGivesEachRowItsScale) {
  EnterRoomA();
  // Until a room sets it, every row has scale 1.
  EXPECT_FLOAT_EQ(RoomScaleForRow(0), 1.0f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(5000), 1.0f);

  Tell("SCALE");  // row B 400 at 100 %, row A 200 at 50 %
  EXPECT_FLOAT_EQ(RoomScaleForRow(200), 0.5f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(300), 0.75f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(400), 1.0f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(500), 1.25f);  // outside the rows the line goes on
  EXPECT_FLOAT_EQ(RoomScaleForRow(0), 0.0f);

  // One row for both: scale A everywhere.
  Tell("FLAT");
  EXPECT_FLOAT_EQ(RoomScaleForRow(300), 0.6f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(-100000), 0.6f);

  // Rows a whole integer range apart do not overflow.
  Tell("HUGE");
  EXPECT_FLOAT_EQ(RoomScaleForRow(INT_MIN), 0.5f);
  EXPECT_FLOAT_EQ(RoomScaleForRow(INT_MAX), 1.0f);
  EXPECT_NEAR(RoomScaleForRow(0), 0.75f, 1e-6f);
}

TEST_F(RoomTest, DamagedMatsAreEmptyAndTheRoomPlaysOn) {
  EnterRoomA();
  // A valid floor first: a damaged file must not leave it in place.
  program_.write("Bin/Rooms/Hall/Background/Walk Area.mat", MatFileBytes(FloorMat(3)));
  PathTree tree;
  tree.floorColor = 0x00FF00;
  tree.nodes = {{0, 0, {}}};
  program_.write("Bin/Rooms/Hall/Background/Path Tree.pth", PathTreeText(tree));
  Tell("PATH", "Hall");

  std::string whole = MatFileBytes(FloorMat(40));
  std::string badIndex = whole;
  badIndex.back() = 1;  // the last run names an entry that does not exist
  std::string huge = whole.substr(0, 5) + std::string("\x60\xEA\0\0\x60\xEA\0\0", 8) +
                     whole.substr(13) + std::string(1000, '\xFF');
  struct Case {
    std::string contents;
    std::string message;
  };
  const std::vector<Case> cases = {
      {whole.substr(0, whole.size() - 2), "MatOpenRawEmbedded - Unable to read mat run length."},
      {badIndex, "MatOpenRawEmbedded - Invalid mat run index \"1\"."},
      {huge,
       "MatOpenRawEmbedded - Mat of 60000 x 60000 pixels exceeds the limit of 67108864 pixels."},
  };
  size_t seen = 0;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.message);
    Tell("MATS", "Hall");
    ASSERT_EQ(RoomFloorMat().width, 3);
    PathWalker walker;
    walker.position = {0, 0};
    EXPECT_TRUE(RoomWalkRequest(walker, {2, 0}));

    program_.write("Bad/Mat.mat", test.contents);
    ErrorsSince(seen);
    Tell("MATS", "Bad\\Mat.mat");
    EXPECT_THAT(ErrorsSince(seen),
                ElementsAre(test.message, test.message, test.message, test.message, test.message));
    EXPECT_FALSE(MatIsValid(RoomAgentDepthMat()));
    EXPECT_FALSE(MatIsValid(RoomFloorMat()));
    EXPECT_FALSE(MatIsValid(RoomLightMat()));
    walker = PathWalker{};
    EXPECT_FALSE(RoomWalkRequest(walker, {2, 0}));
    EXPECT_THAT(walker.waypoints, IsEmpty());

    ASSERT_TRUE(GameFrame());
    EXPECT_EQ(StateGetCurrent(), kStateGame);
    TakeReports();
    Tell("PING");
    EXPECT_THAT(TakeReports(), ElementsAre("A 2 PING"));
  }
}

TEST_F(RoomTest, ANewGameRunsTheStartScriptAndEntersItsRoom) {
  const int32_t menu = GameScriptId(kScriptMainMenu);
  // Without the start script the game cannot begin: the routine ends the
  // menu's thread before it asks for the new game.
  ScriptEventSend(menu, 2, "NEWGAME");
  EXPECT_THAT(TakeReports(), IsEmpty());
  EXPECT_EQ(StateGetCurrent(), kStateFatalError);
  EXPECT_THAT(program_.read("results.log"),
              HasSubstr("Error: FileGameStateInit - Unable to load game start script."));
  EXPECT_FALSE(GameFrame());

  // With it, its initial code names the first room, which the room-load
  // state enters.
  WriteScript(program_, "Bin/gameStart.vmc", R"(stateSetString(3, "Script Room File", "B");)");
  StateSet(kStateMainMenu);
  ScriptEventSend(GameScriptId(kScriptMainMenu), 2, "NEWGAME");
  EXPECT_THAT(TakeReports(), ElementsAre("initialised"));
  EXPECT_EQ(StateGetCurrent(), kStateRoomLoad);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateGame);
  EXPECT_THAT(TakeReports(), ElementsAre("B loaded", "B 1 APPSCRIPTENTER"));
  EXPECT_EQ(GameScriptId(kScriptMainMenu), 0);
  EXPECT_THAT(program_.read("results.log"), Not(HasSubstr("RoomLoad")));
}

}  // namespace
