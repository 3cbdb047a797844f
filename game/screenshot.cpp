// Screenshots: the current state's frame drawn again without being shown,
// read back and written as a BMP file into the player's pictures.
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game_internal.h"
#include "platform/platform.h"

namespace {

bool FolderReady(const std::string& folder) {
  return PlatformFolderExists(folder) || PlatformCreateFolder(folder);
}

// The pictures folder's product folder, else a folder "Screenshots" beside
// the program, else the program folder itself; empty when none can be had.
std::string ScreenshotFolder() {
  const std::string product = UtilitiesVersionString("ProductName");
  const std::string pictures = UtilitiesPicturesFolder();
  if (!product.empty() && !pictures.empty() && FolderReady(pictures + product + "\\")) {
    return pictures + product + "\\";
  }
  const std::string program = UtilitiesProgramFolder();
  if (FolderReady(program + "Screenshots\\")) {
    return program + "Screenshots\\";
  }
  return PlatformFolderExists(program) ? program : std::string();
}

std::string ScreenshotName(const std::string& folder, int32_t n) {
  return folder + "screenshot" + std::to_string(n) + ".bmp";
}

// The frame's pixels as 0xRRGGBB with alpha 0; OpenGL's rows run from the
// bottom up, an image's from the top down.
std::vector<uint32_t> TopDownPixels(const GameFramePixels& frame) {
  std::vector<uint32_t> pixels(frame.rgba.size() / 4);
  const size_t width = static_cast<size_t>(frame.width);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const size_t row = static_cast<size_t>(frame.height) - 1 - i / width;
    const uint8_t* rgba = &frame.rgba[(row * width + i % width) * 4];
    pixels[i] =
        static_cast<uint32_t>(rgba[0]) << 16 | static_cast<uint32_t>(rgba[1]) << 8 | rgba[2];
  }
  return pixels;
}

// A 24-bit image of the frame's size; its fourth byte is no alpha.
void FrameImageSetUp(ImageFrame* image, const GameFramePixels& frame) {
  image->loaded = 1;
  image->width = frame.width;
  image->height = frame.height;
  image->bitsPerPixel = 24;
  image->pixels = TopDownPixels(frame);
}

// The current state's frame, as the player sees it.
ImageFrame* FrameImage() {
  ImageFrame* image = nullptr;
  FrameImageSetUp(ImageFrameNew(image), GameFrameCapture(StateGetCurrent()));
  for (uint32_t& pixel : image->pixels) {
    pixel |= 0xFF000000u;
  }
  return image;
}

// The picture behind the menus: red and blue each a ninth of the pixel's
// three colours, green none.
std::shared_ptr<const ImageFrame> DarkenedImage(const GameFramePixels& frame) {
  auto image = std::make_shared<ImageFrame>();
  FrameImageSetUp(image.get(), frame);
  image->name = "backgroundFrames";
  for (uint32_t& pixel : image->pixels) {
    const uint32_t dark = ((pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF)) / 9;
    pixel = dark << 16 | dark;
  }
  return image;
}

}  // namespace

GameFramePixels GameFrameCapture(int32_t state) {
  GameFramePixels frame;
  if (GamePrimaryDisplay() < 0) {
    return frame;
  }
  GraphicsRenderBegin(GamePrimaryDisplay());
  GameStateRenderOf(state);
  const GraphicsRect viewport = GraphicsViewportGet();
  frame.rgba = GraphicsReadPixels(viewport);
  if (!frame.rgba.empty()) {
    frame.width = viewport.width;
    frame.height = viewport.height;
  }
  return frame;
}

void GameBackgroundFramesCapture() {
  const GameFramePixels frame = GameFrameCapture(StateGetCurrent());
  if (frame.rgba.empty()) {
    return;
  }
  // The picture exists nowhere else: a new rendering context gets it from
  // the copy kept here.
  const std::shared_ptr<const ImageFrame> image = DarkenedImage(frame);
  GameBackgroundFramesSet(ModelOpenImage(
      GamePrimaryDisplay(), image.get(),
      [image](ImageFrame*& rebuilt) { ImageCopy(ImageFrameNew(rebuilt), image.get()); }));
}

void GameScreenshotSave() {
  const std::string folder = ScreenshotFolder();
  if (folder.empty()) {
    LogError("ScreenshotSave - Unable to create suitable directory for screenshots.");
    return;
  }
  ImageFrame* image = FrameImage();
  // Without a viewport (no rendering context) there is no picture to keep.
  if (image->width > 0 && image->height > 0) {
    int32_t n = 1;
    while (PlatformFileExists(ScreenshotName(folder, n))) {
      ++n;
    }
    ImageSave(PlatformDiskPath(ScreenshotName(folder, n)), image);
  }
  ImageFree(image);
}
