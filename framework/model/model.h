// Models: the one thing that is drawn. A model is a list of vertices, texture
// coordinates, triangles and lines, optionally bound to textures, drawn at a
// position with a rotation about z and a colour. Models and textures belong to
// a display, because their OpenGL objects live in that display's rendering
// context.
//
// The module owns every OpenGL texture. An image becomes a texture cut into
// power-of-two tiles, each with a one-pixel border copied from its own edge;
// textures are shared by file name per display and counted: each model holds
// one reference on every texture its triangles use, and the last release
// deletes the texture. Compilable models are drawn from display lists. When a
// rendering context is lost, ModelAssetsFree drops the OpenGL objects and
// ModelAssetsRecompile makes them again in the new context; the records stay.
//
// Callers hold handles (pointers to records owned here); closing or releasing
// clears the caller's handle. Every function ignores a null handle.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/image/image.h"

struct Model;         // a model record
struct ModelTexture;  // a texture record of one display

// Model types: immediate models are never compiled.
constexpr int32_t kModelImmediate = 1;
constexpr int32_t kModelCompilable = 2;

struct ModelVertex {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  bool operator==(const ModelVertex&) const = default;
};

struct ModelTexCoord {
  float u = 0.0f;
  float v = 0.0f;
  bool operator==(const ModelTexCoord&) const = default;
};

struct ModelColor {
  uint8_t red = 255;
  uint8_t green = 255;
  uint8_t blue = 255;
  uint8_t alpha = 255;
  bool operator==(const ModelColor&) const = default;
};

// A tile of a texture; a triangle is drawn with the tile of its first reference.
struct ModelTextureRef {
  ModelTexture* texture = nullptr;
  int32_t tile = 0;
  bool operator==(const ModelTextureRef&) const = default;
};

struct ModelTriangle {
  std::vector<ModelTextureRef> textures;  // only the first is drawn; empty: untextured
  std::array<int32_t, 3> vertices{};      // vertex indices
  std::array<int32_t, 3> texCoords{};     // texture-coordinate indices
  bool operator==(const ModelTriangle&) const = default;
};

// An untextured line between two vertices, each end with its own colour.
struct ModelLine {
  float width = 1.0f;
  int32_t vertex1 = 0;
  ModelColor color1;
  int32_t vertex2 = 0;
  ModelColor color2;
};

struct ModelSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const ModelSize&) const = default;
};

// Fills an image with a texture's source pixels again after a context loss.
using ModelRebuildProc = std::function<void(ImageFrame*& image)>;
// The font module's rebuild of a ".fot" texture: uploads every tile again from
// the font file (ModelTextureTileUpload); false when the file cannot be reread.
using ModelFontRebuildProc = std::function<bool(ModelTexture* texture)>;

// --- Module lifecycle ---------------------------------------------------
// Logs "qmrModel - Version Alpha.0", empties the registry, reads "-nocompile".
void ModelStart();
// Removes every display with its models and textures.
void ModelStop();

// --- Display registry ---------------------------------------------------
void ModelDisplayAdd(int32_t display);     // an empty entry unless one exists
void ModelDisplayRemove(int32_t display);  // closes its models, deletes its textures
// Deletes every texture and display list of every display (before contexts go).
void ModelAssetsFree();
// Uploads every texture and compiles every compilable model again (new contexts).
void ModelAssetsRecompile();
// Set by the font module at its start; not reset by ModelStart.
void ModelSetFontRebuild(ModelFontRebuildProc procedure);

// --- Stand-alone display image ------------------------------------------
// The image drawn alone on the display by ModelDisplayImageRender; empty: none.
void ModelDisplayImageSet(int32_t display, const std::string& fileName);
// Draws each display's image alone as a whole frame, filling the display.
void ModelDisplayImageRender();

// --- Creating and destroying models ----------------------------------------
// Null for a display without an entry or a type other than 1 and 2.
Model* ModelNew(int32_t display, int32_t type);
// ".MS3D" files and the image files ImageSupported names; null otherwise.
Model* ModelOpen(int32_t display, const std::string& fileName, bool linear = false);
// Textured quads over the image's tiles (tiled, clamped), named and compiled.
Model* ModelOpenImage(int32_t display, const std::string& fileName, bool linear);
// The same from an image in memory; the procedure rebuilds its texture later.
Model* ModelOpenImage(int32_t display, const ImageFrame* image, ModelRebuildProc rebuild,
                      bool linear = false);
