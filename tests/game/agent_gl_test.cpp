// Agents on a real display (SDL under a virtual X server with Mesa): the
// room script draws its depth buffer and then an agent through an AppObj
// object, and the pixels read back show the agent in front of or behind the
// background's depth, tinted by the room's light, with its head on the body's
// head point.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kMenu = "object Display Screen { display = 1; width = 1280; height = 720; }";

// The room is 200 x 120 pixels. Its background lies at depth 255 but for a
// pillar of depth 100 in columns 95 to 104.
constexpr int32_t kRoomWidth = 200;
constexpr int32_t kRoomHeight = 120;
constexpr int32_t kPillarLeft = 95;
constexpr int32_t kPillarRight = 104;

// The body is a white 20 x 30 picture standing on (10, 30), with its head
// point at (10, 5); the head a blue 8 x 8 picture whose own head point is
// (4, 7).
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kBlack = 0x000000;

// The room reports the depth order events; its event RUN drives an agent
// through the routines the scripts use.
constexpr const char* kRoomCode = R"(
  routine REPORT, AppAgentAdd, AppAgentSetAnimation, AppAgentSetPosition, AppAgentGetPosition,
    AppAgentSetScale, AppAgentGetScale, AppAgentAnimate, AppActionsDone, AppAgentGetDirection,
    AppAgentSetDirection, AppAgentSetDepth;
  on event(code, name) {
    if (code > 1000000) { REPORT(name + " " + code); }
    if (name == "RUN") {
      AppAgentAdd("Guard");
      AppAgentSetAnimation("guard", 3, "Bin\\Agents\\Hero\\stand.txt");
      AppAgentSetPosition("GUARD", 30, 50);
      var x = 0;
      var y = 0;
      AppAgentGetPosition("guard", out x, out y);
      var scale = 0;
      AppAgentSetScale("guard", 150);
      AppAgentGetScale("guard", out scale);
      REPORT("at " + x + " " + y + " scale " + scale);
      AppAgentAnimate("guard", "Bin\\Agents\\missing.txt");
      var done = false;
      AppActionsDone(out done);
      if (done) { REPORT("nothing to wait for"); }
      var direction = 0;
      AppAgentGetDirection("nobody", out direction);
      REPORT("nobody faces " + direction);
    }
    if (name == "DEPTH") { AppAgentSetDepth("guard", 20); }
  }
)";

// A mat of the room's size whose pixels take the entry the function gives.
Mat RoomMat(const std::vector<MatEntry>& entries,
            const std::function<uint8_t(int32_t x, int32_t y)>& entry) {
  Mat mat;
  mat.entries = entries;
  mat.width = kRoomWidth;
  mat.height = kRoomHeight;
  for (int32_t y = 0; y < kRoomHeight; ++y) {
    for (int32_t x = 0; x < kRoomWidth; ++x) {
      mat.data.push_back(entry(x, y));
    }
  }
  return mat;
}

// A sheet of one frame per property list, each showing the image.
std::string Sheet(const std::string& image, const std::vector<std::vector<std::string>>& frames) {
  std::string text = "1.0\r\n" + std::to_string(frames.size()) + "\r\n";
  for (const std::vector<std::string>& properties : frames) {
    text += image + "\r\n" + std::to_string(properties.size()) + "\r\n";
    for (const std::string& property : properties) {
      text += property + "\r\n";
    }
  }
  return text;
}

// A rectangle of screen pixels, right and bottom excluded.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool Contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
};

class AgentGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    program_.write(
        "Bin/Rooms/R/Background/Depth Layers.mat",
        MatFileBytes(RoomMat({{"far", 0x0000FF}, {"pillar", 0x000064}}, [](int32_t x, int32_t) {
          return x >= kPillarLeft && x <= kPillarRight ? 1 : 0;
        })));
    // Red light above row 80, white below.
    program_.write("Bin/Rooms/R/Background/Light Agent.mat",
                   MatFileBytes(RoomMat({{"white", 0xFFFFFF}, {"red", 0xFF0000}},
                                        [](int32_t, int32_t y) { return y < 80 ? 1 : 0; })));
    WriteImage("Bin/Agents/Hero/body.tga", 20, 30, kWhite);
    WriteImage("Bin/Agents/Hero/head.tga", 8, 8, kBlue);
    // Ten standing frames, so that frames past the eighth are placed too;
    // eleven heads, the later ones with a sprite point of their own that
    // their placement must not use.
    std::vector<std::vector<std::string>> stand(10, {"head=10,5"});
    stand[0].push_back("sprite=10,30");
    program_.write("Bin/Agents/Hero/stand.txt", Sheet("body.tga", stand));
    std::vector<std::vector<std::string>> heads(11, {"sprite=3,3", "head=4,7"});
    heads[0] = {"sprite=2,2", "head=4,7"};
    program_.write("Bin/Agents/Hero/head.txt", Sheet("head.tga", heads));

    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    // A frame brings the freshly resized window's drawing surface to its size.
    ASSERT_TRUE(GameFrame());
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), width_, height_);
    ASSERT_GE(width_, kRoomWidth);
    ASSERT_GE(height_, kRoomHeight);

    // The room's screen is the window's size, so that screen and window
    // pixels are the same. "routine" is a reserved word of the language: the
    // depth pass's routine is set in the compiled script.
    const std::string room =
        "object Display Screen { display = 1; width = " + std::to_string(width_) +
        "; height = " + std::to_string(height_) + "; viewMode = 0; }\n" +
        "object Render Depth { display = 1; }\n"
        "object AppObj AgentHero { display = 1; order = 1; render = \"AppRenderAgents\"; }\n" +
        kRoomCode;
    WriteScript(program_, "Bin/Rooms/R/Scripts/R.vmc", room, [](VmcScript& script) {
      for (VmcObject& object : script.objects) {
        if (object.type == kVmcRender) {
          object.render.routine = "AppRenderDepthBuffer";
        }
      }
    });
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("R"));
    RoomSetDepthBuffer("R");
  }
  void TearDown() override { StopWindowedGameForTest(); }

  void WriteImage(const std::string& file, int32_t width, int32_t height, uint32_t colour) {
    ImageFrame* image = nullptr;
    ImageFrameNew(image);
    image->width = width;
    image->height = height;
    image->pixels.assign(static_cast<size_t>(width * height), 0xFF000000u | colour);
    ASSERT_TRUE(ImageSave(program_.write(file, ""), image));
    ImageFree(image);
  }

  // The hero standing with its feet at (x, y), without a head set.
  static int32_t AddHero(int32_t x, int32_t y) {
    const int32_t id = AgentAdd("Hero");
    AgentSetAnimation(id, 3, "Bin\\Agents\\Hero\\stand.txt");
    AgentMove(id, x, y);
    return id;
  }

  // Draws the Game state's picture and reads back the room's pixels as
  // 0xRRGGBB, rows from the top, before the frame is shown.
  std::vector<uint32_t> Render() const {
    GraphicsRenderBegin(GamePrimaryDisplay());
    GameStateRender();
    const std::vector<uint8_t> rgba =
        GraphicsReadPixels({0, height_ - kRoomHeight, kRoomWidth, kRoomHeight});
    GraphicsRenderEnd(GamePrimaryDisplay());
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kRoomHeight; ++y) {
      for (int32_t x = 0; x < kRoomWidth; ++x) {
        const uint8_t* p = &rgba[static_cast<size_t>((kRoomHeight - 1 - y) * kRoomWidth + x) * 4];
        pixels.push_back(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
                         p[2]);
      }
    }
    return pixels;
  }

  // The number of room pixels whose colour differs from the expected one,
  // the first few of them reported.
  static int32_t Mismatches(const std::vector<uint32_t>& pixels,
                            const std::function<uint32_t(int32_t x, int32_t y)>& expected) {
    int32_t wrong = 0;
    for (int32_t y = 0; y < kRoomHeight; ++y) {
      for (int32_t x = 0; x < kRoomWidth; ++x) {
        const uint32_t actual = pixels[static_cast<size_t>(y * kRoomWidth + x)];
        if (actual != expected(x, y) && ++wrong <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << actual
                        << " instead of " << expected(x, y);
        }
      }
    }
    return wrong;
  }

  std::string Log() const { return program_.read("results.log"); }

  TempFolder program_;
  std::vector<std::string> reports_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// The hero stands on (100, 90), its body over the columns 90 to 109 and the
