// 3D models drawn on a real display (SDL under a virtual X server with Mesa):
// a textured cube converted from OBJ, with a two-step ramp, seen through an
// orthographic projection of 40 pixels per unit, checked by the pixels read
// back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "platform/platform.h"
#include "tests/framework/model/model_testing.h"
#include "tools/modelconv/objconv.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr uint32_t kClear = 0x336699u;  // the frame before anything is drawn

// The cube's texture: one colour per quadrant, so that a swapped or flipped
// texture coordinate shows.
constexpr uint32_t kTopLeft = 0xC04020u;
constexpr uint32_t kTopRight = 0x20C040u;
constexpr uint32_t kBottomLeft = 0x4020C0u;
constexpr uint32_t kBottomRight = 0xC0C020u;
// The pick texture: two flat colours, left and right half.
constexpr uint32_t kPickLeft = 0x102030u;
constexpr uint32_t kPickRight = 0x405060u;
// The ramp's two steps: below and above a light factor of one half.
constexpr uint32_t kDark = 90;
constexpr uint32_t kBright = 200;

uint32_t Channel(uint32_t pixel, int shift) {
  return pixel >> shift & 0xFFu;
}

// A texel lit by a ramp step, as the texture stages multiply them.
uint32_t Lit(uint32_t texel, uint32_t step) {
  uint32_t lit = 0;
  for (int shift : {0, 8, 16}) {
    lit |= static_cast<uint32_t>(std::lround(Channel(texel, shift) * step / 255.0)) << shift;
  }
  return lit;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>(Channel(a, shift)) - static_cast<int>(Channel(b, shift))) >
        tolerance) {
      return false;
    }
  }
  return true;
}

// The back buffer's pixels in a rectangle, rows from the top, as 0x00RRGGBB.
std::vector<uint32_t> ReadRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, kHeight - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  std::vector<uint32_t> pixels;
  for (int32_t row = height - 1; row >= 0; --row) {
    for (int32_t column = 0; column < width; ++column) {
      const uint8_t* p = &bytes[(static_cast<size_t>(row) * width + column) * 4];
      pixels.push_back(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
    }
  }
  return pixels;
}

uint32_t ReadPixel(int32_t x, int32_t y) {
  return ReadRect(x, y, 1, 1)[0];
}

// --- The cube -----------------------------------------------------------------------------

// A cube of edge 2 about the origin as a modeller exports it: each face a
// quad from its bottom left corner, counter-clockwise seen from outside,
// showing the whole texture upright.
constexpr const char* kCubeObj = R"(mtllib cube.mtl
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
v -1 -1 -1
v 1 -1 -1
v 1 1 -1
v -1 1 -1
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 1
vn 0 0 -1
vn 1 0 0
vn -1 0 0
vn 0 1 0
vn 0 -1 0
g CUBE
usemtl SKIN
f 1/1/1 2/2/1 3/3/1 4/4/1
f 6/1/2 5/2/2 8/3/2 7/4/2
f 2/1/3 6/2/3 7/3/3 3/4/3
f 5/1/4 1/2/4 4/3/4 8/4/4
f 4/1/5 3/2/5 7/3/5 8/4/5
f 5/1/6 6/2/6 2/3/6 1/4/6
)";

constexpr const char* kCubeMtl = R"(newmtl SKIN
Kd 1 1 1
map_Kd cube.tga
map_d cubepick.tga
)";

// The cube's records, converted as the model tool converts them.
MwModel CubeModel() {
  const auto read = [](const std::string& path, std::string& text) {
    text = path == "cube.obj" ? kCubeObj : path == "cube.mtl" ? kCubeMtl : "";
    return !text.empty();
  };
  MwModel model;
  std::vector<std::string> warnings;
  std::string error;
  EXPECT_TRUE(ObjReadModel("cube.obj", read, model, warnings, error)) << error;
  return model;
}

