// Scripts drawn on a real display (SDL under a virtual X server with Mesa):
// the window's pixels are read back and compared with where each object's
// screen position, the Fill or BestFit mapping, cameras, the draw order and
// the text placement put it.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <tuple>

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
#include "tests/framework/font/font_files.h"
#include "tests/support/testsupport.h"
#include "tools/vmc/vmcwriter.h"

namespace {

using ::testing::ElementsAre;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kCyan = 0x00FFFF;
constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kOrange = 0xFF8000;
constexpr uint32_t kGrey = 0x404040;

constexpr uint32_t kMouseMove = 0x0200;  // the window message of a mouse move

// An inclusive pixel rectangle, counted from the window's top left.
struct Box {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = -1;
  int32_t bottom = -1;
  bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "(" << box.left << ", " << box.top << ")-(" << box.right << ", " << box.bottom
             << ")";
}

const Box kNothing{};

// The back buffer as 0x00RRGGBB, rows from the top.
class Pixels {
 public:
  Pixels(int32_t width, int32_t height) : width_(width), height_(height) {
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    for (int32_t row = height - 1; row >= 0; --row) {
      for (int32_t column = 0; column < width; ++column) {
        const uint8_t* p = &bytes[(static_cast<size_t>(row) * width + column) * 4];
        pixels_.push_back(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
      }
    }
  }
  uint32_t At(int32_t x, int32_t y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  // The smallest box holding every pixel of the colour (within 2 per
  // channel) inside the region; kNothing when there is none.
  Box Find(uint32_t colour, const Box& region) const {
    std::optional<Box> found;
    for (int32_t y = region.top; y <= region.bottom; ++y) {
      for (int32_t x = region.left; x <= region.right; ++x) {
        if (!Near(At(x, y), colour)) {
          continue;
        }
        if (!found) {
          found = Box{x, y, x, y};
        }
        found->left = std::min(found->left, x);
        found->top = std::min(found->top, y);
        found->right = std::max(found->right, x);
        found->bottom = std::max(found->bottom, y);
      }
    }
    return found.value_or(kNothing);
  }
  Box Find(uint32_t colour) const { return Find(colour, {0, 0, width_ - 1, height_ - 1}); }
  int32_t Count(uint32_t colour) const {
    int32_t count = 0;
    for (const uint32_t pixel : pixels_) {
      count += Near(pixel, colour) ? 1 : 0;
    }
    return count;
  }
  static bool Near(uint32_t a, uint32_t b) {
    for (const int shift : {0, 8, 16}) {
      if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > 2) {
        return false;
      }
    }
    return true;
  }

 private:
  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

VmcObject Display(int32_t width, int32_t height, int32_t viewMode) {
  VmcObject object = VmcObjectNew(kVmcDisplay, "SCREEN");
  object.displayBlock = {width, height, viewMode};
  return object;
}

VmcObject Color(const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height,
                uint32_t colour, int32_t order = 0) {
  VmcObject object = VmcObjectNew(kVmcColor, name);
  object.order = order;
  object.color = {left, top, width, height, static_cast<int32_t>(colour), 255, 1, 1};
  return object;
}

// Frames of one image each.
VmcFrameSet Frames(const std::vector<std::string>& images) {
  VmcFrameSet set;
  for (const std::string& image : images) {
    set.frames.push_back({"", {image}});
  }
  return set;
}

// A font of glyphs ' ' to 'z', each 5 wide (the pen moves 4) and 8 high,
// fully opaque white: a line of text shows as one solid box of its width
// and 7 rows (a glyph quad leaves out its last column and row).
constexpr int32_t kGlyphHeight = 8;
FotFont SolidFont() {
  FotFont font;
  font.name = "Solid";
  font.first = ' ';
  font.last = 'z';
  font.height = kGlyphHeight;
  for (int32_t c = font.first; c <= font.last; ++c) {
    font.glyphs.push_back({5, std::vector<uint32_t>(5 * kGlyphHeight, 0xFFFFFFFFu)});
  }
  return font;
}

class ScriptRenderGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
    PlatformSetProgramPath(folder_.path() + "game");
    PlatformSetParameters({"-userdatainapp"});
    PlatformClockSetManual(true);
    PlatformClockSet(0);
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
    ASSERT_TRUE(StateSetProcess(1, [] {}));
    StateSet(1);
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
    PlatformStop();
  }

