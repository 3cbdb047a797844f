#include "game/game.h"

#include <algorithm>

#include "framework/graphics/graphics.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace {

// Without a working swap interval a frame lasts at least this long.
constexpr uint32_t kMinimumFrameTime = 10;

struct GameState {
  int32_t sleepTime = 0;
  bool vsyncWanted = true;
};

GameState game;

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void GameStart() {
  game = GameState{};
}

void GameStop() {
  game = GameState{};
}

// --- Calls from the shell ---------------------------------------------------------

bool GameInitDisplay() {
  return true;
}

bool GameInit() {
  MainForm().MainFormProcessMessages();
  game.sleepTime = UtilitiesSwitchValue("-sleep", 0);
  game.vsyncWanted = !UtilitiesSwitchPresent("-novsync");
  MainForm().MainFormProcessMessages();
  return true;
}

bool GameFrame() {
  const uint32_t t0 = PlatformTickCount();
  PlatformSleep(static_cast<uint32_t>(std::max(game.sleepTime, 0)));
  if (game.vsyncWanted && !GraphicsVSyncActive()) {
    // Sleeping out the rest of the minimum frame time paces the frame as a
    // busy wait would, without burning the processor.
    const uint32_t elapsed = PlatformTickCount() - t0;
    if (elapsed < kMinimumFrameTime) {
      PlatformSleep(kMinimumFrameTime - elapsed);
    }
  }
  return true;
}

bool GameQuit() {
  return true;
}

void GameShutdown() {}

void GameMinimize() {
  if (!GraphicsIsFullscreen()) {
    return;
  }
  MainForm().MainThreadMinimize();
}
