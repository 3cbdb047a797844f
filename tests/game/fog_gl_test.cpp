// Fog of war on a real display (SDL under a virtual X server with Mesa): a
// script draws a green scene and a fog layer over it through an AppObj
// object, its code calls the fog routines, and the pixels read back are
// compared with the layer's mat as a save stores it.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/depth_runs.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kWidth = 300;
constexpr int32_t kHeight = 160;
constexpr uint32_t kScene = 0x00FF00;
constexpr uint32_t kPicture = 0x8040C0;
// The picture of the layer "Notepad" in the folder "Bin\Alt".
constexpr uint32_t kOtherPicture = 0x20A0E0;

// The fog mat's entries: a blue-0 entry that is not the last, the cover, the
// clear index (the last of blue 0), and two more covers, one in front of the
// picture (blue below 120) and one behind it.
constexpr uint8_t kRed = 0;
constexpr uint8_t kCover = 1;
constexpr uint8_t kClear = 2;
constexpr uint8_t kShade = 3;
constexpr uint8_t kHigh = 4;

Mat NotepadMat() {
  Mat mat;
  mat.entries = {{"RED", 0xFF0000},
                 {"COVER", 0x0000FF},
                 {"CLEAR", 0x000000},
                 {"SHADE", 0x000050},
                 {"HIGH", 0x0000C8}};
  mat.width = kWidth;
  mat.height = kHeight;
  mat.data.assign(kWidth * kHeight, kCover);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 20; ++x) {
      mat.data[y * kWidth + x] = kRed;
      mat.data[(kHeight - 1 - y) * kWidth + kWidth - 1 - x] = kShade;
      mat.data[y * kWidth + kWidth - 1 - x] = kHigh;
    }
  }
  return mat;
}

// A stored fog layer as FogOfWarSave writes it.
struct SavedLayer {
  std::string name;
  std::string folder;
  Mat mat;
};

class FogGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      Compile("object Display Screen { display = 1; width = 1280; height = 720; }\n", file);
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    // A frame brings a freshly resized window's drawing surface to its size.
    ASSERT_TRUE(GameFrame());
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), windowWidth_, windowHeight_);
    ASSERT_GE(windowWidth_, kWidth + 10);
    ASSERT_GE(windowHeight_, kHeight + 10);

    ImageFrame* picture = nullptr;
    ImageFrameNew(picture);
    picture->width = kWidth;
    picture->height = kHeight;
    picture->pixels.assign(kWidth * kHeight, 0xFF000000 | kPicture);
    for (const char* name : {"Notepad", "Second", "Bare", "Crowded"}) {
      ASSERT_TRUE(ImageSave(program_.write(std::string("Bin/Fog/") + name + ".tga", ""), picture));
    }
    picture->pixels.assign(kWidth * kHeight, 0xFF000000 | kOtherPicture);
    ASSERT_TRUE(ImageSave(program_.write("Bin/Alt/Notepad.tga", ""), picture));
    ImageFree(picture);
    WriteMat("Bin/Fog/Notepad.mat", NotepadMat());
    WriteMat("Bin/Fog/Second.mat", NotepadMat());
    Mat bare = NotepadMat();
    bare.entries[kRed].color = 0xFF0001;
    bare.entries[kClear].color = 0x000001;
    WriteMat("Bin/Fog/Bare.mat", bare);
    Mat crowded = NotepadMat();
    crowded.entries.resize(130, {"MORE", 0x0000FF});
    WriteMat("Bin/Fog/Crowded.mat", crowded);
  }
  void TearDown() override { StopWindowedGameForTest(); }

  void Compile(const std::string& source, const std::string& file) {
    VmccResult compiled;
    ASSERT_TRUE(VmccCompile(source, "fog.vms", {}, compiled))
        << ::testing::PrintToString(compiled.diagnostics);
    std::string error;
    ASSERT_TRUE(VmcWriterSave(compiled.script, program_.write(file, ""), error)) << error;
  }
  void WriteMat(const std::string& relative, const Mat& mat) {
    const int32_t file = DataFileDirectCreate(program_.write(relative, ""));
    ASSERT_EQ(MatDirectSave(file, mat), 3);
    DataFileDirectClose(file);
  }

  // Loads a window-sized screen of the green scene with the layer "NOTEPAD"
  // over it, and runs the code with the helper `coverage` at hand; what the
  // code reported.
  std::vector<std::string> Run(const std::string& code) {
    const int32_t display = GamePrimaryDisplay();
    const std::string size = "display = " + std::to_string(display) +
                             "; width = " + std::to_string(windowWidth_) +
                             "; height = " + std::to_string(windowHeight_) + ";";
    Compile(
        "routine REPORT, AppFogOfWarAdd, AppFogOfWarUncover, AppFogOfWarCoverage;\n"
        "object Display Screen { " +
            size +
            " viewMode = 0; }\n"
            "object Color Scene { " +
            size + " color = " + std::to_string(kScene) +
            "; enabled = false; }\n"
            "object AppObj FogOfWarNotepad { display = " +
            std::to_string(display) +
            "; order = 1; render = \"AppRenderFogOfWar\"; inObject = "
            "\"AppInObjectFogOfWar\"; }\n"
            "func coverage(name: string) {\n"
            "  var covered = 0;\n  var uncovered = 0;\n"
            "  AppFogOfWarCoverage(name, out covered, out uncovered);\n"
            "  REPORT(name + \" \" + covered + \" \" + uncovered);\n}\n" +
            code,
        "Bin/fog.vmc");
    ScriptClose(script_);
    script_ = ScriptLoad("Bin\\fog.vmc");
    EXPECT_GT(script_, 0);
    return std::exchange(reports_, {});
  }

  // Draws the screen and counts the pixels of the fog's area, and of a
  // margin right of and below it, that differ from what the mat says: the
  // scene where the mat's entry lies in front of the picture (blue below
  // 120), the picture elsewhere, the scene outside the mat.
  int32_t PixelsUnlikeTheMat(const Mat& mat, uint32_t picture = kPicture) {
    const int32_t display = GamePrimaryDisplay();
    GraphicsRenderBegin(display);
    ScriptRender(script_, display);
    const int32_t width = kWidth + 10;
    const int32_t height = kHeight + 10;
    // Rows count from the bottom.
    const std::vector<uint8_t> rgba =
        GraphicsReadPixels({0, windowHeight_ - height, width, height});
    GraphicsRenderEnd(display);
    int32_t wrong = 0;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = &rgba[static_cast<size_t>((height - 1 - y) * width + x) * 4];
        const uint32_t colour = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
        const int32_t index = MatEntryAt(mat, x, y);
        const bool hidden = index < 0 || (mat.entries[index].color & 0xFF) < 120;
        const uint32_t expected = hidden ? kScene : picture;
        if (colour != expected && ++wrong <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << colour
                        << " instead of " << expected;
        }
      }
    }
    return wrong;
  }

  // Every layer, through FogOfWarSave; the file's bytes in `bytes`.
  std::vector<SavedLayer> Saved(std::string* bytes = nullptr) {
    const std::string path = program_.path() + "layers.bin";
    int32_t file = DataFileDirectCreate(path);
    EXPECT_TRUE(FogOfWarSave(file));
    DataFileDirectClose(file);
    if (bytes != nullptr) {
      *bytes = ReadWholeFile(path);
    }
    std::vector<SavedLayer> layers;
    file = DataFileDirectOpen(path);
    int32_t count = 0;
    EXPECT_TRUE(DataFileDirectRead(file, &count, 4));
    for (int32_t n = 0; n < count; ++n) {
      SavedLayer& layer = layers.emplace_back();
      for (std::string* text : {&layer.name, &layer.folder}) {
        int32_t length = 0;
        EXPECT_TRUE(DataFileDirectRead(file, &length, 4));
        text->resize(static_cast<size_t>(length));
        EXPECT_TRUE(DataFileDirectRead(file, text->data(), length));
      }
      MatDirectOpen(file, layer.mat);
    }
    EXPECT_TRUE(DataFileDirectEOF(file));
    DataFileDirectClose(file);
    return layers;
  }
  Mat SavedMat(size_t layer = 0) {
    const std::vector<SavedLayer> layers = Saved();
    return layer < layers.size() ? layers[layer].mat : Mat{};
  }

  // Loads layers from bytes written by FogOfWarSave.
  bool Load(const std::string& bytes) {
    const std::string path = program_.path() + "load.bin";
    WriteWholeFile(path, bytes);
    const int32_t file = DataFileDirectOpen(path);
    const bool loaded = FogOfWarLoad(file);
    DataFileDirectClose(file);
    return loaded;
  }

  std::string Log() const { return program_.read("results.log"); }

  TempFolder program_;
  std::vector<std::string> reports_;
  int32_t script_ = 0;
  int32_t windowWidth_ = 0;
  int32_t windowHeight_ = 0;
};

