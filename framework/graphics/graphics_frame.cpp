// Frames on a display and the rendering state around them: projection,
// viewport, face culling, vertical sync, flushing, and OpenGL error texts.
#include <GL/gl.h>

#include <algorithm>

#include "framework/graphics/graphics_internal.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

// --- Frames ---------------------------------------------------------------------

void GraphicsRenderBegin(int32_t id) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  if (display == nullptr) {
    return;
  }
  PlatformClearError();
  if (GraphicsDisplayMakeCurrent(id)) {
    // The clear obeys the depth write mask, and a frame may end with depth
    // writes off (the room's depth pass leaves them so): turn them on for the
    // clear alone, so every frame starts with an empty depth buffer.
    GLboolean depthWrites = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glDepthMask(depthWrites);
    return;
  }
  LogError("GraphicsRenderBegin - Unable to make RC current on display " +
           GraphicsQuoted(display->name) + ": " + LogWindowsErrorText());
  LogMessage("  Handle = " + std::to_string(display->window));
  LogMessage("  DC = " + std::to_string(display->deviceContext));
  LogMessage("  RC = " + std::to_string(display->renderingContext));
}

void GraphicsRenderEnd(int32_t id) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  if (display == nullptr) {
    return;
  }
  const GraphicsModule& data = GraphicsData();
  if (data.flushAfterFrame) {
    glFlush();
  }
  if (data.finishAfterFrame) {
    glFinish();
  }
  PlatformClearError();
  if (!PlatformGLSwap(display->deviceContext)) {
    LogError("GraphicsRenderEnd - Unable to SwapBuffers on display " +
             GraphicsQuoted(display->name) + ": " + LogWindowsErrorText());
  }
}

void GraphicsSetFlush(bool on) {
  GraphicsData().flushAfterFrame = on || UtilitiesSwitchPresent("-flush");
}

// --- Projection and viewport ------------------------------------------------------

void GraphicsSetOrtho(int32_t width, int32_t height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, height, 0.0, -500.0, 500.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
}

GraphicsRect GraphicsViewportGet() {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return {viewport[0], viewport[1], viewport[2], viewport[3]};
}

void GraphicsViewportSet(int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& /*label*/) {
  glViewport(x, y, width, height);
}

void GraphicsViewportRestore(const GraphicsRect& viewport, const std::string& label) {
  GraphicsViewportSet(viewport.x, viewport.y, viewport.width, viewport.height, label);
}

std::vector<uint8_t> GraphicsReadPixels(const GraphicsRect& rect) {
  // RGBA rows are whole multiples of 4 bytes: the alignment adds no padding.
  std::vector<uint8_t> pixels(static_cast<size_t>(std::max(rect.width, 0)) *
                              static_cast<size_t>(std::max(rect.height, 0)) * 4);
  if (!pixels.empty()) {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(rect.x, rect.y, rect.width, rect.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  }
  return pixels;
}

void GraphicsViewportFitWindow(PlatformWindow window) {
  const PlatformRect client = PlatformWindowClientRect(window);
  glViewport(0, 0, client.width, client.height);
}

// --- Face culling --------------------------------------------------------------------

void GraphicsSetCulling(int32_t mode) {
  if (UtilitiesSwitchPresent("-nocull")) {
    mode = kGraphicsCullingOff;
  }
  struct Culling {
    GLenum frontFace;
    GLenum culledFace;
  };
  static constexpr Culling kModes[] = {
      {GL_CCW, GL_BACK}, {GL_CW, GL_BACK}, {GL_CCW, GL_FRONT}, {GL_CW, GL_FRONT}};
  if (mode < 1 || mode > 4) {
    glDisable(GL_CULL_FACE);
    return;
  }
  glFrontFace(kModes[mode - 1].frontFace);
  glCullFace(kModes[mode - 1].culledFace);
  glEnable(GL_CULL_FACE);
}

// --- Vertical sync ---------------------------------------------------------------------

void GraphicsSetVSync(bool on) {
  const bool wanted = on && !UtilitiesSwitchPresent("-novsync");
  // -1: the system has no swap-interval control, and the flag keeps its value.
  const int result = PlatformGLSetSwapInterval(wanted);
  if (result >= 0) {
    GraphicsData().vsyncActive = wanted && result == 1;
  }
}

bool GraphicsVSyncActive() {
  return GraphicsData().vsyncActive;
}

// --- OpenGL errors ---------------------------------------------------------------------

std::string GraphicsErrorText(uint32_t code) {
  const std::string number = std::to_string(code);
  switch (code) {
    case GL_INVALID_ENUM:
      return "Invalid enumerated value passed to OpenGL function.  Error = " + number;
    case GL_INVALID_VALUE:
      return "Invalid value passed to OpenGL function.  Error = " + number;
    case GL_INVALID_OPERATION:
      return "Invalid operation for current OpenGL state.  Error = " + number;
    case GL_OUT_OF_MEMORY:
      return "Insufficient memory for OpenGL operation.  Error = " + number;
    default:
      return "Unrecgoznied OpenGL error " + number + ".";
  }
}
