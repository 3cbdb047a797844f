// Disk files of the data-file module over POSIX descriptors, and the name
// rules shared by its files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "framework/datafile/datafile_internal.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace datafile_internal {

// --- Disk files ---------------------------------------------------------------

int DiskOpenRead(const std::string& name) {
  const int fd = open(PlatformDiskPath(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  // A folder opens for reading here but is not a file.
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

int DiskCreate(const std::string& name) {
  return DiskCreateExact(PlatformDiskPath(name));
}

int DiskCreateExact(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool DiskReplace(int& fd, const std::string& temporary, const std::string& target) {
  const bool flushed = fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  fd = -1;
  return flushed && closed && rename(temporary.c_str(), target.c_str()) == 0;
}

void DiskRemove(const std::string& path) {
  unlink(path.c_str());
}

void DiskClose(int& fd) {
  if (fd >= 0) {
    close(fd);
    fd = -1;
  }
}

int32_t DiskRead(int fd, uint8_t* buffer, int32_t count) {
  for (;;) {
    const ssize_t n = read(fd, buffer, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    return n < 0 ? 0 : static_cast<int32_t>(n);
  }
}

int32_t DiskReadAt(int fd, int64_t offset, uint8_t* buffer, int32_t count) {
  for (;;) {
    const ssize_t n = pread(fd, buffer, static_cast<size_t>(count), offset);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    return n < 0 ? 0 : static_cast<int32_t>(n);
  }
}

bool DiskWriteAll(int fd, const uint8_t* buffer, int32_t count) {
  int32_t written = 0;
  while (written < count) {
    const ssize_t n = write(fd, buffer + written, static_cast<size_t>(count - written));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    written += static_cast<int32_t>(n);
  }
  return true;
}

bool DiskSeek(int fd, int32_t position) {
  return position >= 0 && lseek(fd, position, SEEK_SET) == position;
}

int64_t DiskTell(int fd) {
  return lseek(fd, 0, SEEK_CUR);
}

int64_t DiskSize(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 ? info.st_size : -1;
}

bool DiskAtEnd(int fd) {
  const int64_t position = DiskTell(fd);
  const int64_t size = DiskSize(fd);
  return position < 0 || size < 0 || position >= size;
}

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// --- Names ------------------------------------------------------------------

bool IsAbsoluteName(const std::string& name) {
  return (name.size() >= 2 && name.find(':') != std::string::npos) || name.starts_with("\\\\") ||
         name.starts_with("//") || name.starts_with('/');
}

std::string ArchiveKey(const std::string& name) {
  std::string key = UtilitiesUpperCase(name);
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

namespace {

// "PATCH" followed by six characters that form a number above 0.
bool IsPatchSetName(const std::string& upperName) {
  return upperName.size() >= 11 && upperName.starts_with("PATCH") &&
         UtilitiesIsPositiveIntegerText(upperName.substr(5, 6));
}

}  // namespace

std::string PatchSetOfEntry(const std::string& upperName) {
  if (upperName.size() < 12 || (upperName[11] != '\\' && upperName[11] != '/') ||
      !IsPatchSetName(upperName)) {
    return {};
  }
  return upperName.substr(0, 11);
}

std::string PatchSetOfFolder(const std::string& name) {
  const std::string upperName = UtilitiesUpperCase(name);
  return upperName.size() == 11 && IsPatchSetName(upperName) ? upperName : std::string();
}

}  // namespace datafile_internal
