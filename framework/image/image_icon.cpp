// Icon and cursor directories (".ICO", ".CUR") and animated cursors (".ANI").
// Each directory entry is a device-independent bitmap of twice the image's
// height: the colour rows, then a 1-bit mask where 1 marks a transparent pixel.
#include <algorithm>
#include <cstring>

#include "framework/image/image_internal.h"

namespace {

constexpr uint16_t kTypeIcon = 1;
constexpr uint16_t kTypeCursor = 2;
constexpr int32_t kDirectoryHeaderSize = 6;
constexpr int32_t kDirectoryEntrySize = 16;
constexpr int32_t kInfoHeaderSize = 40;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Legitimate entries need at least a mask bit per pixel; entries sharing data
// must not make the frames outgrow the file by more than that.
constexpr size_t kPixelsPerFileByte = 8;
constexpr size_t kPixelAllowance = 256 * 256;

struct IconEntry {
  uint32_t offset = 0;
};

bool ReadDirectory(ImageSource& source, std::vector<IconEntry>& entries) {
  uint16_t reserved = 0, type = 0, count = 0;
  if (!source.ReadU16(reserved) || !source.ReadU16(type) || !source.ReadU16(count) ||
      static_cast<int64_t>(count) * kDirectoryEntrySize > source.Remaining()) {
    return false;
  }
  entries.resize(count);
  for (IconEntry& entry : entries) {
    uint8_t sizes[4];
    uint16_t planes = 0, depth = 0;
    uint32_t bytes = 0;
    if (!source.ReadExact(sizes, 4) || !source.ReadU16(planes) || !source.ReadU16(depth) ||
        !source.ReadU32(bytes) || !source.ReadU32(entry.offset)) {
      return false;
    }
  }
  return true;
}

// Mask bit 1 is transparent. Colour data with an alpha channel of their own
// keep it; otherwise the mask alone decides: alpha 255 where it is 0.
bool ApplyMask(ImageSource& source, ImageFrame* frame, bool topDown) {
  const uint64_t rowBytes = ImageDibRowBytes(frame->width, 1);
  std::vector<uint8_t> mask;
  if (rowBytes * static_cast<uint64_t>(frame->height) > static_cast<uint64_t>(source.Remaining()) ||
      !source.ReadBlock(mask, static_cast<int32_t>(rowBytes * frame->height))) {
    return false;
  }
  const bool ownAlpha =
      frame->bitsPerPixel == 32 &&
      std::any_of(frame->pixels.begin(), frame->pixels.end(), [](uint32_t p) { return p >> 24; });
  // Rows of no width hold no pixels (and may number 2^31).
  if (ownAlpha || frame->width == 0) {
    return true;
  }
  for (int32_t y = 0; y < frame->height; ++y) {
    const uint8_t* row = mask.data() + (topDown ? y : frame->height - 1 - y) * rowBytes;
    uint32_t* out = frame->pixels.data() + static_cast<size_t>(y) * frame->width;
    for (int32_t x = 0; x < frame->width; ++x) {
      const bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
      out[x] = (out[x] & 0x00FFFFFF) | (transparent ? 0u : 0xFF000000u);
    }
  }
  return true;
}

// Reads one entry's image into the frame; false when it is broken or a PNG.
bool ReadIconImage(ImageSource& source, const IconEntry& entry, ImageFrame* frame,
                   size_t& pixelBudget) {
  uint8_t signature[8];
  if (entry.offset > static_cast<uint32_t>(source.Size()) ||
      !source.Seek(static_cast<int32_t>(entry.offset)) || !source.ReadExact(signature, 8) ||
      std::memcmp(signature, kPngSignature, 8) == 0 ||
      !source.Seek(static_cast<int32_t>(entry.offset))) {
    return false;
  }
  ImageDib dib;
  if (!ImageDibReadHeader(source, dib)) {
    return false;
  }
  dib.height /= 2;  // the stored height covers the colour rows and the mask rows
  const size_t pixels = static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height);
  if (pixels > pixelBudget) {
    return false;
  }
  pixelBudget -= pixels;
  if (dib.depth <= 8) {
    const int64_t paletteStart = int64_t{entry.offset} + std::max<uint32_t>(dib.headerSize, 40);
    if (paletteStart > source.Size() || !source.Seek(static_cast<int32_t>(paletteStart)) ||
        !ImageDibReadPalette(source, dib, frame)) {
      return false;
    }
  }
  if (!ImageDibReadPixels(source, dib, frame) || !ApplyMask(source, frame, dib.topDown)) {
    return false;
  }
  frame->loaded = 1;
  return true;
}

