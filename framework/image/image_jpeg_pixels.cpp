// Inverse DCT, upsampling and colour conversion for the JPEG decoder.
//
// The inverse DCT is the separable integer form of the Loeffler-Ligtenberg-
// Moschytz 8-point transform: 12 multiplications per row, constants scaled by
// 2^13, two extra bits of precision kept between the column and row passes.
// Chroma planes are upsampled with the triangle filter (3/4 of the nearer
// sample, 1/4 of the farther), which is what common decoders do by default.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "framework/image/image_jpeg_internal.h"

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int32_t kFix0298631336 = 2446;
constexpr int32_t kFix0390180644 = 3196;
constexpr int32_t kFix0541196100 = 4433;
constexpr int32_t kFix0765366865 = 6270;
constexpr int32_t kFix0899976223 = 7373;
constexpr int32_t kFix1175875602 = 9633;
constexpr int32_t kFix1501321110 = 12299;
constexpr int32_t kFix1847759065 = 15137;
constexpr int32_t kFix1961570560 = 16069;
constexpr int32_t kFix2053119869 = 16819;
constexpr int32_t kFix2562915447 = 20995;
constexpr int32_t kFix3072711026 = 25172;
// Values between the passes stay within this bound for real images; holding
// them there keeps every product of the second pass inside 32 bits whatever
// a broken file contains (the coefficients are held to 12 bits by the caller).
constexpr int32_t kPass1Limit = 8192;

// Eight 32-bit lanes: the transform runs on all eight columns (then rows) of
// a block at once.
typedef int32_t Lanes __attribute__((vector_size(32)));
typedef int16_t Shorts8 __attribute__((vector_size(16)));
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint8_t Bytes32 __attribute__((vector_size(32)));
typedef uint16_t Words16 __attribute__((vector_size(32)));

// GCC's lane shuffles with a mask vector. Clang (the fuzzing build) has no
// such builtin; there the same selection runs lane by lane.
template <typename Vector, typename Mask>
inline void Shuffle(const Vector& a, const Vector& b, const Mask& mask, Vector& out) {
#if defined(__clang__)
  constexpr int kCount = sizeof(Vector) / sizeof(a[0]);
  for (int i = 0; i < kCount; ++i) {
    const int lane = mask[i] & (2 * kCount - 1);
    out[i] = lane < kCount ? a[lane] : b[lane - kCount];
  }
#else
  out = __builtin_shuffle(a, b, mask);
#endif
}

template <typename Vector, typename Mask>
inline void Shuffle(const Vector& a, const Mask& mask, Vector& out) {
#if defined(__clang__)
  constexpr int kCount = sizeof(Vector) / sizeof(a[0]);
  for (int i = 0; i < kCount; ++i) {
    out[i] = a[mask[i] & (kCount - 1)];
  }
#else
  out = __builtin_shuffle(a, mask);
#endif
}

// Rounds away `bits` fraction bits, adds the offset and holds the result
// within [low, high]. Vectors go by reference: passing them by value would
// depend on the instruction set.
inline void DescaleClamp(Lanes& x, int bits, int32_t offset, int32_t low, int32_t high) {
  x = ((x + (1 << (bits - 1))) >> bits) + offset;
  x = x < low ? Lanes{} + low : x;
  x = x > high ? Lanes{} + high : x;
}