// The same cube with its vertices shared between a turned joint and its
// turned child; drawn in the neutral pose it must look the same.
MwModel CubeOnJoints() {
  MwModel model = CubeModel();
  MwJoint hip;
  hip.name = "Hip";
  hip.rotation = {0.3f, 0.5f, 0.7f};
  hip.position = {0.2f, 0.0f, 0.1f};
  MwJoint knee;
  knee.name = "Knee";
  knee.parent = "HIP";
  knee.rotation = {-0.4f, 0.2f, 0.1f};
  knee.position = {0.0f, 0.3f, 0.0f};
  model.joints = {hip, knee};
  for (size_t i = 0; i < model.vertices.size(); ++i) {
    model.vertices[i].joint = static_cast<uint8_t>(i % 2);
  }
  return model;
}

std::string Bytes(const MwModel& model) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  return bytes;
}

// Window pixel of a point in front of the identity modelview.
constexpr int32_t PixelX(float x) {
  return static_cast<int32_t>((x + 4.0f) * 40.0f);
}
constexpr int32_t PixelY(float y) {
  return static_cast<int32_t>((3.0f - y) * 40.0f);
}

// The GL state a model's drawing changes on its way, as a list to compare.
std::vector<double> DrawingState() {
  std::vector<double> state;
  auto integers = [&state](GLenum name, int count) {
    GLint values[4] = {};
    glGetIntegerv(name, values);
    state.insert(state.end(), values, values + count);
  };
  auto floats = [&state](GLenum name, int count) {
    GLfloat values[4] = {};
    glGetFloatv(name, values);
    state.insert(state.end(), values, values + count);
  };
  integers(GL_ACTIVE_TEXTURE, 1);
  integers(GL_CLIENT_ACTIVE_TEXTURE, 1);
  for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
    glActiveTexture(unit);
    glClientActiveTexture(unit);
    state.push_back(glIsEnabled(GL_TEXTURE_2D));
    state.push_back(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    integers(GL_TEXTURE_BINDING_2D, 1);
  }
  state.push_back(glIsEnabled(GL_VERTEX_ARRAY));
  for (GLenum capability : {GL_DEPTH_TEST, GL_BLEND, GL_CULL_FACE, GL_LINE_SMOOTH}) {
    state.push_back(glIsEnabled(capability));
  }
  for (GLenum name :
       {GL_DEPTH_WRITEMASK, GL_DEPTH_FUNC, GL_CULL_FACE_MODE, GL_BLEND_SRC, GL_BLEND_DST}) {
    integers(name, 1);
  }
  integers(GL_POLYGON_MODE, 2);
  floats(GL_LINE_WIDTH, 1);
  floats(GL_CURRENT_COLOR, 4);
  return state;
}

