// Shared between the files of the model module (and its tests); not part of
// its API.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "framework/model/model.h"

// One tile of a texture: an OpenGL texture (name 0 while none exists) that
// holds the inclusive source block x1..x2, y1..y2 of the image.
struct ModelTile {
  uint32_t name = 0;
  int32_t x1 = 0;
  int32_t x2 = 0;
  int32_t y1 = 0;
  int32_t y2 = 0;
  int32_t textureWidth = 0;
  int32_t textureHeight = 0;
};

struct ModelTexture {
  int32_t display = 0;
  std::string fileName;
  int32_t width = 0;  // the image size
  int32_t height = 0;
  int32_t bitsPerPixel = 32;  // 32: the pixels carry alpha
  int32_t tileWidth = 0;      // the largest tile size used
  int32_t tileHeight = 0;
  bool linear = false;           // else nearest
  bool repeat = false;           // else clamp
  bool tiled = false;            // tiles carry a one-pixel border
  std::vector<ModelTile> tiles;  // row after row
  int32_t tileRows = 0;
  int32_t tileColumns = 0;
  int32_t references = 0;
  // While a context rebuild works on the texture, a release to no references
  // only marks it; the rebuild deletes it when it is done with it.
  bool rebuilding = false;
  bool releasedWhileRebuilding = false;
  ModelRebuildProc rebuild;
  std::list<ModelTexture>::iterator self;  // its place in the display's list
};

struct Model {
  int32_t type = kModelCompilable;
  int32_t display = 0;
  std::string name;
  ModelVertex position;
  float rotation = 0.0f;  // degrees about z
  ModelColor color;
  std::vector<ModelVertex> vertices;
  std::vector<ModelVertex> savedVertices;
  std::vector<ModelTexCoord> texCoords;
  std::vector<ModelLine> lines;
  std::vector<ModelTriangle> triangles;
  // The textures the model holds one reference on: every texture its
  // triangles have named, kept until the model closes.
  std::vector<ModelTexture*> textures;
  uint32_t list = 0;
  bool listExists = false;
  bool compiled = false;  // the display list matches the geometry
  std::list<Model>::iterator self;
};

struct ModelDisplay {
  int32_t id = 0;
  std::list<Model> models;           // in creation order
  std::list<ModelTexture> textures;  // in creation order
  std::string imageFileName;         // drawn alone by ModelDisplayImageRender
};

struct ModelModule {
  std::vector<std::unique_ptr<ModelDisplay>> displays;
  bool noCompile = false;  // "-nocompile"
};

// The module's one state record (owned by model.cpp).
ModelModule& ModelData();
// The display's entry, or null.
ModelDisplay* ModelDisplayFind(int32_t display);
// Makes the display's context current; false when it has none, in which case
// its OpenGL objects are not touched (they went with the context).
bool ModelDisplayCurrent(int32_t display);

// --- Textures ---------------------------------------------------------------
// Deletes the texture's OpenGL objects and its record.
void ModelTextureDelete(ModelTexture* texture);
// Forgets the OpenGL textures of every tile, deleting them when the texture's
// display is current (without a context they are gone already).
void ModelTextureFreeNames(ModelTexture& texture, bool current);
// Uploads every tile under a new name from an image of the texture's size;
// the display is current.
void ModelTextureUploadImage(ModelTexture& texture, const ImageFrame& image);
// Whether the image has its size in pixels and is no placeholder.
bool ModelImageUsable(const ImageFrame* image);

// --- Compiling ---------------------------------------------------------------
// Forgets the model's display list, deleting it when its display is current.
void ModelListDelete(Model& model, bool current);

// --- Tiling (no OpenGL) ---------------------------------------------------------
// The smallest tile edge.
constexpr int32_t kModelTileMinimum = 64;
// Largest power of two not above the value, but at least 64.
int32_t ModelTileStart(int32_t size);
// The largest tile per axis: halves the height, then the width, while above 64
// and the size is not accepted (the context cannot hold such a texture).
ModelSize ModelTileLimit(int32_t width, int32_t height,
                         const std::function<bool(ModelSize)>& accepted);
// The tiles (without names) of an image of this size, row after row.
struct ModelTileLayout {
  std::vector<ModelTile> tiles;
  int32_t rows = 0;
  int32_t columns = 0;
};
ModelTileLayout ModelTileLayoutMake(int32_t width, int32_t height, ModelSize limit);
// A tile's texture pixels: the source block at (1, 1) inside a border repeating
// its edge pixels, zeros elsewhere. The image must hold width x height pixels.
std::vector<uint32_t> ModelTilePixels(const ImageFrame& image, const ModelTile& tile);
// 0xAARRGGBB pixels as OpenGL bytes: red, green, blue (and alpha when asked).
std::vector<uint8_t> ModelUploadBytes(const uint32_t* pixels, size_t count, bool alpha);
