// Texture records of a display: finding, loading and extracting images into
// tiles, reference counts, flags, and uploads into OpenGL.
#include <GL/gl.h>

#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/utilities/utilities.h"

namespace {

// Leaves the bound texture and the pixel unpacking as the caller had them.
class TextureStateKeeper {
 public:
  TextureStateKeeper() {
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound_);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  }
  ~TextureStateKeeper() {
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound_));
  }
  TextureStateKeeper(const TextureStateKeeper&) = delete;
  TextureStateKeeper& operator=(const TextureStateKeeper&) = delete;

 private:
  GLint bound_ = 0;
};

// Filtering and wrapping of the bound texture.
void SetParameters(const ModelTexture& texture) {
  const GLint filter = texture.linear ? GL_LINEAR : GL_NEAREST;
  const GLint wrap = texture.repeat ? GL_REPEAT : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

// Uploads width x height pixels into the tile, giving it an OpenGL texture
// when it has none. The texture's display is current.
void UploadTile(const ModelTexture& texture, ModelTile& tile, const uint32_t* pixels, int32_t width,
                int32_t height) {
  TextureStateKeeper keeper;
  if (tile.name == 0) {
    GLuint name = 0;
    glGenTextures(1, &name);
    tile.name = name;
  }
  glBindTexture(GL_TEXTURE_2D, tile.name);
  SetParameters(texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of three-byte pixels are not padded
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  const bool alpha = texture.bitsPerPixel == 32;
  const std::vector<uint8_t> bytes =
      ModelUploadBytes(pixels, static_cast<size_t>(width) * static_cast<size_t>(height), alpha);
  const GLenum format = alpha ? GL_RGBA : GL_RGB;
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
               GL_UNSIGNED_BYTE, bytes.data());
  tile.textureWidth = width;
  tile.textureHeight = height;
}

// Asks the current context whether it holds a texture of a size, on a scratch
// texture made at the first question.
class TileProbe {
 public:
  TileProbe() = default;
  ~TileProbe() {
    if (scratch_ != 0) {
      glDeleteTextures(1, &scratch_);
    }
  }
  TileProbe(const TileProbe&) = delete;
  TileProbe& operator=(const TileProbe&) = delete;

  bool Holds(ModelSize size) {
    if (scratch_ == 0) {
      glGenTextures(1, &scratch_);
      glBindTexture(GL_TEXTURE_2D, scratch_);
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width, size.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    // Too large is GL_INVALID_VALUE; a size the context has no memory for
    // cannot be used either.
    return glGetError() == GL_NO_ERROR;
  }

 private:
  TextureStateKeeper keeper_;
  GLuint scratch_ = 0;
};

ModelTexture& NewRecord(ModelDisplay& display, const std::string& fileName) {
  ModelTexture& texture = display.textures.emplace_back();
  texture.self = std::prev(display.textures.end());
  texture.display = display.id;
  texture.fileName = fileName;
  return texture;
}

// Cuts the image into bordered tiles no larger than the context holds (any
// size without a context: the tiles are uploaded once one exists).
void LayOutTiles(ModelTexture& texture, bool current) {
  ModelSize limit{ModelTileStart(texture.width), ModelTileStart(texture.height)};
  if (current) {
    TileProbe probe;
    limit = ModelTileLimit(texture.width, texture.height,
                           [&probe](ModelSize size) { return probe.Holds(size); });
  }
  ModelTileLayout layout = ModelTileLayoutMake(texture.width, texture.height, limit);
  texture.tiles = std::move(layout.tiles);
  texture.tileRows = layout.rows;
  texture.tileColumns = layout.columns;
  texture.tileWidth = limit.width;
  texture.tileHeight = limit.height;
}

// One tile of exactly the image's size.
void LayOutWhole(ModelTexture& texture) {
  ModelTile tile;
  tile.x2 = texture.width - 1;
  tile.y2 = texture.height - 1;
  tile.textureWidth = texture.width;
  tile.textureHeight = texture.height;
  texture.tiles = {tile};
  texture.tileRows = 1;
  texture.tileColumns = 1;
  texture.tileWidth = texture.width;
  texture.tileHeight = texture.height;
}

void ApplyParameters(ModelTexture& texture) {
  if (!ModelDisplayCurrent(texture.display)) {
    return;
  }
  TextureStateKeeper keeper;
  for (const ModelTile& tile : texture.tiles) {
    if (tile.name != 0) {
      glBindTexture(GL_TEXTURE_2D, tile.name);
      SetParameters(texture);
    }
  }
}

}  // namespace

bool ModelImageUsable(const ImageFrame* image) {
  if (image == nullptr || image->placeholder != 0 || image->width <= 0 || image->height <= 0) {
    return false;
  }
  const auto needed = static_cast<uint64_t>(image->width) * static_cast<uint64_t>(image->height);
  return image->pixels.size() >= needed;
}

void ModelTextureUploadImage(ModelTexture& texture, const ImageFrame& image) {
  for (ModelTile& tile : texture.tiles) {
    tile.name = 0;  // a name of the lost context means nothing in this one
    if (texture.tiled) {
      const std::vector<uint32_t> pixels = ModelTilePixels(image, tile);
      UploadTile(texture, tile, pixels.data(), tile.textureWidth, tile.textureHeight);
    } else {
      UploadTile(texture, tile, image.pixels.data(), image.width, image.height);
    }
  }
}

void ModelTextureFreeNames(ModelTexture& texture, bool current) {
  for (ModelTile& tile : texture.tiles) {
    if (current && tile.name != 0) {
      const GLuint name = tile.name;
      glDeleteTextures(1, &name);
    }
    tile.name = 0;
  }
}

void ModelTextureDelete(ModelTexture* texture) {
  ModelTextureFreeNames(*texture, ModelDisplayCurrent(texture->display));
  ModelDisplayFind(texture->display)->textures.erase(texture->self);
}

// --- Finding and making textures ---------------------------------------------------

ModelTexture* ModelTextureFind(int32_t display, const std::string& fileName) {
  ModelDisplay* entry = ModelDisplayFind(display);
  if (entry == nullptr) {
    return nullptr;
  }
  const std::string wanted = UtilitiesUpperCase(fileName);
  for (ModelTexture& texture : entry->textures) {
    if (UtilitiesUpperCase(texture.fileName) == wanted) {
      return &texture;
    }
  }
  return nullptr;
}

ModelTexture* ModelTextureGet(int32_t display, const std::string& fileName, bool tiled, bool repeat,
                              bool linear) {
  if (ModelDisplayFind(display) == nullptr) {
    return nullptr;
  }
  if (ModelTexture* texture = ModelTextureFind(display, fileName)) {
    return texture;
  }
  ImageFrame* image = nullptr;
  ImageFrameNew(image);
  ImageLoad(fileName, image);
  image->name = fileName;
  ModelTexture* texture = ModelTextureExtract(display, image, tiled, repeat, linear);
  ImageFree(image);
  return texture;
}

ModelTexture* ModelTextureExtract(int32_t display, const ImageFrame* image, bool tiled, bool repeat,
                                  bool linear) {
  ModelDisplay* entry = ModelDisplayFind(display);
  if (entry == nullptr) {
    return nullptr;
  }
  if (!ModelImageUsable(image)) {
    LogError("ModelTextureExtract - Unable to extract image \"" +
             (image != nullptr ? image->name : std::string()) + "\" for model.");
    return nullptr;
  }
  ModelTexture& texture = NewRecord(*entry, image->name);
  texture.width = image->width;
  texture.height = image->height;
  texture.bitsPerPixel = image->bitsPerPixel;
  texture.linear = linear;
  texture.repeat = !tiled && repeat;  // the border of tiles only works clamped
  texture.tiled = tiled;
  const bool current = ModelDisplayCurrent(display);
  if (tiled) {
    LayOutTiles(texture, current);
  } else {
    LayOutWhole(texture);
  }
  if (current) {
    ModelTextureUploadImage(texture, *image);
  }
  return &texture;
}

ModelTexture* ModelTextureNew(int32_t display, const std::string& fileName, int32_t bitsPerPixel) {
  ModelDisplay* entry = ModelDisplayFind(display);
  if (entry == nullptr) {
    return nullptr;
  }
  ModelTexture& texture = NewRecord(*entry, fileName);
  texture.bitsPerPixel = bitsPerPixel;
  return &texture;
}

// --- References ----------------------------------------------------------------------

void ModelTextureAddRef(ModelTexture* texture) {
  if (texture != nullptr) {
    ++texture->references;
  }
}

void ModelTextureBind(const ModelTexture* texture) {
  const bool any = texture != nullptr && !texture->tiles.empty();
  glBindTexture(GL_TEXTURE_2D, any ? texture->tiles.front().name : 0);
}

void ModelTextureRelease(ModelTexture*& texture) {
  if (texture == nullptr) {
    return;
  }
  if (--texture->references <= 0) {
    if (texture->rebuilding) {
      texture->releasedWhileRebuilding = true;
    } else {
      ModelTextureDelete(texture);
    }
  }
  texture = nullptr;
}

// --- Properties ------------------------------------------------------------------------

ModelSize ModelTextureSize(const ModelTexture* texture) {
  return texture != nullptr ? ModelSize{texture->width, texture->height} : ModelSize{};
}

std::string ModelTextureFileName(const ModelTexture* texture) {
  return texture != nullptr ? texture->fileName : std::string();
}

int32_t ModelTextureDisplay(const ModelTexture* texture) {
  return texture != nullptr ? texture->display : -1;
}

int32_t ModelTextureTileCount(const ModelTexture* texture) {
  return texture != nullptr ? static_cast<int32_t>(texture->tiles.size()) : 0;
}

void ModelTextureSetLinear(ModelTexture* texture, bool linear) {
  if (texture != nullptr) {
    texture->linear = linear;
    ApplyParameters(*texture);
  }
}

void ModelTextureSetRepeat(ModelTexture* texture, bool repeat) {
  if (texture != nullptr) {
    texture->repeat = repeat;
    ApplyParameters(*texture);
  }
}

void ModelTextureSetTileSize(ModelTexture* texture, int32_t width, int32_t height) {
  if (texture != nullptr) {
    texture->tileWidth = width;
    texture->tileHeight = height;
  }
}

void ModelTextureSetRebuild(ModelTexture* texture, ModelRebuildProc procedure) {
  if (texture != nullptr) {
    texture->rebuild = std::move(procedure);
  }
}

// --- Tiles filled by the caller -------------------------------------------------------------

int32_t ModelTextureTileAdd(ModelTexture* texture) {
  if (texture == nullptr) {
    return -1;
  }
  ModelTile& tile = texture->tiles.emplace_back();
  if (ModelDisplayCurrent(texture->display)) {
    GLuint name = 0;
    glGenTextures(1, &name);
    tile.name = name;
  }
  return static_cast<int32_t>(texture->tiles.size()) - 1;
}

bool ModelTextureTileUpload(ModelTexture* texture, int32_t tile,
                            const std::vector<uint32_t>& pixels, int32_t rows, int32_t columns) {
  if (texture == nullptr || tile < 0 || tile >= static_cast<int32_t>(texture->tiles.size()) ||
      rows <= 0 || columns <= 0 ||
      pixels.size() < static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns) ||
      !ModelDisplayCurrent(texture->display)) {
    return false;
  }
  UploadTile(*texture, texture->tiles[tile], pixels.data(), columns, rows);
  return true;
}
