// Models drawn on a real display (SDL under a virtual X server with Mesa):
// every check reads the drawn pixels back from the back buffer.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "platform/platform.h"
#include "tests/framework/model/model_testing.h"

namespace {

using ::testing::Contains;

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

// Colours differ strongly from each pixel to the next, so that a pixel drawn
// from the wrong place, or blended with a wrong neighbour, shows.
uint32_t Speckle(int32_t x, int32_t y) {
  const auto h = static_cast<uint32_t>(x * 73 + y * 151);
  return 0xFF000000u | (h * 2654435761u >> 8 & 0xFFFFFFu);
}

uint32_t Rgb(uint32_t pixel) {
  return pixel & 0xFFFFFFu;
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

std::vector<uint32_t> ImageRgb(const ImageFrame& image) {
  std::vector<uint32_t> pixels;
  for (uint32_t pixel : image.pixels) {
    pixels.push_back(Rgb(pixel));
  }
  return pixels;
}

// Largest difference of one channel between two pixel lists of equal length.
int MaxChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      largest = std::max(largest, std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                           static_cast<int>((b[i] >> shift) & 0xFF)));
    }
  }
  return largest;
}

GLint Integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// One display with a context on a fresh window; each test starts a frame on it.
class ModelGlTest : public ::testing::Test {
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
    PlatformWindowParams params;
    params.title = "model";
    params.width = kWidth;
    params.height = kHeight;
    params.opengl = true;
    window_ = PlatformWindowCreate(params);
    ASSERT_NE(window_, 0u) << PlatformLastErrorText();
    display_ = GraphicsDisplayAdd(window_, "Primary", 0);
    ASSERT_TRUE(GraphicsDisplayCreateRC(display_));
    BeginFrame();
  }
  void TearDown() override {
    KeepOpenGLDriversLoaded();
    ModelSetFontRebuild(nullptr);
    GraphicsStop();
    ModelStop();
    ImageStop();
    LogStop();
    DataFileStop();
    PlatformStop();
  }

  void BeginFrame() {
    GraphicsRenderBegin(display_);
    GraphicsSetOrtho(kWidth, kHeight);
  }
  // Loses the display's context and rebuilds everything in a new one.
  void RebuildContext() {
    ModelAssetsFree();
    GraphicsDisplaysFreeRC();
    GraphicsDisplaysRecreateRC();
    ModelAssetsRecompile();
    BeginFrame();
  }
  // Writes the image as a content file and opens it as a model at (x, y).
  Model* Open(const std::string& name, const ImageFrame& image, int32_t x, int32_t y,
              bool linear = false) {
    WriteTga(folder_, "Bin/" + name, image);
    Model* model = ModelOpen(display_, "Bin\\" + name, linear);
    ModelSetPosition(model, static_cast<float>(x), static_cast<float>(y), 0.0f);
    return model;
  }
  std::vector<std::string> LogLines() const {
    return folder_.exists("results.log") ? SplitLines(folder_.read("results.log"))
                                         : std::vector<std::string>{};
  }

  TempFolder folder_;
  PlatformWindow window_ = 0;
  int32_t display_ = -1;
};

// --- Drawing images ---------------------------------------------------------------------------

TEST_F(ModelGlTest, AnImageModelDrawsItsPixelsAtItsPosition) {
  const ImageFrame image = MakeImage(100, 30, Speckle);
  Model* model = Open("Strip.tga", image, 10, 20);
  ASSERT_TRUE(model->compiled);
  ModelRender(model);
  EXPECT_EQ(ReadRect(10, 20, 100, 30), ImageRgb(image));
  EXPECT_EQ(ReadPixel(9, 20), 0u);
  EXPECT_EQ(ReadPixel(110, 49), 0u);
  EXPECT_EQ(ReadPixel(10, 50), 0u);
}

