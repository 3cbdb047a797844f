// One libFuzzer program per target: QMR_FUZZ_TARGET names the entry.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzEntry entry = FuzzFind(QMR_FUZZ_TARGET);
  if (entry == nullptr) {
    std::fprintf(stderr, "No fuzz target \"%s\".\n", QMR_FUZZ_TARGET);
    std::abort();
  }
  FuzzRun(entry, data, size);
  return 0;
}
