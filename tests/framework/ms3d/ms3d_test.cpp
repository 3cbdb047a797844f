// The model readers without a rendering context, fed files made by the model
// writer: MilkShape meshes with joints, materials and optional sections read
// back field for field, the neutral pose giving back the file's positions,
// projects with their animations, piece files in every layout, and damaged
// files of each kind refused with one log line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/ms3d/ms3d_internal.h"
#include "framework/utilities/utilities.h"
#include "tests/framework/model/model_testing.h"
#include "tests/support/allocation_probe.h"
#include "tools/common/model_writer.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::SizeIs;

constexpr int32_t kDisplay = 1;

class Ms3dTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    DataFileStart();
    LogStart();
    UtilitiesStart();
    ImageStart();
    ModelStart();
    ModelDisplayAdd(kDisplay);
    Ms3dStart();
  }
  void TearDown() override {
    Ms3dStop();
    ModelStop();
    ImageStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  std::vector<std::string> LogLines() const {
    return folder_.exists("results.log") ? SplitLines(folder_.read("results.log"))
                                         : std::vector<std::string>{};
  }
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    for (const std::string& line : LogLines()) {
      if (line.starts_with("Error:")) {
        errors.push_back(line);
      }
    }
    return errors;
  }
  // Writes the model below the program folder ("Bin/...").
  void Write(const std::string& relative, const MwModel& model) const {
    std::string bytes;
    std::string error;
    ASSERT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
    folder_.write(relative, bytes);
  }
  // Loads a content file ("Bin\\...") into the model.
  bool Load(TMS3D& model, const std::string& name) { return model.LoadFromFile(name); }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

MwTriangle Triangle(uint16_t a, uint16_t b, uint16_t c, uint8_t group = 0) {
  MwTriangle triangle;
  triangle.vertices = {a, b, c};
  triangle.normals = {{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}};
  triangle.s = {0.0f, 1.0f, 0.5f};
  triangle.t = {0.25f, 0.75f, 1.0f};
  triangle.group = group;
  return triangle;
}

MwVertex Vertex(float x, float y, float z, uint8_t joint = kMwNone) {
  MwVertex vertex;
  vertex.position = {x, y, z};
  vertex.joint = joint;
  return vertex;
}

// A quad in two groups with one textured material, and two joints: a root
// turned and moved, and a child (naming its parent in other letter case)
// turned about all three axes, carrying three of the four vertices.
MwModel JointedQuad() {
  MwModel model;
  model.vertices = {Vertex(0, 0, 0), Vertex(1, 0.5f, -2, 1), Vertex(3, 4, 5, 1),
                    Vertex(-1, 2, 0.25f, 1)};
  model.triangles = {Triangle(0, 1, 2, 0), Triangle(2, 1, 3, 1)};
  MwGroup front;
  front.name = "FRONT";
  front.triangles = {0};
  front.material = 0;
  MwGroup back;
  back.name = "BACK";
  back.triangles = {1};
  model.groups = {front, back};
  MwMaterial brass;
  brass.name = "brass";
  brass.texture = "Textures/brass.tga";
  brass.alphaMap = "Textures/pick.tga";
  model.materials = {brass};
  MwJoint root;
  root.name = "Root";
  root.rotation = {0.3f, -0.2f, 1.1f};
  root.position = {2, -1, 0.5f};
  MwJoint child;
  child.name = "Arm";
  child.parent = "rOOT";
  child.rotation = {-0.7f, 0.4f, 2.0f};
  child.position = {0.5f, 1.5f, -3};
  child.rotationKeys = {{0.5f, {1, 2, 3}}};
  child.positionKeys = {{0.25f, {4, 5, 6}}, {1.0f, {7, 8, 9}}};
  model.joints = {root, child};
  return model;
}

// The point or direction through the matrix's rotation, and its translation when asked.
std::array<float, 3> Apply(const Ms3dMatrix& m, const std::array<float, 3>& v, bool translate) {
  std::array<float, 3> out{};
  for (int32_t row = 0; row < 3; ++row) {
    out[row] =
        m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + (translate ? m[12 + row] : 0);
  }
  return out;
}

void ExpectNear(const std::array<float, 3>& actual, const std::array<float, 3>& expected) {
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-5) << i;
  }
}

// --- MilkShape files --------------------------------------------------------------------------

