// Displays (a window with an OpenGL context), their frames, monitor modes
// and the global rendering switches.
//
// A display is addressed by an id from a counter that starts at 1 and is
// never reused; -1 stands for no display. Windows are made by the shell: this
// module only receives their handles. Monitors are addressed by the
// platform's index (0 is the primary monitor).
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// A full-screen mode: the mode number is the platform's enumeration index of
// the mode on its monitor. Width 0 stands for no mode.
struct GraphicsMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t number = 0;
  bool operator==(const GraphicsMode&) const = default;
};

// A viewport: left, bottom, width and height in window pixels, as OpenGL has it.
struct GraphicsRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const GraphicsRect&) const = default;
};

// --- Module lifecycle ---------------------------------------------------
// Reads "-flush" and "-finish", empties the display table and takes the
// monitors' mode lists.
void GraphicsStart();
// Restores the desktop when full screen, closes every display, drops the lists.
void GraphicsStop();

// --- Acceleration ---------------------------------------------------------
// True when the window can have a hardware-accelerated OpenGL context.
bool GraphicsAccelerationTest(PlatformWindow window);

// --- Displays --------------------------------------------------------------
// Appends a display for a window on a monitor (no context, no mode),
// registers it with the model module, then tells the display listeners; its id.
int32_t GraphicsDisplayAdd(PlatformWindow window, const std::string& name, int32_t monitor);
// Tells the display listeners, removes the display's models, frees its
// contexts and removes it; unknown ids are ignored.
void GraphicsDisplayClose(int32_t id);
bool GraphicsDisplayExists(int32_t id);
// Replaces the window after the shell re-created it.
void GraphicsDisplaySetWindow(int32_t id, PlatformWindow window);
// Makes the display's context current; false without one.
bool GraphicsDisplayMakeCurrent(int32_t id);
// The display's monitor; -1 for an unknown id.
int32_t GraphicsDisplayGetMonitor(int32_t id);
// The size of the display's window client area, each at least 1 (1 x 1 for
// an unknown id or a window without a client area).
void GraphicsDisplayGetClientSize(int32_t id, int32_t& width, int32_t& height);

// --- Display listeners -------------------------------------------------------
// Modules above this one hear of displays through listeners, called in the
// order they were added: `added` after the model module has the display,
// `removed` while its models and context still exist.
struct GraphicsDisplayListener {
  void (*added)(int32_t display) = nullptr;
  void (*removed)(int32_t display) = nullptr;
  bool operator==(const GraphicsDisplayListener&) const = default;
};
// A module adds its listener when it starts and removes it when it stops; the
// module's own start and stop leave the list alone, since listeners may start
// first. Adding a listener twice keeps one.
void GraphicsDisplayListenerAdd(const GraphicsDisplayListener& listener);
void GraphicsDisplayListenerRemove(const GraphicsDisplayListener& listener);

// --- Display modes ---------------------------------------------------------
// Stores the display's full-screen mode (ignored for width 0 or an unknown id)
// and, when its context can be made current, fits the viewport to the window.
void GraphicsDisplaySetMode(int32_t id, const GraphicsMode& mode);
// Entry `index` of the display's monitor's list; (0, 0, 0, -1) for an unknown
// id, zeros for a bad index.
GraphicsMode GraphicsDisplayGetMode(int32_t id, int32_t index);
// Index in its monitor's list of the display's mode; -1 when none.
int32_t GraphicsDisplayGetModeIndex(int32_t id);
// Width and height of the display's mode entry; 1 when that is 0.
int32_t GraphicsDisplayGetWidth(int32_t id);
int32_t GraphicsDisplayGetHeight(int32_t id);

// --- Rendering contexts -----------------------------------------------------
// Creates, makes current and sets up the display's context.
bool GraphicsDisplayCreateRC(int32_t id);
// Frees the context of the display at a table index (not an id).
bool GraphicsDisplayFreeRC(int32_t index);
void GraphicsDisplaysFreeRC();
// Creates every display's context again and fits its viewport to its window.
void GraphicsDisplaysRecreateRC();

// --- Frames -----------------------------------------------------------------
// Makes the display current and clears its colour, depth and stencil buffers.
void GraphicsRenderBegin(int32_t id);
// Flushes or finishes when asked to, then swaps the display's buffers.
void GraphicsRenderEnd(int32_t id);
// Flush after frame := on, or true with "-flush".
void GraphicsSetFlush(bool on);

// --- Projection and viewport ----------------------------------------------------
// Screen projection: x 0..width left to right, y 0..height top to bottom.
void GraphicsSetOrtho(int32_t width, int32_t height);
GraphicsRect GraphicsViewportGet();
// The label names the caller for whoever reads the code; it has no effect.
void GraphicsViewportSet(int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& label);
void GraphicsViewportRestore(const GraphicsRect& viewport, const std::string& label);

// --- Face culling ------------------------------------------------------------------
// 1: counter-clockwise front, back culled; 2: clockwise front, back culled;
// 3: counter-clockwise front, front culled; 4: clockwise front, front culled;
// any other: no culling. "-nocull" forces no culling.
void GraphicsSetCulling(int32_t mode);

// --- Vertical sync ----------------------------------------------------------------
// Asks for a swap interval of 1 (on, unless "-novsync") or 0.
void GraphicsSetVSync(bool on);
// True while the swap interval is in force.
bool GraphicsVSyncActive();

// --- Full screen and display changes -------------------------------------------------
bool GraphicsIsFullscreen();
// On: every display's monitor goes to the display's mode; off: the desktop
// returns when full screen was on.
void GraphicsSetFullscreen(bool on);
void GraphicsSetModeSwitch(bool on);
// Notes a display change unless a mode switch is under way.
void GraphicsDisplayChanged();
// Returns the display-changed flag and clears it.
bool GraphicsDisplayChangedTake();

// --- Monitors and their modes --------------------------------------------------------
// Puts the monitor's display windows in full screen in the numbered mode.
bool GraphicsMonitorSetResolution(int32_t monitor, int32_t modeNumber);
// Every full-screen display window returns to the desktop.
bool GraphicsMonitorsRestoreDesktop();
// First entry of the monitor's list with that size and depth; zeros when none.
GraphicsMode GraphicsMonitorFindMode(int32_t monitor, int32_t width, int32_t height,
                                     int32_t bitsPerPixel);
// Its index; -1 when none.
int32_t GraphicsMonitorFindModeIndex(int32_t monitor, int32_t width, int32_t height,
                                     int32_t bitsPerPixel);
// Entry `index` of the monitor's list; zeros for a bad monitor or index.
GraphicsMode GraphicsMonitorGetMode(int32_t monitor, int32_t index);
// "1280x720 32-bit color"; empty when width, height or bits is 0.
std::string GraphicsMonitorModeText(int32_t monitor, int32_t index);

// --- OpenGL errors -------------------------------------------------------------------
std::string GraphicsErrorText(uint32_t code);
