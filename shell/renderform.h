// A render window: the native window one display draws into. It places itself
// on a monitor, switches between a borderless full-screen window and a
// centred captioned window, and turns the user's close into a quit request.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

class TrenderForm {
 public:
  // Creates and shows the window: design client size, black, centred on the
  // given monitor, hidden system pointer unless `winMouse`.
  TrenderForm(const std::string& caption, int primaryMonitor, bool winMouse);
  ~TrenderForm();
  TrenderForm(const TrenderForm&) = delete;
  TrenderForm& operator=(const TrenderForm&) = delete;

  // --- Events ----------------------------------------------------------------
  void RenderFormActivate();
  // Whether the window may close: not while its display exists.
  bool RenderFormCloseQuery();

  // --- Setup ---------------------------------------------------------------------
  void RenderFormSetDisplayId(int32_t id);
  void RenderFormSetMonitor(int monitor);
  void RenderFormSetResolution(bool fullscreen, int32_t width, int32_t height);
  void RenderFormSetFullscreen();
  void RenderFormSetWindowed();

  // --- Queries -------------------------------------------------------------------
  PlatformWindow Handle() const { return window_; }
  bool Activated() const { return activated_; }
  int32_t DisplayId() const { return displayId_; }
  int Monitor() const { return monitor_; }

 private:
  PlatformWindow window_ = 0;
  bool activated_ = false;
  int monitor_ = 0;
  int32_t displayId_ = -1;
  int32_t windowedWidth_ = 0;
  int32_t windowedHeight_ = 0;
};
