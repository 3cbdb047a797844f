// Displays on real windows with real OpenGL contexts (SDL under a virtual X
// server with Mesa); drawing is checked by reading the back buffer before
// the swap.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kBlack = {0, 0, 0};
constexpr Rgb kRed = {255, 0, 0};

// One display named "Primary" on a fresh window of the real platform.
class GraphicsGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
    PlatformSetProgramPath(folder_.path() + "game");
    SetParameters({});
    LogStart();
    GraphicsStart();
    PlatformWindowParams params;
    params.title = "graphics";
    params.x = 40;
    params.y = 30;
    params.width = kWidth;
    params.height = kHeight;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    id_ = GraphicsDisplayAdd(window_, "Primary", 0);
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    GraphicsStop();
    LogStop();
    PlatformStop();
  }

  static void SetParameters(std::vector<std::string> parameters) {
    parameters.insert(parameters.begin(), "-userdatainapp");
    PlatformSetParameters(parameters);
  }

  std::vector<std::string> LogLines() const { return SplitLines(folder_.read("results.log")); }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t id_ = -1;
};

// A pixel of the back buffer, counted from the window's top left.
Rgb BackPixel(int32_t x, int32_t y) {
  std::array<uint8_t, 4> pixel{};
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glReadPixels(x, viewport[3] - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
  return {pixel[0], pixel[1], pixel[2]};
}

// An untextured opaque quad in the current projection, at depth `z`.
void DrawQuad(float left, float top, float right, float bottom, float z = 0.0f) {
  glDisable(GL_TEXTURE_2D);
  glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex3f(left, top, z);
  glVertex3f(left, bottom, z);
  glVertex3f(right, bottom, z);
  glVertex3f(right, top, z);
  glEnd();
}

GLint Integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// --- Contexts ------------------------------------------------------------------------

TEST_F(GraphicsGlTest, ADisplayOpensWithAContextReadyForTwoDimensionalDrawing) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  EXPECT_TRUE(GraphicsDisplayMakeCurrent(id_));
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_THAT(clear, ::testing::ElementsAre(0.0f, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(Integer(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(Integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(Integer(GL_DEPTH_FUNC), GL_LEQUAL);
  GLboolean doubleBuffer = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
  EXPECT_TRUE(doubleBuffer);
  EXPECT_GE(Integer(GL_DEPTH_BITS), 16);
  EXPECT_GE(Integer(GL_STENCIL_BITS), 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GraphicsGlTest, SoftwareRenderingFailsTheAccelerationTest) {
  EXPECT_FALSE(GraphicsAccelerationTest(window_));
}

TEST_F(GraphicsGlTest, ClosingADisplayReleasesItsContext) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsDisplayClose(id_);
  EXPECT_FALSE(GraphicsDisplayExists(id_));
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(id_));
  EXPECT_FALSE(folder_.exists("results.log"));
}

// --- Frames --------------------------------------------------------------------------

TEST_F(GraphicsGlTest, RenderBeginClearsColourDepthAndStencil) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsRenderBegin(id_);
  GraphicsSetOrtho(kWidth, kHeight);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 1, 0xFF);
  glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
  DrawQuad(0, 0, kWidth, kHeight, 100.0f);
  glDisable(GL_STENCIL_TEST);
  ASSERT_EQ(BackPixel(100, 100), kRed);

  // Depth writes left off by the frame before still get a cleared depth buffer.
  glDepthMask(GL_FALSE);
  GraphicsRenderBegin(id_);
  GLboolean depthWrites = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_EQ(depthWrites, GL_FALSE);
  EXPECT_EQ(BackPixel(100, 100), kBlack);
  EXPECT_EQ(BackPixel(0, 0), kBlack);
  GLfloat depth = 0.0f;
  glReadPixels(100, 100, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_FLOAT_EQ(depth, 1.0f);
  GLubyte stencil = 7;
  glReadPixels(100, 100, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
  EXPECT_EQ(stencil, 0);
  GraphicsRenderEnd(id_);
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(GraphicsGlTest, AQuadInTheOrthoProjectionLandsOnTheSameWindowPixels) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsRenderBegin(id_);
  GraphicsSetOrtho(kWidth, kHeight);
  DrawQuad(10, 20, 50, 60);
  EXPECT_EQ(BackPixel(30, 40), kRed);
  EXPECT_EQ(BackPixel(10, 20), kRed);  // top left corner
  EXPECT_EQ(BackPixel(49, 59), kRed);  // bottom right corner
  EXPECT_EQ(BackPixel(9, 40), kBlack);
  EXPECT_EQ(BackPixel(50, 40), kBlack);
  EXPECT_EQ(BackPixel(30, 19), kBlack);
  EXPECT_EQ(BackPixel(30, 60), kBlack);
  EXPECT_EQ(BackPixel(30, kHeight - 41), kBlack);  // where an upside-down quad would be
  GraphicsRenderEnd(id_);
}

TEST_F(GraphicsGlTest, SetOrthoTurnsOffDepthTestingAndTurnsOnTexturingAndBlending) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  GraphicsSetOrtho(kWidth, kHeight);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(GraphicsGlTest, FreedAndRecreatedContextsKeepDrawing) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsDisplaysFreeRC();
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(id_));
  GraphicsDisplaysRecreateRC();
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, kWidth, kHeight}));
  GraphicsRenderBegin(id_);
  GraphicsSetOrtho(kWidth, kHeight);
  DrawQuad(100, 100, 200, 200);
  EXPECT_EQ(BackPixel(150, 150), kRed);
  EXPECT_EQ(BackPixel(50, 50), kBlack);
  GraphicsRenderEnd(id_);
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(GraphicsGlTest, CreatingTwiceReplacesTheContext) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsRenderBegin(id_);
  EXPECT_EQ(BackPixel(5, 5), kBlack);
  GraphicsRenderEnd(id_);
  EXPECT_FALSE(folder_.exists("results.log"));
}

