// How an image is cut into texture tiles: the tile size a context can hold,
// the tiles' source blocks, their bordered pixels and the bytes OpenGL takes.
// Nothing here touches OpenGL, so the arithmetic is the same with or without
// a context.
#include <algorithm>

#include "framework/model/model_internal.h"

namespace {

// A tile edge halves while it is above the minimum and the pixels that remain
// would fill less than half of it (less its two border pixels).
int32_t FitEdge(int32_t edge, int64_t remaining) {
  while (edge > kModelTileMinimum && remaining < edge / 2 - 2) {
    edge /= 2;
  }
  return edge;
}

ModelTile TileAt(int64_t x, int64_t y, int32_t width, int32_t height, int32_t tw, int32_t th) {
  ModelTile tile;
  tile.x1 = static_cast<int32_t>(x);
  tile.x2 = static_cast<int32_t>(std::min<int64_t>(x + tw - 3, width - 1));
  tile.y1 = static_cast<int32_t>(y);
  tile.y2 = static_cast<int32_t>(std::min<int64_t>(y + th - 3, height - 1));
  tile.textureWidth = tw;
  tile.textureHeight = th;
  return tile;
}

}  // namespace

int32_t ModelTileStart(int32_t size) {
  int32_t power = kModelTileMinimum;
  while (power <= size / 2) {
    power *= 2;
  }
  return power;
}

ModelSize ModelTileLimit(int32_t width, int32_t height,
                         const std::function<bool(ModelSize)>& accepted) {
  ModelSize limit{ModelTileStart(width), ModelTileStart(height)};
  if (limit.width == kModelTileMinimum && limit.height == kModelTileMinimum) {
    return limit;  // every context holds the smallest tile
  }
  while (limit.height > kModelTileMinimum && !accepted(limit)) {
    limit.height /= 2;
  }
  while (limit.width > kModelTileMinimum && !accepted(limit)) {
    limit.width /= 2;
  }
  return limit;
}

ModelTileLayout ModelTileLayoutMake(int32_t width, int32_t height, ModelSize limit) {
  const int32_t limitWidth = std::max(limit.width, kModelTileMinimum);
  const int32_t limitHeight = std::max(limit.height, kModelTileMinimum);
  ModelTileLayout layout;
  for (int64_t y = 0; y < height;) {
    const int32_t th = FitEdge(limitHeight, height - y);
    for (int64_t x = 0; x < width;) {
      const int32_t tw = FitEdge(limitWidth, width - x);
      layout.tiles.push_back(TileAt(x, y, width, height, tw, th));
      if (layout.rows == 0) {
        ++layout.columns;
      }
      x += tw - 2;  // the next block starts right after this one
    }
    ++layout.rows;
    y += th - 2;
  }
  return layout;
}

std::vector<uint32_t> ModelTilePixels(const ImageFrame& image, const ModelTile& tile) {
  const int32_t tw = tile.textureWidth;
  const int32_t th = tile.textureHeight;
  std::vector<uint32_t> pixels(static_cast<size_t>(tw) * static_cast<size_t>(th), 0);
  // Texture row r and column c show source pixel (c - 1, r - 1) of the block;
  // the border one beyond each edge repeats the nearest edge pixel.
  const int32_t rows = std::min(tile.y2 - tile.y1 + 3, th);
  const int32_t columns = std::min(tile.x2 - tile.x1 + 3, tw);
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t sourceY = std::clamp(tile.y1 + r - 1, tile.y1, tile.y2);
    const uint32_t* source = image.pixels.data() + static_cast<size_t>(sourceY) * image.width;
    uint32_t* target = pixels.data() + static_cast<size_t>(r) * tw;
    for (int32_t c = 0; c < columns; ++c) {
      target[c] = source[std::clamp(tile.x1 + c - 1, tile.x1, tile.x2)];
    }
  }
  return pixels;
}

std::vector<uint8_t> ModelUploadBytes(const uint32_t* pixels, size_t count, bool alpha) {
  const size_t channels = alpha ? 4 : 3;
  std::vector<uint8_t> bytes(count * channels);
  uint8_t* target = bytes.data();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pixel = pixels[i];
    target[0] = static_cast<uint8_t>(pixel >> 16);
    target[1] = static_cast<uint8_t>(pixel >> 8);
    target[2] = static_cast<uint8_t>(pixel);
    if (alpha) {
      target[3] = static_cast<uint8_t>(pixel >> 24);
    }
    target += channels;
  }
  return bytes;
}
