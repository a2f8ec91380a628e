// OpenIndex: a hash set of entries (32 or 64 bits) that stand for keys kept
// elsewhere (a class's index, a class's and a member's index), for the
// writer's checks of unique names and numbers. Open addressing with linear
// probing, at most half full: 8 to 16 bytes per entry for 32-bit entries,
// where a node-based set takes 40 to 80. The caller hashes a key and
// compares an entry with it.
#ifndef WQSQL_STORE_OPEN_INDEX_H_
#define WQSQL_STORE_OPEN_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace wqstore {

template <class Entry>
class OpenIndex {
 public:
  static constexpr Entry kNone = static_cast<Entry>(~Entry{0});  // never an entry

  // The entry for which `equal(entry)` holds, or kNone.
  template <class Equal>
  Entry Find(uint64_t hash, Equal equal) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = static_cast<size_t>(hash) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == kNone) return kNone;
      if (equal(slots_[i])) return slots_[i];
    }
  }

  // Adds `entry`, whose key Find does not find. `hash_of(entry)` gives the
  // hash of an entry already in, for when the table grows.
  template <class HashOf>
  void Insert(uint64_t hash, Entry entry, HashOf hash_of) {
    if ((count_ + 1) * 2 > slots_.size()) {
      std::vector<Entry> old(slots_.empty() ? 16 : slots_.size() * 2, kNone);
      old.swap(slots_);
      for (Entry e : old) {
        if (e != kNone) Place(hash_of(e), e);
      }
    }
    Place(hash, entry);
    count_++;
  }

 private:
  void Place(uint64_t hash, Entry entry) {
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(hash) & mask;
    while (slots_[i] != kNone) i = (i + 1) & mask;
    slots_[i] = entry;
  }

  std::vector<Entry> slots_;  // a power of two of them, or none
  size_t count_ = 0;
};

// Hashes for the keys: a name, or a number, in a class (or none, for the
// classes themselves); the bits are mixed so that the low ones, which pick
// the slot, depend on all of them.
inline uint64_t MixHash(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  return x ^ (x >> 33);
}
inline uint64_t NameHash(uint32_t cls, std::string_view name) {
  return MixHash(std::hash<std::string_view>()(name) ^ (uint64_t{cls} << 32));
}
inline uint64_t NumberHash(uint32_t cls, int32_t number) {
  return MixHash((uint64_t{cls} << 32) | static_cast<uint32_t>(number));
}

}  // namespace wqstore

#endif  // WQSQL_STORE_OPEN_INDEX_H_