  // A window of that client size as the display, which the mouse and the
  // menu controls' pointer follow.
  void Open(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    PlatformWindowParams params;
    params.title = "script";
    params.width = width;
    params.height = height;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    display_ = GraphicsDisplayAdd(window_, "Primary", 0);
    ASSERT_TRUE(GraphicsDisplayCreateRC(display_));
    InputDisplayAdd(display_, window_);
    InputControlSetActivate(InputMenuControlSet());
  }
  // Writes the script with the objects (all on the display) and loads it;
  // it follows the menu controls' pointer.
  Script* Load(std::vector<VmcObject> objects) {
    VmcScript script;
    for (VmcObject& object : objects) {
      object.display = static_cast<uint8_t>(display_);
    }
    script.objects = std::move(objects);
    std::string bytes;
    std::string error;
    EXPECT_TRUE(VmcWriterBytes(script, bytes, error)) << error;
    folder_.write("Bin/Test.vmc", bytes);
    id_ = ScriptLoad("Bin\\Test.vmc");
    Script* loaded = ScriptFind(id_);
    EXPECT_NE(loaded, nullptr) << folder_.read("results.log");
    if (loaded != nullptr) {
      loaded->inputDevice = InputMenuControlSet();
    }
    return loaded;
  }
  // A frame of the script on a black window, read back before the swap.
  Pixels Render() const {
    GraphicsRenderBegin(display_);
    ScriptRender(id_, display_);
    Pixels pixels(width_, height_);
    GraphicsRenderEnd(display_);
    return pixels;
  }
  void WriteImage(const std::string& name, int32_t width, int32_t height, uint32_t colour) const {
    ImageFrame image;
    image.loaded = 1;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0xFF000000u | colour);
    folder_.write("Bin/" + name, "");
    ASSERT_TRUE(ImageSave(folder_.path() + "Bin/" + name, &image));
  }
  void MoveMouse(int32_t x, int32_t y) const {
    InputMouseMessage(kMouseMove, window_, 0, static_cast<int32_t>(y << 16 | x));
  }
  int32_t Index(const Script& script, const std::string& name) const {
    for (size_t i = 0; i < script.objects.size(); ++i) {
      if (script.objects[i].name == name) {
        return static_cast<int32_t>(i);
      }
    }
    ADD_FAILURE() << "no object " << name;
    return 0;
  }
  ObjEntry& Object(Script& script, const std::string& name) const {
    return script.objects[static_cast<size_t>(Index(script, name))];
  }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t display_ = 0;
  int32_t id_ = 0;
};

// --- The display mapping ------------------------------------------------------------------------

TEST_F(ScriptRenderGlTest, FillStretchesTheScreenOverTheWholeWindow) {
  Open(320, 240);
  ASSERT_NE(Load({Display(160, 120, 0), Color("BACK", 0, 0, 160, 120, kBlue),
                  Color("SQUARE", 100, 100, 10, 10, kRed)}),
            nullptr);
  const Pixels pixels = Render();
  EXPECT_EQ(pixels.Find(kRed), (Box{200, 200, 219, 219}));
  EXPECT_EQ(pixels.Count(kRed), 20 * 20);
  EXPECT_EQ(pixels.Count(kBlue), 320 * 240 - 20 * 20);
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, 320, 240}));

  // The pointer in display coordinates: window pixels halved, rounded down.
  MoveMouse(201, 101);
  const ScriptPointerPosition position = ScriptPointerToDisplay(id_);
  EXPECT_EQ(position.display, display_);
  EXPECT_EQ(position.rawX, 201);
  EXPECT_EQ(position.rawY, 101);
  EXPECT_EQ(position.x, 100);
  EXPECT_EQ(position.y, 50);
}

