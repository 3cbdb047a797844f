#include "framework/image/image.h"

#include <algorithm>
#include <string>

#include "framework/datafile/datafile.h"
#include "framework/image/image_internal.h"
#include "framework/log/log.h"

namespace {

constexpr int32_t kPlaceholderSize = 16;
constexpr uint32_t kPlaceholderWhite = 0x00FFFFFF;
constexpr uint32_t kPlaceholderRed = 0x00FF0000;
// Icon directories store sizes in a byte, 0 meaning 256.
constexpr int32_t kIconMaxSize = 256;
// Writers hand the direct-file layer their bytes in pieces of this size.
constexpr size_t kWriteChunk = 1 << 16;

bool IsOneOf(const std::string& text, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* item) { return text == item; });
}

bool FrameComplete(const ImageFrame* frame) {
  return frame->width >= 0 && frame->height >= 0 &&
         frame->pixels.size() ==
             static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  const int32_t id = DataFileDirectCreate(path);
  if (id == 0) {
    return false;
  }
  bool ok = true;
  for (size_t offset = 0; ok && offset < bytes.size(); offset += kWriteChunk) {
    const size_t count = std::min(kWriteChunk, bytes.size() - offset);
    ok = DataFileDirectWrite(id, bytes.data() + offset, static_cast<int32_t>(count));
  }
  DataFileDirectClose(id);
  return ok;
}

}  // namespace

void ImageStart() {
  LogVersion("qmrImage - Version Alpha.0");
}

void ImageStop() {}

// --- Loading and saving -------------------------------------------------------

void ImageLoad(const std::string& name, ImageFrame*& image, int32_t firstIcon, int32_t lastIcon) {
  const std::string extension = UtilitiesUpperExtension(name);
  if (!IsOneOf(extension, {".ANI", ".BMP", ".CUR", ".ICO", ".GIF", ".JPG", ".PCX", ".TGA"})) {
    return;  // ".AVI", ".BBM", ".IFF", ".LBM" and the rest have no reader
  }
  if (image == nullptr) {
    ImageFrameNew(image);
  }
  const int32_t id = DataFileOpen(name);
  if (id == 0) {
    return;
  }
  // A true-colour reader sets no palette: the frame's old one (from an
  // earlier file) would otherwise be taken for this picture's by the writers.
  image->palette.fill(0);
  ImageDataFileSource source(id);
  if (extension == ".ANI") {
    ImageAniRead(source, image, image);
  } else if (extension == ".BMP") {
    ImageBmpRead(source, image);
  } else if (extension == ".CUR" || extension == ".ICO") {
    ImageIconRead(source, image, image, firstIcon, lastIcon);
  } else if (extension == ".GIF") {
    ImageGifRead(source, image);
  } else if (extension == ".JPG") {
    ImageJpegRead(source, image);
  } else if (extension == ".PCX") {
    ImagePcxRead(source, image);
  } else {
    ImageTgaRead(source, image);
  }
  DataFileClose(id);
}

bool ImageSave(const std::string& path, const ImageFrame* image) {
  const std::string extension = UtilitiesUpperExtension(path);
  if (extension == ".AVI") {
    return true;
  }
  if (image == nullptr || !FrameComplete(image)) {
    return false;  // a frame without its pixels has nothing to write
  }
  UtilitiesByteWriter out;
  if (extension == ".BMP") {
    ImageBmpWrite(image, out);
  } else if (extension == ".CUR" || extension == ".ICO") {
    for (const ImageFrame* frame = image; frame != nullptr; frame = frame->next) {
      if (!FrameComplete(frame)) {
        return false;
      }
      if (frame->width > kIconMaxSize || frame->height > kIconMaxSize) {
        LogError("ImageSave - Unable to write icon \"" + path + "\": a frame of " +
                 std::to_string(frame->width) + " x " + std::to_string(frame->height) +
                 " pixels exceeds 256 x 256.");
        return false;
      }
    }
    ImageIconWrite(image, extension == ".CUR", out);
  } else if (extension == ".GIF") {
    ImageGifWrite(image, out);
  } else if (extension == ".TGA") {
    ImageTgaWrite(image, out);
  } else {
    return false;
  }
  return WriteFile(path, out.bytes);
}

bool ImageSupported(const std::string& fileName) {
  return IsOneOf(UtilitiesUpperExtension(fileName),
                 {".ANI", ".AVI", ".BMP", ".CUR", ".GIF", ".ICO", ".JPG", ".PCX", ".TGA"});
}

// --- Frames -------------------------------------------------------------------

ImageFrame* ImageFrameNew(ImageFrame*& image) {
  auto* frame = new ImageFrame;
  if (image == nullptr) {
    image = frame;
    return frame;
  }
  ImageFrame* last = image;
  while (last->next != nullptr) {
    last = last->next;
  }
  last->next = frame;
  frame->previous = last;
  return frame;
}

void ImageFree(ImageFrame*& image) {
  while (image != nullptr) {
    ImageFrame* next = image->next;
    delete image;
    image = next;
  }
}

void ImageCopy(ImageFrame* destination, const ImageFrame* source) {
  destination->name = source->name;
  destination->text = source->text;
  destination->loaded = source->loaded;
  destination->placeholder = source->placeholder;
  destination->width = source->width;
  destination->height = source->height;
  destination->bitsPerPixel = source->bitsPerPixel;
  destination->extra = source->extra;
  destination->pixels = source->pixels;
  destination->palette = source->palette;
}

ImageFrame* ImageFrameNext(ImageFrame*& image, ImageFrame* frame) {
  if (frame == nullptr) {
    return ImageFrameNew(image);
  }
  if (frame->next == nullptr) {
    // Linked straight after the last frame: readers of many frames stay linear.
    frame->next = new ImageFrame;
    frame->next->previous = frame;
  }
  return frame->next;
}

void ImageFrameReset(ImageFrame* frame, int32_t width, int32_t height, int32_t bitsPerPixel) {
  frame->loaded = 0;
  frame->placeholder = 0;
  frame->width = width;
  frame->height = height;
  frame->bitsPerPixel = static_cast<uint8_t>(bitsPerPixel);
  frame->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
}

void ImagePlaceholderSet(ImageFrame* frame) {
  ImageFrameReset(frame, kPlaceholderSize, kPlaceholderSize, 24);
  for (int32_t y = 0; y < kPlaceholderSize; ++y) {
    for (int32_t x = 0; x < kPlaceholderSize; ++x) {
      const bool border =
          x == 0 || y == 0 || x == kPlaceholderSize - 1 || y == kPlaceholderSize - 1;
      const bool diagonal = x == y || x == kPlaceholderSize - 1 - y;
      frame->pixels[static_cast<size_t>(y * kPlaceholderSize + x)] =
          border || diagonal ? kPlaceholderRed : kPlaceholderWhite;
    }
  }
  frame->loaded = 1;
  frame->placeholder = 1;
}
