// The game's side of the process lifecycle: choosing the display, setting up,
// one frame per pass of the shell's loop, close requests and shutdown.
#pragma once

#include <cstdint>

// --- Module lifecycle ---------------------------------------------------
void GameStart();
void GameStop();

// --- Calls from the shell -------------------------------------------------
bool GameInitDisplay();  // false: no usable display; the process ends
bool GameInit();         // tables, configuration, states; always true
bool GameFrame();        // false: stop the loop
bool GameQuit();         // true: quit now
void GameShutdown();
void GameMinimize();  // the application lost the focus

// --- Display ----------------------------------------------------------------
// Switches every display between full screen and windowed, rebuilding the
// rendering contexts around the switch.
void GameSetFullscreen(bool on);

// --- Recording and replay ---------------------------------------------------------
// From the next GameInit on, the game runs on the manual tick clock: every
// frame advances it by `step` ms in place of the sleep and the minimum frame
// time, GameInit seeds the random numbers with `seed`, and vsync is asked for
// only when `vsync` (and "-novsync" is absent). Step 0 goes back to pacing.
void GameSetFixedStep(uint32_t step, uint32_t seed, bool vsync);
