// The parts of the platform layer that do not depend on the backend: the
// process's command line and program file, the product constants, known
// folders, disk names, file helpers, error texts and the tick clock.
#include <SDL.h>
#include <dirent.h>
#include <glob.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
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
  // A fixed local time: the start and the tick count it was fixed at.
  bool localFixed = false;
  PlatformDateTime localStart{};
  uint32_t localStartTick = 0;
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

PlatformProcessUsage PlatformProcessUsageNow() {
  PlatformProcessUsage usage;
  const struct mallinfo2 heap = mallinfo2();
  usage.heapBytes = static_cast<int64_t>(heap.uordblks + heap.hblkhd);
  // statm: total and resident size in pages.
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0;
  int64_t resident = 0;
  if (statm >> pages >> resident) {
    usage.residentBytes = resident * sysconf(_SC_PAGESIZE);
  }
  if (DIR* folder = opendir("/proc/self/fd")) {
    int32_t entries = 0;
    while (const dirent* entry = readdir(folder)) {
      entries += entry->d_name[0] != '.';
    }
    closedir(folder);
    usage.descriptors = entries - 1;  // not the one reading the folder
  }
  return usage;
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

// --- Local date and time ----------------------------------------------------------

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1 January 1970 back to 30 December 1899.
constexpr int64_t kDaysFrom1899 = 25569;

bool LeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date, and back; the
// calendar arithmetic needs no time zone, so a fixed local time advances the
// same everywhere.
int64_t DaysFromCivil(int32_t year, int32_t month, int32_t day) {
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

PlatformDateTime CivilFromMs(int64_t ms) {
  int64_t days = ms / kMsPerDay;
  int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  PlatformDateTime time;
  time.day = static_cast<int32_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
  time.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  time.year = static_cast<int32_t>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
  time.hour = static_cast<int32_t>(rest / 3600000);
  time.minute = static_cast<int32_t>(rest / 60000 % 60);
  time.second = static_cast<int32_t>(rest / 1000 % 60);
  time.millisecond = static_cast<int32_t>(rest % 1000);
  return time;
}

int64_t MsFromCivil(const PlatformDateTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * kMsPerDay + time.hour * 3600000LL +
         time.minute * 60000LL + time.second * 1000LL + time.millisecond;
}

PlatformDateTime SystemLocalTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return {.year = local.tm_year + 1900,
          .month = local.tm_mon + 1,
          .day = local.tm_mday,
          .hour = local.tm_hour,
          .minute = local.tm_min,
          .second = std::min(local.tm_sec, 59),  // a leap second reads as the one before
          .millisecond = static_cast<int32_t>(ms)};
}

}  // namespace

PlatformDateTime PlatformLocalTime() {
  if (!clockState.localFixed) {
    return SystemLocalTime();
  }
  const uint32_t advance = PlatformTickCount() - clockState.localStartTick;
  return CivilFromMs(MsFromCivil(clockState.localStart) + advance);
}

bool PlatformLocalTimeFix(const PlatformDateTime& start) {
  if (!PlatformDateTimeValid(start)) {
    return false;
  }
  clockState.localFixed = true;
  clockState.localStart = start;
  clockState.localStartTick = PlatformTickCount();
  return true;
}

void PlatformLocalTimeRelease() {
  clockState.localFixed = false;
}

PlatformDateTime PlatformDateTimeFromDays(double days) {
  const double ms = (days - static_cast<double>(kDaysFrom1899)) * static_cast<double>(kMsPerDay);
  return CivilFromMs(std::llround(ms));
}

bool PlatformDateTimeValid(const PlatformDateTime& time) {
  return time.year >= 1 && time.year <= 9999 && time.month >= 1 && time.month <= 12 &&
         time.day >= 1 && time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 &&
         time.hour < 24 && time.minute >= 0 && time.minute < 60 && time.second >= 0 &&
         time.second < 60 && time.millisecond >= 0 && time.millisecond < 1000;
}

double PlatformDateTimeDays(const PlatformDateTime& time) {
  const int64_t days = DaysFromCivil(time.year, time.month, time.day) + kDaysFrom1899;
  const int64_t ms =
      time.hour * 3600000LL + time.minute * 60000LL + time.second * 1000LL + time.millisecond;
  return static_cast<double>(days) + static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}