TEST_F(ScriptRenderGlTest, BestFitCentresTheScreenBetweenBars) {
  Open(1920, 1080);
  Script* script = Load({Display(800, 600, 1), Color("BACK", 0, 0, 800, 600, kWhite)});
  ASSERT_NE(script, nullptr);
  const DisplayMapping mapping = ScriptDisplayMapping(*script, display_);
  const GraphicsRect window = GraphicsViewportGet();
  const GraphicsRect saved = ScriptViewportDisplaySet(mapping);
  EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{240, 0, 1440, 1080}));
  ScriptViewportDisplayUnset(saved);
  EXPECT_EQ(GraphicsViewportGet(), window);

  const Pixels pixels = Render();
  EXPECT_EQ(pixels.Find(kWhite), (Box{240, 0, 1679, 1079}));
  EXPECT_EQ(pixels.Count(kWhite), 1440 * 1080);

  // Display coordinates scale back from the picture; over a bar they fall
  // outside the screen, truncated toward zero.
  MoveMouse(240 + 720, 540);
  EXPECT_EQ(ScriptPointerToDisplay(id_).x, 400);
  EXPECT_EQ(ScriptPointerToDisplay(id_).y, 300);
  MoveMouse(100, 1079);
  EXPECT_EQ(ScriptPointerToDisplay(id_).x, -77);
  EXPECT_EQ(ScriptPointerToDisplay(id_).y, 599);

  // The drawn size rounds halves to even; the bars truncate.
  ObjDisplay& screen = Object(*script, "SCREEN").display;
  for (const auto& [width, drawn, bar] :
       {std::tuple{801, 400, 760}, std::tuple{802, 401, 759}, std::tuple{803, 402, 759}}) {
    screen = {width, 2160, 1};
    const DisplayMapping half = ScriptDisplayMapping(*script, display_);
    EXPECT_EQ(half.drawnWidth, drawn) << width;
    EXPECT_EQ(half.drawnHeight, 1080) << width;
    EXPECT_EQ(half.barX, bar) << width;
    EXPECT_EQ(half.barY, 0) << width;
  }

  // A screen drawn less than half a pixel wide still converts the pointer.
  screen = {1, 100000, 1};
  EXPECT_EQ(ScriptDisplayMapping(*script, display_).drawnWidth, 1);
  EXPECT_EQ(ScriptPointerToDisplay(id_).x, -859);

  // A screen without width or height draws nothing, and the pointer stays
  // in window pixels.
  screen = {0, 600, 1};
  EXPECT_EQ(Render().Count(kBlack), 1920 * 1080);
  EXPECT_EQ(ScriptPointerToDisplay(id_).x, 100);
  screen = {800, -600, 0};
  EXPECT_EQ(Render().Count(kBlack), 1920 * 1080);
}

// --- Cameras ------------------------------------------------------------------------------------