// One 8-point transform of v[0..7] (each lane an independent line) into the
// eight results before descaling.
inline void Transform(const Lanes* v, Lanes* out) {
  // Even part.
  Lanes z2 = v[2];
  Lanes z3 = v[6];
  Lanes z1 = (z2 + z3) * kFix0541196100;
  const Lanes even2 = z1 - z3 * kFix1847759065;
  const Lanes even3 = z1 + z2 * kFix0765366865;
  const Lanes even0 = (v[0] + v[4]) << kConstBits;
  const Lanes even1 = (v[0] - v[4]) << kConstBits;
  const Lanes sum10 = even0 + even3;
  const Lanes sum13 = even0 - even3;
  const Lanes sum11 = even1 + even2;
  const Lanes sum12 = even1 - even2;

  // Odd part.
  Lanes odd0 = v[7];
  Lanes odd1 = v[5];
  Lanes odd2 = v[3];
  Lanes odd3 = v[1];
  z1 = odd0 + odd3;
  z2 = odd1 + odd2;
  z3 = odd0 + odd2;
  Lanes z4 = odd1 + odd3;
  const Lanes z5 = (z3 + z4) * kFix1175875602;
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

// Rows become columns.
inline void Transpose(Lanes* m) {
  const Lanes lo32 = {0, 8, 1, 9, 4, 12, 5, 13};
  const Lanes hi32 = {2, 10, 3, 11, 6, 14, 7, 15};
  const Lanes lo64 = {0, 1, 8, 9, 4, 5, 12, 13};
  const Lanes hi64 = {2, 3, 10, 11, 6, 7, 14, 15};
  const Lanes lo128 = {0, 1, 2, 3, 8, 9, 10, 11};
  const Lanes hi128 = {4, 5, 6, 7, 12, 13, 14, 15};
  Lanes t[8], u[8];
#pragma GCC unroll 4
  for (int i = 0; i < 8; i += 2) {
    Shuffle(m[i], m[i + 1], lo32, t[i]);
    Shuffle(m[i], m[i + 1], hi32, t[i + 1]);
  }
#pragma GCC unroll 2
  for (int i = 0; i < 8; i += 4) {
    Shuffle(t[i], t[i + 2], lo64, u[i]);
    Shuffle(t[i], t[i + 2], hi64, u[i + 1]);
    Shuffle(t[i + 1], t[i + 3], lo64, u[i + 2]);
    Shuffle(t[i + 1], t[i + 3], hi64, u[i + 3]);
  }
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    Shuffle(u[i], u[i + 4], lo128, m[i]);
    Shuffle(u[i], u[i + 4], hi128, m[i + 4]);
  }
}

// Fixed-point (16 fraction bits) factors of the JFIF YCbCr to RGB conversion.
constexpr int kColourBits = 16;
constexpr int32_t kCrRed = 91881;     // 1.40200
constexpr int32_t kCbBlue = 116130;   // 1.77200
constexpr int32_t kCbGreen = -22554;  // -0.34414
constexpr int32_t kCrGreen = -46802;  // -0.71414
constexpr int32_t kColourHalf = 1 << (kColourBits - 1);
constexpr int kLanes = 8;
constexpr int kShortLanes = 16;

// Loads and stores written so that the compiler turns them into single
// widening and narrowing instructions where the processor has them.
inline void LoadBytes(const uint8_t* p, Lanes& out) {
  Bytes16 bytes{};
  std::memcpy(&bytes, p, 8);
  out = Lanes{bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]};
}

inline void StoreBytes(const Lanes& values, uint8_t* p) {
  const Bytes32 low = {0, 4, 8, 12, 16, 20, 24, 28, 0, 4, 8, 12, 16, 20, 24, 28,
                       0, 4, 8, 12, 16, 20, 24, 28, 0, 4, 8, 12, 16, 20, 24, 28};
  Bytes32 packed;
  Shuffle(reinterpret_cast<const Bytes32&>(values), low, packed);
  std::memcpy(p, &packed, 8);
}

inline void ClampByte(Lanes& x) {
  x = x < 0 ? Lanes{} : x;
  x = x > 255 ? Lanes{} + 255 : x;
}

inline uint32_t PixelOf(int32_t l, int32_t cb, int32_t cr) {
  const int32_t red = l + ((kCrRed * (cr - 128) + kColourHalf) >> kColourBits);
  const int32_t green =
      l + ((kCbGreen * (cb - 128) + kCrGreen * (cr - 128) + kColourHalf) >> kColourBits);
  const int32_t blue = l + ((kCbBlue * (cb - 128) + kColourHalf) >> kColourBits);
  return static_cast<uint32_t>(std::clamp(red, 0, 255)) << 16 |
         static_cast<uint32_t>(std::clamp(green, 0, 255)) << 8 |
         static_cast<uint32_t>(std::clamp(blue, 0, 255));
}

