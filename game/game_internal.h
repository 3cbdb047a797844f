// Shared between the files of the game module; not part of its API.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/mat/mat.h"
#include "game/path.h"

struct Model;

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
// The default font, opened on the primary display at start-up; 0 when it failed.
int32_t GameDefaultFont();

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
// The same for a given state's picture (the overlays with what they cover).
void GameStateRenderOf(int32_t state);
// Closes the dimmed copy of the last game frame shown behind the menus.
void GameBackgroundFramesClose();
// Replaces that copy by the model, which the states now own.
void GameBackgroundFramesSet(Model* model);
// The state the pause overlay returns to, and the one the quit confirmation
// returns to.
int32_t GameStateBeforePause();
int32_t GameStateQuitReturn();
// The autosave, the save list's first slot: its file, empty while there is
// none (saves.cpp).
std::string GameAutosaveFile();

// --- Music (music.cpp) ------------------------------------------------------------
// Fades the named track in over the fade time (scaled by how far it has to
// go), opening it when it is not playing yet, and every other track out.
void GameMusicPlay(const std::string& file, int32_t fadeTime);
// Fades every track out.
void GameMusicStop(int32_t fadeTime);
// Sets each track's volume for the current state's clock; closes the tracks
// that have faded out.
void GameMusicFadesUpdate();
// Starts again a track that has stopped, while the state's clock runs.
void GameMusicKeepPlaying();
// Moves every fade from one state's clock to another's, keeping the time
// each has left.
void GameMusicMoveClock(int32_t from, int32_t to);
// Closes every track.
void GameMusicClear();
// The sound of the named track; -1 when the track is not in the list.
int32_t GameMusicSound(const std::string& file);

// --- Room sounds (sounds.cpp) ------------------------------------------------------
// Closes every room sound that has stopped, completing the action a thread
// waits on (each frame of the states that play effects).
void RoomSoundsSweep();
// Closes every room sound (a room load, game start and stop).
void RoomSoundsClear();
// AppSoundPlay, PlayNoWait, PlayNoWaitLoop, Stop, SetVolume, GetStatus and
// GetVolume.
void GameRegisterSoundRoutines();

// --- Script routines (routines.cpp) ---------------------------------------------
// Registers the game's routines with the script engine: the render
// callbacks, the hit tests, then the ordinary routines.
void GameRegisterRoutines();
// Closes the concept art the routines opened.
void GameConceptArtClose();

// --- Configuration and unlocked names (config.cpp) ---------------------------------
// The defaults, no unlocked names, no sample sounds.
void GameConfigReset();
// Reads the preferences and the three lists of unlocked names from the settings.
void GameConfigRead();
// Writes the primary display's mode, the preferences and the lists to the settings.
void GameConfigWrite();
// The first-run controls screen was completed.
bool GameConfigured();
// "Show Speech Bubbles": bubbles are drawn even while their voice plays.
bool GameConfigShowSpeechBubbles();
// "Speech Bubble Speed": milliseconds a speech line lasts per character.
int32_t GameConfigSpeechBubbleSpeed();
// The preference, sample sound and unlockable routines of the scripts.
void GameRegisterConfigRoutines();
// Closes the options screens' two sample sounds (the next play opens them again).
void GameConfigSoundsClose();

// --- Cutscenes (cutscene.cpp) ----------------------------------------------------
// While a cutscene runs, Escape in the room does not open the journal and
// autosaves are refused.
bool GameCutsceneRunning();
void GameCutsceneSet(bool running);
// Forgets the threads registered as playing the cutscene (a room load).
void GameCutsceneThreadsForget();
// No cutscene and no registered threads (game start).
void GameCutscenesReset();
// AppCutsceneBegin, End, RegisterThread, Skip and Skipping.
void GameRegisterCutsceneRoutines();

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
// A state's picture drawn on the primary display without being shown and
// read back: RGBA bytes, rows from the bottom up; 0 x 0 without a picture.
struct GameFramePixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
};
GameFramePixels GameFrameCapture(int32_t state);
// The current state's picture, darkened, becomes the copy of the game frame
// drawn behind the menus (the routine AppScreenShot).
void GameBackgroundFramesCapture();
// Draws the current state's frame and writes it as a 24-bit BMP file
// "screenshot<N>.bmp" (the smallest free N from 1) into the screenshot folder.
void GameScreenshotSave();

