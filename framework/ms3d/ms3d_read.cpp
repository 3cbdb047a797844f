// The MilkShape 3D reader (version 4 with its optional trailing sections),
// and the byte helpers every model reader shares.
//
// The whole file is read into memory once and parsed from there: counts are
// checked against the bytes that remain before anything is reserved, and
// indices are checked against what they name, because drawing follows them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d_internal.h"

namespace {

constexpr char kMagic[] = "MS3D000000";
constexpr size_t kMagicSize = 10;
constexpr int32_t kVersion = 4;
constexpr size_t kHeaderSize = 14;
constexpr size_t kVertexSize = 15;
constexpr size_t kTriangleSize = 70;
constexpr size_t kGroupHeadSize = 35;  // flags, name, triangle count
constexpr size_t kMaterialSize = 361;
constexpr size_t kAnimationSize = 12;  // frame rate, current time, frame count
constexpr size_t kJointSize = 89;      // flags, name, parent name, rotation, position
constexpr size_t kKeySize = 16;
constexpr size_t kNameSize = 32;
constexpr size_t kFileNameSize = 128;
constexpr size_t kCommentHeadSize = 8;  // index, length
constexpr size_t kJointExtraSize = 12;
constexpr size_t kModelExtraSize = 12;
constexpr int32_t kMaxVertexExtraVersion = 3;

using Failure = std::string;  // empty: the part was read

Ms3dVector Vector(const uint8_t* bytes, bool finiteOnly) {
  Ms3dVector vector{};
  for (size_t i = 0; i < 3; ++i) {
    const float value = Ms3dF32(bytes + 4 * i);
    vector[i] = finiteOnly ? Ms3dFinite(value) : value;
  }
  return vector;
}

bool Finite(const Ms3dVector& vector) {
  return std::isfinite(vector[0]) && std::isfinite(vector[1]) && std::isfinite(vector[2]);
}

Failure ReadHeader(Ms3dCursor& in, Ms3dMesh&) {
  const uint8_t* header = in.Take(kHeaderSize);
  if (header == nullptr) {
    return "Unable to read file header.";
  }
  if (std::memcmp(header, kMagic, kMagicSize) != 0) {
    return "Invalid file header.";
  }
  int32_t version = 0;
  std::memcpy(&version, header + kMagicSize, 4);
  if (version != kVersion) {
    return "Unsupported file version " + std::to_string(version) + ".";
  }
  return {};
}

// Empty when `count` items of at least `size` bytes each can still follow;
// else the message naming the first item that cannot.
Failure Fits(const Ms3dCursor& in, size_t count, size_t size, const std::string& item) {
  return in.Holds(count, size)
             ? Failure{}
             : Ms3dNumbered("Unable to read " + item + " ", in.Remaining() / size, " data.");
}

Failure ReadVertices(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t count = 0;
  if (!in.U16(count)) {
    return "Unable to read vertex count.";
  }
  if (Failure failure = Fits(in, count, kVertexSize, "vertex"); !failure.empty()) {
    return failure;
  }
  mesh.vertices.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* bytes = in.Take(kVertexSize);
    Ms3dVertex& vertex = mesh.vertices.emplace_back();
    vertex.flags = bytes[0];
    vertex.position = Vector(bytes + 1, false);
    if (!Finite(vertex.position)) {
      return Ms3dNumbered("Vertex ", i, " has a position that is not a number.");
    }
    vertex.joint = bytes[13];
    vertex.references = bytes[14];
  }
  return {};
}

Failure ReadTriangles(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t count = 0;
  if (!in.U16(count)) {
    return "Unable to read face count.";
  }
  if (Failure failure = Fits(in, count, kTriangleSize, "face"); !failure.empty()) {
    return failure;
  }
  mesh.triangles.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* bytes = in.Take(kTriangleSize);
    Ms3dTriangle& triangle = mesh.triangles.emplace_back();
    std::memcpy(&triangle.flags, bytes, 2);
    std::memcpy(triangle.vertices.data(), bytes + 2, sizeof triangle.vertices);
    if (std::max({triangle.vertices[0], triangle.vertices[1], triangle.vertices[2]}) >=
        mesh.vertices.size()) {
      return Ms3dNumbered("Face ", i, " names a vertex that is not in the file.");
    }
    static_assert(sizeof triangle.normals == 36, "the normals are nine floats in a row");
    std::memcpy(triangle.normals.data(), bytes + 8, sizeof triangle.normals);
    for (size_t corner = 0; corner < 3; ++corner) {
      for (float& value : triangle.normals[corner]) {
        value = Ms3dFinite(value);
      }
      triangle.st[corner] = {Ms3dFinite(Ms3dF32(bytes + 44 + 4 * corner)),
                             Ms3dFinite(Ms3dF32(bytes + 56 + 4 * corner))};
    }
    triangle.smoothingGroup = bytes[68];
    triangle.group = bytes[69];
  }
  return {};
}