// Any x86-64: eight pixels at a time in 32-bit lanes.
__attribute__((target("default"))) void ConvertRow(const uint8_t* luma, const uint8_t* cb,
                                                   const uint8_t* cr, int32_t width,
                                                   uint32_t* out) {
  int32_t x = 0;
  for (; x + kLanes <= width; x += kLanes) {
    Lanes l, b, r;
    LoadBytes(luma + x, l);
    LoadBytes(cb + x, b);
    LoadBytes(cr + x, r);
    b -= 128;
    r -= 128;
    Lanes red = l + ((r * kCrRed + kColourHalf) >> kColourBits);
    Lanes green = l + ((b * kCbGreen + r * kCrGreen + kColourHalf) >> kColourBits);
    Lanes blue = l + ((b * kCbBlue + kColourHalf) >> kColourBits);
    ClampByte(red);
    ClampByte(green);
    ClampByte(blue);
    const Lanes pixels = red << 16 | green << 8 | blue;
    std::memcpy(out + x, &pixels, sizeof(pixels));
  }
  for (; x < width; ++x) {
    out[x] = PixelOf(luma[x], cb[x], cr[x]);
  }
}

// The 16-bit forms of the factors: 1.402 = 1 + 26345 / 2^16,
// 1.772 = 2 - 14942 / 2^16, and -0.71414 = 18734 / 2^16 - 1, so that each
// product fits a 16-bit multiplication.
constexpr int16_t kCrRedPart = 26345;
constexpr int16_t kCbBluePart = -14942;
constexpr int16_t kCrGreenPart = 18734;

// (c * part + 2^15) >> 16 for 16-bit c: the high half of (2 c) * part, then
// halved with rounding, gives the same floor as the 32-bit product does.
__attribute__((target("avx2"))) inline __m256i ScaledPart(__m256i doubled, int16_t part) {
  const __m256i high = _mm256_mulhi_epi16(doubled, _mm256_set1_epi16(part));
  return _mm256_srai_epi16(_mm256_add_epi16(high, _mm256_set1_epi16(1)), 1);
}

// The green term, (-22554 cb - 46802 cr + 2^15) >> 16 + cr, from pairs of
// 16-bit values with one multiply-add per pair.
__attribute__((target("avx2"))) inline __m256i GreenPart(__m256i b, __m256i r) {
  const __m256i factors = _mm256_set1_epi32(static_cast<int32_t>(
      static_cast<uint32_t>(kCbGreen & 0xFFFF) | static_cast<uint32_t>(kCrGreenPart) << 16));
  const __m256i half = _mm256_set1_epi32(kColourHalf);
  const __m256i low = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(b, r), factors), half), 16);
  const __m256i high = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(b, r), factors), half), 16);
  return _mm256_packs_epi32(low, high);
}