TEST_F(Ms3dTest, AMilkShapeFileReadsBackWithItsTexturesFromTheFilesFolder) {
  WriteTga(folder_, "Bin/Models/Textures/brass.tga", MakeImage(4, 4, Gradient));
  WriteTga(folder_, "Bin/Models/Textures/pick.tga", MakeImage(4, 4, Gradient, 24));
  const MwModel file = JointedQuad();
  Write("Bin/Models/Quad.ms3d", file);
  {
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Models\\Quad.ms3d"));
    const Ms3dMesh& mesh = model.Mesh();
    ASSERT_THAT(mesh.triangles, SizeIs(2));
    const Ms3dTriangle& triangle = mesh.triangles[1];
    EXPECT_THAT(triangle.vertices, ElementsAre(2, 1, 3));
    EXPECT_EQ(triangle.st[1], (std::array<float, 2>{1.0f, 0.75f}));
    EXPECT_EQ(triangle.group, 1);
    ASSERT_THAT(mesh.groups, SizeIs(2));
    EXPECT_EQ(mesh.groups[0].name, "FRONT");
    EXPECT_EQ(mesh.groups[1].material, kMs3dNone);
    ASSERT_THAT(mesh.materials, SizeIs(1));
    const Ms3dMaterial& material = mesh.materials[0];
    EXPECT_EQ(material.name, "brass");
    EXPECT_EQ(material.diffuse, (std::array<float, 4>{0.8f, 0.8f, 0.8f, 1.0f}));
    EXPECT_EQ(material.alphaMap, "Textures/pick.tga");
    ASSERT_NE(material.image, nullptr);
    ASSERT_NE(material.pickImage, nullptr);
    EXPECT_EQ(material.image->fileName, "Bin\\Models\\Textures/brass.tga");
    // The picture is smoothed; the pick colours must stay exact.
    EXPECT_TRUE(material.image->linear);
    EXPECT_FALSE(material.pickImage->linear);
    EXPECT_FALSE(material.image->tiled || material.image->repeat);
    EXPECT_EQ(material.image->references, 1);
    EXPECT_EQ(mesh.frameCount, 30);
    ASSERT_THAT(mesh.joints, SizeIs(2));
    EXPECT_EQ(mesh.joints[1].parent, 0);
    EXPECT_EQ(mesh.joints[1].keys.position[1].value, (Ms3dVector{7, 8, 9}));
    EXPECT_EQ(mesh.joints[1].keys.rotation[0].time, 0.5f);
    EXPECT_FALSE(mesh.extras.hasComments);

    // A second model of the same textures shares them.
    TMS3D second(kDisplay);
    ASSERT_TRUE(Load(second, "Bin\\Models\\Quad.ms3d"));
    EXPECT_EQ(second.Mesh().materials[0].image, material.image);
    EXPECT_EQ(material.image->references, 2);
  }
  EXPECT_EQ(ModelTextureFind(kDisplay, "Bin\\Models\\Textures/brass.tga"), nullptr);
  EXPECT_TRUE(ErrorLines().empty());
}

TEST_F(Ms3dTest, TheNeutralPoseDrawsEveryVertexAndNormalWhereTheFileHasIt) {
  const MwModel file = JointedQuad();
  Write("Bin/Quad.ms3d", file);
  TMS3D model(kDisplay);
  ASSERT_TRUE(Load(model, "Bin\\Quad.ms3d"));
  const Ms3dMesh& mesh = model.Mesh();
  // The child's final matrix is its parent's times its own.
  const Ms3dJoint& child = mesh.joints[1];
  ExpectNear(Apply(child.final, {0, 0, 0}, true),
             Apply(mesh.joints[0].final, {0.5f, 1.5f, -3}, true));
  EXPECT_NE(Apply(child.relative, {1, 0, 0}, false), (Ms3dVector{1, 0, 0}));
  for (size_t i = 0; i < file.vertices.size(); ++i) {
    const Ms3dVertex& vertex = mesh.vertices[i];
    const Ms3dVector drawn = vertex.joint == kMs3dNone
                                 ? vertex.position
                                 : Apply(mesh.joints[vertex.joint].final, vertex.position, true);
    SCOPED_TRACE(i);
    ExpectNear(drawn, file.vertices[i].position);
  }
  EXPECT_NE(mesh.vertices[2].position, (Ms3dVector{3, 4, 5}));  // stored in the joint's space
  for (size_t i = 0; i < file.triangles.size(); ++i) {
    for (size_t corner = 0; corner < 3; ++corner) {
      const Ms3dTriangle& triangle = mesh.triangles[i];
      const Ms3dVertex& vertex = mesh.vertices[triangle.vertices[corner]];
      const Ms3dVector drawn = vertex.joint == kMs3dNone ? triangle.normals[corner]
                                                         : Apply(mesh.joints[vertex.joint].final,
                                                                 triangle.normals[corner], false);
      SCOPED_TRACE(i * 3 + corner);
      ExpectNear(drawn, file.triangles[i].normals[corner]);
    }
  }
}

// The simpler reader of untextured models sees the same points and faces.
TEST_F(Ms3dTest, TheUntexturedModelReaderAgreesOnPositionsAndFaces) {
  MwModel file = JointedQuad();
  file.materials[0].texture.clear();
  file.materials[0].alphaMap.clear();
  for (MwVertex& vertex : file.vertices) {
    vertex.joint = kMwNone;  // that reader knows no joints
  }
  Write("Bin/Quad.ms3d", file);
  TMS3D ours(kDisplay);
  ASSERT_TRUE(Load(ours, "Bin\\Quad.ms3d"));
  Model* peer = ModelOpenMS3D(kDisplay, "Bin\\Quad.ms3d");
  ASSERT_NE(peer, nullptr);
  const Ms3dMesh& mesh = ours.Mesh();
  ASSERT_EQ(ModelVertexCount(peer), static_cast<int32_t>(mesh.vertices.size()));
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const ModelVertex vertex = ModelVertexGet(peer, static_cast<int32_t>(i));
    EXPECT_EQ((Ms3dVector{vertex.x, vertex.y, vertex.z}), mesh.vertices[i].position) << i;
  }
  ASSERT_EQ(ModelTriangleCount(peer), static_cast<int32_t>(mesh.triangles.size()));
  for (size_t i = 0; i < mesh.triangles.size(); ++i) {
    const auto& corners = ModelTriangleGet(peer, static_cast<int32_t>(i)).vertices;
    EXPECT_THAT(mesh.triangles[i].vertices, ElementsAre(corners[0], corners[1], corners[2]));
  }
  ModelClose(peer);
}