// rows 60 to 89, across the pillar. At depth value 52 it covers the pillar;
// at 132 the pillar hides it there but not where the background lies at 255.
// The hit test agrees with the picture.
TEST_F(AgentGlTest, TheBackgroundsDepthHidesTheAgentBehindItOnly) {
  const int32_t hero = AddHero(100, 90);
  const Rect body{90, 60, 110, 90};
  AgentGet(hero)->fixedDepthSet = true;
  AgentGet(hero)->fixedDepth = 60;
  ASSERT_EQ(AgentDepthValue(hero), 52);
  EXPECT_EQ(
      Mismatches(Render(),
                 [&body](int32_t x, int32_t y) { return body.Contains(x, y) ? kWhite : kBlack; }),
      0);
  EXPECT_TRUE(AgentInObject("AgentHero", 100, 75));  // on the pillar
  EXPECT_TRUE(AgentInObject("AgentHero", 92, 75));
  EXPECT_TRUE(AgentInObject("AgentHero", 110, 90));  // bounds inclusive
  EXPECT_FALSE(AgentInObject("AgentHero", 111, 75));
  EXPECT_FALSE(AgentInObject("AgentXero", 100, 75));

  AgentGet(hero)->fixedDepth = 140;
  ASSERT_EQ(AgentDepthValue(hero), 132);
  EXPECT_EQ(Mismatches(Render(),
                       [&body](int32_t x, int32_t y) {
                         const bool pillar = x >= kPillarLeft && x <= kPillarRight;
                         return body.Contains(x, y) && !pillar ? kWhite : kBlack;
                       }),
            0);
  EXPECT_FALSE(AgentInObject("AgentHero", 100, 75));
  EXPECT_TRUE(AgentInObject("AgentHero", 92, 75));

  // A fixed depth below 8 wraps round to the back; no depth at all is drawn
  // in front of everything.
  AgentGet(hero)->fixedDepth = 3;
  EXPECT_EQ(AgentDepthValue(hero), 251);
  AgentGet(hero)->fixedDepthSet = false;
  EXPECT_EQ(AgentDepthValue(hero), 255);
  EXPECT_EQ(
      Mismatches(Render(),
                 [&body](int32_t x, int32_t y) { return body.Contains(x, y) ? kWhite : kBlack; }),
      0);
}

// The light mat's entry under the feet tints the whole agent; where the
// room has no light, or the feet stand outside it, the agent keeps its
// colours.
TEST_F(AgentGlTest, TheLightUnderTheFeetTintsTheAgent) {
  const int32_t hero = AddHero(40, 70);
  const Rect body{30, 40, 50, 70};
  RoomSetLightMat("R");
  EXPECT_EQ(
      Mismatches(Render(), [&body](int32_t x,
                                   int32_t y) { return body.Contains(x, y) ? 0xFF0000u : kBlack; }),
      0);
  // Feet on a white row: the body reaching up into the red rows stays white.
  AgentMove(hero, 0, 15);
  const Rect lowered{30, 55, 50, 85};
  EXPECT_EQ(Mismatches(Render(),
                       [&lowered](int32_t x, int32_t y) {
                         return lowered.Contains(x, y) ? kWhite : kBlack;
                       }),
            0);
  RoomSetLightMat("");
  AgentMove(hero, 0, -15);
  EXPECT_EQ(
      Mismatches(Render(),
                 [&body](int32_t x, int32_t y) { return body.Contains(x, y) ? kWhite : kBlack; }),
      0);
}