class Ms3dGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
    PlatformSetProgramPath(folder_.path() + "game");
    PlatformSetParameters({"-userdatainapp"});
    DataFileStart();
    LogStart();
    ImageStart();
    ModelStart();
    GraphicsStart();
    Ms3dStart();
    PlatformWindowParams params;
    params.title = "ms3d";
    params.width = kWidth;
    params.height = kHeight;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    display_ = GraphicsDisplayAdd(window_, "Primary", 0);
    ASSERT_TRUE(GraphicsDisplayCreateRC(display_));
    WriteFiles();
    BeginFrame();
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    models_.clear();  // their textures go with the display
    Ms3dStop();
    GraphicsStop();
    ModelStop();
    ImageStop();
    LogStop();
    DataFileStop();
    PlatformStop();
  }

  void WriteFiles() {
    folder_.write("Bin/Models/cube.ms3d", Bytes(CubeModel()));
    folder_.write("Bin/Models/jointed.ms3d", Bytes(CubeOnJoints()));
    WriteTga(folder_, "Bin/Models/cube.tga", MakeImage(64, 64, [](int32_t x, int32_t y) {
               return 0xFF000000u | (y < 32 ? (x < 32 ? kTopLeft : kTopRight)
                                            : (x < 32 ? kBottomLeft : kBottomRight));
             }));
    WriteTga(folder_, "Bin/Models/cubepick.tga",
             MakeImage(
                 64, 64,
                 [](int32_t x, int32_t) { return 0xFF000000u | (x < 32 ? kPickLeft : kPickRight); },
                 24));
    WriteTga(folder_, "Bin/Models/ramp.tga",
             MakeImage(
                 2, 1,
                 [](int32_t x, int32_t) {
                   const uint32_t step = x == 0 ? kDark : kBright;
                   return 0xFF000000u | step << 16 | step << 8 | step;
                 },
                 24));
  }

  // A new frame cleared to the test's colour, 40 pixels per unit with the
  // origin at the window's centre, depth testing off as in 2D drawing.
  void BeginFrame() {
    GraphicsRenderBegin(display_);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4.0, 4.0, -3.0, 3.0, -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
  }

  TMS3D& LoadCube(const std::string& name = "cube") {
    models_.push_back(std::make_unique<TMS3D>(display_));
    TMS3D& model = *models_.back();
    EXPECT_TRUE(model.LoadFromFile("Bin\\Models\\" + name + ".ms3d"));
    model.LoadShaderTexture("Bin\\Models\\ramp.tga");
    return model;
  }

  void RebuildContext() {
    ModelAssetsFree();
    GraphicsDisplaysFreeRC();
    GraphicsDisplaysRecreateRC();
    ModelAssetsRecompile();
    BeginFrame();
  }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t display_ = -1;
  std::vector<std::unique_ptr<TMS3D>> models_;
};

// --- Normal drawing ---------------------------------------------------------------------------

TEST_F(Ms3dGlTest, FacesShowTheirTexelsTimesTheRampStepOfTheirLightWithinABlackOutline) {
  TMS3D& cube = LoadCube();
  cube.Render(Ms3dRenderMode::kNormal);
  // Facing the light: the bright step, each quadrant where the texture has it.
  EXPECT_PRED3(Near, ReadPixel(PixelX(-0.5f), PixelY(0.5f)), Lit(kTopLeft, kBright), 2);
  EXPECT_PRED3(Near, ReadPixel(PixelX(0.5f), PixelY(0.5f)), Lit(kTopRight, kBright), 2);
  EXPECT_PRED3(Near, ReadPixel(PixelX(-0.5f), PixelY(-0.5f)), Lit(kBottomLeft, kBright), 2);
  EXPECT_PRED3(Near, ReadPixel(PixelX(0.5f), PixelY(-0.5f)), Lit(kBottomRight, kBright), 2);
  // Just outside each edge of the front face: the outline.
  for (const auto& [x, y] : {std::pair{PixelX(1.0f), PixelY(0.0f)},
                             {PixelX(-1.0f) - 1, PixelY(0.0f)},
                             {PixelX(0.0f), PixelY(1.0f) - 1},
                             {PixelX(0.0f), PixelY(-1.0f)}}) {
    EXPECT_PRED3(Near, ReadPixel(x, y), 0u, 40) << x << ", " << y;
  }
  // Away from the model nothing changed.
  const std::vector<uint32_t> strip = ReadRect(0, 0, kWidth, PixelY(1.0f) - 4);
  EXPECT_EQ(std::count(strip.begin(), strip.end(), kClear), static_cast<long>(strip.size()));
}

TEST_F(Ms3dGlTest, AFaceTurnedSeventyDegreesTakesTheDarkStepWhicheverMatrixTurnsIt) {
  TMS3D& cube = LoadCube();
  glRotatef(70.0f, 0.0f, 1.0f, 0.0f);
  cube.Render(Ms3dRenderMode::kNormal);
  // The front face's upper left quadrant, now about 191 pixels across.
  const int32_t x = PixelX(-0.5f * std::cos(1.2217305f) + std::sin(1.2217305f));
  EXPECT_PRED3(Near, ReadPixel(x, PixelY(0.5f)), Lit(kTopLeft, kDark), 2);
  const std::vector<uint32_t> turnedView = ReadRect(0, 0, kWidth, kHeight);

  // The same turn in the model matrix lights and places the cube alike.
  BeginFrame();
  const float c = std::cos(1.2217305f);
  const float s = std::sin(1.2217305f);
  cube.ModelMatrix() = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
  cube.Render(Ms3dRenderMode::kNormal);
  const std::vector<uint32_t> turnedModel = ReadRect(0, 0, kWidth, kHeight);
  size_t differing = 0;
  for (size_t i = 0; i < turnedView.size(); ++i) {
    differing += !Near(turnedView[i], turnedModel[i], 2);
  }
  EXPECT_LE(differing, 8u);  // rounding along an edge at most
}

