// The parts of the platform layer that do not depend on the backend: the
// process's command line and program file, the product constants, known
// folders, disk names, file helpers, error texts and the tick clock.
#include <SDL.h>
#include <dirent.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/product.h"

namespace {

struct ClockState {
  std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
  bool manual = false;
  uint32_t manualValue = 0;
};

std::map<std::string, std::string> BuiltInVersionValues() {
  return {{"CompanyName", QMR_COMPANY_NAME},
          {"ProductName", QMR_PRODUCT_NAME},
          {"FileVersion", QMR_FILE_VERSION},
          {"FileDescription", QMR_APPLICATION_TITLE}};
}

struct ProcessState {
  std::string programPathOverride;
  std::vector<std::string> processParameters;
  std::vector<std::string> parameters;
  std::map<std::string, std::string> versionValues = BuiltInVersionValues();
  std::string errorText;
};

ProcessState process;
ClockState clockState;

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string WithTrailingSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') {
    return folder;
  }
  return folder + "/";
}

std::string HomeFolder() {
  return EnvironmentValue("HOME");
}

bool PathExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

bool CreateFolderTree(const std::string& folder) {
  std::string partial;
  for (size_t i = 0; i < folder.size(); ++i) {
    partial += folder[i];
    if ((folder[i] == '/' || i + 1 == folder.size()) && partial != "/") {
      if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
      }
    }
  }
  return PlatformFolderExists(folder);
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The entry of `folder` whose name equals `name` without regard to ASCII
// case; empty when there is none.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    return {};
  }
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (EqualIgnoringAsciiCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Walks the components of a '/' path, replacing each missing one with an
// entry of its folder that matches without regard to case.
std::string MatchComponentsIgnoringCase(const std::string& path) {
  std::string result = path.starts_with('/') ? "/" : "";
  size_t start = result.size();
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) {
      end = path.size();
    }
    const std::string component = path.substr(start, end - start);
    if (!component.empty()) {
      std::string candidate = result + component;
      if (!PathExists(candidate) && component != "." && component != "..") {
        const std::string match = FindEntryIgnoringCase(result, component);
        if (match.empty()) {
          return path;
        }
        candidate = result + match;
      }
      result = candidate;
    }
    if (end < path.size()) {
      result += '/';
    }
    start = end + 1;
  }
  return result;
}

bool WildcardMatch(const char* pattern, const char* text) {
  for (; *pattern != '\0'; ++pattern, ++text) {
    if (*pattern == '*') {
      for (const char* rest = text;; ++rest) {
        if (WildcardMatch(pattern + 1, rest)) {
          return true;
        }
        if (*rest == '\0') {
          return false;
        }
      }
    }
    if (*text == '\0') {
      return false;
    }
    if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                               std::tolower(static_cast<unsigned char>(*text))) {
      return false;
    }
  }
  return *text == '\0';
}

void SplitInto(const std::string& text, char separator, std::vector<std::string>& out) {
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, separator)) {
    if (!item.empty()) {
      out.push_back(WithTrailingSlash(item));
    }
  }
}

// Folders named by an ld.so.conf file, following its "include" lines.
void ReadLinkerConfig(const std::string& file, std::vector<std::string>& out, int depth) {
  std::ifstream in(file);
  std::string line;
  while (depth < 8 && std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line.starts_with("include")) {
      std::string pattern = line.substr(7);
      pattern.erase(0, pattern.find_first_not_of(" \t"));
      glob_t matches{};
      if (glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
        for (size_t i = 0; i < matches.gl_pathc; ++i) {
          ReadLinkerConfig(matches.gl_pathv[i], out, depth + 1);
        }
      }
      globfree(&matches);
    } else if (!line.empty()) {
      out.push_back(WithTrailingSlash(line));
    }
  }
}

// XDG_PICTURES_DIR from user-dirs.dirs, with $HOME expanded; empty when unset.
std::string XdgPicturesFolder() {
  std::string config = EnvironmentValue("XDG_CONFIG_HOME");
  if (config.empty()) {
    config = HomeFolder() + "/.config";
  }
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_PICTURES_DIR=";
    if (!line.starts_with(key)) {
      continue;
    }
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.starts_with("$HOME")) {
      value = HomeFolder() + value.substr(5);
    }
    return value;
  }
  return {};
}

}  // namespace

// --- Process ---------------------------------------------------------------

void PlatformSetCommandLine(int argc, const char* const* argv) {
  process.processParameters.clear();
  for (int i = 1; i < argc; ++i) {
    process.processParameters.emplace_back(argv[i]);
  }
  process.parameters = process.processParameters;
}

void PlatformSetParameters(const std::vector<std::string>& parameters) {
  process.parameters = parameters;
}

const std::vector<std::string>& PlatformParameters() {
  return process.parameters;
}

