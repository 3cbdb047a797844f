#include "framework/graphics/graphics.h"

#include "framework/log/log.h"

namespace {

struct GraphicsState {
  bool fullscreen = false;
  bool modeSwitch = false;
  bool displayChanged = false;
  bool vsyncActive = false;
};

GraphicsState state;

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void GraphicsStart() {
  LogVersion("qmrGraphics - Version Alpha.0");
  state = GraphicsState{};
}

void GraphicsStop() {
  state = GraphicsState{};
}

// --- Acceleration -------------------------------------------------------------

bool GraphicsAccelerationTest(PlatformWindow window) {
  return PlatformGLAccelerated(window);
}

// --- Full screen and display changes -------------------------------------------

bool GraphicsIsFullscreen() {
  return state.fullscreen;
}

void GraphicsSetModeSwitch(bool on) {
  state.modeSwitch = on;
}

void GraphicsDisplayChanged() {
  if (!state.modeSwitch) {
    state.displayChanged = true;
  }
}

bool GraphicsDisplayChangedTake() {
  const bool changed = state.displayChanged;
  state.displayChanged = false;
  return changed;
}

// --- Vertical sync ---------------------------------------------------------------

bool GraphicsVSyncActive() {
  return state.vsyncActive;
}
