// Save games: the save list (the autosave in slot 0, then the manual saves
// newest first), saving and loading through the scripts' routines, the
// quick load, and starting a game afresh.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"

namespace {

// Its initial code sets the Game state's variables a new game starts with,
// among them the first room.
constexpr const char* kGameStartFile = "Bin\\gameStart.vmc";
constexpr const char* kAutosaveName = "autosave.sav";
constexpr const char* kAutosaveDescription = "< Autosave >";

// Dates outside these days (about the years 0 to 10000) are shown as day 0.
constexpr double kEarliestDay = -693000;
constexpr double kLatestDay = 2958000;

// Slot 0 always exists: the autosave, empty while there is none.
std::vector<SaveDescriptor> saveList(1);

// --- Dates -------------------------------------------------------------------------------

// A save's date and time; a date read from a file that names no day of the
// calendar shows as day 0.
PlatformDateTime DateTimeFromSaveDate(double date) {
  if (!std::isfinite(date) || date < kEarliestDay || date > kLatestDay) {
    date = 0;
  }
  return PlatformDateTimeFromDays(date);
}

std::string TwoDigits(int64_t value) {
  return UtilitiesPadLeft(std::to_string(value), '0', 2);
}

std::string DifficultyName(int32_t difficulty) {
  switch (difficulty) {
    case 1:
      return "Gumshoe";
    case 2:
      return "Detective";
    case 3:
      return "Super Sleuth";
    default:
      return "";
  }
}

// --- The list ----------------------------------------------------------------------------

bool IsAutosave(const std::string& file) {
  return UtilitiesUpperCase(file).find("AUTOSAVE.SAV") != std::string::npos;
}

bool SameFile(const std::string& a, const std::string& b) {
  return UtilitiesUpperCase(a) == UtilitiesUpperCase(b);
}

void ReplaceAutosave(SaveDescriptor&& descriptor) {
  ModelClose(saveList[0].thumbnail);
  saveList[0] = std::move(descriptor);
}

// A listed file goes before the first manual save that is not newer.
void InsertByDate(SaveDescriptor&& descriptor) {
  auto at = saveList.begin() + 1;
  while (at != saveList.end() && at->savedAt > descriptor.savedAt) {
    ++at;
  }
  saveList.insert(at, std::move(descriptor));
}

// A new save goes to the top: replacing the entry of its file, or added.
void PutOnTop(SaveDescriptor&& descriptor) {
  size_t at = 1;
  while (at < saveList.size() && !SameFile(saveList[at].file, descriptor.file)) {
    ++at;
  }
  if (at == saveList.size()) {
    saveList.emplace_back();
  } else {
    ModelClose(saveList[at].thumbnail);
  }
  for (; at > 1; --at) {
    saveList[at] = std::move(saveList[at - 1]);
  }
  saveList[1] = std::move(descriptor);
}

Model* ThumbnailModel(const SaveThumbnail& thumbnail, const std::string& file) {
  return thumbnail.width > 0 && thumbnail.height > 0 ? SaveThumbnailModel(thumbnail, file)
                                                     : nullptr;
}

// The slot AppLoadGame means: 0 is the autosave, or the newest manual save
// while there is no autosave; -1 for a slot that holds no file.
int32_t LoadSlot(int32_t slot) {
  if (slot == 0 && saveList[0].file.empty()) {
    slot = 1;
  }
  const SaveDescriptor* entry = SavesListEntry(slot);
  return entry != nullptr && !entry->file.empty() ? slot : -1;
}

// --- Saving and loading ------------------------------------------------------------------

std::string NextFreeSaveFile() {
  const std::string folder = UtilitiesUserDataFolder();
  int32_t n = 1;
  while (PlatformFileExists(folder + "savegame" + std::to_string(n) + ".sav")) {
    ++n;
  }
  return folder + "savegame" + std::to_string(n) + ".sav";
}

void SaveGame(const std::string& fileName, const std::string& description, int32_t completion,
              const std::string& extraText) {
  SaveDescriptor descriptor;
  descriptor.description = description;
  descriptor.savedAt = PlatformDateTimeDays(PlatformLocalTime());
  descriptor.playTime = static_cast<int32_t>(StateGetTime(kStateGame));
  descriptor.completion = completion;
  descriptor.difficulty = StateVariableGetInt(kStateGame, "difficulty");
  descriptor.extraText = extraText;
  descriptor.file = fileName.empty() ? NextFreeSaveFile() : fileName;
  const SaveThumbnail thumbnail = SaveThumbnailCapture();
  if (!SaveFileWrite(descriptor.file, descriptor, thumbnail)) {
    LogError("AppSaveGame - Unable to write save game \"" + descriptor.file + "\".");
    return;
  }
  descriptor.thumbnail = ThumbnailModel(thumbnail, descriptor.file);
  if (IsAutosave(descriptor.file)) {
    ReplaceAutosave(std::move(descriptor));
  } else {
    PutOnTop(std::move(descriptor));
  }
}

enum class LoadResult { kLoaded, kRefused, kResetFailed };

// Reads and checks the whole file first: a file that cannot be loaded
// leaves the game as it was. Then the game is reset (a failed reset has
// switched to the fatal error) and the save applied. The file's name is a
// copy: the start script run by the reset may save.
LoadResult LoadGame(std::string file, const std::string& function) {
  SaveContents contents;
  switch (SaveFileRead(file, contents, false)) {
    case SaveFileStatus::kLoaded:
      break;
    case SaveFileStatus::kUnsupported:
      LogError("FileLoadGameAppData -  Unsupported file version \"" +
               std::to_string(contents.appVersion) + "\" in save game \"" + file + "\".");
      return LoadResult::kRefused;
    case SaveFileStatus::kUnreadable:
      LogError(function + " - Unable to read save game \"" + file + "\".");
      return LoadResult::kRefused;
    case SaveFileStatus::kDamaged:
      LogError(function + " - Save game \"" + file + "\" is damaged and was not loaded.");
      return LoadResult::kRefused;
  }
  if (!FileGameStateInit()) {
    return LoadResult::kResetFailed;
  }
  StateApplyVariables(contents.states);
  StateSetTime(kStateGame, static_cast<uint32_t>(contents.descriptor.playTime));
  SaveFileApply(contents);
  return LoadResult::kLoaded;
}

// --- Routines ----------------------------------------------------------------------------

const SaveDescriptor* FilledSlot(int32_t slot) {
  const SaveDescriptor* entry = SavesListEntry(slot);
  return entry != nullptr && !entry->file.empty() ? entry : nullptr;
}

// The routines in their registration order, in two parts.
void RegisterSaveAndListRoutines() {
  ScriptAppRoutineRegister("AppSaveCount", [](int32_t script, int32_t thread) {
    ScriptParamSetInt(script, thread, 1, SavesListSize() - 1);
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveFirstDisplayed", [](int32_t script, int32_t thread) {
    SaveScreenSetFirstDisplayed(ScriptParamGetInt(script, thread, 1));
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveGame", [](int32_t script, int32_t thread) {
    SaveGame(ScriptParamGetString(script, thread, 1), ScriptParamGetString(script, thread, 2),
             ScriptParamGetInt(script, thread, 3), ScriptParamGetString(script, thread, 4));
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveGameAuto", [](int32_t script, int32_t thread) {
    if (!GameCutsceneRunning()) {
      SaveGame(UtilitiesUserDataFolder() + kAutosaveName, kAutosaveDescription,
               ScriptParamGetInt(script, thread, 1), "");
    }
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveGameExists", [](int32_t script, int32_t thread) {
    ScriptParamSetBool(script, thread, 1, SavesListSize() > 1 || !saveList[0].file.empty());
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveGetDesc", [](int32_t script, int32_t thread) {
    const SaveDescriptor* entry = FilledSlot(ScriptParamGetInt(script, thread, 1));
    ScriptParamSetString(script, thread, 2, entry == nullptr ? "" : entry->description);
    ScriptParamSetString(script, thread, 3, entry == nullptr ? "" : SaveInformationText(*entry));
    ScriptParamSetString(script, thread, 4, entry == nullptr ? "" : entry->extraText);
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveGetFileName", [](int32_t script, int32_t thread) {
    const SaveDescriptor* entry = SavesListEntry(ScriptParamGetInt(script, thread, 1));
    ScriptParamSetString(script, thread, 2, entry == nullptr ? "" : entry->file);
    return 1;
  });
}

void RegisterScreenAndLoadRoutines() {
  ScriptAppRoutineRegister("AppSaveSetDialogImage", [](int32_t script, int32_t thread) {
    SaveScreenSetDialogImage(ScriptParamGetInt(script, thread, 1));
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveSetDialogPosition", [](int32_t script, int32_t thread) {
    SaveScreenSetDialogPosition(ScriptParamGetInt(script, thread, 1),
                                ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppSaveSetPosition", [](int32_t script, int32_t thread) {
    SaveScreenSetPosition(ScriptParamGetInt(script, thread, 1),
                          ScriptParamGetInt(script, thread, 2),
                          ScriptParamGetInt(script, thread, 3));
    return 1;
  });
  ScriptAppRoutineRegister("AppLoadGame", [](int32_t script, int32_t thread) {
    const int32_t slot = LoadSlot(ScriptParamGetInt(script, thread, 1));
    if (slot >= 0 &&
        LoadGame(saveList[static_cast<size_t>(slot)].file, "AppLoadGame") == LoadResult::kLoaded) {
      StateSet(kStateRoomLoad);
    }
    return 1;
  });
}

}  // namespace

// --- The save list -----------------------------------------------------------------------

void SavesListClear() {
  for (SaveDescriptor& entry : saveList) {
    ModelClose(entry.thumbnail);
  }
  saveList.assign(1, SaveDescriptor{});
}

void SavesListBuild() {
  // Models of an earlier list went with the model module's last stop; a
  // list built again while the game runs is cleared first.
  saveList.assign(1, SaveDescriptor{});
  const std::string folder = UtilitiesUserDataFolder();
  // A save cut off by a crash or kill left its temporary beside the older
  // save; it is neither listed nor kept.
  DataFileDirectRemoveTemporaries(folder, "*.sav");
  std::vector<std::string> names = PlatformListFolder(folder, "*.sav");
  // The folder's order is the file system's; sorted, equal dates list alike
  // on every machine.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    SaveDescriptor descriptor;
    descriptor.file = folder + name;
    SaveContents contents;
    const SaveFileStatus status = SaveFileRead(descriptor.file, contents, true);
    if (status == SaveFileStatus::kUnsupported) {
      continue;  // a later game's save
    }
    if (status != SaveFileStatus::kLoaded) {
      LogError("SavesListBuild - Save game \"" + descriptor.file +
               "\" is damaged and is not listed.");
      continue;
    }
    const std::string file = descriptor.file;
    descriptor = std::move(contents.descriptor);
    descriptor.file = file;
    descriptor.thumbnail = ThumbnailModel(contents.thumbnail, file);
    if (UtilitiesUpperCase(name) == "AUTOSAVE.SAV") {
      ReplaceAutosave(std::move(descriptor));
    } else {
      InsertByDate(std::move(descriptor));
    }
  }
}

