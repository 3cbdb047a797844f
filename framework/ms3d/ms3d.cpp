// The model object's life: creation, loading by file kind, and the release
// of its textures.
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d_internal.h"
#include "framework/utilities/utilities.h"

void Ms3dStart() {
  LogVersion("qmrMS3D - Version 1.0");
  Ms3dRenderReset();
}

void Ms3dStop() {
  Ms3dRenderReset();
}

std::string Ms3dFolder(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string{} : fileName.substr(0, separator + 1);
}

TMS3D::TMS3D(int32_t display) : display_(display) {}

TMS3D::~TMS3D() {
  Clear();
  ModelTextureRelease(shader_);
}

void TMS3D::Clear() {
  for (Ms3dMaterial& material : mesh_.materials) {
    ModelTextureRelease(material.image);
    ModelTextureRelease(material.pickImage);
  }
  mesh_ = Ms3dMesh{};
}

bool TMS3D::LoadFromFile(const std::string& fileName) {
  Clear();
  fileName_ = fileName;
  const std::string extension = UtilitiesUpperExtension(fileName);
  if (extension == ".LTB") {
    return Ms3dReadPiece(fileName, mesh_);
  }
  if (extension == ".MPJ") {
    return Ms3dReadProject(display_, fileName, mesh_);
  }
  if (extension == ".MS3D") {
    return Ms3dReadMilkShape(display_, fileName, mesh_);
  }
  LogError("TMS3D::LoadFromFile - Unsupported model file \"" + fileName + "\".");
  return false;
}
