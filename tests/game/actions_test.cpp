// Pending actions and inventories in a running game on the headless
// platform: which threads are done, the room script hearing of finished
// walks, a room change dropping everything, and the inventory routines as a
// script sees them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/state/state.h"
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
using ::testing::IsEmpty;

// A room that reports its load and its events (but the per-frame one), and
// calls PROBE when a walk ends. On
// "INVENTORY" it runs the inventory routines over the agent named by the
// Game state's variable "ARG" and reports what they give.
std::string Room(const std::string& name) {
  return R"(
    routine REPORT, PROBE, AppRoomLoad, AppAgentInventoryAdd, AppAgentInventoryCount,
            AppAgentInventoryEmpty, AppAgentInventoryFirst, AppAgentInventoryHasItem,
            AppAgentInventoryName, AppAgentInventoryRemove, AppAgentInventorySelect,
            AppAgentInventorySelectedIndex, AppAgentInventorySelectedName,
            AppAgentInventorySetHighlight;
    REPORT(")" +
         name + R"( loaded");

    func state(agent: string) {
      var count = 7;
      var first = 7;
      var selected = 7;
      var selectedName = "x";
      var has = false;
      var second = "x";
      AppAgentInventoryCount(agent, out count);
      AppAgentInventoryFirst(agent, out first);
      AppAgentInventorySelectedIndex(agent, out selected);
      AppAgentInventorySelectedName(agent, out selectedName);
      AppAgentInventoryHasItem(agent, "pipe", out has);
      AppAgentInventoryName(agent, 1, out second);
      REPORT("count " + count + " first " + first + " selected " + selected + " " +
             selectedName + " pipe " + has + " second " + second);
    }

    on event(code, name) {
      if (code != 3) { REPORT(")" +
         name + R"( " + code + " " + name); }
      if (code == 10) { PROBE(); }
      var argument = stateGetString(3, "ARG");
      if (name == "LOAD") { AppRoomLoad(argument); }
      if (name == "INVENTORY") {
        state(argument);
        AppAgentInventoryAdd(argument, "Lens", "Bin\\lens.tga");
        AppAgentInventoryAdd(argument, "Pipe", "Bin\\pipe.tga");
        AppAgentInventoryAdd(argument, "Note", "Bin\\note.tga");
        AppAgentInventorySetHighlight(argument, "Bin\\ring.tga");
        AppAgentInventorySelect(argument, 2);
        state(argument);
        AppAgentInventorySelect(argument, 3);
        state(argument);
        AppAgentInventorySelect(argument, 1);
        AppAgentInventoryRemove(argument, "LENS");
        state(argument);
        var empty = 7;
        AppAgentInventoryEmpty(argument, out empty);
        REPORT("emptied " + empty);
        state(argument);
      }
    }
  )";
}

class ActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"A", "B"}) {
      WriteScript(program_, std::string("Bin/Rooms/") + name + "/Scripts/" + name + ".vmc",
                  Room(name));
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    ScriptAppRoutineRegister("PROBE", [this](int32_t, int32_t) {
      if (probe_) {
        probe_();
      }
      return 1;
    });
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A"));
    ASSERT_THAT(TakeReports(), ElementsAre("A loaded", "A 1 APPSCRIPTENTER"));
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  // Sends the room script an event, with the argument its routines take.
  static void Tell(const std::string& event, const std::string& argument = "") {
    StateVariableSetString(kStateGame, "ARG", argument);
    ScriptEventSend(RoomScriptId(), 2, event);
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
  std::function<void()> probe_;
};

TEST_F(ActionsTest, AThreadIsDoneWhenEveryActionItStartedIsCompleteOrRemoved) {
  // Ids count from 1 in a new game, across every thread.
  ActionHandle walk = ActionAdd(4, 1, "HOLMES", "", kActionWalk);
  ActionHandle speech = ActionAdd(4, 2, "HOLMES", "", kActionSpeech);
  ActionHandle animation = ActionAdd(4, 1, "HOLMES", "", kActionAnimation);
  ActionHandle sound = ActionAdd(5, 1, "SFX", "", kActionSound);
  EXPECT_EQ(walk.id, 1);
  EXPECT_EQ(speech.id, 2);
  EXPECT_EQ(animation.id, 3);
  EXPECT_EQ(sound.id, 4);
  EXPECT_EQ(animation.script, 4);
  EXPECT_EQ(animation.thread, 1);
  EXPECT_FALSE(ActionsDone(4, 1));
  EXPECT_FALSE(ActionsDone(4, 2));
  EXPECT_FALSE(ActionsDone(5, 1));
  EXPECT_TRUE(ActionsDone(5, 2));

  // A thread waits for all of its actions, whatever the order they end in;
  // other threads' actions do not hold it.
  ActionComplete(animation);
  EXPECT_EQ(animation.id, 0);
  EXPECT_FALSE(ActionsDone(4, 1));
  ActionComplete(walk);
  EXPECT_TRUE(ActionsDone(4, 1));
  EXPECT_FALSE(ActionsDone(4, 2));

  // Completing again, or a none handle, changes nothing; a new action of
  // the thread makes it wait again and takes the next id.
  ActionComplete(walk);
  ActionHandle again = ActionAdd(4, 1, "WATSON", "", kActionAnimation);
  EXPECT_EQ(again.id, 5);
  EXPECT_FALSE(ActionsDone(4, 1));

  // The skipped cutscene's thread stops waiting at once; its handle is
  // then spent.
  ActionRemoveThread(4, 1);
  EXPECT_TRUE(ActionsDone(4, 1));
  ActionComplete(again);
  EXPECT_EQ(again.id, 0);
  EXPECT_FALSE(ActionsDone(4, 2));
  ActionComplete(speech);
  ActionComplete(sound);
  EXPECT_TRUE(ActionsDone(4, 2));
  EXPECT_TRUE(ActionsDone(5, 1));
  EXPECT_THAT(TakeReports(), IsEmpty());
}

TEST_F(ActionsTest, AFinishedWalkTellsTheRoomItsRoutineAndRemovedWalksTellNothing) {
  const int32_t room = RoomScriptId();
  // The room hears of the walk after it left the table: its handler may
  // start the next walk or ask whether the walker's thread is done.
  bool doneWhenHeard = false;
  probe_ = [&] { doneWhenHeard = ActionsDone(room, 1); };
  ActionHandle walk = ActionAdd(room, 1, "HOLMES", "atTheDoor", kActionWalk);
  ActionComplete(walk);
  EXPECT_THAT(TakeReports(), ElementsAre("A 10 ATTHEDOOR"));
  EXPECT_TRUE(doneWhenHeard);

  // Only walks with a routine name are told.
  ActionHandle plain = ActionAdd(room, 1, "HOLMES", "", kActionWalk);
  ActionHandle speech = ActionAdd(room, 1, "HOLMES", "atTheDoor", kActionSpeech);
  ActionComplete(plain);
  ActionComplete(speech);
  EXPECT_THAT(TakeReports(), IsEmpty());

  // A new walk order removes the agent's walks by its stored name, in
  // every thread, leaving its other actions and other agents' walks.
  ActionHandle first = ActionAdd(room, 1, "HOLMES", "toDesk", kActionWalk);
  ActionHandle second = ActionAdd(room, 2, "HOLMES", "toWindow", kActionWalk);
  ActionHandle animation = ActionAdd(room, 2, "HOLMES", "", kActionAnimation);
  ActionHandle other = ActionAdd(room, 3, "WATSON", "toChair", kActionWalk);
  ActionHandle spelled = ActionAdd(room, 4, "Holmes", "toStairs", kActionWalk);
  ActionRemoveWalks("HOLMES");
  EXPECT_TRUE(ActionsDone(room, 1));
  EXPECT_FALSE(ActionsDone(room, 2));
  EXPECT_FALSE(ActionsDone(room, 3));
  EXPECT_FALSE(ActionsDone(room, 4));
  ActionComplete(first);
  ActionComplete(second);
  ActionComplete(animation);
  EXPECT_THAT(TakeReports(), IsEmpty());
  EXPECT_TRUE(ActionsDone(room, 2));
  ActionComplete(other);
  ActionComplete(spelled);
  EXPECT_THAT(TakeReports(), ElementsAre("A 10 TOCHAIR", "A 10 TOSTAIRS"));
}

TEST_F(ActionsTest, ARoomChangeDropsEveryActionWithoutTellingTheNextRoom) {
  ActionHandle walk = ActionAdd(RoomScriptId(), 1, "HOLMES", "toDoor", kActionWalk);
  ActionHandle speech = ActionAdd(RoomScriptId(), 2, "WATSON", "", kActionSpeech);
  ActionHandle sound = ActionAdd(9, 0, "SFX", "", kActionSound);
  Tell("LOAD", "B");
  ASSERT_TRUE(GameFrame());
  EXPECT_THAT(TakeReports(), ElementsAre("A 2 LOAD", "B loaded"));
  EXPECT_TRUE(ActionsDone(walk.script, 1));
  EXPECT_TRUE(ActionsDone(walk.script, 2));
  EXPECT_TRUE(ActionsDone(9, 0));
  // The owners' handles find nothing: the new room hears of no walk.
  ActionComplete(walk);
  ActionComplete(speech);
  ActionComplete(sound);
  EXPECT_EQ(walk.id, 0);
  EXPECT_THAT(TakeReports(), IsEmpty());
  // Ids go on counting: a handle kept from the old room never matches a new action.
  EXPECT_EQ(ActionAdd(RoomScriptId(), 1, "HOLMES", "", kActionWalk).id, 4);
}

TEST_F(ActionsTest, TheInventoryRoutinesGiveTheDesignedValues) {
  ASSERT_GE(AgentAdd("Holmes"), 0);
  Tell("INVENTORY", "holmes");
  EXPECT_THAT(TakeReports(),
              ElementsAre("A 2 INVENTORY", "count 0 first 0 selected -1  pipe false second ",
                          // Three items; the selection is a position within them.
                          "count 3 first 0 selected 2 NOTE pipe true second PIPE",
                          "count 3 first 0 selected -1  pipe true second PIPE",
                          // Removing an earlier item shifts the selection with its item.
                          "count 2 first 0 selected 0 PIPE pipe true second NOTE", "emptied 0",
                          "count 0 first 0 selected -1  pipe false second "));
  // Items are held in upper case; the variables follow who holds them.
  EXPECT_FALSE(StateVariableGetBool(kStateGame, "Lens location"));
  EXPECT_FALSE(StateVariableGetBool(kStateGame, "PIPE location"));
  EXPECT_EQ(StateVariableGet(kStateGame, "NOTE LOCATION").type, kStateVariableBool);

  // Without the agent every routine gives its default and nothing is set.
  Tell("INVENTORY", "Moriarty");
  EXPECT_THAT(TakeReports(),
              ElementsAre("A 2 INVENTORY", "count 0 first 0 selected -1  pipe false second ",
                          "count 0 first 0 selected -1  pipe false second ",
                          "count 0 first 0 selected -1  pipe false second ",
                          "count 0 first 0 selected -1  pipe false second ", "emptied 0",
                          "count 0 first 0 selected -1  pipe false second "));
  EXPECT_FALSE(StateVariableGetBool(kStateGame, "Lens location"));
}

TEST_F(ActionsTest, RemovingTheSelectedItemClearsTheSelectionAndAddingAgainKeepsThePlace) {
  const int32_t id = AgentAdd("Holmes");
  ASSERT_GE(id, 0);
  for (const char* item : {"lens", "pipe", "note", "key"}) {
    AgentInventoryAdd("HOLMES", item, std::string("Bin\\") + item + ".tga");
  }
  EXPECT_TRUE(StateVariableGetBool(kStateGame, "LENS location"));
  // Adding an item held already keeps its place and takes the new image.
  AgentInventoryAdd("holmes", "PIPE", "Bin\\pipe2.tga");
  const Agent& agent = *AgentGet(id);
  ASSERT_EQ(agent.inventory.size(), 4u);
  EXPECT_EQ(agent.inventory[1].name, "PIPE");
  EXPECT_EQ(agent.inventory[1].imageFile, "Bin\\pipe2.tga");
  EXPECT_EQ(AgentInventoryFind(id, "Note"), 2);
  EXPECT_EQ(AgentInventoryFind(id, "watch"), -1);
  EXPECT_EQ(AgentInventoryFind(-1, "note"), -1);

  // The selection follows its item: later removals leave it, earlier ones
  // shift it, its own clears it.
  AgentInventorySelect("holmes", 2);
  AgentInventoryRemove("holmes", "key");
  AgentInventoryRemove("holmes", "watch");
  EXPECT_EQ(agent.selectedItem, 2);
  AgentInventoryRemove("holmes", "lens");
  EXPECT_EQ(agent.selectedItem, 1);
  EXPECT_EQ(agent.inventory[1].name, "NOTE");
  AgentInventoryRemove("holmes", "Note");
  EXPECT_EQ(agent.selectedItem, -1);
  EXPECT_FALSE(StateVariableGetBool(kStateGame, "note location"));
  EXPECT_TRUE(StateVariableGetBool(kStateGame, "pipe location"));
  ASSERT_EQ(agent.inventory.size(), 1u);
  EXPECT_EQ(agent.inventory[0].name, "PIPE");
  AgentInventorySelect("holmes", 1);
  EXPECT_EQ(agent.selectedItem, -1);
}

}  // namespace
