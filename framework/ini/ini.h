// Typed values in "settings.ini". Every read and write opens the file, handles
// one value and closes it again; nothing is cached. Reads fall back to the copy
// beside the program until the user's copy exists; writes always go to the
// user's copy and replace it atomically.
#pragma once

#include <cstdint>
#include <string>

// --- Module lifecycle ---------------------------------------------------
void IniStart();
void IniStop();

// --- Reads (the default when the file, section or key is missing) -------
bool IniReadBool(const std::string& section, const std::string& key, bool defaultValue);
int32_t IniReadInt(const std::string& section, const std::string& key, int32_t defaultValue);
std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue);

// --- Writes (create the file and section when needed) -------------------
bool IniWriteBool(const std::string& section, const std::string& key, bool value);
bool IniWriteInt(const std::string& section, const std::string& key, int32_t value);
bool IniWriteString(const std::string& section, const std::string& key, const std::string& value);

// --- Paths ----------------------------------------------------------------
std::string IniReadPath();   // the file reads come from now
std::string IniWritePath();  // the user's copy
