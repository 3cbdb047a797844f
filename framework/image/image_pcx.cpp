// ZSoft PCX: run-length coded scan lines of one 1-bit plane (black and
// white), one 8-bit plane (through a palette) or three 8-bit planes (red,
// green and blue sections of each scan line).
#include <algorithm>

#include "framework/image/image_internal.h"

namespace {

constexpr int32_t kHeaderSize = 128;
constexpr int32_t kPaletteTrailerSize = 769;  // marker 12 and 256 RGB entries
constexpr uint8_t kPaletteMarker = 12;
constexpr uint8_t kRunFlag = 192;
constexpr uint32_t kWhite = 0x00FFFFFF;
// A run of two bytes yields at most 63 bytes of scan line.
constexpr size_t kMaxRunPerByte = 32;

struct PcxHeader {
  uint8_t version = 0;
  uint8_t bitsPerPlane = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t planes = 0;
  int32_t bytesPerLine = 0;
};

PcxHeader ParseHeader(const uint8_t* h) {
  auto u16 = [h](int at) { return h[at] | h[at + 1] << 8; };
  PcxHeader header;
  header.version = h[1];
  header.bitsPerPlane = h[3];
  header.width = u16(8) - u16(4) + 1;
  header.height = u16(10) - u16(6) + 1;
  header.planes = h[65];
  header.bytesPerLine = u16(66);
  return header;
}

// Run-length state kept across scan lines, so a run may carry over.
struct RunDecoder {
  const uint8_t* in;
  const uint8_t* end;
  uint8_t value = 0;
  int32_t left = 0;

  // Fills the line; false when the data end first (the rest stays 0).
  bool Line(std::vector<uint8_t>& line) {
    std::fill(line.begin(), line.end(), 0);
    for (uint8_t& out : line) {
      while (left == 0) {
        if (in >= end) {
          return false;
        }
        const uint8_t byte = *in++;
        if (byte >= kRunFlag) {
          if (in >= end) {
            return false;
          }
          left = byte & 0x3F;
          value = *in++;
        } else {
          left = 1;
          value = byte;
        }
      }
      out = value;
      --left;
    }
    return true;
  }
};

void LoadPalette(const std::vector<uint8_t>& rest, const PcxHeader& header, ImageFrame* frame) {
  // The palette sits 769 bytes before the end of the file.
  const int64_t at = static_cast<int64_t>(rest.size()) - kPaletteTrailerSize;
  if (header.version == 5 && at >= 0 && rest[static_cast<size_t>(at)] == kPaletteMarker) {
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t* rgb = rest.data() + at + 1 + 3 * i;
      frame->palette[i] = static_cast<uint32_t>(rgb[0]) << 16 | rgb[1] << 8 | rgb[2];
    }
    return;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    frame->palette[i] = i * 0x010101;
  }
}

void ConvertLine(const std::vector<uint8_t>& line, const PcxHeader& header, ImageFrame* frame,
                 uint32_t* out) {
  const size_t plane = static_cast<size_t>(header.bytesPerLine);
  for (int32_t x = 0; x < header.width; ++x) {
    const size_t at = static_cast<size_t>(x);
    if (header.planes == 3) {
      out[x] = static_cast<uint32_t>(line[at]) << 16 | line[plane + at] << 8 | line[2 * plane + at];
    } else if (header.bitsPerPlane == 8) {
      out[x] = frame->palette[line[at]];
    } else {
      out[x] = (line[at / 8] >> (7 - at % 8)) & 1 ? kWhite : 0;
    }
  }
}

}  // namespace

void ImagePcxRead(ImageSource& source, ImageFrame* frame) {
  uint8_t raw[kHeaderSize];
  if (!source.ReadExact(raw, kHeaderSize)) {
    ImagePlaceholderSet(frame);
    return;
  }
  const PcxHeader header = ParseHeader(raw);
  const bool oneBit = header.planes == 1 && header.bitsPerPlane == 1;
  const bool paletted = header.planes == 1 && header.bitsPerPlane == 8;
  const bool rgb = header.planes == 3 && header.bitsPerPlane == 8;
  const int32_t lineBytes = header.planes * header.bytesPerLine;
  const int32_t neededLineBytes = oneBit ? (header.width + 7) / 8 : header.width;
  std::vector<uint8_t> rest;
  if (!(oneBit || paletted || rgb) || header.width <= 0 || header.height <= 0 ||
      header.bytesPerLine < neededLineBytes ||
      static_cast<size_t>(lineBytes) * static_cast<size_t>(header.height) >
          (static_cast<size_t>(source.Remaining()) + 1) * kMaxRunPerByte ||
      !source.ReadRest(rest)) {
    ImagePlaceholderSet(frame);
    return;
  }
  ImageFrameReset(frame, header.width, header.height, header.bitsPerPlane * header.planes);
  if (paletted) {
    LoadPalette(rest, header, frame);
  } else if (oneBit) {
    frame->palette.fill(0);
    frame->palette[1] = kWhite;  // bit 1 is white, as the pixels have it
  }
  RunDecoder decoder{rest.data(), rest.data() + rest.size()};
  std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
  for (int32_t y = 0; y < header.height; ++y) {
    const bool complete = decoder.Line(line);
    ConvertLine(line, header, frame, frame->pixels.data() + static_cast<size_t>(y) * header.width);
    if (!complete) {
      break;
    }
  }
  frame->loaded = 1;
}
