// The settings-file text itself: finding and replacing one value in the
// sections-and-keys format, with the matching rules of the system's
// private-profile functions. Internal to the settings module and its tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/ini/ini.h"

// The value of a key in a section (names compared without regard to ASCII
// case; the first matching section and key win). Surrounding blanks are
// trimmed and one pair of matching quotes is removed. Empty when the key or
// section is missing.
std::optional<std::string> IniTextFind(const std::string& text, const std::string& section,
                                       const std::string& key);

// The text with the key set to the value: the first matching key line is
// replaced, or a key line is added at the end of the first matching section,
// or the section is appended. Every other byte of the text is kept.
std::string IniTextSet(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value);

// The keys of the first matching section in file order, each name once with
// the value IniTextFind gives for it (that of its first line).
std::vector<IniKey> IniTextKeys(const std::string& text, const std::string& section);
