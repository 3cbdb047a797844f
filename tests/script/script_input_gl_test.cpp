// Scenes of 3D models on a real display (SDL under a virtual X server with
// Mesa): a scene picks by drawing its models in their picking colours into
// the back buffer, and the pixel under the point names the part hit through
// the scene's mat; drawn normally, the models show their texture through the
// ramp of their folder, turned in the scene's order of angles, also after the
// rendering context was made anew.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script_internal.h"
#include "tests/support/testsupport.h"
#include "tools/common/model_writer.h"
#include "tools/vmcc/vmcc.h"

namespace {

// The screen, 160 x 120 shown BestFit, is drawn twice as large in the middle
// of the window, between bars 40 pixels wide.
constexpr int32_t kWidth = 400;
constexpr int32_t kHeight = 240;
constexpr int32_t kScale = 2;
constexpr int32_t kBar = 40;

constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftDown = 0x0201;
constexpr uint32_t kLeftUp = 0x0202;

constexpr uint32_t kTexel = 0x80C0FF;   // every model's texture
constexpr uint32_t kBright = 0xC0C0C0;  // the lit step of the ramp
constexpr uint32_t kDark = 0x404040;

// Two boxes side by side in Sky, ten units in front of the eye; a third in
// Inner, which the camera Cam shows in a small view. Sky lies over Back and
// under Cam. In screen points the boxes' fronts cover about Bow (32-63,
// 44-76), Bit (96-128, 44-76) and, through the camera, Core (116-124, 91-99).
// Arm, hidden at first, is turned away from its origin.
const std::string kSource = R"(
const D = 1;
object Display Screen { display = D; width = 160; height = 120; viewMode = 1; }
object Label Log { display = D; }
object Color Back { display = D; width = 160; height = 120; color = 16777215; }
object Model Bow { display = D; x = -2000; z = -10000; modelFile = "Bin\\Models\\Bow.ms3d"; }
object Model Bit { display = D; x = 2000; z = -10000; modelFile = "Bin\\Models\\Bit.ms3d"; }
object Model Core { display = D; z = -10000; modelFile = "Bin\\Models\\Core.ms3d"; }
object Model Arm { display = D; visible = false; z = -10000; pitch = 90; roll = -90; yaw = 90;
                   modelFile = "Bin\\Models\\Arm.ms3d"; }
object Scene Sky { display = D; order = 1; matFile = "Bin\\Models\\Key.mat";
                   model = Bow, Bit, Arm; }
object Scene Inner { display = D; matFile = "Bin\\Models\\Key.mat"; model = Core; }
object Camera Cam { display = D; order = 2; viewLeft = 100; viewTop = 80; viewWidth = 40;
                    viewHeight = 30; cameraX = 500; member = Inner; }
on event(code, name) {
  if (code < -1) { Log.text = Log.text + code + " " + name + ";"; }
  if (code > 1000) { Log.text = Log.text + objectAt(code / 10000, code % 10000) + ";"; }
}
)";

// A cube of side 2 around (shift, 0, 0), four vertices per face, each face
// turned outwards with its texture over the whole face.
MwModel Box(const std::string& pickImage, float shift) {
  MwModel model;
  for (int axis = 0; axis < 3; ++axis) {
    for (const float sign : {1.0f, -1.0f}) {
      int u = (axis + 1) % 3;
      int v = (axis + 2) % 3;
      if (sign < 0.0f) {
        std::swap(u, v);
      }
      const auto first = static_cast<uint16_t>(model.vertices.size());
      constexpr std::array<std::array<float, 2>, 4> kCorners{{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}};
      for (const auto& corner : kCorners) {
        MwVertex vertex;
        vertex.position[axis] = sign;
        vertex.position[u] = corner[0];
        vertex.position[v] = corner[1];
        vertex.position[0] += shift;
        model.vertices.push_back(vertex);
      }
      for (const std::array<uint16_t, 3> corners : {std::array<uint16_t, 3>{0, 1, 2}, {0, 2, 3}}) {
        MwTriangle triangle;
        for (int c = 0; c < 3; ++c) {
          triangle.vertices[c] = static_cast<uint16_t>(first + corners[c]);
          triangle.normals[c][axis] = sign;
          triangle.s[c] = (kCorners[corners[c]][0] + 1.0f) / 2.0f;
          triangle.t[c] = (kCorners[corners[c]][1] + 1.0f) / 2.0f;
        }
        model.triangles.push_back(triangle);
      }
    }
  }
  MwGroup group;
  group.name = "box";
  group.material = 0;
  for (uint16_t i = 0; i < model.triangles.size(); ++i) {
    group.triangles.push_back(i);
  }
  model.groups.push_back(group);
  MwMaterial material;
  material.name = "paint";
  material.texture = "paint.tga";
  material.alphaMap = pickImage;
  model.materials.push_back(material);
  return model;
}

class ScriptInputGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
    PlatformSetProgramPath(folder_.path() + "game");
    PlatformSetParameters({"-userdatainapp"});
    DataFileStart();
    LogStart();
    UtilitiesStart();
    ImageStart();
    FontStart();
    ModelStart();
    InputStart();
    GraphicsStart();
    Ms3dStart();
    MatStart();
    StateStart();
    ScriptStart();
    PlatformWindowParams params;
    params.title = "picking";
    params.width = kWidth;
    params.height = kHeight;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    display_ = GraphicsDisplayAdd(window_, "Primary", 0);
    ASSERT_EQ(display_, 1);
    ASSERT_TRUE(GraphicsDisplayCreateRC(display_));
    InputDisplayAdd(display_, window_);
    InputControlSetActivate(InputMenuControlSet());
    WriteModels();
    id_ = LoadScript();
    ASSERT_NE(id_, 0);
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    ScriptStop();
    StateStop();
    MatStop();
    Ms3dStop();
    GraphicsStop();
    InputStop();
    ModelStop();
    FontStop();
    ImageStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    PlatformWindowDestroy(window_);
    PlatformStop();
  }

  // An image of one row of pixels repeated `rows` times.
  void WriteImage(const std::string& name, const std::vector<uint32_t>& pixels,
                  int32_t rows = 1) const {
    ImageFrame image;
    image.loaded = 1;
    image.width = static_cast<int32_t>(pixels.size());
    image.height = rows;
    image.bitsPerPixel = 24;
    for (int32_t row = 0; row < rows; ++row) {
      for (const uint32_t pixel : pixels) {
        image.pixels.push_back(0xFF000000u | pixel);
      }
    }
    ImageSave(folder_.write("Bin/Models/" + name, ""), &image);
  }
  // Each box picks in its own colour; black around them is see-through.
  void WriteModels() const {
    WriteImage("paint.tga", std::vector<uint32_t>(8, kTexel), 8);
    WriteImage("shader.tga", {kDark, kBright});
    const std::array<std::pair<std::string, uint32_t>, 4> parts{
        {{"Bow", 0xFF0000}, {"Bit", 0x0000FF}, {"Core", 0x00FF00}, {"Arm", 0xFFFF00}}};
    Mat mat;
    mat.entries = {{"Transparent", 0x000000}};
    for (const auto& [name, colour] : parts) {
      WriteImage(name + "Pick.tga", {colour});
      std::string bytes;
      std::string error;
      ASSERT_TRUE(MwMs3dBytes(Box(name + "Pick.tga", name == "Arm" ? 2.0f : 0.0f), bytes, error))
          << error;
      folder_.write("Bin/Models/" + name + ".ms3d", bytes);
      mat.entries.push_back({name, colour});
    }
    mat.width = 1;
    mat.height = 1;
    mat.data = {0};
    const int32_t file = DataFileDirectCreate(folder_.write("Bin/Models/Key.mat", ""));
    MatDirectSave(file, mat);
    DataFileDirectClose(file);
  }
  int32_t LoadScript() const {
    VmccResult result;
    EXPECT_TRUE(VmccCompile(kSource, "picking.vms", {}, result))
        << (result.diagnostics.empty() ? "" : result.diagnostics.front());
    std::string error;
    EXPECT_TRUE(VmcWriterSave(result.script, folder_.path() + "Bin/picking.vmc", error)) << error;
    return ScriptLoad("Bin\\picking.vmc");
  }

  ObjEntry& Object(const std::string& name) {
    for (ObjEntry& object : ScriptFind(id_)->objects) {
      if (object.name == name) {
        return object;
      }
    }
    ADD_FAILURE() << "no object " << name;
    static ObjEntry none;
    return none;
  }
  // What the listener wrote into LOG since the last call.
  std::string Heard() { return std::exchange(Object("LOG").label.text, ""); }
  std::string ObjectAt(int32_t x, int32_t y) {
    ScriptEventSend(id_, x * 10000 + y, "Q");
    return Heard();
  }
  // Moves the pointer to a screen point, presses and releases the left
  // button there, and runs one frame of the script.
  std::string Click(int32_t x, int32_t y) {
    const int32_t position = (y * kScale) << 16 | (x * kScale + kBar);
    for (const uint32_t message : {kMouseMove, kLeftDown, kLeftUp}) {
      InputMouseMessage(message, window_, 0, position);
    }
    ScriptProcess(id_);
    InputActionEventsTake(InputMenuControlSet());
    return Heard();
  }

  static void Clear(float red, float green, float blue) {
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  static std::array<GLfloat, 4> ClearColour() {
    std::array<GLfloat, 4> colour{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour.data());
    return colour;
  }
  // The back buffer as 0x00RRGGBB, rows from the top.
  static std::vector<uint32_t> Frame() {
    std::vector<uint8_t> bytes(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    std::vector<uint32_t> pixels;
    for (int32_t row = kHeight - 1; row >= 0; --row) {
      for (int32_t column = 0; column < kWidth; ++column) {
        const uint8_t* p = &bytes[(static_cast<size_t>(row) * kWidth + column) * 4];
        pixels.push_back(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
      }
    }
    return pixels;
  }
  // The window pixel showing a screen point.
  static uint32_t At(const std::vector<uint32_t>& frame, int32_t x, int32_t y) {
    return frame[static_cast<size_t>(y * kScale) * kWidth + x * kScale + kBar];
  }
  // Each channel of the product of two colours, as texturing modulates them.
  static uint32_t Times(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      product |= ((a >> shift & 0xFF) * (b >> shift & 0xFF) / 255) << shift;
    }
    return product;
  }
  static bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int difference =
          static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
      if (difference < -2 || difference > 2) {
        return false;
      }
    }
    return true;
  }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t display_ = 0;
  int32_t id_ = 0;
};

