#include <gtest/gtest.h>

#include "tests/framework/image/image_peers.h"
#include "tests/support/allocation_probe.h"

namespace {

// Run-length codes bytes: runs of two or more, and bytes of 192 and above,
// become a count byte and the value.
void RunLength(const Bytes& line, Bytes& out) {
  for (size_t i = 0; i < line.size();) {
    size_t run = 1;
    while (i + run < line.size() && run < 63 && line[i + run] == line[i]) {
      ++run;
    }
    if (run > 1 || line[i] >= 192) {
      out.push_back(static_cast<uint8_t>(192 | run));
    }
    out.push_back(line[i]);
    i += run;
  }
}

Bytes PcxHeader(uint8_t version, uint8_t bits, uint8_t planes, int32_t width, int32_t height,
                int32_t bytesPerLine) {
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = version;
  h[2] = 1;
  h[3] = bits;
  h[4] = 3;  // xmin 3, ymin 2
  h[6] = 2;
  h[8] = static_cast<uint8_t>(3 + width - 1);
  h[9] = static_cast<uint8_t>((3 + width - 1) >> 8);
  h[10] = static_cast<uint8_t>(2 + height - 1);
  h[11] = static_cast<uint8_t>((2 + height - 1) >> 8);
  h[65] = planes;
  h[66] = static_cast<uint8_t>(bytesPerLine);
  h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
  return h;
}

struct Pcx {
  Bytes file;
  std::vector<uint32_t> pixels;
};

Pcx TrueColour(int32_t width, int32_t height) {
  Pcx pcx;
  const int32_t bytesPerLine = width + (width & 1);
  pcx.file = PcxHeader(5, 8, 3, width, height, bytesPerLine);
  const Bytes rgb = PhotoLikeRgb(width, height, 3);
  for (int32_t y = 0; y < height; ++y) {
    Bytes line(static_cast<size_t>(bytesPerLine) * 3, 0);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
      for (int c = 0; c < 3; ++c) {
        line[static_cast<size_t>(c * bytesPerLine + x)] = p[c];
      }
      pcx.pixels.push_back(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
    }
    RunLength(line, pcx.file);
  }
  return pcx;
}

Pcx Paletted(int32_t width, int32_t height, uint8_t version, bool marker) {
  Pcx pcx;
  pcx.file = PcxHeader(version, 8, 1, width, height, width);
  for (int32_t y = 0; y < height; ++y) {
    Bytes line(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) {
      line[static_cast<size_t>(x)] = static_cast<uint8_t>(x / 3 + y * 7);
    }
    RunLength(line, pcx.file);
  }
  pcx.file.push_back(marker ? 12 : 0);
  for (int i = 0; i < 256; ++i) {
    pcx.file.insert(pcx.file.end(), {static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 9});
  }
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t i = static_cast<uint8_t>(x / 3 + y * 7);
      pcx.pixels.push_back(version == 5 && marker ? (255 - i) << 16 | i << 8 | 9 : i * 0x010101);
    }
  }
  return pcx;
}

ImageFrame Read(const Bytes& file) {
  OwnedImage image;
  ReadFromMemory(ImagePcxRead, file, ImageFrameNew(image.first));
  ImageFrame copy;
  ImageCopy(&copy, image.first);
  return copy;
}

TEST(PcxReader, ThreePlanesGiveRedGreenAndBlue) {
  const Pcx pcx = TrueColour(31, 12);
  const ImageFrame frame = Read(pcx.file);
  EXPECT_EQ(frame.loaded, 1);
  EXPECT_EQ(frame.bitsPerPixel, 24);
  EXPECT_EQ(frame.width, 31);
  EXPECT_EQ(frame.height, 12);
  EXPECT_EQ(frame.pixels, pcx.pixels);
}

TEST(PcxReader, VersionFiveReadsThePaletteBeforeTheEnd) {
  const Pcx pcx = Paletted(20, 6, 5, true);
  const ImageFrame frame = Read(pcx.file);
  EXPECT_EQ(frame.bitsPerPixel, 8);
  EXPECT_EQ(frame.pixels, pcx.pixels);
  EXPECT_EQ(frame.palette[3], (252u << 16) | (3u << 8) | 9u);
}

TEST(PcxReader, MissingMarkerOrOlderVersionUsesAGreyRamp) {
  for (const Pcx& pcx : {Paletted(20, 6, 5, false), Paletted(20, 6, 3, true)}) {
    const ImageFrame frame = Read(pcx.file);
    EXPECT_EQ(frame.pixels, pcx.pixels);
    EXPECT_EQ(frame.palette[200], 200u * 0x010101);
  }
}

TEST(PcxReader, OneBitPlaneIsWhiteOrBlack) {
  Bytes file = PcxHeader(5, 1, 1, 10, 2, 2);
  RunLength({0xA5, 0xC0}, file);
  RunLength({0xFF, 0xFF}, file);
  const ImageFrame frame = Read(file);
  const uint32_t w = 0x00FFFFFF;
  EXPECT_EQ(frame.bitsPerPixel, 1);
  EXPECT_EQ(frame.pixels, (std::vector<uint32_t>{w, 0, w, 0, 0, w, 0, w, w, w,  //
                                                 w, w, w, w, w, w, w, w, w, w}));
  // The palette holds both colours, so that writers and searches find them.
  EXPECT_EQ(frame.palette[0], 0u);
  EXPECT_EQ(frame.palette[1], w);
}

TEST(PcxReader, RunsMayCarryOverIntoTheNextScanLine) {
  Bytes file = PcxHeader(5, 8, 1, 2, 2, 2);
  file.insert(file.end(), {0xC4, 7});  // four sevens cover both lines
  file.push_back(12);
  for (int i = 0; i < 256; ++i) {
    file.insert(file.end(), {0, 0, static_cast<uint8_t>(i)});
  }
  EXPECT_EQ(Read(file).pixels, (std::vector<uint32_t>{7, 7, 7, 7}));
}

TEST(PcxReader, StreamEndingEarlyLeavesTheRestZero) {
  Bytes file = PcxHeader(5, 8, 3, 2, 2, 2);
  file.insert(file.end(), {1, 2, 3, 4, 5});  // one byte short of the first line
  const ImageFrame frame = Read(file);
  EXPECT_EQ(frame.loaded, 1);
  EXPECT_EQ(frame.pixels, (std::vector<uint32_t>{0x010305, 0x020400, 0, 0}));
}

TEST(PcxReader, OtherLayoutsGiveThePlaceholder) {
  for (auto [bits, planes] : {std::pair{4, 1}, std::pair{1, 4}, std::pair{8, 4}, std::pair{2, 1}}) {
    Bytes file = PcxHeader(5, static_cast<uint8_t>(bits), static_cast<uint8_t>(planes), 8, 8, 8);
    file.resize(file.size() + 300, 1);
    EXPECT_EQ(Read(file).placeholder, 1) << bits << "x" << planes;
  }
}

TEST(PcxReader, HugeSizeInATinyFileAllocatesNothingLarge) {
  Bytes file = PcxHeader(5, 8, 3, 1, 1, 65535);
  std::fill(file.begin() + 4, file.begin() + 8, 0);      // xmin, ymin 0
  std::fill(file.begin() + 8, file.begin() + 12, 0xFF);  // xmax, ymax 65535
  file.resize(140, 0xC1);
  AllocationProbeReset();
  EXPECT_EQ(Read(file).placeholder, 1);
  EXPECT_LT(AllocationProbeLargest(), 1u << 16);
}

}  // namespace
