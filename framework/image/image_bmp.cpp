// Windows bitmaps: the device-independent bitmap shared with icon images, and
// the ".BMP" file around it.
#include <algorithm>
#include <bit>
#include <limits>

#include "framework/image/image_internal.h"

namespace {

constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dots per inch

bool ValidDepth(int32_t depth) {
  return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 || depth == 24 ||
         depth == 32;
}

// One channel of a bit-field pixel: shift by the mask's trailing zeros and
// scale its 2^ones - 1 maximum to 255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t maximum = 0;
};

Channel MakeChannel(uint32_t mask) {
  Channel channel;
  channel.mask = mask;
  if (mask != 0) {
    channel.shift = std::countr_zero(mask);
    channel.maximum = static_cast<uint32_t>((uint64_t{1} << std::popcount(mask)) - 1);
  }
  return channel;
}

uint32_t Scale(const Channel& channel, uint32_t value) {
  if (channel.maximum == 0) {
    return 0;  // a missing channel reads as 0 instead of dividing by zero
  }
  const uint64_t level = (value & channel.mask) >> channel.shift;
  return static_cast<uint32_t>(std::min<uint64_t>(255, level * 255 / channel.maximum));
}

void DecodeRow(const uint8_t* row, const ImageDib& dib, const Channel* channels, uint32_t* out,
               const ImageFrame* frame) {
  const int32_t width = dib.width;
  switch (dib.depth) {
    case 16:
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
        out[x] = Scale(channels[0], v) << 16 | Scale(channels[1], v) << 8 | Scale(channels[2], v);
      }
      break;
    case 24:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + 3 * x;
        out[x] = static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16;
      }
      break;
    case 32:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + 4 * x;
        out[x] = static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 |
                 static_cast<uint32_t>(p[3]) << 24;
      }
      break;
    default: {
      // Palette indices, most significant bits first.
      const int32_t depth = dib.depth;
      const uint32_t mask = (1u << depth) - 1;
      for (int32_t x = 0; x < width; ++x) {
        const int32_t bit = x * depth;
        const int32_t shift = 8 - depth - bit % 8;
        out[x] = frame->palette[(row[bit / 8] >> shift) & mask];
      }
    }
  }
}

// Encodes one row; `indices` are the row's palette indices at depths up to 8.
void EncodeRow(const uint32_t* pixels, const uint8_t* indices, int32_t width, int32_t depth,
               std::vector<uint8_t>& row) {
  std::fill(row.begin(), row.end(), 0);
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t c = pixels[x];
    switch (depth) {
      case 16: {
        const uint32_t v = ImagePackFiveFiveFive(c);
        row[2 * x] = static_cast<uint8_t>(v);
        row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
        break;
      }
      case 24:
        row[3 * x] = static_cast<uint8_t>(c);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
        break;
      case 32:
        for (int b = 0; b < 4; ++b) {
          row[4 * x + b] = static_cast<uint8_t>(c >> (8 * b));
        }
        break;
      default: {
        const int32_t bit = x * depth;
        row[bit / 8] |= static_cast<uint8_t>(indices[x] << (8 - depth - bit % 8));
      }
    }
  }
}

}  // namespace

// --- Device-independent bitmaps -----------------------------------------------

bool ImageDibReadHeader(ImageSource& source, ImageDib& dib) {
  uint16_t planes = 0;
  uint32_t sizeImage = 0, important = 0;
  int32_t xPerMetre = 0, yPerMetre = 0;
  if (!source.ReadU32(dib.headerSize) || !source.ReadI32(dib.width) ||
      !source.ReadI32(dib.height) || !source.ReadU16(planes) || !source.ReadU16(dib.depth) ||
      !source.ReadU32(dib.compression) || !source.ReadU32(sizeImage) ||
      !source.ReadI32(xPerMetre) || !source.ReadI32(yPerMetre) ||
      !source.ReadU32(dib.coloursUsed) || !source.ReadU32(important)) {
    return false;
  }
  if (dib.compression == kCompressionBitFields) {
    for (uint32_t& mask : dib.masks) {
      if (!source.ReadU32(mask)) {
        return false;
      }
    }
  }
  // A negative height marks rows stored top row first.
  if (dib.height < 0) {
    if (dib.height == std::numeric_limits<int32_t>::min()) {
      return false;
    }
    dib.height = -dib.height;
    dib.topDown = true;
  }
  return (dib.compression == kCompressionNone || dib.compression == kCompressionBitFields) &&
         ValidDepth(dib.depth) && dib.width >= 0;
}

uint64_t ImageDibRowBytes(int32_t width, int32_t depth) {
  return (static_cast<uint64_t>(width) * static_cast<uint64_t>(depth) + 31) / 32 * 4;
}

bool ImageDibReadPalette(ImageSource& source, const ImageDib& dib, ImageFrame* frame) {
  frame->palette.fill(0);
  // A count above what the depth can index would read into the pixel rows.
  const uint32_t full = 1u << dib.depth;
  const uint32_t count = dib.coloursUsed != 0 && dib.coloursUsed < full ? dib.coloursUsed : full;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t entry[4];
    if (!source.ReadExact(entry, 4)) {
      return false;
    }
    frame->palette[i] = static_cast<uint32_t>(entry[0]) | entry[1] << 8 | entry[2] << 16;
  }
  return true;
}

