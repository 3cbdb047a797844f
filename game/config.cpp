// The player's preferences and the unlocked names: read from "settings.ini"
// when the game initialises, offered to the interface scripts through
// routines, and written back when the game shuts down.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/ini/ini.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// --- Preferences ----------------------------------------------------------------

enum Setting : size_t {
  kConfigured,
  kControlMode,
  kControlHand,
  kShowPointer,
  kShowFlyovers,
  kShowTips,
  kShowHotspots,
  kShowSpeechBubbles,
  kSpeechBubbleSpeed,
  kSettingCount,
};

// A preference as the settings file and the scripts know it. Booleans are
// held as 0 and 1. Integers are held in [low, high], whether they come from
// the file or a script: the scripts show them as choices, and the speech
// bubble speed (milliseconds per character) multiplies text lengths.
struct SettingInfo {
  const char* section;
  const char* key;
  const char* routine;  // the routines are "AppConfig" + this + "Get" and "Set"
  bool boolean;
  int32_t byDefault;
  int32_t low;
  int32_t high;
};

// In the order of reading and writing.
constexpr std::array<SettingInfo, kSettingCount> kSettings = {{
    {"Controls", "Configured", "Configured", true, 0, 0, 1},
    {"Controls", "Mode", "ControlMode", false, 1, 1, 2},
    {"Controls", "Hand", "ControlHand", false, 2, 1, 2},
    {"Controls", "Show Pointer", "ShowPointer", true, 1, 0, 1},
    {"Controls", "Show Flyovers", "ShowFlyovers", true, 1, 0, 1},
    {"Controls", "Show Tips", "ShowTips", true, 1, 0, 1},
    {"Controls", "Show Hotspots", "ShowHotspots", true, 1, 0, 1},
    {"Audio", "Show Speech Bubbles", "SpeechBubbles", true, 1, 0, 1},
    {"Audio", "Speech Bubble Speed", "SpeechBubbleLength", false, 100, 0, 1000},
}};

// The routines are registered in the order of their names.
constexpr std::array<Setting, kSettingCount> kRoutineOrder = {
    kConfigured,  kControlHand, kControlMode,       kShowFlyovers,      kShowHotspots,
    kShowPointer, kShowTips,    kSpeechBubbleSpeed, kShowSpeechBubbles,
};

// --- Unlocked names -------------------------------------------------------------

enum UnlockList : size_t { kAchievements, kCollectibles, kSpecialFeatures, kUnlockListCount };

struct UnlockListInfo {
  const char* section;  // "Count" and the entries entry + 1 .. entry + Count
  const char* entry;
  const char* routine;  // the routines are this + "Locked" and "Unlock"
};

constexpr std::array<UnlockListInfo, kUnlockListCount> kUnlockLists = {{
    {"Achievements", "Achievement", "AppAchievement"},
    {"Collectibles", "Collectible", "AppCollectible"},
    {"Special Features", "SpecialFeature", "AppSpecialFeature"},
}};

// --- The options screens' sample sounds -------------------------------------------

constexpr std::array<uint8_t, 2> kTestSoundKinds = {kAudioKindSound, kAudioKindVoice};

constexpr std::array<int32_t, kSettingCount> Defaults() {
  std::array<int32_t, kSettingCount> values{};
  for (size_t i = 0; i < kSettingCount; ++i) {
    values[i] = kSettings[i].byDefault;
  }
  return values;
}

struct ConfigState {
  std::array<int32_t, kSettingCount> values = Defaults();
  std::array<std::vector<std::string>, kUnlockListCount> unlocked;
  std::array<int32_t, kTestSoundKinds.size()> testSounds{-1, -1};
};

ConfigState config;

int32_t Held(Setting setting, int32_t value) {
  return std::clamp(value, kSettings[setting].low, kSettings[setting].high);
}

