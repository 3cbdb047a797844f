// Every writer at every depth checked by a peer: each file is converted by
// ImageMagick's convert and its pixels compared with the frame's, and our own
// reader must read the same pixels from it. The frames carry no palette, as
// frames made in code (screenshots, generated pictures) do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "tests/framework/image/image_peers.h"
#include "tests/support/testsupport.h"

namespace {

using Writer = void (*)(const ImageFrame*, UtilitiesByteWriter&);
using Reader = void (*)(ImageSource&, ImageFrame*&);

struct WriterCase {
  const char* extension;
  Writer write;
  Reader read;
  int depth;        // the frame's bits per pixel
  int colours;      // distinct colours in the frame; 0 for a photograph
  int storedDepth;  // the depth the file holds, as our reader reports it
};

void IconWrite(const ImageFrame* frame, UtilitiesByteWriter& out) {
  ImageIconWrite(frame, false, out);
}
void IconRead(ImageSource& source, ImageFrame*& image) {
  ImageIconRead(source, image, image, 0, -1);
}
template <FrameReader reader>
void FrameRead(ImageSource& source, ImageFrame*& image) {
  reader(source, image);
}

constexpr int32_t kWidth = 61;  // odd, so that rows are padded
constexpr int32_t kHeight = 47;

// The frame of a case: `colours` colours in a pattern that uses each of them,
// or a photograph; opaque.
void MakeFrame(const WriterCase& c, ImageFrame* frame) {
  FillPhotoLike(frame, kWidth, kHeight, c.depth, 9, c.depth == 32 ? 0xFF : 0);
  if (c.colours == 0) {
    return;
  }
  for (size_t i = 0; i < frame->pixels.size(); ++i) {
    const auto k = static_cast<uint32_t>((i * 7 + i / kWidth) % static_cast<size_t>(c.colours));
    frame->pixels[i] = (frame->pixels[i] & 0xFF000000) | (NoiseHash(k + 1) & 0x00FFFFFF);
  }
}

// The colour a stored pixel holds: 16 bits keep 5 bits of each channel.
uint32_t StoredColour(uint32_t pixel, int storedDepth) {
  if (storedDepth != 16) {
    return pixel & 0x00FFFFFF;
  }
  const auto five = [pixel](int shift) { return ((pixel >> shift) & 0xFF) >> 3; };
  return five(16) * 255 / 31 << 16 | five(8) * 255 / 31 << 8 | five(0) * 255 / 31;
}

// Converts the file with ImageMagick to 8-bit RGB. A missing convert or a
// file it refuses fails the test: the check must not be skipped.
std::vector<uint32_t> ImageMagickPixels(const std::string& path, int32_t& width, int32_t& height) {
  const std::string ppm = path + ".ppm";
  const std::string command = "convert '" + path + "[0]' -depth 8 ppm:'" + ppm + "'";
  const int status = std::system(command.c_str());
  if (status != 0) {
    ADD_FAILURE() << "ImageMagick's convert failed (" << status << ") on " << path
                  << "; scripts/setup installs the imagemagick package";
    return {};
  }
  std::istringstream in(ReadWholeFile(ppm));
  std::string magic;
  int maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  std::vector<uint32_t> pixels;
  char rgb[3];
  while (magic == "P6" && maximum == 255 && in.read(rgb, 3)) {
    pixels.push_back(static_cast<uint32_t>(static_cast<uint8_t>(rgb[0])) << 16 |
                     static_cast<uint32_t>(static_cast<uint8_t>(rgb[1])) << 8 |
                     static_cast<uint8_t>(rgb[2]));
  }
  return pixels;
}

// The largest difference of the two colours' red, green and blue.
int32_t ChannelDistance(uint32_t a, uint32_t b) {
  int32_t distance = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    distance = std::max(distance, std::abs(static_cast<int32_t>((a >> shift) & 0xFF) -
                                           static_cast<int32_t>((b >> shift) & 0xFF)));
  }
  return distance;
}

void PrintTo(const WriterCase& c, std::ostream* out) {
  *out << c.extension << " of " << c.depth << " bits, " << c.colours << " colours";
}

class WriterInImageMagick : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WriterInImageMagick, FileShowsTheFramesColours) {
  const WriterCase& c = GetParam();
  OwnedImage source;
  ImageFrame* frame = ImageFrameNew(source.first);
  MakeFrame(c, frame);
  UtilitiesByteWriter out;
  c.write(frame, out);
  TempFolder folder;
  const std::string path = folder.write(std::string("picture.") + c.extension, out.bytes);

