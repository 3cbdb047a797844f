// Content files (patch sets, archives, memory copies, disk), the library
// search and the direct files. All tables of the module live in one state
// struct here; datafile_disk.cpp and datafile_archives.cpp hold none.
#include "framework/datafile/datafile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

#include "framework/datafile/datafile_internal.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

using namespace datafile_internal;

namespace {

struct Archive {
  std::string name;      // upper-cased, without folder; decides the order
  std::string diskName;  // as listed, so that the file opens on any file system
  int32_t openCount = 0;
  int fd = -1;  // open while openCount is above 0
};

struct DirectoryEntry {
  std::string name;  // ArchiveKey of the stored name
  int32_t archive = 0;
  int32_t size = 0;
  int32_t offset = 0;
};

struct MemoryCopy {
  std::string name;  // exactly as resolved, case kept
  std::vector<uint8_t> data;
};

struct ContentFile {
  int32_t id = 0;
  int32_t archive = -1;  // -1: disk file or memory copy
  int32_t position = 0;
  int32_t rawPosition = 0;  // archive offset of the next byte to fetch
  int32_t size = 0;         // archive entry or memory copy; a disk file asks the disk
  int32_t startOffset = 0;
  int32_t copy = -1;  // memory copy index, -1 when none
  int fd = -1;        // disk file
  ReadAhead buffer;
};

struct DirectFile {
  int32_t id = 0;
  int fd = -1;
  ReadAhead buffer;
  // A replacement writes into the temporary, which takes the target's place
  // only when committed; closing it otherwise removes the temporary.
  std::string temporary;
  std::string target;
  bool writeFailed = false;
  // A memory file keeps its bytes here instead of on the disk.
  bool inMemory = false;
  std::string memory;
  size_t memoryPosition = 0;
};

// Records hold their read-ahead buffers, so the tables keep them by pointer:
// removing a record moves pointers, not buffers.
struct State {
  bool logDiskFallback = false;
  std::string programFolder;
  std::vector<Archive> archives;
  std::vector<DirectoryEntry> directory;
  std::unordered_map<std::string, int32_t> firstEntryByName;
  std::vector<std::string> patchSets;  // "PATCHnnnnnn", highest first
  std::vector<MemoryCopy> copies;
  std::vector<std::unique_ptr<ContentFile>> files;
  int32_t nextFileId = 1;
  std::vector<std::unique_ptr<DirectFile>> directFiles;
  int32_t nextDirectId = 1;
};

State state;

// --- Archives and patch sets ------------------------------------------------

void FindArchives() {
  std::vector<std::string> upperNames;
  // Names that differ only in case are different files on this system.
  std::unordered_map<std::string, std::vector<std::string>> diskNames;
  for (const std::string& name : PlatformListFolder(state.programFolder, "*.qma")) {
    upperNames.push_back(UtilitiesUpperCase(name));
    diskNames[upperNames.back()].push_back(name);
  }
  UtilitiesSortStringsAscending(upperNames);
  for (const std::string& name : upperNames) {
    std::vector<std::string>& listed = diskNames[name];
    state.archives.push_back(Archive{name, listed.back()});
    listed.pop_back();
  }
}

void ReadArchiveDirectories() {
  for (size_t index = 0; index < state.archives.size(); ++index) {
    DataFileArchiveDirectory archiveDirectory;
    DataFileArchiveRead(state.programFolder + state.archives[index].diskName, archiveDirectory);
    for (const DataFileArchiveEntry& entry : archiveDirectory.entries) {
      const std::string key = ArchiveKey(entry.name);
      state.firstEntryByName.emplace(key, static_cast<int32_t>(state.directory.size()));
      state.directory.push_back(
          DirectoryEntry{key, static_cast<int32_t>(index), entry.size, entry.offset});
    }
  }
}

void AddPatchSet(const std::string& patchSet) {
  if (!patchSet.empty() && !UtilitiesStringInList(patchSet, state.patchSets)) {
    state.patchSets.push_back(patchSet);
  }
}

void FindPatchSets() {
  for (const std::string& name : PlatformListFolder(state.programFolder, "Patch*")) {
    AddPatchSet(PatchSetOfFolder(name));
  }
  for (const DirectoryEntry& entry : state.directory) {
    AddPatchSet(PatchSetOfEntry(entry.name));
  }
  UtilitiesSortStringsDescending(state.patchSets);
}

// --- Names ------------------------------------------------------------------

const DirectoryEntry* FindEntry(const std::string& name) {
  const auto found = state.firstEntryByName.find(ArchiveKey(name));
  return found == state.firstEntryByName.end() ? nullptr : &state.directory[found->second];
}

std::string DiskName(const std::string& name) {
  return IsAbsoluteName(name) ? name : state.programFolder + name;
}

// The copy in the highest patch set that carries the name, on disk or in
// an archive; the name itself when no patch set does.
std::string ResolveName(const std::string& name) {
  for (const std::string& patchSet : state.patchSets) {
    const std::string patched = patchSet + "\\" + name;
    if (FindEntry(patched) != nullptr || PlatformFileExists(state.programFolder + patched)) {
      return patched;
    }
  }
  return name;
}

int32_t FindCopy(const std::string& name) {
  for (size_t index = 0; index < state.copies.size(); ++index) {
    if (state.copies[index].name == name) {
      return static_cast<int32_t>(index);
    }
  }
  return -1;
}

// --- Content files ------------------------------------------------------------

ContentFile* FindFile(int32_t id) {
  for (const auto& file : state.files) {
    if (file->id == id) {
      return file.get();
    }
  }
  return nullptr;
}

int32_t AddFile(std::unique_ptr<ContentFile> file) {
  file->id = state.nextFileId++;
  state.files.push_back(std::move(file));
  return state.files.back()->id;
}

bool OpenFromArchive(ContentFile& file, const DirectoryEntry& entry) {
  Archive& archive = state.archives[entry.archive];
  if (archive.openCount == 0) {
    archive.fd = DiskOpenRead(state.programFolder + archive.diskName);
    if (archive.fd < 0) {
      return false;
    }
  }
  ++archive.openCount;
  file.archive = entry.archive;
  file.size = entry.size;
  file.startOffset = entry.offset;
  file.rawPosition = entry.offset;
  return true;
}

bool OpenFromDisk(ContentFile& file, const std::string& resolved) {
  const std::string path = DiskName(resolved);
  if (!PlatformFileExists(path)) {
    return false;
  }
  file.fd = DiskOpenRead(path);
  if (file.fd < 0) {
    return false;
  }
  if (state.logDiskFallback) {
    LogMessage("File \"" + resolved + "\" read from disk.");
  }
  return true;
}

// Opens a name that has already been resolved through the patch sets.
int32_t OpenResolved(const std::string& resolved) {
  auto file = std::make_unique<ContentFile>();
  file->copy = FindCopy(resolved);
  if (file->copy >= 0) {
    file->size = static_cast<int32_t>(state.copies[file->copy].data.size());
    return AddFile(std::move(file));
  }
  const DirectoryEntry* entry = FindEntry(resolved);
  if ((entry != nullptr && OpenFromArchive(*file, *entry)) || OpenFromDisk(*file, resolved)) {
    return AddFile(std::move(file));
  }
  return 0;
}

void ReleaseFile(ContentFile& file) {
  if (file.archive >= 0) {
    Archive& archive = state.archives[file.archive];
    if (--archive.openCount == 0) {
      DiskClose(archive.fd);
    }
  }
  DiskClose(file.fd);
}

int32_t ReadFromCopy(ContentFile& file, uint8_t* destination, int32_t count) {
  const std::vector<uint8_t>& data = state.copies[file.copy].data;
  const int64_t left = static_cast<int64_t>(data.size()) - file.position;
  const int32_t delivered = static_cast<int32_t>(std::clamp<int64_t>(left, 0, count));
  if (delivered > 0) {
    std::memcpy(destination, data.data() + file.position, delivered);
  }
  return delivered;
}

int32_t ReadFromArchive(ContentFile& file, uint8_t* destination, int32_t count) {
  const int fd = state.archives[file.archive].fd;
  const int32_t end = file.startOffset + file.size;
  return BufferedRead(file.buffer, destination, count, [&](uint8_t* to, int32_t wanted) {
    const int32_t arrived =
        DiskReadAt(fd, file.rawPosition, to, std::min(wanted, end - file.rawPosition));
    file.rawPosition += arrived;
    return arrived;
  });
}

int32_t ReadFromDisk(ContentFile& file, uint8_t* destination, int32_t count) {
  return BufferedRead(file.buffer, destination, count,
                      [&](uint8_t* to, int32_t wanted) { return DiskRead(file.fd, to, wanted); });
}

// Reads a whole content file in pieces, so that a size the bytes do not
// back never allocates memory.
bool ReadWhole(int32_t id, std::vector<uint8_t>& data) {
  constexpr int32_t kPiece = 1 << 20;
  const int32_t size = DataFileSize(id);
  while (static_cast<int32_t>(data.size()) < size) {
    const size_t done = data.size();
    const int32_t piece = std::min(kPiece, size - static_cast<int32_t>(done));
    data.resize(done + piece);
    if (!DataFileReadExact(id, data.data() + done, piece)) {
      return false;
    }
  }
  return true;
}

// --- Direct files -------------------------------------------------------------

DirectFile* FindDirect(int32_t id) {
  for (const auto& file : state.directFiles) {
    if (file->id == id) {
      return file.get();
    }
  }
  return nullptr;
}

// Closes the file; an uncommitted replacement leaves nothing behind.
void CloseDirect(DirectFile& file) {
  DiskClose(file.fd);
  if (!file.temporary.empty()) {
    DiskRemove(file.temporary);
  }
}

int32_t AddDirect(int fd) {
  if (fd < 0) {
    return 0;
  }
  auto file = std::make_unique<DirectFile>();
  file->id = state.nextDirectId++;
  file->fd = fd;
  state.directFiles.push_back(std::move(file));
  return state.directFiles.back()->id;
}

int32_t AddMemoryDirect(std::string bytes) {
  auto file = std::make_unique<DirectFile>();
  file->id = state.nextDirectId++;
  file->inMemory = true;
  file->memory = std::move(bytes);
  state.directFiles.push_back(std::move(file));
  return state.directFiles.back()->id;
}

bool MemoryRead(DirectFile& file, void* buffer, int32_t count) {
  if (static_cast<size_t>(count) >
      file.memory.size() - std::min(file.memoryPosition, file.memory.size())) {
    return false;
  }
  std::memcpy(buffer, file.memory.data() + file.memoryPosition, static_cast<size_t>(count));
  file.memoryPosition += static_cast<size_t>(count);
  return true;
}

// Writes at the position; a position past the end fills the gap with zeros,
// as a disk file does.
bool MemoryWrite(DirectFile& file, const void* buffer, int32_t count) {
  const size_t end = file.memoryPosition + static_cast<size_t>(count);
  if (end > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  if (end > file.memory.size()) {
    file.memory.resize(end);
  }
  std::memcpy(file.memory.data() + file.memoryPosition, buffer, static_cast<size_t>(count));
  file.memoryPosition = end;
  return true;
}

// --- Library search -------------------------------------------------------------

std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders{state.programFolder};
  for (const std::string& folder : PlatformLibraryFolders()) {
    folders.push_back(folder);
  }
  const char* path = std::getenv("PATH");
  std::string rest = path == nullptr ? std::string() : path;
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    folders.push_back(rest.substr(0, colon));
    rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
  }
  return folders;
}

}  // namespace

