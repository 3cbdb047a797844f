// How images are cut into texture tiles: the tile size a context holds, the
// tiles' source blocks, the bordered tile pixels and the upload byte order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/model/model_internal.h"

namespace {

using ::testing::ElementsAre;

// A context that holds textures up to a size on each axis, noting each question.
struct LimitedContext {
  int32_t maximum;
  std::vector<ModelSize> asked;
  bool operator()(ModelSize size) {
    asked.push_back(size);
    return size.width <= maximum && size.height <= maximum;
  }
};

ModelSize LimitOn(LimitedContext& context, int32_t width, int32_t height) {
  return ModelTileLimit(width, height, [&context](ModelSize size) { return context(size); });
}

// Inclusive source columns, inclusive source rows, texture size.
std::vector<int32_t> Describe(const ModelTile& tile) {
  return {tile.x1, tile.x2, tile.y1, tile.y2, tile.textureWidth, tile.textureHeight};
}

// --- Tile size limit --------------------------------------------------------------------

TEST(ModelTileLimitTest, SmallImagesUseTheSmallestTileWithoutAskingTheContext) {
  LimitedContext context{16384, {}};
  EXPECT_EQ(LimitOn(context, 100, 30), (ModelSize{64, 64}));
  EXPECT_TRUE(context.asked.empty());
}

TEST(ModelTileLimitTest, TilesStartAtTheLargestPowerOfTwoWithinTheImage) {
  LimitedContext context{16384, {}};
  EXPECT_EQ(LimitOn(context, 300, 256), (ModelSize{256, 256}));
  EXPECT_EQ(LimitOn(context, 1280, 720), (ModelSize{1024, 512}));
  EXPECT_EQ(LimitOn(context, 1, 129), (ModelSize{64, 128}));
}

TEST(ModelTileLimitTest, AContextLimitHalvesTheHeightFirstThenTheWidth) {
  LimitedContext context{256, {}};
  EXPECT_EQ(LimitOn(context, 300, 40), (ModelSize{256, 64}));
  // The height gives way first, down to the smallest tile, before the width is tried.
  EXPECT_EQ(LimitOn(context, 2000, 1000), (ModelSize{256, 64}));
  EXPECT_EQ(context.asked[1], (ModelSize{1024, 512}));
  EXPECT_EQ(context.asked[4], (ModelSize{1024, 64}));
  EXPECT_EQ(context.asked.back(), (ModelSize{256, 64}));
}

TEST(ModelTileLimitTest, TheSmallestTileIsKeptEvenWhenTheContextRefusesIt) {
  LimitedContext context{32, {}};
  EXPECT_EQ(LimitOn(context, 500, 500), (ModelSize{64, 64}));
}

// --- Tile layout ------------------------------------------------------------------------------

TEST(ModelTileLayoutTest, ANarrowImageTakesTwoSmallTilesInOneRow) {
  const ModelTileLayout layout = ModelTileLayoutMake(100, 30, {64, 64});
  ASSERT_EQ(layout.tiles.size(), 2u);
  EXPECT_EQ(layout.columns, 2);
  EXPECT_EQ(layout.rows, 1);
  EXPECT_THAT(Describe(layout.tiles[0]), ElementsAre(0, 61, 0, 29, 64, 64));
  EXPECT_THAT(Describe(layout.tiles[1]), ElementsAre(62, 99, 0, 29, 64, 64));
}

TEST(ModelTileLayoutTest, TheLastTileOfARowShrinksToWhatRemains) {
  const ModelTileLayout layout = ModelTileLayoutMake(300, 70, {256, 64});
  ASSERT_EQ(layout.columns, 2);
  EXPECT_EQ(layout.rows, 2);
  EXPECT_THAT(Describe(layout.tiles[0]), ElementsAre(0, 253, 0, 61, 256, 64));
  EXPECT_THAT(Describe(layout.tiles[1]), ElementsAre(254, 299, 0, 61, 64, 64));
  EXPECT_THAT(Describe(layout.tiles[3]), ElementsAre(254, 299, 62, 69, 64, 64));
}

TEST(ModelTileLayoutTest, EveryPixelLiesInExactlyOneTileThatHoldsItsBlockAndBorder) {
  const ModelSize sizes[] = {{1, 1}, {62, 62}, {63, 64}, {130, 70}, {1000, 3}, {255, 513}};
  for (const ModelSize size : sizes) {
    const ModelSize limit = ModelTileLimit(size.width, size.height, [](ModelSize) { return true; });
    const ModelTileLayout layout = ModelTileLayoutMake(size.width, size.height, limit);
    std::vector<int> covered(static_cast<size_t>(size.width) * size.height, 0);
    for (const ModelTile& tile : layout.tiles) {
      EXPECT_LE(tile.x2 - tile.x1 + 3, tile.textureWidth);
      EXPECT_LE(tile.y2 - tile.y1 + 3, tile.textureHeight);
      EXPECT_LE(tile.textureWidth, limit.width);
      for (int32_t y = tile.y1; y <= tile.y2; ++y) {
        for (int32_t x = tile.x1; x <= tile.x2; ++x) {
          ++covered[static_cast<size_t>(y) * size.width + x];
        }
      }
    }
    EXPECT_EQ(layout.tiles.size(), static_cast<size_t>(layout.rows * layout.columns));
    EXPECT_THAT(covered, ::testing::Each(1)) << size.width << " x " << size.height;
  }
}

// --- Tile pixels --------------------------------------------------------------------------------

TEST(ModelTilePixelsTest, TheBlockSitsInsideABorderRepeatingItsOwnEdges) {
  ImageFrame image;
  image.width = 5;
  image.height = 4;
  for (uint32_t i = 0; i < 20; ++i) {
    image.pixels.push_back(0xFF000000u | (i / 5) << 8 | i % 5);  // green = row, blue = column
  }
  ModelTile tile;
  tile.x1 = 1;
  tile.x2 = 3;
  tile.y1 = 1;
  tile.y2 = 2;
  tile.textureWidth = 8;
  tile.textureHeight = 6;
  const std::vector<uint32_t> pixels = ModelTilePixels(image, tile);
  ASSERT_EQ(pixels.size(), 48u);
  auto at = [&pixels](int x, int y) { return pixels[static_cast<size_t>(y) * 8 + x]; };
  auto source = [&image](int x, int y) { return image.pixels[static_cast<size_t>(y) * 5 + x]; };
  EXPECT_EQ(at(1, 1), source(1, 1));
  EXPECT_EQ(at(3, 2), source(3, 2));
  EXPECT_EQ(at(2, 0), source(2, 1));  // top border: the block's first row
  EXPECT_EQ(at(2, 3), source(2, 2));  // bottom border: its last row
  EXPECT_EQ(at(0, 2), source(1, 2));  // left border: its first column
  EXPECT_EQ(at(4, 1), source(3, 1));  // right border: its last column
  EXPECT_EQ(at(0, 0), source(1, 1));  // corners: the nearest corner pixel
  EXPECT_EQ(at(4, 3), source(3, 2));
  EXPECT_EQ(at(5, 0), 0u);
  EXPECT_EQ(at(0, 4), 0u);
  EXPECT_EQ(at(7, 5), 0u);
}

// --- Upload bytes -------------------------------------------------------------------------------

TEST(ModelUploadBytesTest, PixelsTurnIntoRedGreenBlueWithAlphaOnlyWhenAsked) {
  const uint32_t pixels[] = {0x80112233u, 0x00FFEEDDu};
  EXPECT_THAT(ModelUploadBytes(pixels, 2, true),
              ElementsAre(0x11, 0x22, 0x33, 0x80, 0xFF, 0xEE, 0xDD, 0x00));
  EXPECT_THAT(ModelUploadBytes(pixels, 2, false), ElementsAre(0x11, 0x22, 0x33, 0xFF, 0xEE, 0xDD));
}

}  // namespace
