#include "framework/ini/ini.h"

#include <functional>
#include <optional>

#include "framework/datafile/datafile.h"
#include "framework/ini/ini_text.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

struct IniState {
  std::string folder;
  std::string fileName;
  int32_t batchDepth = 0;
  // The user's copy as the writes of the open batch leave it, once one wrote.
  std::optional<std::string> pending;
  int32_t pendingWrites = 0;
};

IniState state;

// The text reads come from: the open batch's pending copy, else the file.
std::string ReadText() {
  if (state.pending) {
    return *state.pending;
  }
  std::string text;
  DataFileDirectReadWhole(IniReadPath(), text);
  return text;
}

// The user's copy that a write changes. False when the file exists but cannot
// be read: a write built from nothing would replace every other setting.
bool TextToChange(const std::string& path, std::string& text) {
  if (state.pending) {
    text = *state.pending;
    return true;
  }
  return DataFileDirectReadWhole(path, text) ||
         (!PlatformFileExists(path) && !PlatformFolderExists(path));
}

// Line breaks inside a value would end its line and start new keys; they are
// written as blanks so the file keeps its structure.
std::string OneLine(const std::string& value) {
  std::string line = value;
  for (char& c : line) {
    if (c == '\r' || c == '\n') {
      c = ' ';
    }
  }
  return line;
}

// Writes the batch's values, if any. A failure loses them, so it says how
// many were lost.
bool WritePending() {
  if (!state.pending) {
    return true;
  }
  const std::string path = IniWritePath();
  const bool written = DataFileDirectWriteWhole(path, *state.pending);
  if (!written) {
    LogError("IniBatchEnd - Unable to write to " + path + "; " +
             std::to_string(state.pendingWrites) + " values not saved");
  }
  state.pending.reset();
  state.pendingWrites = 0;
  return written;
}

// Changes the user's copy, or the open batch's copy, by the values given.
bool WriteChange(const char* function, int32_t values,
                 const std::function<std::string(const std::string&)>& change) {
  const std::string path = IniWritePath();
  std::string text;
  if (!TextToChange(path, text)) {
    LogError(std::string(function) + " - Unable to write to " + path);
    return false;
  }
  text = change(text);
  if (state.batchDepth > 0) {
    state.pending = std::move(text);
    state.pendingWrites += values;
    return true;
  }
  if (!DataFileDirectWriteWhole(path, text)) {
    LogError(std::string(function) + " - Unable to write to " + path);
    return false;
  }
  return true;
}

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void IniStart() {
  LogVersion("qmrIni - Version 1.0");
  state.folder = UtilitiesFolderWithSlash(UtilitiesUserDataFolder());
  state.fileName = "settings.ini";
  // A write cut off by a crash or kill leaves its temporary; the settings
  // themselves are whole, the older or the newer copy.
  DataFileDirectRemoveTemporaries(state.folder, state.fileName);
}

void IniStop() {
  WritePending();  // a batch left open still keeps its values
  state = IniState{};
}

// --- Paths --------------------------------------------------------------------

std::string IniWritePath() {
  return state.folder + state.fileName;
}

std::string IniReadPath() {
  const std::string user = IniWritePath();
  if (state.pending || PlatformFileExists(user)) {
    return user;
  }
  const std::string program = UtilitiesProgramFolder() + state.fileName;
  return PlatformFileExists(program) ? program : user;
}

// --- Reads ----------------------------------------------------------------------

std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
  return IniTextFind(ReadText(), section, key).value_or(defaultValue);
}

std::vector<IniKey> IniReadSectionKeys(const std::string& section) {
  return IniTextKeys(ReadText(), section);
}

bool IniReadBool(const std::string& section, const std::string& key, bool defaultValue) {
  const std::string text =
      UtilitiesUpperCase(IniReadString(section, key, defaultValue ? "Yes" : "No"));
  if (text == "YES") {
    return true;
  }
  if (text == "NO") {
    return false;
  }
  return defaultValue;
}

int32_t IniReadInt(const std::string& section, const std::string& key, int32_t defaultValue) {
  int32_t value = 0;
  return UtilitiesParseInteger(IniReadString(section, key, std::to_string(defaultValue)), value)
             ? value
             : defaultValue;
}

// --- Writes ---------------------------------------------------------------------

bool IniWriteString(const std::string& section, const std::string& key, const std::string& value) {
  return WriteChange("IniWriteString", 1, [&](const std::string& text) {
    return IniTextSet(text, section, key, OneLine(value));
  });
}

bool IniWriteSectionKeys(const std::string& section, const std::vector<IniKey>& keys) {
  std::vector<IniKey> lines = keys;
  for (IniKey& key : lines) {
    key.value = OneLine(key.value);
  }
  return WriteChange("IniWriteSectionKeys", static_cast<int32_t>(keys.size()),
                     [&](const std::string& text) { return IniTextSetKeys(text, section, lines); });
}

bool IniWriteBool(const std::string& section, const std::string& key, bool value) {
  return IniWriteString(section, key, value ? "Yes" : "No");
}

bool IniWriteInt(const std::string& section, const std::string& key, int32_t value) {
  return IniWriteString(section, key, std::to_string(value));
}

// --- Batches --------------------------------------------------------------------

void IniBatchBegin() {
  ++state.batchDepth;
}

bool IniBatchEnd() {
  if (state.batchDepth == 0 || --state.batchDepth > 0) {
    return true;
  }
  return WritePending();
}
