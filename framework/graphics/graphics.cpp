// The module's state, its start and stop, the acceleration test and the
// flags the shell and the game read between frames.
#include <GL/gl.h>

#include "framework/graphics/graphics_internal.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace {

GraphicsModule state;

}  // namespace

GraphicsModule& GraphicsData() {
  return state;
}

std::string GraphicsQuoted(const std::string& text) {
  return "\"" + text + "\"";
}

// --- Module lifecycle ---------------------------------------------------------

void GraphicsStart() {
  LogVersion("qmrGraphics - Version Alpha.0");
  state = GraphicsModule{};
  state.flushAfterFrame = UtilitiesSwitchPresent("-flush");
  state.finishAfterFrame = UtilitiesSwitchPresent("-finish");
  glGetError();  // an error left by whoever ran before is not ours
  GraphicsMonitorsEnumerate();
  // The client-array entry points (vertex, texture-coordinate, colour and
  // index arrays, draw arrays and elements) are OpenGL 1.1 and linked directly.
}

void GraphicsStop() {
  if (state.fullscreen) {
    GraphicsMonitorsRestoreDesktop();
  }
  while (!state.displays.empty()) {
    GraphicsDisplayClose(state.displays.front().id);
  }
  state = GraphicsModule{};
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
