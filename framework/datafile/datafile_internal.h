// Pieces shared by the files of the data-file module; not part of its API.
// They hold no state: the module's tables live in datafile.cpp.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace datafile_internal {

// --- Disk files (names go through PlatformDiskPath) -------------------------
// Opens an existing regular file for reading; -1 on failure.
int DiskOpenRead(const std::string& name);
// Creates or truncates a file for writing; -1 on failure.
int DiskCreate(const std::string& name);
// The same for a path that is already a disk path (no case matching).
int DiskCreateExact(const std::string& path);
// Flushes a written temporary file to the disk, closes it and renames it over
// the target. fd is closed either way; false when any step fails.
bool DiskReplace(int& fd, const std::string& temporary, const std::string& target);
void DiskRemove(const std::string& path);
void DiskClose(int& fd);
// Reads at the file's position; the bytes read, 0 at the end or on an error.
int32_t DiskRead(int fd, uint8_t* buffer, int32_t count);
// Reads at an absolute offset without moving the file's position.
int32_t DiskReadAt(int fd, int64_t offset, uint8_t* buffer, int32_t count);
bool DiskWriteAll(int fd, const uint8_t* buffer, int32_t count);
bool DiskSeek(int fd, int32_t position);
int64_t DiskTell(int fd);  // -1 on error
int64_t DiskSize(int fd);  // -1 on error
bool DiskAtEnd(int fd);    // the position is at or past the size
// Clamps a 64-bit file figure into the module's 32-bit positions and sizes.
int32_t ClampToInt32(int64_t value);

// --- Read-ahead buffer --------------------------------------------------------
constexpr int32_t kBufferSize = 4096;
// The buffer is refilled whenever fewer bytes than this are waiting.
constexpr int32_t kRefillBelow = 2048;

// The waiting bytes are bytes[begin, end). Consumed bytes are dropped by
// moving the rest to the front only when the buffer is refilled, which
// delivers the same bytes as moving them after every read.
struct ReadAhead {
  std::array<uint8_t, kBufferSize> bytes;
  int32_t begin = 0;
  int32_t end = 0;

  int32_t Fill() const { return end - begin; }
  void Clear() { begin = end = 0; }
};

// Delivers up to count bytes through the buffer. fetch(destination, wanted)
// reads up to wanted bytes from the file's next place and returns how many
// arrived (0 at the end or on a failure). Reading stops when the buffer is
// empty and nothing more arrives. A request of at least a whole buffer that
// finds the buffer empty goes straight into the caller's memory: the bytes,
// positions and end-of-file results are the same, without the extra copy.
template <typename Fetch>
int32_t BufferedRead(ReadAhead& buffer, uint8_t* destination, int32_t count, Fetch&& fetch) {
  int32_t delivered = 0;
  while (delivered < count) {
    const int32_t wanted = count - delivered;
    if (buffer.Fill() < kRefillBelow) {
      if (buffer.Fill() == 0 && wanted >= kBufferSize) {
        const int32_t arrived = fetch(destination + delivered, wanted);
        if (arrived <= 0) {
          break;
        }
        delivered += arrived;
        continue;
      }
      const int32_t waiting = buffer.Fill();
      std::memmove(buffer.bytes.data(), buffer.bytes.data() + buffer.begin, waiting);
      buffer.begin = 0;
      buffer.end =
          waiting + std::max(0, fetch(buffer.bytes.data() + waiting, kBufferSize - waiting));
      if (buffer.Fill() == 0) {
        break;
      }
    }
    const int32_t taken = std::min(buffer.Fill(), wanted);
    std::memcpy(destination + delivered, buffer.bytes.data() + buffer.begin, taken);
    buffer.begin += taken;
    delivered += taken;
  }
  return delivered;
}

// --- Names ------------------------------------------------------------------
// Absolute: at least 2 characters with ':' anywhere, or starting with "\\",
// "//" or (on this system) '/'.
bool IsAbsoluteName(const std::string& name);
// Archive entry names compare upper-cased with '/' read as '\'.
std::string ArchiveKey(const std::string& name);
// "PATCH" + six characters forming a number above 0 + '\' or '/' at the
// start of an (upper-cased) entry name; gives "PATCHnnnnnn" or empty.
std::string PatchSetOfEntry(const std::string& upperName);
// A folder or file of the program folder named "Patch" + six digits above 0
// (the caller has matched "Patch*"); gives "PATCHnnnnnn" or empty.
std::string PatchSetOfFolder(const std::string& name);

}  // namespace datafile_internal
