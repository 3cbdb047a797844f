// Internals shared by the image readers and writers: the byte sources they
// parse from (a content file or a memory buffer, so that every parser can be
// fed from memory as well) and the entry point of each format; writers fill a
// UtilitiesByteWriter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/utilities/utilities.h"

// --- Byte sources ---------------------------------------------------------------
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual int32_t Read(void* buffer, int32_t count) = 0;  // bytes delivered
  virtual bool Seek(int32_t position) = 0;
  virtual int32_t Tell() = 0;
  virtual int32_t Size() = 0;

  int32_t Remaining();  // bytes between the position and the end, never below 0
  bool ReadExact(void* buffer, int32_t count);
  bool ReadU8(uint8_t& value);
  bool ReadU16(uint16_t& value);
  bool ReadI16(int16_t& value);
  bool ReadU32(uint32_t& value);
  bool ReadI32(int32_t& value);
  bool Skip(int32_t count);  // false when fewer bytes remain
  // Reads count bytes into a new buffer; false (and nothing allocated) when
  // the source cannot hold them.
  bool ReadBlock(std::vector<uint8_t>& bytes, int32_t count);
  bool ReadRest(std::vector<uint8_t>& bytes);  // everything up to the end
};

class ImageMemorySource : public ImageSource {
 public:
  ImageMemorySource(const uint8_t* data, int32_t size) : data_(data), size_(size) {}
  explicit ImageMemorySource(const std::vector<uint8_t>& bytes)
      : data_(bytes.data()), size_(static_cast<int32_t>(bytes.size())) {}
  int32_t Read(void* buffer, int32_t count) override;
  bool Seek(int32_t position) override;
  int32_t Tell() override { return position_; }
  int32_t Size() override { return size_; }

 private:
  const uint8_t* data_;
  int32_t size_;
  int32_t position_ = 0;
};

// Reads an open content file of the data-file layer; the caller closes it.
class ImageDataFileSource : public ImageSource {
 public:
  explicit ImageDataFileSource(int32_t id) : id_(id) {}
  int32_t Read(void* buffer, int32_t count) override;
  bool Seek(int32_t position) override;
  int32_t Tell() override;
  int32_t Size() override;

 private:
  int32_t id_;
};

// --- Frame filling ----------------------------------------------------------------
// Sets size, depth and a zeroed pixel array, clearing both flags.
void ImageFrameReset(ImageFrame* frame, int32_t width, int32_t height, int32_t bitsPerPixel);
// The frame after `frame` in the image, appended when there is none.
ImageFrame* ImageFrameNext(ImageFrame*& image, ImageFrame* frame);
// 16-bit pixels of 5-5-5 (red, green, blue from the top; the top bit is not
// colour) to 8-bit channels, each scaled by 255 / 31, and back.
inline uint32_t ImageExpandFiveFiveFive(uint32_t value) {
  const auto channel = [value](int shift) { return ((value >> shift) & 0x1F) * 255 / 31; };
  return channel(10) << 16 | channel(5) << 8 | channel(0);
}
inline uint32_t ImagePackFiveFiveFive(uint32_t colour) {
  return ((colour >> 19) & 0x1F) << 10 | ((colour >> 11) & 0x1F) << 5 | ((colour >> 3) & 0x1F);
}

// --- Palettes ---------------------------------------------------------------------
// Nearest of the first `entries` palette entries.
int32_t ImagePaletteNearestIn(const uint32_t* palette, int32_t entries, uint32_t colour);
// The colours a writer stores the frame with, at most `entries`: the first
// `entries` of its palette, or, when those are all 0 (a frame never given a
// palette), the frame's own colours, reduced by median cut when they do not fit.
std::vector<uint32_t> ImageWriterPalette(const ImageFrame* frame, int32_t entries);
// Index of each pixel's nearest palette colour.
std::vector<uint8_t> ImagePaletteIndices(const std::vector<uint32_t>& pixels,
                                         const std::vector<uint32_t>& palette);

// --- Device-independent bitmaps (BMP files and icon images) ---------------------
struct ImageDib {
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;  // rows; negative in a file means top row first
  bool topDown = false;
  uint16_t depth = 0;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // red, green, blue
};
// Reads the 40-byte information header and, with bit fields, the three masks
// after it; false on a failed read or a layout that cannot be decoded.
bool ImageDibReadHeader(ImageSource& source, ImageDib& dib);
// Bytes in one stored row of `width` pixels, padded to 4 bytes.
uint64_t ImageDibRowBytes(int32_t width, int32_t depth);
// Palette of the colours used (2^depth when 0), starting at the position.
bool ImageDibReadPalette(ImageSource& source, const ImageDib& dib, ImageFrame* frame);
// Resets the frame to the bitmap's size and reads its rows from the position.
bool ImageDibReadPixels(ImageSource& source, const ImageDib& dib, ImageFrame* frame);
// The depth a bitmap writer stores the frame at: its own where readers take
// it, 4 for 2-bit frames, 24 for 16-bit icons and for depths a bitmap lacks.
int32_t ImageDibWriteDepth(const ImageFrame* frame, bool icon);
// Writes the palette (depths up to 8) and then the rows bottom-up at `depth`.
void ImageDibWriteColours(const ImageFrame* frame, int32_t depth, UtilitiesByteWriter& out);

// --- Readers: fill the frame (or, for icons, frames from it on) ------------------
void ImageTgaRead(ImageSource& source, ImageFrame* frame);
void ImageBmpRead(ImageSource& source, ImageFrame* frame);
void ImagePcxRead(ImageSource& source, ImageFrame* frame);
void ImageIconRead(ImageSource& source, ImageFrame*& image, ImageFrame* frame, int32_t first,
                   int32_t last);
void ImageAniRead(ImageSource& source, ImageFrame*& image, ImageFrame* frame);
void ImageGifRead(ImageSource& source, ImageFrame* frame);
void ImageJpegRead(ImageSource& source, ImageFrame* frame);

// --- Writers: encode a frame (icons: every frame of the image) --------------------
void ImageTgaWrite(const ImageFrame* frame, UtilitiesByteWriter& out);
void ImageBmpWrite(const ImageFrame* frame, UtilitiesByteWriter& out);
void ImageIconWrite(const ImageFrame* image, bool cursor, UtilitiesByteWriter& out);
void ImageGifWrite(const ImageFrame* frame, UtilitiesByteWriter& out);
