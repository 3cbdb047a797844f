// Reading the directory of a ".qma" archive through the direct-file reader.
//
// Layout (little-endian, no padding): "QMARC", version (uint16, at most 511),
// entry count (int32), then per entry: fixed-part length L (uint8), data
// offset (uint32), data size (uint32), name length N (uint16), L - 10 extra
// bytes, N name bytes.
#include <cstring>

#include "framework/datafile/datafile.h"
#include "framework/datafile/datafile_internal.h"

namespace {

constexpr uint16_t kHighestVersion = 511;
constexpr int32_t kFixedPartLength = 10;

// One archive open through the direct-file reader, closed on every path.
class ArchiveReader {
 public:
  explicit ArchiveReader(const std::string& path) : id_(DataFileDirectOpen(path)) {}
  ~ArchiveReader() { DataFileDirectClose(id_); }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  bool IsOpen() const { return id_ != 0; }
  int64_t Remaining() const { return DataFileDirectSize(id_) - int64_t{DataFileDirectTell(id_)}; }
  int32_t Size() const { return DataFileDirectSize(id_); }

  bool Bytes(void* destination, int32_t count) {
    return DataFileDirectRead(id_, destination, count);
  }
  bool U8(uint8_t& value) { return Bytes(&value, 1); }
  bool U16(uint16_t& value) {
    uint8_t b[2];
    if (!Bytes(b, 2)) {
      return false;
    }
    value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool U32(uint32_t& value) {
    uint8_t b[4];
    if (!Bytes(b, 4)) {
      return false;
    }
    value =
        uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
    return true;
  }
  bool Skip(int32_t count) {
    uint8_t dropped[256];
    while (count > 0) {
      const int32_t part = std::min<int32_t>(count, sizeof dropped);
      if (!Bytes(dropped, part)) {
        return false;
      }
      count -= part;
    }
    return true;
  }

 private:
  int32_t id_;
};

bool ReadHeader(ArchiveReader& reader, DataFileArchiveDirectory& directory) {
  char magic[5];
  uint32_t count = 0;
  if (!reader.Bytes(magic, 5) || std::memcmp(magic, "QMARC", 5) != 0 ||
      !reader.U16(directory.version) || directory.version > kHighestVersion || !reader.U32(count)) {
    return false;
  }
  directory.declaredCount = static_cast<int32_t>(count);
  return true;
}

// Reads one entry; false when the directory ends here. A name longer than
// the bytes left cannot be there, so it is never allocated.
bool ReadEntry(ArchiveReader& reader, DataFileArchiveEntry& entry, uint32_t& offset,
               uint32_t& size) {
  uint8_t fixedLength = 0;
  uint16_t nameLength = 0;
  if (!reader.U8(fixedLength) || !reader.U32(offset) || !reader.U32(size) ||
      !reader.U16(nameLength) || !reader.Skip(fixedLength - kFixedPartLength) ||
      nameLength > reader.Remaining()) {
    return false;
  }
  entry.name.resize(nameLength);
  return reader.Bytes(entry.name.data(), nameLength);
}

}  // namespace

bool DataFileArchiveRead(const std::string& path, DataFileArchiveDirectory& directory) {
  directory = DataFileArchiveDirectory();
  ArchiveReader reader(path);
  if (!reader.IsOpen() || !ReadHeader(reader, directory)) {
    return false;
  }
  // Entries are kept inside the file, so that reading one never runs past
  // the archive and its size tells what can really be read.
  const int64_t fileSize = reader.Size();
  bool inside = true;
  DataFileArchiveEntry entry;
  uint32_t offset = 0;
  uint32_t size = 0;
  while (static_cast<int32_t>(directory.entries.size()) < directory.declaredCount &&
         ReadEntry(reader, entry, offset, size)) {
    const int64_t start = std::min<int64_t>(offset, fileSize);
    const int64_t length = std::min<int64_t>(size, fileSize - start);
    inside = inside && start == offset && length == size;
    entry.offset = static_cast<int32_t>(start);
    entry.size = static_cast<int32_t>(length);
    directory.entries.push_back(entry);
  }
  directory.complete =
      inside && static_cast<int32_t>(directory.entries.size()) == directory.declaredCount;
  return true;
}
