// The compiler's entry points: parse, check and generate.
#include <fstream>
#include <sstream>

#include "tools/vmcc/vmcc_internal.h"

bool VmccCompile(const std::string& source, const std::string& fileName, const VmccOptions& options,
                 VmccResult& result) {
  Diagnostics diag;
  Program program;
  VmccParse(source, fileName, options, program, diag);
  if (diag.errors == 0) {
    VmccGenerate(program, diag, result);
  }
  result.diagnostics = diag.Lines();
  result.errors = diag.errors;
  return diag.errors == 0;
}

bool VmccCompileFile(const std::string& path, const VmccOptions& options, VmccResult& result) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.diagnostics.push_back(path + ":1:1: error: cannot open the file");
    result.errors = 1;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return VmccCompile(text.str(), path, options, result);
}
