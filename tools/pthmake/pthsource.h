// Path sources (".pts"): a path tree written by hand with named nodes, links
// written once for both ways, and colours by name or in hex.
#pragma once

#include <string>

#include "game/path.h"

// Reads a path source into a tree; false after reporting the first fault as
// file:line.
bool PthSourceRead(const std::string& path, PathTree& tree);
