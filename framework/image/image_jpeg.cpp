// qmrImageJPG: baseline sequential JPEG with Huffman coding (ITU T.81). Only a
// SOF0 frame is decoded; every other frame type is skipped by its length, so
// progressive and arithmetic-coded files yield no pixels. Decoding stops at the
// first piece of data that cannot be read; what was decoded by then is kept.
#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/image/image_internal.h"
#include "framework/image/image_jpeg_internal.h"
#include "framework/log/log.h"

namespace {

constexpr int kFastBits = 10;
constexpr int kMaxComponents = 3;
// Natural (row-major) position of the k-th coefficient in zig-zag order.
constexpr uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
// With 1-bit codes a block takes at least two bits, so a file of n bytes
// cannot hold more than 4n blocks; sizes beyond that are not allocated.
constexpr int64_t kBlocksPerByte = 4;
constexpr int64_t kBlockAllowance = 1024;
// Dequantised coefficients of 8-bit images stay inside 12 bits; holding
// broken data there keeps the inverse DCT inside 32-bit arithmetic.
constexpr int32_t kCoefficientLimit = 2047;
constexpr int32_t kPredictionLimit = 32767;
// Run of a fast end-of-block entry: past the last coefficient from any position.
constexpr int32_t kEndRun = 64;
constexpr int32_t kFastRunMask = 0x7F;

enum Marker : uint8_t {
  kSof0 = 0xC0,
  kDht = 0xC4,
  kRst0 = 0xD0,
  kRst7 = 0xD7,
  kSoi = 0xD8,
  kEoi = 0xD9,
  kSos = 0xDA,
  kDqt = 0xDB,
  kDri = 0xDD,
  kTem = 0x01,
};

struct HuffmanTable {
  bool defined = false;
  uint16_t fast[1 << kFastBits];  // code length << 8 | symbol; 0 for longer codes
  // AC only: value << 16 | run << 8 | bits used, when code and value fit in
  // the fast bits; an end-of-block code has kEndRun as its run, so that it
  // runs past the block; 0 otherwise.
  int32_t fastAc[1 << kFastBits];
  int32_t maxCode[17];
  int32_t valueOffset[17];
  uint8_t values[256];
};

struct Component {
  uint8_t id = 0;
  int h = 1;
  int v = 1;
  int quantTable = 0;
  int dcTable = 0;
  int acTable = 0;
  int32_t prediction = 0;
  JpegPlane plane;
};

inline int32_t Extend(uint32_t bits, int size) {
  return bits < (1u << (size - 1)) ? static_cast<int32_t>(bits) - (1 << size) + 1
                                   : static_cast<int32_t>(bits);
}

// Most-significant-bit-first reader of entropy-coded data. Stuffed zero
// bytes after 0xFF are dropped; at a marker or the end of the data it feeds
// zeros and counts them, so that consuming them shows the data ran out.
class BitReader {
 public:
  BitReader(const uint8_t* data, const uint8_t* end) : in_(data), end_(end) {}

  inline void Fill() {
    if (!atMarker_ && end_ - in_ >= 8) {
      // Eight bytes without 0xFF among them go in whole bytes at once.
      uint64_t word = 0;
      std::memcpy(&word, in_, 8);
      word = __builtin_bswap64(word);
      const uint64_t inverse = ~word;
      if (((inverse - 0x0101010101010101ull) & ~inverse & 0x8080808080808080ull) == 0) {
        const int take = (64 - count_) >> 3;
        const uint64_t kept = take == 8 ? word : word & ~(~uint64_t{0} >> (8 * take));
        bits_ |= kept >> count_;
        count_ += 8 * take;
        in_ += take;
        return;
      }
    }
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (!atMarker_ && in_ < end_) {
        byte = *in_;
        if (byte != 0xFF) {
          ++in_;
        } else if (in_ + 1 < end_ && in_[1] == 0) {
          in_ += 2;
        } else {
          atMarker_ = true;
          byte = 0;
          ++padding_;
        }
      } else {
        ++padding_;
      }
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }
  inline void Ensure(int count) {
    if (count_ < count) {
      Fill();
    }
  }
  inline uint32_t Peek(int count) const { return static_cast<uint32_t>(bits_ >> (64 - count)); }
  inline void Consume(int count) {
    bits_ <<= count;
    count_ -= count;
  }
  inline uint32_t Get(int count) {
    const uint32_t value = Peek(count);
    Consume(count);
    return value;
  }
  // True once bits beyond the real data have been consumed.
  bool Overrun() const { return count_ < padding_ * 8; }