std::string PlatformProgramPath() {
  if (!process.programPathOverride.empty()) {
    return process.programPathOverride;
  }
  std::string buffer(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) {
    return {};
  }
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

void PlatformSetProgramPath(const std::string& path) {
  process.programPathOverride = path;
}

bool PlatformSetCurrentFolder(const std::string& folder) {
  return chdir(PlatformDiskPath(folder).c_str()) == 0;
}

std::string PlatformCurrentFolder() {
  std::string buffer(4096, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) {
    return {};
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return WithTrailingSlash(buffer);
}

void PlatformProcessReset() {
  process.programPathOverride.clear();
  process.parameters = process.processParameters;
  process.versionValues = BuiltInVersionValues();
  process.errorText.clear();
}

// --- Product constants -------------------------------------------------------

std::string PlatformVersionValue(const std::string& name) {
  const auto found = process.versionValues.find(name);
  return found == process.versionValues.end() ? std::string() : found->second;
}

void PlatformSetVersionValues(const std::map<std::string, std::string>& values) {
  process.versionValues = values;
}

void PlatformResetVersionValues() {
  process.versionValues = BuiltInVersionValues();
}

// --- Known folders -------------------------------------------------------------

std::string PlatformLocalAppDataFolder() {
  std::string folder = EnvironmentValue("XDG_DATA_HOME");
  // The XDG rule: a relative path is invalid and ignored, never taken as
  // below the working folder.
  if (!folder.starts_with('/')) {
    const std::string home = HomeFolder();
    if (home.empty()) {
      return {};
    }
    folder = home + "/.local/share";
  }
  if (!CreateFolderTree(folder)) {
    return {};
  }
  return WithTrailingSlash(folder);
}

std::string PlatformPicturesFolder() {
  std::string folder = XdgPicturesFolder();
  if (folder.empty() && !HomeFolder().empty()) {
    folder = HomeFolder() + "/Pictures";
  }
  if (folder.empty() || !PlatformFolderExists(folder)) {
    return {};
  }
  return WithTrailingSlash(folder);
}

std::vector<std::string> PlatformLibraryFolders() {
  std::vector<std::string> folders;
  SplitInto(EnvironmentValue("LD_LIBRARY_PATH"), ':', folders);
  ReadLinkerConfig("/etc/ld.so.conf", folders, 0);
  for (const char* standard : {"/lib/", "/usr/lib/", "/lib64/", "/usr/lib64/"}) {
    folders.emplace_back(standard);
  }
  return folders;
}

// --- Disk names ------------------------------------------------------------

std::string PlatformDiskPath(const std::string& name) {
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') {
      c = '/';
    }
  }
  if (path.empty() || PathExists(path)) {
    return path;
  }
  return MatchComponentsIgnoringCase(path);
}

bool PlatformFileExists(const std::string& name) {
  struct stat info;
  return stat(PlatformDiskPath(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PlatformFolderExists(const std::string& name) {
  struct stat info;
  return stat(PlatformDiskPath(name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PlatformCreateFolder(const std::string& name) {
  const std::string path = PlatformDiskPath(name);
  return mkdir(path.c_str(), 0755) == 0 || PlatformFolderExists(path);
}

bool PlatformDeleteFile(const std::string& name) {
  return unlink(PlatformDiskPath(name).c_str()) == 0;
}

std::vector<std::string> PlatformListFolder(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  const std::string path = PlatformDiskPath(folder);
  DIR* dir = opendir(path.empty() ? "." : path.c_str());
  if (dir == nullptr) {
    return names;
  }
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && WildcardMatch(pattern.c_str(), name.c_str())) {
      names.push_back(name);
    }
  }
  closedir(dir);
  return names;
}

// --- Errors ------------------------------------------------------------------

int PlatformLastErrorCode() {
  return errno;
}

std::string PlatformLastErrorText() {
  if (!process.errorText.empty()) {
    return process.errorText;
  }
  const char* sdlText = SDL_GetError();
  if (sdlText != nullptr && sdlText[0] != '\0') {
    return sdlText;
  }
  const int code = errno;
  if (code == 0) {
    return {};
  }
  const std::string text = std::strerror(code);
  // glibc invents "Unknown error N" for codes it has no text for.
  return text.starts_with("Unknown error") ? std::string() : text;
}

void PlatformClearError() {
  errno = 0;
  SDL_ClearError();
  process.errorText.clear();
}

void PlatformSetErrorText(const std::string& text) {
  process.errorText = text;
}

// --- Clock ---------------------------------------------------------------------

void PlatformClockReset() {
  clockState = ClockState{};
  clockState.origin = std::chrono::steady_clock::now();
}

uint32_t PlatformTickCount() {
  if (clockState.manual) {
    return clockState.manualValue;
  }
  const auto elapsed = std::chrono::steady_clock::now() - clockState.origin;
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void PlatformClockSetManual(bool manual) {
  if (manual && !clockState.manual) {
    clockState.manualValue = PlatformTickCount();
  }
  clockState.manual = manual;
}

void PlatformClockSet(uint32_t ms) {
  clockState.manualValue = ms;
}

void PlatformClockAdvance(uint32_t ms) {
  clockState.manualValue += ms;
}

void PlatformSleep(uint32_t ms) {
  if (clockState.manual) {
    clockState.manualValue += ms;
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
