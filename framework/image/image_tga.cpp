// Truevision TGA: true-colour types 2 (uncompressed) and 10 (run-length).
// Content files carry no image ID and no colour map and are stored top row
// first, which is what the writer produces; the reader relies on that.
// 16-bit pixels are 5-5-5 in the file and 8-bit channels in the frame.
#include <algorithm>
#include <cstring>

#include "framework/image/image_internal.h"

namespace {

constexpr int32_t kHeaderSize = 18;
constexpr uint8_t kTypeTrueColour = 2;
constexpr uint8_t kTypeRunLength = 10;
constexpr uint8_t kDescriptorTopLeft = 0x20;
constexpr uint8_t kDescriptorAlphaBits32 = 8;  // 32-bit pixels carry 8 alpha bits
constexpr int32_t kMaxPacket = 128;

// Packs `bytes` little-endian bytes into the low bytes of a 32-bit pixel.
inline uint32_t LoadPixel(const uint8_t* data, int32_t bytes) {
  uint32_t value = 0;
  for (int32_t i = 0; i < bytes; ++i) {
    value |= static_cast<uint32_t>(data[i]) << (8 * i);
  }
  return value;
}

// Raw pixels of `bytes` bytes each into the pixel array.
void CopyRawPixels(const uint8_t* data, int32_t bytes, uint32_t* out, size_t count) {
  if (count == 0) {
    return;  // a picture of no pixels has no arrays to copy between
  }
  if (bytes == 4) {
    std::memcpy(out, data, count * 4);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    out[i] = LoadPixel(data + i * static_cast<size_t>(bytes), bytes);
  }
}

bool ReadUncompressed(ImageSource& source, int32_t bytes, ImageFrame* frame) {
  const size_t total = frame->pixels.size() * static_cast<size_t>(bytes);
  std::vector<uint8_t> data;
  if (total > static_cast<size_t>(source.Remaining()) ||
      !source.ReadBlock(data, static_cast<int32_t>(total))) {
    return false;
  }
  CopyRawPixels(data.data(), bytes, frame->pixels.data(), frame->pixels.size());
  return true;
}

// Decodes packets until every pixel is produced or the data end; pixels of
// a last packet beyond the array are dropped, pixels never reached stay 0.
void DecodeRunLength(const std::vector<uint8_t>& data, int32_t bytes, ImageFrame* frame) {
  uint32_t* out = frame->pixels.data();
  const size_t total = frame->pixels.size();
  const uint8_t* in = data.data();
  const uint8_t* end = in + data.size();
  size_t produced = 0;
  while (produced < total && in < end) {
    const uint8_t packet = *in++;
    const size_t count = std::min<size_t>((packet & 0x7F) + 1u, total - produced);
    if (packet & 0x80) {
      if (end - in < bytes) {
        return;
      }
      std::fill_n(out + produced, count, LoadPixel(in, bytes));
      in += bytes;
      produced += count;
    } else {
      const size_t available = static_cast<size_t>(end - in) / static_cast<size_t>(bytes);
      const size_t raw = (packet & 0x7F) + 1u;
      CopyRawPixels(in, bytes, out + produced, std::min(count, available));
      if (available < raw) {
        return;
      }
      in += raw * static_cast<size_t>(bytes);
      produced += count;
    }
  }
}

// The values the writer stores: 8-bit channels packed at 16 bits, alpha
// dropped at 24.
std::vector<uint32_t> StoredValues(const std::vector<uint32_t>& pixels, int32_t depth) {
  std::vector<uint32_t> values(pixels);
  for (uint32_t& value : values) {
    value = depth == 16 ? ImagePackFiveFiveFive(value) : depth == 24 ? value & 0x00FFFFFF : value;
  }
  return values;
}

// A run-length stream of n bytes yields at most 128 pixels per packet byte.
bool RunLengthCanHold(int32_t remaining, size_t pixels) {
  return pixels <= (static_cast<size_t>(remaining) + 1) * kMaxPacket;
}

size_t RepeatLength(const std::vector<uint32_t>& pixels, size_t i) {
  size_t count = 1;
  while (i + count < pixels.size() && count < kMaxPacket && pixels[i + count] == pixels[i]) {
    ++count;
  }
  return count;
}

// A raw run grows while each pixel differs from its predecessor; it stops
// before a pixel that equals the next one, so that pixel can start a repeat.
size_t RawLength(const std::vector<uint32_t>& pixels, size_t i) {
  size_t count = 1;
  while (i + count < pixels.size() && count < kMaxPacket) {
    if (pixels[i + count] == pixels[i + count - 1]) {
      return count - 1;
    }
    ++count;
  }
  return count;
}

void WritePixel(UtilitiesByteWriter& out, uint32_t pixel, int32_t bytes) {
  for (int32_t b = 0; b < bytes; ++b) {
    out.U8(pixel >> (8 * b));
  }
}

}  // namespace