  // Drops the buffered bits and moves to the next marker; returns it, or 0
  // when the data end first.
  uint8_t NextMarker() {
    bits_ = 0;
    count_ = 0;
    padding_ = 0;
    atMarker_ = false;
    while (in_ + 1 < end_) {
      if (in_[0] == 0xFF && in_[1] != 0 && in_[1] != 0xFF) {
        return in_[1];
      }
      ++in_;
    }
    in_ = end_;
    return 0;
  }
  void SkipMarker() { in_ += 2; }
  const uint8_t* Position() const { return in_; }

 private:
  const uint8_t* in_;
  const uint8_t* end_;
  uint64_t bits_ = 0;
  int count_ = 0;
  int padding_ = 0;
  bool atMarker_ = false;
};

// Builds the canonical code from the 16 length counts; false when the counts
// do not form a prefix code.
bool BuildHuffman(const uint8_t* counts, const uint8_t* values, int total, bool ac,
                  HuffmanTable& table) {
  std::memset(table.fast, 0, sizeof(table.fast));
  std::memset(table.fastAc, 0, sizeof(table.fastAc));
  std::memcpy(table.values, values, static_cast<size_t>(total));
  uint32_t code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    table.valueOffset[length] = k - static_cast<int32_t>(code);
    for (int i = 0; i < counts[length - 1]; ++i, ++k, ++code) {
      if (code >= (1u << length)) {
        return false;  // more codes than this length can hold
      }
      if (length > kFastBits) {
        continue;
      }
      const int spare = kFastBits - length;
      for (uint32_t fill = 0; fill < (1u << spare); ++fill) {
        table.fast[code << spare | fill] = static_cast<uint16_t>(length << 8 | values[k]);
      }
    }
    table.maxCode[length] = counts[length - 1] != 0 ? static_cast<int32_t>(code) - 1 : -1;
    code <<= 1;
  }
  if (ac) {
    for (uint32_t bits = 0; bits < (1u << kFastBits); ++bits) {
      const int length = table.fast[bits] >> 8;
      const int run = (table.fast[bits] & 0xFF) >> 4;
      const int size = table.fast[bits] & 0x0F;
      if (length != 0 && (table.fast[bits] & 0xFF) == 0) {
        table.fastAc[bits] = kEndRun << 8 | length;
        continue;
      }
      if (length == 0 || size == 0 || length + size > kFastBits) {
        continue;
      }
      const uint32_t raw = (bits >> (kFastBits - length - size)) & ((1u << size) - 1);
      table.fastAc[bits] = static_cast<int32_t>(static_cast<uint32_t>(Extend(raw, size)) << 16) |
                           run << 8 | (length + size);
    }
  }
  table.defined = true;
  return true;
}

inline int DecodeSymbol(BitReader& reader, const HuffmanTable& table) {
  const uint16_t entry = table.fast[reader.Peek(kFastBits)];
  if (entry != 0) {
    reader.Consume(entry >> 8);
    return entry & 0xFF;
  }
  const uint32_t look = reader.Peek(16);
  for (int length = kFastBits + 1; length <= 16; ++length) {
    const auto code = static_cast<int32_t>(look >> (16 - length));
    if (code <= table.maxCode[length]) {
      reader.Consume(length);
      return table.values[code + table.valueOffset[length]];
    }
  }
  return -1;
}

// The value has at most 11 bits, so the product fits in 32 bits.
inline int16_t Dequantise(int32_t value, uint32_t quant) {
  return static_cast<int16_t>(
      std::clamp(value * static_cast<int32_t>(quant), -kCoefficientLimit - 1, kCoefficientLimit));
}

