#include <gtest/gtest.h>

#include "tests/framework/image/image_peers.h"

namespace {

void U16(Bytes& b, uint32_t v) {
  b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}
void U32(Bytes& b, uint32_t v) {
  U16(b, v & 0xFFFF);
  U16(b, v >> 16);
}

// An image of several frames: 32-bit with alpha 0 or 255, 24-bit, 8-bit.
void ThreeFrames(OwnedImage& image) {
  ImageFrame* a = ImageFrameNew(image.first);
  FillPhotoLike(a, 32, 32, 32, 1, 0xFF);
  for (size_t i = 0; i < a->pixels.size(); i += 3) {
    a->pixels[i] &= 0x00FFFFFF;
  }
  ImageFrame* b = ImageFrameNew(image.first);
  FillPhotoLike(b, 17, 5, 24, 2);
  ImageFrame* c = ImageFrameNew(image.first);
  FillPhotoLike(c, 9, 9, 8, 3);
  for (uint32_t i = 0; i < 256; ++i) {
    c->palette[i] = i * 0x00010203u & 0x00FFFFFF;
  }
  for (uint32_t& p : c->pixels) {
    p = c->palette[static_cast<size_t>(ImagePaletteNearest(c, p))];
  }
}

// How a frame reads back: alpha from the mask (opaque) unless 32-bit.
std::vector<uint32_t> Expected(const ImageFrame* frame) {
  std::vector<uint32_t> pixels = frame->pixels;
  if (frame->bitsPerPixel != 32) {
    for (uint32_t& p : pixels) {
      p |= 0xFF000000;
    }
  }
  return pixels;
}

std::vector<const ImageFrame*> Frames(const ImageFrame* image) {
  std::vector<const ImageFrame*> frames;
  for (; image != nullptr; image = image->next) {
    frames.push_back(image);
  }
  return frames;
}

Bytes IconFile(const ImageFrame* image, bool cursor = false) {
  UtilitiesByteWriter out;
  ImageIconWrite(image, cursor, out);
  return Bytes(out.bytes.begin(), out.bytes.end());
}

void ReadIcon(const Bytes& file, OwnedImage& image, int32_t first = 0, int32_t last = -1) {
  ImageMemorySource source(file);
  ImageIconRead(source, image.first, ImageFrameNew(image.first), first, last);
}

TEST(IconFiles, WrittenIconReadsBackEveryFrameNumberedFromOne) {
  for (bool cursor : {false, true}) {
    OwnedImage source;
    ThreeFrames(source);
    OwnedImage back;
    ReadIcon(IconFile(source.first, cursor), back);
    const auto written = Frames(source.first);
    const auto read = Frames(back.first);
    ASSERT_EQ(read.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(read[i]->frameNumber, static_cast<int32_t>(i + 1));
      EXPECT_EQ(read[i]->placeholder, 0);
      EXPECT_EQ(read[i]->bitsPerPixel, written[i]->bitsPerPixel);
      EXPECT_EQ(read[i]->width, written[i]->width);
      EXPECT_EQ(read[i]->height, written[i]->height);
      EXPECT_EQ(read[i]->pixels, Expected(written[i])) << "frame " << i;
    }
    EXPECT_EQ(read[1]->previous, read[0]);
  }
}

TEST(IconFiles, FirstAndLastIndexChooseTheEntries) {
  OwnedImage source;
  ThreeFrames(source);
  OwnedImage back;
  ReadIcon(IconFile(source.first), back, 1, 1);
  const auto read = Frames(back.first);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0]->frameNumber, 1);
  EXPECT_EQ(read[0]->width, 17);
}

// A 2 x 2 24-bit icon with a hand-made mask.
Bytes MaskedIcon(uint8_t maskTop, uint8_t maskBottom, int depth = 24) {
  Bytes b;
  U16(b, 0);
  U16(b, 1);
  U16(b, 1);
  b.insert(b.end(), {2, 2, 0, 0});
  U16(b, 1);
  U16(b, static_cast<uint32_t>(depth));
  U32(b, 0);
  U32(b, 22);
  U32(b, 40);
  U32(b, 2);
  U32(b, 4);  // twice the height
  U16(b, 1);
  U16(b, static_cast<uint32_t>(depth));
  for (int i = 0; i < 6; ++i) {
    U32(b, 0);
  }
  const int bytes = depth / 8;
  for (int row = 0; row < 2; ++row) {  // bottom row first
    Bytes line;
    for (int x = 0; x < 2; ++x) {
      for (int k = 0; k < bytes; ++k) {
        line.push_back(static_cast<uint8_t>(0x10 * (row * 2 + x + 1) + k));
      }
    }
    line.resize((line.size() + 3) / 4 * 4);
    b.insert(b.end(), line.begin(), line.end());
  }
  b.insert(b.end(), {maskBottom, 0, 0, 0, maskTop, 0, 0, 0});
  return b;
}