  int32_t width = 0, height = 0;
  const std::vector<uint32_t> peer = ImageMagickPixels(path, width, height);
  ASSERT_EQ(width, kWidth);
  ASSERT_EQ(height, kHeight);
  ASSERT_EQ(peer.size(), frame->pixels.size());

  OwnedImage back;
  ImageFrameNew(back.first);
  ImageMemorySource memory(reinterpret_cast<const uint8_t*>(out.bytes.data()),
                           static_cast<int32_t>(out.bytes.size()));
  c.read(memory, back.first);
  ASSERT_EQ(back.first->placeholder, 0);
  EXPECT_EQ(back.first->bitsPerPixel, c.storedDepth);
  ASSERT_EQ(back.first->pixels.size(), peer.size());

  // More colours than the palette holds are reduced; otherwise exact.
  // ImageMagick rounds where we truncate when it widens 5-bit channels.
  const bool quantised = c.colours == 0 && c.storedDepth <= 8;
  const int32_t peerTolerance = c.storedDepth == 16 ? 1 : 0;
  uint64_t errorSum = 0;
  int32_t errorMax = 0;
  for (size_t i = 0; i < peer.size(); ++i) {
    const uint32_t ours = back.first->pixels[i] & 0x00FFFFFF;
    ASSERT_LE(ChannelDistance(ours, peer[i]), peerTolerance) << "pixel " << i;
    const uint32_t expected = StoredColour(frame->pixels[i], c.storedDepth);
    if (!quantised) {
      ASSERT_EQ(ours, expected) << "pixel " << i;
      continue;
    }
    const int32_t error = ChannelDistance(ours, expected);
    errorSum += static_cast<uint64_t>(error);
    errorMax = std::max(errorMax, error);
  }
  if (quantised) {
    // ImageMagick's own reduction of this picture to 256 colours is off by
    // 8.8 on average and 28 at most (largest channel difference).
    EXPECT_LE(static_cast<double>(errorSum) / static_cast<double>(peer.size()), 10.0);
    EXPECT_LE(errorMax, 32);
  }
}

constexpr Reader kBmp = FrameRead<ImageBmpRead>;
constexpr Reader kGif = FrameRead<ImageGifRead>;
constexpr Reader kTga = FrameRead<ImageTgaRead>;

INSTANTIATE_TEST_SUITE_P(Writers, WriterInImageMagick,
                         ::testing::Values(WriterCase{"bmp", ImageBmpWrite, kBmp, 1, 2, 1},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 2, 4, 4},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 4, 16, 4},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 8, 256, 8},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 8, 0, 8},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 16, 0, 16},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 24, 0, 24},
                                           WriterCase{"bmp", ImageBmpWrite, kBmp, 32, 0, 32},
                                           WriterCase{"ico", IconWrite, IconRead, 1, 2, 1},
                                           WriterCase{"ico", IconWrite, IconRead, 2, 4, 4},
                                           WriterCase{"ico", IconWrite, IconRead, 4, 16, 4},
                                           WriterCase{"ico", IconWrite, IconRead, 8, 256, 8},
                                           WriterCase{"ico", IconWrite, IconRead, 16, 0, 24},
                                           WriterCase{"ico", IconWrite, IconRead, 24, 0, 24},
                                           WriterCase{"ico", IconWrite, IconRead, 32, 0, 32},
                                           WriterCase{"gif", ImageGifWrite, kGif, 1, 2, 1},
                                           WriterCase{"gif", ImageGifWrite, kGif, 2, 4, 2},
                                           WriterCase{"gif", ImageGifWrite, kGif, 4, 16, 4},
                                           WriterCase{"gif", ImageGifWrite, kGif, 8, 256, 8},
                                           WriterCase{"gif", ImageGifWrite, kGif, 24, 256, 8},
                                           WriterCase{"gif", ImageGifWrite, kGif, 24, 0, 8},
                                           WriterCase{"tga", ImageTgaWrite, kTga, 16, 0, 16},
                                           WriterCase{"tga", ImageTgaWrite, kTga, 24, 0, 24},
                                           WriterCase{"tga", ImageTgaWrite, kTga, 32, 0, 32}),
                         [](const ::testing::TestParamInfo<WriterCase>& info) {
                           const WriterCase& c = info.param;
                           return std::string(c.extension) + std::to_string(c.depth) + "Bits" +
                                  (c.colours > 0 ? std::to_string(c.colours) + "Colours" : "Photo");
                         });

}  // namespace