bool ImageDibReadPixels(ImageSource& source, const ImageDib& dib, ImageFrame* frame) {
  const uint64_t rowBytes = ImageDibRowBytes(dib.width, dib.depth);
  if (rowBytes * static_cast<uint64_t>(dib.height) > static_cast<uint64_t>(source.Remaining())) {
    return false;
  }
  std::vector<uint8_t> data;
  if (!source.ReadBlock(data, static_cast<int32_t>(rowBytes * static_cast<uint64_t>(dib.height)))) {
    return false;
  }
  ImageFrameReset(frame, dib.width, dib.height, dib.depth);
  const Channel channels[3] = {MakeChannel(dib.masks[0]), MakeChannel(dib.masks[1]),
                               MakeChannel(dib.masks[2])};
  // Rows of no width hold no pixels (and may number 2^31).
  for (int32_t y = 0; y < dib.height && dib.width > 0; ++y) {
    const int32_t row = dib.topDown ? y : dib.height - 1 - y;
    DecodeRow(data.data() + static_cast<size_t>(row) * rowBytes, dib, channels,
              frame->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(dib.width),
              frame);
  }
  return true;
}

int32_t ImageDibWriteDepth(const ImageFrame* frame, bool icon) {
  const int32_t depth = frame->bitsPerPixel;
  if (depth == 2) {
    return 4;  // few readers take 2-bit bitmaps
  }
  if (!ValidDepth(depth) || (icon && depth == 16)) {
    return 24;  // nor 16-bit icons
  }
  return depth;
}

void ImageDibWriteColours(const ImageFrame* frame, int32_t depth, UtilitiesByteWriter& out) {
  std::vector<uint8_t> indices;
  if (depth <= 8) {
    // A frame of fewer bits than the bitmap (2 in 4) leaves the rest of the
    // table black and unused.
    const std::vector<uint32_t> palette = ImageWriterPalette(frame, 1 << frame->bitsPerPixel);
    for (size_t i = 0; i < (size_t{1} << depth); ++i) {
      out.U32(i < palette.size() ? palette[i] & 0x00FFFFFF : 0);
    }
    indices = ImagePaletteIndices(frame->pixels, palette);
  }
  std::vector<uint8_t> row(ImageDibRowBytes(frame->width, depth));
  for (int32_t y = frame->height - 1; y >= 0; --y) {
    const size_t start = static_cast<size_t>(y) * static_cast<size_t>(frame->width);
    EncodeRow(frame->pixels.data() + start, indices.empty() ? nullptr : indices.data() + start,
              frame->width, depth, row);
    out.Bytes(row.data(), row.size());
  }
}

// --- ".BMP" files -----------------------------------------------------------------

void ImageBmpRead(ImageSource& source, ImageFrame* frame) {
  uint8_t magic[2];
  uint32_t fileSize = 0, dataOffset = 0;
  uint16_t reserved1 = 0, reserved2 = 0;
  ImageDib dib;
  const bool headerOk = source.ReadExact(magic, 2) && magic[0] == 'B' && magic[1] == 'M' &&
                        source.ReadU32(fileSize) && source.ReadU16(reserved1) &&
                        source.ReadU16(reserved2) && source.ReadU32(dataOffset) &&
                        ImageDibReadHeader(source, dib);
  if (!headerOk) {
    ImagePlaceholderSet(frame);
    return;
  }
  bool ok = true;
  if (dib.depth <= 8) {
    // The palette follows the information header (whatever its size); the
    // rows follow the palette unless the data offset points further on.
    const int64_t paletteStart = int64_t{kFileHeaderSize} + std::max<uint32_t>(dib.headerSize, 40);
    ok = paletteStart <= source.Size() && source.Seek(static_cast<int32_t>(paletteStart)) &&
         ImageDibReadPalette(source, dib, frame);
    if (ok && dataOffset > static_cast<uint32_t>(source.Tell())) {
      ok = dataOffset <= static_cast<uint32_t>(source.Size()) &&
           source.Seek(static_cast<int32_t>(dataOffset));
    }
  } else {
    ok = dataOffset <= static_cast<uint32_t>(source.Size()) &&
         source.Seek(static_cast<int32_t>(dataOffset));
  }
  if (!ok || !ImageDibReadPixels(source, dib, frame)) {
    ImagePlaceholderSet(frame);
    return;
  }
  frame->loaded = 1;
}

void ImageBmpWrite(const ImageFrame* frame, UtilitiesByteWriter& out) {
  const int32_t depth = ImageDibWriteDepth(frame, false);
  const uint32_t paletteBytes = depth <= 8 ? 4u << depth : 0;
  const uint32_t dataOffset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
  const uint64_t imageBytes = ImageDibRowBytes(frame->width, depth) * frame->height;
  out.Text("BM");
  out.U32(static_cast<uint32_t>(dataOffset + imageBytes));
  out.U32(0);
  out.U32(dataOffset);
  out.U32(kInfoHeaderSize);
  out.U32(static_cast<uint32_t>(frame->width));
  out.U32(static_cast<uint32_t>(frame->height));
  out.U16(1);
  out.U16(static_cast<uint32_t>(depth));
  out.U32(kCompressionNone);
  out.U32(static_cast<uint32_t>(imageBytes));
  out.U32(kPixelsPerMetre);
  out.U32(kPixelsPerMetre);
  out.U32(0);
  out.U32(0);
  ImageDibWriteColours(frame, depth, out);
}
