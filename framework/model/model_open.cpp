// Models made from files: textured quads over an image's tiles, and the
// vertices and faces of MilkShape 3D meshes.
#include <cstring>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/utilities/utilities.h"

namespace {

constexpr float kImageDepth = -5.0f;

// Two triangles per tile over the tile's block in image pixels (y down). A
// tiled texture's coordinates skip the tile's one-pixel border.
Model* ImageModel(int32_t display, ModelTexture* texture, const std::string& name) {
  Model* model = ModelNew(display, kModelCompilable);
  const float border = texture->tiled ? 1.0f : 0.0f;
  for (size_t t = 0; t < texture->tiles.size(); ++t) {
    const ModelTile& tile = texture->tiles[t];
    const auto first = static_cast<int32_t>(4 * t);
    const auto left = static_cast<float>(tile.x1);
    const auto top = static_cast<float>(tile.y1);
    const auto right = static_cast<float>(tile.x2) + 1.0f;
    const auto bottom = static_cast<float>(tile.y2) + 1.0f;
    const auto tw = static_cast<float>(tile.textureWidth);
    const auto th = static_cast<float>(tile.textureHeight);
    const float u1 = border / tw;
    const float v1 = border / th;
    const float u2 = (right - left + border) / tw;
    const float v2 = (bottom - top + border) / th;
    ModelVertexSet(model, first, left, top, kImageDepth);
    ModelVertexSet(model, first + 1, left, bottom, kImageDepth);
    ModelVertexSet(model, first + 2, right, top, kImageDepth);
    ModelVertexSet(model, first + 3, right, bottom, kImageDepth);
    ModelTexCoordSet(model, first, u1, v1);
    ModelTexCoordSet(model, first + 1, u1, v2);
    ModelTexCoordSet(model, first + 2, u2, v1);
    ModelTexCoordSet(model, first + 3, u2, v2);
    ModelTriangle triangle;
    triangle.textures = {{texture, static_cast<int32_t>(t)}};
    triangle.vertices = triangle.texCoords = {first, first + 1, first + 2};
    ModelTriangleSet(model, first / 2, triangle);
    triangle.vertices = triangle.texCoords = {first + 2, first + 1, first + 3};
    ModelTriangleSet(model, first / 2 + 1, triangle);
  }
  ModelSetName(model, name);
  ModelCompile(model);
  return model;
}

bool DisplayKnown(int32_t display) {
  if (ModelDisplayFind(display) != nullptr) {
    return true;
  }
  LogError("ModelOpenImage - Invalid display ID \"" + std::to_string(display) + "\".");
  return false;
}

// --- MilkShape 3D -------------------------------------------------------------------

uint16_t U16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t U32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

float F32(const uint8_t* bytes) {
  const uint32_t bits = U32(bytes);
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

constexpr int32_t kMs3dHeaderSize = 14;
constexpr int32_t kMs3dVertexSize = 15;
constexpr int32_t kMs3dFaceSize = 70;
constexpr int32_t kMs3dMeshHeadSize = 35;  // flags, name, triangle count
constexpr int32_t kMs3dMaterialSize = 361;

std::string Numbered(const std::string& head, int32_t index, const std::string& tail) {
  return head + std::to_string(index + 1) + tail;
}

// Reads a 16-bit count into `count`; false at the end of the file.
bool ReadCount(int32_t file, uint16_t& count) {
  uint8_t bytes[2];
  if (!DataFileReadExact(file, bytes, 2)) {
    return false;
  }
  count = U16(bytes);
  return true;
}

std::string ReadVertices(int32_t file, Model* model) {
  uint16_t count = 0;
  if (!ReadCount(file, count)) {
    return "Unable to read vertex count.";
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[kMs3dVertexSize];
    if (!DataFileReadExact(file, bytes, kMs3dVertexSize)) {
      return Numbered("Unable to read vertex ", i, " data.");
    }
    ModelVertexSet(model, i, F32(bytes + 1), F32(bytes + 5), F32(bytes + 9));
  }
  return {};
}

std::string ReadFaces(int32_t file, Model* model) {
  uint16_t count = 0;
  if (!ReadCount(file, count)) {
    return "Unable to read face count.";
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[kMs3dFaceSize];
    if (!DataFileReadExact(file, bytes, kMs3dFaceSize)) {
      return Numbered("Unable to read face ", i, " data.");
    }
    ModelTriangle triangle;
    triangle.vertices = {U16(bytes + 2), U16(bytes + 4), U16(bytes + 6)};
    ModelTriangleSet(model, i, triangle);  // refused when a vertex does not exist
  }
  return {};
}

// Groups and materials are not drawn; they are read only to check the file.
std::string ReadMeshes(int32_t file) {
  uint16_t count = 0;
  if (!ReadCount(file, count)) {
    return "Unable to read mesh count.";
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t head[kMs3dMeshHeadSize];
    if (!DataFileReadExact(file, head, kMs3dMeshHeadSize)) {
      return Numbered("Unable to read mesh ", i, " data.");
    }
    const uint16_t triangles = U16(head + 33);
    for (int32_t j = 0; j < triangles; ++j) {
      uint8_t index[2];
      if (!DataFileReadExact(file, index, 2)) {
        return Numbered("Unable to read mesh ", i, Numbered(" vertex ", j, " data."));
      }
    }
    uint8_t material = 0;
    if (!DataFileReadExact(file, &material, 1)) {
      return Numbered("Unable to read material for mesh ", i, ".");
    }
  }
  return {};
}

std::string ReadMaterials(int32_t file) {
  uint16_t count = 0;
  if (!ReadCount(file, count)) {
    return "Unable to read material count.";
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[kMs3dMaterialSize];
    if (!DataFileReadExact(file, bytes, kMs3dMaterialSize)) {
      return Numbered("Unable to read material ", i, " data.");
    }
  }
  return {};
}

// The failure message, or empty when the whole file was read.
std::string ReadMs3d(int32_t file, Model* model) {
  uint8_t header[kMs3dHeaderSize];
  if (!DataFileReadExact(file, header, kMs3dHeaderSize)) {
    return "Unable to read file header.";
  }
  if (std::memcmp(header, "MS3D000000", 10) != 0) {
    return "Invalid file header.";
  }
  const auto version = static_cast<int32_t>(U32(header + 10));
  if (version != 3 && version != 4) {
    return "Unsupported file version " + std::to_string(version) + ".";
  }
  for (const auto& part : {ReadVertices, ReadFaces}) {
    if (std::string failure = part(file, model); !failure.empty()) {
      return failure;
    }
  }
  for (const auto& part : {ReadMeshes, ReadMaterials}) {
    if (std::string failure = part(file); !failure.empty()) {
      return failure;
    }
  }
  return {};
}

}  // namespace

Model* ModelOpen(int32_t display, const std::string& fileName, bool linear) {
  if (UtilitiesUpperExtension(fileName) == ".MS3D") {
    return ModelOpenMS3D(display, fileName);
  }
  if (ImageSupported(fileName)) {
    return ModelOpenImage(display, fileName, linear);
  }
  LogError("Unrecognized model extension for \"" + fileName + "\".");
  return nullptr;
}

Model* ModelOpenImage(int32_t display, const std::string& fileName, bool linear) {
  if (!DisplayKnown(display)) {
    return nullptr;
  }
  ModelTexture* texture = ModelTextureGet(display, fileName, true, false, linear);
  return texture != nullptr ? ImageModel(display, texture, fileName) : nullptr;
}

Model* ModelOpenImage(int32_t display, const ImageFrame* image, ModelRebuildProc rebuild,
                      bool linear) {
  if (!DisplayKnown(display)) {
    return nullptr;
  }
  ModelTexture* texture = ModelTextureExtract(display, image, true, false, linear);
  if (texture == nullptr) {
    return nullptr;
  }
  ModelTextureSetRebuild(texture, std::move(rebuild));
  return ImageModel(display, texture, image->name);
}

Model* ModelOpenMS3D(int32_t display, const std::string& fileName) {
  Model* model = ModelNew(display, kModelCompilable);
  if (model == nullptr) {
    return nullptr;
  }
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("ModelOpenMS3D - Unable to open file \"" + fileName + "\"");
    ModelClose(model);
    return nullptr;
  }
  const std::string failure = ReadMs3d(file, model);
  DataFileClose(file);
  if (!failure.empty()) {
    LogError("ModelOpenMS3D - " + failure);
    ModelClose(model);
    return nullptr;
  }
  ModelSetName(model, fileName);
  ModelCompile(model);
  return model;
}
