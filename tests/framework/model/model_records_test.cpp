// Model and texture records without a rendering context: creation and its
// refusals, geometry, reference counts, extraction bookkeeping and the files
// models are opened from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "tests/framework/model/model_testing.h"
#include "tools/common/model_writer.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr int32_t kDisplay = 1;
constexpr int32_t kOtherDisplay = 2;

class ModelRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({"-userdatainapp"}); }
  void TearDown() override { Stop(); }
  void Start(const std::vector<std::string>& parameters) {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    DataFileStart();
    LogStart();
    ImageStart();
    ModelStart();
    ModelDisplayAdd(kDisplay);
  }
  void Stop() {
    ModelStop();
    ImageStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  std::vector<std::string> LogLines() const {
    return folder_.exists("results.log") ? SplitLines(folder_.read("results.log"))
                                         : std::vector<std::string>{};
  }
  // A 100 x 30 image file: two tiles side by side.
  void WriteStrip(const std::string& relative) {
    WriteTga(folder_, relative, MakeImage(100, 30, Gradient));
  }
  static size_t ModelCount(int32_t display) { return ModelDisplayFind(display)->models.size(); }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// A quad (four vertices, two triangles) naming a texture tile when given one.
Model* Quad(int32_t display, ModelTexture* texture = nullptr) {
  Model* model = ModelNew(display, kModelCompilable);
  for (int32_t i = 0; i < 4; ++i) {
    ModelVertexSet(model, i, static_cast<float>(i % 2), static_cast<float>(i / 2), 0.0f);
  }
  ModelTriangle triangle;
  if (texture != nullptr) {
    triangle.textures = {{texture, 0}};
  }
  triangle.vertices = {0, 1, 2};
  ModelTriangleSet(model, 0, triangle);
  triangle.vertices = {2, 1, 3};
  ModelTriangleSet(model, 1, triangle);
  return model;
}

// --- Module and models ------------------------------------------------------------------------

TEST_F(ModelRecordsTest, StartWritesTheVersionLine) {
  Stop();
  Start({"-userdatainapp", "-ver"});
  EXPECT_THAT(LogLines(), Contains("    qmrModel - Version Alpha.0"));
}

TEST_F(ModelRecordsTest, NewModelsNeedAKnownDisplayAndTypeOneOrTwo) {
  EXPECT_EQ(ModelNew(kOtherDisplay, kModelCompilable), nullptr);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(ModelNew(kDisplay, 0), nullptr);
  EXPECT_EQ(ModelNew(kDisplay, 3), nullptr);
  const auto lines = LogLines();
  EXPECT_THAT(lines, Contains("Error: ModelNew - Invalid model type \"0\".  Model not created."));
  EXPECT_THAT(lines, Contains("Error: ModelNew - Invalid model type \"3\".  Model not created."));
  EXPECT_EQ(ModelCount(kDisplay), 0u);
  Model* model = ModelNew(kDisplay, kModelImmediate);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(ModelGetPosition(model), (ModelVertex{}));
  EXPECT_EQ(model->color, (ModelColor{255, 255, 255, 255}));
  ModelClose(model);
  EXPECT_EQ(model, nullptr);
  EXPECT_EQ(ModelCount(kDisplay), 0u);
}

TEST_F(ModelRecordsTest, ArraysGrowWithZerosAndIgnoreNegativeOrMissingIndices) {
  Model* model = ModelNew(kDisplay, kModelCompilable);
  ModelVertexSet(model, 2, 1.0f, 2.0f, 3.0f);
  ModelVertexSet(model, -1, 9.0f, 9.0f, 9.0f);
  ModelTexCoordSet(model, 1, 0.5f, 0.25f);
  EXPECT_EQ(ModelVertexCount(model), 3);
  EXPECT_EQ(ModelVertexGet(model, 0), (ModelVertex{}));
  EXPECT_EQ(ModelVertexGet(model, 2), (ModelVertex{1.0f, 2.0f, 3.0f}));
  EXPECT_EQ(ModelVertexGet(model, 3), (ModelVertex{}));
  EXPECT_EQ(ModelTexCoordGet(model, 1), (ModelTexCoord{0.5f, 0.25f}));
  EXPECT_EQ(ModelTexCoordGet(model, 0), (ModelTexCoord{}));
  EXPECT_EQ(ModelTexCoordGet(model, -1), (ModelTexCoord{}));

  ModelTriangle triangle;
  triangle.vertices = {0, 1, 3};
  ModelTriangleSet(model, 0, triangle);  // vertex 3 does not exist
  EXPECT_EQ(ModelTriangleCount(model), 0);
  triangle.vertices = {2, 1, 0};
  ModelTriangleSet(model, 2, triangle);
  EXPECT_EQ(ModelTriangleCount(model), 3);
  EXPECT_EQ(ModelTriangleGet(model, 2), triangle);
  EXPECT_EQ(ModelTriangleGet(model, 0), ModelTriangle{});
  EXPECT_EQ(ModelTriangleGet(model, 5), ModelTriangle{});
  ModelClose(model);
}

TEST_F(ModelRecordsTest, VerticesMoveScaleAndComeBackFromTheirSavedCopy) {
  Model* model = ModelNew(kDisplay, kModelCompilable);
  EXPECT_EQ(ModelWidth(model), 0.0f);
  ModelVertexSet(model, 0, -2.0f, 1.0f, 0.0f);
  ModelVertexSet(model, 1, 3.0f, 5.0f, 1.0f);
  EXPECT_EQ(ModelWidth(model), 5.0f);
  EXPECT_EQ(ModelHeight(model), 4.0f);
  ModelVerticesSave(model);
  ModelTranslate(model, 1.0f, 2.0f, 3.0f);
  EXPECT_EQ(ModelVertexGet(model, 0), (ModelVertex{-1.0f, 3.0f, 3.0f}));
  ModelScale(model, 2.0f);
  EXPECT_EQ(ModelVertexGet(model, 1), (ModelVertex{8.0f, 14.0f, 8.0f}));
  ModelVerticesRestore(model);
  EXPECT_EQ(ModelVertexGet(model, 1), (ModelVertex{3.0f, 5.0f, 1.0f}));
  ModelVertexSet(model, 2, 7.0f, 7.0f, 7.0f);
  ModelVerticesRestore(model);  // the saved copy no longer fits
  EXPECT_EQ(ModelVertexGet(model, 2), (ModelVertex{7.0f, 7.0f, 7.0f}));

  ModelTexCoordSet(model, 0, 0.5f, 1.0f);
  ModelTexCoordScale(model, 2.0f, 0.5f);
  ModelTexCoordOffset(model, 0.25f, -1.0f);
  EXPECT_EQ(ModelTexCoordGet(model, 0), (ModelTexCoord{1.25f, -0.5f}));
  ModelClose(model);
}

// --- Reference counts ---------------------------------------------------------------------------

TEST_F(ModelRecordsTest, ModelsOfOneImageShareItsTextureUntilTheLastCloses) {
  WriteStrip("Bin/Strip.tga");
  Model* first = ModelOpen(kDisplay, "Bin\\Strip.tga");
  Model* second = ModelOpen(kDisplay, "BIN\\STRIP.TGA");
  ModelTexture* texture = ModelTextureFind(kDisplay, "bin\\strip.tga");
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(ModelDisplayFind(kDisplay)->textures.size(), 1u);
  EXPECT_EQ(texture->references, 2);  // one per model, not one per triangle
  ModelClose(first);
  EXPECT_EQ(ModelTextureFind(kDisplay, "Bin\\Strip.tga"), texture);
  EXPECT_EQ(texture->references, 1);
  ModelClose(second);
  EXPECT_EQ(ModelTextureFind(kDisplay, "Bin\\Strip.tga"), nullptr);

  Model* again = ModelOpen(kDisplay, "Bin\\Strip.tga");
  ASSERT_NE(ModelTextureFind(kDisplay, "Bin\\Strip.tga"), nullptr);
  EXPECT_EQ(ModelTextureFind(kDisplay, "Bin\\Strip.tga")->references, 1);
  ModelClose(again);
}

TEST_F(ModelRecordsTest, AReplacedTriangleKeepsItsTextureUntilTheModelCloses) {
  const ImageFrame image = MakeImage(4, 4, Gradient);
  ModelTexture* first = ModelTextureExtract(kDisplay, &image, false, false, false);
  ModelTexture* second = ModelTextureExtract(kDisplay, &image, false, false, false);
  Model* model = Quad(kDisplay, first);
  ModelTriangle triangle = ModelTriangleGet(model, 0);
  triangle.textures = {{second, 0}, {first, 0}};
  ModelTriangleSet(model, 0, triangle);
  ModelTriangleSet(model, 1, triangle);
  EXPECT_EQ(first->references, 1);
  EXPECT_EQ(second->references, 1);
  ModelClose(model);
  EXPECT_TRUE(ModelDisplayFind(kDisplay)->textures.empty());
}

TEST_F(ModelRecordsTest, AnExtraReferenceOutlivesTheModelsAndTheLastReleaseDeletes) {
  const ImageFrame image = MakeImage(4, 4, Gradient);
  ModelTexture* texture = ModelTextureExtract(kDisplay, &image, false, true, true);
  EXPECT_EQ(texture->references, 0);
  ModelTextureAddRef(texture);
  Model* model = Quad(kDisplay, texture);
  ModelClose(model);
  ASSERT_EQ(ModelDisplayFind(kDisplay)->textures.size(), 1u);
  ModelTexture* handle = texture;
  ModelTextureRelease(handle);
  EXPECT_EQ(handle, nullptr);
  EXPECT_TRUE(ModelDisplayFind(kDisplay)->textures.empty());
}

TEST_F(ModelRecordsTest, TrianglesCannotNameATextureOfAnotherDisplay) {
  ModelDisplayAdd(kOtherDisplay);
  const ImageFrame image = MakeImage(4, 4, Gradient);
  ModelTexture* foreign = ModelTextureExtract(kOtherDisplay, &image, false, false, false);
  Model* model = Quad(kDisplay, foreign);
  EXPECT_EQ(ModelTriangleCount(model), 0);
  EXPECT_EQ(foreign->references, 0);
  ModelClose(model);
}

TEST_F(ModelRecordsTest, RemovingADisplayTakesItsModelsAndTexturesWithIt) {
  const ImageFrame image = MakeImage(4, 4, Gradient);
  Quad(kDisplay, ModelTextureExtract(kDisplay, &image, false, false, false));
  ModelTextureExtract(kDisplay, &image, true, false, false);
  ModelDisplayAdd(kDisplay);  // already there: nothing changes
  EXPECT_EQ(ModelCount(kDisplay), 1u);
  EXPECT_EQ(::ModelCount(), 1);
  EXPECT_EQ(::ModelTextureCount(), 2);
  ModelDisplayRemove(kDisplay);
  EXPECT_EQ(ModelDisplayFind(kDisplay), nullptr);
  EXPECT_EQ(::ModelCount(), 0);
  EXPECT_EQ(::ModelTextureCount(), 0);
  EXPECT_EQ(ModelNew(kDisplay, kModelCompilable), nullptr);
  EXPECT_EQ(ModelTextureFind(kDisplay, ""), nullptr);
}

// --- Extraction -------------------------------------------------------------------------------

TEST_F(ModelRecordsTest, ImagesWithoutTheirPixelsOrWithThePlaceholderAreRefused) {
  ImageFrame placeholder;
  ImagePlaceholderSet(&placeholder);
  placeholder.name = "Broken.tga";
  ImageFrame empty = MakeImage(0, 5, Gradient);
  empty.name = "Empty.tga";
  ImageFrame shortOfPixels = MakeImage(8, 8, Gradient);
  shortOfPixels.name = "Short.tga";
  shortOfPixels.height = 100000;  // more rows than the pixels hold
  for (const ImageFrame* image : {&placeholder, &empty, &shortOfPixels}) {
    EXPECT_EQ(ModelTextureExtract(kDisplay, image, true, false, false), nullptr);
  }
  EXPECT_EQ(ModelTextureExtract(kDisplay, nullptr, true, false, false), nullptr);
  const auto lines = LogLines();
  EXPECT_THAT(lines, Contains("Error: ModelTextureExtract - Unable to extract image "
                              "\"Broken.tga\" for model."));
  EXPECT_THAT(lines, Contains("Error: ModelTextureExtract - Unable to extract image "
                              "\"Short.tga\" for model."));
  EXPECT_TRUE(ModelDisplayFind(kDisplay)->textures.empty());
  EXPECT_EQ(ModelOpenImage(kDisplay, &placeholder, nullptr), nullptr);
  EXPECT_EQ(ModelCount(kDisplay), 0u);
}

TEST_F(ModelRecordsTest, ATiledTextureRecordsItsTilesAndAlwaysClamps) {
  ImageFrame image = MakeImage(100, 30, Gradient, 24);
  image.name = "Strip.tga";
  const ModelTexture* texture = ModelTextureExtract(kDisplay, &image, true, true, true);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->fileName, "Strip.tga");
  EXPECT_EQ(ModelTextureSize(texture), (ModelSize{100, 30}));
  EXPECT_EQ(texture->bitsPerPixel, 24);
  EXPECT_FALSE(texture->repeat);
  EXPECT_TRUE(texture->linear);
  EXPECT_EQ(texture->tileColumns, 2);
  EXPECT_EQ(texture->tileRows, 1);
  EXPECT_EQ(texture->tileWidth, 64);
  EXPECT_EQ(texture->tiles[1].x1, 62);
  EXPECT_EQ(texture->tiles[1].x2, 99);
}

