// Save games: the save list the interface screens show, writing a save file
// safely, checking a save file whole before anything of it is applied,
// loading it, and the thumbnails of the game screen kept with each save.
// Shared by the game's save and save-screen files; not part of the game's API.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/state/state.h"

struct Model;

// One save of the list, or the game being played.
struct SaveDescriptor {
  std::string description;  // "< Autosave >" for the autosave
  double savedAt = 0;       // local time: days since 30 December 1899, fraction = time of day
  int32_t playTime = 0;     // the Game state's clock in ms
  int32_t completion = 0;   // percent, from the script
  int32_t difficulty = 0;   // 1 "Gumshoe", 2 "Detective", 3 "Super Sleuth"
  std::string extraText;
  std::string file;            // full path; empty: no save in this slot
  Model* thumbnail = nullptr;  // on the primary display
};

// A thumbnail's pixels: width x height, rows top to bottom, 4 bytes a pixel
// in blue, green, red, alpha order (as a save file holds them).
struct SaveThumbnail {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

constexpr int32_t kSaveThumbnailWidth = 192;
constexpr int32_t kSaveThumbnailHeight = 120;

// --- The save list and save files (saves.cpp) -----------------------------------------

// Builds the list from the "*.sav" files of the user data folder: slot 0 the
// autosave (empty when there is none), then the manual saves newest first.
// Damaged files are left out with a log line. Starts from an empty list
// without releasing anything (game start): clear a list built before.
void SavesListBuild();
// Releases every thumbnail and leaves one empty autosave slot.
void SavesListClear();
int32_t SavesListSize();
// The entry of a slot; null when the slot is out of range.
const SaveDescriptor* SavesListEntry(int32_t slot);
// Reads just the thumbnail of a save file, checked; false when the file is
// missing or damaged.
bool SaveFileReadThumbnail(const std::string& file, SaveThumbnail* thumbnail);
// The save routines of the scripts, in their registration order.
void GameRegisterSaveRoutines();
// The quick load: loads the autosave and switches to the room load; without
// an autosave to the main menu; when the autosave cannot be loaded, back to
// `returnState` with the game unchanged.
void SaveQuickLoad(int32_t returnState);
// The information text of a save: date, play time, completion, difficulty.
std::string SaveInformationText(const SaveDescriptor& descriptor);

// --- Save files (save_file.cpp) -------------------------------------------------------

struct SavedAgent {
  std::string name;
  int32_t animationSet = 0;  // the standing set of its facing
  int32_t x = 0;
  int32_t y = 0;
  std::vector<std::pair<std::string, std::string>> inventory;  // item name, image file
};

// Everything a save file holds, read and checked before any of it is used.
struct SaveContents {
  std::vector<StateSavedVariables> states;
  int32_t appVersion = 0;
  SaveDescriptor descriptor;  // without file and thumbnail model
  SaveThumbnail thumbnail;    // pixels only when asked for
  std::vector<SavedAgent> agents;
  std::string fogLayers;  // as FogOfWarLoad reads them; empty before version 3
};

enum class SaveFileStatus { kLoaded, kUnreadable, kDamaged, kUnsupported };

// Reads the whole file and checks every chunk, string, count, thumbnail and
// fog mat against the bytes, and the trailing CRC chunk when there is one.
// Allocates nothing a count asks for that the bytes cannot hold.
SaveFileStatus SaveFileRead(const std::string& file, SaveContents& contents, bool withPixels);
// The same checks over a file's bytes (never kUnreadable).
SaveFileStatus SaveFileParse(std::string_view bytes, SaveContents& contents, bool withPixels);
// Builds the whole save (the Game state's variables, the descriptor, the
// thumbnail, the agents and fog layers, a CRC chunk) and writes it in one
// piece beside the file, then renames it over the file; false, the old file
// kept, when any step failed.
bool SaveFileWrite(const std::string& file, const SaveDescriptor& descriptor,
                   const SaveThumbnail& thumbnail);
// The bytes SaveFileWrite writes; empty when the game could not be written.
std::string SaveFileBytes(const std::string& file, const SaveDescriptor& descriptor,
                          const SaveThumbnail& thumbnail);
// Puts the agents and fog layers of a read save into the game (after a reset).
void SaveFileApply(const SaveContents& contents);

// --- Thumbnails and the save screens (save_screen.cpp) -----------------------------------

// Scales a read-back picture (rows bottom to top, RGBA) to cover 192 x 120
// with a box filter and crops the excess.
SaveThumbnail SaveThumbnailFromPixels(const uint8_t* rgbaBottomUp, int32_t width, int32_t height);
// Draws the Game state's frame without presenting it and makes its thumbnail.
SaveThumbnail SaveThumbnailCapture();
// The thumbnail as a model on the primary display; when the GL context is
// rebuilt the model reads its pixels again from the save file.
Model* SaveThumbnailModel(const SaveThumbnail& thumbnail, const std::string& file);
// The save screens' layout, set by the scripts.
void SaveScreenSetFirstDisplayed(int32_t slot);
void SaveScreenSetPosition(int32_t displaySlot, int32_t x, int32_t y);
void SaveScreenSetDialogImage(int32_t slot);
void SaveScreenSetDialogPosition(int32_t x, int32_t y);
// Forgets the layout (game start and stop).
void SaveScreenReset();
// The AppObj render callbacks AppRenderSave and AppRenderSaveDialog.
void SaveScreenRenderSlot(const std::string& objectName);
void SaveScreenRenderDialog();
