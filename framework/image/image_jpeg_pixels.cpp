// Inverse DCT, upsampling and colour conversion for the JPEG decoder.
//
// The inverse DCT is the separable integer form of the Loeffler-Ligtenberg-
// Moschytz 8-point transform: 12 multiplications per row, constants scaled by
// 2^13, two extra bits of precision kept between the column and row passes.
// Chroma planes are upsampled with the triangle filter (3/4 of the nearer
// sample, 1/4 of the farther), which is what common decoders do by default.
#include <algorithm>

#include "framework/image/image_jpeg_internal.h"

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int64_t kFix0298631336 = 2446;
constexpr int64_t kFix0390180644 = 3196;
constexpr int64_t kFix0541196100 = 4433;
constexpr int64_t kFix0765366865 = 6270;
constexpr int64_t kFix0899976223 = 7373;
constexpr int64_t kFix1175875602 = 9633;
constexpr int64_t kFix1501321110 = 12299;
constexpr int64_t kFix1847759065 = 15137;
constexpr int64_t kFix1961570560 = 16069;
constexpr int64_t kFix2053119869 = 16819;
constexpr int64_t kFix2562915447 = 20995;
constexpr int64_t kFix3072711026 = 25172;

inline int64_t Descale(int64_t x, int bits) { return (x + (int64_t{1} << (bits - 1))) >> bits; }

inline uint8_t ClampSample(int64_t x) { return static_cast<uint8_t>(std::clamp<int64_t>(x, 0, 255)); }

// One 8-point transform over in[0], in[step], ... in[7 * step]; out gets
// the eight results before descaling.
inline void Transform(const int64_t* in, int step, int64_t* out) {
  // Even part.
  int64_t z2 = in[2 * step];
  int64_t z3 = in[6 * step];
  int64_t z1 = (z2 + z3) * kFix0541196100;
  const int64_t even2 = z1 - z3 * kFix1847759065;
  const int64_t even3 = z1 + z2 * kFix0765366865;
  z2 = in[0];
  z3 = in[4 * step];
  const int64_t even0 = (z2 + z3) * (int64_t{1} << kConstBits);
  const int64_t even1 = (z2 - z3) * (int64_t{1} << kConstBits);
  const int64_t sum10 = even0 + even3;
  const int64_t sum13 = even0 - even3;
  const int64_t sum11 = even1 + even2;
  const int64_t sum12 = even1 - even2;

  // Odd part.
  int64_t odd0 = in[7 * step];
  int64_t odd1 = in[5 * step];
  int64_t odd2 = in[3 * step];
  int64_t odd3 = in[1 * step];
  z1 = odd0 + odd3;
  z2 = odd1 + odd2;
  z3 = odd0 + odd2;
  int64_t z4 = odd1 + odd3;
  const int64_t z5 = (z3 + z4) * kFix1175875602;
  odd0 *= kFix0298631336;
  odd1 *= kFix2053119869;
  odd2 *= kFix3072711026;
  odd3 *= kFix1501321110;
  z1 *= -kFix0899976223;
  z2 *= -kFix2562915447;
  z3 = z3 * -kFix1961570560 + z5;
  z4 = z4 * -kFix0390180644 + z5;
  odd0 += z1 + z3;
  odd1 += z2 + z4;
  odd2 += z2 + z3;
  odd3 += z1 + z4;

  out[0] = sum10 + odd3;
  out[7] = sum10 - odd3;
  out[1] = sum11 + odd2;
  out[6] = sum11 - odd2;
  out[2] = sum12 + odd1;
  out[5] = sum12 - odd1;
  out[3] = sum13 + odd0;
  out[4] = sum13 - odd0;
}

// Fixed-point (16 fraction bits) YCbCr to RGB terms of the JFIF conversion.
struct ColourTables {
  int32_t crRed[256];
  int32_t cbBlue[256];
  int32_t cbGreen[256];  // includes the rounding half
  int32_t crGreen[256];
};