// Where the k-th coefficient in zig-zag order goes and its quantiser, in one
// word so that the decoding loop loads one value per coefficient.
inline void Place(int16_t* coefficients, uint32_t slot, int32_t value) {
  coefficients[slot & 0xFF] = Dequantise(value, slot >> 8);
}

struct Decoder {
  const uint8_t* end = nullptr;
  const uint8_t* at = nullptr;
  uint32_t slots[4][64] = {};  // by zig-zag index: quantiser << 8 | natural position
  bool quantDefined[4] = {};
  HuffmanTable dc[4];
  HuffmanTable ac[4];
  int32_t restartInterval = 0;
  ImageFrame* frame = nullptr;
  bool haveFrame = false;
  int32_t convertedRows = 0;  // image rows already turned into pixels
  int32_t width = 0;
  int32_t height = 0;
  int componentCount = 0;
  Component components[kMaxComponents];
  int hMax = 1;
  int vMax = 1;
  int32_t mcusX = 0;
  int32_t mcusY = 0;
};

// Reads a 16-bit length and returns the segment's body; false when it does
// not fit in the data.
bool Segment(Decoder& d, const uint8_t*& body, int32_t& size) {
  if (d.end - d.at < 2) {
    return false;
  }
  const int32_t length = d.at[0] << 8 | d.at[1];
  if (length < 2 || length > d.end - d.at) {
    return false;
  }
  body = d.at + 2;
  size = length - 2;
  d.at += length;
  return true;
}

bool ReadQuantTables(const uint8_t* p, int32_t size, Decoder& d) {
  while (size > 0) {
    const int precision = p[0] >> 4;
    const int id = p[0] & 0x0F;
    const int32_t bytes = 1 + 64 * (precision + 1);
    if (id > 3 || precision > 1 || size < bytes) {
      return false;
    }
    for (int k = 0; k < 64; ++k) {
      const uint32_t quant = precision == 0 ? p[1 + k] : p[1 + 2 * k] << 8 | p[2 + 2 * k];
      d.slots[id][k] = quant << 8 | kZigzag[k];
    }
    d.quantDefined[id] = true;
    p += bytes;
    size -= bytes;
  }
  return true;
}

bool ReadHuffmanTables(const uint8_t* p, int32_t size, Decoder& d) {
  while (size > 0) {
    if (size < 17) {
      return false;
    }
    const int tableClass = p[0] >> 4;
    const int id = p[0] & 0x0F;
    int total = 0;
    for (int i = 0; i < 16; ++i) {
      total += p[1 + i];
    }
    if (tableClass > 1 || id > 3 || total > 256 || size < 17 + total) {
      return false;
    }
    HuffmanTable& table = tableClass == 0 ? d.dc[id] : d.ac[id];
    if (!BuildHuffman(p + 1, p + 17, total, tableClass == 1, table)) {
      return false;
    }
    p += 17 + total;
    size -= 17 + total;
  }
  return true;
}

