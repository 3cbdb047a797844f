// vmcdis: writes the text form of a ".vmc" script, which vmcasm assembles
// back into the same bytes. Bytes of the code that do not form an
// instruction come out as .byte lines, so nothing is lost.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/vmc/vmctext.h"

namespace {

const char kUsageText[] =
    "usage: vmcdis <script.vmc> [-o <out.vmca>]\n"
    "\n"
    "Writes the text form of a compiled script (any version) to standard\n"
    "output, or to the file -o names. vmcasm turns it back into the same file.\n"
    "The text form is described in docs/tools/vmcasm.md.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  if (!(args.size() == 1 || (args.size() == 3 && args[1] == "-o"))) {
    return ToolUsageError("vmcdis", kUsageText, "expected a script file and at most -o <out.vmca>");
  }
  const std::string& input = args[0];
  std::string bytes;
  if (!ToolReadFile(input, bytes)) {
    return ToolFail(input, "cannot open the file");
  }
  VmcScript script;
  std::string error;
  if (!VmcRead(bytes, script, error)) {
    return ToolFail(input, error);
  }
  const std::string text = VmcDisassemble(script);
  if (args.size() == 1) {
    std::cout << text;
    return 0;
  }
  std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return out ? 0 : ToolFail(args[2], "cannot write the file");
}
