// Replaces the global operator new of this test program to count
// allocations. Kept in its own file so that no caller inlines the
// replacements.
#include "simulation/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocationCount{0};
}  // namespace

long kestrovan::test::AllocationCount() { return allocationCount.load(); }

void* operator new(std::size_t Size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(Size == 0 ? 1 : Size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* Memory) noexcept { std::free(Memory); }
void operator delete(void* Memory, std::size_t) noexcept { std::free(Memory); }