// An untextured compiled model of a MilkShape 3D file's vertices and faces.
Model* ModelOpenMS3D(int32_t display, const std::string& fileName);
// Deletes the display list, releases the model's textures, frees the record.
void ModelClose(Model*& model);

// --- Editing geometry (negative indices are ignored) -----------------------
// Store at an index, growing the array with zero entries.
void ModelVertexSet(Model* model, int32_t index, float x, float y, float z);
void ModelTexCoordSet(Model* model, int32_t index, float u, float v);
// Refused unless the three vertices exist; holds a reference on each new texture.
void ModelTriangleSet(Model* model, int32_t index, const ModelTriangle& triangle);
// Refused unless both vertices exist.
void ModelLineSet(Model* model, int32_t index, const ModelLine& line);
// Zero or empty for a bad index.
ModelVertex ModelVertexGet(const Model* model, int32_t index);
ModelTexCoord ModelTexCoordGet(const Model* model, int32_t index);
ModelTriangle ModelTriangleGet(const Model* model, int32_t index);
int32_t ModelVertexCount(const Model* model);
int32_t ModelTriangleCount(const Model* model);
void ModelTranslate(Model* model, float dx, float dy, float dz);  // every vertex
void ModelScale(Model* model, float factor);                      // every vertex
void ModelTexCoordScale(Model* model, float su, float sv);
void ModelTexCoordOffset(Model* model, float du, float dv);
void ModelVerticesSave(Model* model);
void ModelVerticesRestore(Model* model);  // only when the counts agree
// Extent of the vertices in x (y); 0 without vertices.
float ModelWidth(const Model* model);
float ModelHeight(const Model* model);

// --- Placement and appearance ------------------------------------------------
void ModelSetPosition(Model* model, float x, float y, float z);
void ModelMove(Model* model, float dx, float dy, float dz);
ModelVertex ModelGetPosition(const Model* model);
void ModelRotate(Model* model, float degrees);  // adds to the rotation about z
void ModelSetColor(Model* model, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void ModelSetName(Model* model, const std::string& name);

// --- Compiling and drawing -------------------------------------------------------
// Compiles a compilable model into a display list ("-nocompile": never).
void ModelCompile(Model* model);
// Draws on the model's display, which the caller has made current.
void ModelRender(const Model* model);

// --- Textures --------------------------------------------------------------------
// The display's texture of that file name (ignoring case), or null.
ModelTexture* ModelTextureFind(int32_t display, const std::string& fileName);
// The existing texture of that name, or a new one from the image file.
ModelTexture* ModelTextureGet(int32_t display, const std::string& fileName, bool tiled, bool repeat,
                              bool linear);
// A new texture of the image (named after it); repeat applies only untiled.
ModelTexture* ModelTextureExtract(int32_t display, const ImageFrame* image, bool tiled, bool repeat,
                                  bool linear);
// A new texture without tiles, filled tile by tile (the font module's glyph pages).
ModelTexture* ModelTextureNew(int32_t display, const std::string& fileName, int32_t bitsPerPixel);
void ModelTextureAddRef(ModelTexture* texture);
// Binds the texture's first tile on the active texture unit (none for null).
void ModelTextureBind(const ModelTexture* texture);
// Counts down, deletes the texture at zero, and clears the handle.
void ModelTextureRelease(ModelTexture*& texture);
ModelSize ModelTextureSize(const ModelTexture* texture);        // the image size
std::string ModelTextureFileName(const ModelTexture* texture);  // empty for none
int32_t ModelTextureDisplay(const ModelTexture* texture);       // -1 for none
int32_t ModelTextureTileCount(const ModelTexture* texture);     // 0 for none
void ModelTextureSetLinear(ModelTexture* texture, bool linear);
void ModelTextureSetRepeat(ModelTexture* texture, bool repeat);
void ModelTextureSetTileSize(ModelTexture* texture, int32_t width, int32_t height);
void ModelTextureSetRebuild(ModelTexture* texture, ModelRebuildProc procedure);
// Appends a tile with a new OpenGL name; its index, -1 for no texture.
int32_t ModelTextureTileAdd(ModelTexture* texture);
// Uploads rows x columns pixels (0xAARRGGBB) into a tile; false when refused.
bool ModelTextureTileUpload(ModelTexture* texture, int32_t tile,
                            const std::vector<uint32_t>& pixels, int32_t rows, int32_t columns);

// --- Diagnostics -----------------------------------------------------------
// What the tables hold now, over every display, for leak checks and the
// resource report.
int32_t ModelCount();         // models
int32_t ModelTextureCount();  // textures