TEST_F(ModelRecordsTest, GetReturnsTheTextureOfThatNameBeforeLoadingAnything) {
  WriteStrip("Bin/Strip.tga");
  ModelTexture* texture = ModelTextureGet(kDisplay, "Bin\\Strip.tga", false, false, false);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(ModelTextureGet(kDisplay, "bin\\strip.TGA", true, true, true), texture);
  EXPECT_EQ(texture->tiles.size(), 1u);
  EXPECT_EQ(ModelTextureGet(kOtherDisplay, "Bin\\Strip.tga", false, false, false), nullptr);
  EXPECT_EQ(ModelTextureGet(kDisplay, "Bin\\Missing.tga", false, false, false), nullptr);
  EXPECT_THAT(LogLines(), Contains("Error: ModelTextureExtract - Unable to extract image "
                                   "\"Bin\\Missing.tga\" for model."));
}

TEST_F(ModelRecordsTest, CallerFilledTilesAreAddedToATextureAndRefuseShortPixelData) {
  EXPECT_EQ(ModelTextureTileAdd(nullptr), -1);
  ModelTexture* texture = ModelTextureNew(kDisplay, "Bin\\Cubes.fot", 32);
  ModelTextureSetTileSize(texture, 64, 64);
  EXPECT_EQ(ModelTextureTileAdd(texture), 0);
  EXPECT_EQ(ModelTextureTileAdd(texture), 1);
  EXPECT_EQ(texture->tileWidth, 64);
  const std::vector<uint32_t> pixels(64 * 64, 0xFFFFFFFFu);
  EXPECT_FALSE(ModelTextureTileUpload(texture, 2, pixels, 64, 64));
  EXPECT_FALSE(ModelTextureTileUpload(texture, 0, pixels, 64, 65));
  EXPECT_FALSE(ModelTextureTileUpload(texture, 0, pixels, 64, 64));  // no context to upload to
}

