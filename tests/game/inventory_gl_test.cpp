// The inventory bar on a real display (SDL under a virtual X server with
// Mesa): the items in their places, the highlight under the selected one,
// drawn over a room whose depth pass lies in front of them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kMenu = "object Display Screen { display = 1; width = 1280; height = 720; }";
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

class InventoryGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest());
    // A frame brings the freshly resized window's drawing surface to its size.
    ASSERT_TRUE(GameFrame());
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), width_, height_);
    ASSERT_GE(width_, 400);
    ASSERT_GE(height_, 700);

    WriteSquare("Bin/lens.tga", 20, kRed);
    WriteSquare("Bin/pipe.tga", 20, kBlue);
    WriteSquare("Bin/ring.tga", 40, kGreen);
    // The room's screen is the window's size, so that screen and window
    // pixels are the same. Its depth pass puts the whole bar's area in front
    // of z = -5 and leaves the depth test on; then comes the bar of HOLMES.
    // "routine" is a reserved word of the language: the render object's
    // routine is set in the compiled script.
    Mat depth;
    depth.entries = {{"front", 0x000000}};
    depth.width = 300;
    depth.height = 700;
    depth.data.assign(300 * 700, 0);
    program_.write("Bin/Rooms/Study/Background/Depth Layers.mat", MatFileBytes(depth));
    const std::string room =
        "routine AppRoomSetDepthBuffer;\n"
        "object Display Screen { display = 1; width = " +
        std::to_string(width_) + "; height = " + std::to_string(height_) +
        "; viewMode = 0; }\n"
        "object Render Depth { display = 1; order = 1; }\n"
        "object AppObj InventoryBarHOLMES { display = 1; order = 2; "
        "render = \"AppRenderInventory\"; }\n"
        "AppRoomSetDepthBuffer(\"Study\");\n";
    WriteScript(program_, "Bin/Rooms/Study/Scripts/Study.vmc", room, [](VmcScript& script) {
      for (VmcObject& object : script.objects) {
        if (object.type == kVmcRender) {
          object.render.routine = "AppRenderDepthBuffer";
        }
      }
    });
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("Study"));
  }
  void TearDown() override { StopWindowedGameForTest(); }

  void WriteSquare(const std::string& file, int32_t size, uint32_t colour) const {
    ImageFrame* image = nullptr;
    ImageFrameNew(image);
    image->width = size;
    image->height = size;
    image->pixels.assign(static_cast<size_t>(size * size), 0xFF000000 | colour);
    ASSERT_TRUE(ImageSave(program_.write(file, ""), image));
    ImageFree(image);
  }

  // Draws the room and reads back the window, rows from the top.
  std::vector<uint32_t> Render() const {
    const int32_t display = GamePrimaryDisplay();
    GraphicsRenderBegin(display);
    ScriptRender(RoomScriptId(), display);
    const std::vector<uint8_t> rgba = GraphicsReadPixels({0, 0, width_, height_});
    GraphicsRenderEnd(display);
    std::vector<uint32_t> pixels(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    for (int32_t y = 0; y < height_; ++y) {
      for (int32_t x = 0; x < width_; ++x) {
        const uint8_t* p = &rgba[static_cast<size_t>((height_ - 1 - y) * width_ + x) * 4];
        pixels[static_cast<size_t>(y * width_ + x)] =
            static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      }
    }
    return pixels;
  }
  // The box of pixels of exactly the colour: left, top, right, bottom
  // (inclusive), or all -1 when there is none.
  std::vector<int32_t> Box(const std::vector<uint32_t>& pixels, uint32_t colour) const {
    std::vector<int32_t> box{-1, -1, -1, -1};
    for (int32_t y = 0; y < height_; ++y) {
      for (int32_t x = 0; x < width_; ++x) {
        if (pixels[static_cast<size_t>(y * width_ + x)] != colour) {
          continue;
        }
        if (box[0] < 0) {
          box = {x, y, x, y};
        }
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
      }
    }
    return box;
  }

  TempFolder program_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

TEST_F(InventoryGlTest, ItemsStandInARowWithTheHighlightUnderTheSelectedOne) {
  ASSERT_GE(AgentAdd("Holmes"), 0);
  AgentInventoryAdd("Holmes", "Lens", "Bin\\lens.tga");
  AgentInventoryAdd("Holmes", "Pipe", "Bin\\pipe.tga");
  AgentInventorySetHighlight("Holmes", "Bin\\ring.tga");

  // No selection: no highlight; item k at (51 + 110 k, 640).
  std::vector<uint32_t> pixels = Render();
  EXPECT_EQ(Box(pixels, kRed), (std::vector<int32_t>{51, 640, 70, 659}));
  EXPECT_EQ(Box(pixels, kBlue), (std::vector<int32_t>{161, 640, 180, 659}));
  EXPECT_EQ(Box(pixels, kGreen), (std::vector<int32_t>{-1, -1, -1, -1}));

  // The highlight takes the selected item's place, drawn before the item,
  // which stays whole on top of it.
  AgentInventorySelect("Holmes", 1);
  pixels = Render();
  EXPECT_EQ(Box(pixels, kBlue), (std::vector<int32_t>{161, 640, 180, 659}));
  EXPECT_EQ(Box(pixels, kGreen), (std::vector<int32_t>{161, 640, 200, 679}));
  EXPECT_EQ(pixels[static_cast<size_t>(650 * width_ + 170)], kBlue);

  // Removing the earlier item moves the bar and its highlight along.
  AgentInventoryRemove("Holmes", "lens");
  pixels = Render();
  EXPECT_EQ(Box(pixels, kRed), (std::vector<int32_t>{-1, -1, -1, -1}));
  EXPECT_EQ(Box(pixels, kBlue), (std::vector<int32_t>{51, 640, 70, 659}));
  EXPECT_EQ(Box(pixels, kGreen), (std::vector<int32_t>{51, 640, 90, 679}));

  // The depth test is left as the bar found it.
  glEnable(GL_DEPTH_TEST);
  AgentInventoryRender(AgentFind("HOLMES"));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

}  // namespace