// The Euler order: R = Rz * Ry * Rx, so x turns first.
TEST_F(Ms3dTest, JointAnglesTurnAboutXThenYThenZ) {
  MwModel file;
  MwJoint joint;
  joint.name = "J";
  joint.rotation = {static_cast<float>(M_PI / 2), static_cast<float>(M_PI / 2), 0.0f};
  file.joints = {joint};
  Write("Bin/Joint.ms3d", file);
  TMS3D model(kDisplay);
  ASSERT_TRUE(Load(model, "Bin\\Joint.ms3d"));
  // y turns to z about x, then z turns to x about y.
  ExpectNear(Apply(model.Mesh().joints[0].final, {0, 1, 0}, false), {1, 0, 0});
}

// Byte offsets of a writer-made MilkShape file's counts.
struct Ms3dLayout {
  explicit Ms3dLayout(const MwModel& model) {
    triangleCount = 16 + 15 * model.vertices.size();
    groupCount = triangleCount + 2 + 70 * model.triangles.size();
    materialCount = groupCount + 2;
    for (const MwGroup& group : model.groups) {
      materialCount += 36 + 2 * group.triangles.size();
    }
    jointCount = materialCount + 2 + 361 * model.materials.size() + 12;
  }
  static constexpr size_t vertexCount = 14;
  size_t triangleCount;
  size_t groupCount;
  size_t materialCount;
  size_t jointCount;
};

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

std::string Ms3dBytes(const MwModel& model) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  return bytes;
}

// The jointed quad with every optional section and no texture files.
MwModel FullQuad() {
  MwModel model = JointedQuad();
  model.materials[0].texture.clear();
  model.materials[0].alphaMap.clear();
  MwComments comments;
  comments.groups = {{1, "the back"}};
  comments.joints = {{0, "root"}, {1, ""}};
  comments.model = {{0, "a quad"}};
  model.comments = comments;
  MwVertexExtras extras;
  extras.subVersion = 3;
  extras.items.resize(model.vertices.size());
  extras.items[3] = {{1, -1, -1}, {100, 0, 0}, 7, 9};
  model.vertexExtras = extras;
  model.jointColors = std::vector<std::array<float, 3>>{{1, 0, 0}, {0, 1, 0}};
  model.modelExtras = MwModelExtras{};
  return model;
}

// The sizes of the full quad's file ending after the joints and after each optional section.
std::vector<size_t> SectionEnds() {
  MwModel model = FullQuad();
  std::vector<size_t> ends;
  ends.push_back(Ms3dBytes(model).size());
  model.modelExtras.reset();
  ends.push_back(Ms3dBytes(model).size());
  model.jointColors.reset();
  ends.push_back(Ms3dBytes(model).size());
  model.vertexExtras.reset();
  ends.push_back(Ms3dBytes(model).size());
  model.comments.reset();
  ends.push_back(Ms3dBytes(model).size());
  return {ends.rbegin(), ends.rend()};
}