int32_t ReadSetting(const SettingInfo& info) {
  if (info.boolean) {
    return IniReadBool(info.section, info.key, info.byDefault != 0) ? 1 : 0;
  }
  return IniReadInt(info.section, info.key, info.byDefault);
}

void WriteSetting(const SettingInfo& info, int32_t value) {
  if (info.boolean) {
    IniWriteBool(info.section, info.key, value != 0);
  } else {
    IniWriteInt(info.section, info.key, value);
  }
}

// n when the key is the entry name + n (n from 1, in decimal without leading
// zeros, the name in any letter case); 0 for other keys.
int32_t EntryNumber(const std::string& key, const std::string& entry) {
  if (key.size() <= entry.size() || key[entry.size()] < '1' || key[entry.size()] > '9' ||
      !std::equal(entry.begin(), entry.end(), key.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      })) {
    return 0;
  }
  int32_t n = 0;
  const char* end = key.data() + key.size();
  const auto result = std::from_chars(key.data() + entry.size(), end, n);
  return result.ec == std::errc() && result.ptr == end ? n : 0;
}

// The non-empty entries Count down to 1, as reading each entry key from Count
// down would give them, but looking only at the keys the section holds: a
// Count of two billion costs no more than the section's own lines.
std::vector<std::string> ReadUnlockList(const UnlockListInfo& info) {
  const int32_t count = IniReadInt(info.section, "Count", 0);
  std::vector<std::pair<int32_t, std::string>> entries;
  for (IniKey& key : IniReadSectionKeys(info.section)) {
    const int32_t n = EntryNumber(key.name, info.entry);
    if (n >= 1 && n <= count && !key.value.empty()) {
      entries.emplace_back(n, std::move(key.value));
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (auto& entry : entries) {
    names.push_back(std::move(entry.second));
  }
  return names;
}

// Count, then the entries 1 .. Count in list order, in one pass over the file
// however long the list. Entries beyond the new Count that the file held stay
// in it; reading stops at Count.
void WriteUnlockList(const UnlockListInfo& info, const std::vector<std::string>& names) {
  std::vector<IniKey> keys;
  keys.reserve(names.size() + 1);
  keys.push_back({"Count", std::to_string(names.size())});
  for (size_t i = 0; i < names.size(); ++i) {
    keys.push_back({info.entry + std::to_string(i + 1), names[i]});
  }
  IniWriteSectionKeys(info.section, keys);
}

// The primary display's mode as an entry of its monitor's list; zeros when
// none matches, which makes the next start use the desktop mode.
void WriteVideo() {
  const int32_t display = GamePrimaryDisplay();
  const GraphicsMode mode = GraphicsDisplayGetMode(display, GraphicsDisplayGetModeIndex(display));
  IniWriteInt("Video", "Width", mode.width);
  IniWriteInt("Video", "Height", mode.height);
  IniWriteInt("Video", "BPP", mode.bitsPerPixel);
  IniWriteBool("Video", "Fullscreen", GraphicsIsFullscreen());
}

bool Unlocked(UnlockList list, const std::string& name) {
  const std::vector<std::string>& names = config.unlocked[list];
  return std::find(names.begin(), names.end(), name) != names.end();
}

// --- Routines ----------------------------------------------------------------------

void RegisterSettingRoutines(Setting setting) {
  const std::string name = std::string("AppConfig") + kSettings[setting].routine;
  ScriptAppRoutineRegister(name + "Get", [setting](int32_t script, int32_t thread) {
    const int32_t value = config.values[setting];
    if (kSettings[setting].boolean) {
      ScriptParamSetBool(script, thread, 1, value != 0);
    } else {
      ScriptParamSetInt(script, thread, 1, value);
    }
    return 1;
  });
  ScriptAppRoutineRegister(name + "Set", [setting](int32_t script, int32_t thread) {
    config.values[setting] = kSettings[setting].boolean
                                 ? (ScriptParamGetBool(script, thread, 1) ? 1 : 0)
                                 : Held(setting, ScriptParamGetInt(script, thread, 1));
    // The first-run screen's result must survive a crash or a killed process.
    if (setting == kConfigured) {
      GameConfigWrite();
    }
    return 1;
  });
}

// The test sound is opened, and its file name read, on the first play only.
int32_t AudioPlayRoutine(int32_t script, int32_t thread) {
  const int32_t which = ScriptParamGetInt(script, thread, 1);
  if (which < 1 || which > static_cast<int32_t>(kTestSoundKinds.size())) {
    return 1;
  }
  int32_t& sound = config.testSounds[static_cast<size_t>(which - 1)];
  if (sound == -1) {
    sound = AudioOpen(ScriptParamGetString(script, thread, 2),
                      kTestSoundKinds[static_cast<size_t>(which - 1)], 1, 0);
  }
  AudioPlay(sound);
  return 1;
}

int32_t AudioStopRoutine(int32_t script, int32_t thread) {
  const int32_t which = ScriptParamGetInt(script, thread, 1);
  if (which >= 1 && which <= static_cast<int32_t>(kTestSoundKinds.size())) {
    AudioStop(config.testSounds[static_cast<size_t>(which - 1)]);
  }
  return 1;
}

void RegisterUnlockRoutines(UnlockList list) {
  const std::string name = kUnlockLists[list].routine;
  ScriptAppRoutineRegister(name + "Locked", [list](int32_t script, int32_t thread) {
    ScriptParamSetBool(script, thread, 2, !Unlocked(list, ScriptParamGetString(script, thread, 1)));
    return 1;
  });
  // The lists hold non-empty names only: an empty entry would not read back.
  ScriptAppRoutineRegister(name + "Unlock", [list](int32_t script, int32_t thread) {
    std::string unlocked = ScriptParamGetString(script, thread, 1);
    if (!unlocked.empty() && !Unlocked(list, unlocked)) {
      config.unlocked[list].push_back(std::move(unlocked));
    }
    return 1;
  });
}

}  // namespace

// --- Reading and writing --------------------------------------------------------------

void GameConfigReset() {
  config = ConfigState{};
}

void GameConfigSoundsClose() {
  for (int32_t& sound : config.testSounds) {
    AudioClose(sound);
  }
}

void GameConfigRead() {
  GameConfigReset();
  for (size_t i = 0; i < kSettingCount; ++i) {
    const Setting setting = static_cast<Setting>(i);
    config.values[i] = Held(setting, ReadSetting(kSettings[i]));
  }
  for (size_t i = 0; i < kUnlockListCount; ++i) {
    config.unlocked[i] = ReadUnlockList(kUnlockLists[i]);
  }
}

void GameConfigWrite() {
  IniBatchBegin();
  WriteVideo();
  for (size_t i = 0; i < kSettingCount; ++i) {
    WriteSetting(kSettings[i], config.values[i]);
  }
  for (size_t i = 0; i < kUnlockListCount; ++i) {
    WriteUnlockList(kUnlockLists[i], config.unlocked[i]);
  }
  IniBatchEnd();
}

bool GameConfigured() {
  return config.values[kConfigured] != 0;
}

bool GameConfigShowSpeechBubbles() {
  return config.values[kShowSpeechBubbles] != 0;
}

int32_t GameConfigSpeechBubbleSpeed() {
  return config.values[kSpeechBubbleSpeed];
}

// --- Routines -----------------------------------------------------------------------

void GameRegisterConfigRoutines() {
  for (const Setting setting : kRoutineOrder) {
    RegisterSettingRoutines(setting);
  }
  ScriptAppRoutineRegister("AppConfigAudioPlay", AudioPlayRoutine);
  ScriptAppRoutineRegister("AppConfigAudioStop", AudioStopRoutine);
  for (size_t i = 0; i < kUnlockListCount; ++i) {
    RegisterUnlockRoutines(static_cast<UnlockList>(i));
  }
}
