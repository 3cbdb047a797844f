// Scene picking on a real display (SDL under a virtual X server with Mesa):
// the scene is drawn in its picking colours into the back buffer and the
// pixel under the point names the part hit through the scene's mat. The
// scenes here have no 3D models yet, so the picture is the clear colour.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script_internal.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

constexpr int32_t kWidth = 320;  // the window; the screen, shown BestFit, is half as large
constexpr int32_t kHeight = 240;

// Blue is water in Sky and deep water in Inner, which Cam shows; green is
// see-through in both.
const std::string kSource = R"(
const D = 1;
object Display Screen { display = D; width = 160; height = 120; viewMode = 1; }
object Label Log { display = D; }
object Color Back { display = D; width = 160; height = 120; }
object Scene Sky { display = D; order = 1; matFile = "Bin\\Sky.mat"; }
object Scene Inner { display = D; matFile = "Bin\\Inner.mat"; }
object Camera Cam { display = D; order = 2; viewLeft = 100; viewTop = 80; viewWidth = 40;
                    viewHeight = 30; cameraX = 500; member = Inner; }
on event(code, name) {
  if (code < -1) { Log.text = Log.text + code + " " + name + ";"; }
  if (code > 1000) { Log.text = Log.text + objectAt(code / 10000, code % 10000) + ";"; }
}
)";

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
    WriteMat("Sky.mat", "Water");
    WriteMat("Inner.mat", "Deep");
    id_ = LoadScript();
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    ScriptStop();
    StateStop();
    MatStop();
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

  void WriteMat(const std::string& name, const std::string& blue) const {
    Mat mat;
    mat.entries = {{blue, 0x0000FF}, {"Transparent", 0x00FF00}};
    mat.width = 1;
    mat.height = 1;
    mat.data = {0};
    folder_.write("Bin/" + name, "");
    const int32_t file = DataFileDirectCreate(folder_.path() + "Bin/" + name);
    MatDirectSave(file, mat);
    DataFileDirectClose(file);
  }
  // Scenes find their display through the models they list; no 3D model
  // loads yet, so they list one that is not there.
  int32_t LoadScript() const {
    VmccResult result;
    EXPECT_TRUE(VmccCompile(kSource, "picking.vms", {}, result));
    for (VmcObject& object : result.script.objects) {
      if (object.type == kVmcScene) {
        object.scene.models = {"NOTHING"};
      }
    }
    std::string error;
    EXPECT_TRUE(VmcWriterSave(result.script, folder_.path() + "Bin/picking.vmc", error)) << error;
    return ScriptLoad("Bin\\picking.vmc");
  }

  // What the listener wrote into LOG since the last call.
  std::string Heard() {
    Script* script = ScriptFind(id_);
    return script != nullptr ? std::exchange(script->objects[1].label.text, "") : "no script";
  }
  std::string ObjectAt(int32_t x, int32_t y) {
    ScriptEventSend(id_, x * 10000 + y, "Q");
    return Heard();
  }
  static void Clear(float red, float green, float blue) {
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static std::array<GLfloat, 4> ClearColour() {
    std::array<GLfloat, 4> colour{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour.data());
    return colour;
  }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t display_ = 0;
  int32_t id_ = 0;
};

TEST_F(ScriptInputGlTest, AScenePicksTheMatEntryOfTheColourUnderThePoint) {
  ASSERT_NE(id_, 0);
  const GraphicsRect viewport{7, 9, 100, 50};
  GraphicsViewportSet(viewport.x, viewport.y, viewport.width, viewport.height, "test");
  Clear(0.0f, 0.0f, 1.0f);
  EXPECT_EQ(ObjectAt(20, 20), "WATER;");
  EXPECT_EQ(ObjectAt(120, 90), "DEEP;");  // through the camera
  EXPECT_EQ(ObjectAt(200, 20), ";");      // beyond the window: nothing to read
  // The pointer (window pixel 40, 40: screen point 20, 20) hears the label.
  InputMouseMessage(0x0200, window_, 0, 40 << 16 | 40);
  ScriptProcess(id_);
  EXPECT_EQ(Heard(), "-5 WATER;");
  EXPECT_EQ(ScriptFind(id_)->objects[3].scene.currentLabel, "WATER");
  // What picking changed is put back.
  EXPECT_EQ(GraphicsViewportGet(), viewport);
  EXPECT_EQ(ClearColour(), (std::array<GLfloat, 4>{0.0f, 0.0f, 1.0f, 1.0f}));

  // Where the picture is see-through the scene is passed over.
  Clear(0.0f, 1.0f, 0.0f);
  EXPECT_EQ(ObjectAt(20, 20), "BACK;");
  EXPECT_EQ(ObjectAt(120, 90), "BACK;");
}

}  // namespace