TEST_F(ScriptInputGlTest, ScenesPickTheirModelsInBestFitAndThroughACamera) {
  const GraphicsRect viewport{7, 9, 100, 50};
  GraphicsViewportSet(viewport.x, viewport.y, viewport.width, viewport.height, "test");
  Clear(0.02f, 0.0f, 0.0f);  // near black: see-through
  EXPECT_EQ(ObjectAt(48, 60), "BOW;");
  EXPECT_EQ(ObjectAt(112, 60), "BIT;");
  EXPECT_EQ(ObjectAt(80, 60), "BACK;");   // between the boxes Sky is see-through
  EXPECT_EQ(ObjectAt(120, 95), "CORE;");  // through the camera
  EXPECT_EQ(ObjectAt(104, 84), "BACK;");  // in the camera's view, off its box
  EXPECT_EQ(ObjectAt(200, 20), ";");      // beyond the window: nothing to read
  EXPECT_EQ(Object("SKY").scene.currentLabel, "BIT");
  EXPECT_EQ(Object("SKY").scene.previousLabel, "BOW");
  // What picking changed is put back.
  EXPECT_EQ(GraphicsViewportGet(), viewport);
  EXPECT_EQ(ClearColour(), (std::array<GLfloat, 4>{0.02f, 0.0f, 0.0f, 1.0f}));

  // The pointer's events carry the label picked under it: entering another
  // box of the same scene leaves one label and enters the other.
  EXPECT_EQ(Click(48, 60), "-5 BOW;-3 BOW;-4 BOW;");
  EXPECT_EQ(Click(112, 60), "-6 BOW;-5 BIT;-3 BIT;-4 BIT;");
  EXPECT_EQ(Click(120, 95), "-6 BIT;-5 CORE;-3 CORE;-4 CORE;");
  EXPECT_EQ(Click(20, 20), "-6 CORE;-5 BACK;-3 BACK;-4 BACK;");

  // A hidden model is neither drawn nor picked.
  Object("BOW").model.visible = 0;
  EXPECT_EQ(ObjectAt(48, 60), "BACK;");
}

TEST_F(ScriptInputGlTest, ModelsDrawThroughTheRampOfTheirFolderAndSurviveANewContext) {
  ASSERT_NE(Object("BOW").model.loaded, nullptr);
  EXPECT_NE(Object("BOW").model.loaded->ShaderTexture(), nullptr);
  const auto draw = [this] {
    Clear(0.0f, 0.0f, 0.0f);
    ScriptRender(id_, display_);
    return Frame();
  };
  const std::vector<uint32_t> before = draw();
  // Fronts face the eye, along the light: the ramp's lit step.
  const uint32_t lit = Times(kTexel, kBright);
  EXPECT_TRUE(Near(At(before, 48, 60), lit)) << std::hex << At(before, 48, 60);
  EXPECT_TRUE(Near(At(before, 112, 60), lit)) << std::hex << At(before, 112, 60);
  EXPECT_TRUE(Near(At(before, 120, 95), lit)) << std::hex << At(before, 120, 95);
  EXPECT_EQ(At(before, 80, 60), 0xFFFFFFu);  // Back, white, between the boxes

  // The game's path when it switches to and from full screen.
  ModelAssetsFree();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  GraphicsDisplayMakeCurrent(display_);
  EXPECT_EQ(draw(), before);
  Clear(0.0f, 0.0f, 0.0f);
  EXPECT_EQ(ObjectAt(112, 60), "BIT;");

  // Arm lies two units along x from its origin. Turned by yaw about y, then
  // roll about z, then pitch about x (pitch outermost), it stands above its
  // origin; any other order would put it left, right, below or behind.
  Object("BOW").model.visible = 0;
  Object("BIT").model.visible = 0;
  Object("ARM").model.visible = 1;
  const std::vector<uint32_t> turned = draw();
  EXPECT_TRUE(Near(At(turned, 80, 28), lit)) << std::hex << At(turned, 80, 28);
  for (const auto& [x, y] : {std::pair{80, 60}, {51, 60}, {109, 60}, {80, 92}}) {
    EXPECT_EQ(At(turned, x, y), 0xFFFFFFu) << x << ", " << y;
  }
  Clear(0.0f, 0.0f, 0.0f);
  EXPECT_EQ(ObjectAt(80, 28), "ARM;");
}

}  // namespace
