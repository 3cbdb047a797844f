// Piece files (".ltb"): a header text, then pieces, each a named list of
// vertices in one of five layouts and its triangles. Every piece becomes a
// group without a material; piece files have no materials and no joints.
#include <algorithm>
#include <cmath>

#include "framework/ms3d/ms3d_internal.h"

namespace {

constexpr size_t kHeaderTextAt = 84;    // 16-bit length, then the text
constexpr size_t kPieceCountAfter = 8;  // bytes from the text's end to the piece count
constexpr size_t kVertexCountAt = 49;   // these offsets count from the end of the name
constexpr size_t kTriangleCountAt = 53;
constexpr size_t kTypeAt = 57;
constexpr size_t kLongTypeAt = 61;
constexpr size_t kDataAt = 83;
constexpr size_t kShiftedDataAt = 85;
constexpr uint16_t kShortTypeFive = 3;  // the value at kTypeAt that means type 5
constexpr size_t kMaxIndex = 65535;
constexpr size_t kNameSize = 32;

// Where each vertex layout keeps its fields.
struct Layout {
  size_t size;
  size_t normalAt;
  size_t stAt;
};
constexpr Layout kLayouts[] = {
    {32, 12, 24},  // 1: position, normal, (s, t)
    {36, 12, 28},  // 2: position, normal, 4 bytes, (s, t)
    {44, 24, 36},  // 3: position, 12 bytes, normal, (s, t)
    {44, 24, 36},  // 4: as 3
    {40, 12, 32},  // 5: position, normal, 8 bytes, (s, t)
};

using Failure = std::string;  // empty: the piece was read; else what could not be read

// The piece's vertex type, 0 when its field cannot be read.
uint16_t PieceType(const uint8_t* piece) {
  const uint16_t shortType = Ms3dU16(piece + kTypeAt);
  return shortType == kShortTypeFive ? 5 : Ms3dU16(piece + kLongTypeAt);
}

// The fields after the triangles, skipped.
bool SkipTail(Ms3dCursor& in, uint16_t type) {
  if (type == 1) {
    return in.Take(2) != nullptr;
  }
  int32_t count = 0;
  uint8_t bytes = 0;
  return in.I32(count) && count >= 0 && in.Holds(static_cast<size_t>(count), 12) &&
         in.Take(static_cast<size_t>(count) * 12) != nullptr && in.U8(bytes) &&
         in.Take(bytes) != nullptr;
}

Failure ReadVertices(Ms3dCursor& in, const Layout& layout, uint16_t count, Ms3dMesh& mesh) {
  if (!in.Holds(count, layout.size)) {
    return "vertices";
  }
  const size_t first = mesh.vertices.size();
  mesh.vertices.resize(first + count);
  for (size_t i = first; i < mesh.vertices.size(); ++i) {
    const uint8_t* bytes = in.Take(layout.size);
    Ms3dVertex& vertex = mesh.vertices[i];
    for (size_t axis = 0; axis < 3; ++axis) {
      vertex.position[axis] = Ms3dF32(bytes + 4 * axis);
      if (!std::isfinite(vertex.position[axis])) {
        return Ms3dNumbered("vertex ", i - first, " position: not a number");
      }
    }
  }
  return {};
}

// The normal and (s, t) of vertex `index` of the piece's data.
void Corner(const uint8_t* data, const Layout& layout, uint16_t index, Ms3dVector& normal,
            std::array<float, 2>& st) {
  const uint8_t* vertex = data + static_cast<size_t>(index) * layout.size;
  for (size_t axis = 0; axis < 3; ++axis) {
    normal[axis] = Ms3dFinite(Ms3dF32(vertex + layout.normalAt + 4 * axis));
  }
  st = {Ms3dFinite(Ms3dF32(vertex + layout.stAt)), Ms3dFinite(Ms3dF32(vertex + layout.stAt + 4))};
}

Failure ReadPiece(Ms3dCursor& in, Ms3dMesh& mesh) {
  uint16_t nameSize = 0;
  const uint8_t* name = in.U16(nameSize) ? in.Take(nameSize) : nullptr;
  const size_t start = in.Position();
  const uint8_t* piece = name != nullptr ? in.Take(kDataAt + 4) : nullptr;
  if (piece == nullptr) {
    return "header";
  }
  const uint16_t vertexCount = Ms3dU16(piece + kVertexCountAt);
  const uint16_t triangleCount = Ms3dU16(piece + kTriangleCountAt);
  const uint16_t type = PieceType(piece);
  if (type < 1 || type > 5) {
    return "vertex type: " + std::to_string(type) + " is not 1 to 5";
  }
  const uint8_t* marker = piece + kDataAt;
  const bool shifted = marker[0] == 0 && marker[1] == 0 && marker[2] != 0 && marker[3] != 0;
  in.Seek(start + (shifted ? kShiftedDataAt : kDataAt));
  const size_t firstVertex = mesh.vertices.size();
  if (firstVertex + vertexCount > kMaxIndex + 1 ||
      mesh.triangles.size() + triangleCount > kMaxIndex + 1) {
    return "size: more than 65,535 vertices or triangles in the file";
  }
  const Layout& layout = kLayouts[type - 1];
  const uint8_t* data = in.Take(0);
  if (Failure failure = ReadVertices(in, layout, vertexCount, mesh); !failure.empty()) {
    return failure;
  }
  if (!in.Holds(triangleCount, 6)) {
    return "triangles";
  }
  Ms3dGroup& group = mesh.groups.emplace_back();
  group.name = Ms3dText(name, std::min<size_t>(nameSize, kNameSize));
  group.material = kMs3dNone;
  for (size_t i = 0; i < triangleCount; ++i) {
    const uint8_t* indices = in.Take(6);
    Ms3dTriangle triangle;
    triangle.group = static_cast<uint8_t>(mesh.groups.size() - 1);
    for (size_t corner = 0; corner < 3; ++corner) {
      const uint16_t index = Ms3dU16(indices + 2 * corner);
      if (index >= vertexCount) {
        return Ms3dNumbered("triangle ", i, ": a vertex past the piece's vertices");
      }
      triangle.vertices[corner] = static_cast<uint16_t>(firstVertex + index);
      Corner(data, layout, index, triangle.normals[corner], triangle.st[corner]);
    }
    group.triangles.push_back(static_cast<uint16_t>(mesh.triangles.size()));
    mesh.triangles.push_back(triangle);
  }
  return SkipTail(in, type) ? Failure{} : "data after the triangles";
}

}  // namespace

bool Ms3dReadPiece(const std::string& fileName, Ms3dMesh& mesh) {
  Ms3dFileBytes bytes;
  if (!Ms3dLoadBytes(fileName, bytes)) {
    return false;
  }
  Ms3dCursor in(bytes);
  uint16_t textSize = 0;
  uint32_t count = 0;
  if (!in.Seek(kHeaderTextAt) || !in.U16(textSize) ||
      !in.Seek(in.Position() + textSize + kPieceCountAfter) || !in.U32(count)) {
    Ms3dLogFailure(fileName, "Unable to read file header.");
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (Failure failure = ReadPiece(in, mesh); !failure.empty()) {
      Ms3dLogFailure(fileName, Ms3dNumbered("Unable to read piece ", i, " " + failure + "."));
      return false;
    }
  }
  return true;
}
