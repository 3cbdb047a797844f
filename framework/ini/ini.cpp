#include "framework/ini/ini.h"

#include "framework/ini/ini_text.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

struct IniState {
  std::string folder;
  std::string fileName;
};

IniState state;

std::string FileText(const std::string& path) {
  std::string text;
  return PlatformReadFile(path, text) ? text : std::string();
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

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void IniStart() {
  LogVersion("qmrIni - Version 1.0");
  state.folder = UtilitiesFolderWithSlash(UtilitiesUserDataFolder());
  state.fileName = "settings.ini";
}

void IniStop() {
  state = IniState{};
}

// --- Paths --------------------------------------------------------------------

std::string IniWritePath() {
  return state.folder + state.fileName;
}

std::string IniReadPath() {
  const std::string user = IniWritePath();
  if (PlatformFileExists(user)) {
    return user;
  }
  const std::string program = UtilitiesProgramFolder() + state.fileName;
  return PlatformFileExists(program) ? program : user;
}

// --- Reads ----------------------------------------------------------------------

std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
  return IniTextFind(FileText(IniReadPath()), section, key).value_or(defaultValue);
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
  const std::string path = IniWritePath();
  const std::string text = IniTextSet(FileText(path), section, key, OneLine(value));
  if (!PlatformWriteFileAtomic(path, text)) {
    LogError("IniWriteString - Unable to write to " + path);
    return false;
  }
  return true;
}

bool IniWriteBool(const std::string& section, const std::string& key, bool value) {
  return IniWriteString(section, key, value ? "Yes" : "No");
}

bool IniWriteInt(const std::string& section, const std::string& key, int32_t value) {
  return IniWriteString(section, key, std::to_string(value));
}
