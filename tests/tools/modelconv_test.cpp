// The modelconv tool, run as a program: an OBJ box converts to a MilkShape
// file whose records hold the OBJ's positions, flipped t and normals (given,
// flat or smoothed), which the game's simple reader sees with the same faces,
// and which writes back to an OBJ that converts to the same bytes; pick
// textures and the pick mat read back through the game's readers; piece files
// of every layout hold the same corners; listings name what projects share;
// bad input is reported as file:line or file: offset N with exit status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/utilities/utilities.h"
#include "tests/support/testsupport.h"
#include "tools/common/model_writer.h"
#include "tools/modelconv/modelfiles.h"
#include "tools/modelconv/objconv.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Vec3 = std::array<float, 3>;

// A unit box: the front a textured quad with its normal given, the top in
// smoothing group 1 with negative indices, the sides without material or
// normals (one with texture coordinates whose 1 - v is inexact), a second run of the front group,
// and the back (smoothed with the top) as an "o" object of another material.
const char kBoxObj[] =
    "# a box\n"
    "mtllib box.mtl\n"
    "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0.25 0.75\n"
    "vn 0 0 1\n"
    "g FRONT\nusemtl wood\ns off\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
    "g TOP\ns 1\n"
    "f -5/-4 -6/-3 -2/-2 -1/-1\n"
    "vt 0.1 0.7\nvt -3.5 1e-9\nvt 12345.678 0.33333334\n"  // t = 1 - v must come back
    "g SIDES\nusemtl\ns off\n"
    "f 2//1 6 7\n"
    "f 5/5 1/6 4/7 8/5\n"
    "g FRONT\nusemtl wood\n"
    "f 1 4 8\n"
    "o BACK\nusemtl metal\ns 1\n"
    "f 6/1 5/2 8/3 7/4\n";

// Defined in another order than used; one material is never used.
const char kBoxMtl[] =
    "newmtl metal\nKd 0.5 0.5 0.5\nmap_Kd metal.tga\n"
    "newmtl wood\nKa 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nKs 0.7 0.8 0.9\nKe 0.01 0.02 0.03\n"
    "Ns 12.5\nd 0.75\nmap_Kd -s 1 1 1 wood grain.tga\nmap_d wood_pick.tga\n"
    "newmtl unused\nKd 1 1 1\n";

// The triangles by group, as fans of the faces (0-based vertices).
const std::vector<std::array<int32_t, 3>> kBoxTriangles = {
    {0, 1, 2}, {0, 2, 3}, {0, 3, 7},  // FRONT
    {3, 2, 6}, {3, 6, 7},             // TOP
    {1, 5, 6}, {4, 0, 3}, {4, 3, 7},  // SIDES
    {5, 4, 7}, {5, 7, 6},             // BACK
};