// The counts of a coverage report: (covered, uncovered).
std::pair<int32_t, int32_t> Counts(const std::string& report) {
  const size_t second = report.rfind(' ');
  const size_t first = report.rfind(' ', second - 1);
  return {std::stoi(report.substr(first + 1, second - first - 1)),
          std::stoi(report.substr(second + 1))};
}

// One stroke of radius 20 over 200 pixels: the scene shows exactly on the
// clear index's pixels and on the entries in front of the picture; the
// uncovered pixels are those of the capsule; the layer takes clicks exactly
// over its mat.
TEST_F(FogGlTest, AStrokeShowsTheSceneExactlyWhereTheMatUncoversIt) {
  const std::vector<std::string> reports = Run(R"(
    AppFogOfWarAdd("Notepad", "Bin\\Fog");
    coverage("notepad");
    AppFogOfWarUncover("notepad", 40, 80, 240, 80, 20);
    coverage("NOTEPAD");
    coverage("nothing");
    REPORT(objectAt(299, 159) + "|" + objectAt(300, 10) + "|" + objectAt(0, 160) + "|" +
           objectAt(0, 0));
  )");
  ASSERT_EQ(reports.size(), 4u);
  // A fresh mat has no pixel of the clear index: the red block is blue 0 too,
  // but not the last such entry.
  EXPECT_EQ(reports[0], "notepad 48000 0");
  const auto [covered, uncovered] = Counts(reports[1]);
  EXPECT_EQ(covered + uncovered, kWidth * kHeight);
  const double capsule = 2 * 20 * 200 + std::numbers::pi * 20 * 20;
  EXPECT_NEAR(uncovered, capsule, capsule * 0.05);
  EXPECT_EQ(reports[2], "nothing 0 0");
  EXPECT_EQ(reports[3], "FOGOFWARNOTEPAD|||FOGOFWARNOTEPAD");

  const Mat mat = SavedMat();
  ASSERT_EQ(mat.width, kWidth);
  EXPECT_EQ(std::count(mat.data.begin(), mat.data.end(), kClear), uncovered);
  EXPECT_EQ(PixelsUnlikeTheMat(mat), 0);
}

