// A display's OpenGL objects around the loss of its rendering context, and
// the stand-alone image drawn on a display while nothing else can be.
#include <GL/gl.h>

#include <utility>

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/utilities/utilities.h"

namespace {

// Belongs to the font module, which sets it when it starts (before this
// module does), so the module's start and stop leave it alone.
ModelFontRebuildProc fontRebuild;

void RebuildFontTexture(ModelTexture& texture) {
  ModelTextureFreeNames(texture, false);  // names of the lost context mean nothing in this one
  if (!fontRebuild || !fontRebuild(&texture)) {
    LogError("ModelAssetsRecompile - Could not reread font file.");
  }
}

// The source pixels come from the texture's own procedure or its image file.
// Only an image of the texture's size fits the tiles it had.
void RebuildImageTexture(ModelTexture& texture) {
  ImageFrame* image = nullptr;
  if (texture.rebuild) {
    texture.rebuild(image);
  } else {
    ImageLoad(texture.fileName, image);
  }
  if (ModelImageUsable(image) && image->width == texture.width && image->height == texture.height) {
    ModelTextureUploadImage(texture, *image);
  } else {
    LogError("ModelAssetsRecompile - Unable to rebuild image \"" + texture.fileName +
             "\" for model.");
  }
  ImageFree(image);
}

void RecompileDisplay(ModelDisplay& display) {
  if (!ModelDisplayCurrent(display.id)) {
    LogError("ModelAssetsRecompile - Could not make display " + std::to_string(display.id) +
             " current.");
    return;
  }
  // A font that cannot be reread deletes itself and with it the last model
  // holding its texture. Every texture stays in place until all are rebuilt
  // (without touching reference counts: a texture nobody holds yet must
  // survive); those released meanwhile are deleted afterwards.
  std::vector<ModelTexture*> textures;
  for (ModelTexture& texture : display.textures) {
    texture.rebuilding = true;
    textures.push_back(&texture);
  }
  for (ModelTexture* texture : textures) {
    if (UtilitiesUpperExtension(texture->fileName) == ".FOT") {
      RebuildFontTexture(*texture);
    } else {
      RebuildImageTexture(*texture);
    }
  }
  for (ModelTexture* texture : textures) {
    texture->rebuilding = false;
    if (std::exchange(texture->releasedWhileRebuilding, false) && texture->references <= 0) {
      ModelTextureDelete(texture);
    }
  }
  for (Model& model : display.models) {
    if (model.type == kModelCompilable) {
      ModelListDelete(model, true);
      ModelCompile(&model);
    }
  }
}

// Opens the image as a model and, when its texture exists, draws it as one
// whole frame with the image filling the display.
void DrawDisplayImage(int32_t display, const std::string& fileName) {
  Model* model = ModelOpenImage(display, fileName, false);
  const ModelTexture* texture = ModelTextureFind(display, fileName);
  if (model != nullptr && texture != nullptr) {
    GraphicsRenderBegin(display);
    glPushAttrib(GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    GraphicsSetOrtho(texture->width, texture->height);
    ModelRender(model);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    GraphicsRenderEnd(display);
  }
  ModelClose(model);
}

}  // namespace

// --- Context loss ----------------------------------------------------------------------

void ModelAssetsFree() {
  for (const auto& display : ModelData().displays) {
    const bool current = ModelDisplayCurrent(display->id);
    for (ModelTexture& texture : display->textures) {
      ModelTextureFreeNames(texture, current);
    }
    for (Model& model : display->models) {
      ModelListDelete(model, current);
    }
  }
}

void ModelAssetsRecompile() {
  for (const auto& display : ModelData().displays) {
    RecompileDisplay(*display);
  }
}

void ModelSetFontRebuild(ModelFontRebuildProc procedure) {
  fontRebuild = std::move(procedure);
}

// --- Stand-alone display image ----------------------------------------------------------

void ModelDisplayImageSet(int32_t display, const std::string& fileName) {
  if (ModelDisplay* entry = ModelDisplayFind(display)) {
    entry->imageFileName = fileName;
  }
}

void ModelDisplayImageRender() {
  for (const auto& display : ModelData().displays) {
    if (!display->imageFileName.empty()) {
      DrawDisplayImage(display->id, display->imageFileName);
    }
  }
}
