// The model readers without a rendering context, fed files made by the model
// writer: MilkShape meshes with joints, materials and optional sections read
// back field for field, the neutral pose giving back the file's positions,
// projects with their animations, piece files in every layout, and damaged
// files of each kind refused with one log line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/ms3d/ms3d_internal.h"
#include "framework/utilities/utilities.h"
#include "tests/framework/model/model_testing.h"
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

}  // namespace

// Drawing is not part of these tests; the module's start only resets it.
void Ms3dRenderReset() {}
