// The script language compiler behind vmcc: turns ".vms" sources into the
// writer library's script records, with diagnostics in the form
// "file:line:col: error: ..." and a table of source positions per code
// offset. The language is described in docs/script-language.md.
#pragma once

#include <string>
#include <vector>

#include "tools/vmc/vmclines.h"
#include "tools/vmc/vmcwriter.h"

struct VmccOptions {
  std::vector<std::string> includeDirs;  // searched for imports after the importing file's folder
};

struct VmccResult {
  VmcScript script;
  std::vector<VmcLineEntry> lines;       // code offset -> source position
  std::vector<std::string> diagnostics;  // errors and warnings in source order of discovery
  int errors = 0;
};

// Compiles the source text (named fileName in messages and imports). True
// when there were no errors; warnings do not fail the compilation.
bool VmccCompile(const std::string& source, const std::string& fileName, const VmccOptions& options,
                 VmccResult& result);
// Reads and compiles the file; a file that cannot be read is an error.
bool VmccCompileFile(const std::string& path, const VmccOptions& options, VmccResult& result);