Failure ReadGroups(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t count = 0;
  if (!in.U16(count)) {
    return "Unable to read mesh count.";
  }
  if (Failure failure = Fits(in, count, kGroupHeadSize + 1, "mesh"); !failure.empty()) {
    return failure;
  }
  mesh.groups.resize(count);
  for (size_t i = 0; i < count; ++i) {
    Ms3dGroup& group = mesh.groups[i];
    const uint8_t* head = in.Take(kGroupHeadSize - 2);
    uint16_t triangles = 0;
    if (head == nullptr || !in.U16(triangles)) {
      return Ms3dNumbered("Unable to read mesh ", i, " data.");
    }
    if (!in.Holds(triangles, 2)) {
      return Ms3dNumbered("Unable to read mesh ", i,
                          Ms3dNumbered(" vertex ", in.Remaining() / 2, " data."));
    }
    group.flags = head[0];
    group.name = Ms3dText(head + 1, kNameSize);
    group.triangles.resize(triangles);
    for (size_t j = 0; j < triangles; ++j) {
      group.triangles[j] = Ms3dU16(in.Take(2));
      if (group.triangles[j] >= mesh.triangles.size()) {
        return Ms3dNumbered("Mesh ", i, " names a face that is not in the file.");
      }
    }
    if (!in.U8(group.material)) {
      return Ms3dNumbered("Unable to read material for mesh ", i, ".");
    }
  }
  return {};
}

Failure ReadMaterials(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t count = 0;
  if (!in.U16(count)) {
    return "Unable to read material count.";
  }
  if (Failure failure = Fits(in, count, kMaterialSize, "material"); !failure.empty()) {
    return failure;
  }
  mesh.materials.resize(count);
  for (Ms3dMaterial& material : mesh.materials) {
    const uint8_t* bytes = in.Take(kMaterialSize);
    material.name = Ms3dText(bytes, kNameSize);
    std::array<std::array<float, 4>*, 4> colours = {&material.ambient, &material.diffuse,
                                                    &material.specular, &material.emissive};
    for (size_t colour = 0; colour < colours.size(); ++colour) {
      for (size_t i = 0; i < 4; ++i) {
        (*colours[colour])[i] = Ms3dFinite(Ms3dF32(bytes + kNameSize + 16 * colour + 4 * i));
      }
    }
    material.shininess = Ms3dFinite(Ms3dF32(bytes + 96));
    material.transparency = Ms3dFinite(Ms3dF32(bytes + 100));
    material.mode = bytes[104];
    material.texture = Ms3dText(bytes + 105, kFileNameSize);
    material.alphaMap = Ms3dText(bytes + 105 + kFileNameSize, kFileNameSize);
  }
  return {};
}

Failure ReadAnimation(Ms3dCursor& in, Ms3dMesh& mesh) {
  const uint8_t* bytes = in.Take(kAnimationSize);
  if (bytes == nullptr) {
    return "Unable to read the animation settings.";
  }
  mesh.frameRate = Ms3dFinite(Ms3dF32(bytes));
  mesh.currentTime = Ms3dFinite(Ms3dF32(bytes + 4));
  std::memcpy(&mesh.frameCount, bytes + 8, 4);
  return {};
}

Failure ReadJoints(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t count = 0;
  if (!in.U16(count)) {
    return "Unable to read joint count.";
  }
  if (Failure failure = Fits(in, count, kJointSize + 4, "joint"); !failure.empty()) {
    return failure;
  }
  mesh.joints.resize(count);
  for (size_t i = 0; i < count; ++i) {
    Ms3dJoint& joint = mesh.joints[i];
    const uint8_t* bytes = in.Take(kJointSize);
    uint16_t rotations = 0;
    uint16_t positions = 0;
    if (bytes == nullptr || !in.U16(rotations) || !in.U16(positions)) {
      return Ms3dNumbered("Unable to read joint ", i, " data.");
    }
    joint.flags = bytes[0];
    joint.name = Ms3dText(bytes + 1, kNameSize);
    joint.parentName = Ms3dText(bytes + 1 + kNameSize, kNameSize);
    joint.rotation = Vector(bytes + 65, true);
    joint.position = Vector(bytes + 77, true);
    if (!Ms3dReadKeys(in, rotations, joint.keys.rotation) ||
        !Ms3dReadKeys(in, positions, joint.keys.position)) {
      return Ms3dNumbered("Unable to read joint ", i, " key frames.");
    }
  }
  return {};
}

