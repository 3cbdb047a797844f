// Test helpers around the image modules: synthetic pictures, reading a buffer
// through a reader from memory, the peer libraries (libjpeg-turbo, giflib)
// that make and check files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/image/image_internal.h"

using Bytes = std::vector<uint8_t>;

// --- Frames ------------------------------------------------------------------
// Well-mixed bits of a number: deterministic noise for synthetic pictures.
uint32_t NoiseHash(uint32_t x);
// An owned image that frees its frames.
struct OwnedImage {
  OwnedImage() = default;
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;
  ~OwnedImage() { ImageFree(first); }
  ImageFrame* first = nullptr;
};

// A frame of the given size and depth with pixels from a deterministic mix
// of gradients, edges and noise (seeded), alpha from `alpha`.
void FillPhotoLike(ImageFrame* frame, int32_t width, int32_t height, int32_t depth, uint32_t seed,
                   uint32_t alpha = 0);
// Packed RGB bytes (3 per pixel) of the same kind of picture.
Bytes PhotoLikeRgb(int32_t width, int32_t height, uint32_t seed);

// --- Reading from memory ---------------------------------------------------------
using FrameReader = void (*)(ImageSource&, ImageFrame*);
void ReadFromMemory(FrameReader reader, const Bytes& bytes, ImageFrame* frame);
Bytes Encode(void (*writer)(const ImageFrame*, UtilitiesByteWriter&), const ImageFrame* frame);

// --- libjpeg-turbo -----------------------------------------------------------------
struct JpegSettings {
  int quality = 90;
  int hSampling = 2;  // luma factors; chroma is 1 x 1
  int vSampling = 2;
  bool grey = false;
  int restartRows = 0;  // restart interval in MCU rows, 0 for none
  bool progressive = false;
  bool separateScans = false;  // one baseline scan per component
};
Bytes JpegEncode(const Bytes& samples, int32_t width, int32_t height, const JpegSettings& s);
// Decodes with default settings to 0x00RRGGBB pixels.
std::vector<uint32_t> JpegDecodePeer(const Bytes& file, int32_t& width, int32_t& height);

// --- giflib ------------------------------------------------------------------------
struct GifSettings {
  int colourBits = 8;  // global table of 2^bits entries
  bool interlaced = false;
  int transparent = -1;  // index, or -1 for no graphic control extension
  int localBits = 0;     // local table of 2^bits entries when above 0
};
// Writes indices (width x height, top row first) with colour tables made
// from the seed.
Bytes GifEncodePeer(const Bytes& indices, int32_t width, int32_t height, const GifSettings& s,
                    uint32_t seed);
struct GifPeerImage {
  int32_t width = 0;  // logical screen
  int32_t height = 0;
  Bytes indices;                  // first image, rows top-down, de-interlaced
  std::vector<uint32_t> colours;  // colour table in use, 0x00RRGGBB
  int transparent = -1;
};
bool GifDecodePeer(const Bytes& file, GifPeerImage& image);