// --- Rooms (room.cpp) -----------------------------------------------------------------
// Replaces the room script by "Bin\Rooms\<name>\Scripts\<name>.vmc"; the
// mats, path tree, depth mesh and scale line stay until its script sets them.
// False, with state 2, when the script cannot be loaded.
bool RoomLoad(const std::string& name);
// The room the Game state loads at the start of its next frame.
void RoomPendingSet(const std::string& name);
// Loads the pending room, if any, and clears the name.
void RoomLoadPending();
// The room script's id: greater than 0 while loaded, -1 after closing, 0 before the first room.
int32_t RoomScriptId();
// Closes the room script, if one is loaded.
void RoomScriptClose();
// The room's data, selected by its script: empty argument clears, an argument
// with a backslash is the file itself, else a room name whose "Background"
// folder holds the designed file.
void RoomSetDepthBuffer(const std::string& argument);
void RoomSetDepthMat(const std::string& argument);
void RoomSetFloorMat(const std::string& argument);
void RoomSetLightMat(const std::string& argument);
void RoomSetSoundMat(const std::string& argument);
void RoomSetWalkPath(const std::string& argument);
// The depth of the mat's runs (DepthRectsOf) as quads at z = minus the blue
// byte, on the primary display, named `name`; null for an invalid mat.
Model* RoomBuildDepthMesh(const Mat& mat, const std::string& name);
// Writes the depth mesh into the depth buffer only.
void RoomRenderDepthBuffer();
// Draws a depth mesh into the depth buffer only, whatever lies there (depth
// function ALWAYS, colour writes off), then leaves depth writes off and the
// depth function LEQUAL for what is drawn after it.
void RoomRenderDepthOnly(const Model* mesh);
// The scale line, and the agent scale it gives a screen row.
void RoomSetScale(int32_t rowB, int32_t scaleB, int32_t rowA, int32_t scaleA);
float RoomScaleForRow(int32_t row);
// What agents read every frame.
const Mat& RoomAgentDepthMat();
// The background's depth at each pixel (the depth buffer's mat).
const Mat& RoomDepthLayerMat();
const Mat& RoomFloorMat();
const Mat& RoomLightMat();
PathTree& RoomPathTree();
// Routes a walker over the room's floor mat and tree (the walk request).
bool RoomWalkRequest(PathWalker& walker, PathPoint target);
// Releases the mats, the tree, the depth mesh, the pending name and the room
// sounds, puts the scale line back to (1, 100, 1, 100) and forgets the room
// script (id 0) without closing it.
void RoomReset();
// The room routines and the depth buffer's render procedure.
void GameRegisterRoomRoutines();
void GameRegisterRoomRenderProcedures();

// --- Fog of war (fog.cpp) ---------------------------------------------------------------
// Adds the layer folder + name (".tga" picture, ".mat" state), or reopens the
// one of that name.
void FogOfWarAdd(const std::string& name, const std::string& folder);
// The layer's index by name (any case); -1 when none.
int32_t FogOfWarFind(const std::string& name);
void FogOfWarRemove(int32_t index);
// Removes every layer, keeping the pictures for layers added again with the
// same name and folder (a load after the game's reset).
void FogOfWarClear();
// Removes every layer and every kept picture (before the display goes).
void FogOfWarClose();
// (covered, uncovered) pixels of the layer; both 0 when none.
std::pair<int32_t, int32_t> FogOfWarCoverage(const std::string& name);
// Uncovers the capsule of the given radius from (x1, y1) to (x2, y2).
void FogOfWarUncover(const std::string& name, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     int32_t radius);
// The stroke on a mat alone: the capsule's pixels inside the mat become the
// clear index. Nothing for an invalid mat, one of 128 entries or more, or a
// clear index that names no entry.
void FogOfWarStroke(Mat& mat, uint8_t clearIndex, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    int32_t radius);
// Writes the number of layers, then each layer (name, folder, mat) at the
// position of a direct file, stroke marks cleared first; layers whose mat
// could not be read are left out. False when a write failed.
bool FogOfWarSave(int32_t file);
// Reads layers written by FogOfWarSave, adding the missing ones and
// replacing their mats; false when the data is damaged, each layer read
// whole before it changes anything.
bool FogOfWarLoad(int32_t file);
// The AppObj render callback, the hit test, and the three routines.
void GameRegisterFogRenderCallback();
void GameRegisterFogHitTest();
void GameRegisterFogRoutines();

// --- New game (saves.cpp) -----------------------------------------------------------------
// Clears the game world and runs "Bin\gameStart.vmc"; false, with state 2,
// when that script cannot be loaded.
bool FileGameStateInit();