TEST_F(Ms3dTest, OptionalSectionsAreKeptAsReadAndTheFileMayEndBeforeAnyOfThem) {
  const std::string bytes = Ms3dBytes(FullQuad());
  const std::vector<size_t> ends = SectionEnds();
  for (size_t sections = 0; sections < ends.size(); ++sections) {
    folder_.write("Bin/Quad.ms3d", bytes.substr(0, ends[sections]));
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Quad.ms3d")) << sections;
    const Ms3dExtras& extras = model.Mesh().extras;
    EXPECT_EQ(extras.hasComments, sections >= 1);
    EXPECT_EQ(extras.vertexExtraVersion, sections >= 2 ? 3 : 0);
    EXPECT_EQ(extras.hasJointExtras, sections >= 3);
    EXPECT_EQ(extras.hasModelExtras, sections >= 4);
    if (sections == ends.size() - 1) {
      EXPECT_EQ(extras.comments[0][0].text, "the back");
      EXPECT_EQ(extras.comments[0][0].index, 1);
      EXPECT_THAT(extras.comments[1], SizeIs(0));
      EXPECT_THAT(extras.comments[2], SizeIs(2));
      EXPECT_EQ(extras.comments[3][0].text, "a quad");
      ASSERT_THAT(extras.vertexExtras, SizeIs(4 * 14));
      EXPECT_THAT(
          std::vector<uint8_t>(extras.vertexExtras.begin() + 42, extras.vertexExtras.begin() + 48),
          ElementsAre(1, 255, 255, 100, 0, 0));
      EXPECT_EQ(extras.vertexExtras[48], 7);
      EXPECT_EQ(extras.vertexExtras[52], 9);
      EXPECT_THAT(extras.jointExtras, SizeIs(2 * 12));
      EXPECT_THAT(extras.modelExtras, SizeIs(12));
    }
  }
  // The vertex extras take 6, 10 or 14 bytes a vertex by sub-version.
  for (uint32_t subVersion : {1u, 2u}) {
    MwModel file = FullQuad();
    file.vertexExtras->subVersion = subVersion;
    Write("Bin/Quad.ms3d", file);
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Quad.ms3d"));
    EXPECT_THAT(model.Mesh().extras.vertexExtras, SizeIs(4 * (subVersion == 1 ? 6 : 10)));
    EXPECT_TRUE(model.Mesh().extras.hasModelExtras);
  }
  EXPECT_TRUE(ErrorLines().empty());

  // A sub-version of the wrong value fails the load, whichever section it heads.
  const std::pair<size_t, uint32_t> wrong[] = {
      {ends[0], 2}, {ends[1], 4}, {ends[2], 2}, {ends[3], 0}};
  for (const auto& [at, subVersion] : wrong) {
    std::string damaged = bytes;
    Put32(damaged, at, subVersion);
    folder_.write("Bin/Quad.ms3d", damaged);
    TMS3D model(kDisplay);
    EXPECT_FALSE(Load(model, "Bin\\Quad.ms3d")) << at;
  }
  EXPECT_THAT(ErrorLines(), ElementsAre(HasSubstr("Unsupported comment sub-version 2."),
                                        HasSubstr("Unsupported vertex extra sub-version 4."),
                                        HasSubstr("Unsupported joint extra sub-version 2."),
                                        HasSubstr("Unsupported model extra sub-version 0.")));
}

TEST_F(Ms3dTest, OnlyMilkShapeVersionFourAndTheThreeExtensionsAreRead) {
  std::string bytes = Ms3dBytes(JointedQuad());
  Put32(bytes, 10, 3);
  folder_.write("Bin/Quad.ms3d", bytes);
  folder_.write("Bin/Quad.obj", "v 0 0 0\n");
  TMS3D model(kDisplay);
  EXPECT_FALSE(Load(model, "Bin\\Quad.ms3d"));
  EXPECT_FALSE(Load(model, "Bin\\Quad.obj"));
  EXPECT_FALSE(Load(model, "Bin\\Missing.MS3D"));
  EXPECT_THAT(ErrorLines(),
              ElementsAre("Error: TMS3D::LoadFromFile - \"Bin\\Quad.ms3d\": Unsupported file "
                          "version 3.",
                          "Error: TMS3D::LoadFromFile - Unsupported model file \"Bin\\Quad.obj\".",
                          "Error: TMS3D::LoadFromFile - \"Bin\\Missing.MS3D\": Unable to open "
                          "file."));
}

// Joint and material indices naming nothing are only unused; vertex and
// triangle indices naming nothing would be read past when drawing, so the
// file is refused.
TEST_F(Ms3dTest, IndicesNamingNothing) {
  MwModel file = JointedQuad();
  file.materials[0].texture.clear();
  file.materials[0].alphaMap.clear();
  file.vertices[1].joint = 2;
  file.groups[1].material = 1;
  Write("Bin/Quad.ms3d", file);
  {
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Quad.ms3d"));
    EXPECT_EQ(model.Mesh().vertices[1].joint, kMs3dNone);
    EXPECT_EQ(model.Mesh().vertices[1].position, (Ms3dVector{1, 0.5f, -2}));
    EXPECT_EQ(model.Mesh().groups[1].material, kMs3dNone);
  }
  MwModel badVertex = file;
  badVertex.triangles[1].vertices[2] = 4;
  MwModel badTriangle = file;
  badTriangle.groups[1].triangles = {0, 2};
  for (const MwModel& damaged : {badVertex, badTriangle}) {
    Write("Bin/Quad.ms3d", damaged);
    TMS3D model(kDisplay);
    EXPECT_FALSE(Load(model, "Bin\\Quad.ms3d"));
  }
  EXPECT_THAT(ErrorLines(),
              ElementsAre(HasSubstr("\"Bin\\Quad.ms3d\": Face 2 names a vertex that is not in"),
                          HasSubstr("\"Bin\\Quad.ms3d\": Mesh 2 names a face that is not in")));
}

