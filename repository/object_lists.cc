// The allocation of object lists (awq_Object arrays), which can hold
// millions of handles.
//
// A block starts with a 16-byte header holding the length of its own
// mapping, or 0 when it came from the general heap; the handles follow. Big
// lists are mapped 2 MiB aligned with huge pages asked for: a list of
// millions of handles then costs a few dozen page faults, not one per
// 4 KiB, and goes back to the system at once when it is released.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "repository/store_api.h"

namespace {

constexpr size_t kListHeader = 16;
constexpr size_t kDirectMapMin = size_t{4} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void* awq_Object::operator new[](std::size_t bytes) {
  if (bytes > SIZE_MAX - kListHeader - 2 * kHugePage) throw std::bad_alloc();
  const size_t need = bytes + kListHeader;
  if (need < kDirectMapMin) {
    unsigned char* block = static_cast<unsigned char*>(::operator new(need));
    const size_t none = 0;
    std::memcpy(block, &none, sizeof none);
    return block + kListHeader;
  }
  const size_t length = (need + kHugePage - 1) / kHugePage * kHugePage;
  // Over-map by one huge page and trim both ends to a 2 MiB aligned start.
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t end = start + length + kHugePage;
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  if (end > aligned + length) {
    ::munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  }
  unsigned char* block = reinterpret_cast<unsigned char*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, length, MADV_HUGEPAGE);
#endif
  std::memcpy(block, &length, sizeof length);
  return block + kListHeader;
}

void awq_Object::operator delete[](void* p) noexcept {
  if (p == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kListHeader;
  size_t length;
  std::memcpy(&length, block, sizeof length);
  if (length == 0) {
    ::operator delete(block);
  } else {
    ::munmap(block, length);
  }
}
