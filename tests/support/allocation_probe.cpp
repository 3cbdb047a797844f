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
// and sized forms forward to these. The no-throw form (std::stable_sort's
// buffer) is replaced too, because a sanitizer's own version of it would not
// match the replaced delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size > largest) {
    largest = size;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* operator new(std::size_t size) {
  if (void* memory = operator new(size, std::nothrow)) {
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

void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
