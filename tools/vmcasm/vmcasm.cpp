// vmcasm: assembles the text form of a script into a ".vmc" file the game
// loads. The text form is described in docs/tools/vmcasm.md; vmcdis writes
// it back from any file.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/vmc/vmctext.h"

namespace {

const char kUsageText[] =
    "usage: vmcasm <source.vmca> [-o <out.vmc>]\n"
    "\n"
    "Assembles a script's text form into a compiled script. The output goes\n"
    "beside the source with the extension .vmc unless -o names it. Files are\n"
    "written for version 20 unless the source begins with a .version line.\n"
    "\n"
    "The text form (see docs/tools/vmcasm.md):\n"
    "\n"
    "    .version 20                 ; optional, before everything else\n"
    "    .routine AppAgentWalkTo     ; game routines called by callapp, in order\n"
    "    .object Label TITLE         ; an object and its attributes\n"
    "        left 10\n"
    "        text \"Hello\"\n"
    "    .end\n"
    "    .listener on_event          ; where events arrive\n"
    "        set TITLE.text, \"Ready\"  ; code: instructions and labels\n"
    "        return\n"
    "    on_event:\n"
    "        jne param(1), 1, done\n"
    "    done:\n"
    "        return\n"
    "\n"
    "Faults are reported as <source>:<line>: expected ... and the exit status\n"
    "is not zero.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  std::string output;
  if (args.size() == 3 && args[1] == "-o") {
    output = args[2];
  } else if (args.size() != 1) {
    return ToolUsageError("vmcasm", kUsageText, "expected a source file and at most -o <out.vmc>");
  }
  const std::string& source = args[0];
  if (output.empty()) {
    output = std::filesystem::path(source).replace_extension(".vmc").string();
  }
  std::string text;
  if (!ToolReadFile(source, text)) {
    return ToolFail(source, "cannot open the file");
  }
  VmcScript script;
  std::string error;
  if (!VmcAssemble(text, source, script, error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  if (!VmcWriterSave(script, output, error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  return 0;
}
