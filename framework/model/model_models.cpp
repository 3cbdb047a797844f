// Model records: creating and closing them, their geometry, placement and
// appearance.
#include <algorithm>

#include "framework/log/log.h"
#include "framework/model/model_internal.h"

namespace {

// Makes room for an element at the index, filling the gap with defaults.
template <typename T>
T& GrowTo(std::vector<T>& items, int32_t index) {
  if (static_cast<size_t>(index) >= items.size()) {
    items.resize(static_cast<size_t>(index) + 1);
  }
  return items[index];
}

bool VertexExists(const Model& model, int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(model.vertices.size());
}

// A texture of another display lives in another context and cannot be drawn here.
bool TexturesBelongTo(const ModelTriangle& triangle, int32_t display) {
  return std::all_of(triangle.textures.begin(), triangle.textures.end(),
                     [display](const ModelTextureRef& ref) {
                       return ref.texture == nullptr || ref.texture->display == display;
                     });
}

// Every texture the model names holds one reference of it until it closes.
void HoldTextures(Model& model, const ModelTriangle& triangle) {
  for (const ModelTextureRef& ref : triangle.textures) {
    if (ref.texture != nullptr && std::find(model.textures.begin(), model.textures.end(),
                                            ref.texture) == model.textures.end()) {
      ModelTextureAddRef(ref.texture);
      model.textures.push_back(ref.texture);
    }
  }
}

// The extent of one vertex coordinate.
float Extent(const Model* model, float ModelVertex::*axis) {
  if (model == nullptr || model->vertices.empty()) {
    return 0.0f;
  }
  const auto [low, high] = std::minmax_element(
      model->vertices.begin(), model->vertices.end(),
      [axis](const ModelVertex& a, const ModelVertex& b) { return a.*axis < b.*axis; });
  return (*high).*axis - (*low).*axis;
}

}  // namespace

// --- Creating and destroying -------------------------------------------------------

Model* ModelNew(int32_t display, int32_t type) {
  ModelDisplay* entry = ModelDisplayFind(display);
  if (entry == nullptr) {
    return nullptr;
  }
  if (type != kModelImmediate && type != kModelCompilable) {
    LogError("ModelNew - Invalid model type \"" + std::to_string(type) + "\".  Model not created.");
    return nullptr;
  }
  Model& model = entry->models.emplace_back();
  model.self = std::prev(entry->models.end());
  model.type = type;
  model.display = display;
  return &model;
}

void ModelClose(Model*& model) {
  if (model == nullptr) {
    return;
  }
  if (model->listExists) {
    ModelListDelete(*model, ModelDisplayCurrent(model->display));
  }
  for (ModelTexture* texture : model->textures) {
    ModelTextureRelease(texture);
  }
  ModelDisplayFind(model->display)->models.erase(model->self);
  model = nullptr;
}

// --- Geometry -------------------------------------------------------------------------

void ModelVertexSet(Model* model, int32_t index, float x, float y, float z) {
  if (model != nullptr && index >= 0) {
    GrowTo(model->vertices, index) = {x, y, z};
    model->compiled = false;
  }
}

void ModelTexCoordSet(Model* model, int32_t index, float u, float v) {
  if (model != nullptr && index >= 0) {
    GrowTo(model->texCoords, index) = {u, v};
    model->compiled = false;
  }
}

void ModelTriangleSet(Model* model, int32_t index, const ModelTriangle& triangle) {
  if (model == nullptr || index < 0 ||
      !std::all_of(triangle.vertices.begin(), triangle.vertices.end(),
                   [model](int32_t vertex) { return VertexExists(*model, vertex); }) ||
      !TexturesBelongTo(triangle, model->display)) {
    return;
  }
  GrowTo(model->triangles, index) = triangle;
  HoldTextures(*model, triangle);
  model->compiled = false;
}

void ModelLineSet(Model* model, int32_t index, const ModelLine& line) {
  // OpenGL refuses a width that is not above 0, which would fail the whole list.
  if (model != nullptr && index >= 0 && line.width > 0.0f && VertexExists(*model, line.vertex1) &&
      VertexExists(*model, line.vertex2)) {
    GrowTo(model->lines, index) = line;
    model->compiled = false;
  }
}

ModelVertex ModelVertexGet(const Model* model, int32_t index) {
  if (model == nullptr || !VertexExists(*model, index)) {
    return {};
  }
  return model->vertices[index];
}

ModelTexCoord ModelTexCoordGet(const Model* model, int32_t index) {
  if (model == nullptr || index < 0 || index >= static_cast<int32_t>(model->texCoords.size())) {
    return {};
  }
  return model->texCoords[index];
}

ModelTriangle ModelTriangleGet(const Model* model, int32_t index) {
  if (model == nullptr || index < 0 || index >= static_cast<int32_t>(model->triangles.size())) {
    return {};
  }
  return model->triangles[index];
}

int32_t ModelVertexCount(const Model* model) {
  return model != nullptr ? static_cast<int32_t>(model->vertices.size()) : 0;
}

int32_t ModelTriangleCount(const Model* model) {
  return model != nullptr ? static_cast<int32_t>(model->triangles.size()) : 0;
}

void ModelTranslate(Model* model, float dx, float dy, float dz) {
  if (model == nullptr) {
    return;
  }
  for (ModelVertex& vertex : model->vertices) {
    vertex.x += dx;
    vertex.y += dy;
    vertex.z += dz;
  }
  model->compiled = false;
}

void ModelScale(Model* model, float factor) {
  if (model == nullptr) {
    return;
  }
  for (ModelVertex& vertex : model->vertices) {
    vertex.x *= factor;
    vertex.y *= factor;
    vertex.z *= factor;
  }
  model->compiled = false;
}

void ModelTexCoordScale(Model* model, float su, float sv) {
  if (model == nullptr) {
    return;
  }
  for (ModelTexCoord& coord : model->texCoords) {
    coord.u *= su;
    coord.v *= sv;
  }
  model->compiled = false;
}

void ModelTexCoordOffset(Model* model, float du, float dv) {
  if (model == nullptr) {
    return;
  }
  for (ModelTexCoord& coord : model->texCoords) {
    coord.u += du;
    coord.v += dv;
  }
  model->compiled = false;
}

void ModelVerticesSave(Model* model) {
  if (model != nullptr) {
    model->savedVertices = model->vertices;
  }
}

void ModelVerticesRestore(Model* model) {
  if (model != nullptr && model->savedVertices.size() == model->vertices.size()) {
    model->vertices = model->savedVertices;
    model->compiled = false;
  }
}

float ModelWidth(const Model* model) {
  return Extent(model, &ModelVertex::x);
}

float ModelHeight(const Model* model) {
  return Extent(model, &ModelVertex::y);
}

// --- Placement and appearance ------------------------------------------------------------

void ModelSetPosition(Model* model, float x, float y, float z) {
  if (model != nullptr) {
    model->position = {x, y, z};
  }
}

void ModelMove(Model* model, float dx, float dy, float dz) {
  if (model != nullptr) {
    model->position.x += dx;
    model->position.y += dy;
    model->position.z += dz;
  }
}

ModelVertex ModelGetPosition(const Model* model) {
  return model != nullptr ? model->position : ModelVertex{};
}

void ModelRotate(Model* model, float degrees) {
  if (model != nullptr) {
    model->rotation += degrees;
  }
}

void ModelSetColor(Model* model, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  if (model != nullptr) {
    model->color = {red, green, blue, alpha};
  }
}

void ModelSetName(Model* model, const std::string& name) {
  if (model != nullptr) {
    model->name = name;
  }
}
