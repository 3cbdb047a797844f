// Writes the source line table of a compiled script ("name.vmc.lines"): for
// code offsets, the source file, line and column they were compiled from.
// The game reads it only when it runs with -scriptdebug, to name the source
// line of a script fault. The table carries the size and a hash of the code
// it describes, so a table left over from an older build is not believed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kVmcLinesVersion = 1;

// One position: the code from this offset on (up to the next entry's
// offset) comes from the file's line and column, both counted from 1.
struct VmcLineEntry {
  uint32_t offset = 0;
  std::string file;
  uint32_t line = 0;
  uint32_t column = 0;
};

// The FNV-1a 32-bit hash of the code bytes, which the table stores.
uint32_t VmcLinesCodeHash(const std::string& code);
// The table's bytes for the code. Entries may come in any order; of several
// at one offset the last given wins, and an entry that repeats the position
// before it is dropped. False with a message when more than 65,535 files, a
// file name over 65,535 bytes or an offset past the code is given.
bool VmcLinesBytes(const std::string& code, const std::vector<VmcLineEntry>& entries,
                   std::string& bytes, std::string& error);
// Writes the table to scriptPath + ".lines"; false with a message ("path: ...").
bool VmcLinesSave(const std::string& code, const std::vector<VmcLineEntry>& entries,
                  const std::string& scriptPath, std::string& error);
