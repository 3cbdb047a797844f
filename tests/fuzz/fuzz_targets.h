// The fuzz entry functions: each takes one input, serves it through the
// data-file layer to a loader's real entry point and checks what the loader
// promises beyond "no crash" (round trips, values kept). A broken promise
// aborts, so libFuzzer and the corpus test both report it. The same functions
// run under libFuzzer (fuzz_main.cpp) and under the normal compiler
// (corpus_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using FuzzEntry = void (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
  std::string name;  // the program is "fuzz_<name>", its files "corpus/<name>"
  FuzzEntry entry;
};

// The targets of the script engine and the game (fuzz_game_targets.cpp).
std::vector<FuzzTarget> FuzzGameTargets();
// Every target, in a fixed order.
const std::vector<FuzzTarget>& FuzzTargets();
// The entry of the named target; null when there is none.
FuzzEntry FuzzFind(const std::string& name);
// Runs the entry on one input and checks that it left no content file, memory
// copy or direct file open: the one place the fuzzer and the corpus test call
// an entry.
void FuzzRun(FuzzEntry entry, const uint8_t* data, size_t size);

// --- Entries of fuzz_content_targets.cpp ------------------------------------------
void FuzzFont(const uint8_t* data, size_t size);   // FontOpen
void FuzzSheet(const uint8_t* data, size_t size);  // AnimationOpen
