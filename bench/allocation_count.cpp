#include "bench/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {

uint64_t allocations = 0;

}  // namespace

uint64_t AllocationCount() {
  return allocations;
}

// The array, sized and no-throw forms of the library forward to these.
void* operator new(std::size_t size) {
  ++allocations;
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