// --- Module lifecycle ---------------------------------------------------

void DataFileStart() {
  DataFileStop();
  state.logDiskFallback = UtilitiesSwitchPresent("-logLow");
  LogVersion("qmrDataFile - Version 1.0");
  state.programFolder = UtilitiesProgramFolder();
  FindArchives();
  ReadArchiveDirectories();
  FindPatchSets();
}

void DataFileStop() {
  DataFileCloseAll();
  DataFileDirectCloseAll();
  state = State();
}

// --- Content files --------------------------------------------------------

int32_t DataFileOpen(const std::string& name) {
  return OpenResolved(ResolveName(name));
}

int32_t DataFileRead(int32_t id, void* buffer, int32_t count) {
  ContentFile* file = FindFile(id);
  if (file == nullptr || count <= 0) {
    return 0;
  }
  uint8_t* destination = static_cast<uint8_t*>(buffer);
  int32_t delivered = 0;
  if (file->copy >= 0) {
    delivered = ReadFromCopy(*file, destination, count);
  } else if (file->archive >= 0) {
    delivered = ReadFromArchive(*file, destination, count);
  } else {
    delivered = ReadFromDisk(*file, destination, count);
  }
  file->position += delivered;
  return delivered;
}

bool DataFileReadExact(int32_t id, void* buffer, int32_t count) {
  return count == 0 || (count > 0 && DataFileRead(id, buffer, count) == count);
}

