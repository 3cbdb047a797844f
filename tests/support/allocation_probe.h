// Records the largest single request made to the global operator new, so a
// test can check that a loader never allocates out of proportion to its input.
#pragma once

#include <cstddef>

void AllocationProbeReset();
std::size_t AllocationProbeLargest();  // since the last reset