TEST_F(ModelGlTest, ATextureLargerThanATileDrawsWithoutSeamsWithEitherFilter) {
  const ImageFrame image = MakeImage(300, 200, Speckle);
  for (bool linear : {false, true}) {
    BeginFrame();
    Model* model = Open(linear ? "Linear.tga" : "Nearest.tga", image, 10, 20, linear);
    ASSERT_EQ(model->textures.at(0)->tiles.size(), 4u);
    ModelRender(model);
    // Linear filtering at texel centres may round a channel by one.
    EXPECT_LE(MaxChannelDifference(ReadRect(10, 20, 300, 200), ImageRgb(image)), linear ? 1 : 0);
    ModelClose(model);
  }
}

TEST_F(ModelGlTest, ScaledTilesBlendOnlyWithTheirOwnBorderAtTheSeams) {
  // One colour everywhere: a seam that filtered in anything else would show.
  const ImageFrame image = MakeImage(300, 200, [](int32_t, int32_t) { return 0xFF80C040u; });
  Model* model = Open("Plain.tga", image, 0, 0, true);
  ModelScale(model, 1.05f);
  ModelMove(model, 0.3f, 0.3f, 0.0f);
  ModelRender(model);
  const std::vector<uint32_t> inside = ReadRect(1, 1, 312, 208);
  EXPECT_THAT(inside, ::testing::Each(0x80C040u));
}

TEST_F(ModelGlTest, LinearFilteringBlendsNeighboursAndNearestKeepsThemApart) {
  // Two pixels, black and white, stretched to 64 x 64 each side.
  const ImageFrame image =
      MakeImage(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFF000000u : 0xFFFFFFFFu; });
  for (bool linear : {false, true}) {
    BeginFrame();
    Model* model = Open(linear ? "Linear.tga" : "Nearest.tga", image, 0, 0, linear);
    ModelScale(model, 64.0f);
    ModelRender(model);
    const uint32_t left = ReadPixel(60, 10);
    EXPECT_EQ(left != 0u && left != 0xFFFFFFu, linear) << std::hex << left;
    EXPECT_EQ(ReadPixel(4, 10), 0u);
    EXPECT_EQ(ReadPixel(124, 10), 0xFFFFFFu);
    ModelClose(model);
  }
}

TEST_F(ModelGlTest, RepeatingTexturesWrapAndClampedOnesStretchTheirEdge) {
  const ImageFrame image =
      MakeImage(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFFFF0000u : 0xFF0000FFu; });
  WriteTga(folder_, "Bin/Wrap.tga", image);
  WriteTga(folder_, "Bin/Clamp.tga", image);
  for (bool repeat : {true, false}) {
    BeginFrame();
    const std::string name = repeat ? "Bin\\Wrap.tga" : "Bin\\Clamp.tga";
    ModelTexture* texture = ModelTextureGet(display_, name, false, repeat, false);
    ModelTextureAddRef(texture);
    // One 40 x 10 quad whose texture coordinates run from 0 to 2 across.
    Model* model = ModelNew(display_, kModelImmediate);
    const float corners[4][4] = {{0, 0, 0, 0}, {0, 10, 0, 1}, {40, 0, 2, 0}, {40, 10, 2, 1}};
    for (int32_t i = 0; i < 4; ++i) {
      ModelVertexSet(model, i, corners[i][0], corners[i][1], 0.0f);
      ModelTexCoordSet(model, i, corners[i][2], corners[i][3]);
    }
    ModelTriangle triangle;
    triangle.textures = {{texture, 0}};
    triangle.vertices = triangle.texCoords = {0, 1, 2};
    ModelTriangleSet(model, 0, triangle);
    triangle.vertices = triangle.texCoords = {2, 1, 3};
    ModelTriangleSet(model, 1, triangle);
    ModelRender(model);
    EXPECT_EQ(ReadPixel(5, 5), 0xFF0000u);
    EXPECT_EQ(ReadPixel(15, 5), 0x0000FFu);
    EXPECT_EQ(ReadPixel(25, 5), repeat ? 0xFF0000u : 0x0000FFu);
    ModelClose(model);
    ModelTextureRelease(texture);
  }
}

// --- Colour, alpha and rotation
// ----------------------------------------------------------------------

