// Thumbnails of the game screen kept with each save, and the save screens
// that show them where the interface scripts place them.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/model/model.h"
#include "game/game_internal.h"
#include "game/saves.h"

namespace {

// Save thumbnails are drawn at this depth.
constexpr float kThumbnailDepth = -5.0f;
// AppRenderSave objects give their display slot after this many characters.
constexpr size_t kSaveObjectPrefix = 7;
// Display slots above this are ignored: a script's slot number allocates no
// more than this many positions.
constexpr int32_t kMaxDisplaySlot = 1000;

struct SlotPosition {
  bool set = false;
  int32_t x = 0;
  int32_t y = 0;
};

// The save screens' layout, as the scripts set it.
struct SaveScreenLayout {
  int32_t firstDisplayed = 0;  // the scroll: display slot d > 0 shows save slot d + this
  std::vector<SlotPosition> positions;
  int32_t dialogImage = 0;  // the save slot the save dialog shows
  int32_t dialogX = 0;
  int32_t dialogY = 0;
};

SaveScreenLayout layout;

// The size that covers the thumbnail while keeping the picture's aspect ratio.
struct CoverSize {
  int32_t width = 0;
  int32_t height = 0;
};

CoverSize CoverThumbnail(int32_t width, int32_t height) {
  const double rw = static_cast<double>(width) / kSaveThumbnailWidth;
  const double rh = static_cast<double>(height) / kSaveThumbnailHeight;
  if (rh >= rw) {
    return {kSaveThumbnailWidth, static_cast<int32_t>(std::lround(height / rw))};
  }
  return {static_cast<int32_t>(std::lround(width / rh)), kSaveThumbnailHeight};
}

// The picture scaled to cover the thumbnail with a box filter, only the
// pixels left after cropping computed. Each target pixel averages the source
// window around the pixel it maps to, per colour byte.
class BoxFilter {
 public:
  BoxFilter(const uint8_t* rgba, int32_t width, int32_t height)
      : rgba_(rgba), width_(width), height_(height), size_(CoverThumbnail(width, height)) {
    halfX_ = static_cast<int32_t>(std::lround(static_cast<double>(width) / size_.width / 2));
    halfY_ = static_cast<int32_t>(std::lround(static_cast<double>(height) / size_.height / 2));
  }

  // Of an excess width, half (rounded down) is cropped on the left; of an
  // excess height, half (rounded down) at the bottom.
  int32_t CropLeft() const { return (size_.width - kSaveThumbnailWidth) / 2; }
  int32_t CropBottom() const { return (size_.height - kSaveThumbnailHeight) / 2; }

  // The scaled pixel (x, y), rows from the bottom up, as blue, green, red, 0.
  void Pixel(int32_t x, int32_t y, uint8_t* bgra) const {
    const auto column = static_cast<int32_t>(int64_t{width_} * x / size_.width);
    const auto row = static_cast<int32_t>(int64_t{height_} * y / size_.height);
    const int32_t left = std::max(column - halfX_, 0);
    const int32_t right = std::min(column + halfX_, width_ - 1);
    const int32_t bottom = std::max(row - halfY_, 0);
    const int32_t top = std::min(row + halfY_, height_ - 1);
    uint64_t sums[3] = {};
    for (int32_t r = bottom; r <= top; ++r) {
      const uint8_t* source = rgba_ + (static_cast<size_t>(r) * width_ + left) * 4;
      for (int32_t c = left; c <= right; ++c, source += 4) {
        sums[0] += source[0];
        sums[1] += source[1];
        sums[2] += source[2];
      }
    }
    const auto count =
        static_cast<uint64_t>(right - left + 1) * static_cast<uint64_t>(top - bottom + 1);
    bgra[0] = static_cast<uint8_t>(sums[2] / count);
    bgra[1] = static_cast<uint8_t>(sums[1] / count);
    bgra[2] = static_cast<uint8_t>(sums[0] / count);
    bgra[3] = 0;
  }

 private:
  const uint8_t* rgba_;
  int32_t width_;
  int32_t height_;
  CoverSize size_;
  int32_t halfX_ = 0;
  int32_t halfY_ = 0;
};

// The thumbnail as a 24-bit image (its fourth byte is no alpha), named
// after its save file.
ImageFrame* ThumbnailImage(const SaveThumbnail& thumbnail, const std::string& file) {
  ImageFrame* image = nullptr;
  ImageFrame* frame = ImageFrameNew(image);
  frame->name = file;
  frame->loaded = 1;
  frame->width = thumbnail.width;
  frame->height = thumbnail.height;
  frame->bitsPerPixel = 24;
  frame->pixels.resize(thumbnail.pixels.size() / 4);
  for (size_t i = 0; i < frame->pixels.size(); ++i) {
    const uint8_t* bgra = &thumbnail.pixels[i * 4];
    frame->pixels[i] = static_cast<uint32_t>(bgra[3]) << 24 | static_cast<uint32_t>(bgra[2]) << 16 |
                       static_cast<uint32_t>(bgra[1]) << 8 | bgra[0];
  }
  return image;
}

bool ThumbnailValid(const SaveThumbnail& thumbnail) {
  return thumbnail.width > 0 && thumbnail.height > 0 &&
         thumbnail.pixels.size() ==
             static_cast<size_t>(thumbnail.width) * static_cast<size_t>(thumbnail.height) * 4;
}

// Draws a save's thumbnail with its top left corner at (x, y); nothing for a
// slot without a save.
void DrawThumbnail(const SaveDescriptor* save, int32_t x, int32_t y) {
  if (save == nullptr || save->file.empty() || save->thumbnail == nullptr) {
    return;
  }
  ModelSetPosition(save->thumbnail, static_cast<float>(x), static_cast<float>(y), kThumbnailDepth);
  ModelRender(save->thumbnail);
}

}  // namespace