__attribute__((target("avx2"))) inline __m256i LoadWords(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__attribute__((target("avx2"))) inline __m256i ClampWords(__m256i v) {
  return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

// With AVX2: sixteen pixels at a time in 16-bit lanes, the same results.
// (Clang takes a multiversioned function that only the dispatcher calls for
// unused.)
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#endif
__attribute__((target("avx2"))) void ConvertRow(const uint8_t* luma, const uint8_t* cb,
                                                const uint8_t* cr, int32_t width, uint32_t* out) {
  const __m256i centre = _mm256_set1_epi16(128);
  int32_t x = 0;
  for (; x + kShortLanes <= width; x += kShortLanes) {
    const __m256i l = LoadWords(luma + x);
    const __m256i b = _mm256_sub_epi16(LoadWords(cb + x), centre);
    const __m256i r = _mm256_sub_epi16(LoadWords(cr + x), centre);
    const __m256i red =
        _mm256_add_epi16(_mm256_add_epi16(l, r), ScaledPart(_mm256_add_epi16(r, r), kCrRedPart));
    const __m256i twiceB = _mm256_add_epi16(b, b);
    const __m256i blue =
        _mm256_add_epi16(_mm256_add_epi16(l, twiceB), ScaledPart(twiceB, kCbBluePart));
    const __m256i green = _mm256_add_epi16(_mm256_sub_epi16(l, r), GreenPart(b, r));
    // Blue and green share a 16-bit lane, red has the next: one pixel.
    const __m256i blueGreen =
        _mm256_or_si256(ClampWords(blue), _mm256_slli_epi16(ClampWords(green), 8));
    const __m256i redZero = ClampWords(red);
    const __m256i first = _mm256_unpacklo_epi16(blueGreen, redZero);   // pixels 0-3, 8-11
    const __m256i second = _mm256_unpackhi_epi16(blueGreen, redZero);  // pixels 4-7, 12-15
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                        _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8),
                        _mm256_permute2x128_si256(first, second, 0x31));
  }
  for (; x < width; ++x) {
    out[x] = PixelOf(luma[x], cb[x], cr[x]);
  }
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// Twice across: each output pair leans 3/4 on its own value and 1/4 on the
// neighbour, (3 v + left + low) >> shift and (3 v + right + high) >> shift.
// `values` has one repeated value before and after its `width` entries, so
// the outer pixels repeat the edge; the output takes 32 bytes of slack.
// Values stay below 2^12, so sixteen 16-bit lanes do the work at once.
__attribute__((target_clones("avx2", "default"))) void Widen(const uint16_t* values, int32_t width,
                                                             uint16_t low, uint16_t high, int shift,
                                                             uint8_t* out) {
  for (int32_t x = 0; x < width; x += kShortLanes) {
    Words16 left, middle, right;
    std::memcpy(&left, values + x - 1, sizeof(Words16));
    std::memcpy(&middle, values + x, sizeof(Words16));
    std::memcpy(&right, values + x + 1, sizeof(Words16));
    const Words16 near = middle * 3;
    const Words16 even = (near + left + low) >> shift;
    const Words16 odd = (near + right + high) >> shift;
    // Both results fit in a byte: the odd one in the high byte of each lane
    // lands right after the even one in memory.
    const Words16 pairs = even | odd << 8;
    std::memcpy(out + 2 * x, &pairs, sizeof(pairs));
  }
}

// A plane row's values in `values` (one slot before, slack after), edges
// repeated, optionally mixed 3:1 with a second row.
__attribute__((target_clones("avx2", "default"))) void LoadValues(const uint8_t* nearRow,
                                                                  const uint8_t* farRow,
                                                                  int32_t width, uint16_t* values) {
  int32_t x = 0;
  for (; x + kShortLanes <= width; x += kShortLanes) {
    Bytes16 nearBytes, farBytes;
    std::memcpy(&nearBytes, nearRow + x, sizeof(nearBytes));
    Words16 near = __builtin_convertvector(nearBytes, Words16);
    if (farRow != nullptr) {
      std::memcpy(&farBytes, farRow + x, sizeof(farBytes));
      near = near * 3 + __builtin_convertvector(farBytes, Words16);
    }
    std::memcpy(values + x, &near, sizeof(near));
  }
  for (; x < width; ++x) {
    values[x] = static_cast<uint16_t>(farRow == nullptr ? nearRow[x] : nearRow[x] * 3 + farRow[x]);
  }
  values[-1] = values[0];
  values[width] = values[width - 1];
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

// The plane's samples for image row y, one per pixel. `values` has a slot
// before it and slack after.
const uint8_t* PlaneRow(const JpegPlane& plane, int32_t y, int32_t width, uint8_t* scratch,
                        uint16_t* values) {
  const auto rowAt = [&plane](int32_t row) {
    return plane.samples.data() + static_cast<size_t>(std::clamp(row, 0, plane.height - 1)) *
                                      static_cast<size_t>(plane.stride);
  };
  const int32_t sampleRow = y / plane.vRatio;
  const bool upper = y % 2 == 0;
  const int32_t farRow = upper ? sampleRow - 1 : sampleRow + 1;
  if (plane.hRatio == 1 && plane.vRatio == 1) {
    return rowAt(y);
  }
  if (plane.hRatio == 2 && plane.vRatio == 1) {
    LoadValues(rowAt(y), nullptr, plane.width, values);
    Widen(values, plane.width, 1, 2, 2, scratch);
  } else if (plane.hRatio == 2 && plane.vRatio == 2) {
    LoadValues(rowAt(sampleRow), rowAt(farRow), plane.width, values);
    Widen(values, plane.width, 8, 7, 4, scratch);
  } else if (plane.hRatio == 1 && plane.vRatio == 2) {
    UpsampleDown(rowAt(sampleRow), rowAt(farRow), plane.width, upper ? 1 : 2, scratch);
  } else {
    UpsampleBox(plane, y, width, scratch);
  }
  return scratch;
}

// The AVX2 form of the same transform works on 16-bit values: every product
// is formed by pmaddwd from a pair of inputs and a pair of factors, the
// products of the Loeffler-Ligtenberg-Moschytz form regrouped so that each
// pair of inputs meets its own factors. Integer arithmetic makes the
// regrouped sums equal to the 32-bit form's, so the samples are the same.

// Eight (a, b) pairs, one per 32-bit lane, in the order of the 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i Pair(__m128i a, __m128i b) {
  return _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
}

// The factors of a pair: `first` multiplies a, `second` multiplies b.
__attribute__((target("avx2"))) inline __m256i Factors(int32_t first, int32_t second) {
  return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(first & 0xFFFF) |
                                                static_cast<uint32_t>(second & 0xFFFF) << 16));
}

