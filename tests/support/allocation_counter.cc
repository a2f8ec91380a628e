// The test program's operator new and delete, on malloc and free, with the
// count of bytes allocated while counting is on.
#include "tests/support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocated{0};

}  // namespace

namespace {

void* Allocate(size_t n) noexcept {
  if (g_counting.load(std::memory_order_relaxed)) {
    g_allocated.fetch_add(n, std::memory_order_relaxed);
  }
  return std::malloc(n == 0 ? 1 : n);
}

void* AllocateOrThrow(size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}

}  // namespace

// Every form that pairs with the plain delete, so that each block is freed
// as it was allocated.
void* operator new(size_t n) { return AllocateOrThrow(n); }
void* operator new[](size_t n) { return AllocateOrThrow(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace wqtest {

void StartCountingAllocations() {
  g_allocated.store(0);
  g_counting.store(true);
}

size_t StopCountingAllocations() {
  g_counting.store(false);
  return g_allocated.load();
}

}  // namespace wqtest