// --- Opening files ------------------------------------------------------------------------------

TEST_F(ModelRecordsTest, OpenChoosesTheReaderByExtension) {
  WriteStrip("Bin/Strip.tga");
  EXPECT_EQ(ModelOpen(kDisplay, "Bin\\Strip.xyz"), nullptr);
  EXPECT_EQ(ModelOpen(kDisplay, "Bin\\Strip.lbm"), nullptr);
  EXPECT_THAT(LogLines(), Contains("Error: Unrecognized model extension for \"Bin\\Strip.xyz\"."));
  EXPECT_EQ(ModelOpen(kDisplay, "Bin\\Missing.ms3d"), nullptr);
  EXPECT_THAT(LogLines(),
              Contains("Error: ModelOpenMS3D - Unable to open file \"Bin\\Missing.ms3d\""));
  Model* model = ModelOpen(kDisplay, "Bin\\Strip.TGA", true);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->name, "Bin\\Strip.TGA");
  EXPECT_TRUE(ModelTextureFind(kDisplay, "Bin\\Strip.tga")->linear);
  ModelClose(model);
}

TEST_F(ModelRecordsTest, AnImageModelIsTwoTrianglesPerTileInsideTheBorder) {
  WriteStrip("Bin/Strip.tga");
  Model* model = ModelOpenImage(kDisplay, "Bin\\Strip.tga", false);
  ASSERT_EQ(ModelVertexCount(model), 8);
  EXPECT_EQ(ModelTriangleCount(model), 4);
  EXPECT_EQ(model->type, kModelCompilable);
  EXPECT_EQ(ModelWidth(model), 100.0f);
  EXPECT_EQ(ModelHeight(model), 30.0f);
  EXPECT_EQ(ModelVertexGet(model, 4), (ModelVertex{62.0f, 0.0f, -5.0f}));
  EXPECT_EQ(ModelVertexGet(model, 7), (ModelVertex{100.0f, 30.0f, -5.0f}));
  EXPECT_EQ(ModelTexCoordGet(model, 4), (ModelTexCoord{1.0f / 64, 1.0f / 64}));
  EXPECT_EQ(ModelTexCoordGet(model, 7), (ModelTexCoord{39.0f / 64, 31.0f / 64}));
  const ModelTriangle triangle = ModelTriangleGet(model, 3);
  EXPECT_THAT(triangle.vertices, ElementsAre(6, 5, 7));
  EXPECT_THAT(triangle.texCoords, ElementsAre(6, 5, 7));
  ASSERT_EQ(triangle.textures.size(), 1u);
  EXPECT_EQ(triangle.textures[0].tile, 1);
  ModelClose(model);

  EXPECT_EQ(ModelOpenImage(kOtherDisplay, "Bin\\Strip.tga", false), nullptr);
  EXPECT_THAT(LogLines(), Contains("Error: ModelOpenImage - Invalid display ID \"2\"."));
}

