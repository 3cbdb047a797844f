#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "tests/framework/image/image_peers.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testsupport.h"

namespace {

// A frame whose colours all come from its palette (first 2^depth entries).
void PalettedPhoto(ImageFrame* frame, int32_t width, int32_t height, int depth) {
  FillPhotoLike(frame, width, height, depth, 8);
  for (uint32_t i = 0; i < 256; ++i) {
    frame->palette[i] = (i * 0x00A3C5E7u) & 0x00FFFFFF;
  }
  for (uint32_t& p : frame->pixels) {
    p = frame->palette[static_cast<size_t>(ImagePaletteNearest(frame, p))];
  }
}

// The pixels a frame of that depth reads back as.
std::vector<uint32_t> Expected(const ImageFrame* frame, int depth) {
  std::vector<uint32_t> pixels = frame->pixels;
  for (uint32_t& p : pixels) {
    if (depth == 16) {
      const auto five = [](uint32_t c) { return (c >> 3) * 255 / 31; };
      p = five((p >> 16) & 0xFF) << 16 | five((p >> 8) & 0xFF) << 8 | five(p & 0xFF);
    } else if (depth != 32) {
      p &= 0x00FFFFFF;
    }
  }
  return pixels;
}

class BmpRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(BmpRoundTrip, WrittenFileReadsBackIdentically) {
  const int depth = GetParam();
  OwnedImage source;
  ImageFrame* frame = ImageFrameNew(source.first);
  if (depth <= 8) {
    PalettedPhoto(frame, 37, 23, depth);
  } else {
    FillPhotoLike(frame, 37, 23, depth, 2, 0x7F);
  }
  OwnedImage back;
  ReadFromMemory(ImageBmpRead, Encode(ImageBmpWrite, frame), ImageFrameNew(back.first));
  EXPECT_EQ(back.first->loaded, 1);
  EXPECT_EQ(back.first->placeholder, 0);
  EXPECT_EQ(back.first->bitsPerPixel, depth == 2 ? 4 : depth);  // 2-bit frames are stored at 4
  EXPECT_EQ(back.first->width, 37);
  EXPECT_EQ(back.first->height, 23);
  EXPECT_EQ(back.first->pixels, Expected(frame, depth));
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTrip, ::testing::Values(1, 2, 4, 8, 16, 24, 32));

class BmpInSdl : public ::testing::TestWithParam<int> {};

TEST_P(BmpInSdl, WrittenFileOpensInSdlWithTheSamePixels) {
  const int depth = GetParam();
  OwnedImage source;
  ImageFrame* frame = ImageFrameNew(source.first);
  if (depth <= 8) {
    PalettedPhoto(frame, 33, 19, depth);
  } else {
    FillPhotoLike(frame, 33, 19, depth, 6);
  }
  const Bytes file = Encode(ImageBmpWrite, frame);
  TempFolder folder;
  const std::string path = folder.write("picture.bmp", std::string(file.begin(), file.end()));
  SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
  ASSERT_NE(loaded, nullptr) << SDL_GetError();
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  ASSERT_NE(argb, nullptr);
  ASSERT_EQ(argb->w, 33);
  ASSERT_EQ(argb->h, 19);
  const std::vector<uint32_t> expected = Expected(frame, depth);
  for (int y = 0; y < argb->h; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(argb->pixels) + y * argb->pitch);
    for (int x = 0; x < argb->w; ++x) {
      ASSERT_EQ(row[x] & 0x00FFFFFF, expected[static_cast<size_t>(y * 33 + x)] & 0x00FFFFFF)
          << x << "," << y;
    }
  }
  SDL_FreeSurface(argb);
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpInSdl, ::testing::Values(1, 4, 8, 24, 32));

// --- Hand-made files ------------------------------------------------------------

void U16(Bytes& b, uint32_t v) {
  b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}
void U32(Bytes& b, uint32_t v) {
  U16(b, v & 0xFFFF);
  U16(b, v >> 16);
}

Bytes BmpHeaders(int32_t width, int32_t height, int depth, uint32_t compression, uint32_t offset,
                 uint32_t coloursUsed = 0) {
  Bytes b = {'B', 'M'};
  U32(b, 0);
  U32(b, 0);
  U32(b, offset);
  U32(b, 40);
  U32(b, static_cast<uint32_t>(width));
  U32(b, static_cast<uint32_t>(height));
  U16(b, 1);
  U16(b, static_cast<uint32_t>(depth));
  U32(b, compression);
  for (int i = 0; i < 3; ++i) {
    U32(b, 0);
  }
  U32(b, coloursUsed);
  U32(b, 0);
  return b;
}