void ReadEntryOrPlaceholder(ImageSource& source, const IconEntry& entry, ImageFrame* frame,
                            size_t& pixelBudget) {
  if (!ReadIconImage(source, entry, frame, pixelBudget)) {
    ImagePlaceholderSet(frame);
    pixelBudget -= std::min(pixelBudget, frame->pixels.size());
  }
}

size_t PixelBudget(ImageSource& source) {
  return static_cast<size_t>(source.Size()) * kPixelsPerFileByte + kPixelAllowance;
}

bool ChunkIdIs(const uint8_t* id, const char* name) {
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(id[i]);
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != name[i]) {
      return false;
    }
  }
  return true;
}

// One "ICON" chunk: an icon file whose first image becomes the frame.
void ReadAniIcon(const std::vector<uint8_t>& chunk, ImageFrame* frame) {
  ImageMemorySource source(chunk);
  std::vector<IconEntry> entries;
  size_t budget = PixelBudget(source);
  if (!ReadDirectory(source, entries) || entries.empty()) {
    ImagePlaceholderSet(frame);
    return;
  }
  ReadEntryOrPlaceholder(source, entries[0], frame, budget);
}

void WriteDirectoryEntry(const ImageFrame* frame, int32_t depth, bool cursor, uint32_t bytes,
                         uint32_t offset, UtilitiesByteWriter& out) {
  out.U8(frame->width >= 256 ? 0 : static_cast<uint32_t>(frame->width));
  out.U8(frame->height >= 256 ? 0 : static_cast<uint32_t>(frame->height));
  out.U8(depth < 8 ? 1u << depth : 0);
  out.U8(0);
  out.U16(cursor ? 0 : 1);  // cursors: hot spot x; icons: planes
  out.U16(cursor ? 0 : static_cast<uint32_t>(depth));
  out.U32(bytes);
  out.U32(offset);
}

// Transparent where a 32-bit frame's alpha is below half; frames without an
// alpha channel are opaque.
void WriteMask(const ImageFrame* frame, UtilitiesByteWriter& out) {
  std::vector<uint8_t> row(ImageDibRowBytes(frame->width, 1));
  for (int32_t y = frame->height - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    const uint32_t* pixels = frame->pixels.data() + static_cast<size_t>(y) * frame->width;
    for (int32_t x = 0; x < frame->width && frame->bitsPerPixel == 32; ++x) {
      if ((pixels[x] >> 24) < 128) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
    out.Bytes(row.data(), row.size());
  }
}

void WriteIconImage(const ImageFrame* frame, int32_t depth, UtilitiesByteWriter& out) {
  const uint64_t colourBytes = ImageDibRowBytes(frame->width, depth) * frame->height;
  const uint64_t maskBytes = ImageDibRowBytes(frame->width, 1) * frame->height;
  out.U32(kInfoHeaderSize);
  out.U32(static_cast<uint32_t>(frame->width));
  out.U32(static_cast<uint32_t>(frame->height) * 2);
  out.U16(1);
  out.U16(static_cast<uint32_t>(depth));
  out.U32(0);
  out.U32(static_cast<uint32_t>(colourBytes + maskBytes));
  for (int i = 0; i < 4; ++i) {
    out.U32(0);
  }
  ImageDibWriteColours(frame, depth, out);
  WriteMask(frame, out);
}

}  // namespace