// At scale 2 the body covers (80..119, 40..99) and its head point lies 50
// pixels above the feet; the head frame's own head point goes there, so the
// 16 x 16 head covers (92..107, 36..51). The head is drawn under the body
// unless it is on top; the hit test takes in the part above the body. The
// tenth body frame and the tenth head lie where the first do.
TEST_F(AgentGlTest, TheHeadSitsOnTheBodysHeadPoint) {
  const int32_t hero = AddHero(100, 100);
  AgentSetAnimation(hero, 11, "Bin\\Agents\\Hero\\head.txt");
  ASSERT_TRUE(AgentSetHead(hero, 11));
  AgentGet(hero)->fixedScale = true;
  AgentSetScale(hero, 2.0f);
  // In front of the pillar, so that the hit test does not depend on it.
  AgentGet(hero)->fixedDepthSet = true;
  AgentGet(hero)->fixedDepth = 28;
  const Rect body{80, 40, 120, 100};
  const Rect head{92, 36, 108, 52};
  EXPECT_EQ(Mismatches(Render(),
                       [&](int32_t x, int32_t y) {
                         return body.Contains(x, y) ? kWhite
                                                    : (head.Contains(x, y) ? kBlue : kBlack);
                       }),
            0);
  EXPECT_TRUE(AgentInObject("AgentHero", 100, 37));
  EXPECT_FALSE(AgentInObject("AgentHero", 100, 34));
  AgentGet(hero)->headOnTop = true;
  ASSERT_TRUE(AgentSetBodyFrame(hero, 9));
  ASSERT_TRUE(AgentSetHeadFrame(hero, 9));
  EXPECT_EQ(Mismatches(Render(),
                       [&](int32_t x, int32_t y) {
                         return head.Contains(x, y) ? kBlue
                                                    : (body.Contains(x, y) ? kWhite : kBlack);
                       }),
            0);
  // Back at scale 1 the head shrinks about the same point: no drift.
  AgentSetScale(hero, 1.0f);
  const Rect smallBody{90, 70, 110, 100};
  const Rect smallHead{96, 68, 104, 76};
  EXPECT_EQ(Mismatches(Render(),
                       [&](int32_t x, int32_t y) {
                         return smallHead.Contains(x, y)
                                    ? kBlue
                                    : (smallBody.Contains(x, y) ? kWhite : kBlack);
                       }),
            0);
}

// A second agent of the same name changes nothing; a frame image that is
// missing is reported once, however often the agent asks for it.
TEST_F(AgentGlTest, AddingTwiceKeepsTheFirstAndAMissingFrameIsReportedOnce) {
  const int32_t hero = AddHero(100, 90);
  EXPECT_EQ(AgentAdd("HERO"), -1);
  EXPECT_EQ(AgentCount(), 1);
  EXPECT_EQ(AgentGet(hero)->x, 100);
  EXPECT_NE(AgentGet(hero)->animations[3].frames[0].image, nullptr);

  program_.write("Bin/Agents/Hero/gone.txt", Sheet("gone.tga", {{"sprite=1,1"}}));
  AgentSetAnimation(hero, 2, "Bin\\Agents\\Hero\\gone.txt");
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(AgentSetBody(hero, 2) && AgentFrameOpen(hero, 2, 0));
    EXPECT_TRUE(GameFrame());
  }
  const std::string message =
      "AGentFrameOpen - Could not load agent frame: Bin\\Agents\\Hero\\gone.tga";
  const std::string log = Log();
  ASSERT_NE(log.find(message), std::string::npos) << log;
  EXPECT_EQ(log.find(message, log.find(message) + 1), std::string::npos) << log;
}

}  // namespace

// The routines as a room script uses them: names in any case, a scripted
// animation whose sheet is missing leaves nothing to wait for, and every
// frame the room hears the agent's depth order code: 2550001 + row - depth
// x 10000, the depth from the agent depth mat under the feet or the fixed
// one.
TEST_F(AgentGlTest, TheRoomScriptDrivesAgentsAndHearsTheirDepthOrder) {
  program_.write("Bin/Rooms/R/Background/Depth Agent.mat",
                 MatFileBytes(RoomMat({{"floor", 0x000030}}, [](int32_t, int32_t) { return 0; })));
  RoomSetDepthMat("R");
  reports_.clear();
  ScriptEventSend(RoomScriptId(), 2, "RUN");
  EXPECT_EQ(reports_, (std::vector<std::string>{"at 30 50 scale 150", "nothing to wait for",
                                                "nobody faces 2"}));
  EXPECT_NE(Log().find("AnimationOpen - Unable to open animation exposure sheet "
                       "\"Bin\\Agents\\missing.txt\"."),
            std::string::npos);
  reports_.clear();
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(reports_, std::vector<std::string>{"GUARD 2070051"});
  ScriptEventSend(RoomScriptId(), 2, "DEPTH");
  reports_.clear();
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(reports_, std::vector<std::string>{"GUARD 2350051"});
}