// --- Viewports and modes ------------------------------------------------------------------

TEST_F(GraphicsGlTest, ViewportsAreSetAndRestored) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  const GraphicsRect saved = GraphicsViewportGet();
  GraphicsViewportSet(10, 20, 30, 40, "test");
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{10, 20, 30, 40}));
  GraphicsViewportRestore(saved, "test");
  EXPECT_EQ(GraphicsViewportGet(), saved);
}

TEST_F(GraphicsGlTest, SettingADisplaysModeFitsTheViewportToTheWindow) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsViewportSet(0, 0, 10, 10, "test");
  const PlatformMode desktop = PlatformMonitorDesktopMode(0);
  const GraphicsMode mode =
      GraphicsMonitorFindMode(0, desktop.width, desktop.height, desktop.bitsPerPixel);
  ASSERT_NE(mode.width, 0);
  GraphicsDisplaySetMode(id_, mode);
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, kWidth, kHeight}));
  EXPECT_EQ(GraphicsDisplayGetWidth(id_), desktop.width);
  // The window keeps its own size, which is what its client area reports.
  int32_t width = 0;
  int32_t height = 0;
  GraphicsDisplayGetClientSize(id_, width, height);
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  GraphicsDisplayGetClientSize(id_ + 1, width, height);
  EXPECT_EQ(width, 1);
  EXPECT_EQ(height, 1);
}

// --- Full screen ----------------------------------------------------------------------------

TEST_F(GraphicsGlTest, FullScreenOnAndOffReturnsToTheWindowedSize) {
  const PlatformMode desktop = PlatformMonitorDesktopMode(0);
  GraphicsDisplaySetMode(
      id_, GraphicsMonitorFindMode(0, desktop.width, desktop.height, desktop.bitsPerPixel));
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));

  // As the game switches: contexts go before the change and come back after.
  GraphicsDisplaysFreeRC();
  GraphicsSetFullscreen(true);
  GraphicsDisplaysRecreateRC();
  EXPECT_TRUE(GraphicsIsFullscreen());
  EXPECT_TRUE(PlatformWindowFullscreen(window_));
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, desktop.width, desktop.height}));

  GraphicsDisplaysFreeRC();
  GraphicsSetFullscreen(false);
  GraphicsDisplaysRecreateRC();
  EXPECT_FALSE(PlatformWindowFullscreen(window_));
  const PlatformRect client = PlatformWindowClientRect(window_);
  EXPECT_EQ(client.width, kWidth);
  EXPECT_EQ(client.height, kHeight);
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, kWidth, kHeight}));
  GraphicsRenderBegin(id_);
  GraphicsSetOrtho(kWidth, kHeight);
  DrawQuad(kWidth - 10, kHeight - 10, kWidth, kHeight);
  EXPECT_EQ(BackPixel(kWidth - 5, kHeight - 5), kRed);
  EXPECT_EQ(BackPixel(kWidth - 15, kHeight - 5), kBlack);
  GraphicsRenderEnd(id_);
  EXPECT_FALSE(folder_.exists("results.log"));
}

// --- Culling and vertical sync ------------------------------------------------------------------

TEST_F(GraphicsGlTest, CullingModesChooseTheFrontAndTheCulledFace) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  const struct {
    int32_t mode;
    GLint frontFace;
    GLint culledFace;
  } cases[] = {
      {1, GL_CCW, GL_BACK}, {2, GL_CW, GL_BACK}, {3, GL_CCW, GL_FRONT}, {4, GL_CW, GL_FRONT}};
  for (const auto& c : cases) {
    GraphicsSetCulling(c.mode);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << c.mode;
    EXPECT_EQ(Integer(GL_FRONT_FACE), c.frontFace) << c.mode;
    EXPECT_EQ(Integer(GL_CULL_FACE_MODE), c.culledFace) << c.mode;
  }
  GraphicsSetCulling(0);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(GraphicsGlTest, NoCullSwitchKeepsCullingOff) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  SetParameters({"-NoCull"});
  GraphicsSetCulling(1);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(GraphicsGlTest, CullingDropsTheFacesOfTheCulledSide) {
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsSetOrtho(kWidth, kHeight);
  // DrawQuad winds counter-clockwise as seen on the screen.
  GraphicsSetCulling(1);
  GraphicsRenderBegin(id_);
  DrawQuad(10, 10, 50, 50);
  EXPECT_EQ(BackPixel(30, 30), kRed);
  GraphicsSetCulling(3);
  GraphicsRenderBegin(id_);
  DrawQuad(10, 10, 50, 50);
  EXPECT_EQ(BackPixel(30, 30), kBlack);
  GraphicsSetCulling(4);
  DrawQuad(10, 10, 50, 50);
  EXPECT_EQ(BackPixel(30, 30), kRed);
  GraphicsRenderEnd(id_);
}

TEST_F(GraphicsGlTest, NoVSyncSwitchKeepsTheSwapIntervalOff) {
  SetParameters({"-novsync"});
  ASSERT_TRUE(GraphicsDisplayCreateRC(id_));
  GraphicsSetVSync(true);
  EXPECT_FALSE(GraphicsVSyncActive());
}

}  // namespace
