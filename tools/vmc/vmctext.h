// The script tools' side of ".vmc" files: reading a file back into the
// writer's records, and the text form that vmcasm assembles and vmcdis
// writes (see docs/tools/vmcasm.md).
#pragma once

#include <string>

#include "tools/vmc/vmcwriter.h"

// --- Files -------------------------------------------------------------------------------------
// Reads a file of any version; false with a message naming the byte offset
// when it ends early or a count does not fit the bytes that follow.
bool VmcRead(const std::string& bytes, VmcScript& script, std::string& error);

// --- Text form -------------------------------------------------------------------------------
// Assembles the text; false with "<sourceName>:<line>: expected ..." on the
// first fault.
bool VmcAssemble(const std::string& source, const std::string& sourceName, VmcScript& script,
                 std::string& error);
// The text form of the script; assembling it gives the same file again.
std::string VmcDisassemble(const VmcScript& script);
