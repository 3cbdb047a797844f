// Builds 3D model files in memory and writes their bytes: MilkShape 3D meshes
// (version 4, with joints and the optional trailing sections), "MAN" joint
// animations, ".mpj" projects naming a neutral mesh and its animations, and
// ".ltb" piece files in any of their five vertex layouts. Used by the model
// tools and by the tests that need model files.
//
// The records mirror the file fields; all integers are written little-endian.
// The writers refuse what a file cannot hold: a name longer than its field
// (one byte of every name field is kept for the terminating zero), more than
// 65,535 vertices, triangles, joints, key frames or group triangles, more than
// 255 materials (255 is "no material"). Indices are written as given, so a
// test can make a file whose indices name nothing.
//
// MilkShape layout: "MS3D000000", version 4; vertex count and 15-byte vertices;
// triangle count and 70-byte triangles (flags, three vertex indices, three
// normals, three s then three t values, smoothing group, group index); group
// count and per group flags, 32-byte name, triangle count, triangle indices,
// material index; material count and 361-byte materials; frame rate, current
// time, frame count; joint count and per joint 89 bytes (flags, name, parent
// name, rotation, position), the two key-frame counts and the 16-byte keys.
// Then, while present: the comments (sub-version 1, four lists), the vertex
// extras (sub-version 1 to 3: 6, 10 or 14 bytes per vertex), the joint
// extras (sub-version 1, 12 bytes per joint) and the model extras
// (sub-version 1, 12 bytes). A section is only written after all the
// sections before it, because readers stop at the end of the file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// --- MilkShape meshes ------------------------------------------------------------------------
constexpr uint8_t kMwNone = 255;  // joint or material index naming nothing

struct MwVertex {
  uint8_t flags = 0;
  std::array<float, 3> position{};
  uint8_t joint = kMwNone;
  uint8_t references = 0;
};

struct MwTriangle {
  uint16_t flags = 0;
  std::array<uint16_t, 3> vertices{};
  std::array<std::array<float, 3>, 3> normals{};  // one per corner
  std::array<float, 3> s{};
  std::array<float, 3> t{};
  uint8_t smoothingGroup = 1;
  uint8_t group = 0;
};

struct MwGroup {
  uint8_t flags = 0;
  std::string name;  // at most 31 characters
  std::vector<uint16_t> triangles;
  uint8_t material = kMwNone;
};

struct MwMaterial {
  std::string name;  // at most 31 characters
  std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1.0f};
  std::array<float, 4> diffuse{0.8f, 0.8f, 0.8f, 1.0f};
  std::array<float, 4> specular{0.0f, 0.0f, 0.0f, 1.0f};
  std::array<float, 4> emissive{0.0f, 0.0f, 0.0f, 1.0f};
  float shininess = 0.0f;
  float transparency = 1.0f;
  uint8_t mode = 0;
  std::string texture;   // at most 127 characters
  std::string alphaMap;  // the second texture; at most 127 characters
};

// A key frame: its time and a rotation (radians) or a position.
struct MwKey {
  float time = 0.0f;
  std::array<float, 3> value{};
};

struct MwJoint {
  uint8_t flags = 0;
  std::string name;    // at most 31 characters
  std::string parent;  // the parent joint's name; empty for a root
  std::array<float, 3> rotation{};
  std::array<float, 3> position{};
  std::vector<MwKey> rotationKeys;
  std::vector<MwKey> positionKeys;
};

struct MwComment {
  int32_t index = 0;  // the group, material or joint commented (ignored for the model)
  std::string text;
};

// The four comment lists, in file order.
struct MwComments {
  std::vector<MwComment> groups;
  std::vector<MwComment> materials;
  std::vector<MwComment> joints;
  std::vector<MwComment> model;
};

// Per vertex: three joint ids, three weights, and two more words from
// sub-versions 2 and 3.
struct MwVertexExtra {
  std::array<int8_t, 3> joints{-1, -1, -1};
  std::array<uint8_t, 3> weights{};
  uint32_t extra = 0;   // sub-version 2 and 3
  uint32_t extra2 = 0;  // sub-version 3
};

struct MwVertexExtras {
  uint32_t subVersion = 2;           // 1 to 3
  std::vector<MwVertexExtra> items;  // one per vertex
};

struct MwModelExtras {
  float jointSize = 1.0f;
  int32_t transparencyMode = 0;
  float alphaRef = 0.0f;
};

struct MwModel {
  std::vector<MwVertex> vertices;
  std::vector<MwTriangle> triangles;
  std::vector<MwGroup> groups;
  std::vector<MwMaterial> materials;
  float frameRate = 24.0f;
  float currentTime = 0.0f;
  int32_t frameCount = 30;
  std::vector<MwJoint> joints;
  // The optional trailing sections, written in this order while present.
  std::optional<MwComments> comments;
  std::optional<MwVertexExtras> vertexExtras;
  std::optional<std::vector<std::array<float, 3>>> jointColors;  // one per joint
  std::optional<MwModelExtras> modelExtras;
};

// The ".ms3d" file's bytes; false with a message naming the item that does not fit.
bool MwMs3dBytes(const MwModel& model, std::string& bytes, std::string& error);

// --- Animations and projects ----------------------------------------------------------------
struct MwAnimationJoint {
  std::string name;  // matched with the mesh's joint names; at most 31 characters
  std::vector<MwKey> rotationKeys;
  std::vector<MwKey> positionKeys;
};

struct MwAnimation {
  float frameRate = 24.0f;
  float currentTime = 0.0f;
  int32_t frameCount = 30;
  std::vector<MwAnimationJoint> joints;
};

// The "MAN" file's bytes (version 1); false with a message as above.
bool MwAnimationBytes(const MwAnimation& animation, std::string& bytes, std::string& error);

struct MwProject {
  std::string neutral;  // the mesh file, relative to the project's folder
  std::vector<std::pair<std::string, std::string>> animations;  // key, file
};

// The ".mpj" text: "1.0", then "NEUTRAL=file" and one "KEY=file" line per
// animation. False for an empty neutral file, an empty key, the key NEUTRAL,
// or a key or file name the line form cannot hold ("=" in a key, line breaks).
bool MwProjectText(const MwProject& project, std::string& text, std::string& error);

// --- Piece files ----------------------------------------------------------------------------
struct MwPieceVertex {
  std::array<float, 3> position{};
  std::array<float, 3> normal{};
  std::array<float, 2> st{};
};

struct MwPiece {
  std::string name;  // at most 32 characters
  int32_t type = 1;  // the vertex layout, 1 to 5
  std::vector<MwPieceVertex> vertices;
  std::vector<std::array<uint16_t, 3>> triangles;  // indices into this piece's vertices
};

struct MwPieceFile {
  std::string header = "piece file";  // the text stored at byte 84
  std::vector<MwPiece> pieces;
};

// The ".ltb" file's bytes. Readers take a piece's first four vertex bytes for
// a marker that shifts the vertex data when they are two zero bytes and two
// non-zero ones (x = 1.0 is such a float), so when the first vertex looks like
// that, the first vertex that does not is swapped to the front (and the
// triangles' indices with it). False when no vertex of a piece can stand first, for a piece without
// vertices, a type outside 1-5, or more than 65,535 vertices or triangles in all.
bool MwPieceBytes(const MwPieceFile& file, std::string& bytes, std::string& error);