// Adding a layer that exists keeps it as it is; a point stroke uncovers a
// small disc; a stroke from outside uncovers only its part inside the mat.
TEST_F(FogGlTest, AddingAgainKeepsTheLayerAndStrokesUncoverOnlyTheirInsidePart) {
  const std::vector<std::string> reports = Run(R"(
    AppFogOfWarAdd("Notepad", "Bin\\Fog");
    AppFogOfWarUncover("Notepad", 150, 40, 150, 40, 10);
    coverage("Notepad");
    AppFogOfWarAdd("NOTEPAD", "Elsewhere");
    coverage("Notepad");
    AppFogOfWarUncover("Notepad", -100, 120, 60, 120, 15);
    coverage("Notepad");
  )");
  ASSERT_EQ(reports.size(), 3u);
  // The direction (1, 1) of a point stroke rounds to length 1: a capsule of
  // radius 10 x the square root of 2 over the diagonal of one pixel, give or
  // take the pixel of its edge.
  const int32_t disc = Counts(reports[0]).second;
  const auto capsule = [](double r) {
    return 2 * r * std::numbers::sqrt2 + std::numbers::pi * r * r;
  };
  EXPECT_GT(disc, capsule(10 * std::numbers::sqrt2 - 1));
  EXPECT_LT(disc, capsule(10 * std::numbers::sqrt2 + 1));
  EXPECT_EQ(reports[1], reports[0]);
  const double inside = 2 * 15 * 60 + std::numbers::pi * 15 * 15 / 2;
  EXPECT_NEAR(Counts(reports[2]).second - disc, inside, inside * 0.05);

  const std::vector<SavedLayer> layers = Saved();
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0].name, "NOTEPAD");
  EXPECT_EQ(layers[0].folder, "Bin\\Fog\\");
  EXPECT_EQ(PixelsUnlikeTheMat(layers[0].mat), 0);
}

// A save written, the layers reset and the save loaded give the same bytes,
// coverage and pixels; a damaged save loads the whole layers before the
// damage and nothing of the damaged one.
TEST_F(FogGlTest, SaveResetAndLoadGiveTheSameLayersAndDamageCostsOnlyTheDamagedLayer) {
  Run(R"(
    AppFogOfWarAdd("Notepad", "Bin\\Fog");
    AppFogOfWarAdd("Second", "Bin/Fog/");
    AppFogOfWarUncover("Notepad", 30, 30, 250, 130, 25);
    AppFogOfWarUncover("Second", 280, 10, 10, 150, 12);
  )");
  const std::pair<int32_t, int32_t> notepad = FogOfWarCoverage("Notepad");
  const std::pair<int32_t, int32_t> second = FogOfWarCoverage("Second");
  ASSERT_GT(notepad.second, 0);
  ASSERT_GT(second.second, 0);
  ASSERT_NE(notepad, second);
  std::string saved;
  const std::vector<SavedLayer> layers = Saved(&saved);
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[1].folder, "Bin/Fog/");

  FogOfWarClear();
  EXPECT_EQ(FogOfWarFind("Notepad"), -1);
  EXPECT_EQ(FogOfWarCoverage("Notepad"), std::make_pair(0, 0));
  ASSERT_TRUE(Load(saved));
  std::string again;
  Saved(&again);
  EXPECT_EQ(again, saved);
  EXPECT_EQ(FogOfWarCoverage("Notepad"), notepad);
  EXPECT_EQ(FogOfWarCoverage("Second"), second);
  EXPECT_EQ(FogOfWarFind("Second"), 1);
  EXPECT_EQ(PixelsUnlikeTheMat(layers[0].mat), 0);

  // Loading over existing layers replaces their mats.
  FogOfWarUncover("Notepad", 0, 0, 300, 160, 200);
  ASSERT_EQ(FogOfWarCoverage("Notepad"), std::make_pair(0, kWidth * kHeight));
  ASSERT_TRUE(Load(saved));
  EXPECT_EQ(FogOfWarCoverage("Notepad"), notepad);
  EXPECT_EQ(PixelsUnlikeTheMat(layers[0].mat), 0);

  // Cut inside the second layer's name, inside its mat's entries, before its
  // last run ends.
  const size_t secondLayer = saved.find("SECOND") - 4;
  for (const size_t length : {secondLayer + 6, secondLayer + 40, saved.size() - 1}) {
    FogOfWarClear();
    EXPECT_FALSE(Load(saved.substr(0, length)));
    EXPECT_EQ(FogOfWarCoverage("Notepad"), notepad);
    EXPECT_EQ(FogOfWarFind("Second"), -1);
  }
  // A count of two billion: the layers there are, then the end of the data.
  std::string huge = saved;
  huge[3] = 0x7F;
  FogOfWarClear();
  EXPECT_FALSE(Load(huge));
  EXPECT_EQ(FogOfWarCoverage("Second"), second);
  EXPECT_FALSE(Load(saved.substr(0, 2)));
  EXPECT_THAT(Log(), HasSubstr("Error: FogOfWarLoad - Unable to read fog layer 2 of 2.\r\n"));
  EXPECT_THAT(Log(),
              HasSubstr("Error: FogOfWarLoad - Unable to read the number of fog layers.\r\n"));
}