TEST_F(Ms3dGlTest, VerticesOnTurnedJointsDrawAndLightAsWithoutJoints) {
  TMS3D& plain = LoadCube();
  TMS3D& jointed = LoadCube("jointed");
  ASSERT_EQ(jointed.Mesh().joints.size(), 2u);
  std::vector<uint32_t> frames[2];
  for (TMS3D* cube : {&plain, &jointed}) {
    BeginFrame();
    glRotatef(35.0f, 1.0f, 0.0f, 0.0f);
    const float c = std::cos(0.9f);
    const float s = std::sin(0.9f);
    cube->ModelMatrix() = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0.5f, 0, 0, 1};
    cube->Render(Ms3dRenderMode::kNormal);
    frames[cube == &jointed ? 1 : 0] = ReadRect(0, 0, kWidth, kHeight);
  }
  size_t differing = 0;
  for (size_t i = 0; i < frames[0].size(); ++i) {
    differing += !Near(frames[0][i], frames[1][i], 2);
  }
  EXPECT_LE(differing, 8u);  // rounding along an edge at most
  EXPECT_NE(std::count(frames[1].begin(), frames[1].end(), kClear),
            static_cast<long>(frames[1].size()));
}

TEST_F(Ms3dGlTest, ANearerModelHidesAFartherOneDrawnAfterIt) {
  TMS3D& nearer = LoadCube();
  TMS3D& farther = LoadCube();
  farther.ModelMatrix()[12] = 1.0f;
  farther.ModelMatrix()[14] = -4.0f;
  nearer.Render(Ms3dRenderMode::kNormal);
  farther.Render(Ms3dRenderMode::kNormal);
  // Where both are, the nearer one's right half; beside it, the farther one's.
  EXPECT_PRED3(Near, ReadPixel(PixelX(0.75f), PixelY(0.5f)), Lit(kTopRight, kBright), 2);
  EXPECT_PRED3(Near, ReadPixel(PixelX(1.75f), PixelY(0.5f)), Lit(kTopRight, kBright), 2);
  EXPECT_PRED3(Near, ReadPixel(PixelX(0.25f), PixelY(-0.5f)), Lit(kBottomRight, kBright), 2);
}

TEST_F(Ms3dGlTest, DrawingLeavesTheStateAsFoundAndA2DImageAfterItExact) {
  TMS3D& cube = LoadCube();
  // The ramp is loaded on unit 1, and unit 0 is active again afterwards.
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  ASSERT_NE(cube.ShaderTexture(), nullptr);
  // Unusual values everywhere the drawing works, so that any left changed shows.
  GLuint other = 0;
  glGenTextures(1, &other);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, other);
  glActiveTexture(GL_TEXTURE0);
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_LESS);
  glLineWidth(3.0f);
  glBlendFunc(GL_ONE, GL_ZERO);
  glCullFace(GL_BACK);
  glColor4f(0.5f, 0.25f, 0.75f, 1.0f);
  for (Ms3dRenderMode mode : {Ms3dRenderMode::kNormal, Ms3dRenderMode::kPicking}) {
    const std::vector<double> before = DrawingState();
    cube.Render(mode);
    EXPECT_EQ(DrawingState(), before);
  }
  // Depth writes were on while drawing, even though they were off around it.
  EXPECT_NE(ReadPixel(PixelX(0.0f), PixelY(0.0f)), kClear);
  glDeleteTextures(1, &other);

  const ImageFrame image = MakeImage(40, 30, [](int32_t x, int32_t y) {
    return 0xFF000000u | static_cast<uint32_t>(x * 6) << 16 | static_cast<uint32_t>(y * 8) << 8;
  });
  WriteTga(folder_, "Bin/image.tga", image);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  GraphicsSetOrtho(kWidth, kHeight);
  Model* flat = ModelOpen(display_, "Bin\\image.tga");
  ModelSetPosition(flat, 10.0f, 20.0f, 0.0f);
  ModelRender(flat);
  std::vector<uint32_t> expected;
  for (uint32_t pixel : image.pixels) {
    expected.push_back(pixel & 0xFFFFFFu);
  }
  EXPECT_EQ(ReadRect(10, 20, 40, 30), expected);
  ModelClose(flat);
}