std::vector<uint32_t> Read(const Bytes& file, uint8_t* placeholder = nullptr) {
  OwnedImage image;
  ReadFromMemory(ImageBmpRead, file, ImageFrameNew(image.first));
  if (placeholder != nullptr) {
    *placeholder = image.first->placeholder;
  }
  return image.first->pixels;
}

TEST(BmpReader, BitFieldsScaleEachChannelByItsMask) {
  // 5-6-5: red 0xF800, green 0x07E0, blue 0x001F.
  Bytes file = BmpHeaders(2, 1, 16, 3, 66);
  U32(file, 0xF800);
  U32(file, 0x07E0);
  U32(file, 0x001F);
  U16(file, 0xF800);      // full red
  U16(file, 0x0400 | 1);  // green 32 of 63, blue 1 of 31
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x00FF0000, 32u * 255 / 63 << 8 | 255 / 31}));
}

TEST(BmpReader, SixteenBitsWithoutMasksAreFiveFiveFive) {
  Bytes file = BmpHeaders(1, 1, 16, 0, 54);
  U16(file, 0x7C00 | 0x0010);
  U16(file, 0);
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x00FF0000 | 16 * 255 / 31}));
}

TEST(BmpReader, ZeroMaskReadsAsAMissingChannel) {
  Bytes file = BmpHeaders(1, 1, 16, 3, 66);
  U32(file, 0);
  U32(file, 0x07E0);
  U32(file, 0x001F);
  U16(file, 0xFFFF);
  U16(file, 0);
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x0000FFFF}));
}

TEST(BmpReader, RowsAreBottomUpAndPaddedToFourBytes) {
  Bytes file = BmpHeaders(1, 2, 24, 0, 54);
  file.insert(file.end(), {1, 2, 3, 0, 4, 5, 6, 0});  // bottom row first
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x00060504, 0x00030201}));
}

TEST(BmpReader, NegativeHeightMeansTopRowFirst) {
  Bytes file = BmpHeaders(1, -2, 24, 0, 54);
  file.insert(file.end(), {1, 2, 3, 0, 4, 5, 6, 0});
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x00030201, 0x00060504}));
}

TEST(BmpReader, UsedColourCountSetsThePaletteLengthAndRowsFollowIt) {
  Bytes file = BmpHeaders(3, 1, 4, 0, 0, 2);  // two entries, bogus data offset
  U32(file, 0x00112233);
  U32(file, 0xAA445566);  // the fourth byte is dropped
  file.insert(file.end(), {0x01, 0x00, 0, 0});
  EXPECT_EQ(Read(file), (std::vector<uint32_t>{0x00112233, 0x00445566, 0x00112233}));
}

TEST(BmpReader, RowsStartAtTheDataOffsetWhenItLiesBeyondThePalette) {
  Bytes file = BmpHeaders(8, 1, 1, 0, 54 + 8 + 4);
  U32(file, 0x000000);
  U32(file, 0xFFFFFF);
  U32(file, 0xDEADBEEF);  // a gap before the rows
  file.insert(file.end(), {0xA5, 0, 0, 0});
  EXPECT_EQ(Read(file),
            (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0xFFFFFF, 0, 0xFFFFFF}));
}

TEST(BmpReader, RunLengthCompressionAndOtherMagicGiveThePlaceholder) {
  for (uint32_t compression : {1u, 2u, 4u}) {
    Bytes file = BmpHeaders(1, 1, 8, compression, 54 + 1024);
    file.resize(file.size() + 1024 + 4);
    uint8_t placeholder = 0;
    Read(file, &placeholder);
    EXPECT_EQ(placeholder, 1) << compression;
  }
  Bytes file = BmpHeaders(1, 1, 24, 0, 54);
  file[0] = 'M';
  file.resize(file.size() + 4);
  uint8_t placeholder = 0;
  Read(file, &placeholder);
  EXPECT_EQ(placeholder, 1);
}

TEST(BmpReader, HugeSizeInATinyFileAllocatesNothingLarge) {
  Bytes file = BmpHeaders(65535, 65535, 32, 0, 54);
  file.resize(100);
  AllocationProbeReset();
  uint8_t placeholder = 0;
  Read(file, &placeholder);
  EXPECT_EQ(placeholder, 1);
  EXPECT_LT(AllocationProbeLargest(), 1u << 16);
}

}  // namespace
