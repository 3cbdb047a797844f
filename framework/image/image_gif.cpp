// qmrImageGIF: GIF 87a/89a. The reader decodes the first image of a file with
// codes of up to 12 bits; the writer stores one frame as one image.
#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/image/image_internal.h"
#include "framework/log/log.h"

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint32_t kMaxCodes = 4096;
constexpr int kMaxCodeBits = 12;
// A 12-bit code stands for at most 4095 pixels, so no byte of data yields
// more than this many; sizes beyond it cannot come from the file.
constexpr size_t kMaxPixelsPerByte = 4096;
// The decoder copies strings in 8-byte steps and may run this far past them.
constexpr size_t kCopySlack = 8;
constexpr int32_t kSubBlockSize = 255;

// Reads data sub-blocks up to their terminator, appending them when wanted.
bool ReadSubBlocks(ImageSource& source, std::vector<uint8_t>* data) {
  uint8_t size = 0;
  uint8_t block[255];
  while (source.ReadU8(size) && source.ReadExact(block, size)) {
    if (size == 0) {
      return true;
    }
    if (data != nullptr) {
      data->insert(data->end(), block, block + size);
    }
  }
  return false;
}

void ReadColourTable(const uint8_t* rgb, int32_t entries, ImageFrame* frame) {
  frame->palette.fill(0);
  for (int32_t i = 0; i < entries; ++i) {
    const uint8_t* c = rgb + 3 * i;
    frame->palette[static_cast<size_t>(i)] = static_cast<uint32_t>(c[0]) << 16 | c[1] << 8 | c[2];
  }
}

bool ReadColourTableFrom(ImageSource& source, int32_t bits, ImageFrame* frame) {
  uint8_t rgb[3 * 256];
  const int32_t entries = 1 << bits;
  if (!source.ReadExact(rgb, 3 * entries)) {
    return false;
  }
  ReadColourTable(rgb, entries, frame);
  return true;
}

// Least-significant-bit-first code reader.
class CodeReader {
 public:
  CodeReader(const uint8_t* data, size_t size) : in_(data), end_(data + size) {}
  // False when the data end before a whole code.
  bool Next(int width, uint32_t& code) {
    while (count_ < width) {
      if (in_ >= end_) {
        return false;
      }
      bits_ |= static_cast<uint64_t>(*in_++) << count_;
      count_ += 8;
    }
    code = static_cast<uint32_t>(bits_ & ((1u << width) - 1));
    bits_ >>= width;
    count_ -= width;
    return true;
  }

 private:
  const uint8_t* in_;
  const uint8_t* end_;
  uint64_t bits_ = 0;
  int count_ = 0;
};

// Copies a string that starts earlier in the output; source and target may
// overlap when the string repeats itself.
inline void CopyString(uint8_t* out, size_t from, size_t to, size_t length) {
  uint8_t* target = out + to;
  const uint8_t* string = out + from;
  if (to - from >= 8) {
    for (size_t i = 0; i < length; i += 8) {
      std::memcpy(target + i, string + i, 8);
    }
  } else {
    for (size_t i = 0; i < length; ++i) {
      target[i] = string[i];
    }
  }
}

// LZW-decodes indices into out (total values plus kCopySlack bytes). Every
// string the table holds is an earlier stretch of the output, so an entry is
// just its start and length. Data that end early leave the rest 0; false on
// a code the table cannot hold.
bool DecodeLzw(const std::vector<uint8_t>& data, int minCodeSize, uint8_t* out, size_t total) {
  const uint32_t clear = 1u << minCodeSize;
  const uint32_t endOfData = clear + 1;
  uint32_t start[kMaxCodes];
  uint16_t length[kMaxCodes];
  CodeReader reader(data.data(), data.size());
  int width = minCodeSize + 1;
  uint32_t next = clear + 2;
  bool havePrevious = false;
  size_t previousStart = 0;
  uint32_t previousLength = 0;
  size_t position = 0;
  uint32_t code = 0;
  while (position < total && reader.Next(width, code)) {
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      havePrevious = false;
      continue;
    }
    if (code == endOfData) {
      break;
    }
    if (havePrevious) {
      if (code > next) {
        return false;
      }
      if (next < kMaxCodes) {
        start[next] = static_cast<uint32_t>(previousStart);
        length[next] = static_cast<uint16_t>(previousLength + 1);
        ++next;
        if (next == (1u << width) && width < kMaxCodeBits) {
          ++width;
        }
      }
    } else if (code > clear) {
      return false;  // the first code after a clear must be a single value
    }
    uint32_t stringLength = 1;
    if (code < clear) {
      out[position] = static_cast<uint8_t>(code);
    } else {
      stringLength = length[code];
      CopyString(out, start[code], position, std::min<size_t>(stringLength, total - position));
    }
    previousStart = position;
    previousLength = stringLength;
    havePrevious = true;
    position += stringLength;
  }
  return true;
}

