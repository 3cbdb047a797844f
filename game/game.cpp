#include "game/game.h"

#include <algorithm>
#include <ctime>

#include "framework/audio/audio.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/ini/ini.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/shell.h"

namespace {

// Without a working swap interval a frame lasts at least this long.
constexpr uint32_t kMinimumFrameTime = 10;

struct GameState {
  int primaryMonitor = 0;
  int32_t primaryDisplayId = -1;
  int32_t sleepTime = 0;
  bool vsyncWanted = true;
  int32_t defaultFont = 0;
  // A recording or replay: the fixed frame step (0: paced), the seed and
  // whether vsync stays on.
  uint32_t fixedStep = 0;
  uint32_t fixedSeed = 0;
  bool fixedVsync = true;
};

GameState game;

struct ModeChoice {
  int32_t width;
  int32_t height;
  int32_t bits;
  std::string searching;
  std::string found;
};

// The mode search of the display start-up, in the order it is tried.
std::vector<ModeChoice> ModeChoices(const PlatformMode& desktop) {
  const int32_t w = IniReadInt("Video", "Width", desktop.width);
  const int32_t h = IniReadInt("Video", "Height", desktop.height);
  const int32_t desktopBits = desktop.bitsPerPixel == 0 ? 32 : desktop.bitsPerPixel;
  const int32_t b = IniReadInt("Video", "BPP", desktopBits);
  const std::string head = "GameInitDisplay - Searching for ";
  return {
      {w, h, b, head + std::to_string(w) + "x" + std::to_string(h) + " ini resolution.",
       "GameInitDisplay - Found INI resolution."},
      {desktop.width, desktop.height, desktopBits,
       head + std::to_string(desktop.width) + "x" + std::to_string(desktop.height) +
           " desktop resolution.",
       "GameInitDisplay - Found desktop resolution."},
      {1280, 720, 32, head + "1280x720 design resolution.",
       "GameInitDisplay - Found designed resolution."},
      {800, 600, 32, head + "800x600 basic fallback resolution.",
       "GameInitDisplay - Found basic fallback resolution."},
  };
}

// The first mode of the choices the primary monitor has; index -1 when none.
int32_t FindDisplayMode(const PlatformMode& desktop) {
  for (const ModeChoice& choice : ModeChoices(desktop)) {
    LogTrace(choice.searching);
    const int32_t index =
        GraphicsMonitorFindModeIndex(game.primaryMonitor, choice.width, choice.height, choice.bits);
    if (index >= 0) {
      LogTrace(choice.found);
      return index;
    }
  }
  return -1;
}

PlatformMode DesktopMode() {
  PlatformMode desktop = PlatformMonitorDesktopMode(game.primaryMonitor);
  if (desktop.width == 0 && desktop.height == 0 && desktop.bitsPerPixel == 0) {
    LogTrace("GameInitDisplay - Unable to enumerate primary display registry resolution.");
  }
  if (desktop.width == 0 || desktop.height == 0) {
    desktop.width = 1280;
    desktop.height = 720;
  }
  return desktop;
}

void PumpMessages() {
  MainForm().MainFormProcessMessages();
}

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void GameStart() {
  game = GameState{};
  GameStatesReset();
  SaveScreenReset();
  RoomReset();
  ActionsReset();
  GameCutscenesReset();
  GameConfigReset();
}

void GameStop() {
  AgentsClear();
  DialogClear();
  BubblesClear();
  GameBackgroundFramesClose();
  GameConceptArtClose();
  FogOfWarClose();
  GameMusicClear();
  game = GameState{};
  GameStatesReset();
  SaveScreenReset();
  RoomReset();
  ActionsReset();
  GameCutscenesReset();
  GameConfigReset();
}

int32_t GamePrimaryDisplay() {
  return game.primaryDisplayId;
}

int32_t GameDefaultFont() {
  return game.defaultFont;
}

// --- Calls from the shell ---------------------------------------------------------

bool GameInitDisplay() {
  game.primaryMonitor = MainForm().MainGetPrimaryMonitorId();
  const int32_t index = FindDisplayMode(DesktopMode());
  if (index < 0) {
    LogError("GameInitDisplay - Unable to find suitable display mode.");
    return false;
  }
  const GraphicsMode mode = GraphicsMonitorGetMode(game.primaryMonitor, index);
  game.primaryDisplayId = MainForm().MainThreadDisplayAdd(game.primaryMonitor, "Primary", true);
  if (game.primaryDisplayId == -1) {
    LogError("GameInitDisplay - Unable to add \"Primary\" display.");
    return false;
  }
  MainForm().MainThreadDisplayResize(game.primaryDisplayId, mode.width, mode.height);
  GraphicsDisplaySetMode(game.primaryDisplayId, mode);
  if (GraphicsIsFullscreen() || IniReadBool("Video", "Fullscreen", true)) {
    GameSetFullscreen(true);
  }
  return true;
}

// Initialisation in the designed order, for the parts that exist so far.
bool GameInit() {
  GameMusicClear();
  GameCutscenesReset();
  ScriptRandomSeed(game.fixedStep != 0 ? game.fixedSeed
                                       : static_cast<uint32_t>(std::time(nullptr)));
  GameStatesReset();
  GameConfigRead();
  PumpMessages();
  game.sleepTime = UtilitiesSwitchValue("-sleep", 0);
  GraphicsSetCulling(1);
  game.vsyncWanted =
      !UtilitiesSwitchPresent("-novsync") && (game.fixedStep == 0 || game.fixedVsync);
  GraphicsSetVSync(game.vsyncWanted);
  GraphicsSetFlush(true);
  PumpMessages();
  // The screens run on the menus' control set until the game has its own.
  InputControlSetActivate(InputMenuControlSet());
  GameRegisterKeys();
  // Keys the player rebound on the options screens come back from the
  // settings; without a saved section the designed bindings stay.
  InputControlSetLoad(InputMenuControlSet());
  GameRegisterRoutines();
  GameRegisterStates();
  StateVariableSetBool(kStateGame, "menu main fade in", true);
  // A missing font is logged by the font module; the game starts without it.
  game.defaultFont = FontOpen(game.primaryDisplayId, "Bin\\Common\\Fonts\\Cubes.fot");
  PumpMessages();
  SavesListBuild();
  PumpMessages();
  // "-testscreen" opens the test interface in the main initial state.
  const bool testScreen = UtilitiesSwitchPresent("-testscreen");
  StateSet(GameConfigured() && !testScreen ? kStateMainMenu : kStateMainInitial);
  return true;
}

bool GameFrame() {
  const int32_t current = StateGetCurrent();
  if (current == kStateQuit || current == kStateFatalError) {
    return false;
  }
  if (GraphicsDisplayChangedTake()) {
    GameSetFullscreen(GraphicsIsFullscreen());
  }
  const uint32_t t0 = PlatformTickCount();
  StateProcess();
  if (game.fixedStep != 0) {
    // A recording or replay: every frame lasts exactly one step of game time,
    // however long it took.
    PlatformClockAdvance(game.fixedStep);
    return true;
  }
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
  const int32_t current = StateGetCurrent();
  if (current == kStateQuit || current == kStateFatalError) {
    return true;
  }
  if (current != kStateQuitConfirm) {
    StateSet(kStateQuitConfirm);
  }
  return false;
}

void GameShutdown() {
  // The agents' frames and bubbles belong to the display closed below.
  AgentsClear();
  // The bubbles' models and textures belong to the display closed below,
  // with the bubble font.
  DialogClear();
  BubblesClear();
  GameBackgroundFramesClose();
  GameConceptArtClose();
  FogOfWarClose();
  GameMusicClear();
  AudioCloseAll();
  SavesListClear();
  GameScriptsClose();
  // The depth mesh belongs to the display closed below.
  RoomReset();
  GameConfigWrite();
  // The menus' set is not saved by the input module (its save flag is off),
  // so the game keeps the player's rebound keys itself.
  InputControlSetSave(InputMenuControlSet());
  MainForm().MainThreadDisplayClose(game.primaryDisplayId);
  game.primaryDisplayId = -1;
}

void GameSetFullscreen(bool on) {
  AudioPauseAll();
  GraphicsSetModeSwitch(true);
  ModelAssetsFree();
  GraphicsDisplaysFreeRC();
  GraphicsSetFullscreen(on);
  MainForm().MainThreadDisplaySetFullscreen(on);
  GraphicsDisplaysRecreateRC();
  ModelDisplayImageRender();
  ModelAssetsRecompile();
  GraphicsSetModeSwitch(false);
  AudioResumeAll();
}

void GameSetFixedStep(uint32_t step, uint32_t seed, bool vsync) {
  game.fixedStep = step;
  game.fixedSeed = seed;
  game.fixedVsync = vsync;
}

void GameMinimize() {
  if (!GraphicsIsFullscreen()) {
    return;
  }
  GraphicsSetModeSwitch(true);
  GraphicsMonitorsRestoreDesktop();
  GraphicsSetModeSwitch(false);
  MainForm().MainThreadMinimize();
}
