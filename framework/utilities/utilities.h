// Folders, product strings, command-line switches and small helpers shared by
// several modules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// --- Module lifecycle ---------------------------------------------------
void UtilitiesStart();
void UtilitiesStop();

// --- Folders (all end in '\' or '/') -------------------------------------
// The folder the game's content is read from: the binary's own folder when
// content stands beside it (a "Bin" folder or a "*.qma" archive), else the
// installation's data folder "<prefix>/share/briskforge/" when that holds
// content, else the binary's folder.
std::string UtilitiesProgramFolder();
std::string UtilitiesUserDataFolder();
std::string UtilitiesPicturesFolder();  // empty when there is none
std::string UtilitiesFolderWithSlash(const std::string& folder);

// --- Product strings ------------------------------------------------------
std::string UtilitiesVersionString(const std::string& name);

// --- Command-line switches ------------------------------------------------
bool UtilitiesSwitchPresent(const std::string& name);
int32_t UtilitiesSwitchValue(const std::string& name, int32_t defaultValue);

// --- Text -----------------------------------------------------------------
bool UtilitiesIsIntegerText(std::string_view text);
bool UtilitiesIsPositiveIntegerText(const std::string& text);
// Converts integer text; false when it is not integer text or does not fit.
bool UtilitiesParseInteger(const std::string& text, int32_t& value);
std::string UtilitiesMonthName(int month);
std::string UtilitiesPadLeft(const std::string& text, char pad, size_t width);
std::string UtilitiesUpperCase(const std::string& text);  // ASCII letters only
// The file name's extension with its dot, upper-cased (".TGA"); empty when
// the last part of the name has no dot.
std::string UtilitiesUpperExtension(const std::string& fileName);

// --- Numbers --------------------------------------------------------------
int32_t UtilitiesClamp(int32_t value, int32_t bound1, int32_t bound2);
uint32_t UtilitiesInterpolate(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e);
uint32_t UtilitiesSwapRedBlue(uint32_t colour);

// --- Byte writing ---------------------------------------------------------
// Appends little-endian integers, floats and raw bytes to a byte string, for
// the writers of binary files.
class UtilitiesByteWriter {
 public:
  void U8(uint32_t value) { bytes.push_back(static_cast<char>(value & 0xFF)); }
  void U16(uint32_t value);
  void U32(uint32_t value);
  void F32(float value);
  void Bytes(const void* data, size_t count);
  void Text(const std::string& text) { bytes += text; }
  void Zeros(size_t count) { bytes.append(count, '\0'); }
  std::string bytes;
};

// --- Lists ----------------------------------------------------------------
bool UtilitiesStringInList(const std::string& text, const std::vector<std::string>& list);
void UtilitiesSortStringsAscending(std::vector<std::string>& list);
void UtilitiesSortStringsDescending(std::vector<std::string>& list);
// Stable ascending sort by key.
void UtilitiesSortPairsByKey(std::vector<std::pair<int32_t, void*>>& pairs);

// --- Registry -------------------------------------------------------------
// There is no registry here: the search finds nothing.
std::string UtilitiesRegistryValueFind(const std::string& keyPath, const std::string& valueName);