// A MilkShape 3D file made by the model writer (one group of every face, one
// material), with the offset where each named part starts.
struct Ms3dFile {
  std::string bytes;
  std::map<std::string, size_t> parts;
};

Ms3dFile MakeMs3d(int32_t version, const std::vector<ModelVertex>& vertices,
                  const std::vector<std::array<uint16_t, 3>>& faces) {
  MwModel model;
  MwGroup group;
  for (const ModelVertex& vertex : vertices) {
    model.vertices.push_back({0, {vertex.x, vertex.y, vertex.z}, kMwNone, 1});
  }
  for (const auto& face : faces) {
    group.triangles.push_back(static_cast<uint16_t>(model.triangles.size()));
    model.triangles.push_back({.vertices = face});
  }
  group.material = 0;
  model.groups = {group};
  model.materials = {MwMaterial{}};
  Ms3dFile file;
  std::string error;
  EXPECT_TRUE(MwMs3dBytes(model, file.bytes, error)) << error;
  for (int32_t shift = 0; shift < 32; shift += 8) {
    file.bytes[10 + shift / 8] = static_cast<char>((version >> shift) & 0xFF);
  }
  size_t at = 14;
  const auto mark = [&file, &at](const std::string& part, size_t size) {
    file.parts[part] = at;
    at += size;
  };
  mark("vertex count", 2);
  for (size_t i = 0; i < vertices.size(); ++i) {
    mark("vertex " + std::to_string(i + 1), 15);
  }
  mark("face count", 2);
  for (size_t i = 0; i < faces.size(); ++i) {
    mark("face " + std::to_string(i + 1), 70);
  }
  mark("mesh count", 2);
  mark("mesh 1", 35);
  for (size_t i = 0; i < faces.size(); ++i) {
    mark("mesh 1 vertex " + std::to_string(i + 1), 2);
  }
  mark("mesh 1 material", 1);
  mark("material count", 2);
  mark("material 1", 361);
  return file;
}