void ImageIconRead(ImageSource& source, ImageFrame*& image, ImageFrame* frame, int32_t first,
                   int32_t last) {
  std::vector<IconEntry> entries;
  if (!ReadDirectory(source, entries) || entries.empty()) {
    ImagePlaceholderSet(frame);
    return;
  }
  const int32_t count = static_cast<int32_t>(entries.size());
  first = std::clamp(first, 0, count - 1);
  last = last < 0 || last >= count ? count - 1 : std::max(last, first);
  size_t budget = PixelBudget(source);
  // Entries beyond what the file can hold are not loaded.
  for (int32_t index = first; index <= last && budget > 0; ++index) {
    if (index > first) {
      frame = ImageFrameNext(image, frame);
    }
    frame->frameNumber = index - first + 1;
    ReadEntryOrPlaceholder(source, entries[static_cast<size_t>(index)], frame, budget);
  }
}

void ImageAniRead(ImageSource& source, ImageFrame*& image, ImageFrame* frame) {
  uint8_t riff[4], form[4];
  uint32_t riffSize = 0;
  if (!source.ReadExact(riff, 4) || !ChunkIdIs(riff, "RIFF") || !source.ReadU32(riffSize) ||
      !source.ReadExact(form, 4) || !ChunkIdIs(form, "ACON")) {
    ImagePlaceholderSet(frame);
    return;
  }
  int32_t frameNumber = 0;
  uint8_t id[4];
  uint32_t size = 0;
  while (source.ReadExact(id, 4) && source.ReadU32(size)) {
    if (ChunkIdIs(id, "LIST")) {
      uint8_t listType[4];
      if (!source.ReadExact(listType, 4)) {
        break;
      }
      continue;  // the list's chunks follow and are read in turn
    }
    // Chunks are padded to an even size.
    const int64_t padded = int64_t{size} + (size & 1);
    if (!ChunkIdIs(id, "ICON")) {
      if (padded > source.Remaining()) {
        break;
      }
      source.Skip(static_cast<int32_t>(padded));
      continue;
    }
    if (frameNumber > 0) {
      frame = ImageFrameNext(image, frame);
    }
    frame->frameNumber = ++frameNumber;
    std::vector<uint8_t> chunk;
    if (size > static_cast<uint32_t>(source.Remaining()) ||
        !source.ReadBlock(chunk, static_cast<int32_t>(size))) {
      ImagePlaceholderSet(frame);
      return;
    }
    ReadAniIcon(chunk, frame);
    if (size & 1) {
      source.Skip(1);
    }
  }
  if (frameNumber == 0) {
    ImagePlaceholderSet(frame);
  }
}

void ImageIconWrite(const ImageFrame* image, bool cursor, UtilitiesByteWriter& out) {
  std::vector<const ImageFrame*> frames;
  for (const ImageFrame* frame = image; frame != nullptr; frame = frame->next) {
    frames.push_back(frame);
  }
  out.U16(0);
  out.U16(cursor ? kTypeCursor : kTypeIcon);
  out.U16(static_cast<uint32_t>(frames.size()));
  uint32_t offset =
      kDirectoryHeaderSize + kDirectoryEntrySize * static_cast<uint32_t>(frames.size());
  std::vector<UtilitiesByteWriter> images(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const int32_t depth = ImageDibWriteDepth(frames[i], true);
    WriteIconImage(frames[i], depth, images[i]);
    const auto bytes = static_cast<uint32_t>(images[i].bytes.size());
    WriteDirectoryEntry(frames[i], depth, cursor, bytes, offset, out);
    offset += bytes;
  }
  for (const UtilitiesByteWriter& part : images) {
    out.Bytes(part.bytes.data(), part.bytes.size());
  }
}
