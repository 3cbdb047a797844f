// Image files turned into plain 32-bit pixel arrays and written back. An
// image is a doubly linked list of frames (one for most formats, several for
// icon files and animated cursors); the caller owns it through a pointer to its
// first frame. Readers take content names and read through the data-file
// layer; writers take ordinary paths and write direct files. Readers never log:
// a missing file leaves the image unchanged, a broken or unsupported file gives
// the placeholder, success sets the loaded flag.
//
// Pixels are 0xAARRGGBB (bytes blue, green, red, alpha in memory), rows from
// the top down, each row left to right.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ImageFrame {
  std::string name;  // empty after creation; callers that load by name store it
  std::string text;  // second text field; not used by the readers
  uint8_t loaded = 0;
  uint8_t placeholder = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t bitsPerPixel = 32;  // the source depth: 1, 2, 4, 8, 16, 24 or 32
  int32_t extra = 0;
  int32_t frameNumber = 1;
  std::vector<uint32_t> pixels;         // width x height
  std::array<uint32_t, 256> palette{};  // same format as the pixels
  ImageFrame* next = nullptr;
  ImageFrame* previous = nullptr;
};

// --- Module lifecycle (qmrImage, qmrImageGIF, qmrImageJPG) ------------------
void ImageStart();
void ImageStop();
void ImageGifStart();
void ImageGifStop();
void ImageJpegStart();
void ImageJpegStop();

// --- Loading and saving -------------------------------------------------------
// Reads a content file chosen by its upper-cased extension into the image,
// creating the first frame when the image is empty. Icon files load their
// entries firstIcon..lastIcon (0-based; lastIcon -1 means up to the last).
void ImageLoad(const std::string& name, ImageFrame*& image, int32_t firstIcon = 0,
               int32_t lastIcon = -1);
// Writes the image to a path by its upper-cased extension; false when the
// extension has no writer, the file cannot be created or a write fails.
bool ImageSave(const std::string& path, const ImageFrame* image);
// Whether a script or agent may name the file as a picture.
bool ImageSupported(const std::string& fileName);

// --- Frames -------------------------------------------------------------------
ImageFrame* ImageFrameNew(ImageFrame*& image);  // appends a fresh frame
void ImageFree(ImageFrame*& image);             // frees every frame; image becomes null
// Copies both texts, both flags, the size, the depth, the field after it, the
// pixels and the palette; the frame number and the links stay.
void ImageCopy(ImageFrame* destination, const ImageFrame* source);
// 16 x 16 white with a red border and red diagonals; loaded and placeholder set.
void ImagePlaceholderSet(ImageFrame* frame);

// --- Palette ------------------------------------------------------------------
// Index of the nearest of the first 2^depth palette entries (sum of absolute
// blue, green and red differences, earliest wins ties); 0 above 8 bits.
int32_t ImagePaletteNearest(const ImageFrame* frame, uint32_t colour);
