// Agents living frame by frame on the manual clock: walks along waypoints in
// strides taken from their sheets, scaled by the room's scale line, scripted
// animations with their repeats, the mouth that follows the spoken letters,
// and a walk that ends off the floor.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/path.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "tests/framework/model/model_testing.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kMenu = "on event(code, name) { }";

// The room reports its events but the per-frame one. Its event WALK starts
// a thread that sends the hero on a walk and polls until it is over.
constexpr const char* kRoom = R"(
  routine REPORT, AppAgentWalkTo, AppActionsDone;
  on event(code, name) {
    if (code != 3) { REPORT("event " + code + " " + name); }
    if (name == "WALK") {
      fork {
        AppAgentWalkTo("Hero", 250, 100, "Arrived");
        var done = false;
        AppActionsDone(out done);
        while (not done) { yield; AppActionsDone(out done); }
        REPORT("resumed");
      }
    }
  }
)";

// The room is 300 x 450 pixels of floor but for a wall at x = 150 from the
// top down to row 159; the path tree's one node lies below the wall.
constexpr int32_t kFloor = 0x00FF00;
constexpr int32_t kWall = 0xFF0000;
Mat RoomFloor() {
  Mat mat;
  mat.entries = {{"floor", kFloor}, {"wall", kWall}};
  mat.width = 300;
  mat.height = 450;
  mat.data.assign(static_cast<size_t>(mat.width * mat.height), 0);
  for (int32_t y = 0; y < 160; ++y) {
    mat.data[static_cast<size_t>(y * mat.width + 150)] = 1;
  }
  return mat;
}

// One frame of a sheet: its property lines.
struct SheetFrame {
  std::vector<std::string> properties;
};

// A sheet of the given frames, each showing the same 8 x 8 image.
std::string SheetText(const std::vector<SheetFrame>& frames) {
  std::string text = "1.0\r\n" + std::to_string(frames.size()) + "\r\n";
  for (const SheetFrame& frame : frames) {
    text += "frame.tga\r\n" + std::to_string(frame.properties.size()) + "\r\n";
    for (const std::string& property : frame.properties) {
      text += property + "\r\n";
    }
  }
  return text;
}

// A walking set whose every step strides (dx, dy) pixels at scale 1.
std::vector<SheetFrame> WalkFrames(int32_t dx, int32_t dy) {
  const std::string next = "next=" + std::to_string(dx) + "," + std::to_string(dy);
  return std::vector<SheetFrame>(4, {{"sprite=4,8", "prev=0,0", next}});
}

constexpr const char* kFolder = "Bin/Agents/";

class AgentUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    WriteScript(program_, "Bin/Rooms/A/Scripts/A.vmc", kRoom);
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    program_.write("Bin/Rooms/A/Background/Walk Area.mat", MatFileBytes(RoomFloor()));
    PathTree tree;
    tree.floorColor = kFloor;
    tree.blockColor = kWall;
    tree.nodes = {{150, 180, {}}};
    program_.write("Bin/Rooms/A/Background/Path Tree.pth", PathTreeText(tree));
    WriteTga(program_, std::string(kFolder) + "frame.tga",
             MakeImage(8, 8, [](int32_t, int32_t) { return 0xFF808080u; }));
    WriteSheet("stand.txt", {{{"sprite=4,8"}}});
    WriteSheet("right.txt", WalkFrames(10, 0));
    WriteSheet("left.txt", WalkFrames(-10, 0));
    WriteSheet("up.txt", WalkFrames(0, -10));
    WriteSheet("down.txt", WalkFrames(0, 10));
    WriteSheet("head.txt", std::vector<SheetFrame>(11, {{"head=4,2"}}));

    // Without frame pacing the clock moves only when the test moves it.
    platform_ = std::make_unique<HeadlessPlatform>(
        program_.path(), std::vector<std::string>{"-userdatainapp", "-novsync"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A"));
    RoomSetFloorMat("A");
    RoomSetWalkPath("A");
    reports_.clear();
    ErrorsSince(seen_);
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  void WriteSheet(const std::string& name, const std::vector<SheetFrame>& frames) {
    program_.write(kFolder + name, SheetText(frames));
  }
  // An agent with every standing, walking and head set, standing at (x, y).
  static int32_t AddAgent(const std::string& name, int32_t x, int32_t y) {
    const int32_t id = AgentAdd(name);
    const std::string folder = "Bin\\Agents\\";
    for (int32_t slot = 0; slot < 4; ++slot) {
      AgentSetAnimation(id, slot, folder + "stand.txt");
    }
    AgentSetAnimation(id, kAgentWalkRight, folder + "right.txt");
    AgentSetAnimation(id, kAgentWalkUp, folder + "up.txt");
    AgentSetAnimation(id, kAgentWalkDown, folder + "down.txt");
    AgentSetAnimation(id, kAgentWalkLeft, folder + "left.txt");
    for (int32_t slot = kAgentHeadSlots; slot < kAgentHeadSlots + 4; ++slot) {
      AgentSetAnimation(id, slot, folder + "head.txt");
    }
    AgentMove(id, x, y);
    return id;
  }
  static PathPoint Position(int32_t id) { return {AgentGet(id)->x, AgentGet(id)->y}; }
  static void Frame(uint32_t milliseconds) {
    PlatformClockAdvance(milliseconds);
    ASSERT_TRUE(GameFrame());
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }
  std::vector<std::string> ErrorsSince(size_t& seen) const {
    return ErrorsLoggedSince(program_, seen);
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
  size_t seen_ = 0;
};

TEST_F(AgentUpdateTest, AWalkStridesEveryTickAroundTheWallAndTheWaitingThreadResumesOnArrival) {
  const int32_t hero = AddAgent("Hero", 50, 100);
  ScriptEventSend(RoomScriptId(), 2, "WALK");
  ASSERT_NO_FATAL_FAILURE(Frame(0));  // the thread starts the walk
  EXPECT_THAT(TakeReports(), ElementsAre("event 2 WALK"));
  ASSERT_THAT(AgentGet(hero)->waypoints,
              ElementsAre(PathWaypoint{50, 100, true}, PathWaypoint{150, 180, false},
                          PathWaypoint{250, 100, false}));
  EXPECT_EQ(AgentGet(hero)->currentWaypoint, 1);

  // Ten strides of 10 pixels right (the slope gives 8 down), then ten up
  // the other leg; half ticks move nothing. The thread and the room hear
  // of the arrival in the frame of the last stride.
  std::vector<PathPoint> expected;
  for (int32_t step = 1; step <= 20; ++step) {
    const int32_t down = step <= 10 ? 8 * step : 80 - 8 * (step - 10);
    expected.push_back({50 + 10 * step, 100 + down});
  }
  std::vector<PathPoint> seen;
  std::vector<size_t> resumed;
  for (size_t tick = 0; tick < expected.size() + 2; ++tick) {
    const PathPoint before = Position(hero);
    ASSERT_NO_FATAL_FAILURE(Frame(50));
    EXPECT_EQ(Position(hero), before) << "half tick " << tick;
    EXPECT_THAT(TakeReports(), IsEmpty());
    ASSERT_NO_FATAL_FAILURE(Frame(50));
    if (Position(hero) != before) {
      seen.push_back(Position(hero));
    }
    for (const std::string& report : TakeReports()) {
      resumed.push_back(tick);
      EXPECT_THAT(report, ::testing::AnyOf("event 10 ARRIVED", "resumed"));
    }
  }
  EXPECT_THAT(seen, ElementsAreArray(expected));
  EXPECT_THAT(resumed, ElementsAre(19, 19));
  // Walking right ends facing right, on the standing set for it.
  EXPECT_EQ(AgentGet(hero)->facing, 2);
  EXPECT_EQ(AgentGet(hero)->bodySlot, 2);
  EXPECT_EQ(AgentGet(hero)->currentWaypoint, 3);
  EXPECT_THAT(ErrorsSince(seen_), IsEmpty());
}

TEST_F(AgentUpdateTest, TheRoomsScaleLineShortensTheStride) {
  RoomSetScale(400, 100, 200, 50);
  const int32_t near = AddAgent("Near", 50, 400);
  const int32_t far = AddAgent("Far", 50, 200);
  const int32_t back = AddAgent("Back", 250, 200);
  AgentWalkTo(1, 1, near, "", 120, 400);
  AgentWalkTo(1, 2, far, "", 120, 200);
  AgentWalkTo(1, 3, back, "", 180, 200);
  ASSERT_NO_FATAL_FAILURE(Frame(0));
  EXPECT_FLOAT_EQ(AgentGet(far)->scale, 0.5f);
  for (int32_t tick = 1; tick <= 3; ++tick) {
    ASSERT_NO_FATAL_FAILURE(Frame(100));
    EXPECT_EQ(Position(near), (PathPoint{50 + 10 * tick, 400}));
    EXPECT_EQ(Position(far), (PathPoint{50 + 5 * tick, 200}));
    EXPECT_EQ(Position(back), (PathPoint{250 - 5 * tick, 200}));
  }
  EXPECT_EQ(AgentGet(back)->bodySlot, kAgentWalkLeft);
  EXPECT_EQ(AgentGet(back)->facing, 3);

  // A floor cleared under a walk has no seam: the walks go on stride by stride.
  RoomSetFloorMat("");
  ASSERT_NO_FATAL_FAILURE(Frame(100));
  EXPECT_EQ(Position(near), (PathPoint{90, 400}));
  EXPECT_EQ(Position(back), (PathPoint{230, 200}));
}

TEST_F(AgentUpdateTest, AWalkAcrossTheSeamGoesTheShortWayRound) {
  RoomPathTree().wrap = true;
  const int32_t hero = AddAgent("Hero", 20, 300);
  AgentWalkTo(1, 1, hero, "", 280, 300);
  ASSERT_EQ(AgentGet(hero)->waypoints.size(), 2u);
  std::vector<PathPoint> seen;
  while (AgentGet(hero)->currentWaypoint < 2 && seen.size() < 30) {
    ASSERT_NO_FATAL_FAILURE(Frame(100));
    seen.push_back(Position(hero));
  }
  // Left over the edge: the waypoint lies to the right until the step that
  // wraps, which must not count as passing it.
  EXPECT_THAT(seen, ElementsAre(PathPoint{10, 300}, PathPoint{0, 300}, PathPoint{290, 300},
                                PathPoint{280, 300}));
  EXPECT_EQ(AgentGet(hero)->bodySlot, 3);
  EXPECT_EQ(AgentGet(hero)->facing, 3);
  EXPECT_TRUE(ActionsDone(1, 1));
}

TEST_F(AgentUpdateTest, ScriptedAnimationsCountTheirRepeatsAndHoldOnANegativeOne) {
  const int32_t hero = AddAgent("Hero", 100, 300);
  // Three frames of three ticks each, each stepping 4 pixels right.
  WriteSheet("bow.txt", std::vector<SheetFrame>(3, {{"sprite=4,8", "next=4,0", "repeat=3"}}));
  AgentAnimate(7, 1, "hero", false, "Bin\\Agents\\bow.txt");
  std::vector<int32_t> frames{AgentGet(hero)->bodyFrame};
  std::vector<int32_t> xs{AgentGet(hero)->x};
  std::vector<bool> done{ActionsDone(7, 1)};
  while (AgentGet(hero)->bodySlot == kAgentScripted && frames.size() < 20) {
    ASSERT_NO_FATAL_FAILURE(Frame(100));
    frames.push_back(AgentGet(hero)->bodySlot == kAgentScripted ? AgentGet(hero)->bodyFrame : -1);
    xs.push_back(AgentGet(hero)->x);
    done.push_back(ActionsDone(7, 1));
  }
  EXPECT_THAT(frames, ElementsAre(0, 0, 0, 1, 1, 1, 2, 2, 2, -1));
  EXPECT_THAT(xs, ElementsAre(100, 100, 100, 104, 104, 104, 108, 108, 108, 108));
  EXPECT_THAT(done,
              ElementsAre(false, false, false, false, false, false, false, false, false, true));
  // Back on the standing set of its facing, the frames let go.
  EXPECT_EQ(AgentGet(hero)->bodySlot, 3);
  EXPECT_THAT(AgentGet(hero)->animations[kAgentScripted].frames, IsEmpty());

  // A last frame of repeat -1 ends the action as it is entered and stays.
  WriteSheet("point.txt", {{{"sprite=4,8"}}, {{"repeat=-1"}}});
  AgentAnimate(7, 2, "HERO", false, "Bin\\Agents\\point.txt");
  EXPECT_FALSE(ActionsDone(7, 2));
  ASSERT_NO_FATAL_FAILURE(Frame(100));
  EXPECT_EQ(AgentGet(hero)->bodyFrame, 1);
  EXPECT_TRUE(ActionsDone(7, 2));
  for (int32_t tick = 0; tick < 5; ++tick) {
    ASSERT_NO_FATAL_FAILURE(Frame(100));
  }
  EXPECT_EQ(AgentGet(hero)->bodySlot, kAgentScripted);
  EXPECT_EQ(AgentGet(hero)->bodyFrame, 1);
  EXPECT_THAT(ErrorsSince(seen_), IsEmpty());
}

TEST_F(AgentUpdateTest, TheMouthFollowsTheSpokenLetters) {
  const int32_t hero = AddAgent("Hero", 100, 300);
  ASSERT_NO_FATAL_FAILURE(Frame(0));
  Agent& agent = *AgentGet(hero);
  EXPECT_EQ(agent.headSlot, 11);  // standing set 3 talks with the head of any other set
  const uint32_t start = StateGetTime(kStateGame);
  agent.speechText = "HELLO";
  agent.speechStart = start;
  agent.speechEnd = start + 1000;
  agent.speechAction = ActionAdd(7, 3, "HERO", "", kActionSpeech);
  agent.speechSound = -1;  // no voice
  std::vector<int32_t> mouths;
  for (int32_t tick = 0; tick < 6; ++tick) {
    ASSERT_NO_FATAL_FAILURE(Frame(tick == 0 ? 0 : 250));
    mouths.push_back(agent.headFrame);
  }
  // H, E, L, L, O over the second, then the line is over and the mouth shut.
  EXPECT_THAT(mouths, ElementsAre(5, 3, 6, 6, 2, 0));
  EXPECT_EQ(agent.speechEnd, 0u);
  EXPECT_TRUE(ActionsDone(7, 3));

  // Without lip-sync, and with an empty text, the mouth stays shut.
  agent.speechText = "";
  agent.speechStart = StateGetTime(kStateGame);
  agent.speechEnd = agent.speechStart + 1000;
  ASSERT_NO_FATAL_FAILURE(Frame(100));
  EXPECT_EQ(agent.headFrame, 0);
  agent.speechText = "AAAA";
  agent.lipSync = false;
  ASSERT_NO_FATAL_FAILURE(Frame(100));
  EXPECT_EQ(agent.headFrame, 0);
}

TEST_F(AgentUpdateTest, AWalkEndingOffTheFloorTeleportsToTheNearestFloor) {
  const int32_t hero = AddAgent("Hero", 150, 50);  // inside the wall
  Agent& agent = *AgentGet(hero);
  agent.waypoints = {{150, 50, true}, {150, 50, false}};
  agent.currentWaypoint = 1;
  agent.walkAction = ActionAdd(7, 4, "HERO", "", kActionWalk);
  ASSERT_NO_FATAL_FAILURE(Frame(100));
  EXPECT_THAT(ErrorsSince(seen_),
              ElementsAre("AgentUpdate - Walk destination (150, 50) not valid.  Teleporting to "
                          "walkable position (151, 50)."));
  EXPECT_EQ(Position(hero), (PathPoint{151, 50}));
  EXPECT_THAT(agent.waypoints, IsEmpty());
  EXPECT_EQ(agent.bodySlot, 2);
  EXPECT_TRUE(ActionsDone(7, 4));
}

}  // namespace