// One 8-point transform of v[0..7] (each 16-bit lane an independent line)
// into eight 32-bit results before descaling. Inputs stay within 2^13, so the
// sums of two inputs formed here fit in 16 bits.
__attribute__((target("avx2"))) inline void TransformPairs(const __m128i* v, __m256i* out) {
  const __m256i p04 = Pair(v[0], v[4]);
  const __m256i p26 = Pair(v[2], v[6]);
  const __m256i p71 = Pair(v[7], v[1]);
  const __m256i p53 = Pair(v[5], v[3]);
  const __m256i p34 = Pair(_mm_add_epi16(v[7], v[3]), _mm_add_epi16(v[5], v[1]));

  // Even part.
  const __m256i even0 = _mm256_madd_epi16(p04, Factors(1 << kConstBits, 1 << kConstBits));
  const __m256i even1 = _mm256_madd_epi16(p04, Factors(1 << kConstBits, -(1 << kConstBits)));
  const __m256i even2 =
      _mm256_madd_epi16(p26, Factors(kFix0541196100, kFix0541196100 - kFix1847759065));
  const __m256i even3 =
      _mm256_madd_epi16(p26, Factors(kFix0541196100 + kFix0765366865, kFix0541196100));
  const __m256i sum10 = _mm256_add_epi32(even0, even3);
  const __m256i sum13 = _mm256_sub_epi32(even0, even3);
  const __m256i sum11 = _mm256_add_epi32(even1, even2);
  const __m256i sum12 = _mm256_sub_epi32(even1, even2);

  // Odd part: z3 and z4 already carry their share of z5.
  const __m256i z3 =
      _mm256_madd_epi16(p34, Factors(kFix1175875602 - kFix1961570560, kFix1175875602));
  const __m256i z4 =
      _mm256_madd_epi16(p34, Factors(kFix1175875602, kFix1175875602 - kFix0390180644));
  const __m256i odd0 = _mm256_add_epi32(
      _mm256_madd_epi16(p71, Factors(kFix0298631336 - kFix0899976223, -kFix0899976223)), z3);
  const __m256i odd3 = _mm256_add_epi32(
      _mm256_madd_epi16(p71, Factors(-kFix0899976223, kFix1501321110 - kFix0899976223)), z4);
  const __m256i odd1 = _mm256_add_epi32(
      _mm256_madd_epi16(p53, Factors(kFix2053119869 - kFix2562915447, -kFix2562915447)), z4);
  const __m256i odd2 = _mm256_add_epi32(
      _mm256_madd_epi16(p53, Factors(-kFix2562915447, kFix3072711026 - kFix2562915447)), z3);

  out[0] = _mm256_add_epi32(sum10, odd3);
  out[7] = _mm256_sub_epi32(sum10, odd3);
  out[1] = _mm256_add_epi32(sum11, odd2);
  out[6] = _mm256_sub_epi32(sum11, odd2);
  out[2] = _mm256_add_epi32(sum12, odd1);
  out[5] = _mm256_sub_epi32(sum12, odd1);
  out[3] = _mm256_add_epi32(sum13, odd0);
  out[4] = _mm256_sub_epi32(sum13, odd0);
}