ColourTables MakeColourTables() {
  constexpr int kBits = 16;
  constexpr double kScale = 1 << kBits;
  constexpr int32_t kHalf = 1 << (kBits - 1);
  ColourTables t{};
  for (int i = 0; i < 256; ++i) {
    const int32_t c = i - 128;
    t.crRed[i] = (static_cast<int32_t>(1.40200 * kScale + 0.5) * c + kHalf) >> kBits;
    t.cbBlue[i] = (static_cast<int32_t>(1.77200 * kScale + 0.5) * c + kHalf) >> kBits;
    t.crGreen[i] = -static_cast<int32_t>(0.71414 * kScale + 0.5) * c;
    t.cbGreen[i] = -static_cast<int32_t>(0.34414 * kScale + 0.5) * c + kHalf;
  }
  return t;
}

inline uint32_t Clamp255(int32_t x) { return static_cast<uint32_t>(std::clamp(x, 0, 255)); }

// A plane row upsampled twice across: each output pair leans 3/4 on its own
// sample and 1/4 on the neighbour; the outer samples are repeated.
void UpsampleAcross(const uint8_t* in, int32_t width, uint8_t* out) {
  if (width == 1) {
    out[0] = out[1] = in[0];
    return;
  }
  out[0] = in[0];
  out[1] = static_cast<uint8_t>((in[0] * 3 + in[1] + 2) >> 2);
  for (int32_t x = 1; x < width - 1; ++x) {
    const int32_t near = in[x] * 3;
    out[2 * x] = static_cast<uint8_t>((near + in[x - 1] + 1) >> 2);
    out[2 * x + 1] = static_cast<uint8_t>((near + in[x + 1] + 2) >> 2);
  }
  const int32_t last = width - 1;
  out[2 * last] = static_cast<uint8_t>((in[last] * 3 + in[last - 1] + 1) >> 2);
  out[2 * last + 1] = in[last];
}

// Both directions: column sums of 3 x nearer row + farther row, then the
// same filter across on the sums.
void UpsampleBoth(const uint8_t* nearRow, const uint8_t* farRow, int32_t width, int32_t* sums,
                  uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    sums[x] = nearRow[x] * 3 + farRow[x];
  }
  if (width == 1) {
    out[0] = out[1] = static_cast<uint8_t>((sums[0] * 4 + 8) >> 4);
    return;
  }
  out[0] = static_cast<uint8_t>((sums[0] * 4 + 8) >> 4);
  out[1] = static_cast<uint8_t>((sums[0] * 3 + sums[1] + 7) >> 4);
  for (int32_t x = 1; x < width - 1; ++x) {
    const int32_t near = sums[x] * 3;
    out[2 * x] = static_cast<uint8_t>((near + sums[x - 1] + 8) >> 4);
    out[2 * x + 1] = static_cast<uint8_t>((near + sums[x + 1] + 7) >> 4);
  }
  const int32_t last = width - 1;
  out[2 * last] = static_cast<uint8_t>((sums[last] * 3 + sums[last - 1] + 8) >> 4);
  out[2 * last + 1] = static_cast<uint8_t>((sums[last] * 4 + 7) >> 4);
}

void UpsampleDown(const uint8_t* nearRow, const uint8_t* farRow, int32_t width, int bias,
                  uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    out[x] = static_cast<uint8_t>((nearRow[x] * 3 + farRow[x] + bias) >> 2);
  }
}

// Any other whole ratio: each sample covers a block of pixels.
void UpsampleBox(const JpegPlane& plane, int32_t y, int32_t width, uint8_t* out) {
  const uint8_t* row =
      plane.samples.data() + static_cast<size_t>(std::min(y / plane.vRatio, plane.height - 1)) *
                                 static_cast<size_t>(plane.stride);
  for (int32_t x = 0; x < width; ++x) {
    out[x] = row[std::min(x / plane.hRatio, plane.width - 1)];
  }
}

