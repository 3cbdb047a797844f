// Drawing models: the geometry drawn immediately or compiled into a display
// list, and the placement around it.
#include <GL/gl.h>

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"

namespace {

// The tile a triangle is drawn with; null for an untextured triangle or a
// tile that does not exist.
const ModelTile* TriangleTile(const ModelTriangle& triangle) {
  if (triangle.textures.empty() || triangle.textures.front().texture == nullptr) {
    return nullptr;
  }
  const ModelTextureRef& ref = triangle.textures.front();
  const std::vector<ModelTile>& tiles = ref.texture->tiles;
  return ref.tile >= 0 && ref.tile < static_cast<int32_t>(tiles.size()) ? &tiles[ref.tile]
                                                                        : nullptr;
}

// A texture coordinate that was never set counts as (0, 0).
ModelTexCoord TexCoordAt(const Model& model, int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(model.texCoords.size()) ? model.texCoords[index]
                                                                            : ModelTexCoord{};
}

// Triangles in batches of one tile: texturing changes and textures are bound
// only when the next triangle needs another tile. Each corner takes the
// triangle's own texture-coordinate index.
void DrawTriangles(const Model& model) {
  bool open = false;
  bool textured = false;
  GLuint bound = 0;
  for (const ModelTriangle& triangle : model.triangles) {
    const ModelTile* tile = TriangleTile(triangle);
    const bool wantTextured = tile != nullptr;
    const GLuint name = wantTextured ? tile->name : 0;
    if (!open || wantTextured != textured || name != bound) {
      if (open) {
        glEnd();
      }
      if (!open || wantTextured != textured) {
        wantTextured ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
        textured = wantTextured;
      }
      if (wantTextured) {
        glBindTexture(GL_TEXTURE_2D, name);
      }
      bound = name;
      glBegin(GL_TRIANGLES);
      open = true;
    }
    for (size_t corner = 0; corner < 3; ++corner) {
      if (textured) {
        const ModelTexCoord coord = TexCoordAt(model, triangle.texCoords[corner]);
        glTexCoord2f(coord.u, coord.v);
      }
      const ModelVertex& vertex = model.vertices[triangle.vertices[corner]];
      glVertex3f(vertex.x, vertex.y, vertex.z);
    }
  }
  if (open) {
    glEnd();
  }
}

// Lines untextured; the width and the colour change only when they differ.
void DrawLines(const Model& model) {
  if (model.lines.empty()) {
    return;
  }
  glDisable(GL_TEXTURE_2D);
  bool open = false;
  float width = 0.0f;
  bool colourSet = false;
  ModelColor colour;
  auto end = [&](const ModelColor& endColour, int32_t index) {
    if (!colourSet || endColour != colour) {
      glColor4ub(endColour.red, endColour.green, endColour.blue, endColour.alpha);
      colour = endColour;
      colourSet = true;
    }
    const ModelVertex& vertex = model.vertices[index];
    glVertex3f(vertex.x, vertex.y, vertex.z);
  };
  for (const ModelLine& line : model.lines) {
    if (!open || line.width != width) {
      if (open) {
        glEnd();
      }
      glLineWidth(line.width);
      width = line.width;
      glBegin(GL_LINES);
      open = true;
    }
    end(line.color1, line.vertex1);
    end(line.color2, line.vertex2);
  }
  glEnd();
}

void DrawGeometry(const Model& model) {
  DrawTriangles(model);
  DrawLines(model);
}

}  // namespace

void ModelListDelete(Model& model, bool current) {
  if (current && model.listExists) {
    glDeleteLists(model.list, 1);
  }
  model.list = 0;
  model.listExists = false;
  model.compiled = false;
}

void ModelCompile(Model* model) {
  if (model == nullptr || ModelData().noCompile || model->type != kModelCompilable ||
      !ModelDisplayCurrent(model->display)) {
    return;
  }
  if (!model->listExists) {
    model->list = glGenLists(1);
    model->listExists = true;
  }
  model->compiled = false;
  while (glGetError() != GL_NO_ERROR) {
  }
  glNewList(model->list, GL_COMPILE);
  DrawGeometry(*model);
  glEndList();
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    LogError("ModelCompile - Unable to compile model \"" + model->name +
             "\".  Rendering uncompiled instead.  " + GraphicsErrorText(error));
    model->type = kModelImmediate;
    return;
  }
  model->compiled = true;
}

void ModelRender(const Model* model) {
  if (model == nullptr) {
    return;
  }
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_LINE_BIT | GL_TRANSFORM_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(model->position.x, model->position.y, model->position.z);
  glRotatef(model->rotation, 0.0f, 0.0f, 1.0f);
  const ModelColor& color = model->color;
  glColor4ub(color.red, color.green, color.blue, color.alpha);
  if (model->type == kModelCompilable && model->compiled) {
    glCallList(model->list);
  } else {
    DrawGeometry(*model);
  }
  glPopMatrix();
  glPopAttrib();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}