TEST_F(ModelGlTest, TheModelColourTintsAndItsAlphaBlendsOverWhatIsThere) {
  Model* model =
      Open("White.tga", MakeImage(8, 8, [](int32_t, int32_t) { return 0xFFFFFFFFu; }), 0, 0);
  ModelSetColor(model, 255, 0, 0, 255);
  ModelRender(model);
  EXPECT_EQ(ReadPixel(4, 4), 0xFF0000u);
  ModelSetColor(model, 0, 255, 0, 128);
  ModelRender(model);
  EXPECT_LE(MaxChannelDifference({ReadPixel(4, 4)}, {0x7F8000u}), 1);
}

TEST_F(ModelGlTest, AlphaComesFromThirtyTwoBitImagesOnly) {
  // The left half of each image has alpha 0; on a grey background.
  auto halfClear = [](int32_t x, int32_t) { return x < 4 ? 0x00FF0000u : 0xFFFF0000u; };
  Model* withAlpha = Open("Alpha.tga", MakeImage(8, 8, halfClear, 32), 0, 0);
  Model* withoutAlpha = Open("Plain.tga", MakeImage(8, 8, halfClear, 24), 20, 0);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  ModelRender(withAlpha);
  ModelRender(withoutAlpha);
  EXPECT_EQ(ReadPixel(1, 1), ReadPixel(100, 100));
  EXPECT_EQ(ReadPixel(6, 1), 0xFF0000u);
  EXPECT_EQ(ReadPixel(21, 1), 0xFF0000u);
}

TEST_F(ModelGlTest, RotationTurnsTheModelAboutItsPosition) {
  const ImageFrame image = MakeImage(20, 10, Speckle);
  Model* model = Open("Turned.tga", image, 100, 100);
  ModelRotate(model, 45.0f);
  ModelRotate(model, 45.0f);
  ModelRender(model);
  // With y downwards a quarter turn takes image pixel (i, j) to (-j - 1, i).
  for (int32_t j = 0; j < 10; ++j) {
    for (int32_t i = 0; i < 20; ++i) {
      ASSERT_EQ(ReadPixel(100 - j - 1, 100 + i), Rgb(Speckle(i, j))) << i << ", " << j;
    }
  }
  EXPECT_EQ(ReadPixel(100, 100), 0u);
}

TEST_F(ModelGlTest, LinesDrawUntexturedInTheirEndColours) {
  Model* model = ModelNew(display_, kModelCompilable);
  ModelVertexSet(model, 0, 10.0f, 50.5f, 0.0f);
  ModelVertexSet(model, 1, 100.0f, 50.5f, 0.0f);
  ModelVertexSet(model, 2, 100.0f, 80.5f, 0.0f);
  ModelLine line;
  line.width = 3.0f;
  line.vertex1 = 0;
  line.vertex2 = 1;
  line.color1 = line.color2 = {0, 255, 0, 255};
  ModelLineSet(model, 0, line);
  line.vertex1 = 1;
  line.vertex2 = 2;
  line.color1 = line.color2 = {0, 0, 255, 255};
  ModelLineSet(model, 1, line);
  ModelCompile(model);
  ASSERT_TRUE(model->compiled);
  ModelRender(model);
  EXPECT_EQ(ReadPixel(50, 49), 0x00FF00u);
  EXPECT_EQ(ReadPixel(50, 51), 0x00FF00u);
  EXPECT_EQ(ReadPixel(100, 70), 0x0000FFu);
  EXPECT_EQ(ReadPixel(50, 53), 0u);
}

