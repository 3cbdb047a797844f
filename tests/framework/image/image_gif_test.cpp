#include <gtest/gtest.h>

#include "tests/framework/image/image_peers.h"

namespace {

Bytes PatternIndices(int32_t width, int32_t height, int colours, uint32_t seed) {
  // Runs, repeats and noise, so the LZW table fills and clears.
  Bytes indices(static_cast<size_t>(width) * height);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < indices.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const bool noise = (state >> 28) < 5;
    indices[i] =
        static_cast<uint8_t>(noise ? (state >> 16) % colours : (i / 7 + i / width) % colours);
  }
  return indices;
}

struct GifCase {
  const char* name;
  int32_t width;
  int32_t height;
  GifSettings settings;
};

class GifFromGiflib : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifFromGiflib, DecodesToGiflibsIndicesAndColours) {
  const GifCase& c = GetParam();
  const int bits = c.settings.localBits > 0 ? c.settings.localBits : c.settings.colourBits;
  const Bytes file = GifEncodePeer(PatternIndices(c.width, c.height, 1 << bits, 3), c.width,
                                   c.height, c.settings, 11);
  GifPeerImage peer;
  ASSERT_TRUE(GifDecodePeer(file, peer));

  OwnedImage image;
  ReadFromMemory(ImageGifRead, file, ImageFrameNew(image.first));
  const ImageFrame& frame = *image.first;
  ASSERT_EQ(frame.placeholder, 0);
  EXPECT_EQ(frame.loaded, 1);
  ASSERT_EQ(frame.width, peer.width);
  ASSERT_EQ(frame.height, peer.height);
  EXPECT_EQ(frame.bitsPerPixel, c.settings.transparent >= 0 ? 32 : bits);
  for (size_t i = 0; i < peer.colours.size(); ++i) {
    ASSERT_EQ(frame.palette[i], peer.colours[i]) << "palette entry " << i;
  }
  for (size_t i = 0; i < frame.pixels.size(); ++i) {
    const uint8_t index = peer.indices[i];
    const uint32_t alpha = peer.transparent < 0 ? 0 : index == peer.transparent ? 0 : 0xFF;
    ASSERT_EQ(frame.pixels[i], alpha << 24 | peer.colours[index]) << "pixel " << i;
  }
}

GifSettings Gif(int bits, bool interlaced, int transparent = -1, int localBits = 0) {
  GifSettings s;
  s.colourBits = bits;
  s.interlaced = interlaced;
  s.transparent = transparent;
  s.localBits = localBits;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Giflib, GifFromGiflib,
    ::testing::Values(
        GifCase{"twoColours", 37, 21, Gif(1, false)}, GifCase{"fourColours", 64, 64, Gif(2, false)},
        GifCase{"sixteenInterlaced", 33, 17, Gif(4, true)},
        GifCase{"full", 300, 200, Gif(8, false)}, GifCase{"fullInterlaced", 301, 203, Gif(8, true)},
        GifCase{"transparent", 50, 40, Gif(8, false, 3)},
        GifCase{"transparentInterlaced", 50, 41, Gif(5, true, 0)},
        GifCase{"localTable", 70, 30, Gif(3, false, -1, 6)},
        GifCase{"localTableTransparent", 70, 30, Gif(8, true, 17, 8)},
        GifCase{"tallInterlaced", 3, 11, Gif(2, true)}, GifCase{"onePixel", 1, 1, Gif(1, false)}),
    [](const ::testing::TestParamInfo<GifCase>& info) { return std::string(info.param.name); });

// A frame whose palette lists distinct colours and whose pixels use them.
void PalettedFrame(ImageFrame* frame, int32_t width, int32_t height, int bits, uint32_t seed) {
  frame->width = width;
  frame->height = height;
  frame->bitsPerPixel = static_cast<uint8_t>(bits);
  for (uint32_t i = 0; i < 256; ++i) {
    frame->palette[i] = (i * 0x9E3779B1u + seed) & 0x00FFFFFF;
  }
  const Bytes indices = PatternIndices(width, height, 1 << bits, seed);
  frame->pixels.resize(indices.size());
  for (size_t i = 0; i < indices.size(); ++i) {
    frame->pixels[i] = frame->palette[indices[i]];
  }
}

class GifWriterBits : public ::testing::TestWithParam<int> {};

