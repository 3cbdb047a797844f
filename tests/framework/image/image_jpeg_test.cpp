#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "framework/image/image_jpeg_internal.h"
#include "tests/framework/image/image_peers.h"
#include "tests/support/allocation_probe.h"

namespace {

struct JpegCase {
  const char* name;
  int32_t width;
  int32_t height;
  JpegSettings settings;
};

// Largest difference of any channel between our pixels and the peer's.
int MaxChannelDifference(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& peer) {
  int worst = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int a = static_cast<int>((ours[i] >> shift) & 0xFF);
      const int b = static_cast<int>((peer[i] >> shift) & 0xFF);
      worst = std::max(worst, std::abs(a - b));
    }
  }
  return worst;
}

class JpegAgainstPeer : public ::testing::TestWithParam<JpegCase> {};

TEST_P(JpegAgainstPeer, PixelsStayWithinTwoOfLibjpegTurbo) {
  const JpegCase& c = GetParam();
  const Bytes file = JpegEncode(PhotoLikeRgb(c.width, c.height, 7), c.width, c.height, c.settings);
  int32_t peerWidth = 0, peerHeight = 0;
  const std::vector<uint32_t> peer = JpegDecodePeer(file, peerWidth, peerHeight);

  OwnedImage image;
  ReadFromMemory(ImageJpegRead, file, ImageFrameNew(image.first));
  const ImageFrame& frame = *image.first;
  ASSERT_EQ(frame.width, peerWidth);
  ASSERT_EQ(frame.height, peerHeight);
  EXPECT_EQ(frame.loaded, 1);
  EXPECT_EQ(frame.placeholder, 0);
  EXPECT_EQ(frame.bitsPerPixel, 24);
  ASSERT_EQ(frame.pixels.size(), peer.size());
  EXPECT_LE(MaxChannelDifference(frame.pixels, peer), 2);
  for (uint32_t pixel : frame.pixels) {
    ASSERT_EQ(pixel >> 24, 0u) << "no alpha in a JPEG";
  }
}

JpegSettings Sampling(int h, int v, int restartRows = 0, int quality = 90) {
  JpegSettings s;
  s.hSampling = h;
  s.vSampling = v;
  s.restartRows = restartRows;
  s.quality = quality;
  return s;
}

JpegSettings Grey(int restartRows = 0, int sampling = 1) {
  JpegSettings s;
  s.grey = true;
  s.hSampling = sampling;
  s.vSampling = sampling;
  s.restartRows = restartRows;
  return s;
}

JpegSettings SeparateScans(int h, int v, int restartRows = 0) {
  JpegSettings s = Sampling(h, v, restartRows);
  s.separateScans = true;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Baseline, JpegAgainstPeer,
    ::testing::Values(
        JpegCase{"s444", 64, 48, Sampling(1, 1)}, JpegCase{"s422", 64, 48, Sampling(2, 1)},
        JpegCase{"s420", 64, 48, Sampling(2, 2)}, JpegCase{"s440", 64, 48, Sampling(1, 2)},
        JpegCase{"grey", 64, 48, Grey()}, JpegCase{"s444odd", 17, 9, Sampling(1, 1)},
        JpegCase{"s422odd", 17, 9, Sampling(2, 1)}, JpegCase{"s420odd", 17, 9, Sampling(2, 2)},
        JpegCase{"greyodd", 17, 9, Grey()}, JpegCase{"onePixel", 1, 1, Sampling(2, 2)},
        JpegCase{"s420large", 1023, 767, Sampling(2, 2)},
        JpegCase{"s422large", 1023, 767, Sampling(2, 1)},
        JpegCase{"restart420", 1023, 767, Sampling(2, 2, 1)},
        JpegCase{"restart444", 17, 9, Sampling(1, 1, 1)}, JpegCase{"restartGrey", 333, 97, Grey(2)},
        JpegCase{"quality100", 129, 65, Sampling(2, 2, 0, 100)},
        JpegCase{"quality10", 129, 65, Sampling(2, 2, 0, 10)},
        JpegCase{"greySampled", 45, 37, Grey(0, 2)},
        JpegCase{"scans420", 45, 37, SeparateScans(2, 2)},
        JpegCase{"scans422Restart", 45, 37, SeparateScans(2, 1, 1)}),
    [](const ::testing::TestParamInfo<JpegCase>& info) { return std::string(info.param.name); });

TEST(JpegReader, ProgressiveFileYieldsNoPixels) {
  JpegSettings s;
  s.progressive = true;
  const Bytes file = JpegEncode(PhotoLikeRgb(40, 30, 3), 40, 30, s);
  OwnedImage image;
  ReadFromMemory(ImageJpegRead, file, ImageFrameNew(image.first));
  EXPECT_TRUE(image.first->pixels.empty());
  EXPECT_EQ(image.first->width, 0);
  EXPECT_EQ(image.first->loaded, 0);
  EXPECT_EQ(image.first->placeholder, 0);
}

TEST(JpegReader, NotAJpegYieldsNoPixels) {
  const Bytes file = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  OwnedImage image;
  ReadFromMemory(ImageJpegRead, file, ImageFrameNew(image.first));
  EXPECT_TRUE(image.first->pixels.empty());
  EXPECT_EQ(image.first->loaded, 0);
}

// Offset of the first byte after the scan header.
size_t ScanDataStart(const Bytes& file) {
  for (size_t i = 2; i + 3 < file.size();) {
    const size_t length = static_cast<size_t>(file[i + 2]) << 8 | file[i + 3];
    if (file[i + 1] == 0xDA) {
      return i + 2 + length;
    }
    i += 2 + length;
  }
  return file.size();
}

