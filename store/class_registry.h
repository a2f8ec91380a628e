// The registry of open repositories' object data, by address: which class a
// record belongs to, for object handles that hold the record's address only.
//
// Every Reader registers the address range of its file's object data when
// it opens and removes it when it closes. The records of one class are one
// contiguous range and every record takes at least one byte, so an address
// names at most one class of one open repository. Closing bumps a global
// generation, which lets callers keep the latest answer in a per-thread
// cache and notice when it may have gone stale.
#ifndef WQSQL_STORE_CLASS_REGISTRY_H_
#define WQSQL_STORE_CLASS_REGISTRY_H_

#include <atomic>
#include <cstdint>

namespace wqstore {

struct ClassInfo;
class Reader;

namespace registry {

extern std::atomic<uint64_t> g_generation;

// Changes whenever a reader is removed; never 0.
inline uint64_t Generation() { return g_generation.load(std::memory_order_acquire); }

// Adds the object data [begin, end) of `reader`; an empty range adds
// nothing. May throw std::bad_alloc.
void Add(const Reader* reader, const unsigned char* begin, const unsigned char* end);
// Removes what Add added for `reader` and bumps the generation.
void Remove(const Reader* reader);

struct Found {
  const ClassInfo* cls;  // null when no open repository holds the address
  const Reader* reader;
  uint64_t generation;  // the generation the answer is valid in
};
// The class of the record at `rec`, under the registry's lock.
Found Find(const unsigned char* rec);

}  // namespace registry
}  // namespace wqstore

#endif  // WQSQL_STORE_CLASS_REGISTRY_H_