// One comment list: a 32-bit count, then per comment an index, a length and
// that many characters.
bool ReadComments(Ms3dCursor& in, std::vector<Ms3dComment>& comments) {
  int32_t count = 0;
  if (!in.I32(count) || count < 0 || !in.Holds(static_cast<size_t>(count), kCommentHeadSize)) {
    return false;
  }
  comments.resize(static_cast<size_t>(count));
  for (Ms3dComment& comment : comments) {
    int32_t length = 0;
    if (!in.I32(comment.index) || !in.I32(length) || length < 0) {
      return false;
    }
    const uint8_t* text = in.Take(static_cast<size_t>(length));
    if (text == nullptr) {
      return false;
    }
    comment.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
  }
  return true;
}

// Reads a section's 32-bit sub-version and checks it is `expected`.
Failure ReadSubVersion(Ms3dCursor& in, const std::string& section, int32_t expected) {
  int32_t subVersion = 0;
  if (!in.I32(subVersion)) {
    return "Unable to read the " + section + " sub-version.";
  }
  if (subVersion != expected) {
    return "Unsupported " + section + " sub-version " + std::to_string(subVersion) + ".";
  }
  return {};
}

// `count` items of `size` bytes kept as read.
bool ReadBlock(Ms3dCursor& in, size_t count, size_t size, std::vector<uint8_t>& block) {
  const uint8_t* bytes = in.Holds(count, size) ? in.Take(count * size) : nullptr;
  if (bytes != nullptr) {
    block.assign(bytes, bytes + count * size);
  }
  return bytes != nullptr;
}

Failure ReadCommentSection(Ms3dCursor& in, Ms3dMesh& mesh) {
  if (Failure failure = ReadSubVersion(in, "comment", 1); !failure.empty()) {
    return failure;
  }
  for (std::vector<Ms3dComment>& comments : mesh.extras.comments) {
    if (!ReadComments(in, comments)) {
      return "Unable to read the comments.";
    }
  }
  mesh.extras.hasComments = true;
  return {};
}

Failure ReadVertexExtras(Ms3dCursor& in, Ms3dMesh& mesh) {
  int32_t subVersion = 0;
  if (!in.I32(subVersion)) {
    return "Unable to read the vertex extra sub-version.";
  }
  if (subVersion > kMaxVertexExtraVersion) {
    return "Unsupported vertex extra sub-version " + std::to_string(subVersion) + ".";
  }
  const size_t size =
      (subVersion >= 1 ? 6 : 0) + (subVersion >= 2 ? 4 : 0) + (subVersion >= 3 ? 4 : 0);
  if (size > 0 && !ReadBlock(in, mesh.vertices.size(), size, mesh.extras.vertexExtras)) {
    return "Unable to read the vertex extras.";
  }
  mesh.extras.vertexExtraVersion = subVersion;
  return {};
}

Failure ReadJointExtras(Ms3dCursor& in, Ms3dMesh& mesh) {
  if (Failure failure = ReadSubVersion(in, "joint extra", 1); !failure.empty()) {
    return failure;
  }
  if (!ReadBlock(in, mesh.joints.size(), kJointExtraSize, mesh.extras.jointExtras)) {
    return "Unable to read the joint extras.";
  }
  mesh.extras.hasJointExtras = true;
  return {};
}

Failure ReadModelExtras(Ms3dCursor& in, Ms3dMesh& mesh) {
  if (Failure failure = ReadSubVersion(in, "model extra", 1); !failure.empty()) {
    return failure;
  }
  if (!ReadBlock(in, 1, kModelExtraSize, mesh.extras.modelExtras)) {
    return "Unable to read the model extras.";
  }
  mesh.extras.hasModelExtras = true;
  return {};
}