// A layer that a reset removed and a load or an add brings back draws the
// picture of its own folder, whichever folders' layers were removed before;
// a load takes the mat from the save alone, with no mat file to read.
TEST_F(FogGlTest, LayersBroughtBackAfterAResetDrawThePictureOfTheirOwnFolder) {
  Run(R"(
    AppFogOfWarAdd("Notepad", "Bin\\Fog");
    AppFogOfWarUncover("Notepad", 30, 30, 250, 130, 25);
  )");
  const std::pair<int32_t, int32_t> coverage = FogOfWarCoverage("Notepad");
  std::string saved;
  const std::vector<SavedLayer> layers = Saved(&saved);
  ASSERT_EQ(layers.size(), 1u);
  const Mat& stroked = layers[0].mat;
  // The same layer saved from the other folder (a name of the same length).
  std::string elsewhere = saved;
  const size_t folder = elsewhere.find("Bin\\Fog\\");
  ASSERT_NE(folder, std::string::npos);
  elsewhere.replace(folder, 8, "Bin\\Alt\\");

  FogOfWarClear();
  FogOfWarAdd("Notepad", "Bin\\Fog");
  EXPECT_EQ(PixelsUnlikeTheMat(NotepadMat()), 0);
  std::filesystem::remove(program_.path() + "Bin/Fog/Notepad.mat");
  for (const auto& [bytes, picture] : {std::pair{saved, kPicture},
                                       {elsewhere, kOtherPicture},
                                       {saved, kPicture},
                                       {elsewhere, kOtherPicture}}) {
    FogOfWarClear();
    ASSERT_TRUE(Load(bytes));
    EXPECT_EQ(FogOfWarCoverage("Notepad"), coverage);
    EXPECT_EQ(PixelsUnlikeTheMat(stroked, picture), 0);
    std::string again;
    Saved(&again);
    EXPECT_EQ(again, bytes);
  }
  EXPECT_THAT(Log(), Not(HasSubstr("NOTEPAD.mat")));
}

// The designed depth mesh: a quad per run, two pixels wider and one taller
// than the run, drawn in order (later quads overwrite the overlap).
Model* QuadPerRunMesh(const Mat& mat) {
  Model* mesh = ModelNew(GamePrimaryDisplay(), kModelCompilable);
  int32_t vertex = 0;
  for (const DepthRun& run : DepthRunsOf(mat)) {
    const float z = -static_cast<float>(run.depth);
    const auto x0 = static_cast<float>(run.x0);
    const auto x1 = static_cast<float>(run.x1 + 2);
    const auto y0 = static_cast<float>(run.y);
    const auto y1 = static_cast<float>(run.y + 2);
    ModelVertexSet(mesh, vertex, x0, y0, z);
    ModelVertexSet(mesh, vertex + 1, x0, y1, z);
    ModelVertexSet(mesh, vertex + 2, x1, y0, z);
    ModelVertexSet(mesh, vertex + 3, x1, y1, z);
    ModelTriangle corners;
    corners.vertices = {vertex, vertex + 1, vertex + 3};
    ModelTriangleSet(mesh, vertex / 2, corners);
    corners.vertices = {vertex, vertex + 3, vertex + 2};
    ModelTriangleSet(mesh, vertex / 2 + 1, corners);
    vertex += 4;
  }
  ModelCompile(mesh);
  return mesh;
}

