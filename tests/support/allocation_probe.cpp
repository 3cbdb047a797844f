#include "tests/support/allocation_probe.h"

#include <cstdlib>
#include <new>

namespace {

std::size_t largest = 0;

}  // namespace

void AllocationProbeReset() {
  largest = 0;
}

std::size_t AllocationProbeLargest() {
  return largest;
}

// The program's replacements of the global allocation functions; the array
// and sized forms forward to these.
void* operator new(std::size_t size) {
  if (size > largest) {
    largest = size;
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