bool ReadFrame(const uint8_t* p, int32_t size, Decoder& d) {
  if (d.haveFrame || size < 6) {
    return false;
  }
  const int precision = p[0];
  d.height = p[1] << 8 | p[2];
  d.width = p[3] << 8 | p[4];
  d.componentCount = p[5];
  if (precision != 8 || d.width == 0 || d.height == 0 ||
      (d.componentCount != 1 && d.componentCount != 3) || size < 6 + 3 * d.componentCount) {
    return false;
  }
  for (int i = 0; i < d.componentCount; ++i) {
    Component& c = d.components[i];
    c.id = p[6 + 3 * i];
    c.h = p[7 + 3 * i] >> 4;
    c.v = p[7 + 3 * i] & 0x0F;
    c.quantTable = p[8 + 3 * i];
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3) {
      return false;
    }
    d.hMax = std::max(d.hMax, c.h);
    d.vMax = std::max(d.vMax, c.v);
  }
  // Upsampling handles whole ratios only.
  for (int i = 0; i < d.componentCount; ++i) {
    if (d.hMax % d.components[i].h != 0 || d.vMax % d.components[i].v != 0) {
      return false;
    }
  }
  d.mcusX = (d.width + 8 * d.hMax - 1) / (8 * d.hMax);
  d.mcusY = (d.height + 8 * d.vMax - 1) / (8 * d.vMax);
  int64_t blocks = 0;
  for (int i = 0; i < d.componentCount; ++i) {
    blocks += int64_t{d.mcusX} * d.components[i].h * d.mcusY * d.components[i].v;
  }
  if (blocks > (d.end - d.at) * kBlocksPerByte + kBlockAllowance) {
    return false;
  }
  for (int i = 0; i < d.componentCount; ++i) {
    Component& c = d.components[i];
    JpegPlane& plane = c.plane;
    plane.stride = d.mcusX * c.h * 8;
    plane.rows = d.mcusY * c.v * 8;
    // Samples that belong to the image; the rest of the plane is padding.
    plane.width = (d.width * c.h + d.hMax - 1) / d.hMax;
    plane.height = (d.height * c.v + d.vMax - 1) / d.vMax;
    plane.hRatio = d.hMax / c.h;
    plane.vRatio = d.vMax / c.v;
    // Samples no scan reaches stay mid-grey, as a block of zero coefficients gives.
    plane.samples.assign(static_cast<size_t>(plane.stride) * static_cast<size_t>(plane.rows), 128);
  }
  d.haveFrame = true;
  // Pixels are appended row by row as they are converted.
  ImageFrameReset(d.frame, 0, 0, 24);
  d.frame->width = d.width;
  d.frame->height = d.height;
  d.frame->pixels.reserve(static_cast<size_t>(d.width) * static_cast<size_t>(d.height));
  return true;
}

// Converts the image rows from the last converted one up to `rows`.
void ConvertRows(Decoder& d, int32_t rows) {
  const JpegPlane* planes[kMaxComponents] = {};
  for (int i = 0; i < d.componentCount; ++i) {
    planes[i] = &d.components[i].plane;
  }
  rows = std::min(rows, d.height);
  if (rows > d.convertedRows) {
    JpegColourConvert(planes, d.componentCount, d.width, d.convertedRows, rows, d.frame->pixels);
    d.convertedRows = rows;
  }
}

// Decodes one block's dequantised coefficients in natural order; `last` is
// the zig-zag index of the last one coded. False on a broken code.
// Inlined into its one caller so the reader's state lives in registers.
__attribute__((always_inline)) inline bool DecodeCoefficients(BitReader& reader, Decoder& d,
                                                              Component& c, int16_t* coefficients,
                                                              int& last) {
  const uint32_t* slots = d.slots[c.quantTable];
  const int32_t* fastAc = d.ac[c.acTable].fastAc;
  reader.Ensure(32);
  const int dcSize = DecodeSymbol(reader, d.dc[c.dcTable]);
  if (dcSize < 0 || dcSize > 11) {
    return false;
  }
  const int32_t difference = dcSize == 0 ? 0 : Extend(reader.Get(dcSize), dcSize);
  c.prediction = std::clamp(c.prediction + difference, -kPredictionLimit, kPredictionLimit);
  Place(coefficients, slots[0], c.prediction);
  for (int k = 1; k < 64;) {
    reader.Ensure(32);
    const int32_t fast = fastAc[reader.Peek(kFastBits)];
    if (fast != 0) {
      reader.Consume(fast & 0xFF);
      k += (fast >> 8) & kFastRunMask;
      if (k > 63) {
        if (((fast >> 8) & kFastRunMask) == kEndRun) {
          break;
        }
        return false;
      }
      Place(coefficients, slots[k], fast >> 16);
      last = k++;
      continue;
    }
    const int symbol = DecodeSymbol(reader, d.ac[c.acTable]);
    if (symbol < 0) {
      return false;
    }
    const int run = symbol >> 4;
    const int size = symbol & 0x0F;
    if (size > 10) {
      return false;  // beyond the largest coefficient of 8-bit samples
    }
    if (size == 0) {
      if (run != 15) {
        break;  // end of block
      }
      k += 16;
      continue;
    }
    k += run;
    if (k > 63) {
      return false;
    }
    Place(coefficients, slots[k], Extend(reader.Get(size), size));
    last = k++;
  }
  return true;
}

