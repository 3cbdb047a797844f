// The libFuzzer programs: each is "fuzz_<target>", and its name picks the
// entry, so every program shares this one compiled file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_targets.h"

namespace {

FuzzEntry entry = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
  const std::string program = (*argv)[0];
  const std::string name = program.substr(program.find_last_of('/') + 1);
  entry = name.starts_with("fuzz_") ? FuzzFind(name.substr(5)) : nullptr;
  if (entry == nullptr) {
    std::fprintf(stderr, "No fuzz target for the program \"%s\".\n", name.c_str());
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzRun(entry, data, size);
  return 0;
}