// The depth buffer a depth mesh leaves over the mat and a margin, with the
// screen's pixels drawn `scale` window pixels wide.
std::vector<uint32_t> DepthLeft(const Model* mesh, const Mat& mat, double scale, int32_t width,
                                int32_t height) {
  GraphicsRenderBegin(GamePrimaryDisplay());
  GraphicsSetOrtho(static_cast<int32_t>(width / scale), static_cast<int32_t>(height / scale));
  glEnable(GL_DEPTH_TEST);
  RoomRenderDepthOnly(mesh);
  glDisable(GL_DEPTH_TEST);
  const auto w = static_cast<int32_t>((mat.width + 6) * scale);
  const auto h = static_cast<int32_t>((mat.height + 6) * scale);
  std::vector<uint32_t> depth(static_cast<size_t>(w * h));
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, height - h, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depth.data());
  return depth;
}

// The depth mesh leaves the depth buffer of the designed quad per run, unscaled
// and stretched by a half, over a mat of blocks, stripes, single pixels and
// entries sharing a depth; from fewer quads.
TEST_F(FogGlTest, TheDepthMeshLeavesTheDepthOfTheDesignedQuadPerRun) {
  Mat mat;
  mat.entries = {{"A", 0x000000}, {"B", 0x000028}, {"C", 0x000028},
                 {"D", 0x0000C8}, {"E", 0x000078}, {"F", 0x000007}};
  mat.width = 97;
  mat.height = 61;
  mat.data.resize(static_cast<size_t>(mat.width * mat.height));
  uint32_t random = 12345;
  for (int32_t y = 0; y < mat.height; ++y) {
    for (int32_t x = 0; x < mat.width; ++x) {
      random = random * 1103515245u + 12345u;
      uint8_t index = static_cast<uint8_t>((x / 13 + y / 9) % 3);
      if (y % 11 == 5) {
        index = 3;
      } else if (x > 60 && x < 70) {
        index = static_cast<uint8_t>(1 + (y / 3) % 2);
      } else if ((random >> 16) % 29 == 0) {
        index = static_cast<uint8_t>((random >> 8) % 6);
      }
      mat.data[static_cast<size_t>(y * mat.width + x)] = index;
    }
  }
  Model* designed = QuadPerRunMesh(mat);
  Model* mesh = RoomBuildDepthMesh(mat, "merged");
  EXPECT_LT(ModelTriangleCount(mesh), ModelTriangleCount(designed));
  for (const double scale : {1.0, 1.5}) {
    const std::vector<uint32_t> expected =
        DepthLeft(designed, mat, scale, windowWidth_, windowHeight_);
    const std::vector<uint32_t> depth = DepthLeft(mesh, mat, scale, windowWidth_, windowHeight_);
    EXPECT_NE(std::count(expected.begin(), expected.end(), expected.front()),
              static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_TRUE(depth == expected) << "at scale " << scale;
  }
  ModelClose(designed);
  ModelClose(mesh);
}

// Mats strokes cannot be drawn on: no entry of blue 0, or room for no mark.
// Each is logged once when added, counts as covered and stays so.
TEST_F(FogGlTest, FogMatsThatCannotBeUncoveredAreLoggedAndStayCovered) {
  const std::vector<std::string> reports = Run(R"(
    AppFogOfWarAdd("Bare", "Bin\\Fog");
    AppFogOfWarUncover("Bare", 0, 0, 300, 160, 50);
    coverage("Bare");
    AppFogOfWarAdd("Crowded", "Bin\\Fog");
    AppFogOfWarUncover("Crowded", 0, 0, 300, 160, 50);
    coverage("Crowded");
  )");
  EXPECT_THAT(reports, ElementsAre("Bare 48000 0", "Crowded 48000 0"));
  EXPECT_THAT(Log(), HasSubstr("Error: FogOfWarAdd - Fog mat \"Bin\\Fog\\BARE.mat\" has no entry "
                               "of blue 0; it cannot be uncovered.\r\n"));
  EXPECT_THAT(Log(), HasSubstr("Error: FogOfWarAdd - Fog mat \"Bin\\Fog\\CROWDED.mat\" has 130 "
                               "entries; a fog mat holds at most 127, so it cannot be "
                               "uncovered.\r\n"));
}

}  // namespace