TEST(IconFiles, MaskBitOneMakesAPixelTransparent) {
  OwnedImage image;
  ReadIcon(MaskedIcon(0x80, 0x40), image);  // top-left and bottom-right transparent
  EXPECT_EQ(image.first->pixels,
            (std::vector<uint32_t>{0x00323130, 0xFF424140, 0xFF121110, 0x00222120}));
}

TEST(IconFiles, ThirtyTwoBitIconKeepsItsOwnAlpha) {
  OwnedImage image;
  ReadIcon(MaskedIcon(0xC0, 0xC0, 32), image);
  EXPECT_EQ(image.first->pixels,
            (std::vector<uint32_t>{0x33323130, 0x43424140, 0x13121110, 0x23222120}));
}

TEST(IconFiles, PngEntryGetsThePlaceholderAndTheOthersStillLoad) {
  OwnedImage source;
  ThreeFrames(source);
  Bytes file = IconFile(source.first);
  const uint32_t offset = file[6 + 12] | file[6 + 13] << 8 | file[6 + 14] << 16;
  const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::copy(png, png + 8, file.begin() + offset);
  OwnedImage back;
  ReadIcon(file, back);
  const auto read = Frames(back.first);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0]->placeholder, 1);
  EXPECT_EQ(read[1]->placeholder, 0);
  EXPECT_EQ(read[2]->placeholder, 0);
}

TEST(IconFiles, EntriesSharingOneImageCannotOutgrowTheFile) {
  // 65535 entries all pointing at one 256 x 256 image.
  OwnedImage source;
  FillPhotoLike(ImageFrameNew(source.first), 256, 256, 32, 1, 0xFF);
  const Bytes one = IconFile(source.first);
  Bytes file;
  U16(file, 0);
  U16(file, 1);
  U16(file, 65535);
  const uint32_t dataOffset = 6 + 16 * 65535;
  for (int i = 0; i < 65535; ++i) {
    file.insert(file.end(), one.begin() + 6, one.begin() + 18);
    U32(file, dataOffset);
  }
  file.insert(file.end(), one.begin() + 22, one.end());
  OwnedImage back;
  ReadIcon(file, back);
  size_t pixels = 0;
  for (const ImageFrame* frame : Frames(back.first)) {
    pixels += frame->pixels.size();
  }
  EXPECT_EQ(back.first->placeholder, 0);
  EXPECT_LE(pixels, file.size() * 8 + 256 * 256 + 16 * 16);  // one last placeholder
}

// --- Animated cursors -----------------------------------------------------------

void Chunk(Bytes& b, const char* id, const Bytes& data) {
  b.insert(b.end(), id, id + 4);
  U32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2 == 1) {
    b.push_back(0);
  }
}

Bytes AniFile(const std::vector<Bytes>& icons, const char* form = "ACON") {
  Bytes list = {'f', 'r', 'a', 'm'};
  for (const Bytes& icon : icons) {
    Chunk(list, "icon", icon);
  }
  Bytes body(form, form + 4);
  Chunk(body, "anih", Bytes(36, 1));
  Bytes info = {'I', 'N', 'F', 'O'};
  Chunk(info, "INAM", {'o', 'd', 'd', 0, 'x'});  // odd size, padded
  Chunk(body, "LIST", info);
  Chunk(body, "rate", Bytes(8, 2));
  Chunk(body, "LIST", list);
  Bytes file;
  Chunk(file, "RIFF", body);
  return file;
}

TEST(AniFiles, EachIconChunkBecomesTheNextFrame) {
  OwnedImage a, b;
  FillPhotoLike(ImageFrameNew(a.first), 16, 16, 24, 1);
  FillPhotoLike(ImageFrameNew(b.first), 8, 4, 32, 2, 0xFF);
  const Bytes file = AniFile({IconFile(a.first), IconFile(b.first)});
  OwnedImage image;
  ImageMemorySource source(file);
  ImageAniRead(source, image.first, ImageFrameNew(image.first));
  const auto read = Frames(image.first);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0]->frameNumber, 1);
  EXPECT_EQ(read[1]->frameNumber, 2);
  EXPECT_EQ(read[0]->pixels, Expected(a.first));
  EXPECT_EQ(read[1]->pixels, Expected(b.first));
}

TEST(AniFiles, OtherFormGivesThePlaceholder) {
  OwnedImage a;
  FillPhotoLike(ImageFrameNew(a.first), 4, 4, 24, 1);
  const Bytes file = AniFile({IconFile(a.first)}, "AVI ");
  OwnedImage image;
  ImageMemorySource source(file);
  ImageAniRead(source, image.first, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->placeholder, 1);
  EXPECT_EQ(image.first->next, nullptr);
}

}  // namespace
