#include "framework/log/log.h"

#include <cstdio>
#include <ctime>

#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

struct LogState {
  bool started = false;  // lines logged before the start go nowhere
  std::string folder;
  std::string fileName = "results.log";
  std::string startStamp;
  bool headerWritten = false;
  bool versionsHeading = false;
  bool trace = false;
  std::string indent;
};

LogState state;

std::string LogPath() {
  return PlatformDiskPath(state.folder + state.fileName);
}

// Short date and long time of now, in the user's locale formats.
std::string StartStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[64] = {};
  char time[64] = {};
  std::strftime(date, sizeof date, "%x", &local);
  std::strftime(time, sizeof time, "%X", &local);
  return std::string(date) + " at " + time;
}

void WriteLines(std::FILE* file, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fwrite("\r\n", 1, 2, file);
  }
}

void WriteHeader() {
  state.headerWritten = true;
  std::FILE* file = std::fopen(LogPath().c_str(), "wb");
  if (file == nullptr) {
    return;
  }
  std::vector<std::string> lines = {
      "Application \"" + PlatformProgramPath() + "\" started on " + state.startStamp,
      "Parameters:"};
  const auto& parameters = PlatformParameters();
  if (parameters.empty()) {
    lines.emplace_back("    (None)");
  }
  for (const std::string& parameter : parameters) {
    lines.push_back("    " + parameter);
  }
  WriteLines(file, lines);
  std::fclose(file);
}

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void LogStart() {
  state = LogState{};
  state.started = true;
  LogSetFolder(UtilitiesUserDataFolder());
  PlatformDeleteFile(state.folder + state.fileName);
  state.startStamp = StartStamp();
  if (UtilitiesSwitchPresent("-startinfo")) {
    WriteHeader();
  }
  state.trace = UtilitiesSwitchPresent("-trace");
  LogVersion("qmrLog - Version 1.0");
}

void LogStop() {
  state = LogState{};
}

// --- Lines ----------------------------------------------------------------------

void LogMessage(const std::string& line) {
  if (!state.started) {
    return;
  }
  if (!state.headerWritten) {
    WriteHeader();
  }
  std::FILE* file = std::fopen(LogPath().c_str(), "ab");
  if (file == nullptr) {
    return;
  }
  WriteLines(file, {state.indent + line});
  std::fclose(file);
}

void LogError(const std::string& message) {
  LogMessage("Error: " + message);
}

void LogTrace(const std::string& line) {
  if (state.trace) {
    LogMessage(line);
  }
}

void LogTraceBegin(const std::string& prefix) {
  if (state.trace) {
    LogMessage(prefix + "Begin");
    state.indent += "  ";
  }
}

void LogTraceEnd(const std::string& prefix) {
  if (!state.trace) {
    return;
  }
  if (state.indent.size() < 3) {
    state.indent.clear();
  } else {
    state.indent.resize(state.indent.size() - 2);
  }
  LogMessage(prefix + "End");
}

void LogVersion(const std::string& line) {
  if (!UtilitiesSwitchPresent("-ver")) {
    return;
  }
  if (!state.versionsHeading) {
    state.versionsHeading = true;
    LogMessage("Framework Versions:");
  }
  LogMessage("    " + line);
}

// --- File and folder --------------------------------------------------------------

std::string LogGetFileName() {
  return state.fileName;
}

void LogSetFileName(const std::string& name) {
  state.fileName = name;
}

void LogSetFolder(const std::string& folder) {
  state.folder = UtilitiesFolderWithSlash(folder);
}

// --- Platform errors ------------------------------------------------------------------

std::string LogWindowsErrorText() {
  const std::string text = PlatformLastErrorText();
  if (!text.empty()) {
    return text;
  }
  return "Unrecognized windows error code: " + std::to_string(PlatformLastErrorCode());
}
