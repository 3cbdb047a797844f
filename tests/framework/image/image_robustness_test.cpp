// Every reader fed every prefix of a file: the outcome is the placeholder, an
// image whose pixels match its size, or (JPEG) no pixels; never a read or
// write outside the data (the sanitizers watch) and never an allocation out
// of proportion to the file. Damaged bytes are the fuzz targets' work.
#include <gtest/gtest.h>

#include <functional>

#include "tests/framework/image/image_peers.h"
#include "tests/support/allocation_probe.h"

namespace {

using Reader = std::function<void(ImageSource&, ImageFrame*&, ImageFrame*)>;

struct Format {
  const char* name;
  Reader read;
  Bytes file;
};

Reader Simple(FrameReader reader) {
  return [reader](ImageSource& source, ImageFrame*&, ImageFrame* frame) { reader(source, frame); };
}

Bytes Written(void (*writer)(const ImageFrame*, UtilitiesByteWriter&), int32_t width,
              int32_t height, int depth) {
  OwnedImage image;
  FillPhotoLike(ImageFrameNew(image.first), width, height, depth, 12, 0xFF);
  return Encode(writer, image.first);
}

Bytes IconFile() {
  OwnedImage image;
  FillPhotoLike(ImageFrameNew(image.first), 16, 16, 32, 1, 0xFF);
  FillPhotoLike(ImageFrameNew(image.first), 9, 7, 24, 2);
  ImageFrame* paletted = ImageFrameNew(image.first);
  FillPhotoLike(paletted, 5, 5, 4, 3);
  UtilitiesByteWriter out;
  ImageIconWrite(image.first, false, out);
  return Bytes(out.bytes.begin(), out.bytes.end());
}

Bytes AniFile() {
  const Bytes icon = IconFile();
  Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'C', 'O', 'N',
                'L', 'I', 'S', 'T', 0, 0, 0, 0, 'f', 'r', 'a', 'm'};
  for (int i = 0; i < 2; ++i) {
    file.insert(file.end(), {'i', 'c', 'o', 'n', static_cast<uint8_t>(icon.size()),
                             static_cast<uint8_t>(icon.size() >> 8), 0, 0});
    file.insert(file.end(), icon.begin(), icon.end());
  }
  return file;
}

Bytes PcxFile() {
  Bytes file(128, 0);
  file[1] = 5;
  file[3] = 8;
  file[8] = 9;  // 10 x 4
  file[10] = 3;
  file[65] = 3;
  file[66] = 10;
  for (int i = 0; i < 4 * 3 * 10; ++i) {
    file.insert(file.end(), {0xC3, static_cast<uint8_t>(i)});
  }
  return file;
}

std::vector<Format> Formats() {
  JpegSettings restart;
  restart.restartRows = 1;
  GifSettings gif;
  gif.interlaced = true;
  gif.transparent = 2;
  gif.localBits = 5;
  Bytes indices(40 * 30);
  for (size_t i = 0; i < indices.size(); ++i) {
    indices[i] = static_cast<uint8_t>((i * 7 + i / 40) % 32);
  }
  return {
      {"tgaRunLength", Simple(ImageTgaRead), Written(ImageTgaWrite, 23, 17, 32)},
      {"bmp24", Simple(ImageBmpRead), Written(ImageBmpWrite, 13, 9, 24)},
      {"bmp4", Simple(ImageBmpRead), Written(ImageBmpWrite, 13, 9, 4)},
      {"pcx", Simple(ImagePcxRead), PcxFile()},
      {"gif", Simple(ImageGifRead), GifEncodePeer(indices, 40, 30, gif, 4)},
      {"gifOurs", Simple(ImageGifRead), Written(ImageGifWrite, 40, 30, 8)},
      {"jpeg", Simple(ImageJpegRead), JpegEncode(PhotoLikeRgb(40, 24, 2), 40, 24, restart)},
      {"icon",
       [](ImageSource& s, ImageFrame*& image, ImageFrame* f) { ImageIconRead(s, image, f, 0, -1); },
       IconFile()},
      {"ani", [](ImageSource& s, ImageFrame*& image, ImageFrame* f) { ImageAniRead(s, image, f); },
       AniFile()},
  };
}

// Reads the bytes and checks every frame is consistent.
void ReadAndCheck(const Format& format, const Bytes& bytes) {
  OwnedImage image;
  ImageMemorySource source(bytes);
  AllocationProbeReset();
  format.read(source, image.first, ImageFrameNew(image.first));
  // The loosest bound is LZW's: a 12-bit code stands for up to 4095 pixels.
  EXPECT_LE(AllocationProbeLargest(), bytes.size() * 4096 * 4 + 65536);
  for (const ImageFrame* frame = image.first; frame != nullptr; frame = frame->next) {
    ASSERT_EQ(frame->pixels.size(),
              static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height));
    if (frame->placeholder == 1) {
      ASSERT_EQ(frame->width, 16);
      ASSERT_EQ(frame->loaded, 1);
    }
  }
}

class ReaderRobustness : public ::testing::TestWithParam<Format> {};

TEST_P(ReaderRobustness, WholeFileLoadsWithoutThePlaceholder) {
  OwnedImage image;
  ImageMemorySource source(GetParam().file);
  GetParam().read(source, image.first, ImageFrameNew(image.first));
  EXPECT_EQ(image.first->loaded, 1);
  EXPECT_EQ(image.first->placeholder, 0);
}

TEST_P(ReaderRobustness, EveryPrefixIsHandled) {
  const Bytes& file = GetParam().file;
  for (size_t size = 0; size < file.size(); ++size) {
    ReadAndCheck(GetParam(), Bytes(file.begin(), file.begin() + static_cast<long>(size)));
    if (HasFatalFailure()) {
      FAIL() << "prefix of " << size << " bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ReaderRobustness, ::testing::ValuesIn(Formats()),
                         [](const ::testing::TestParamInfo<Format>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
