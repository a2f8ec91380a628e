// Hashing of text under a secret key: SipHash with a 128-bit key drawn from
// the system's random source for each table. Without the key, which texts
// collide cannot be worked out from the outside, so a source cannot choose
// its ids to pile up in one place of a hash table.
#ifndef WQSQL_TOOLS_MAKE_KEYED_HASH_H_
#define WQSQL_TOOLS_MAKE_KEYED_HASH_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "store/scan.h"

namespace wqsource {

struct HashKey {
  uint64_t k0 = 0;
  uint64_t k1 = 0;
};

// A key from getrandom, or from std::random_device where that fails.
HashKey RandomHashKey();

namespace siphash_internal {

inline uint64_t Rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

inline void Round(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
  v0 += v1;
  v1 = Rotl(v1, 13);
  v1 ^= v0;
  v0 = Rotl(v0, 32);
  v2 += v3;
  v3 = Rotl(v3, 16);
  v3 ^= v2;
  v0 += v3;
  v3 = Rotl(v3, 21);
  v3 ^= v0;
  v2 += v1;
  v1 = Rotl(v1, 17);
  v1 ^= v2;
  v2 = Rotl(v2, 32);
}

}  // namespace siphash_internal

// SipHash-c-d of `text` under `key`: c rounds per 8-byte block, d to
// finish.
template <int kBlockRounds, int kFinalRounds>
uint64_t SipHash(const HashKey& key, std::string_view text) {
  using siphash_internal::Round;
  uint64_t v0 = key.k0 ^ 0x736f6d6570736575ull;
  uint64_t v1 = key.k1 ^ 0x646f72616e646f6dull;
  uint64_t v2 = key.k0 ^ 0x6c7967656e657261ull;
  uint64_t v3 = key.k1 ^ 0x7465646279746573ull;
  const char* p = text.data();
  const size_t n = text.size();
  const char* const blocks_end = p + (n & ~size_t{7});
  for (; p != blocks_end; p += 8) {
    const uint64_t m = wqstore::DecodeFixed64(p);
    v3 ^= m;
    for (int r = 0; r < kBlockRounds; ++r) Round(v0, v1, v2, v3);
    v0 ^= m;
  }
  // The last 0 to 7 bytes, little-endian, under the length's low byte.
  uint64_t last = uint64_t{n & 0xff} << 56;
  for (size_t i = 0; i < (n & 7); ++i) {
    last |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  }
  v3 ^= last;
  for (int r = 0; r < kBlockRounds; ++r) Round(v0, v1, v2, v3);
  v0 ^= last;
  v2 ^= 0xff;
  for (int r = 0; r < kFinalRounds; ++r) Round(v0, v1, v2, v3);
  return v0 ^ v1 ^ v2 ^ v3;
}

// The hash of object ids: SipHash-1-3, which keeps the key's protection at
// about the cost of a plain multiplicative hash for ids of a few bytes.
inline uint64_t KeyedHash(const HashKey& key, std::string_view text) {
  return SipHash<1, 3>(key, text);
}

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_KEYED_HASH_H_
