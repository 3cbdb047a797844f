#include "framework/utilities/utilities.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "framework/log/log.h"
#include "platform/platform.h"
#include "platform/product.h"

namespace {

// The content folder, found once per program path (tests pose as programs
// in several folders).
struct ContentFolder {
  std::string programPath;
  std::string folder;
};
ContentFolder contentFolder;

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Appends a folder name and creates it when missing; empty when it cannot
// be made.
std::string EnsureSubfolder(const std::string& parent, const std::string& name) {
  const std::string folder = parent + name + "/";
  if (!PlatformFolderExists(folder) && !PlatformCreateFolder(folder)) {
    return {};
  }
  return folder;
}

// True when the folder holds the game's content: a "Bin" folder or an archive.
bool HoldsContent(const std::string& folder) {
  return PlatformFolderExists(folder + "Bin") || !PlatformListFolder(folder, "*.qma").empty();
}

// The shared data folder of an installation, from the binary's folder
// ("<prefix>/bin/" gives "<prefix>/share/<program name>/"); empty when the
// binary's folder has no parent.
std::string InstalledDataFolder(const std::string& binaryFolder) {
  const size_t end = binaryFolder.find_last_not_of("/\\");
  const size_t slash = end == std::string::npos ? end : binaryFolder.find_last_of("/\\", end);
  if (slash == std::string::npos) {
    return {};
  }
  return binaryFolder.substr(0, slash + 1) + "share/" + QMR_EXECUTABLE_NAME + "/";
}

}  // namespace

// --- Module lifecycle ---------------------------------------------------------

void UtilitiesStart() {
  LogVersion("qmrUtilities - Version 1.0");
}

void UtilitiesStop() {
  contentFolder = {};
}

// --- Folders -----------------------------------------------------------------

std::string UtilitiesFolderWithSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') {
    return folder;
  }
  return folder + "\\";
}

std::string UtilitiesProgramFolder() {
  const std::string path = PlatformProgramPath();
  if (!contentFolder.folder.empty() && contentFolder.programPath == path) {
    return contentFolder.folder;
  }
  const size_t slash = path.find_last_of("/\\");
  const std::string binaryFolder =
      slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string installed = InstalledDataFolder(binaryFolder);
  const bool useInstalled = !binaryFolder.empty() && !HoldsContent(binaryFolder) &&
                            !installed.empty() && HoldsContent(installed);
  contentFolder = {path, useInstalled ? installed : binaryFolder};
  return contentFolder.folder;
}

std::string UtilitiesUserDataFolder() {
  const std::string programFolder = UtilitiesProgramFolder();
  if (UtilitiesSwitchPresent("-userdatainapp")) {
    return programFolder;
  }
  std::string path = PlatformLocalAppDataFolder();
  if (path.empty() || !PlatformFolderExists(path)) {
    return programFolder;
  }
  path = UtilitiesFolderWithSlash(path);
  const std::string company = UtilitiesVersionString("CompanyName");
  if (!company.empty()) {
    path = EnsureSubfolder(path, company);
    if (path.empty()) {
      return programFolder;
    }
  }
  const std::string product = UtilitiesVersionString("ProductName");
  if (product.empty()) {
    return programFolder;
  }
  path = EnsureSubfolder(path, product);
  return path.empty() ? programFolder : path;
}

std::string UtilitiesPicturesFolder() {
  return UtilitiesFolderWithSlash(PlatformPicturesFolder());
}

// --- Product strings ----------------------------------------------------------

std::string UtilitiesVersionString(const std::string& name) {
  return PlatformVersionValue(name);
}

// --- Command-line switches ----------------------------------------------------

bool UtilitiesSwitchPresent(const std::string& name) {
  const auto& parameters = PlatformParameters();
  return std::any_of(parameters.begin(), parameters.end(),
                     [&](const std::string& p) { return EqualIgnoringAsciiCase(p, name); });
}

int32_t UtilitiesSwitchValue(const std::string& name, int32_t defaultValue) {
  const auto& parameters = PlatformParameters();
  for (size_t i = 0; i + 1 < parameters.size(); ++i) {
    int32_t value = 0;
    if (EqualIgnoringAsciiCase(parameters[i], name) &&
        UtilitiesParseInteger(parameters[i + 1], value)) {
      return value;
    }
  }
  return defaultValue;
}

// --- Text ---------------------------------------------------------------------

bool UtilitiesIsIntegerText(std::string_view text) {
  const size_t digits = text.starts_with('-') ? 1 : 0;
  if (text.size() <= digits) {
    return false;
  }
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool UtilitiesParseInteger(const std::string& text, int32_t& value) {
  if (!UtilitiesIsIntegerText(text)) {
    return false;
  }
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool UtilitiesIsPositiveIntegerText(const std::string& text) {
  int32_t value = 0;
  if (UtilitiesParseInteger(text, value)) {
    return value > 0;
  }
  // Integer text too long for 32 bits is still positive unless signed.
  return UtilitiesIsIntegerText(text) && !text.starts_with('-') &&
         text.find_first_not_of('0') != std::string::npos;
}

std::string UtilitiesMonthName(int month) {
  static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return month >= 1 && month <= 12 ? names[month - 1] : "";
}

std::string UtilitiesPadLeft(const std::string& text, char pad, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), pad) + text;
}

std::string UtilitiesUpperCase(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

std::string UtilitiesUpperExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t separator = fileName.find_last_of("\\/");
  if (dot == std::string::npos || (separator != std::string::npos && separator > dot)) {
    return {};
  }
  return UtilitiesUpperCase(fileName.substr(dot));
}

// --- Numbers ------------------------------------------------------------------

int32_t UtilitiesClamp(int32_t value, int32_t bound1, int32_t bound2) {
  return std::clamp(value, std::min(bound1, bound2), std::max(bound1, bound2));
}

uint32_t UtilitiesInterpolate(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
  if (c == e) {
    return a;
  }
  return a + (b - a) * (d - c) / (e - c);
}

uint32_t UtilitiesSwapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

// --- Byte writing -------------------------------------------------------------

void UtilitiesByteWriter::U16(uint32_t value) {
  U8(value);
  U8(value >> 8);
}

void UtilitiesByteWriter::U32(uint32_t value) {
  U16(value & 0xFFFF);
  U16(value >> 16);
}

void UtilitiesByteWriter::F32(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  U32(bits);
}

void UtilitiesByteWriter::Bytes(const void* data, size_t count) {
  bytes.append(static_cast<const char*>(data), count);
}

// --- Lists --------------------------------------------------------------------

bool UtilitiesStringInList(const std::string& text, const std::vector<std::string>& list) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

// A bubble sort that swaps only out-of-order neighbours is stable, so a
// stable sort gives the same order.
void UtilitiesSortStringsAscending(std::vector<std::string>& list) {
  std::stable_sort(list.begin(), list.end());
}

void UtilitiesSortStringsDescending(std::vector<std::string>& list) {
  std::stable_sort(list.begin(), list.end(), std::greater<>());
}

void UtilitiesSortPairsByKey(std::vector<std::pair<int32_t, void*>>& pairs) {
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

// --- Registry -----------------------------------------------------------------

std::string UtilitiesRegistryValueFind(const std::string&, const std::string&) {
  return {};
}
