#include <gtest/gtest.h>

#include "tests/framework/image/image_peers.h"
#include "tests/support/allocation_probe.h"

namespace {

Bytes TgaHeader(uint8_t type, int32_t width, int32_t height, uint8_t depth) {
  return {0,
          0,
          type,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          static_cast<uint8_t>(width),
          static_cast<uint8_t>(width >> 8),
          static_cast<uint8_t>(height),
          static_cast<uint8_t>(height >> 8),
          depth,
          40};
}

class TgaRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(TgaRoundTrip, WrittenFileReadsBackTheSamePixelsInTheSameOrder) {
  OwnedImage source;
  ImageFrame* frame = ImageFrameNew(source.first);
  const int depth = GetParam();
  FillPhotoLike(frame, 67, 41, depth, 4, depth == 32 ? 0x80 : 0);
  // Flat stretches and long runs so that both packet kinds and the 128 limit occur.
  std::fill(frame->pixels.begin() + 100, frame->pixels.begin() + 400, 0x00123456u);
  if (depth == 16) {
    // Colours that 5-5-5 holds: 8-bit channels widened from 5 bits.
    const auto five = [](uint32_t c) { return (c >> 3) * 255 / 31; };
    for (uint32_t& p : frame->pixels) {
      p = five((p >> 16) & 0xFF) << 16 | five((p >> 8) & 0xFF) << 8 | five(p & 0xFF);
    }
  }
  if (depth == 24) {
    for (uint32_t& p : frame->pixels) {
      p &= 0x00FFFFFF;
    }
  }
  OwnedImage back;
  ReadFromMemory(ImageTgaRead, Encode(ImageTgaWrite, frame), ImageFrameNew(back.first));
  EXPECT_EQ(back.first->loaded, 1);
  EXPECT_EQ(back.first->bitsPerPixel, depth);
  EXPECT_EQ(back.first->width, 67);
  EXPECT_EQ(back.first->height, 41);
  EXPECT_EQ(back.first->pixels, frame->pixels);
}

INSTANTIATE_TEST_SUITE_P(Depths, TgaRoundTrip, ::testing::Values(16, 24, 32));

TEST(TgaWriter, HeaderIsRunLengthTopLeftWithTheFramesDepth) {
  OwnedImage image;
  ImageFrame* frame = ImageFrameNew(image.first);
  FillPhotoLike(frame, 300, 2, 32, 1);
  const Bytes file = Encode(ImageTgaWrite, frame);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), TgaHeader(10, 300, 2, 32));
}

// The packets written for a row of pixels (each pixel one byte at 8 bits
// would be ambiguous, so 24-bit pixels and their first byte identify them).
Bytes Packets(const std::vector<uint32_t>& pixels) {
  OwnedImage image;
  ImageFrame* frame = ImageFrameNew(image.first);
  frame->width = static_cast<int32_t>(pixels.size());
  frame->height = 1;
  frame->bitsPerPixel = 24;
  frame->pixels = pixels;
  const Bytes file = Encode(ImageTgaWrite, frame);
  return Bytes(file.begin() + 18, file.end());
}

TEST(TgaWriter, RepeatsAndRawRunsSplitAsDescribed) {
  // A A A B C C: repeat of 3, raw of 1, repeat of 2.
  EXPECT_EQ(Packets({1, 1, 1, 2, 3, 3}), (Bytes{0x82, 1, 0, 0, 0x00, 2, 0, 0, 0x81, 3, 0, 0}));
  // A B C C: the raw run stops before the C that starts the repeat.
  EXPECT_EQ(Packets({1, 2, 3, 3}), (Bytes{0x01, 1, 0, 0, 2, 0, 0, 0x81, 3, 0, 0}));
  // A single last pixel is a raw packet of one.
  EXPECT_EQ(Packets({5, 5, 6}), (Bytes{0x81, 5, 0, 0, 0x00, 6, 0, 0}));
}