int32_t SavesListSize() {
  return static_cast<int32_t>(saveList.size());
}

const SaveDescriptor* SavesListEntry(int32_t slot) {
  return slot >= 0 && slot < SavesListSize() ? &saveList[static_cast<size_t>(slot)] : nullptr;
}

bool SaveFileReadThumbnail(const std::string& file, SaveThumbnail* thumbnail) {
  SaveContents contents;
  if (SaveFileRead(file, contents, true) != SaveFileStatus::kLoaded) {
    return false;
  }
  *thumbnail = std::move(contents.thumbnail);
  return true;
}

void SaveQuickLoad(int32_t returnState) {
  if (saveList[0].file.empty()) {
    StateSet(kStateMainMenu);
    return;
  }
  switch (LoadGame(saveList[0].file, "QuickLoad")) {
    case LoadResult::kLoaded:
      StateSet(kStateRoomLoad);
      break;
    case LoadResult::kRefused:
      StateSet(returnState);
      break;
    case LoadResult::kResetFailed:
      break;
  }
}

std::string GameAutosaveFile() {
  return saveList[0].file;
}

std::string SaveInformationText(const SaveDescriptor& descriptor) {
  const PlatformDateTime saved = DateTimeFromSaveDate(descriptor.savedAt);
  const int32_t hour12 = saved.hour % 12 == 0 ? 12 : saved.hour % 12;
  const uint32_t playSeconds = static_cast<uint32_t>(descriptor.playTime) / 1000;
  return std::to_string(saved.year) + "-" + UtilitiesMonthName(saved.month) + "-" +
         std::to_string(saved.day) + "  " + std::to_string(hour12) + ":" + TwoDigits(saved.minute) +
         ":" + TwoDigits(saved.second) + (saved.hour < 12 ? "AM" : "PM") + "\r" +
         "Play Time: " + std::to_string(playSeconds / 3600) + "H " +
         TwoDigits(playSeconds / 60 % 60) + "M " + TwoDigits(playSeconds % 60) + "S" + "\r" +
         std::to_string(descriptor.completion) + "% Complete" + "\r" +
         DifficultyName(descriptor.difficulty);
}

void GameRegisterSaveRoutines() {
  RegisterSaveAndListRoutines();
  RegisterScreenAndLoadRoutines();
}

// --- Starting afresh -----------------------------------------------------------------------

bool FileGameStateInit() {
  AgentsClear();
  ActionsReset();
  DialogClear();
  BubblesClear();
  FogOfWarClear();
  RoomSetDepthBuffer("");
  GameBackgroundFramesClose();
  GameMusicClear();
  RoomSoundsClear();
  // A cutscene left behind (the player quit to the menus during one) would
  // refuse every autosave of the next game.
  GameCutscenesReset();
  const int32_t script = ScriptLoad(kGameStartFile);
  if (script < 1) {
    LogError("FileGameStateInit - Unable to load game start script.");
    StateSet(kStateFatalError);
    return false;
  }
  ScriptClose(script);
  return true;
}