TEST_F(ModelGlTest, RenderingLeavesTheOpenGLStateAsItFoundIt) {
  Model* model = Open("Strip.tga", MakeImage(100, 30, Speckle), 10, 20);
  ModelLine line;
  line.width = 4.0f;
  line.color1 = {0, 0, 255, 255};
  line.vertex2 = 1;
  ModelLineSet(model, 0, line);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  glLineWidth(2.0f);
  glMatrixMode(GL_PROJECTION);
  ModelRender(model);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
  EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
  GLfloat colour[4] = {};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_THAT(colour, ::testing::ElementsAre(0.25f, 0.5f, 0.75f, 1.0f));
  GLfloat width = 0.0f;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 2.0f);
  GLfloat modelview[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  EXPECT_EQ(modelview[12], 0.0f);  // no translation left behind
  glDeleteTextures(1, &texture);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// --- Sharing and compiling
// -------------------------------------------------------------------------

TEST_F(ModelGlTest, TwoModelsOfOneImageShareATextureThatOutlivesTheFirstClose) {
  const ImageFrame image = MakeImage(100, 30, Speckle);
  Model* first = Open("Strip.tga", image, 0, 0);
  Model* second = ModelOpen(display_, "Bin\\strip.tga");
  ModelSetPosition(second, 150.0f, 100.0f, 0.0f);
  ASSERT_EQ(first->textures, second->textures);
  const GLuint name = first->textures[0]->tiles[0].name;
  ModelClose(first);
  ModelRender(second);
  EXPECT_EQ(ReadRect(150, 100, 100, 30), ImageRgb(image));
  EXPECT_TRUE(glIsTexture(name));
  ModelClose(second);
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(ModelGlTest, AListThatFailsToCompileFallsBackToImmediateDrawing) {
  const ImageFrame image = MakeImage(100, 30, Speckle);
  Model* model = Open("Strip.tga", image, 10, 20);
  const GLuint outer = glGenLists(1);
  glNewList(outer, GL_COMPILE);  // a list cannot be compiled inside another
  ModelCompile(model);
  glDeleteLists(outer, 1);
  while (glGetError() != GL_NO_ERROR) {
  }
  EXPECT_THAT(LogLines(), Contains("Error: ModelCompile - Unable to compile model "
                                   "\"Bin\\Strip.tga\".  Rendering uncompiled instead.  Invalid "
                                   "operation for current OpenGL state.  Error = 1282"));
  EXPECT_EQ(model->type, kModelImmediate);
  BeginFrame();
  ModelRender(model);
  EXPECT_EQ(ReadRect(10, 20, 100, 30), ImageRgb(image));
  ModelCompile(model);  // an immediate model stays immediate
  EXPECT_FALSE(model->compiled);
}

TEST_F(ModelGlTest, WithNoCompileModelsDrawImmediately) {
  PlatformSetParameters({"-userdatainapp", "-nocompile"});
  ModelStop();
  ModelStart();
  ModelDisplayAdd(display_);
  const ImageFrame image = MakeImage(100, 30, Speckle);
  Model* model = Open("Strip.tga", image, 10, 20);
  EXPECT_FALSE(model->listExists);
  ModelRender(model);
  EXPECT_EQ(ReadRect(10, 20, 100, 30), ImageRgb(image));
}

TEST_F(ModelGlTest, EditingACompiledModelDrawsTheNewGeometry) {
  Model* model = Open("Strip.tga", MakeImage(100, 30, Speckle), 0, 0);
  ModelTranslate(model, 50.0f, 40.0f, 0.0f);
  ModelRender(model);
  EXPECT_EQ(ReadPixel(50, 40), Rgb(Speckle(0, 0)));
  ModelTexCoordOffset(model, 1.0f / 64, 0.0f);  // one source pixel to the right
  ModelRender(model);
  EXPECT_EQ(ReadPixel(50, 40), Rgb(Speckle(1, 0)));
}

// --- Context rebuild
// ------------------------------------------------------------------------------

TEST_F(ModelGlTest, AfterAContextRebuildTheSameModelsDrawTheSamePixels) {
  const ImageFrame fromFile = MakeImage(300, 200, Speckle);
  Model* fileModel = Open("Big.tga", fromFile, 0, 0, true);
  ImageFrame inMemory = MakeImage(70, 20, [](int32_t x, int32_t y) { return Speckle(y, x); });
  inMemory.name = "Generated";
  int rebuilds = 0;
  Model* memoryModel = ModelOpenImage(
      display_, &inMemory,
      [&inMemory, &rebuilds](ImageFrame*& image) {
        ++rebuilds;
        ImageCopy(ImageFrameNew(image), &inMemory);
      },
      false);
  ModelSetPosition(memoryModel, 0.0f, 210.0f, 0.0f);
  ModelRender(fileModel);
  ModelRender(memoryModel);
  const std::vector<uint32_t> before = ReadRect(0, 0, kWidth, kHeight);

  RebuildContext();
  ModelRender(fileModel);
  ModelRender(memoryModel);
  EXPECT_EQ(rebuilds, 1);
  EXPECT_TRUE(fileModel->compiled);
  EXPECT_EQ(ReadRect(0, 0, kWidth, kHeight), before);
  EXPECT_EQ(MaxChannelDifference(ReadRect(0, 0, 300, 200), ImageRgb(fromFile)), 0);
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(ModelGlTest, AnImageThatCannotBeReloadedAtItsSizeIsLogged) {
  Model* model = Open("Strip.tga", MakeImage(100, 30, Speckle), 0, 0);
  WriteTga(folder_, "Bin/Strip.tga", MakeImage(10, 3, Speckle));
  RebuildContext();
  EXPECT_THAT(LogLines(), Contains("Error: ModelAssetsRecompile - Unable to rebuild image "
                                   "\"Bin\\Strip.tga\" for model."));
  ModelRender(model);  // the tiles have no texture now, and nothing is read out of bounds
  EXPECT_EQ(ModelTextureFind(display_, "Bin\\Strip.tga"), model->textures[0]);
}

// A glyph page made the way the font module makes one, drawn as one quad.
struct GlyphPage {
  ModelTexture* texture = nullptr;
  Model* quad = nullptr;
};

// A compiled square of the given size at the origin showing the top-left
// size x size pixels of one tile whose texture is textureSize wide and high.
Model* MakeQuad(int32_t display, ModelTexture* texture, int32_t tile, float size,
                float textureSize) {
  Model* quad = ModelNew(display, kModelCompilable);
  const float corners[4][2] = {{0, 0}, {0, size}, {size, size}, {size, 0}};
  for (int32_t i = 0; i < 4; ++i) {
    ModelVertexSet(quad, i, corners[i][0], corners[i][1], -5.0f);
    ModelTexCoordSet(quad, i, corners[i][0] / textureSize, corners[i][1] / textureSize);
  }
  ModelTriangle triangle;
  triangle.textures = {{texture, tile}};
  triangle.vertices = triangle.texCoords = {0, 1, 2};
  ModelTriangleSet(quad, 0, triangle);
  triangle.vertices = triangle.texCoords = {0, 2, 3};
  ModelTriangleSet(quad, 1, triangle);
  ModelCompile(quad);
  return quad;
}

GlyphPage MakeGlyphPage(int32_t display, uint32_t colour) {
  GlyphPage page;
  page.texture = ModelTextureNew(display, "Bin\\Fonts\\Cubes.fot", 32);
  ModelTextureSetLinear(page.texture, true);
  ModelTextureSetRepeat(page.texture, true);
  ModelTextureSetTileSize(page.texture, 64, 64);
  const int32_t tile = ModelTextureTileAdd(page.texture);
  ModelTextureTileUpload(page.texture, tile, std::vector<uint32_t>(64 * 64, colour), 64, 64);
  page.quad = MakeQuad(display, page.texture, tile, 16, 64);
  return page;
}

TEST_F(ModelGlTest, TexturesNoModelHoldsYetSurviveAContextRebuildAndDrawAfterwards) {
  const ImageFrame image = MakeImage(64, 64, Speckle);
  WriteTga(folder_, "Bin/Loose.tga", image);
  ModelTexture* loaded = ModelTextureGet(display_, "Bin\\Loose.tga", false, false, false);
  ModelTexture* glyphs = ModelTextureNew(display_, "Bin\\Fonts\\Cubes.fot", 32);
  ModelTextureTileAdd(glyphs);
  ModelSetFontRebuild([](ModelTexture* texture) {
    return ModelTextureTileUpload(texture, 0, std::vector<uint32_t>(64 * 64, 0xFF00FF00u), 64, 64);
  });
  ASSERT_NE(loaded, nullptr);

  RebuildContext();
  RebuildContext();
  ASSERT_EQ(ModelTextureFind(display_, "Bin\\Loose.tga"), loaded);
  ASSERT_EQ(ModelTextureFind(display_, "Bin\\Fonts\\Cubes.fot"), glyphs);
  EXPECT_EQ(loaded->references, 0);
  Model* picture = MakeQuad(display_, loaded, 0, 64, 64);
  Model* glyph = MakeQuad(display_, glyphs, 0, 16, 64);
  ModelSetPosition(glyph, 100.0f, 0.0f, 0.0f);
  ModelRender(picture);
  ModelRender(glyph);
  EXPECT_EQ(ReadRect(0, 0, 64, 64), ImageRgb(image));
  EXPECT_EQ(ReadPixel(108, 8), 0x00FF00u);
  ModelClose(picture);
  ModelClose(glyph);
  EXPECT_EQ(ModelTextureFind(display_, "Bin\\Loose.tga"), nullptr);
}

TEST_F(ModelGlTest, FontTexturesAreRebuiltByTheFontModule) {
  GlyphPage page = MakeGlyphPage(display_, 0xFF00FF00u);
  ModelRender(page.quad);
  ASSERT_EQ(ReadPixel(8, 8), 0x00FF00u);

  RebuildContext();
  EXPECT_THAT(LogLines(), Contains("Error: ModelAssetsRecompile - Could not reread font file."));

  std::vector<std::string> rebuilt;
  ModelSetFontRebuild([&rebuilt](ModelTexture* texture) {
    rebuilt.push_back(texture->fileName);
    return ModelTextureTileUpload(texture, 0, std::vector<uint32_t>(64 * 64, 0xFFFF00FFu), 64, 64);
  });
  RebuildContext();
  ModelRender(page.quad);
  EXPECT_THAT(rebuilt, ::testing::ElementsAre("Bin\\Fonts\\Cubes.fot"));
  EXPECT_EQ(ReadPixel(8, 8), 0xFF00FFu);
}

TEST_F(ModelGlTest, AFontThatDeletesItselfDuringTheRebuildTakesItsTextureAlong) {
  GlyphPage page = MakeGlyphPage(display_, 0xFF00FF00u);
  ModelSetFontRebuild([&page](ModelTexture*) {
    ModelClose(page.quad);  // what a font does when a chunk cannot be read
    return true;
  });
  RebuildContext();
  EXPECT_EQ(page.quad, nullptr);
  EXPECT_EQ(ModelTextureFind(display_, "Bin\\Fonts\\Cubes.fot"), nullptr);
}

// --- The stand-alone display image
// ----------------------------------------------------------------

TEST_F(ModelGlTest, TheDisplayImageFillsTheWholeFrameAndLeavesNothingBehind) {
  // 64 x 48: a pixel of the image covers 5 x 5 window pixels.
  const ImageFrame image = MakeImage(64, 48, Speckle);
  WriteTga(folder_, "Bin/Loading.tga", image);
  ModelDisplayImageSet(display_, "Bin\\Loading.tga");
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  ModelDisplayImageRender();
  // The frame has been swapped; Mesa's software swap copies the back buffer to
  // the window and keeps it, while its front buffer is not readable here.
  for (const auto& [x, y] :
       std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {63, 0}, {0, 47}, {63, 47}, {31, 22}}) {
    EXPECT_EQ(ReadPixel(x * 5 + 2, y * 5 + 2), Rgb(Speckle(x, y))) << x << ", " << y;
  }
  GLfloat projection[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_EQ(projection[0], 1.0f);
  EXPECT_TRUE(ModelDisplayFind(display_)->models.empty());
  EXPECT_TRUE(ModelDisplayFind(display_)->textures.empty());
}

}  // namespace