TEST(TgaWriter, PacketsHoldAtMost128Pixels) {
  std::vector<uint32_t> same(200, 9);
  const Bytes repeats = Packets(same);
  EXPECT_EQ(repeats, (Bytes{0xFF, 9, 0, 0, 0xC7, 9, 0, 0}));  // 128 + 72
  std::vector<uint32_t> different(130);
  for (uint32_t i = 0; i < 130; ++i) {
    different[i] = i;
  }
  const Bytes raw = Packets(different);
  ASSERT_EQ(raw.size(), 1 + 128 * 3 + 1 + 2 * 3u);
  EXPECT_EQ(raw[0], 127);
  EXPECT_EQ(raw[1 + 128 * 3], 1);
}

TEST(TgaReader, TwentyFourBitPixelsHaveAlphaZero) {
  Bytes file = TgaHeader(2, 2, 1, 24);
  file.insert(file.end(), {1, 2, 3, 4, 5, 6});
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->bitsPerPixel, 24);
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{0x00030201, 0x00060504}));
}

TEST(TgaReader, ThirtyTwoBitPixelsKeepTheirAlpha) {
  Bytes file = TgaHeader(2, 1, 1, 32);
  file.insert(file.end(), {1, 2, 3, 0x80});
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{0x80030201}));
}

TEST(TgaReader, ColourMappedTypeGivesThePlaceholder) {
  Bytes file = TgaHeader(1, 2, 2, 8);
  file.resize(file.size() + 4 + 768);
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  const ImageFrame& frame = *image.first;
  EXPECT_EQ(frame.placeholder, 1);
  EXPECT_EQ(frame.loaded, 1);
  ASSERT_EQ(frame.width, 16);
  ASSERT_EQ(frame.height, 16);
  EXPECT_EQ(frame.pixels[0], 0x00FF0000u);            // border
  EXPECT_EQ(frame.pixels[16 * 5 + 5], 0x00FF0000u);   // diagonal
  EXPECT_EQ(frame.pixels[16 * 5 + 10], 0x00FF0000u);  // other diagonal
  EXPECT_EQ(frame.pixels[16 * 5 + 7], 0x00FFFFFFu);
}

TEST(TgaReader, LastPacketOverrunningThePixelCountIsCut) {
  Bytes file = TgaHeader(10, 3, 1, 24);
  file.insert(file.end(), {0x01, 1, 1, 1, 2, 2, 2, 0xFF, 7, 7, 7});  // 2 raw, 128 repeats
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{0x010101, 0x020202, 0x070707}));
}

TEST(TgaReader, RunLengthDataEndingEarlyLeavesTheRestZero) {
  Bytes file = TgaHeader(10, 4, 1, 24);
  file.insert(file.end(), {0x03, 1, 1, 1, 2, 2});  // four raw pixels promised, 1.7 given
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->loaded, 1);
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{0x010101, 0, 0, 0}));
}

TEST(TgaReader, UncompressedDataEndingEarlyGivesThePlaceholder) {
  Bytes file = TgaHeader(2, 4, 1, 24);
  file.insert(file.end(), {1, 1, 1, 2, 2});
  OwnedImage image;
  ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->placeholder, 1);
}

TEST(TgaReader, DepthThatIsNotWholeBytesGivesThePlaceholder) {
  for (uint8_t depth : {0, 5, 40}) {
    Bytes file = TgaHeader(2, 1, 1, depth);
    file.resize(file.size() + 8);
    OwnedImage image;
    ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
    EXPECT_EQ(image.first->placeholder, 1) << int{depth};
  }
}

TEST(TgaReader, HugeSizeInATinyFileAllocatesNothingLarge) {
  for (uint8_t type : {2, 10}) {
    Bytes file = TgaHeader(type, 65535, 65535, 32);
    file.resize(100, 0x80);
    AllocationProbeReset();
    OwnedImage image;
    ReadFromMemory(ImageTgaRead, file, ImageFrameNew(image.first));
    EXPECT_EQ(image.first->placeholder, 1);
    EXPECT_LT(AllocationProbeLargest(), 1u << 16);
  }
}

}  // namespace