std::string DataFileReadLine(int32_t id) {
  std::string line;
  DataFileReadLine(id, line);
  return line;
}

bool DataFileReadLine(int32_t id, std::string& line) {
  line.clear();
  bool found = false;
  char c = 0;
  while (DataFileRead(id, &c, 1) == 1) {
    if (c == '\r') {
      return true;
    }
    if (c != '\n') {
      line += c;
      found = true;
    }
  }
  return found;
}

// A position before the start is refused. A position past the end is kept
// (reads then deliver nothing), but an archive entry never fetches beyond its
// own last byte.
bool DataFileSeek(int32_t id, int32_t position) {
  ContentFile* file = FindFile(id);
  if (file == nullptr || position < 0) {
    return false;
  }
  if (file->archive >= 0) {
    file->rawPosition = file->startOffset + std::min(position, file->size);
  } else if (file->copy < 0 && !DiskSeek(file->fd, position)) {
    return false;
  }
  file->buffer.Clear();
  file->position = position;
  return true;
}

int32_t DataFileTell(int32_t id) {
  const ContentFile* file = FindFile(id);
  return file == nullptr ? -1 : file->position;
}

int32_t DataFileSize(int32_t id) {
  const ContentFile* file = FindFile(id);
  if (file == nullptr) {
    return 0;
  }
  return file->fd >= 0 ? ClampToInt32(DiskSize(file->fd)) : file->size;
}

