// Fixed-width little-endian encoding and decoding of integers and doubles.
// Every multi-byte field of a repository file is read and written through
// these helpers; memcpy keeps them safe at any alignment.
#ifndef WQSQL_STORE_CODING_H_
#define WQSQL_STORE_CODING_H_

#include <cstdint>
#include <cstring>

namespace wqstore {

// The file format is little-endian and these helpers copy bytes as they
// are, so they hold only on little-endian targets; a port to another byte
// order swaps bytes here.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the store needs a little-endian target");

inline uint16_t DecodeFixed16(const void* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint32_t DecodeFixed32(const void* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint64_t DecodeFixed64(const void* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline int32_t DecodeSigned32(const void* p) { return static_cast<int32_t>(DecodeFixed32(p)); }

inline double DecodeDouble(const void* p) {
  double v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void EncodeFixed32(void* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

inline void EncodeFixed64(void* p, uint64_t v) { std::memcpy(p, &v, sizeof v); }

inline void EncodeDouble(void* p, double v) { std::memcpy(p, &v, sizeof v); }

}  // namespace wqstore

#endif  // WQSQL_STORE_CODING_H_