// Rounds away `bits` fraction bits of results[0..7], adds the offset and
// packs them to 16 bits (saturating) into rows[0..7].
__attribute__((target("avx2"))) inline void DescalePack(const __m256i* results, int bits,
                                                        int32_t offset, __m128i* rows) {
  const __m256i round = _mm256_set1_epi32((1 << (bits - 1)) + (offset << bits));
  for (int i = 0; i < 8; i += 2) {
    const __m256i first = _mm256_srai_epi32(_mm256_add_epi32(results[i], round), bits);
    const __m256i second = _mm256_srai_epi32(_mm256_add_epi32(results[i + 1], round), bits);
    // packs interleaves 128-bit halves; the permute puts each row together.
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packs_epi32(first, second), _MM_SHUFFLE(3, 1, 2, 0));
    rows[i] = _mm256_castsi256_si128(packed);
    rows[i + 1] = _mm256_extracti128_si256(packed, 1);
  }
}

// Rows of eight 16-bit values become columns.
__attribute__((target("avx2"))) inline void Transpose16(__m128i* m) {
  __m128i a[8], b[8];
  for (int i = 0; i < 8; i += 2) {
    a[i] = _mm_unpacklo_epi16(m[i], m[i + 1]);
    a[i + 1] = _mm_unpackhi_epi16(m[i], m[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    b[i] = _mm_unpacklo_epi32(a[i], a[i + 2]);
    b[i + 1] = _mm_unpackhi_epi32(a[i], a[i + 2]);
    b[i + 2] = _mm_unpacklo_epi32(a[i + 1], a[i + 3]);
    b[i + 3] = _mm_unpackhi_epi32(a[i + 1], a[i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    m[2 * i] = _mm_unpacklo_epi64(b[i], b[i + 4]);
    m[2 * i + 1] = _mm_unpackhi_epi64(b[i], b[i + 4]);
  }
}

using IdctFunction = void(const int16_t*, bool, uint8_t*, int32_t);

// A block whose only coefficient is the constant one is one flat value.
void FillFlat(const int16_t* coefficients, uint8_t* out, int32_t stride) {
  const int32_t dc = coefficients[0] * (1 << kPass1Bits);
  const int32_t value = ((dc + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3)) + 128;
  const auto sample = static_cast<uint8_t>(std::clamp(value, 0, 255));
  for (int y = 0; y < 8; ++y) {
    std::memset(out + y * stride, sample, 8);
  }
}

}  // namespace

// Any x86-64: eight 32-bit lanes (two registers each) per line of the block.
void JpegIdctPortable(const int16_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride) {
  if (dcOnly) {
    FillFlat(coefficients, out, stride);
    return;
  }
  Lanes rows[8];
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    Shorts8 r;
    std::memcpy(&r, coefficients + 8 * i, sizeof(r));
    rows[i] = Lanes{r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]};
  }
  Lanes work[8];
  // Columns first. A block whose coefficients all sit in the first row
  // has eight flat columns.
  const Lanes rest = rows[1] | rows[2] | rows[3] | rows[4] | rows[5] | rows[6] | rows[7];
  bool flat = true;
  for (int i = 0; i < 8; ++i) {
    flat = flat && rest[i] == 0;
  }
  if (flat) {
    for (Lanes& row : work) {
      row = rows[0] << kPass1Bits;
    }
  } else {
    Transform(rows, work);
#pragma GCC unroll 8
    for (Lanes& row : work) {
      DescaleClamp(row, kConstBits - kPass1Bits, 0, -kPass1Limit, kPass1Limit);
    }
  }
  // Then rows: transposed, each lane is one row of the block.
  Transpose(work);
  Transform(work, rows);
#pragma GCC unroll 8
  for (Lanes& row : rows) {
    DescaleClamp(row, kConstBits + kPass1Bits + 3, 128, 0, 255);
  }
  Transpose(rows);
#pragma GCC unroll 8
  for (int y = 0; y < 8; ++y) {
    StoreBytes(rows[y], out + y * stride);
  }
}

// With AVX2: sixteen 16-bit products per instruction.
__attribute__((target("avx2"))) void JpegIdctAvx2(const int16_t* coefficients, bool dcOnly,
                                                  uint8_t* out, int32_t stride) {
  if (dcOnly) {
    FillFlat(coefficients, out, stride);
    return;
  }
  __m128i rows[8];
  for (int i = 0; i < 8; ++i) {
    rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i));
  }
  // Columns first; their results are held to the same bound as above.
  __m256i results[8];
  TransformPairs(rows, results);
  DescalePack(results, kConstBits - kPass1Bits, 0, rows);
  const __m128i low = _mm_set1_epi16(-kPass1Limit);
  const __m128i high = _mm_set1_epi16(kPass1Limit);
  for (__m128i& row : rows) {
    row = _mm_min_epi16(_mm_max_epi16(row, low), high);
  }
  // Then rows: transposed, each lane is one row of the block.
  Transpose16(rows);
  TransformPairs(rows, results);
  DescalePack(results, kConstBits + kPass1Bits + 3, 128, rows);
  Transpose16(rows);
  for (int y = 0; y < 8; ++y) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + y * stride),
                     _mm_packus_epi16(rows[y], rows[y]));
  }
}

