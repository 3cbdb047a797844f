// Screenshots: the current state's frame drawn again without being shown,
// read back and written as a BMP file into the player's pictures.
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
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

// The primary display's current frame, as the player sees it, in a 24-bit
// image.
ImageFrame* FrameImage() {
  GraphicsRenderBegin(GamePrimaryDisplay());
  GameStateRender();
  const GraphicsRect viewport = GraphicsViewportGet();
  const std::vector<uint8_t> bytes = GraphicsReadPixels(viewport);
  ImageFrame* image = nullptr;
  ImageFrame* frame = ImageFrameNew(image);
  frame->width = viewport.width;
  frame->height = viewport.height;
  frame->bitsPerPixel = 24;
  frame->pixels.resize(bytes.size() / 4);
  // OpenGL's rows run from the bottom up, the image's from the top down.
  const size_t width = static_cast<size_t>(frame->width);
  for (size_t i = 0; i < frame->pixels.size(); ++i) {
    const size_t row = static_cast<size_t>(frame->height) - 1 - i / width;
    const uint8_t* rgba = &bytes[(row * width + i % width) * 4];
    frame->pixels[i] = 0xFF000000u | static_cast<uint32_t>(rgba[0]) << 16 |
                       static_cast<uint32_t>(rgba[1]) << 8 | rgba[2];
  }
  return image;
}

}  // namespace

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
