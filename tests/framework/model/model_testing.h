// Images for the model tests: made in memory, or written as content files.
#pragma once

#include <functional>
#include <string>

#include "framework/image/image.h"
#include "tests/support/testsupport.h"

// An image whose pixel (x, y) is colour(x, y), 0xAARRGGBB.
inline ImageFrame MakeImage(int32_t width, int32_t height,
                            const std::function<uint32_t(int32_t, int32_t)>& colour,
                            uint8_t bitsPerPixel = 32) {
  ImageFrame image;
  image.loaded = 1;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = bitsPerPixel;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      image.pixels.push_back(colour(x, y));
    }
  }
  return image;
}

// An opaque colour that differs from pixel to pixel over a 256 x 256 square.
inline uint32_t Gradient(int32_t x, int32_t y) {
  return 0xFF000000u | static_cast<uint32_t>(x & 0xFF) << 16 |
         static_cast<uint32_t>(y & 0xFF) << 8 | static_cast<uint32_t>((x + y) & 0xFF);
}

// Writes the image as a TGA file below the program folder.
inline void WriteTga(const TempFolder& folder, const std::string& relative,
                     const ImageFrame& image) {
  folder.write(relative, "");  // makes the folders
  ImageSave(folder.path() + relative, &image);
}