Failure ReadMesh(Ms3dCursor& in, Ms3dMesh& mesh) {
  using Part = Failure (*)(Ms3dCursor&, Ms3dMesh&);
  static constexpr Part kParts[] = {ReadHeader,    ReadVertices,  ReadTriangles, ReadGroups,
                                    ReadMaterials, ReadAnimation, ReadJoints};
  // Each optional section is read only while the file goes on.
  static constexpr Part kOptionalParts[] = {ReadCommentSection, ReadVertexExtras, ReadJointExtras,
                                            ReadModelExtras};
  for (Part part : kParts) {
    if (Failure failure = part(in, mesh); !failure.empty()) {
      return failure;
    }
  }
  for (Part part : kOptionalParts) {
    if (in.AtEnd()) {
      break;
    }
    if (Failure failure = part(in, mesh); !failure.empty()) {
      return failure;
    }
  }
  return {};
}

// Joint and material indices naming nothing count as none.
void DropDanglingIndices(Ms3dMesh& mesh) {
  for (Ms3dVertex& vertex : mesh.vertices) {
    if (vertex.joint >= mesh.joints.size()) {
      vertex.joint = kMs3dNone;
    }
  }
  for (Ms3dGroup& group : mesh.groups) {
    if (group.material >= mesh.materials.size()) {
      group.material = kMs3dNone;
    }
  }
}

// One reference on the display's texture of that name, or none.
ModelTexture* Texture(int32_t display, const std::string& folder, const std::string& name,
                      bool linear) {
  if (name.empty()) {
    return nullptr;
  }
  ModelTexture* texture = ModelTextureGet(display, folder + name, false, false, linear);
  ModelTextureAddRef(texture);
  return texture;
}

}  // namespace

uint16_t Ms3dU16(const uint8_t* bytes) {
  uint16_t value = 0;
  std::memcpy(&value, bytes, 2);
  return value;
}

float Ms3dF32(const uint8_t* bytes) {
  float value = 0.0f;
  std::memcpy(&value, bytes, 4);
  return value;
}

std::string Ms3dText(const uint8_t* field, size_t size) {
  const auto* text = reinterpret_cast<const char*>(field);
  return std::string(text, strnlen(text, size));
}

float Ms3dFinite(float value) {
  return std::isfinite(value) ? value : 0.0f;
}

std::string Ms3dNumbered(const std::string& head, size_t index, const std::string& tail) {
  return head + std::to_string(index + 1) + tail;
}

void Ms3dLogFailure(const std::string& fileName, const std::string& message) {
  LogError("TMS3D::LoadFromFile - \"" + fileName + "\": " + message);
}

bool Ms3dLoadBytes(const std::string& fileName, Ms3dFileBytes& bytes) {
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    Ms3dLogFailure(fileName, "Unable to open file.");
    return false;
  }
  const int32_t size = std::max(DataFileSize(file), 0);
  bytes.size = static_cast<size_t>(size);
  bytes.data = std::make_unique_for_overwrite<uint8_t[]>(bytes.size);
  const bool read = DataFileReadExact(file, bytes.data.get(), size);
  DataFileClose(file);
  if (!read) {
    Ms3dLogFailure(fileName, "Unable to read file.");
  }
  return read;
}

bool Ms3dReadKeys(Ms3dCursor& in, uint16_t count, std::vector<Ms3dKey>& keys) {
  if (!in.Holds(count, kKeySize)) {
    return false;
  }
  keys.resize(count);
  for (Ms3dKey& key : keys) {
    const uint8_t* bytes = in.Take(kKeySize);
    key.time = Ms3dFinite(Ms3dF32(bytes));
    key.value = Vector(bytes + 4, true);
  }
  return true;
}

bool Ms3dReadMilkShape(int32_t display, const std::string& fileName, Ms3dMesh& mesh) {
  mesh.animations.clear();
  Ms3dFileBytes bytes;
  if (!Ms3dLoadBytes(fileName, bytes)) {
    return false;
  }
  Ms3dCursor in(bytes);
  if (Failure failure = ReadMesh(in, mesh); !failure.empty()) {
    Ms3dLogFailure(fileName, failure);
    return false;
  }
  DropDanglingIndices(mesh);
  const std::string folder = Ms3dFolder(fileName);
  for (Ms3dMaterial& material : mesh.materials) {
    material.image = Texture(display, folder, material.texture, true);
    // Picking reads the exact colour of a part, so its texture never blends two.
    material.pickImage = Texture(display, folder, material.alphaMap, false);
  }
  Ms3dNeutralPose(mesh);
  return true;
}
