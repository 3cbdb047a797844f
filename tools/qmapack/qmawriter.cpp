// Archive writer: sizes and offsets are worked out first, so the directory is
// written in one pass ahead of the data.
#include "tools/qmapack/qmawriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

constexpr int32_t kHeaderSize = 11;
constexpr int32_t kFixedPartLength = 10;
constexpr int32_t kHighestPatch = 999999;

void PutU16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
}

// The size of each entry's data; false with a message when a source file
// cannot be measured.
bool MeasureEntries(const QmaWriter& writer, std::vector<int64_t>& sizes, std::string& error) {
  for (const QmaWriterEntry& entry : writer.entries) {
    if (entry.sourcePath.empty()) {
      sizes.push_back(static_cast<int64_t>(entry.data.size()));
      continue;
    }
    std::error_code code;
    const auto size = std::filesystem::file_size(entry.sourcePath, code);
    if (code) {
      error = entry.sourcePath + ": " + code.message();
      return false;
    }
    sizes.push_back(static_cast<int64_t>(size));
  }
  return true;
}

// Header and directory; false when names or sizes do not fit the format,
// whose offsets are read back as signed 32-bit positions.
bool BuildDirectory(const QmaWriter& writer, const std::vector<int64_t>& sizes, std::string& out,
                    std::string& error) {
  const std::string prefix = QmaWriterPatchPrefix(writer.patch);
  int64_t offset = kHeaderSize;
  for (const QmaWriterEntry& entry : writer.entries) {
    offset += 1 + kFixedPartLength + writer.extraBytes + prefix.size() + entry.name.size();
  }
  out = "QMARC";
  PutU16(out, writer.version);
  PutU32(out, static_cast<uint32_t>(writer.entries.size()));
  for (size_t index = 0; index < writer.entries.size(); ++index) {
    const std::string name = prefix + writer.entries[index].name;
    if (name.empty() || name.size() > std::numeric_limits<uint16_t>::max()) {
      error = "entry " + std::to_string(index + 1) + ": name must be 1 to 65535 bytes long";
      return false;
    }
    if (offset + sizes[index] > std::numeric_limits<int32_t>::max()) {
      error = "\"" + name + "\" would lie past 2 GiB";
      return false;
    }
    out += static_cast<char>(kFixedPartLength + writer.extraBytes);
    PutU32(out, static_cast<uint32_t>(offset));
    PutU32(out, static_cast<uint32_t>(sizes[index]));
    PutU16(out, static_cast<uint16_t>(name.size()));
    out.append(writer.extraBytes, '\0');
    out += name;
    offset += sizes[index];
  }
  return true;
}

// Copies a source file of the measured size into the archive.
bool CopyFile(const std::string& source, int64_t size, std::ofstream& out, std::string& error) {
  std::ifstream in(source, std::ios::binary);
  std::vector<char> piece(1 << 16);
  int64_t left = size;
  while (in && left > 0) {
    in.read(piece.data(), std::min<int64_t>(left, static_cast<int64_t>(piece.size())));
    out.write(piece.data(), in.gcount());
    left -= in.gcount();
  }
  if (left != 0 || in.peek() != std::char_traits<char>::eof()) {
    error = source + ": changed or unreadable while packing";
    return false;
  }
  return true;
}

bool WriteArchive(const QmaWriter& writer, const std::vector<int64_t>& sizes,
                  const std::string& directory, const std::string& path, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = path + ": cannot create the file";
    return false;
  }
  out.write(directory.data(), static_cast<std::streamsize>(directory.size()));
  for (size_t index = 0; index < writer.entries.size(); ++index) {
    const QmaWriterEntry& entry = writer.entries[index];
    if (entry.sourcePath.empty()) {
      out.write(entry.data.data(), static_cast<std::streamsize>(entry.data.size()));
    } else if (!CopyFile(entry.sourcePath, sizes[index], out, error)) {
      return false;
    }
  }
  out.close();
  if (!out) {
    error = path + ": write failed";
    return false;
  }
  return true;
}

}  // namespace

void QmaWriterAddMemory(QmaWriter& writer, const std::string& name, const std::string& data) {
  writer.entries.push_back(QmaWriterEntry{name, data, {}});
}

void QmaWriterAddFile(QmaWriter& writer, const std::string& name, const std::string& path) {
  writer.entries.push_back(QmaWriterEntry{name, {}, path});
}

bool QmaWriterSave(const QmaWriter& writer, const std::string& path, std::string& error) {
  if (writer.patch < 0 || writer.patch > kHighestPatch) {
    error = path + ": patch number must be 1 to 999999";
    return false;
  }
  std::vector<int64_t> sizes;
  std::string directory;
  if (!MeasureEntries(writer, sizes, error)) {
    return false;
  }
  if (!BuildDirectory(writer, sizes, directory, error)) {
    error = path + ": " + error;
    return false;
  }
  if (!WriteArchive(writer, sizes, directory, path, error)) {
    std::remove(path.c_str());
    return false;
  }
  return true;
}

std::string QmaWriterPatchPrefix(int32_t patch) {
  if (patch <= 0) {
    return {};
  }
  char digits[16];
  std::snprintf(digits, sizeof digits, "%06d", patch);
  return "PATCH" + std::string(digits) + "\\";
}