// Decodes one block into the component's plane; false on a broken code.
// Also built with BMI2, whose shifts by a register take one instruction.
__attribute__((target_clones("bmi2", "default"))) bool DecodeBlock(BitReader& shared, Decoder& d,
                                                                   Component& c, uint8_t* out) {
  alignas(32) int16_t coefficients[64] = {};
  // A local copy of the reader stays in registers while the block decodes.
  BitReader reader = shared;
  int last = 0;
  const bool ok = DecodeCoefficients(reader, d, c, coefficients, last);
  shared = reader;
  if (ok) {
    JpegIdct(coefficients, last == 0, out, c.plane.stride);
  }
  return ok;
}

// Scan header: the components it covers and their tables.
bool ReadScanHeader(const uint8_t* p, int32_t size, Decoder& d, Component** scan, int& count) {
  if (size < 1) {
    return false;
  }
  count = p[0];
  if (count < 1 || count > d.componentCount || size < 1 + 2 * count + 3) {
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t id = p[1 + 2 * i];
    Component* found = nullptr;
    for (int j = 0; j < d.componentCount; ++j) {
      if (d.components[j].id == id) {
        found = &d.components[j];
      }
    }
    if (found == nullptr) {
      return false;
    }
    found->dcTable = p[2 + 2 * i] >> 4;
    found->acTable = p[2 + 2 * i] & 0x0F;
    if (found->dcTable > 3 || found->acTable > 3 || !d.dc[found->dcTable].defined ||
        !d.ac[found->acTable].defined || !d.quantDefined[found->quantTable]) {
      return false;
    }
    scan[i] = found;
  }
  return true;
}

// At a restart point: the next marker must be a restart marker.
bool Restart(BitReader& reader, Component** scan, int count) {
  const uint8_t marker = reader.NextMarker();
  if (marker < kRst0 || marker > kRst7) {
    return false;
  }
  reader.SkipMarker();
  for (int i = 0; i < count; ++i) {
    scan[i]->prediction = 0;
  }
  return true;
}

bool DecodeMcu(BitReader& reader, Decoder& d, Component** scan, int count, int32_t mcu) {
  if (count == 1) {
    // A scan of one component codes its blocks one by one in row order.
    Component& c = *scan[0];
    const int32_t blocksX = (c.plane.width + 7) / 8;
    const int32_t bx = mcu % blocksX;
    const int32_t by = mcu / blocksX;
    uint8_t* out = c.plane.samples.data() + static_cast<size_t>(by) * 8 * c.plane.stride + bx * 8;
    return DecodeBlock(reader, d, c, out);
  }
  const int32_t mx = mcu % d.mcusX;
  const int32_t my = mcu / d.mcusX;
  for (int i = 0; i < count; ++i) {
    Component& c = *scan[i];
    for (int y = 0; y < c.v; ++y) {
      const size_t row = static_cast<size_t>(my * c.v + y) * 8;
      for (int x = 0; x < c.h; ++x) {
        uint8_t* out = c.plane.samples.data() + row * c.plane.stride + (mx * c.h + x) * 8;
        if (!DecodeBlock(reader, d, c, out)) {
          return false;
        }
      }
    }
  }
  return true;
}

