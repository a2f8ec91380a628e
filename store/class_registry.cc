// The registry of open repositories' object data: a list of address ranges
// sorted by start, guarded by a mutex. It changes only when a repository
// opens or closes and is read only when a handle's class is not the one the
// calling thread looked up last, so a lock is cheap enough.
#include "store/class_registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "store/reader.h"

namespace wqstore {
namespace registry {

std::atomic<uint64_t> g_generation{1};

namespace {

// Addresses as integers: ranges of different mappings are compared.
struct Range {
  uintptr_t begin;
  uintptr_t end;
  const Reader* reader;
};

// Both live until the process ends, never destroyed: databases held in
// static objects close during exit, possibly after any static of this file
// would have been destroyed.
std::mutex& Lock() {
  static std::mutex* m = new std::mutex;
  return *m;
}

// Sorted by begin; ranges of open repositories never overlap.
std::vector<Range>& Ranges() {
  static std::vector<Range>* r = new std::vector<Range>;
  return *r;
}

}  // namespace

void Add(const Reader* reader, const unsigned char* begin, const unsigned char* end) {
  if (begin >= end) return;
  std::lock_guard<std::mutex> hold(Lock());
  std::vector<Range>& ranges = Ranges();
  const Range added{reinterpret_cast<uintptr_t>(begin), reinterpret_cast<uintptr_t>(end), reader};
  auto at = std::upper_bound(ranges.begin(), ranges.end(), added.begin,
                             [](uintptr_t b, const Range& r) { return b < r.begin; });
  ranges.insert(at, added);
}

void Remove(const Reader* reader) {
  std::lock_guard<std::mutex> hold(Lock());
  std::vector<Range>& ranges = Ranges();
  ranges.erase(std::remove_if(ranges.begin(), ranges.end(),
                              [reader](const Range& r) { return r.reader == reader; }),
               ranges.end());
  g_generation.fetch_add(1, std::memory_order_acq_rel);
}

Found Find(const unsigned char* rec) {
  std::lock_guard<std::mutex> hold(Lock());
  const uint64_t generation = g_generation.load(std::memory_order_relaxed);
  const std::vector<Range>& ranges = Ranges();
  const uintptr_t at = reinterpret_cast<uintptr_t>(rec);
  auto after = std::upper_bound(ranges.begin(), ranges.end(), at,
                                [](uintptr_t p, const Range& r) { return p < r.begin; });
  if (after == ranges.begin()) return Found{nullptr, nullptr, generation};
  const Range& r = *(after - 1);
  if (at >= r.end) return Found{nullptr, nullptr, generation};
  return Found{r.reader->ClassOfRecord(rec), r.reader, generation};
}

}  // namespace registry
}  // namespace wqstore
