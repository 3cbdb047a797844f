// Shared between the files of the graphics module; not part of its API.
#pragma once

#include <string>
#include <vector>

#include "framework/graphics/graphics.h"

// One display: a render window and the OpenGL contexts drawn through it.
// The device context is the window the context was made on (0 when none).
struct GraphicsDisplay {
  int32_t id = 0;
  PlatformWindow window = 0;
  PlatformWindow deviceContext = 0;
  PlatformGLContext renderingContext = 0;
  int32_t monitor = 0;
  std::string name;
  GraphicsMode mode;
};

struct GraphicsModule {
  std::vector<GraphicsDisplay> displays;  // in order of creation
  int32_t nextId = 1;
  std::vector<std::vector<GraphicsMode>> monitorModes;  // by monitor index
  bool fullscreen = false;
  bool modeSwitch = false;  // while set, display-change notices are ignored
  bool displayChanged = false;
  bool vsyncActive = false;
  bool flushAfterFrame = false;
  bool finishAfterFrame = false;
};

// The culling mode that turns face culling off.
constexpr int32_t kGraphicsCullingOff = 5;

// The module's one state record (owned by graphics.cpp).
GraphicsModule& GraphicsData();

// Table index of a display id; -1 when it is not in the table.
int32_t GraphicsDisplayIndex(int32_t id);
// The display with an id, or null.
GraphicsDisplay* GraphicsDisplayFind(int32_t id);
// Takes every monitor's list of usable full-screen modes from the platform.
void GraphicsMonitorsEnumerate();
// Sets the viewport to the whole client area of the window.
void GraphicsViewportFitWindow(PlatformWindow window);
// "\"" + text + "\"": names and indexes in messages stand in double quotes.
std::string GraphicsQuoted(const std::string& text);