bool DataFileEOF(int32_t id) {
  const ContentFile* file = FindFile(id);
  if (file == nullptr) {
    return true;
  }
  if (file->fd >= 0) {
    return file->buffer.Fill() == 0 && DiskAtEnd(file->fd);
  }
  return file->buffer.Fill() == 0 && file->position >= file->size;
}

void DataFileClose(int32_t id) {
  for (auto it = state.files.begin(); it != state.files.end(); ++it) {
    if ((*it)->id == id) {
      ReleaseFile(**it);
      state.files.erase(it);
      return;
    }
  }
}

void DataFileCloseAll() {
  for (const auto& file : state.files) {
    ReleaseFile(*file);
  }
  state.files.clear();
  state.copies.clear();
}

bool DataFileExists(const std::string& name) {
  const std::string resolved = ResolveName(name);
  return FindEntry(resolved) != nullptr || PlatformFileExists(DiskName(resolved));
}

// --- Memory copies ----------------------------------------------------------

bool DataFileCacheLoad(const std::string& name) {
  const std::string resolved = ResolveName(name);
  if (FindCopy(resolved) >= 0) {
    return true;
  }
  const int32_t id = OpenResolved(resolved);
  if (id == 0) {
    return false;
  }
  MemoryCopy copy{resolved, {}};
  const bool whole = ReadWhole(id, copy.data);
  DataFileClose(id);
  if (whole) {
    state.copies.push_back(std::move(copy));
  }
  return whole;
}

void DataFileCacheFree(const std::string& name) {
  const int32_t index = FindCopy(ResolveName(name));
  if (index < 0) {
    return;
  }
  std::erase_if(state.files, [index](const auto& file) { return file->copy == index; });
  for (const auto& file : state.files) {
    if (file->copy > index) {
      --file->copy;
    }
  }
  state.copies.erase(state.copies.begin() + index);
}

// --- Library search ---------------------------------------------------------

bool DataFileSearchPath(const std::string& fileName) {
  if (PlatformFileExists(fileName)) {
    return true;
  }
  for (const std::string& folder : SearchFolders()) {
    if (!folder.empty() && PlatformFileExists(UtilitiesFolderWithSlash(folder) + fileName)) {
      return true;
    }
  }
  return false;
}

// --- Direct files -----------------------------------------------------------

int32_t DataFileDirectOpen(const std::string& path) {
  return AddDirect(DiskOpenRead(path));
}

int32_t DataFileDirectCreate(const std::string& path) {
  return AddDirect(DiskCreate(path));
}

std::string DataFileDirectTemporaryPath(const std::string& path) {
  return PlatformDiskPath(path) + ".tmp";
}

void DataFileDirectRemoveTemporaries(const std::string& folder, const std::string& pattern) {
  const std::string prefix = UtilitiesFolderWithSlash(folder);
  for (const std::string& name : PlatformListFolder(folder, pattern + ".tmp")) {
    PlatformDeleteFile(prefix + name);
  }
}

int32_t DataFileDirectCreateReplacement(const std::string& path) {
  // A fixed name, truncated here, so that a temporary left by a killed
  // process is taken over by the next write instead of piling up.
  const std::string temporary = DataFileDirectTemporaryPath(path);
  const int32_t id = AddDirect(DiskCreateExact(temporary));
  if (id != 0) {
    state.directFiles.back()->temporary = temporary;
    state.directFiles.back()->target = PlatformDiskPath(path);
  }
  return id;
}

bool DataFileDirectCommit(int32_t id) {
  DirectFile* file = FindDirect(id);
  if (file == nullptr || file->temporary.empty()) {
    return false;
  }
  if (!file->writeFailed && DiskReplace(file->fd, file->temporary, file->target)) {
    file->temporary.clear();
  }
  const bool replaced = file->temporary.empty();
  DataFileDirectClose(id);
  return replaced;
}