TEST_P(GifWriterBits, OurFileDecodesInGiflibToTheSamePixels) {
  OwnedImage source;
  PalettedFrame(ImageFrameNew(source.first), 211, 157, GetParam(), 5);
  const Bytes file = Encode(ImageGifWrite, source.first);
  GifPeerImage peer;
  ASSERT_TRUE(GifDecodePeer(file, peer));
  ASSERT_EQ(peer.width, 211);
  ASSERT_EQ(peer.height, 157);
  ASSERT_EQ(peer.colours.size(), size_t{1} << GetParam());
  for (size_t i = 0; i < source.first->pixels.size(); ++i) {
    ASSERT_EQ(peer.colours[peer.indices[i]], source.first->pixels[i]) << "pixel " << i;
  }
  // And back through our own reader.
  OwnedImage back;
  ReadFromMemory(ImageGifRead, file, ImageFrameNew(back.first));
  EXPECT_EQ(back.first->pixels, source.first->pixels);
  EXPECT_EQ(back.first->bitsPerPixel, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Depths, GifWriterBits, ::testing::Values(1, 2, 4, 8));

TEST(GifWriter, TrueColourFrameMapsToTheNearestOfItsWholePalette) {
  OwnedImage source;
  ImageFrame* frame = ImageFrameNew(source.first);
  frame->width = 3;
  frame->height = 1;
  frame->bitsPerPixel = 32;
  frame->palette[0] = 0x000000;
  frame->palette[200] = 0xFF0000;
  frame->palette[255] = 0x00FF00;
  frame->pixels = {0xFFF00505, 0xFF10F010, 0xFF000000};
  GifPeerImage peer;
  ASSERT_TRUE(GifDecodePeer(Encode(ImageGifWrite, frame), peer));
  EXPECT_EQ(peer.indices, (Bytes{200, 255, 0}));
}

TEST(GifReader, UnknownBlockGivesThePlaceholder) {
  Bytes file = GifEncodePeer(PatternIndices(8, 8, 4, 1), 8, 8, Gif(2, false), 2);
  const size_t tableEnd = 13 + 3 * 4;
  file[tableEnd] = 0x42;  // where the image separator stood
  OwnedImage image;
  ReadFromMemory(ImageGifRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->placeholder, 1);
  EXPECT_EQ(image.first->width, 16);
}

TEST(GifReader, WrongSignatureGivesThePlaceholder) {
  Bytes file = GifEncodePeer(PatternIndices(8, 8, 4, 1), 8, 8, Gif(2, false), 2);
  file[4] = '8';  // "GIF88a"
  OwnedImage image;
  ReadFromMemory(ImageGifRead, file, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->placeholder, 1);
}

// Builds a GIF by hand around raw LZW data (one sub-block); colour i is red
// i x 60.
Bytes HandMadeGif(int32_t width, int32_t height, uint8_t minCodeSize, const Bytes& lzw) {
  Bytes file = {
      'G', 'I',  'F', '8', '9', 'a', static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height),
      0,   0x81, 0,   0};
  for (int i = 0; i < 4; ++i) {
    file.insert(file.end(), {static_cast<uint8_t>(i * 60), 0, 0});
  }
  file.insert(file.end(),
              {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height), 0, 0,
               minCodeSize, static_cast<uint8_t>(lzw.size())});
  file.insert(file.end(), lzw.begin(), lzw.end());
  file.insert(file.end(), {0, 0x3B});
  return file;
}

// Packs 3-bit codes (the width after a 2-bit minimum code size).
Bytes PackCodes(const std::vector<uint32_t>& codes) {
  Bytes out;
  uint32_t bits = 0;
  int count = 0;
  for (uint32_t code : codes) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) {
    out.push_back(static_cast<uint8_t>(bits));
  }
  return out;
}

TEST(GifReader, CodeBeyondTheTableGivesThePlaceholder) {
  // clear, 1, then 7: only code 6 could be defined next.
  OwnedImage image;
  ReadFromMemory(ImageGifRead, HandMadeGif(4, 1, 2, PackCodes({4, 1, 7, 5})),
                 ImageFrameNew(image.first));
  EXPECT_EQ(image.first->placeholder, 1);
}

TEST(GifReader, CodeThatRepeatsItsOwnStringDecodes) {
  // clear, 1, 6 (= "1 1", defined by this very code), end: pixels 1 1 1.
  OwnedImage image;
  ReadFromMemory(ImageGifRead, HandMadeGif(3, 1, 2, PackCodes({4, 1, 6, 5})),
                 ImageFrameNew(image.first));
  ASSERT_EQ(image.first->placeholder, 0);
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{60u << 16, 60u << 16, 60u << 16}));
}

TEST(GifReader, DataEndingEarlyLeavesTheRestAtIndexZero) {
  OwnedImage image;
  ReadFromMemory(ImageGifRead, HandMadeGif(4, 2, 2, PackCodes({4, 2, 3, 5})),
                 ImageFrameNew(image.first));
  ASSERT_EQ(image.first->placeholder, 0);
  EXPECT_EQ(image.first->pixels, (std::vector<uint32_t>{120u << 16, 180u << 16, 0, 0, 0, 0, 0, 0}));
}

TEST(GifReader, ImageLargerThanTheScreenIsClippedToIt) {
  Bytes file = GifEncodePeer(PatternIndices(20, 10, 4, 1), 20, 10, Gif(2, false), 2);
  file[6] = 12;  // screen 12 x 6
  file[8] = 6;
  GifPeerImage peer;
  ASSERT_TRUE(GifDecodePeer(file, peer));
  OwnedImage image;
  ReadFromMemory(ImageGifRead, file, ImageFrameNew(image.first));
  ASSERT_EQ(image.first->width, 12);
  ASSERT_EQ(image.first->height, 6);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 12; ++x) {
      ASSERT_EQ(image.first->pixels[static_cast<size_t>(y * 12 + x)],
                peer.colours[peer.indices[static_cast<size_t>(y * 20 + x)]]);
    }
  }
}

}  // namespace