void ImageTgaRead(ImageSource& source, ImageFrame* frame) {
  uint8_t header[kHeaderSize];
  if (!source.ReadExact(header, kHeaderSize)) {
    ImagePlaceholderSet(frame);
    return;
  }
  const uint8_t type = header[2];
  const int32_t width = header[12] | header[13] << 8;
  const int32_t height = header[14] | header[15] << 8;
  const int32_t depth = header[16];
  const int32_t bytes = depth / 8;
  // Depths that are not whole bytes of a 32-bit pixel cannot be unpacked.
  const bool depthOk = depth % 8 == 0 && bytes >= 1 && bytes <= 4;
  if ((type != kTypeTrueColour && type != kTypeRunLength) || !depthOk) {
    ImagePlaceholderSet(frame);
    return;
  }
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (type == kTypeTrueColour) {
    if (pixelCount * static_cast<size_t>(bytes) > static_cast<size_t>(source.Remaining())) {
      ImagePlaceholderSet(frame);
      return;
    }
    ImageFrameReset(frame, width, height, depth);
    if (!ReadUncompressed(source, bytes, frame)) {
      ImagePlaceholderSet(frame);
      return;
    }
  } else {
    std::vector<uint8_t> data;
    if (!RunLengthCanHold(source.Remaining(), pixelCount) ||
        !source.ReadBlock(data, source.Size() - kHeaderSize)) {
      ImagePlaceholderSet(frame);
      return;
    }
    ImageFrameReset(frame, width, height, depth);
    DecodeRunLength(data, bytes, frame);
  }
  if (depth == 16) {
    // Users of the frame expect 8-bit channels, as the BMP reader gives them.
    std::transform(frame->pixels.begin(), frame->pixels.end(), frame->pixels.begin(),
                   ImageExpandFiveFiveFive);
  }
  frame->loaded = 1;
}

void ImageTgaWrite(const ImageFrame* frame, UtilitiesByteWriter& out) {
  // Only whole-pixel depths can be stored as true colour; palette depths hold
  // colours in their pixels and are stored as 24 bits.
  const int32_t depth =
      frame->bitsPerPixel == 16 || frame->bitsPerPixel == 32 ? frame->bitsPerPixel : 24;
  const int32_t bytes = depth / 8;
  out.U8(0);
  out.U8(0);
  out.U8(kTypeRunLength);
  for (int i = 0; i < 9; ++i) {
    out.U8(0);  // colour map fields and origin
  }
  out.U16(static_cast<uint32_t>(frame->width));
  out.U16(static_cast<uint32_t>(frame->height));
  out.U8(static_cast<uint32_t>(depth));
  // Alpha bits are declared for 32 bits only: readers take the top bit of a
  // 16-bit pixel declared with alpha as transparency.
  out.U8(kDescriptorTopLeft | (depth == 32 ? kDescriptorAlphaBits32 : 0));
  const std::vector<uint32_t> pixels = StoredValues(frame->pixels, depth);
  size_t i = 0;
  while (i < pixels.size()) {
    if (i + 1 < pixels.size() && pixels[i + 1] == pixels[i]) {
      const size_t count = RepeatLength(pixels, i);
      out.U8(static_cast<uint32_t>(count - 1) | 0x80);
      WritePixel(out, pixels[i], bytes);
      i += count;
    } else {
      const size_t count = RawLength(pixels, i);
      out.U8(static_cast<uint32_t>(count - 1));
      for (size_t k = 0; k < count; ++k) {
        WritePixel(out, pixels[i + k], bytes);
      }
      i += count;
    }
  }
}
