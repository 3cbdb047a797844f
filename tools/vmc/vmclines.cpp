// Source line table writer: a header that ties the table to its code, the
// source file names once each, then entries sorted by code offset.
#include "tools/vmc/vmclines.h"
#include "tools/vmc/vmcwriter.h"

#include <algorithm>
#include <limits>
#include <map>

namespace {

constexpr char kMagic[] = "VMCL";

void PutU16(std::string& bytes, uint32_t value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes += static_cast<char>((value >> shift) & 0xFF);
  }
}

// The entries by offset, the last given winning at one offset, without
// entries that only repeat the position of the one before.
std::vector<VmcLineEntry> Normalised(const std::vector<VmcLineEntry>& entries) {
  std::vector<VmcLineEntry> sorted = entries;
  std::stable_sort(sorted.begin(), sorted.end(), [](const VmcLineEntry& a, const VmcLineEntry& b) {
    return a.offset < b.offset;
  });
  std::vector<VmcLineEntry> result;
  for (const VmcLineEntry& entry : sorted) {
    if (!result.empty() && result.back().offset == entry.offset) {
      result.pop_back();
    }
    const bool repeats = !result.empty() && result.back().file == entry.file &&
                         result.back().line == entry.line && result.back().column == entry.column;
    if (!repeats) {
      result.push_back(entry);
    }
  }
  return result;
}

}  // namespace

uint32_t VmcLinesCodeHash(const std::string& code) {
  uint32_t hash = 2166136261u;
  for (char c : code) {
    hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  }
  return hash;
}

bool VmcLinesBytes(const std::string& code, const std::vector<VmcLineEntry>& entries,
                   std::string& bytes, std::string& error) {
  constexpr size_t kMax16 = std::numeric_limits<uint16_t>::max();
  const std::vector<VmcLineEntry> table = Normalised(entries);
  std::vector<std::string> files;
  std::map<std::string, uint32_t> fileIndex;
  for (const VmcLineEntry& entry : table) {
    if (entry.offset > code.size()) {
      error = "line table offset " + std::to_string(entry.offset) + " is past the code";
      return false;
    }
    if (entry.file.size() > kMax16) {
      error = "a source file name is longer than 65535 bytes";
      return false;
    }
    if (fileIndex.emplace(entry.file, static_cast<uint32_t>(files.size())).second) {
      files.push_back(entry.file);
    }
  }
  if (files.size() > kMax16) {
    error = "the line table names more than 65535 source files";
    return false;
  }
  bytes.assign(kMagic, 4);
  PutU32(bytes, kVmcLinesVersion);
  PutU32(bytes, static_cast<uint32_t>(code.size()));
  PutU32(bytes, VmcLinesCodeHash(code));
  PutU16(bytes, static_cast<uint32_t>(files.size()));
  for (const std::string& file : files) {
    PutU16(bytes, static_cast<uint32_t>(file.size()));
    bytes += file;
  }
  PutU32(bytes, static_cast<uint32_t>(table.size()));
  for (const VmcLineEntry& entry : table) {
    PutU32(bytes, entry.offset);
    PutU16(bytes, fileIndex[entry.file]);
    PutU32(bytes, entry.line);
    PutU32(bytes, entry.column);
  }
  return true;
}

bool VmcLinesSave(const std::string& code, const std::vector<VmcLineEntry>& entries,
                  const std::string& scriptPath, std::string& error) {
  const std::string path = scriptPath + ".lines";
  std::string bytes;
  if (!VmcLinesBytes(code, entries, bytes, error)) {
    error = path + ": " + error;
    return false;
  }
  return VmcWriteFile(path, bytes, error);
}