// Decodes the entropy-coded data after a scan header; false when decoding
// had to stop. Leaves `at` at the marker after the data.
bool DecodeScan(Decoder& d, Component** scan, int count) {
  // MCUs per row, and the image rows one row of MCUs covers.
  int32_t mcusPerRow = d.mcusX;
  int32_t mcus = d.mcusX * d.mcusY;
  int32_t rowsPerMcuRow = 8 * d.vMax;
  if (count == 1) {
    const JpegPlane& plane = scan[0]->plane;
    mcusPerRow = (plane.width + 7) / 8;
    mcus = mcusPerRow * ((plane.height + 7) / 8);
    rowsPerMcuRow = 8 * plane.vRatio;
  }
  for (int i = 0; i < count; ++i) {
    scan[i]->prediction = 0;
  }
  // A scan of every component completes rows as it goes; each row of MCUs
  // is converted once the next one (its lower neighbours) is decoded, while
  // both are still in the cache.
  const bool convertAsDecoded = count == d.componentCount;
  BitReader reader(d.at, d.end);
  bool ok = true;
  for (int32_t mcu = 0; mcu < mcus && ok; ++mcu) {
    if (d.restartInterval > 0 && mcu > 0 && mcu % d.restartInterval == 0) {
      ok = Restart(reader, scan, count);
    }
    ok = ok && DecodeMcu(reader, d, scan, count, mcu) && !reader.Overrun();
    if (ok && convertAsDecoded && (mcu + 1) % mcusPerRow == 0) {
      ConvertRows(d, mcu / mcusPerRow * rowsPerMcuRow);
    }
  }
  reader.NextMarker();
  d.at = reader.Position();
  return ok;
}

// Moves past entropy-coded data of a scan that is not decoded.
void SkipScanData(Decoder& d) {
  BitReader reader(d.at, d.end);
  uint8_t marker = reader.NextMarker();
  while (marker >= kRst0 && marker <= kRst7) {
    reader.SkipMarker();
    marker = reader.NextMarker();
  }
  d.at = reader.Position();
}

// The next marker code, skipping any bytes before it; 0 at the end.
uint8_t NextMarker(Decoder& d) {
  while (d.at < d.end && *d.at != 0xFF) {
    ++d.at;
  }
  while (d.at < d.end && *d.at == 0xFF) {
    ++d.at;
  }
  return d.at < d.end ? *d.at++ : 0;
}

// Handles one segment; false when decoding stops.
bool ReadSegment(Decoder& d, uint8_t marker) {
  if (marker == kTem || (marker >= kRst0 && marker <= kRst7) || marker == kSoi) {
    return true;  // markers without a segment
  }
  const uint8_t* body = nullptr;
  int32_t size = 0;
  if (!Segment(d, body, size)) {
    return false;
  }
  switch (marker) {
    case kSof0:
      return ReadFrame(body, size, d);
    case kDht:
      return ReadHuffmanTables(body, size, d);
    case kDqt:
      return ReadQuantTables(body, size, d);
    case kDri:
      if (size < 2) {
        return false;
      }
      d.restartInterval = body[0] << 8 | body[1];
      return true;
    case kSos: {
      if (!d.haveFrame) {
        SkipScanData(d);
        return true;
      }
      Component* scan[kMaxComponents] = {};
      int count = 0;
      return ReadScanHeader(body, size, d, scan, count) && DecodeScan(d, scan, count);
    }
    default:
      return true;  // other frame types, application data, comments
  }
}

}  // namespace

void ImageJpegStart() {
  LogVersion("qmrImageJPG - Version Alpha.0");
}

void ImageJpegStop() {}

void ImageJpegRead(ImageSource& source, ImageFrame* frame) {
  std::vector<uint8_t> data;
  if (!source.ReadRest(data) || data.size() < 2 || data[0] != 0xFF || data[1] != kSoi) {
    return;
  }
  auto decoder = std::make_unique<Decoder>();
  Decoder& d = *decoder;
  d.frame = frame;
  d.end = data.data() + data.size();
  d.at = data.data() + 2;
  for (uint8_t marker = NextMarker(d); marker != 0 && marker != kEoi; marker = NextMarker(d)) {
    if (!ReadSegment(d, marker)) {
      break;
    }
  }
  if (!d.haveFrame) {
    return;
  }
  // Rows no scan reached are converted from the samples as they stand.
  ConvertRows(d, d.height);
  frame->loaded = 1;
}