// Exporters write NaN normals for degenerate triangles; a position that is
// not a number cannot be drawn at all.
TEST_F(Ms3dTest, NonFiniteNormalsCoordinatesAndJointValuesReadAsZeroButPositionsFail) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  MwModel file = JointedQuad();
  file.materials[0].texture.clear();
  file.materials[0].alphaMap.clear();
  file.triangles[0].normals[1] = {nan, 1, infinity};
  file.triangles[0].t[2] = -infinity;
  file.joints[1].rotation = {nan, nan, nan};
  file.joints[1].positionKeys[0].value[0] = nan;
  Write("Bin/Quad.ms3d", file);
  {
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Quad.ms3d"));
    const Ms3dMesh& mesh = model.Mesh();
    EXPECT_EQ(mesh.triangles[0].st[2], (std::array<float, 2>{0.5f, 0.0f}));
    EXPECT_EQ(mesh.joints[1].rotation, (Ms3dVector{0, 0, 0}));
    EXPECT_EQ(mesh.joints[1].keys.position[0].value, (Ms3dVector{0, 5, 6}));
    // The normal (0, 1, 0) on the child joint comes back through its final matrix.
    const Ms3dVertex& vertex = mesh.vertices[mesh.triangles[0].vertices[1]];
    ExpectNear(Apply(mesh.joints[vertex.joint].final, mesh.triangles[0].normals[1], false),
               {0, 1, 0});
    for (float value : mesh.joints[1].final) {
      EXPECT_TRUE(std::isfinite(value));
    }
  }
  for (float bad : {nan, infinity}) {
    MwModel damaged = file;
    damaged.vertices[2].position[1] = bad;
    Write("Bin/Quad.ms3d", damaged);
    TMS3D model(kDisplay);
    EXPECT_FALSE(Load(model, "Bin\\Quad.ms3d"));
  }
  EXPECT_THAT(ErrorLines(),
              ElementsAre(HasSubstr("Vertex 3 has a position that is not a number."),
                          HasSubstr("Vertex 3 has a position that is not a number.")));
}

TEST_F(Ms3dTest, ParentsMatchNamesWithoutCaseAndCyclesBecomeRoots) {
  MwModel file;
  const std::pair<std::string, std::string> joints[] = {
      {"A", "b"}, {"B", "A"}, {"C", "a"}, {"D", "nobody"}, {"E", "E"}, {"F", ""}, {"G", "C"}};
  for (const auto& [name, parent] : joints) {
    MwJoint joint;
    joint.name = name;
    joint.parent = parent;
    joint.rotation = {0.1f, 0.2f, 0.3f};
    joint.position = {1, 2, 3};
    file.joints.push_back(joint);
  }
  file.vertices = {Vertex(1, 1, 1, 6)};
  Write("Bin/Joints.ms3d", file);
  TMS3D model(kDisplay);
  ASSERT_TRUE(Load(model, "Bin\\Joints.ms3d"));
  const Ms3dMesh& mesh = model.Mesh();
  std::vector<int32_t> parents;
  for (const Ms3dJoint& joint : mesh.joints) {
    parents.push_back(joint.parent);
  }
  EXPECT_THAT(parents, ElementsAre(-1, -1, 0, -1, -1, -1, 2));
  // G hangs two joints below the root A.
  const Ms3dMatrix& root = mesh.joints[0].final;
  EXPECT_EQ(root, mesh.joints[0].relative);
  ExpectNear(Apply(mesh.joints[6].final, {0, 0, 0}, true),
             Apply(root, Apply(root, {1, 2, 3}, true), true));
  ExpectNear(Apply(mesh.joints[6].final, mesh.vertices[0].position, true), {1, 1, 1});
}

// --- Projects and animations ------------------------------------------------------------------

std::string AnimationBytes(const MwAnimation& animation) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwAnimationBytes(animation, bytes, error)) << error;
  return bytes;
}

// A walk moving the arm (and a joint the mesh does not have).
MwAnimation Walk() {
  MwAnimation walk;
  walk.frameRate = 12;
  walk.frameCount = 8;
  MwAnimationJoint ghost;
  ghost.name = "Ghost";
  ghost.rotationKeys = {{0.0f, {9, 9, 9}}};
  MwAnimationJoint arm;
  arm.name = "Arm";
  arm.rotationKeys = {{0.0f, {0.1f, 0.2f, 0.3f}}, {0.5f, {0.4f, 0.5f, 0.6f}}};
  arm.positionKeys = {{0.25f, {1, 2, 3}}};
  walk.joints = {ghost, arm};
  return walk;
}

