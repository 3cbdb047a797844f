// Shared between the files of the game module; not part of its API.
#pragma once

#include <cstdint>

// The application states.
enum : int32_t {
  kStateCredits = 1,
  kStateFatalError = 2,
  kStateGame = 3,
  kStateRoomLoad = 4,
  kStateJournal = 5,
  kStateJournalHints = 6,
  kStateJournalInvestigations = 7,
  kStateJournalOptions = 8,
  kStateJournalSpecial = 9,
  kStateJournalSuspects = 10,
  kStateMainInitial = 11,
  kStateMainMenu = 12,
  kStateMainOptions = 13,
  kStateMainSpecial = 14,
  kStatePaused = 15,
  kStateQuit = 16,
  kStateQuitConfirm = 17,
  kStateQuickLoad = 18,
  kStateCount = 18,
};

// The game's scripts: the fourteen interface scripts and the room's.
enum GameScript : int32_t {
  kScriptCredits,
  kScriptRoom,
  kScriptJournal,
  kScriptJournalHints,
  kScriptJournalInvestigations,
  kScriptJournalOptions,
  kScriptJournalSpecial,
  kScriptJournalSuspects,
  kScriptBackground,
  kScriptMainInitial,
  kScriptMainMenu,
  kScriptMainOptions,
  kScriptMainSpecial,
  kScriptPause,
  kScriptQuit,
  kScriptCount,
};

// --- The primary display ----------------------------------------------------
// The id of the display "Primary", or -1.
int32_t GamePrimaryDisplay();

// --- Application states (states.cpp) -------------------------------------------
// Registers the eighteen states with the state store.
void GameRegisterStates();
// The id of one of the game's scripts; 0 while it is not loaded.
int32_t GameScriptId(GameScript script);
// Forgets the script ids (without closing the scripts) and the states the
// overlays return to.
void GameStatesReset();
// Closes every loaded script of the game.
void GameScriptsClose();
// Draws the current state's scripts on the primary display, inside the
// display's GraphicsRenderBegin and GraphicsRenderEnd.
void GameStateRender();

// --- Configuration and unlocked names (config.cpp) ---------------------------------
// The defaults, no unlocked names, no sample sounds.
void GameConfigReset();
// Reads the preferences and the three lists of unlocked names from the settings.
void GameConfigRead();
// Writes the primary display's mode, the preferences and the lists to the settings.
void GameConfigWrite();
// The first-run controls screen was completed.
bool GameConfigured();
// The preference, sample sound and unlockable routines of the scripts.
void GameRegisterConfigRoutines();

// --- Cutscenes ------------------------------------------------------------------
// While a cutscene runs, Escape in the room does not open the journal.
bool GameCutsceneRunning();
void GameCutsceneSet(bool running);

// --- Keys (keys.cpp) ------------------------------------------------------------
// Frees "Enter" and "Space" from "Select Item" and adds the game's own
// actions "Pause", "Quick Load" and "Screenshot" to the current control set.
void GameRegisterKeys();
// Typed keys become key events of the script: characters, "BACKSPACE",
// "ENTER" (on release; Alt+Enter switches full screen instead), "ESCAPE".
void GameTextKeys(int32_t script);
// The text keys, then the menus' actions: "Exit" and "Screenshot".
void GameInterfaceKeys(int32_t script);
// The text keys, then the actions of the room and the pause overlay: clicks,
// "Quick Load", "Pause" and "Screenshot".
void GamePointerKeys(int32_t script);

// --- Screenshots (screenshot.cpp) --------------------------------------------------
// Draws the current state's frame and writes it as a 24-bit BMP file
// "screenshot<N>.bmp" (the smallest free N from 1) into the screenshot folder.
void GameScreenshotSave();