// Row of the image that the n-th stored row of an interlaced image fills.
int32_t InterlacedRow(int32_t n, int32_t height) {
  static const int32_t kStart[4] = {0, 4, 2, 1};
  static const int32_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int32_t rows =
        height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (n < rows) {
      return kStart[pass] + n * kStep[pass];
    }
    n -= rows;
  }
  return height;
}

struct GifImage {
  int32_t width = 0;
  int32_t height = 0;
  bool interlaced = false;
};

// Decodes the image data at the position into the frame from its top-left
// corner; pixels outside the frame are dropped.
bool ReadImageData(ImageSource& source, const GifImage& image, int32_t transparent,
                   ImageFrame* frame) {
  uint8_t minCodeSize = 0;
  std::vector<uint8_t> data;
  if (!source.ReadU8(minCodeSize) || minCodeSize < 1 || minCodeSize > 11 ||
      !ReadSubBlocks(source, &data)) {
    return false;
  }
  const size_t total = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (total > (data.size() + 1) * kMaxPixelsPerByte) {
    return false;
  }
  std::vector<uint8_t> indices(total + kCopySlack, 0);
  if (!DecodeLzw(data, minCodeSize, indices.data(), total)) {
    return false;
  }
  uint32_t colours[256];
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t colour = frame->palette[i];
    colours[i] =
        transparent < 0 || static_cast<int32_t>(i) == transparent ? colour : colour | 0xFF000000;
  }
  const int32_t columns = std::min(image.width, frame->width);
  for (int32_t n = 0; n < image.height; ++n) {
    const int32_t y = image.interlaced ? InterlacedRow(n, image.height) : n;
    if (y >= frame->height) {
      continue;
    }
    const uint8_t* row = indices.data() + static_cast<size_t>(n) * image.width;
    uint32_t* out = frame->pixels.data() + static_cast<size_t>(y) * frame->width;
    for (int32_t x = 0; x < columns; ++x) {
      out[x] = colours[row[x]];
    }
  }
  return true;
}

bool ReadGif(ImageSource& source, ImageFrame* frame) {
  uint8_t header[13];
  if (!source.ReadExact(header, 13) ||
      (std::memcmp(header, "GIF87a", 6) != 0 && std::memcmp(header, "GIF89a", 6) != 0)) {
    return false;
  }
  const int32_t width = header[6] | header[7] << 8;
  const int32_t height = header[8] | header[9] << 8;
  const uint8_t flags = header[10];
  if (static_cast<size_t>(width) * static_cast<size_t>(height) >
      (static_cast<size_t>(source.Remaining()) + 1) * kMaxPixelsPerByte) {
    return false;
  }
  int32_t tableBits = 0;
  frame->palette.fill(0);
  if ((flags & kTableFlag) != 0) {
    tableBits = (flags & 7) + 1;
    if (!ReadColourTableFrom(source, tableBits, frame)) {
      return false;
    }
  }
  int32_t transparent = -1;
  uint8_t introducer = 0;
  while (source.ReadU8(introducer)) {
    if (introducer == kExtensionIntroducer) {
      uint8_t label = 0;
      std::vector<uint8_t> data;
      if (!source.ReadU8(label) ||
          !ReadSubBlocks(source, label == kGraphicControlLabel ? &data : nullptr)) {
        return false;
      }
      if (data.size() >= 4) {
        transparent = (data[0] & 1) != 0 ? data[3] : -1;
      }
      continue;
    }
    if (introducer != kImageSeparator) {
      return false;  // the trailer before any image, or an unknown block
    }
    uint8_t descriptor[9];
    if (!source.ReadExact(descriptor, 9)) {
      return false;
    }
    GifImage image;
    image.width = descriptor[4] | descriptor[5] << 8;
    image.height = descriptor[6] | descriptor[7] << 8;
    image.interlaced = (descriptor[8] & kInterlaceFlag) != 0;
    if ((descriptor[8] & kTableFlag) != 0) {
      tableBits = (descriptor[8] & 7) + 1;
      if (!ReadColourTableFrom(source, tableBits, frame)) {
        return false;
      }
    }
    ImageFrameReset(frame, width, height, transparent >= 0 ? 32 : tableBits > 0 ? tableBits : 8);
    if (!ReadImageData(source, image, transparent, frame)) {
      return false;
    }
    frame->loaded = 1;
    return true;
  }
  return false;
}

// --- Writing -------------------------------------------------------------------