TEST_F(Ms3dTest, AProjectReadsItsNeutralMeshAndCopiesAnimationKeysByJointName) {
  WriteTga(folder_, "Bin/Actors/Mesh/Textures/brass.tga", MakeImage(4, 4, Gradient));
  WriteTga(folder_, "Bin/Actors/Mesh/Textures/pick.tga", MakeImage(4, 4, Gradient));
  Write("Bin/Actors/Mesh/Guy.ms3d", JointedQuad());
  folder_.write("Bin/Actors/Walk.man", AnimationBytes(Walk()));
  MwAnimation run;
  run.frameCount = 3;
  folder_.write("Bin/Actors/Anims/Run.man", AnimationBytes(run));
  // Keys are trimmed and upper-cased; the second WALK line is never read.
  folder_.write("Bin/Actors/Guy.mpj",
                "1.0\r\n\r\n  walk = Walk.man \r\nneutral=Mesh/Guy.ms3d\nRun=Anims/Run.man\r\n"
                "WALK=Missing.man\r\n");
  TMS3D model(kDisplay);
  ASSERT_TRUE(Load(model, "Bin\\Actors\\Guy.MPJ"));
  const Ms3dMesh& mesh = model.Mesh();
  EXPECT_THAT(mesh.triangles, SizeIs(2));
  EXPECT_NE(mesh.materials[0].image, nullptr);  // from the mesh's own folder
  ASSERT_THAT(mesh.animations, SizeIs(2));
  const Ms3dAnimation& walk = mesh.animations[0];
  EXPECT_EQ(walk.name, "WALK");
  EXPECT_EQ(walk.frameRate, 12.0f);
  EXPECT_EQ(walk.frameCount, 8);
  ASSERT_THAT(walk.joints, SizeIs(2));
  EXPECT_THAT(walk.joints[0].rotation, SizeIs(0));  // "Root" is not in the walk
  ASSERT_THAT(walk.joints[1].rotation, SizeIs(2));
  EXPECT_EQ(walk.joints[1].rotation[1].value, (Ms3dVector{0.4f, 0.5f, 0.6f}));
  EXPECT_EQ(walk.joints[1].position[0].time, 0.25f);
  EXPECT_EQ(mesh.animations[1].name, "RUN");
  EXPECT_EQ(mesh.animations[1].frameCount, 3);
  EXPECT_TRUE(ErrorLines().empty());
}

TEST_F(Ms3dTest, ProjectsFailOnAnyBadLineAMissingNeutralMeshOrABadAnimation) {
  Write("Bin/Guy.ms3d", FullQuad());
  folder_.write("Bin/Walk.man", AnimationBytes(Walk()));
  std::string badMagic = AnimationBytes(Walk());
  badMagic[3] = 2;
  folder_.write("Bin/Bad.man", badMagic);
  const std::string projects[] = {
      "1.1\r\nNEUTRAL=Guy.ms3d\r\n",
      "1.0\r\nNEUTRAL=Guy.ms3d\r\nWALK Walk.man\r\n",
      "1.0\r\nWALK=Walk.man\r\n",
      "1.0\r\nNEUTRAL=Guy.ms3d\r\nWALK=Bad.man\r\n",
      "1.0\r\nNEUTRAL=Gone.ms3d\r\nWALK=Walk.man\r\n",
      "1.0\r\nNEUTRAL=Guy.ms3d\r\nWALK=Gone.man\r\n",
  };
  for (const std::string& project : projects) {
    folder_.write("Bin/Guy.mpj", project);
    TMS3D model(kDisplay);
    EXPECT_FALSE(Load(model, "Bin\\Guy.mpj")) << project;
  }
  EXPECT_THAT(ErrorLines(),
              ElementsAre(HasSubstr("\"Bin\\Guy.mpj\": Unsupported project version."),
                          HasSubstr("\"Bin\\Guy.mpj\": Line 3 has no \"=\"."),
                          HasSubstr("\"Bin\\Guy.mpj\": The project names no neutral mesh."),
                          HasSubstr("\"Bin\\Bad.man\": Invalid animation header."),
                          HasSubstr("\"Bin\\Gone.ms3d\": Unable to open file."),
                          HasSubstr("\"Bin\\Gone.man\": Unable to open file.")));
  // A second neutral mesh takes the place of the first and its textures.
  WriteTga(folder_, "Bin/Textures/brass.tga", MakeImage(4, 4, Gradient));
  Write("Bin/Textured.ms3d", JointedQuad());
  folder_.write("Bin/Guy.mpj", "1.0\r\nNEUTRAL=Textured.ms3d\r\nNEUTRAL=Guy.ms3d\r\n");
  {
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Guy.mpj"));
    EXPECT_TRUE(model.Mesh().extras.hasModelExtras);
    EXPECT_EQ(ModelTextureFind(kDisplay, "Bin\\Textures/brass.tga"), nullptr);
  }
}

// --- Piece files ------------------------------------------------------------------------------

std::string PieceBytes(const MwPieceFile& file) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwPieceBytes(file, bytes, error)) << error;
  return bytes;
}

// Two pieces: a triangle and a quad, all of one layout.
MwPieceFile TwoPieces(int32_t type) {
  MwPieceFile file;
  MwPiece triangle;
  triangle.name = "Blade";
  triangle.type = type;
  triangle.vertices = {{{0.3f, 0, 0}, {0, 0, 1}, {0, 0}},
                       {{1, 0, 0}, {0, 0, 1}, {1, 0}},
                       {{0, 1, 0}, {0, 1, 0}, {0, 1}}};
  triangle.triangles = {{0, 1, 2}};
  MwPiece quad;
  quad.name = std::string(32, 'h');
  quad.type = type;
  quad.vertices = {{{-0.7f, -1, 2}, {1, 0, 0}, {0.25f, 0.5f}},
                   {{0.7f, -1, 2}, {0, 1, 0}, {0.75f, 0.5f}},
                   {{-0.7f, 1, 2}, {0, 0, -1}, {0.25f, 1}},
                   {{0.7f, 1, 2}, {-1, 0, 0}, {0.75f, 1}}};
  quad.triangles = {{0, 1, 2}, {2, 1, 3}};
  file.pieces = {triangle, quad};
  return file;
}

