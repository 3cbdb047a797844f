// The display table and the OpenGL contexts of its displays.
#include <GL/gl.h>

#include <algorithm>
#include <vector>

#include "framework/graphics/graphics_internal.h"
#include "framework/log/log.h"
#include "framework/model/model.h"

namespace {

// Belongs to the listening modules, whose start and stop add and remove their
// entries (some start before this module does).
std::vector<GraphicsDisplayListener> listeners;

// Logs a failed step of making a display's context, with the platform's reason.
bool CreateFailed(const std::string& step, const GraphicsDisplay& display) {
  LogError("GraphicsDisplayCreateRC - " + step + " display " + GraphicsQuoted(display.name) + ": " +
           LogWindowsErrorText());
  return false;
}

// The state every new context starts drawing with.
void SetUpContext() {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  GraphicsSetCulling(kGraphicsCullingOff);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  // The swap interval belongs to the context: the new one gets the old setting.
  GraphicsSetVSync(GraphicsData().vsyncActive);
}

}  // namespace

int32_t GraphicsDisplayIndex(int32_t id) {
  const auto& displays = GraphicsData().displays;
  for (size_t i = 0; i < displays.size(); ++i) {
    if (displays[i].id == id) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

GraphicsDisplay* GraphicsDisplayFind(int32_t id) {
  const int32_t index = GraphicsDisplayIndex(id);
  return index < 0 ? nullptr : &GraphicsData().displays[index];
}

// --- Displays -------------------------------------------------------------------

int32_t GraphicsDisplayAdd(PlatformWindow window, const std::string& name, int32_t monitor) {
  GraphicsModule& data = GraphicsData();
  GraphicsDisplay display;
  display.id = data.nextId++;
  display.window = window;
  display.monitor = monitor;
  display.name = name;
  data.displays.push_back(display);
  ModelDisplayAdd(display.id);
  // A copy: a listener may add or remove listeners.
  for (const GraphicsDisplayListener& listener : std::vector(listeners)) {
    listener.added(display.id);
  }
  return display.id;
}

void GraphicsDisplayClose(int32_t id) {
  const int32_t index = GraphicsDisplayIndex(id);
  if (index < 0) {
    return;
  }
  for (const GraphicsDisplayListener& listener : std::vector(listeners)) {
    listener.removed(id);
  }
  // The models' OpenGL objects go while the display's context still exists.
  ModelDisplayRemove(id);
  if (!GraphicsDisplayFreeRC(index)) {
    LogError("GraphicsDisplayClose - Rendering context release failed on display index " +
             GraphicsQuoted(std::to_string(index)) + ".");
  }
  auto& displays = GraphicsData().displays;
  displays.erase(displays.begin() + index);
}

void GraphicsDisplayListenerAdd(const GraphicsDisplayListener& listener) {
  if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) {
    listeners.push_back(listener);
  }
}

void GraphicsDisplayListenerRemove(const GraphicsDisplayListener& listener) {
  std::erase(listeners, listener);
}

bool GraphicsDisplayExists(int32_t id) {
  return GraphicsDisplayIndex(id) >= 0;
}

void GraphicsDisplaySetWindow(int32_t id, PlatformWindow window) {
  if (GraphicsDisplay* display = GraphicsDisplayFind(id)) {
    display->window = window;
  }
}

bool GraphicsDisplayMakeCurrent(int32_t id) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  // Without a context of its own the display has nothing to make current
  // (asking the platform anyway would only detach whatever context is current).
  return display != nullptr && display->renderingContext != 0 &&
         PlatformGLMakeCurrent(display->deviceContext, display->renderingContext);
}

int32_t GraphicsDisplayGetMonitor(int32_t id) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  return display != nullptr ? display->monitor : -1;
}

void GraphicsDisplayGetClientSize(int32_t id, int32_t& width, int32_t& height) {
  const GraphicsDisplay* display = GraphicsDisplayFind(id);
  const PlatformRect client =
      display != nullptr ? PlatformWindowClientRect(display->window) : PlatformRect{};
  width = std::max(client.width, 1);
  height = std::max(client.height, 1);
}

// --- Rendering contexts -----------------------------------------------------------

bool GraphicsDisplayCreateRC(int32_t id) {
  const int32_t index = GraphicsDisplayIndex(id);
  if (index < 0) {
    LogError("GraphicsDisplayCreateRC - Can't get display " + std::to_string(id) + ".");
    return false;
  }
  GraphicsDisplay& display = GraphicsData().displays[index];
  if (display.renderingContext != 0) {
    // A second context would leave the first one behind for good.
    GraphicsDisplayFreeRC(index);
  }
  if (!PlatformWindowExists(display.window)) {
    // The platform's last error still says why the window could not be made.
    return CreateFailed("Can't create a GL device context for", display);
  }
  PlatformClearError();
  display.deviceContext = display.window;
  // The platform picks the buffers (double buffer, RGBA 8-8-8, depth 16,
  // stencil 1) as it makes the context.
  display.renderingContext = PlatformGLCreateContext(display.deviceContext);
  if (display.renderingContext == 0) {
    return CreateFailed("Cant't create a GL rendering context for", display);
  }
  if (!GraphicsDisplayMakeCurrent(id)) {
    return CreateFailed("Cant't activate the GL rendering context for", display);
  }
  SetUpContext();
  return true;
}

bool GraphicsDisplayFreeRC(int32_t index) {
  auto& displays = GraphicsData().displays;
  if (index < 0 || index >= static_cast<int32_t>(displays.size())) {
    LogError("GraphicsDisplayFreeRC - Invalid display Index " +
             GraphicsQuoted(std::to_string(index)) + ".");
    return false;
  }
  GraphicsDisplay& display = displays[index];
  bool released = true;
  if (display.renderingContext != 0) {
    PlatformClearError();
    if (!PlatformGLMakeCurrent(display.deviceContext, 0)) {
      LogError("GraphicsDisplayFreeRC - Release of display " + GraphicsQuoted(display.name) +
               " DC and RC failed: " + LogWindowsErrorText());
      released = false;
    }
    PlatformGLDeleteContext(display.renderingContext);
    display.renderingContext = 0;
  }
  // The device context is the window itself, which stays with the shell.
  display.deviceContext = 0;
  return released;
}

void GraphicsDisplaysFreeRC() {
  const auto count = static_cast<int32_t>(GraphicsData().displays.size());
  for (int32_t index = 0; index < count; ++index) {
    if (!GraphicsDisplayFreeRC(index)) {
      LogError("GraphicsDisplaysFreeRC - Rendering context release failed on display index " +
               GraphicsQuoted(std::to_string(index)) + ".");
    }
  }
}

void GraphicsDisplaysRecreateRC() {
  for (const GraphicsDisplay& display : GraphicsData().displays) {
    if (GraphicsDisplayCreateRC(display.id)) {
      GraphicsViewportFitWindow(display.window);
    }
  }
}
