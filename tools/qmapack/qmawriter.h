// Writes ".qma" archives: the header, a directory of every entry, then the
// entries' data back to back, uncompressed. Used by the qmapack tool and by
// tests that need archives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct QmaWriterEntry {
  std::string name;        // content name with '\' separators, e.g. "Bin\Rooms\x.vmc"
  std::string data;        // the bytes, when sourcePath is empty
  std::string sourcePath;  // a file copied in when the archive is saved
};

struct QmaWriter {
  uint16_t version = 1;
  int32_t patch = 0;       // 1-999999: names get "PATCH" + six digits + '\' in front
  uint8_t extraBytes = 0;  // zero bytes added to every entry's fixed part
  std::vector<QmaWriterEntry> entries;
};

// --- Entries ------------------------------------------------------------------
void QmaWriterAddMemory(QmaWriter& writer, const std::string& name, const std::string& data);
void QmaWriterAddFile(QmaWriter& writer, const std::string& name, const std::string& path);

// --- Output -------------------------------------------------------------------
// Writes the archive; on failure false with a message ("file: message").
bool QmaWriterSave(const QmaWriter& writer, const std::string& path, std::string& error);
// "PATCH" + the number in six digits + '\'; empty for 0.
std::string QmaWriterPatchPrefix(int32_t patch);