// The mesh's triangles as drawn: per corner the position, normal and (s, t).
std::vector<std::array<float, 8>> Corners(const Ms3dMesh& mesh) {
  std::vector<std::array<float, 8>> corners;
  for (const Ms3dTriangle& triangle : mesh.triangles) {
    for (size_t corner = 0; corner < 3; ++corner) {
      const Ms3dVector& p = mesh.vertices[triangle.vertices[corner]].position;
      const Ms3dVector& n = triangle.normals[corner];
      const auto& st = triangle.st[corner];
      corners.push_back({p[0], p[1], p[2], n[0], n[1], n[2], st[0], st[1]});
    }
  }
  return corners;
}

// The offset of the first piece's data fields (after its name).
size_t FirstPieceAt(const MwPieceFile& file) {
  return 98 + file.header.size() + 2 + file.pieces[0].name.size();
}

TEST_F(Ms3dTest, PieceLayoutsOneToFiveGiveTheSameMesh) {
  const MwPieceFile file = TwoPieces(1);
  const std::vector<std::array<float, 8>> expected = {{0.3f, 0, 0, 0, 0, 1, 0, 0},
                                                      {1, 0, 0, 0, 0, 1, 1, 0},
                                                      {0, 1, 0, 0, 1, 0, 0, 1},
                                                      {-0.7f, -1, 2, 1, 0, 0, 0.25f, 0.5f},
                                                      {0.7f, -1, 2, 0, 1, 0, 0.75f, 0.5f},
                                                      {-0.7f, 1, 2, 0, 0, -1, 0.25f, 1},
                                                      {-0.7f, 1, 2, 0, 0, -1, 0.25f, 1},
                                                      {0.7f, -1, 2, 0, 1, 0, 0.75f, 0.5f},
                                                      {0.7f, 1, 2, -1, 0, 0, 0.75f, 1}};
  for (int32_t type = 1; type <= 5; ++type) {
    folder_.write("Bin/Pieces.ltb", PieceBytes(TwoPieces(type)));
    TMS3D model(kDisplay);
    ASSERT_TRUE(Load(model, "Bin\\Pieces.LTB")) << type;
    const Ms3dMesh& mesh = model.Mesh();
    EXPECT_EQ(Corners(mesh), expected) << type;
    ASSERT_THAT(mesh.groups, SizeIs(2));
    EXPECT_EQ(mesh.groups[1].name, file.pieces[1].name);
    EXPECT_THAT(mesh.groups[1].triangles, ElementsAre(1, 2));
    EXPECT_EQ(mesh.groups[1].material, kMs3dNone);
    EXPECT_EQ(mesh.triangles[2].group, 1);
    EXPECT_EQ(mesh.vertices[4].joint, kMs3dNone);
    EXPECT_TRUE(mesh.materials.empty() && mesh.joints.empty());
  }
  // Two zero bytes in front of vertex data whose first bytes are not zero
  // shift the data by two.
  std::string shifted = PieceBytes(file);
  shifted.insert(FirstPieceAt(file) + 83, 2, '\0');
  folder_.write("Bin/Pieces.ltb", shifted);
  TMS3D model(kDisplay);
  ASSERT_TRUE(Load(model, "Bin\\Pieces.ltb"));
  EXPECT_EQ(Corners(model.Mesh()), expected);
  EXPECT_TRUE(ErrorLines().empty());
}

TEST_F(Ms3dTest, PieceFilesWithUnknownTypesStrayIndicesOrTooManyVerticesAreRefused) {
  MwPieceFile file = TwoPieces(2);
  std::string unknownType = PieceBytes(file);
  Put16(unknownType, FirstPieceAt(file) + 61, 6);
  file.pieces[1].triangles[1][2] = 4;  // the quad has vertices 0 to 3
  const std::string strayIndex = PieceBytes(file);
  // The second piece's indices would reach past 65,535 once offset.
  MwPieceFile big;
  MwPiece piece;
  piece.name = "Big";
  piece.vertices.resize(40000, {{0.5f, 0, 0}, {}, {}});
  piece.triangles = {{0, 1, 39999}};
  big.pieces = {piece};
  std::string tooMany = PieceBytes(big);
  const size_t piecesAt = 98 + big.header.size();
  Put32(tooMany, piecesAt - 4, 2);
  tooMany += tooMany.substr(piecesAt);
  for (const std::string& bytes : {unknownType, strayIndex, tooMany}) {
    folder_.write("Bin/Pieces.ltb", bytes);
    TMS3D model(kDisplay);
    EXPECT_FALSE(Load(model, "Bin\\Pieces.ltb"));
  }
  EXPECT_THAT(ErrorLines(),
              ElementsAre(HasSubstr("Unable to read piece 1 vertex type: 6 is not 1 to 5."),
                          HasSubstr("Unable to read piece 2 triangle 2: a vertex past the piece"),
                          HasSubstr("Unable to read piece 2 size: more than 65,535")));
}