TEST_F(Ms3dGlTest, TheFrameIsTheSameAfterTheContextIsRebuilt) {
  TMS3D& cube = LoadCube();
  glRotatef(30.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(40.0f, 0.0f, 1.0f, 0.0f);
  cube.Render(Ms3dRenderMode::kNormal);
  const std::vector<uint32_t> before = ReadRect(0, 0, kWidth, kHeight);
  ASSERT_NE(std::count(before.begin(), before.end(), kClear), static_cast<long>(before.size()));

  RebuildContext();
  glRotatef(30.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(40.0f, 0.0f, 1.0f, 0.0f);
  cube.Render(Ms3dRenderMode::kNormal);
  EXPECT_EQ(ReadRect(0, 0, kWidth, kHeight), before);
  GLint hint = 0;
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
  EXPECT_EQ(hint, GL_NICEST);  // the new context was set up too
}

// --- Picking ------------------------------------------------------------------------------------

TEST_F(Ms3dGlTest, PickingShowsOnlyTheFlatPickColoursWithoutRampOrOutline) {
  TMS3D& cube = LoadCube();
  cube.Render(Ms3dRenderMode::kPicking);
  // Every pixel of the front face is one of the two pick colours, never a
  // blend of them, split at the texture's middle.
  const int32_t left = PixelX(-1.0f);
  const int32_t top = PixelY(1.0f);
  const std::vector<uint32_t> face = ReadRect(left, top, 80, 80);
  for (int32_t y = 0; y < 80; ++y) {
    for (int32_t x = 0; x < 80; ++x) {
      const uint32_t pixel = face[static_cast<size_t>(y) * 80 + x];
      if (x < 39) {
        ASSERT_EQ(pixel, kPickLeft) << x << ", " << y;
      } else if (x > 40) {
        ASSERT_EQ(pixel, kPickRight) << x << ", " << y;
      } else {
        ASSERT_TRUE(pixel == kPickLeft || pixel == kPickRight) << x << ", " << y;
      }
    }
  }
  // No outline around it.
  EXPECT_EQ(ReadPixel(PixelX(1.0f), PixelY(0.0f)), kClear);
  EXPECT_EQ(ReadPixel(PixelX(0.0f), PixelY(1.0f) - 1), kClear);
}

// Runs with the extension hidden from the driver (see CMakeLists.txt); with
// it present there is nothing to check.
TEST_F(Ms3dGlTest, WithoutMultitextureNothingIsDrawnOrPicked) {
  const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const std::string list = " " + std::string(extensions != nullptr ? extensions : "") + " ";
  if (list.find(" GL_ARB_multitexture ") != std::string::npos) {
    GTEST_SKIP() << "the driver offers multitexturing";
  }
  TMS3D& cube = LoadCube();
  cube.Render(Ms3dRenderMode::kNormal);
  cube.Render(Ms3dRenderMode::kPicking);
  const std::vector<uint32_t> frame = ReadRect(0, 0, kWidth, kHeight);
  EXPECT_EQ(std::count(frame.begin(), frame.end(), kClear), static_cast<long>(frame.size()));
}

}  // namespace
