#include "shell/renderform.h"

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "shell/shell.h"

namespace {

// The design client size of a render window before the game sizes it.
constexpr int32_t kDesignWidth = 512;
constexpr int32_t kDesignHeight = 408;

}  // namespace

TrenderForm::TrenderForm(const std::string& caption, int primaryMonitor, bool winMouse)
    : monitor_(primaryMonitor), windowedWidth_(kDesignWidth), windowedHeight_(kDesignHeight) {
  PlatformWindowParams params;
  params.title = caption;
  params.width = kDesignWidth;
  params.height = kDesignHeight;
  params.centred = true;
  params.monitor = primaryMonitor;
  params.opengl = true;
  window_ = PlatformWindowCreate(params);
  // The game draws its own pointer.
  PlatformWindowShowCursor(window_, winMouse);
}

TrenderForm::~TrenderForm() {
  PlatformWindowDestroy(window_);
}

// --- Events ------------------------------------------------------------------------

void TrenderForm::RenderFormActivate() {
  PlatformWindowHide(MainForm().SplashWindow());
  activated_ = true;
}

bool TrenderForm::RenderFormCloseQuery() {
  if (GraphicsDisplayExists(displayId_)) {
    MainForm().MainAppAskToClose();
    return false;
  }
  return true;
}

// --- Setup -----------------------------------------------------------------------------

void TrenderForm::RenderFormSetDisplayId(int32_t id) {
  if (displayId_ == -1) {
    displayId_ = id;
  }
}

void TrenderForm::RenderFormSetMonitor(int monitor) {
  if (monitor < 0 || monitor >= PlatformMonitorCount()) {
    LogError("renderForm.SetMonitor - Invalid monitor ID \"" + std::to_string(monitor) +
             "\".  Defaulting to primary monitor.");
    monitor = MainForm().MainGetPrimaryMonitorId();
  }
  monitor_ = monitor;
  const PlatformRect target = PlatformMonitorBounds(monitor);
  const PlatformRect first = PlatformMonitorBounds(0);
  const PlatformRect client = PlatformWindowClientRect(window_);
  PlatformWindowSetPosition(window_, target.x + client.x - first.x, target.y + client.y - first.y);
}

void TrenderForm::RenderFormSetResolution(bool fullscreen, int32_t width, int32_t height) {
  const PlatformRect monitor = PlatformMonitorBounds(monitor_);
  PlatformWindowSetBorderless(window_, fullscreen);
  PlatformWindowSetClientSize(window_, width, height);
  if (fullscreen) {
    PlatformWindowSetPosition(window_, monitor.x, monitor.y);
  } else {
    // Integer halves truncate toward zero, as the centring was designed.
    PlatformWindowSetPosition(window_, monitor.x + (monitor.width - width) / 2,
                              monitor.y + (monitor.height - height) / 2);
  }
  windowedWidth_ = width;
  windowedHeight_ = height;
}

void TrenderForm::RenderFormSetFullscreen() {
  const PlatformRect monitor = PlatformMonitorBounds(monitor_);
  RenderFormSetResolution(true, monitor.width, monitor.height);
}

void TrenderForm::RenderFormSetWindowed() {
  RenderFormSetResolution(false, windowedWidth_, windowedHeight_);
}