SaveThumbnail SaveThumbnailFromPixels(const uint8_t* rgbaBottomUp, int32_t width, int32_t height) {
  SaveThumbnail thumbnail;
  thumbnail.width = kSaveThumbnailWidth;
  thumbnail.height = kSaveThumbnailHeight;
  thumbnail.pixels.assign(static_cast<size_t>(kSaveThumbnailWidth) * kSaveThumbnailHeight * 4, 0);
  // Without a picture (no rendering context) the thumbnail stays black.
  if (rgbaBottomUp == nullptr || width <= 0 || height <= 0) {
    return thumbnail;
  }
  const BoxFilter filter(rgbaBottomUp, width, height);
  // The scaled rows run from the bottom up, the thumbnail's from the top down.
  for (int32_t y = 0; y < kSaveThumbnailHeight; ++y) {
    uint8_t* target =
        &thumbnail
             .pixels[static_cast<size_t>(kSaveThumbnailHeight - 1 - y) * kSaveThumbnailWidth * 4];
    for (int32_t x = 0; x < kSaveThumbnailWidth; ++x, target += 4) {
      filter.Pixel(filter.CropLeft() + x, filter.CropBottom() + y, target);
    }
  }
  return thumbnail;
}

SaveThumbnail SaveThumbnailCapture() {
  const GameFramePixels frame = GameFrameCapture(kStateGame);
  return SaveThumbnailFromPixels(frame.rgba.empty() ? nullptr : frame.rgba.data(), frame.width,
                                 frame.height);
}

Model* SaveThumbnailModel(const SaveThumbnail& thumbnail, const std::string& file) {
  if (!ThumbnailValid(thumbnail)) {
    return nullptr;
  }
  ImageFrame* image = ThumbnailImage(thumbnail, file);
  // A new rendering context gets the pixels from the save file again.
  Model* model = ModelOpenImage(GamePrimaryDisplay(), image, [file](ImageFrame*& rebuilt) {
    SaveThumbnail reread;
    if (SaveFileReadThumbnail(file, &reread) && ThumbnailValid(reread)) {
      rebuilt = ThumbnailImage(reread, file);
    }
  });
  ImageFree(image);
  return model;
}

void SaveScreenSetFirstDisplayed(int32_t slot) {
  layout.firstDisplayed = slot;
}

void SaveScreenSetPosition(int32_t displaySlot, int32_t x, int32_t y) {
  if (displaySlot < 0 || displaySlot > kMaxDisplaySlot) {
    return;
  }
  if (static_cast<size_t>(displaySlot) >= layout.positions.size()) {
    layout.positions.resize(static_cast<size_t>(displaySlot) + 1);
  }
  layout.positions[static_cast<size_t>(displaySlot)] = {true, x, y};
}

void SaveScreenSetDialogImage(int32_t slot) {
  layout.dialogImage = slot;
}

void SaveScreenSetDialogPosition(int32_t x, int32_t y) {
  layout.dialogX = x;
  layout.dialogY = y;
}

void SaveScreenReset() {
  layout = SaveScreenLayout{};
}

void SaveScreenRenderSlot(const std::string& objectName) {
  if (objectName.size() < kSaveObjectPrefix) {
    return;
  }
  // The display slot as a decimal number; what follows its digits is ignored.
  const long number = std::strtol(objectName.c_str() + kSaveObjectPrefix, nullptr, 10);
  if (number < 0 || number >= static_cast<long>(layout.positions.size()) ||
      !layout.positions[static_cast<size_t>(number)].set) {
    return;
  }
  const auto displaySlot = static_cast<int32_t>(number);
  // Display slot 0 always shows the autosave; the others scroll.
  const int32_t slot = displaySlot == 0 ? 0 : displaySlot + layout.firstDisplayed;
  const SlotPosition& position = layout.positions[static_cast<size_t>(displaySlot)];
  DrawThumbnail(SavesListEntry(slot), position.x, position.y);
}

void SaveScreenRenderDialog() {
  if (layout.dialogImage >= 1) {
    DrawThumbnail(SavesListEntry(layout.dialogImage), layout.dialogX, layout.dialogY);
  }
}
