// Typed values in "settings.ini". Every read and write opens the file, handles
// one value and closes it again; nothing is cached outside a batch. Reads fall
// back to the copy beside the program until the user's copy exists; writes
// always go to the user's copy and replace it atomically. A write never
// replaces a user's copy that exists but cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- Module lifecycle ---------------------------------------------------
void IniStart();
void IniStop();

// --- Reads (the default when the file, section or key is missing) -------
bool IniReadBool(const std::string& section, const std::string& key, bool defaultValue);
int32_t IniReadInt(const std::string& section, const std::string& key, int32_t defaultValue);
std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue);

// A key of a section with its value as IniReadString reads it.
struct IniKey {
  std::string name;
  std::string value;
  bool operator==(const IniKey&) const = default;
};
// Every key the section holds, in file order, each name once; empty when the
// file or section is missing. One read of the file, however many keys.
std::vector<IniKey> IniReadSectionKeys(const std::string& section);

// --- Writes (create the file and section when needed) -------------------
bool IniWriteBool(const std::string& section, const std::string& key, bool value);
bool IniWriteInt(const std::string& section, const std::string& key, int32_t value);
bool IniWriteString(const std::string& section, const std::string& key, const std::string& value);

// --- Batches (nestable) ---------------------------------------------------
// Until the outermost end, writes change a copy in memory that reads see;
// the end writes the file once. False (logged) when that write fails: the
// batch's values are then lost. Stopping the module ends an open batch.
void IniBatchBegin();
bool IniBatchEnd();

// --- Paths ----------------------------------------------------------------
std::string IniReadPath();   // the file reads come from now (the user's copy once a batch wrote)
std::string IniWritePath();  // the user's copy