const Vec3 kBoxPositions[] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
                              {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

class ModelconvTest : public ::testing::Test {
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
    MatStart();
    Ms3dStart();
    folder_.write("Bin/box.obj", kBoxObj);
    folder_.write("Bin/box.mtl", kBoxMtl);
  }
  void TearDown() override {
    Ms3dStop();
    MatStop();
    ModelStop();
    ImageStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  ToolRun Run(const std::vector<std::string>& args) const {
    return RunTool(MODELCONV_BINARY, folder_, args);
  }
  // Converts and expects success.
  void Convert(const std::vector<std::string>& args) const {
    const ToolRun run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  MwModel Records(const std::string& relative) const {
    MwModel model;
    std::string error;
    EXPECT_TRUE(ModelMs3dFromBytes(relative, folder_.read(relative), model, error)) << error;
    return model;
  }
  std::vector<uint32_t> Picture(const std::string& relative) const {
    ImageFrame* image = nullptr;
    ImageLoad(folder_.path() + relative, image);
    std::vector<uint32_t> pixels;
    if (image != nullptr && image->loaded && !image->placeholder) {
      pixels = image->pixels;
    }
    ImageFree(image);
    return pixels;
  }

  static constexpr int32_t kDisplay = 1;
  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// The game's model reader gives the records' corners: positions (no joints,
// so as in the file), (s, t) pairs and normals, group by group.
void ExpectLoadedAsRecords(const std::string& file, const MwModel& records) {
  TMS3D model(1);
  ASSERT_TRUE(model.LoadFromFile(file)) << file;
  const Ms3dMesh& mesh = model.Mesh();
  ASSERT_EQ(mesh.groups.size(), records.groups.size());
  for (size_t g = 0; g < mesh.groups.size(); ++g) {
    EXPECT_EQ(mesh.groups[g].name, records.groups[g].name);
    ASSERT_EQ(mesh.groups[g].triangles.size(), records.groups[g].triangles.size());
    for (size_t i = 0; i < mesh.groups[g].triangles.size(); ++i) {
      const Ms3dTriangle& got = mesh.triangles.at(mesh.groups[g].triangles[i]);
      const MwTriangle& want = records.triangles.at(records.groups[g].triangles[i]);
      for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(mesh.vertices.at(got.vertices[k]).position,
                  records.vertices.at(want.vertices[k]).position);
        EXPECT_THAT(got.st[k], ElementsAre(want.s[k], want.t[k]));
        EXPECT_EQ(got.normals[k], want.normals[k]);
      }
    }
  }
}

void ExpectUnitBetween(const Vec3& n, const Vec3& a, const Vec3& b) {
  EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-6f);
  EXPECT_GT(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0.1f);
  EXPECT_GT(n[0] * b[0] + n[1] * b[1] + n[2] * b[2], 0.1f);
}

TEST_F(ModelconvTest, AnObjBoxKeepsItsFacesCoordinatesAndNormalsAndConvertsBackByteForByte) {
  Convert({"Bin/box.obj", "Bin/box.ms3d"});
  const MwModel box = Records("Bin/box.ms3d");
  ASSERT_EQ(box.vertices.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(box.vertices[i].position, kBoxPositions[i]) << i;
    EXPECT_EQ(box.vertices[i].joint, kMwNone);
  }
  ASSERT_EQ(box.triangles.size(), kBoxTriangles.size());
  for (size_t i = 0; i < kBoxTriangles.size(); ++i) {
    EXPECT_THAT(box.triangles[i].vertices,
                ElementsAre(kBoxTriangles[i][0], kBoxTriangles[i][1], kBoxTriangles[i][2]))
        << i;
  }
  ASSERT_EQ(box.groups.size(), 4u);
  EXPECT_EQ(box.groups[0].name, "FRONT");
  EXPECT_THAT(box.groups[0].triangles, ElementsAre(0, 1, 2));
  EXPECT_EQ(box.groups[1].name, "TOP");
  EXPECT_EQ(box.groups[2].name, "SIDES");
  EXPECT_EQ(box.groups[3].name, "BACK");
  EXPECT_THAT(box.groups[3].triangles, ElementsAre(8, 9));
  EXPECT_EQ(box.triangles[9].group, 3);
  // Materials in order of use, the second texture from map_d.
  EXPECT_EQ(box.groups[0].material, 0);
  EXPECT_EQ(box.groups[1].material, 0);
  EXPECT_EQ(box.groups[2].material, kMwNone);
  EXPECT_EQ(box.groups[3].material, 1);
  ASSERT_EQ(box.materials.size(), 2u);
  const MwMaterial& wood = box.materials[0];
  EXPECT_EQ(wood.name, "wood");
  EXPECT_THAT(wood.ambient, ElementsAre(0.1f, 0.2f, 0.3f, 1.0f));
  EXPECT_THAT(wood.diffuse, ElementsAre(0.4f, 0.5f, 0.6f, 1.0f));
  EXPECT_THAT(wood.specular, ElementsAre(0.7f, 0.8f, 0.9f, 1.0f));
  EXPECT_THAT(wood.emissive, ElementsAre(0.01f, 0.02f, 0.03f, 1.0f));
  EXPECT_EQ(wood.shininess, 12.5f);
  EXPECT_EQ(wood.transparency, 0.75f);
  EXPECT_EQ(wood.texture, "wood grain.tga");
  EXPECT_EQ(wood.alphaMap, "wood_pick.tga");
  EXPECT_EQ(box.materials[1].texture, "metal.tga");

  // t = 1 - v: the front's corners (0 0), (1 0), (1 1), then (0.25 0.75).
  EXPECT_THAT(box.triangles[0].s, ElementsAre(0.0f, 1.0f, 1.0f));
  EXPECT_THAT(box.triangles[0].t, ElementsAre(1.0f, 1.0f, 0.0f));
  EXPECT_THAT(box.triangles[1].s, ElementsAre(0.0f, 1.0f, 0.25f));
  EXPECT_THAT(box.triangles[1].t, ElementsAre(1.0f, 0.0f, 0.25f));
  // Normals: given; flat for smoothing off; smoothed across the top and back.
  for (const Vec3& n : box.triangles[0].normals) {
    EXPECT_EQ(n, (Vec3{0, 0, 1}));
  }
  EXPECT_THAT(box.triangles[5].normals,
              ElementsAre(Vec3{0, 0, 1}, Vec3{1, 0, 0}, Vec3{1, 0, 0}));  // "2//1 6 7"
  EXPECT_EQ(box.triangles[3].normals[0], (Vec3{0, 1, 0}));                // vertex 4: the top only
  EXPECT_EQ(box.triangles[3].smoothingGroup, 1);
  ExpectUnitBetween(box.triangles[3].normals[2], {0, 1, 0}, {0, 0, -1});  // vertex 7
  EXPECT_EQ(box.triangles[3].normals[2], box.triangles[9].normals[2]);

  ExpectLoadedAsRecords("Bin\\box.ms3d", box);
  // The game's simple reader sees the same positions and faces.
  Model* model = ModelOpenMS3D(kDisplay, "Bin\\box.ms3d");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(ModelVertexCount(model), 8);
  for (int32_t i = 0; i < 8; ++i) {
    const Vec3& p = kBoxPositions[i];
    EXPECT_EQ(ModelVertexGet(model, i), (ModelVertex{p[0], p[1], p[2]})) << i;
  }
  ASSERT_EQ(ModelTriangleCount(model), static_cast<int32_t>(kBoxTriangles.size()));
  for (size_t i = 0; i < kBoxTriangles.size(); ++i) {
    EXPECT_EQ(ModelTriangleGet(model, static_cast<int32_t>(i)).vertices, kBoxTriangles[i]) << i;
  }
  ModelClose(model);

  // Back to OBJ and again to MilkShape: the same bytes.
  Convert({"--to-obj", "Bin/box.ms3d", "Out/again.obj"});
  EXPECT_THAT(folder_.read("Out/again.obj"), HasSubstr("mtllib again.mtl\n"));
  EXPECT_THAT(folder_.read("Out/again.mtl"), HasSubstr("newmtl wood\n"));
  Convert({"Out/again.obj", "Out/again.ms3d"});
  EXPECT_EQ(folder_.read("Out/again.ms3d"), folder_.read("Bin/box.ms3d"));

  // The library the tests link gives the tool's bytes.
  MwModel linked;
  std::vector<std::string> warnings;
  std::string error;
  const auto read = [&](const std::string& path, std::string& text) {
    text = path == "mem/box.obj" ? kBoxObj : path == "mem/box.mtl" ? kBoxMtl : "";
    return !text.empty();
  };
  ASSERT_TRUE(ObjReadModel("mem/box.obj", read, linked, warnings, error)) << error;
  EXPECT_TRUE(warnings.empty());
  std::string bytes;
  ASSERT_TRUE(MwMs3dBytes(linked, bytes, error)) << error;
  EXPECT_EQ(bytes, folder_.read("Bin/box.ms3d"));
}

TEST_F(ModelconvTest, BadObjAndMtlLinesAreReportedAsFileAndLineWithExitStatusOne) {
  struct Case {
    std::string obj;
    std::string where;
    std::string message;
  };
  const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  const std::vector<Case> cases = {
      {triangle + "f 1 2 9\n", "Bin/bad.obj:4: ", "vertex index 9 names nothing"},
      {triangle + "f 1 2 -4\n", "Bin/bad.obj:4: ", "vertex index -4 names nothing"},
      {triangle + "f 1/1 2/1 3/1\n", "Bin/bad.obj:4: ", "texture coordinate index 1"},
      {triangle + "f 1 2\n", "Bin/bad.obj:4: ", "at least 3 corners"},
      {"v 0 nan 0\n", "Bin/bad.obj:1: ", "\"nan\" is not a finite number"},
      {"v 0 1e39 0\n", "Bin/bad.obj:1: ", "not a finite number"},
      {"\n\nvn 0 x 1\n", "Bin/bad.obj:3: ", "\"x\" is not a finite number"},
      {"g " + std::string(32, 'G') + "\n", "Bin/bad.obj:1: ", "longer than 31 characters"},
      {"s 256\n", "Bin/bad.obj:1: ", "smoothing group"},
      {"mtllib bad.mtl\n", "Bin/bad.mtl:2: ", "\"zz\" is not a finite number"},
      {triangle, "Bin/bad.obj: ", "has no faces"},
  };
  folder_.write("Bin/bad.mtl", "newmtl m\nKd 1 zz 0\n");
  for (const Case& c : cases) {
    folder_.write("Bin/bad.obj", c.obj);
    const ToolRun run = Run({"Bin/bad.obj", "Bin/bad.ms3d"});
    EXPECT_EQ(run.exitCode, 1) << c.obj;
    EXPECT_THAT(run.err, StartsWith(c.where)) << c.obj;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.obj;
    EXPECT_FALSE(folder_.exists("Bin/bad.ms3d")) << c.obj;
  }
  // More vertices than a MilkShape file counts.
  std::string many;
  for (int32_t i = 0; i < 65536; ++i) {
    many += "v 0 0 0\n";
  }
  folder_.write("Bin/bad.obj", many);
  const ToolRun run = Run({"Bin/bad.obj", "Bin/bad.ms3d"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith("Bin/bad.obj:65536: more than 65535 vertices"));
}

TEST_F(ModelconvTest, PickTexturesAndTheMatNameEachGroupAndTheRampSteps) {
  Convert({"--pick", "--ramp", "3", "Bin/box.obj", "Bin/Key/box.ms3d"});
  Mat mat;
  MatOpen(folder_.path() + "Bin/Key/box.mat", mat);
  ASSERT_TRUE(MatIsValid(mat));
  ASSERT_EQ(mat.entries.size(), 5u);
  EXPECT_EQ(mat.entries[0].name, "TRANSPARENT");
  EXPECT_EQ(mat.entries[0].color, 0u);
  const MwModel box = Records("Bin/Key/box.ms3d");
  std::set<uint32_t> colors;
  for (size_t g = 0; g < box.groups.size(); ++g) {
    const MwGroup& group = box.groups[g];
    const MatEntry& entry = mat.entries[g + 1];
    EXPECT_EQ(entry.name, group.name);
    colors.insert(entry.color);
    // The group's own material, a copy of its OBJ material with the pick texture.
    ASSERT_LT(group.material, box.materials.size());
    const MwMaterial& material = box.materials[group.material];
    EXPECT_EQ(material.alphaMap, "box_pick" + std::to_string(g + 1) + ".tga");
    EXPECT_EQ(material.texture, g < 2 ? "wood grain.tga" : g == 3 ? "metal.tga" : "");
    const std::vector<uint32_t> pixels = Picture("Bin/Key/" + material.alphaMap);
    ASSERT_FALSE(pixels.empty());
    for (const uint32_t pixel : pixels) {
      ASSERT_EQ(pixel & 0xFFFFFF, entry.color) << material.alphaMap;
    }
  }
  EXPECT_EQ(colors.size(), 4u);
  EXPECT_FALSE(colors.contains(0));

  // Three steps from half to full brightness, left to right.
  const std::vector<uint32_t> ramp = Picture("Bin/Key/shader.tga");
  ASSERT_EQ(ramp.size(), 256u * 8u);
  std::vector<uint32_t> steps;
  for (size_t x = 0; x < 256; ++x) {
    const uint32_t grey = ramp[x] & 0xFF;
    EXPECT_EQ(ramp[x] & 0xFFFFFF, grey * 0x010101) << x;
    EXPECT_EQ(ramp[7 * 256 + x], ramp[x]) << x;
    if (steps.empty() || steps.back() != grey) {
      steps.push_back(grey);
    }
  }
  EXPECT_THAT(steps, ElementsAre(128, 191, 255));
}

TEST_F(ModelconvTest, PieceFilesOfEveryLayoutHoldTheSameCorners) {
  // The right side alone: every x is 1.0, whose bytes a reader takes for the
  // marker that moves the vertex data.
  folder_.write("Bin/box.obj", std::string(kBoxObj) + "g RIGHT\nf 2 6 7 3\n");
  Convert({"Bin/box.obj", "Bin/box.ms3d"});
  const MwModel box = Records("Bin/box.ms3d");
  for (int32_t layout = 1; layout <= 5; ++layout) {
    SCOPED_TRACE(layout);
    const std::string piece = "Bin/box" + std::to_string(layout) + ".ltb";
    Convert({"--piece", "--layout", std::to_string(layout), "Bin/box.obj", piece});
    MwPieceFile file;
    std::string error;
    ASSERT_TRUE(ModelPiecesFromBytes(piece, folder_.read(piece), file, error)) << error;
    ASSERT_EQ(file.pieces.size(), box.groups.size());
    for (size_t p = 0; p < file.pieces.size(); ++p) {
      const MwPiece& got = file.pieces[p];
      EXPECT_EQ(got.name, box.groups[p].name);
      EXPECT_EQ(got.type, layout);
      ASSERT_EQ(got.triangles.size(), box.groups[p].triangles.size());
      for (size_t t = 0; t < got.triangles.size(); ++t) {
        const MwTriangle& want = box.triangles[box.groups[p].triangles[t]];
        for (size_t k = 0; k < 3; ++k) {
          ASSERT_LT(got.triangles[t][k], got.vertices.size());
          const MwPieceVertex& v = got.vertices[got.triangles[t][k]];
          EXPECT_EQ(v.position, box.vertices[want.vertices[k]].position);
          EXPECT_EQ(v.normal, want.normals[k]);
          EXPECT_THAT(v.st, ElementsAre(want.s[k], want.t[k]));
        }
      }
    }
    ExpectLoadedAsRecords(piece, box);
    const ToolRun dump = Run({"--dump", piece});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_THAT(dump.out, HasSubstr("\"RIGHT\": layout " + std::to_string(layout)));
  }
}

TEST_F(ModelconvTest, ListingsNameTheJointsAnimationsShareAndDamageIsReportedByOffset) {
  MwModel mesh;
  mesh.vertices = {{0, {0, 0, 0}, 0, 1}, {0, {1, 0, 0}, 1, 1}, {0, {0, 1, 0}, kMwNone, 1}};
  MwTriangle triangle;
  triangle.vertices = {0, 1, 2};
  mesh.triangles = {triangle};
  mesh.groups = {{0, "blade", {0}, kMwNone}};
  mesh.joints = {{0, "Root", "", {}, {}, {}, {}}, {0, "Arm", "Root", {0, 0, 1}, {1, 0, 0}, {}, {}}};
  mesh.comments = MwComments{{{0, "a group"}}, {}, {}, {{0, "the model"}}};
  std::string bytes;
  std::string error;
  ASSERT_TRUE(MwMs3dBytes(mesh, bytes, error)) << error;
  folder_.write("Bin/Arm/arm.ms3d", bytes);
  MwAnimation wave;
  wave.frameCount = 12;
  wave.joints = {{"Arm", {{0, {0, 0, 1}}}, {}}, {"Tail", {}, {}}};
  ASSERT_TRUE(MwAnimationBytes(wave, bytes, error)) << error;
  folder_.write("Bin/Arm/wave.man", bytes);
  folder_.write("Bin/Arm/arm.mpj", "1.0\nNEUTRAL = arm.ms3d\n\nwave=wave.man\nWAVE=other.man\n");

  ToolRun run = Run({"--dump", "Bin/Arm/arm.mpj"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("1 animation\n  WAVE \"wave.man\": 24 frames a second, 12 frames"));
  EXPECT_THAT(run.out, HasSubstr("joints matched (1): \"Arm\"\n"));
  EXPECT_THAT(run.out, HasSubstr("joints the mesh lacks (1): \"Tail\"\n"));
  EXPECT_THAT(run.out, HasSubstr("mesh joints without keys (1): \"Root\"\n"));
  EXPECT_THAT(run.out, HasSubstr("3 vertices (2 on joints), 1 triangle\n"));
  EXPECT_THAT(run.out, HasSubstr("1 \"Arm\", parent \"Root\": 0 rotation keys"));
  EXPECT_THAT(run.out, HasSubstr("optional sections: comments (2)\n"));

  // Cut inside the second joint, and a comment sub-version the game refuses.
  const std::string whole = folder_.read("Bin/Arm/arm.ms3d");
  const size_t comments = whole.size() - (4 + 4 + 4 + 4 + 7 + 4 + 4 + 4 + 4 + 4 + 9);
  folder_.write("Bin/Arm/cut.ms3d", whole.substr(0, comments - 8));
  run = Run({"--dump", "Bin/Arm/cut.ms3d"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith("Bin/Arm/cut.ms3d: offset "));
  std::string versioned = whole;
  ASSERT_EQ(versioned[comments], 1);
  versioned[comments] = 2;
  folder_.write("Bin/Arm/v2.ms3d", versioned);
  run = Run({"--to-obj", "Bin/Arm/v2.ms3d", "Bin/Arm/v2.obj"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith("Bin/Arm/v2.ms3d: offset " + std::to_string(comments) +
                                  ": comments sub-version 2 is not 1"));
  folder_.write("Bin/Arm/bad.mpj", "1.0\nNEUTRAL=arm.ms3d\nno equals sign\n");
  run = Run({"--dump", "Bin/Arm/bad.mpj"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith("Bin/Arm/bad.mpj:3: "));
}

}  // namespace
