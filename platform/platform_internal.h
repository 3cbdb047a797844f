// Shared between the files of the platform layer; not part of its API.
#pragma once

#include <string>

// Resets the tick clock to 0 and the manual clock off (called by PlatformStart).
void PlatformClockReset();
// Resets the version values, program path and parameters to the process's own
// (called by PlatformStop so each test starts clean).
void PlatformProcessReset();
// Records an error text of the layer itself (read by PlatformLastErrorText).
void PlatformSetErrorText(const std::string& text);