// --- Damaged files ----------------------------------------------------------------------------

// Every prefix and every count pushed past the end of a file of each kind:
// a load that fails logs exactly one line, reads nothing outside the file
// (the sanitizers watch) and allocates no more than the file could fill.
class Ms3dDamageTest : public Ms3dTest {
 protected:
  // The error lines logged since the last call.
  size_t NewErrorLines() {
    const std::string log = folder_.exists("results.log") ? folder_.read("results.log") : "";
    size_t count = 0;
    for (size_t at = log.find("Error:", logRead_); at != std::string::npos;
         at = log.find("Error:", at + 1)) {
      ++count;
    }
    logRead_ = log.size();
    return count;
  }
  // Loads each version of the file; true results are collected by length.
  std::vector<size_t> Sweep(const std::string& relative, const std::vector<std::string>& versions,
                            const std::string& name) {
    std::vector<size_t> loaded;
    for (const std::string& bytes : versions) {
      folder_.write(relative, bytes);
      AllocationProbeReset();
      bool result = false;
      {
        TMS3D model(kDisplay);
        result = Load(model, name);
      }
      EXPECT_LE(AllocationProbeLargest(), 16 * bytes.size() + 65536) << bytes.size();
      EXPECT_EQ(NewErrorLines(), result ? 0 : 1) << bytes.size();
      if (result) {
        loaded.push_back(bytes.size());
      }
    }
    return loaded;
  }

  size_t logRead_ = 0;
};

std::vector<std::string> Prefixes(const std::string& bytes) {
  std::vector<std::string> prefixes;
  for (size_t size = 0; size <= bytes.size(); ++size) {
    prefixes.push_back(bytes.substr(0, size));
  }
  return prefixes;
}

TEST_F(Ms3dDamageTest, MilkShapeFiles) {
  const MwModel file = FullQuad();
  const std::string bytes = Ms3dBytes(file);
  EXPECT_EQ(Sweep("Bin/Quad.ms3d", Prefixes(bytes), "Bin\\Quad.ms3d"), SectionEnds());
  const Ms3dLayout layout(file);
  std::vector<std::string> damaged;
  for (size_t at : {Ms3dLayout::vertexCount, layout.triangleCount, layout.groupCount,
                    layout.groupCount + 35, layout.materialCount, layout.jointCount,
                    layout.jointCount + 2 + 89, layout.jointCount + 2 + 89 + 2}) {
    damaged.push_back(bytes);
    Put16(damaged.back(), at, 0xFFFF);
  }
  const size_t comments = SectionEnds()[0] + 4;
  for (size_t at : {comments, comments + 4 + 4}) {  // a count and a length
    for (uint32_t value : {0x7FFFFFFFu, 0x80000000u}) {
      damaged.push_back(bytes);
      Put32(damaged.back(), at, value);
    }
  }
  EXPECT_THAT(Sweep("Bin/Quad.ms3d", damaged, "Bin\\Quad.ms3d"), SizeIs(0));
}

TEST_F(Ms3dDamageTest, ProjectsAndAnimations) {
  Write("Bin/Guy.ms3d", FullQuad());
  const std::string walk = AnimationBytes(Walk());
  folder_.write("Bin/Walk.man", walk);
  const std::string project = "1.0\r\nNEUTRAL=Guy.ms3d\r\nWALK=Walk.man\r\n";
  const std::vector<size_t> loaded = Sweep("Bin/Guy.mpj", Prefixes(project), "Bin\\Guy.mpj");
  // Complete lines: after the neutral mesh's name and after the walk's.
  EXPECT_THAT(loaded, ElementsAre(21, 22, 23, 36, 37, 38));

  folder_.write("Bin/Guy.mpj", project);
  std::vector<std::string> damaged = Prefixes(walk);
  for (size_t at : {16 + 32, 16 + 34}) {  // the first joint's key counts
    damaged.push_back(walk);
    Put16(damaged.back(), at, 0xFFFF);
  }
  // The animation reads whole joints up to its end.
  EXPECT_THAT(Sweep("Bin/Walk.man", damaged, "Bin\\Guy.mpj"),
              ElementsAre(16, 16 + 36 + 16, walk.size()));
}

TEST_F(Ms3dDamageTest, PieceFiles) {
  for (int32_t type : {1, 4}) {
    const MwPieceFile file = TwoPieces(type);
    const std::string bytes = PieceBytes(file);
    std::vector<std::string> damaged = Prefixes(bytes);
    const size_t piece = FirstPieceAt(file);
    for (size_t at : {size_t{84}, 94 + file.header.size(), piece - 2 - file.pieces[0].name.size(),
                      piece + 49, piece + 53}) {
      damaged.push_back(bytes);
      Put32(damaged.back(), at, 0xFFFFFFFF);
    }
    EXPECT_THAT(Sweep("Bin/Pieces.ltb", damaged, "Bin\\Pieces.ltb"), ElementsAre(bytes.size()))
        << type;
  }
}

}  // namespace
