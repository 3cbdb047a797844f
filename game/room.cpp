// The current room: its script, its five mats, its path tree, its depth
// mesh and its scale line.
#include <string>

#include "framework/model/model.h"
#include "game/depth_runs.h"
#include "game/game_internal.h"

// Each run becomes a quad two pixels taller and two wider than the run, so
// that with the depth function ALWAYS later quads overwrite the overlap and
// the right and bottom edges of every run are filled.
Model* RoomBuildDepthMesh(const Mat& mat, const std::string& name) {
  if (!MatIsValid(mat)) {
    return nullptr;
  }
  Model* mesh = ModelNew(GamePrimaryDisplay(), kModelCompilable);
  if (mesh == nullptr) {
    return nullptr;
  }
  ModelSetName(mesh, name);
  int32_t vertex = 0;
  int32_t triangle = 0;
  for (const DepthRun& run : DepthRunsOf(mat)) {
    const float z = -static_cast<float>(run.depth);
    const auto left = static_cast<float>(run.x0);
    const auto right = static_cast<float>(run.x1 + 2);
    const auto top = static_cast<float>(run.y);
    const auto bottom = static_cast<float>(run.y + 2);
    ModelVertexSet(mesh, vertex, left, top, z);
    ModelVertexSet(mesh, vertex + 1, left, bottom, z);
    ModelVertexSet(mesh, vertex + 2, right, top, z);
    ModelVertexSet(mesh, vertex + 3, right, bottom, z);
    ModelTriangle corners;
    corners.vertices = {vertex, vertex + 1, vertex + 3};
    ModelTriangleSet(mesh, triangle, corners);
    corners.vertices = {vertex, vertex + 3, vertex + 2};
    ModelTriangleSet(mesh, triangle + 1, corners);
    vertex += 4;
    triangle += 2;
  }
  ModelCompile(mesh);
  return mesh;
}