int32_t DataFileDirectCreateMemory() {
  return AddMemoryDirect({});
}

int32_t DataFileDirectOpenMemory(std::string bytes) {
  return bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())
             ? 0
             : AddMemoryDirect(std::move(bytes));
}

bool DataFileDirectMemoryTake(int32_t id, std::string& bytes) {
  DirectFile* file = FindDirect(id);
  if (file == nullptr || !file->inMemory) {
    return false;
  }
  bytes = std::move(file->memory);
  DataFileDirectClose(id);
  return true;
}

bool DataFileDirectWriteWhole(const std::string& path, const std::string& contents) {
  const int32_t id = DataFileDirectCreateReplacement(path);
  if (id == 0) {
    return false;
  }
  // A failed write (or a size the module cannot write) marks the file, so the
  // commit refuses it.
  const bool fits = contents.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max());
  DataFileDirectWrite(id, contents.data(), fits ? static_cast<int32_t>(contents.size()) : -1);
  return DataFileDirectCommit(id);
}

bool DataFileDirectReadWhole(const std::string& path, std::string& contents) {
  contents.clear();
  const int32_t id = DataFileDirectOpen(path);
  if (id == 0) {
    return false;
  }
  const int32_t size = DataFileDirectSize(id);
  contents.resize(static_cast<size_t>(size));
  const bool complete = DataFileDirectRead(id, contents.data(), size);
  DataFileDirectClose(id);
  if (!complete) {
    contents.clear();
  }
  return complete;
}

bool DataFileDirectRead(int32_t id, void* buffer, int32_t count) {
  DirectFile* file = FindDirect(id);
  if (file == nullptr || count < 0) {
    return false;
  }
  if (file->inMemory) {
    return MemoryRead(*file, buffer, count);
  }
  const int32_t delivered =
      BufferedRead(file->buffer, static_cast<uint8_t*>(buffer), count,
                   [file](uint8_t* to, int32_t wanted) { return DiskRead(file->fd, to, wanted); });
  return delivered == count;
}

bool DataFileDirectWrite(int32_t id, const void* buffer, int32_t count) {
  DirectFile* file = FindDirect(id);
  if (file == nullptr) {
    return false;
  }
  const bool written =
      count >= 0 &&
      (file->inMemory ? MemoryWrite(*file, buffer, count)
                      : DiskWriteAll(file->fd, static_cast<const uint8_t*>(buffer), count));
  file->writeFailed = file->writeFailed || !written;
  return written;
}

bool DataFileDirectSeek(int32_t id, int32_t position) {
  DirectFile* file = FindDirect(id);
  if (file != nullptr && file->inMemory) {
    file->memoryPosition = static_cast<size_t>(std::max(position, 0));
    return position >= 0;
  }
  if (file == nullptr || !DiskSeek(file->fd, position)) {
    return false;
  }
  file->buffer.Clear();
  return true;
}

int32_t DataFileDirectTell(int32_t id) {
  const DirectFile* file = FindDirect(id);
  if (file != nullptr && file->inMemory) {
    return ClampToInt32(static_cast<int64_t>(file->memoryPosition));
  }
  const int64_t position = file == nullptr ? -1 : DiskTell(file->fd);
  return position < 0 ? -1 : ClampToInt32(position - file->buffer.Fill());
}

int32_t DataFileDirectSize(int32_t id) {
  const DirectFile* file = FindDirect(id);
  if (file != nullptr && file->inMemory) {
    return static_cast<int32_t>(file->memory.size());
  }
  return file == nullptr ? 0 : std::max(0, ClampToInt32(DiskSize(file->fd)));
}

bool DataFileDirectEOF(int32_t id) {
  const DirectFile* file = FindDirect(id);
  if (file != nullptr && file->inMemory) {
    return file->memoryPosition >= file->memory.size();
  }
  return file == nullptr || (file->buffer.Fill() == 0 && DiskAtEnd(file->fd));
}

void DataFileDirectClose(int32_t id) {
  std::erase_if(state.directFiles, [id](auto& file) {
    if (file->id != id) {
      return false;
    }
    CloseDirect(*file);
    return true;
  });
}

void DataFileDirectCloseAll() {
  for (const auto& file : state.directFiles) {
    CloseDirect(*file);
  }
  state.directFiles.clear();
}

// --- Diagnostics -----------------------------------------------------------

int32_t DataFileOpenCount() {
  return static_cast<int32_t>(state.files.size());
}

int32_t DataFileCacheCount() {
  return static_cast<int32_t>(state.copies.size());
}

int32_t DataFileDirectOpenCount() {
  return static_cast<int32_t>(state.directFiles.size());
}
