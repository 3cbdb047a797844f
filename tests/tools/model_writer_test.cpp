// The model file writer: a textured cube read back by the game's MilkShape
// reader, the joint, animation, optional-section and project layouts byte for
// byte against hand-made expectations, piece files walked by the format's
// offsets in every vertex layout, and the refusals of what a file cannot hold.
#include "tools/common/model_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Little-endian bytes, so expectations read field by field.
struct Bytes {
  std::string text;
  Bytes& U8(uint32_t value) {
    text.push_back(static_cast<char>(value & 0xFF));
    return *this;
  }
  Bytes& U16(uint32_t value) { return U8(value).U8(value >> 8); }
  Bytes& U32(uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
  Bytes& F32(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return U32(bits);
  }
  Bytes& Floats(std::initializer_list<float> values) {
    for (float value : values) {
      F32(value);
    }
    return *this;
  }
  Bytes& Text(const std::string& value) {
    text += value;
    return *this;
  }
  Bytes& Field(const std::string& value, size_t size) {
    text += value;
    text.append(size - value.size(), '\0');
    return *this;
  }
};

uint16_t ReadU16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) |
                               static_cast<uint8_t>(bytes.at(at + 1)) << 8);
}

uint32_t ReadU32(const std::string& bytes, size_t at) {
  return ReadU16(bytes, at) | static_cast<uint32_t>(ReadU16(bytes, at + 2)) << 16;
}

float ReadF32(const std::string& bytes, size_t at) {
  const uint32_t bits = ReadU32(bytes, at);
  float value = 0.0f;
  std::memcpy(&value, &bits, 4);
  return value;
}

std::string Ms3d(const MwModel& model) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  return bytes;
}

// A cube of side 2 about the origin, two triangles per face, one textured material.
MwModel MakeCube() {
  MwModel cube;
  for (int i = 0; i < 8; ++i) {
    MwVertex vertex;
    vertex.position = {(i & 1) != 0 ? 1.0f : -1.0f, (i & 2) != 0 ? 1.0f : -1.0f,
                       (i & 4) != 0 ? 1.0f : -1.0f};
    cube.vertices.push_back(vertex);
  }
  const uint16_t faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  MwGroup group;
  group.name = "box";
  group.material = 0;
  for (const auto& face : faces) {
    for (const auto& corners : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
      MwTriangle triangle;
      for (int c = 0; c < 3; ++c) {
        triangle.vertices[c] = face[corners[c]];
        triangle.s[c] = (corners[c] == 1 || corners[c] == 2) ? 1.0f : 0.0f;
        triangle.t[c] = corners[c] >= 2 ? 0.0f : 1.0f;
      }
      group.triangles.push_back(static_cast<uint16_t>(cube.triangles.size()));
      cube.triangles.push_back(triangle);
    }
  }
  cube.groups.push_back(group);
  MwMaterial material;
  material.name = "wood";
  material.texture = "wood.tga";
  material.alphaMap = "wood_pick.tga";
  cube.materials.push_back(material);
  return cube;
}

class ModelWriterReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    DataFileStart();
    LogStart();
    ImageStart();
    ModelStart();
    ModelDisplayAdd(kDisplay);
  }
  void TearDown() override {
    ModelStop();
    ImageStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  static constexpr int32_t kDisplay = 1;
  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(ModelWriterReaderTest, ATexturedCubeReadsBackThroughTheGamesMilkShapeReader) {
  const MwModel cube = MakeCube();
  const std::string bytes = Ms3d(cube);
  folder_.write("Bin/Cube.ms3d", bytes);
  Model* model = ModelOpenMS3D(kDisplay, "Bin\\Cube.ms3d");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(ModelVertexCount(model), 8);
  for (int32_t i = 0; i < 8; ++i) {
    const auto& p = cube.vertices[i].position;
    EXPECT_EQ(ModelVertexGet(model, i), (ModelVertex{p[0], p[1], p[2]})) << i;
  }
  ASSERT_EQ(ModelTriangleCount(model), 12);
  for (int32_t i = 0; i < 12; ++i) {
    const auto& v = cube.triangles[i].vertices;
    EXPECT_THAT(ModelTriangleGet(model, i).vertices, ElementsAre(v[0], v[1], v[2])) << i;
  }
  ModelClose(model);

  // What that reader skips, at their offsets in the format: texture coordinates
  // (three s, then three t) and the material's texture names.
  const size_t triangles = 14 + 2 + 8 * 15 + 2;
  for (size_t i = 0; i < 12; ++i) {
    for (size_t c = 0; c < 3; ++c) {
      EXPECT_EQ(ReadF32(bytes, triangles + 70 * i + 44 + 4 * c), cube.triangles[i].s[c]);
      EXPECT_EQ(ReadF32(bytes, triangles + 70 * i + 56 + 4 * c), cube.triangles[i].t[c]);
    }
  }
  const size_t groups = triangles + 12 * 70;
  EXPECT_EQ(ReadU16(bytes, groups), 1);
  EXPECT_EQ(bytes.substr(groups + 3, 4), std::string("box\0", 4));
  EXPECT_EQ(ReadU16(bytes, groups + 35), 12);
  EXPECT_EQ(bytes[groups + 37 + 24], 0);  // material index
  const size_t material = groups + 37 + 24 + 1 + 2;
  EXPECT_EQ(ReadU16(bytes, material - 2), 1);
  EXPECT_EQ(bytes.substr(material + 105, 9), std::string("wood.tga\0", 9));
  EXPECT_EQ(bytes.substr(material + 233, 14), std::string("wood_pick.tga\0", 14));
  // The animation block and no joints end the file.
  EXPECT_EQ(bytes.size(), material + 361 + 12 + 2);
}

TEST(ModelWriterTest, JointsAndEveryOptionalSectionFollowTheFileLayout) {
  MwModel model;
  model.vertices.resize(1);
  model.frameRate = 10.0f;
  model.currentTime = 0.5f;
  model.frameCount = 7;
  MwJoint joint;
  joint.flags = 8;
  joint.name = "arm";
  joint.parent = "body";
  joint.rotation = {0.1f, 0.2f, 0.3f};
  joint.position = {1, 2, 3};
  joint.rotationKeys = {{0.0f, {4, 5, 6}}};
  joint.positionKeys = {{1.0f, {7, 8, 9}}, {2.0f, {10, 11, 12}}};
  model.joints = {joint};
  const std::string base = Ms3d(model);
  const Bytes joints = Bytes()
                           .F32(10.0f)
                           .F32(0.5f)
                           .U32(7)
                           .U16(1)
                           .U8(8)
                           .Field("arm", 32)
                           .Field("body", 32)
                           .Floats({0.1f, 0.2f, 0.3f, 1, 2, 3})
                           .U16(1)
                           .U16(2)
                           .Floats({0, 4, 5, 6, 1, 7, 8, 9, 2, 10, 11, 12});
  const size_t jointsAt = 14 + 2 + 15 + 2 + 2 + 2;
  EXPECT_EQ(base.substr(jointsAt), joints.text);

  model.comments = MwComments{{{0, "g"}}, {}, {{3, "joint"}}, {{0, "hello"}}};
  MwVertexExtra extra;
  extra.joints = {0, -1, 2};
  extra.weights = {100, 0, 7};
  extra.extra = 0x01020304;
  extra.extra2 = 0x0A0B0C0D;
  model.vertexExtras = MwVertexExtras{3, {extra}};
  model.jointColors = std::vector<std::array<float, 3>>{{0.25f, 0.5f, 1.0f}};
  model.modelExtras = MwModelExtras{2.0f, 3, 0.75f};
  const Bytes trailing = Bytes()
                             .U32(1)
                             .U32(1)
                             .U32(0)
                             .U32(1)
                             .Text("g")
                             .U32(0)
                             .U32(1)
                             .U32(3)
                             .U32(5)
                             .Text("joint")
                             .U32(1)
                             .U32(0)
                             .U32(5)
                             .Text("hello")
                             .U32(3)
                             .U8(0)
                             .U8(0xFF)
                             .U8(2)
                             .U8(100)
                             .U8(0)
                             .U8(7)
                             .U32(0x01020304)
                             .U32(0x0A0B0C0D)
                             .U32(1)
                             .Floats({0.25f, 0.5f, 1.0f})
                             .U32(1)
                             .F32(2.0f)
                             .U32(3)
                             .F32(0.75f);
  EXPECT_EQ(Ms3d(model), base + trailing.text);

  // Each lower vertex-extra sub-version drops its last word.
  for (uint32_t subVersion : {1u, 2u}) {
    model.vertexExtras->subVersion = subVersion;
    EXPECT_EQ(Ms3d(model).size(), base.size() + trailing.text.size() - 4 * (3 - subVersion));
  }
  // Sections end where the first absent one is; a later one alone is refused.
  model.jointColors.reset();
  std::string bytes;
  std::string error;
  EXPECT_FALSE(MwMs3dBytes(model, bytes, error));
  EXPECT_THAT(error, HasSubstr("missing before"));
  model.modelExtras.reset();
  EXPECT_EQ(Ms3d(model).size(), base.size() + trailing.text.size() - 4 - 4 * 4 - 4 * 4);
  model.vertexExtras->subVersion = 4;
  EXPECT_FALSE(MwMs3dBytes(model, bytes, error));
  model.vertexExtras->subVersion = 1;
  model.vertexExtras->items.clear();
  EXPECT_FALSE(MwMs3dBytes(model, bytes, error));
  EXPECT_THAT(error, HasSubstr("one per vertex"));
}

TEST(ModelWriterTest, AnimationsAndProjectsFollowTheirLayouts) {
  MwAnimation animation;
  animation.frameRate = 30.0f;
  animation.currentTime = 0.0f;
  animation.frameCount = 12;
  animation.joints = {{"Arm", {{0.5f, {1, 2, 3}}}, {}}, {"leg", {}, {{1.0f, {4, 5, 6}}}}};
  std::string bytes;
  std::string error;
  ASSERT_TRUE(MwAnimationBytes(animation, bytes, error)) << error;
  const Bytes expected = Bytes()
                             .Text("MAN")
                             .U8(1)
                             .Floats({30.0f, 0.0f})
                             .U32(12)
                             .Field("Arm", 32)
                             .U16(1)
                             .U16(0)
                             .Floats({0.5f, 1, 2, 3})
                             .Field("leg", 32)
                             .U16(0)
                             .U16(1)
                             .Floats({1.0f, 4, 5, 6});
  EXPECT_EQ(bytes, expected.text);
  animation.joints[1].name = std::string(32, 'x');
  EXPECT_FALSE(MwAnimationBytes(animation, bytes, error));
  EXPECT_THAT(error, HasSubstr("animation joint 2 name"));

  MwProject project{"Mesh\\neutral.ms3d", {{"walk", "walk.man"}, {"Run", "run.man"}}};
  std::string text;
  ASSERT_TRUE(MwProjectText(project, text, error)) << error;
  EXPECT_EQ(text, "1.0\nNEUTRAL=Mesh\\neutral.ms3d\nwalk=walk.man\nRun=run.man\n");
  for (const auto& [key, file] : std::vector<std::pair<std::string, std::string>>{
           {"neutral", "x.man"}, {"a=b", "x.man"}, {"", "x.man"}, {"walk", "x\n.man"}}) {
    MwProject bad = project;
    bad.animations.emplace_back(key, file);
    EXPECT_FALSE(MwProjectText(bad, text, error)) << key;
  }
  EXPECT_FALSE(MwProjectText(MwProject{}, text, error));
}

// A piece mesh as the piece reader walks it: by the format's offsets only.
struct ReadPiece {
  std::string name;
  int32_t type = 0;
  std::vector<MwPieceVertex> vertices;
  std::vector<std::array<uint16_t, 3>> triangles;
};

std::vector<ReadPiece> WalkPieces(const std::string& bytes) {
  const size_t length = ReadU16(bytes, 84);
  const uint32_t count = ReadU32(bytes, 94 + length);
  size_t at = 98 + length;
  std::vector<ReadPiece> pieces;
  for (uint32_t i = 0; i < count; ++i) {
    ReadPiece piece;
    const size_t nameLength = ReadU16(bytes, at);
    piece.name = bytes.substr(at + 2, nameLength);
    const size_t p = at + 2 + nameLength;
    const uint16_t vertices = ReadU16(bytes, p + 49);
    const uint16_t triangles = ReadU16(bytes, p + 53);
    piece.type = ReadU16(bytes, p + 57) == 3 ? 5 : ReadU16(bytes, p + 61);
    const bool shifted = bytes.at(p + 83) == 0 && bytes.at(p + 84) == 0 && bytes.at(p + 85) != 0 &&
                         bytes.at(p + 86) != 0;
    at = p + (shifted ? 85 : 83);
    const size_t skipBeforeNormal = piece.type == 3 || piece.type == 4 ? 12 : 0;
    const size_t skipAfterNormal = piece.type == 2 ? 4 : piece.type == 5 ? 8 : 0;
    for (uint16_t v = 0; v < vertices; ++v) {
      MwPieceVertex vertex;
      for (size_t k = 0; k < 3; ++k, at += 4) {
        vertex.position[k] = ReadF32(bytes, at);
      }
      at += skipBeforeNormal;
      for (size_t k = 0; k < 3; ++k, at += 4) {
        vertex.normal[k] = ReadF32(bytes, at);
      }
      at += skipAfterNormal;
      for (size_t k = 0; k < 2; ++k, at += 4) {
        vertex.st[k] = ReadF32(bytes, at);
      }
      piece.vertices.push_back(vertex);
    }
    for (uint16_t t = 0; t < triangles; ++t, at += 6) {
      piece.triangles.push_back(
          {ReadU16(bytes, at), ReadU16(bytes, at + 2), ReadU16(bytes, at + 4)});
    }
    if (piece.type == 1) {
      at += 2;
    } else {
      at += 4 + 12 * ReadU32(bytes, at);
      at += 1 + static_cast<uint8_t>(bytes.at(at));
    }
    pieces.push_back(piece);
  }
  EXPECT_EQ(at, bytes.size());
  return pieces;
}

// The corners of each triangle, so meshes compare whatever their vertex order.
std::vector<std::array<float, 24>> Corners(const std::vector<MwPieceVertex>& vertices,
                                           const std::vector<std::array<uint16_t, 3>>& triangles) {
  std::vector<std::array<float, 24>> corners;
  for (const auto& triangle : triangles) {
    std::array<float, 24> values{};
    size_t k = 0;
    for (uint16_t index : triangle) {
      const MwPieceVertex& vertex = vertices.at(index);
      for (float value : vertex.position)
        values[k++] = value;
      for (float value : vertex.normal)
        values[k++] = value;
      for (float value : vertex.st)
        values[k++] = value;
    }
    corners.push_back(values);
  }
  return corners;
}

TEST(ModelWriterTest, PieceFilesInEveryLayoutWalkBackByTheirOffsets) {
  MwPieceFile file;
  file.header = "made by the writer";
  for (int32_t type = 1; type <= 5; ++type) {
    MwPiece piece;
    piece.name = "piece" + std::to_string(type);
    piece.type = type;
    // The first vertex's x (1.0) starts with the shift marker's bytes, the
    // second's (0.3) does not.
    piece.vertices = {{{1.0f, 2.0f, 3.0f}, {0, 0, 1}, {0.25f, 0.75f}},
                      {{0.3f, -1.0f, 0.5f}, {0, 1, 0}, {1.0f, 0.0f}},
                      {{-2.0f, 0.0f, 4.0f}, {1, 0, 0}, {0.5f, 0.5f}}};
    piece.triangles = {{0, 1, 2}, {2, 1, 0}};
    file.pieces.push_back(piece);
  }
  std::string bytes;
  std::string error;
  ASSERT_TRUE(MwPieceBytes(file, bytes, error)) << error;
  EXPECT_EQ(bytes.substr(86, 18), file.header);
  const std::vector<ReadPiece> read = WalkPieces(bytes);
  ASSERT_EQ(read.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(read[i].name, file.pieces[i].name);
    EXPECT_EQ(read[i].type, file.pieces[i].type);
    EXPECT_EQ(Corners(read[i].vertices, read[i].triangles),
              Corners(file.pieces[i].vertices, file.pieces[i].triangles))
        << "type " << i + 1;
  }

  // A piece whose every vertex starts like the marker cannot be written.
  file.pieces[2].vertices[1].position[0] = 3.0f;
  file.pieces[2].vertices[2].position[0] = -1.0f;
  EXPECT_FALSE(MwPieceBytes(file, bytes, error));
  EXPECT_THAT(error, HasSubstr("piece 3"));
  file.pieces[2].vertices[2].position[0] = 0.0f;
  ASSERT_TRUE(MwPieceBytes(file, bytes, error)) << error;
  EXPECT_EQ(WalkPieces(bytes)[2].vertices[0].position[0], 0.0f);
}

TEST(ModelWriterTest, WhatAFileCannotHoldIsRefusedAtItsLimit) {
  std::string bytes;
  std::string error;
  const auto refused = [&](const MwModel& model, const std::string& message) {
    EXPECT_FALSE(MwMs3dBytes(model, bytes, error)) << message;
    EXPECT_THAT(error, HasSubstr(message));
  };
  MwModel model;
  model.vertices.resize(65535);
  model.triangles.resize(65535);
  model.materials.resize(255);
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  model.vertices.resize(65536);
  refused(model, "65536 vertices: at most 65535 fit");
  model.vertices.resize(1);
  model.triangles.resize(65536);
  refused(model, "65536 triangles");
  model.triangles.resize(1);
  model.materials.resize(256);
  refused(model, "256 materials: at most 255 fit");

  model = MakeCube();
  model.groups[0].name = std::string(31, 'g');
  model.materials[0].texture = std::string(127, 't');
  model.joints.push_back({});
  model.joints[0].parent = std::string(31, 'p');
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  MwModel bad = model;
  bad.groups[0].name += 'g';
  refused(bad, "group 1 name");
  bad = model;
  bad.materials[0].texture += 't';
  refused(bad, "material 1 texture");
  bad = model;
  bad.materials[0].name = std::string("a\0b", 3);
  refused(bad, "zero byte");
  bad = model;
  bad.joints[0].parent += 'p';
  refused(bad, "joint 1 parent");
  bad = model;
  bad.joints[0].rotationKeys.resize(65536);
  refused(bad, "joint 1 rotation keys");

  MwPieceFile pieces;
  pieces.pieces.resize(2);
  pieces.pieces[0].name = std::string(32, 'n');
  pieces.pieces[0].vertices.resize(40000);
  pieces.pieces[1].vertices.resize(25535);
  EXPECT_TRUE(MwPieceBytes(pieces, bytes, error)) << error;
  pieces.pieces[1].vertices.resize(25536);
  EXPECT_FALSE(MwPieceBytes(pieces, bytes, error));
  EXPECT_THAT(error, HasSubstr("65536 vertices"));
  pieces.pieces[1].vertices.resize(1);
  pieces.pieces[0].name += 'n';
  EXPECT_FALSE(MwPieceBytes(pieces, bytes, error));
  EXPECT_THAT(error, HasSubstr("piece 1 name"));
  pieces.pieces[0].name.pop_back();
  pieces.pieces[1].type = 6;
  EXPECT_FALSE(MwPieceBytes(pieces, bytes, error));
  EXPECT_THAT(error, HasSubstr("piece 2 type 6"));
  pieces.pieces[1].type = 1;
  pieces.pieces[1].vertices.clear();
  EXPECT_FALSE(MwPieceBytes(pieces, bytes, error));
  EXPECT_THAT(error, HasSubstr("no vertices"));
}

}  // namespace