// The plane's samples for image row y, one per pixel.
const uint8_t* PlaneRow(const JpegPlane& plane, int32_t y, int32_t width, uint8_t* scratch,
                        int32_t* sums) {
  const auto rowAt = [&plane](int32_t row) {
    return plane.samples.data() +
           static_cast<size_t>(std::clamp(row, 0, plane.height - 1)) *
               static_cast<size_t>(plane.stride);
  };
  const int32_t sampleRow = y / plane.vRatio;
  if (plane.hRatio == 1 && plane.vRatio == 1) {
    return rowAt(y);
  }
  if (plane.hRatio == 2 && plane.vRatio == 1) {
    UpsampleAcross(rowAt(y), plane.width, scratch);
  } else if (plane.hRatio == 2 && plane.vRatio == 2) {
    const int32_t farRow = y % 2 == 0 ? sampleRow - 1 : sampleRow + 1;
    UpsampleBoth(rowAt(sampleRow), rowAt(farRow), plane.width, sums, scratch);
  } else if (plane.hRatio == 1 && plane.vRatio == 2) {
    const bool upper = y % 2 == 0;
    UpsampleDown(rowAt(sampleRow), rowAt(upper ? sampleRow - 1 : sampleRow + 1), plane.width,
                 upper ? 1 : 2, scratch);
  } else {
    UpsampleBox(plane, y, width, scratch);
  }
  return scratch;
}

}  // namespace

void JpegIdct(const int32_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride) {
  if (dcOnly) {
    const int64_t dc = int64_t{coefficients[0]} * (1 << kPass1Bits);
    const uint8_t value = ClampSample(Descale(dc, kPass1Bits + 3) + 128);
    for (int y = 0; y < 8; ++y) {
      std::fill_n(out + y * stride, 8, value);
    }
    return;
  }
  int64_t in[64];
  int64_t workspace[64];
  int64_t result[8];
  std::copy(coefficients, coefficients + 64, in);
  for (int column = 0; column < 8; ++column) {
    const int64_t* c = in + column;
    if (c[8] == 0 && c[16] == 0 && c[24] == 0 && c[32] == 0 && c[40] == 0 && c[48] == 0 &&
        c[56] == 0) {
      for (int row = 0; row < 8; ++row) {
        workspace[row * 8 + column] = c[0] * (1 << kPass1Bits);
      }
      continue;
    }
    Transform(c, 8, result);
    for (int row = 0; row < 8; ++row) {
      workspace[row * 8 + column] = Descale(result[row], kConstBits - kPass1Bits);
    }
  }
  for (int row = 0; row < 8; ++row) {
    const int64_t* w = workspace + row * 8;
    uint8_t* o = out + row * stride;
    Transform(w, 1, result);
    for (int x = 0; x < 8; ++x) {
      o[x] = ClampSample(Descale(result[x], kConstBits + kPass1Bits + 3) + 128);
    }
  }
}

void JpegColourConvert(const JpegPlane* const* planes, int count, ImageFrame* frame) {
  const int32_t width = frame->width;
  std::vector<uint8_t> scratch[3];
  std::vector<int32_t> sums(static_cast<size_t>(width) + 16);
  for (int i = 0; i < count; ++i) {
    scratch[i].resize(static_cast<size_t>(planes[i]->width) * 2 + static_cast<size_t>(width) + 16);
  }
  const ColourTables tables = MakeColourTables();
  for (int32_t y = 0; y < frame->height; ++y) {
    uint32_t* out = frame->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const uint8_t* luma = PlaneRow(*planes[0], y, width, scratch[0].data(), sums.data());
    if (count == 1) {
      for (int32_t x = 0; x < width; ++x) {
        out[x] = luma[x] * 0x010101u;
      }
      continue;
    }
    const uint8_t* cb = PlaneRow(*planes[1], y, width, scratch[1].data(), sums.data());
    const uint8_t* cr = PlaneRow(*planes[2], y, width, scratch[2].data(), sums.data());
    for (int32_t x = 0; x < width; ++x) {
      const int32_t l = luma[x];
      const uint32_t red = Clamp255(l + tables.crRed[cr[x]]);
      const uint32_t green = Clamp255(l + ((tables.cbGreen[cb[x]] + tables.crGreen[cr[x]]) >> 16));
      const uint32_t blue = Clamp255(l + tables.cbBlue[cb[x]]);
      out[x] = red << 16 | green << 8 | blue;
    }
  }
}