// The camera shows the world region at (100, 10) of its view's size in the
// view (20, 30, 50, 40), in a 500 x 300 window. Every screen is drawn at
// scale 2: BestFit 200 x 150 between bars of 50 left and right, BestFit
// 250 x 100 between bars of 50 above and below, and Fill 250 x 150, whose
// cameras stretch with the picture.
TEST_F(ScriptRenderGlTest, ACameraShowsOnlyItsMembersInsideItsView) {
  Open(500, 300);
  VmcObject camera = VmcObjectNew(kVmcCamera, "CAMERA");
  camera.camera = {1, 20, 30, 50, 40, 100, 10, {"INSIDE", "ACROSS", "AWAY"}};
  VmcObject empty = VmcObjectNew(kVmcCamera, "EMPTY");
  empty.camera = {1, 0, 0, 0, 40, 0, 0, {"GHOST"}};
  VmcObject inverted = VmcObjectNew(kVmcCamera, "INVERTED");
  inverted.camera = {1, 150, 10, -20, 30, 0, 0, {"GHOST"}};
  VmcObject off = VmcObjectNew(kVmcCamera, "OFF");
  off.camera = {0, 0, 0, 200, 100, 0, 0, {"GHOST"}};
  Script* script =
      Load({Display(200, 150, 1), camera, empty, inverted, off,
            Color("INSIDE", 110, 20, 10, 10, kGreen), Color("ACROSS", 140, 10, 30, 10, kRed),
            Color("AWAY", 0, 0, 10, 10, kCyan), Color("GHOST", 0, 0, 250, 150, kMagenta)});
  ASSERT_NE(script, nullptr);
  for (const auto& [width, height, viewMode, barX, barY] :
       {std::tuple{200, 150, 1, 50, 0}, std::tuple{250, 100, 1, 0, 50},
        std::tuple{250, 150, 0, 0, 0}}) {
    Object(*script, "SCREEN").display = {width, height, viewMode};
    const Pixels pixels = Render();
    // (10, 10) into the view: screen (30, 40).
    EXPECT_EQ(pixels.Find(kGreen), (Box{barX + 60, barY + 80, barX + 79, barY + 99})) << width;
    // Cut at the view's right edge (screen x 70).
    EXPECT_EQ(pixels.Find(kRed), (Box{barX + 120, barY + 60, barX + 139, barY + 79})) << width;
    EXPECT_EQ(pixels.Find(kCyan), kNothing);
    EXPECT_EQ(pixels.Find(kMagenta), kNothing);
    EXPECT_EQ(pixels.Count(kBlack), 500 * 300 - 20 * 20 - 20 * 20);
    EXPECT_EQ(GraphicsViewportGet(), (GraphicsRect{0, 0, 500, 300}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

// --- Order and object types ----------------------------------------------------------------------

TEST_F(ScriptRenderGlTest, ObjectsDrawInOrderAndEqualOrdersInFileOrder) {
  Open(100, 100);
  std::vector<std::string> painted;
  ASSERT_TRUE(ScriptAppRoutineRenderRegister(
      "Paint", [this, &painted](int32_t display, const std::string& name) {
        EXPECT_EQ(display, display_);
        painted.push_back(name);
        // A blue square over the screen's (45, 45) to (55, 55).
        glDisable(GL_TEXTURE_2D);
        glColor4ub(0, 0, 255, 255);
        glBegin(GL_QUADS);
        glVertex3f(45.0f, 45.0f, -5.0f);
        glVertex3f(45.0f, 55.0f, -5.0f);
        glVertex3f(55.0f, 55.0f, -5.0f);
        glVertex3f(55.0f, 45.0f, -5.0f);
        glEnd();
        glEnable(GL_TEXTURE_2D);
      }));
  ASSERT_TRUE(ScriptAppObjRenderRegister(
      "Shown", [&painted](const std::string& name) { painted.push_back("app " + name); }));
  VmcObject render = VmcObjectNew(kVmcRender, "BRUSH");
  render.render.routine = "PAINT";
  render.order = 1;
  VmcObject app = VmcObjectNew(kVmcAppObj, "APP");
  app.appObj.render = "shown";
  VmcObject hidden = VmcObjectNew(kVmcAppObj, "HIDDEN");
  hidden.appObj = {1, 0, "", "", "Shown"};
  // A scene between them leaves the projection as it found it.
  VmcObject scene = VmcObjectNew(kVmcScene, "STAGE");
  scene.scene.models = {"NOTHING"};
  Script* script =
      Load({Display(100, 100, 0), render, app, hidden, scene, Color("FIRST", 10, 10, 40, 40, kRed),
            Color("SECOND", 30, 30, 40, 40, kGreen)});
  ASSERT_NE(script, nullptr);
  Pixels pixels = Render();
  EXPECT_EQ(pixels.At(35, 35), kGreen);  // equal orders: file order
  EXPECT_EQ(pixels.At(47, 47), kBlue);   // order 1 over order 0
  EXPECT_EQ(pixels.At(20, 20), kRed);
  EXPECT_THAT(painted, ElementsAre("app APP", "BRUSH"));
  ASSERT_GE(Object(*script, "STAGE").scene.display, 0);  // the scene is drawn

  ASSERT_TRUE(
      ScriptObjectAttributeSet(*script, Index(*script, "FIRST"), 255, 0, ScriptIntValue(5)));
  glDepthMask(GL_FALSE);
  pixels = Render();
  GLboolean depthWrites = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_EQ(depthWrites, GL_FALSE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(pixels.At(35, 35), kRed);
  EXPECT_EQ(pixels.At(47, 47), kRed);
  EXPECT_EQ(pixels.At(52, 52), kBlue);
  EXPECT_EQ(pixels.At(60, 60), kGreen);
}

// Cells of 20 x 10 stacked from (10, 10): red ordinary, green selected, blue
// pointed at; the overlay is a white 4 x 4 square in a cell's corner.
TEST_F(ScriptRenderGlTest, ListCellsAndSlidersShowTheirFrames) {
  Open(100, 100);
  WriteImage("Red.tga", 20, 10, kRed);
  WriteImage("Green.tga", 20, 10, kGreen);
  WriteImage("Blue.tga", 20, 10, kBlue);
  WriteImage("White.tga", 4, 4, kWhite);
  WriteImage("Track.tga", 30, 6, kYellow);
  WriteImage("Thumb.tga", 6, 6, kCyan);
  VmcObject list = VmcObjectNew(kVmcList, "LIST");
  list.list.left = 10;
  list.list.top = 10;
  list.list.frame = 1;
  list.list.frameSelected = 2;
  list.list.frameMouseOver = 3;
  list.list.cellCount = 5;
  list.list.cells = Frames({"Bin\\Red.tga", "Bin\\Green.tga", "Bin\\Blue.tga"});
  list.list.overlays = Frames({"Bin\\White.tga"});
  VmcObject still = VmcObjectNew(kVmcSlider, "STILL");
  still.slider = {60,
                  10,
                  1,
                  1,
                  50,
                  50,
                  50,
                  0,
                  1,
                  1,
                  0,
                  0,
                  Frames({"Bin\\Track.tga"}),
                  Frames({"Bin\\Thumb.tga"})};
  VmcObject moving = still;
  moving.name = "MOVING";
  moving.slider.top = 30;
  moving.slider.minValue = 0;
  moving.slider.maxValue = 100;
  moving.slider.value = 0;
  Script* script = Load({Display(100, 100, 0), list, still, moving});
  ASSERT_NE(script, nullptr);
  ObjList& cells = Object(*script, "LIST").list;
  cells.itemFrames = {ScriptIntValue(0), ScriptIntValue(-1), ScriptIntValue(0), ScriptIntValue(1)};
  cells.selectedIndex = 1;
  cells.pointedIndex = 2;
  cells.frameMouseOver = 4;  // a frame the list does not have: item 2 shows nothing
  Pixels pixels = Render();
  const Box column{0, 0, 40, 99};
  EXPECT_EQ(pixels.Find(kRed, column), (Box{10, 10, 29, 59}));
  EXPECT_EQ(pixels.Find(kGreen, column), (Box{10, 20, 29, 29}));
  EXPECT_EQ(pixels.Find(kBlue, column), kNothing);
  EXPECT_EQ(pixels.Find(kRed, {0, 30, 40, 39}), kNothing);
  EXPECT_EQ(pixels.Find(kWhite, column), (Box{10, 10, 13, 13}));

  cells.frameMouseOver = 3;
  cells.firstItem = 1;  // items 1 to 5: selected, pointed at, ordinary ...
  pixels = Render();
  EXPECT_EQ(pixels.Find(kGreen, column), (Box{10, 10, 29, 19}));
  EXPECT_EQ(pixels.Find(kBlue, column), (Box{10, 20, 29, 29}));
  EXPECT_EQ(pixels.Find(kRed, column), (Box{10, 30, 29, 59}));
  EXPECT_EQ(pixels.Find(kWhite, column), (Box{10, 20, 13, 23}));
  EXPECT_EQ(pixels.At(11, 31), kRed);  // overlay 1 does not exist

  // Selected and pointed at: the selected frame.
  cells.pointedIndex = 1;
  EXPECT_EQ(Render().Find(kBlue, column), kNothing);

  // A slider without a range shows its track only.
  const Box sliders{50, 0, 99, 99};
  EXPECT_EQ(pixels.Find(kYellow, sliders), (Box{60, 10, 89, 35}));
  EXPECT_EQ(pixels.Find(kCyan, sliders), (Box{60, 30, 65, 35}));

  cells.visible = 0;
  EXPECT_EQ(Render().Find(kRed, column), kNothing);
  cells.visible = 1;
  for (const int32_t count : {0, -1, std::numeric_limits<int32_t>::min()}) {
    cells.cellCount = count;
    EXPECT_EQ(Render().Find(kRed, column), kNothing) << count;
  }
}

// Texts on a 160 x 120 screen in a window of the same size, in the solid
// font: each line is a box of its width and 7 rows.
TEST_F(ScriptRenderGlTest, TextsSitWhereTheirObjectsPutThem) {
  Open(160, 120);
  WriteBytes(folder_, "Bin/F.fot", FontBytes(SolidFont()));
  WriteImage("Small.tga", 41, 20, kGrey);
  WriteImage("Tall.tga", 40, 30, kGrey);
  WriteImage("Cell.tga", 30, 12, kGrey);
  VmcObject button = VmcObjectNew(kVmcButton, "BUTTON");
  button.button = {10,   10,
                   1,    1,
                   1,    "Bin\\F.fot",
                   "ab", static_cast<int32_t>(0xAA000000 | kYellow),
                   0,    Frames({"Bin\\Small.tga"})};
  VmcObject wrapped = VmcObjectNew(kVmcButton, "WRAPPED");
  wrapped.button = {60,          10,
                    1,           1,
                    1,           "Bin\\F.fot",
                    "aaaa bbbb", static_cast<int32_t>(kCyan),
                    20,          Frames({"Bin\\Tall.tga"})};
  VmcObject centred = VmcObjectNew(kVmcList, "CENTRED");
  centred.list.left = 10;
  centred.list.top = 50;
  centred.list.font = "Bin\\F.fot";
  centred.list.colorSelected = static_cast<int32_t>(kMagenta);
  centred.list.cellCount = 1;
  centred.list.textMode = 1;
  centred.list.cells = Frames({"Bin\\Cell.tga"});
  VmcObject clipped = centred;
  clipped.name = "CLIPPED";
  clipped.list.left = 60;
  clipped.list.cellCount = 2;
  clipped.list.color = static_cast<int32_t>(kGreen);
  clipped.list.textMode = 0;
  clipped.list.textWidth = 10;
  VmcObject flowing = centred;
  flowing.name = "FLOWING";
  flowing.list.left = 110;
  flowing.list.textOffsetY = 2;
  flowing.list.textMode = 3;
  flowing.list.textWidth = 20;
  VmcObject label = VmcObjectNew(kVmcLabel, "LABEL");
  label.label = {
      10, 90, "Bin\\F.fot", static_cast<int32_t>(kOrange), 255, "aaaa bbbb cc", 1, 40, 0, 0, 2, 2};
  Script* script = Load({Display(160, 120, 0), button, wrapped, centred, clipped, flowing, label});
  ASSERT_NE(script, nullptr);
  Object(*script, "CENTRED").list.itemTexts = {ScriptStringValue("abcdefg")};
  Object(*script, "CLIPPED").list.itemTexts = {ScriptStringValue("abcdef"), ScriptIntValue(12)};
  Object(*script, "FLOWING").list.itemTexts = {ScriptStringValue("aaaa bbbb")};
  const Pixels pixels = Render();
  // "ab" (8 wide) in a 41 x 20 frame: (41 - 8) / 2 and (20 - 8) / 2 in.
  EXPECT_EQ(pixels.Find(kYellow), (Box{26, 16, 33, 22}));
  // Two lines of 16 in a box of 20, centred on the 40 x 30 frame.
  EXPECT_EQ(pixels.Find(kCyan), (Box{72, 17, 87, 31}));
  // Wider than the box of 30 - 5: (25 - 28) / 2 truncates to -1.
  EXPECT_EQ(pixels.Find(kMagenta, {0, 40, 49, 80}), (Box{14, 52, 41, 58}));
  // Clipped to 10: two glyphs; the second cell in the ordinary colour.
  EXPECT_EQ(pixels.Find(kMagenta, {50, 40, 99, 80}), (Box{65, 52, 72, 58}));
  EXPECT_EQ(pixels.Find(kGreen), (Box{65, 64, 72, 70}));
  // Wrapped in 20 from the cell's text offset.
  EXPECT_EQ(pixels.Find(kMagenta, {100, 40, 159, 80}), (Box{115, 52, 130, 66}));
  // From the second wrapped line, right-aligned in 40.
  EXPECT_EQ(pixels.Find(kOrange), (Box{42, 90, 49, 96}));
}

// --- The pointer
// ----------------------------------------------------------------------------------

// An 8 x 8 white pointer on a 100 x 100 Fill screen in a 200 x 200 window:
// it is drawn in window pixels where the pointer is placed.
TEST_F(ScriptRenderGlTest, AnIdlePointerFadesAndShowsAgainWhenMoved) {
  Open(200, 200);
  WriteImage("Pointer.tga", 8, 8, kWhite);
  VmcObject pointer = VmcObjectNew(kVmcPointer, "POINTER");
  pointer.pointer.fadeOnIdle = 1;
  pointer.pointer.frames = Frames({"Bin\\Pointer.tga"});
  Script* script = Load({Display(100, 100, 0), pointer});
  ASSERT_NE(script, nullptr);
  FrameSet& frames = Object(*script, "POINTER").pointer.frames;
  const auto moveTo = [&](int32_t x, int32_t y) {
    MoveMouse(x, y);
    ScriptFrameSetMoveTo(frames, x, y);
  };
  moveTo(50, 60);
  EXPECT_EQ(Render().Find(kWhite), (Box{50, 60, 57, 67}));

  PlatformClockAdvance(2000);  // still within the delay
  EXPECT_EQ(Render().At(53, 63), kWhite);
  PlatformClockAdvance(500);  // half way: alpha 127 over black
  Pixels pixels = Render();
  EXPECT_EQ(Object(*script, "POINTER").pointer.fadeAlpha, 127);
  EXPECT_TRUE(Pixels::Near(pixels.At(53, 63), 0x7F7F7F)) << std::hex << pixels.At(53, 63);
  EXPECT_EQ(pixels.Find(0x7F7F7F), (Box{50, 60, 57, 67}));
  PlatformClockAdvance(5000);
  EXPECT_EQ(Render().Count(kBlack), 200 * 200);

  moveTo(70, 60);
  EXPECT_EQ(Render().Find(kWhite), (Box{70, 60, 77, 67}));

  // Without a duration the pointer goes at once when the delay is over.
  Object(*script, "POINTER").pointer.fadeDuration = 0;
  PlatformClockAdvance(2001);
  EXPECT_EQ(Render().Count(kBlack), 200 * 200);
}

}  // namespace
