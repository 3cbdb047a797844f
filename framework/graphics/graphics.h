// Displays (a window with an OpenGL context), their frames, monitor modes
// and the global rendering switches.
#pragma once

#include "platform/platform.h"

// --- Module lifecycle ---------------------------------------------------
void GraphicsStart();
void GraphicsStop();

// --- Acceleration ---------------------------------------------------------
// True when the window can have a hardware-accelerated OpenGL context.
bool GraphicsAccelerationTest(PlatformWindow window);

// --- Full screen and display changes -------------------------------------
bool GraphicsIsFullscreen();
void GraphicsSetModeSwitch(bool on);
// Notes a display change unless a mode switch is under way.
void GraphicsDisplayChanged();
// Returns the display-changed flag and clears it.
bool GraphicsDisplayChangedTake();

// --- Vertical sync --------------------------------------------------------
// True while the swap interval is in force.
bool GraphicsVSyncActive();
