// Counts the calls of the global operator new (its array and sized forms
// included) for a benchmark that checks a frame allocates nothing. Linked
// into the program, it replaces the global allocation functions.
#pragma once

#include <cstdint>

uint64_t AllocationCount();  // calls since the program started