TEST(JpegReader, TruncatedScanKeepsTheRowsDecodedBeforeTheCut) {
  const Bytes whole = JpegEncode(PhotoLikeRgb(64, 64, 5), 64, 64, Sampling(1, 1));
  int32_t w = 0, h = 0;
  const std::vector<uint32_t> peer = JpegDecodePeer(whole, w, h);
  const size_t start = ScanDataStart(whole);
  const Bytes cut(whole.begin(),
                  whole.begin() + static_cast<long>(start + (whole.size() - start) / 2));

  OwnedImage image;
  ReadFromMemory(ImageJpegRead, cut, ImageFrameNew(image.first));
  const ImageFrame& frame = *image.first;
  ASSERT_EQ(frame.width, 64);
  ASSERT_EQ(frame.pixels.size(), peer.size());
  // The first block row was decoded in full; the last one was never reached.
  const std::vector<uint32_t> firstRows(frame.pixels.begin(), frame.pixels.begin() + 64 * 8);
  EXPECT_LE(MaxChannelDifference(firstRows, {peer.begin(), peer.begin() + 64 * 8}), 2);
  const std::vector<uint32_t> lastRows(frame.pixels.end() - 64 * 8, frame.pixels.end());
  EXPECT_GT(MaxChannelDifference(lastRows, {peer.end() - 64 * 8, peer.end()}), 2);
}

TEST(JpegReader, CorruptEntropyDataStaysInsideTheImage) {
  const Bytes whole = JpegEncode(PhotoLikeRgb(48, 40, 9), 48, 40, Sampling(2, 2, 1));
  const size_t start = ScanDataStart(whole);
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Bytes broken = whole;
    for (size_t i = start; i + 2 < broken.size(); i += 1 + seed % 7) {
      broken[i] = static_cast<uint8_t>(broken[i] * 31 + seed);
    }
    OwnedImage image;
    ReadFromMemory(ImageJpegRead, broken, ImageFrameNew(image.first));
    EXPECT_EQ(image.first->width, 48);
    EXPECT_EQ(image.first->pixels.size(), 48u * 40u);
  }
}

// Offset of the first Huffman table segment's length counts.
size_t FirstHuffmanCounts(const Bytes& file) {
  for (size_t i = 2; i + 3 < file.size();) {
    if (file[i + 1] == 0xC4) {
      return i + 5;
    }
    i += 2 + (static_cast<size_t>(file[i + 2]) << 8 | file[i + 3]);
  }
  return file.size();
}

TEST(JpegReader, HuffmanCountsThatAreNoPrefixCodeStopDecoding) {
  Bytes file = JpegEncode(PhotoLikeRgb(16, 16, 1), 16, 16, Sampling(1, 1));
  const size_t counts = FirstHuffmanCounts(file);
  ASSERT_LT(counts + 16, file.size());
  file[counts] = 3;  // three codes of one bit
  OwnedImage image;
  ReadFromMemory(ImageJpegRead, file, ImageFrameNew(image.first));
  // The frame was read before the tables, so the size stands; no block was
  // decoded, so every pixel is the neutral grey of empty blocks.
  ASSERT_EQ(image.first->pixels.size(), 16u * 16u);
  for (uint32_t pixel : image.first->pixels) {
    ASSERT_EQ(pixel, 0x808080u);
  }
}

TEST(JpegReader, HugeFrameInATinyFileAllocatesNothingLarge) {
  Bytes file = JpegEncode(PhotoLikeRgb(8, 8, 1), 8, 8, Sampling(1, 1));
  for (size_t i = 2; i + 8 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xC0) {
      file[i + 5] = file[i + 6] = file[i + 7] = file[i + 8] = 0xFF;  // 65535 x 65535
    }
  }
  AllocationProbeReset();
  OwnedImage image;
  ReadFromMemory(ImageJpegRead, file, ImageFrameNew(image.first));
  EXPECT_TRUE(image.first->pixels.empty());
  EXPECT_LT(AllocationProbeLargest(), 1u << 20);
}

// The inverse DCT is built twice and the processor picks one; both must give
// the same samples, including for coefficients at the limits a broken file
// reaches, where the values between the passes are held.
TEST(JpegIdct, BothBuildsGiveTheSameSamples) {
  if (!__builtin_cpu_supports("avx2")) {
    GTEST_SKIP() << "no AVX2 on this processor";
  }
  std::mt19937 random(11);
  constexpr int32_t kStride = 12;
  for (int block = 0; block < 4000; ++block) {
    alignas(32) int16_t coefficients[64] = {};
    // Few low frequencies, dense blocks, and blocks at the extremes.
    const int kind = block % 4;
    const int count = kind == 0 ? 3 : 64;
    const int limit = kind == 1 ? 64 : 2048;
    for (int i = 0; i < count; ++i) {
      const int at = kind == 0 ? static_cast<int>(random() % 20) : i;
      int value = static_cast<int>(random() % (2 * limit)) - limit;
      if (kind == 3) {
        value = random() % 2 == 0 ? -2048 : 2047;
      }
      coefficients[at] = static_cast<int16_t>(value);
    }
    uint8_t portable[8 * kStride], avx2[8 * kStride];
    std::memset(portable, 7, sizeof(portable));
    std::memset(avx2, 7, sizeof(avx2));
    JpegIdctPortable(coefficients, false, portable, kStride);
    JpegIdctAvx2(coefficients, false, avx2, kStride);
    ASSERT_EQ(std::memcmp(portable, avx2, sizeof(portable)), 0) << "block " << block;
  }
}

}  // namespace
