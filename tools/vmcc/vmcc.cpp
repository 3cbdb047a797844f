// vmcc: compiles a script written in the script language (".vms") into a
// ".vmc" file the game loads, with a source line table beside it. The
// language is described in docs/script-language.md.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/vmc/vmctext.h"
#include "tools/vmcc/vmcc.h"

namespace {

const char kUsageText[] =
    "usage: vmcc [-I <dir>]... [-o <out.vmc>] [--emit-asm] [--check] <file.vms>\n"
    "\n"
    "Compiles a script into a compiled script (version 20) and writes its\n"
    "source line table beside it as <out.vmc>.lines. The output goes beside\n"
    "the source with the extension .vmc unless -o names it.\n"
    "\n"
    "  -I <dir>     also look for imported files in the folder\n"
    "  -o <file>    the compiled script to write\n"
    "  --emit-asm   print the vmcasm text of the result (writes a file only with -o)\n"
    "  --check      report errors and warnings only; write nothing\n"
    "\n"
    "Errors and warnings are printed as <file>:<line>:<col>: error: ...; the\n"
    "exit status is 1 when there was an error. See docs/script-language.md.\n";

struct Arguments {
  VmccOptions options;
  std::string source;
  std::string output;
  bool emitAsm = false;
  bool check = false;
};

bool ParseArguments(const std::vector<std::string>& args, Arguments& parsed, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "-I" || arg == "-o") && i + 1 < args.size()) {
      (arg == "-I" ? parsed.options.includeDirs.emplace_back() : parsed.output) = args[++i];
    } else if (arg.size() > 2 && arg.rfind("-I", 0) == 0) {
      parsed.options.includeDirs.push_back(arg.substr(2));
    } else if (arg == "--emit-asm") {
      parsed.emitAsm = true;
    } else if (arg == "--check") {
      parsed.check = true;
    } else if (!arg.empty() && arg[0] != '-' && parsed.source.empty()) {
      parsed.source = arg;
    } else {
      error = "unexpected argument '" + arg + "'";
      return false;
    }
  }
  if (parsed.source.empty()) {
    error = "expected a source file";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, parsed, error)) {
    return ToolUsageError("vmcc", kUsageText, error);
  }
  VmccResult result;
  const bool ok = VmccCompileFile(parsed.source, parsed.options, result);
  for (const std::string& line : result.diagnostics) {
    std::cerr << line << "\n";
  }
  if (!ok) {
    return kToolFailure;
  }
  if (parsed.check) {
    return 0;
  }
  if (parsed.emitAsm) {
    std::cout << VmcDisassemble(result.script);
    if (parsed.output.empty()) {
      return 0;
    }
  }
  if (parsed.output.empty()) {
    parsed.output = std::filesystem::path(parsed.source).replace_extension(".vmc").string();
  }
  if (!VmcWriterSave(result.script, parsed.output, error) ||
      !VmcLinesSave(result.script.code, result.lines, parsed.output, error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  return 0;
}