TEST_F(ModelRecordsTest, AMilkShapeFileGivesItsVerticesAndFacesUntextured) {
  const Ms3dFile file =
      MakeMs3d(4, {{1, 2, 3}, {4, 5, 6}, {-1, 0, 2}}, {{0, 1, 2}, {2, 1, 9}, {1, 0, 2}});
  folder_.write("Bin/Mesh.ms3d", file.bytes);
  Model* model = ModelOpen(kDisplay, "Bin\\Mesh.ms3d");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->name, "Bin\\Mesh.ms3d");
  EXPECT_EQ(model->type, kModelCompilable);
  EXPECT_EQ(ModelVertexCount(model), 3);
  EXPECT_EQ(ModelVertexGet(model, 2), (ModelVertex{-1, 0, 2}));
  ASSERT_EQ(ModelTriangleCount(model), 3);
  EXPECT_THAT(ModelTriangleGet(model, 2).vertices, ElementsAre(1, 0, 2));
  EXPECT_EQ(ModelTriangleGet(model, 1), ModelTriangle{});  // names a vertex that is not there
  EXPECT_TRUE(ModelTriangleGet(model, 0).textures.empty());
  ModelClose(model);
}

TEST_F(ModelRecordsTest, OnlyVersionsThreeAndFourOfTheMilkShapeFormatAreRead) {
  for (int32_t version : {2, 3, 5}) {
    folder_.write("Bin/Mesh.ms3d", MakeMs3d(version, {{0, 0, 0}}, {}).bytes);
    Model* model = ModelOpenMS3D(kDisplay, "Bin\\Mesh.ms3d");
    EXPECT_EQ(model != nullptr, version == 3) << version;
    ModelClose(model);
  }
  std::string wrongMagic = MakeMs3d(3, {}, {}).bytes;
  wrongMagic[4] = 'X';
  folder_.write("Bin/Mesh.ms3d", wrongMagic);
  EXPECT_EQ(ModelOpenMS3D(kDisplay, "Bin\\Mesh.ms3d"), nullptr);
  const auto lines = LogLines();
  EXPECT_THAT(lines, Contains("Error: ModelOpenMS3D - Unsupported file version 2."));
  EXPECT_THAT(lines, Contains("Error: ModelOpenMS3D - Unsupported file version 5."));
  EXPECT_THAT(lines, Contains("Error: ModelOpenMS3D - Invalid file header."));
  EXPECT_EQ(ModelCount(kDisplay), 0u);
}