// Packs codes least significant bit first into 255-byte data sub-blocks.
class CodeWriter {
 public:
  explicit CodeWriter(UtilitiesByteWriter& out) : out_(out) {}
  void Put(uint32_t code, int width) {
    bits_ |= static_cast<uint64_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      Byte(static_cast<uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  void Finish() {
    if (count_ > 0) {
      Byte(static_cast<uint8_t>(bits_));
    }
    Flush();
    out_.U8(0);
  }

 private:
  void Byte(uint8_t byte) {
    block_[blockSize_++] = byte;
    if (blockSize_ == kSubBlockSize) {
      Flush();
    }
  }
  void Flush() {
    if (blockSize_ > 0) {
      out_.U8(static_cast<uint32_t>(blockSize_));
      out_.Bytes(block_, static_cast<size_t>(blockSize_));
      blockSize_ = 0;
    }
  }
  UtilitiesByteWriter& out_;
  uint64_t bits_ = 0;
  int count_ = 0;
  uint8_t block_[kSubBlockSize];
  int32_t blockSize_ = 0;
};

// String table of the encoder: (prefix code, next value) -> code, in an
// open-addressed hash table.
class StringTable {
 public:
  void Clear() { std::fill(std::begin(keys_), std::end(keys_), 0u); }
  // The code of the string, or -1; `slot` is where it would be added.
  int32_t Find(uint32_t prefix, uint8_t value, uint32_t& slot) const {
    const uint32_t key = (prefix << 8 | value) + 1;
    slot = (key * 2654435761u) >> (32 - kHashBits);
    while (keys_[slot] != 0) {
      if (keys_[slot] == key) {
        return codes_[slot];
      }
      slot = (slot + 1) & (kHashSize - 1);
    }
    return -1;
  }
  void Add(uint32_t slot, uint32_t prefix, uint8_t value, uint32_t code) {
    keys_[slot] = (prefix << 8 | value) + 1;
    codes_[slot] = static_cast<uint16_t>(code);
  }

 private:
  static constexpr int kHashBits = 13;
  static constexpr uint32_t kHashSize = 1u << kHashBits;
  uint32_t keys_[kHashSize] = {};
  uint16_t codes_[kHashSize] = {};
};

void EncodeLzw(const std::vector<uint8_t>& indices, int minCodeSize, UtilitiesByteWriter& out) {
  const uint32_t clear = 1u << minCodeSize;
  const uint32_t endOfData = clear + 1;
  CodeWriter writer(out);
  auto table = std::make_unique<StringTable>();
  int width = minCodeSize + 1;
  uint32_t next = clear + 2;
  writer.Put(clear, width);
  if (indices.empty()) {
    writer.Put(endOfData, width);
    writer.Finish();
    return;
  }
  uint32_t prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const uint8_t value = indices[i];
    uint32_t slot = 0;
    const int32_t code = table->Find(prefix, value, slot);
    if (code >= 0) {
      prefix = static_cast<uint32_t>(code);
      continue;
    }
    writer.Put(prefix, width);
    // Clear one code early, as decoders that reserve the last code expect.
    if (next == kMaxCodes - 1) {
      writer.Put(clear, width);
      table->Clear();
      width = minCodeSize + 1;
      next = clear + 2;
    } else {
      table->Add(slot, prefix, value, next++);
      if (next > (1u << width) && width < kMaxCodeBits) {
        ++width;
      }
    }
    prefix = value;
  }
  writer.Put(prefix, width);
  writer.Put(endOfData, width);
  writer.Finish();
}

}  // namespace

void ImageGifStart() {
  LogVersion("qmrImageGIF - Version Alpha.0");
}

void ImageGifStop() {}

void ImageGifRead(ImageSource& source, ImageFrame* frame) {
  if (!ReadGif(source, frame)) {
    ImagePlaceholderSet(frame);
  }
}

void ImageGifWrite(const ImageFrame* frame, UtilitiesByteWriter& out) {
  const int32_t bits =
      frame->bitsPerPixel >= 1 && frame->bitsPerPixel <= 8 ? frame->bitsPerPixel : 8;
  const int32_t entries = 1 << bits;
  out.Text("GIF89a");
  out.U16(static_cast<uint32_t>(frame->width));
  out.U16(static_cast<uint32_t>(frame->height));
  out.U8(kTableFlag | static_cast<uint32_t>(bits - 1) << 4 | static_cast<uint32_t>(bits - 1));
  out.U8(0);  // background colour
  out.U8(0);  // aspect ratio
  // Frames above 8 bits have no depth to limit the palette: their colours go
  // to the nearest of all 256 entries.
  const std::vector<uint32_t> palette = ImageWriterPalette(frame, entries);
  for (size_t i = 0; i < static_cast<size_t>(entries); ++i) {
    const uint32_t colour = i < palette.size() ? palette[i] : 0;
    out.U8(colour >> 16);
    out.U8(colour >> 8);
    out.U8(colour);
  }
  out.U8(kImageSeparator);
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<uint32_t>(frame->width));
  out.U16(static_cast<uint32_t>(frame->height));
  out.U8(0);  // no local table, not interlaced
  const int minCodeSize = std::max(2, bits);
  out.U8(static_cast<uint32_t>(minCodeSize));
  EncodeLzw(ImagePaletteIndices(frame->pixels, palette), minCodeSize, out);
  out.U8(kTrailer);
}