// Picks the inverse DCT for the processor once, when the program is loaded.
// The loader calls this before the sanitiser runtimes are set up, so it is
// built without their checks.
extern "C" __attribute__((no_sanitize("address", "undefined"))) IdctFunction* ResolveJpegIdct() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? JpegIdctAvx2 : JpegIdctPortable;
}

void JpegIdct(const int16_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride)
    __attribute__((ifunc("ResolveJpegIdct")));

void JpegColourConvert(const JpegPlane* const* planes, int count, int32_t width, int32_t first,
                       int32_t last, std::vector<uint32_t>& pixels) {
  // Room for upsampled rows (two per sample plus vector slack) and for the
  // values behind them (a slot before, slack after).
  const size_t room = static_cast<size_t>(width) * 2 + 4 * kShortLanes;
  std::vector<uint8_t> scratch[3];
  std::vector<uint16_t> values(room);
  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (int i = 0; i < count; ++i) {
    scratch[i].resize(room);
  }
  for (int32_t y = first; y < last; ++y) {
    const uint8_t* luma = PlaneRow(*planes[0], y, width, scratch[0].data(), values.data() + 1);
    if (count == 1) {
      for (int32_t x = 0; x < width; ++x) {
        row[static_cast<size_t>(x)] = luma[x] * 0x010101u;
      }
    } else {
      const uint8_t* cb = PlaneRow(*planes[1], y, width, scratch[1].data(), values.data() + 1);
      const uint8_t* cr = PlaneRow(*planes[2], y, width, scratch[2].data(), values.data() + 1);
      ConvertRow(luma, cb, cr, width, row.data());
    }
    pixels.insert(pixels.end(), row.begin(), row.end());
  }
}