TEST_F(ModelRecordsTest, AMilkShapeFileCutShortNamesThePartItCouldNotRead) {
  const Ms3dFile file = MakeMs3d(3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}});
  const std::pair<std::string, std::string> cuts[] = {
      {"vertex count", "Unable to read vertex count."},
      {"vertex 2", "Unable to read vertex 2 data."},
      {"face count", "Unable to read face count."},
      {"face 2", "Unable to read face 2 data."},
      {"mesh count", "Unable to read mesh count."},
      {"mesh 1", "Unable to read mesh 1 data."},
      {"mesh 1 vertex 2", "Unable to read mesh 1 vertex 2 data."},
      {"mesh 1 material", "Unable to read material for mesh 1."},
      {"material count", "Unable to read material count."},
      {"material 1", "Unable to read material 1 data."},
  };
  folder_.write("Bin/Mesh.ms3d", file.bytes.substr(0, 9));
  EXPECT_EQ(ModelOpenMS3D(kDisplay, "Bin\\Mesh.ms3d"), nullptr);
  EXPECT_THAT(LogLines(), Contains("Error: ModelOpenMS3D - Unable to read file header."));
  for (const auto& [part, message] : cuts) {
    folder_.write("Bin/Mesh.ms3d", file.bytes.substr(0, file.parts.at(part)));
    EXPECT_EQ(ModelOpenMS3D(kDisplay, "Bin\\Mesh.ms3d"), nullptr) << part;
    EXPECT_THAT(LogLines(), Contains("Error: ModelOpenMS3D - " + message));
  }
  EXPECT_EQ(ModelCount(kDisplay), 0u);
  EXPECT_THAT(LogLines(), Not(Contains(::testing::HasSubstr("ModelCompile"))));
}

// --- Context loss without contexts
// -----------------------------------------------------------------

TEST_F(ModelRecordsTest, RecompilingADisplayWithoutAContextIsLogged) {
  ModelAssetsFree();
  ModelAssetsRecompile();
  EXPECT_THAT(LogLines(),
              Contains("Error: ModelAssetsRecompile - Could not make display 1 current."));
}

}  // namespace
