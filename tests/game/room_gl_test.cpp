// The room's depth pass on a real display (SDL under a virtual X server
// with Mesa): the depth buffer read back after the room is drawn holds, at
// every pixel of the depth mat, the depth of z = minus the blue byte of the
// mat's entry there, and nothing once the depth buffer is released.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/state/state.h"
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

// A depth mat of several rows whose runs change at different columns,
// with blue bytes from 0 to 255 and other bytes that must not count.
Mat DepthMat() {
  Mat mat;
  mat.entries = {{"near", 0xFFFF00}, {"mid", 0x00207F}, {"far", 0x0000FF}, {"wall", 0x12340A}};
  mat.width = 37;
  mat.height = 9;
  for (int32_t y = 0; y < mat.height; ++y) {
    for (int32_t x = 0; x < mat.width; ++x) {
      mat.data.push_back(static_cast<uint8_t>((x / (3 + y) + y) % 4));
    }
  }
  return mat;
}

class RoomGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    program_.write("Bin/Rooms/Deep/Background/Depth Layers.mat", MatFileBytes(DepthMat()));
    program_.write("Bad/Huge.mat",
                   std::string("MAT\1\0\x60\xEA\0\0\x60\xEA\0\0\1", 14) + std::string(1000, '\0'));
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest());
    // A frame brings the freshly resized window's drawing surface to its size.
    ASSERT_TRUE(GameFrame());
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), width_, height_);

    // The room's screen is the window's size, so that screen and window
    // pixels are the same; the depth pass is its one drawing. "routine" is
    // a reserved word of the language: the render object's routine is set
    // in the compiled script.
    const std::string room =
        "routine AppRoomSetDepthBuffer;\n"
        "object Display Screen { display = 1; width = " +
        std::to_string(width_) + "; height = " + std::to_string(height_) + "; viewMode = 0; }\n" +
        "object Render Depth { display = 1; }\n"
        "on event(code, name) {\n"
        "  if (name == \"SET\") { AppRoomSetDepthBuffer(stateGetString(3, \"ARG\")); }\n"
        "}\n";
    WriteScript(program_, "Bin/Rooms/Deep/Scripts/Deep.vmc", room, [](VmcScript& script) {
      for (VmcObject& object : script.objects) {
        object.render.routine = "AppRenderDepthBuffer";
      }
    });
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("Deep"));
  }
  void TearDown() override { StopWindowedGameForTest(); }

  static void SetDepthBuffer(const std::string& argument) {
    StateVariableSetString(kStateGame, "ARG", argument);
    ScriptEventSend(RoomScriptId(), 2, "SET");
  }
  // The window's depth buffer, rows from the top.
  std::vector<float> ReadDepth() const {
    std::vector<float> depth(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    std::vector<float> rows(depth.size());
    for (int32_t y = 0; y < height_; ++y) {
      std::copy_n(depth.begin() + static_cast<ptrdiff_t>(height_ - 1 - y) * width_, width_,
                  rows.begin() + static_cast<ptrdiff_t>(y) * width_);
    }
    return rows;
  }
  // Draws the Game state's picture and reads back its depth, before it is shown.
  std::vector<float> RenderDepth() const {
    GraphicsRenderBegin(GamePrimaryDisplay());
    GameStateRender();
    return ReadDepth();
  }
  // Counts the pixels whose depth is not the cleared 1.
  static int64_t Written(const std::vector<float>& depth) {
    return std::count_if(depth.begin(), depth.end(), [](float d) { return d != 1.0f; });
  }

  TempFolder program_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

TEST_F(RoomGlTest, TheDepthPassWritesMinusTheBlueByteOfEveryPixel) {
  ASSERT_GE(width_, 64);
  ASSERT_GE(height_, 16);
  SetDepthBuffer("Deep");
  const std::vector<float> depth = RenderDepth();

  // The depth of z = -blue in the screen's projection (z from -500 to 500).
  const Mat mat = DepthMat();
  int32_t wrong = 0;
  for (int32_t y = 0; y < mat.height; ++y) {
    for (int32_t x = 0; x < mat.width; ++x) {
      const uint32_t blue =
          mat.entries[mat.data[static_cast<size_t>(y * mat.width + x)]].color & 0xFF;
      const float expected = 0.5f + static_cast<float>(blue) / 1000.0f;
      const float actual = depth[static_cast<size_t>(y) * static_cast<size_t>(width_) + x];
      if (std::abs(actual - expected) > 1e-4f) {
        ADD_FAILURE() << "(" << x << ", " << y << "): " << actual << " for blue " << blue;
        if (++wrong == 10) {
          return;
        }
      }
    }
  }
  // Only the mat's pixels and the two-pixel fill beyond its right and bottom
  // edges are written.
  for (int32_t y = 0; y < height_; ++y) {
    for (int32_t x = 0; x < width_; ++x) {
      if (x >= mat.width + 2 || y >= mat.height + 2) {
        ASSERT_EQ(depth[static_cast<size_t>(y) * static_cast<size_t>(width_) + x], 1.0f)
            << "(" << x << ", " << y << ")";
      }
    }
  }
  // No colour was written, and what the agents are drawn with is left on.
  const std::vector<uint8_t> rgba =
      GraphicsReadPixels({0, height_ - mat.height, mat.width, mat.height});
  for (size_t i = 0; i < rgba.size(); i += 4) {
    ASSERT_EQ(rgba[i] | rgba[i + 1] | rgba[i + 2], 0) << "pixel " << i / 4;
  }
  GLint function = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &function);
  EXPECT_EQ(function, GL_LEQUAL);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLboolean writes = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
  EXPECT_EQ(writes, GL_FALSE);
  GLboolean colours[4] = {};
  glGetBooleanv(GL_COLOR_WRITEMASK, colours);
  EXPECT_EQ(colours[0] & colours[1] & colours[2] & colours[3], GL_TRUE);
}

TEST_F(RoomGlTest, AnEmptyArgumentFreesTheMeshAndClearsTheDepth) {
  SetDepthBuffer("Deep");
  ASSERT_GT(Written(RenderDepth()), 0);
  // Released inside a frame: the depth it wrote is cleared at once, and the
  // pass then draws nothing.
  SetDepthBuffer("");
  EXPECT_EQ(Written(ReadDepth()), 0);
  GLboolean writes = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
  EXPECT_EQ(writes, GL_FALSE);
  EXPECT_EQ(Written(RenderDepth()), 0);

  // Nor does a new game keep it.
  WriteScript(program_, "Bin/gameStart.vmc", "stateSetInt(3, \"difficulty\", 2);");
  SetDepthBuffer("Deep");
  ASSERT_GT(Written(RenderDepth()), 0);
  EXPECT_TRUE(FileGameStateInit());
  EXPECT_EQ(Written(RenderDepth()), 0);

  // A damaged depth mat gives no mesh either.
  SetDepthBuffer("Deep");
  ASSERT_GT(Written(RenderDepth()), 0);
  SetDepthBuffer("Bad\\Huge.mat");
  EXPECT_EQ(Written(RenderDepth()), 0);
  EXPECT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateGame);
}

}  // namespace
