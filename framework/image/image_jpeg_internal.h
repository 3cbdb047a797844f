// Pixel stages of the JPEG decoder: the inverse DCT of one block and the
// upsampling and colour conversion of the decoded component planes.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/image/image.h"

// Samples of one component, padded to whole MCUs.
struct JpegPlane {
  std::vector<uint8_t> samples;
  int32_t stride = 0;  // allocated samples per row
  int32_t rows = 0;    // allocated rows
  int32_t width = 0;   // samples per row that belong to the image
  int32_t height = 0;  // rows that belong to the image
  int hRatio = 1;      // image pixels per sample across
  int vRatio = 1;      // image pixels per sample down
};

// Dequantised coefficients in natural order to 8 x 8 samples.
void JpegIdct(const int16_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride);
// The builds JpegIdct picks from: for any x86-64, and for processors with AVX2.
void JpegIdctPortable(const int16_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride);
void JpegIdctAvx2(const int16_t* coefficients, bool dcOnly, uint8_t* out, int32_t stride);
// Upsamples the planes (one grey plane, or Y, Cb and Cr) for image rows
// first..last-1 and appends their pixels.
void JpegColourConvert(const JpegPlane* const* planes, int count, int32_t width, int32_t first,
                       int32_t last, std::vector<uint32_t>& pixels);
