// The only way content is read: names such as "Bin\Common\Fonts\Cubes.fot"
// resolve through patch sets, ".qma" archives and the disk below the program
// folder. A second family, the direct files, reads and writes files by their
// own path with no lookup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- Module lifecycle ---------------------------------------------------
// Scans the program folder for archives and patch sets once.
void DataFileStart();
// Closes every content file, memory copy and direct file.
void DataFileStop();

// --- Content files --------------------------------------------------------
int32_t DataFileOpen(const std::string& name);  // id above 0, or 0
int32_t DataFileRead(int32_t id, void* buffer, int32_t count);
bool DataFileReadExact(int32_t id, void* buffer, int32_t count);
std::string DataFileReadLine(int32_t id);  // ends at a CR, skips LFs
// The same into `line`; false when the file held none of it, not even its CR.
bool DataFileReadLine(int32_t id, std::string& line);
bool DataFileSeek(int32_t id, int32_t position);
int32_t DataFileTell(int32_t id);
int32_t DataFileSize(int32_t id);
bool DataFileEOF(int32_t id);
void DataFileClose(int32_t id);
void DataFileCloseAll();
bool DataFileExists(const std::string& name);

// --- Memory copies ----------------------------------------------------------
bool DataFileCacheLoad(const std::string& name);
void DataFileCacheFree(const std::string& name);

// --- Library search ---------------------------------------------------------
bool DataFileSearchPath(const std::string& fileName);

// --- Archive directories (tools) -------------------------------------------
struct DataFileArchiveEntry {
  std::string name;  // as stored, case kept
  int32_t offset = 0;
  int32_t size = 0;  // cut to the bytes the archive file really holds
};
struct DataFileArchiveDirectory {
  uint16_t version = 0;
  int32_t declaredCount = 0;
  bool complete = false;  // every declared entry read, all data inside the file
  std::vector<DataFileArchiveEntry> entries;
};
// Reads a ".qma" directory the way start-up does; false when the file cannot
// be opened or its header is wrong. A damaged directory keeps what was read.
bool DataFileArchiveRead(const std::string& path, DataFileArchiveDirectory& directory);

// --- Direct files -----------------------------------------------------------
int32_t DataFileDirectOpen(const std::string& path);
int32_t DataFileDirectCreate(const std::string& path);
bool DataFileDirectRead(int32_t id, void* buffer, int32_t count);
bool DataFileDirectWrite(int32_t id, const void* buffer, int32_t count);
bool DataFileDirectSeek(int32_t id, int32_t position);
int32_t DataFileDirectTell(int32_t id);
int32_t DataFileDirectSize(int32_t id);
bool DataFileDirectEOF(int32_t id);
void DataFileDirectClose(int32_t id);
void DataFileDirectCloseAll();

// --- Direct files in memory ---------------------------------------------
// The direct-file functions work on these as on disk files, so a writer can
// build a file in memory (to write it whole) and a reader can take bytes
// already read. A memory file never exceeds 2 GB.
int32_t DataFileDirectCreateMemory();
int32_t DataFileDirectOpenMemory(std::string bytes);  // 0 when too large
// Moves the bytes of a memory file out and closes it; false for other ids.
bool DataFileDirectMemoryTake(int32_t id, std::string& bytes);

// --- Direct files that replace a file whole ------------------------------
// Writes go to a temporary beside the file (DataFileDirectTemporaryPath); the
// file itself changes only when the commit succeeds, so a failed or cut-off
// write leaves the old file as it was. Closing without a commit removes the
// temporary.
int32_t DataFileDirectCreateReplacement(const std::string& path);
// Flushes to the disk and renames over the file; false (old file kept,
// temporary removed) when any write or step failed. Closes the id.
bool DataFileDirectCommit(int32_t id);
std::string DataFileDirectTemporaryPath(const std::string& path);  // path + ".tmp"
// Removes the temporaries that writes cut off by a crash or kill left beside
// the files of the folder matching the pattern ("*" and "?" wildcards).
void DataFileDirectRemoveTemporaries(const std::string& folder, const std::string& pattern);
bool DataFileDirectWriteWhole(const std::string& path, const std::string& contents);
// The whole file; false (and empty) when it is missing, not a regular file
// or cannot be read in full.
bool DataFileDirectReadWhole(const std::string& path, std::string& contents);

// --- Diagnostics -----------------------------------------------------------
// What the tables hold now, for leak checks and the resource report.
int32_t DataFileOpenCount();        // content files open
int32_t DataFileCacheCount();       // memory copies held
int32_t DataFileDirectOpenCount();  // direct files open, memory files included
