// Fixed-width little-endian encoding and decoding of integers and doubles.
// Every multi-byte field of a repository file is read and written through
// these helpers; memcpy keeps them safe at any alignment.
#ifndef WQSQL_STORE_CODING_H_
#define WQSQL_STORE_CODING_H_

#include <cstdint>
#include <cstring>
#include <string>

namespace wqstore {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__,
              "unsupported byte order");

inline uint16_t DecodeFixed16(const void* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap16(v);
#endif
  return v;
}

inline uint32_t DecodeFixed32(const void* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

inline uint64_t DecodeFixed64(const void* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

inline int32_t DecodeSigned32(const void* p) { return static_cast<int32_t>(DecodeFixed32(p)); }

inline double DecodeDouble(const void* p) {
  uint64_t bits = DecodeFixed64(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

inline void EncodeFixed16(void* p, uint16_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap16(v);
#endif
  std::memcpy(p, &v, sizeof v);
}

inline void EncodeFixed32(void* p, uint32_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  std::memcpy(p, &v, sizeof v);
}

inline void EncodeFixed64(void* p, uint64_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  std::memcpy(p, &v, sizeof v);
}

inline void EncodeDouble(void* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  EncodeFixed64(p, bits);
}

inline void PutFixed32(std::string* dst, uint32_t v) {
  char buf[4];
  EncodeFixed32(buf, v);
  dst->append(buf, sizeof buf);
}

inline void PutFixed64(std::string* dst, uint64_t v) {
  char buf[8];
  EncodeFixed64(buf, v);
  dst->append(buf, sizeof buf);
}

}  // namespace wqstore

#endif  // WQSQL_STORE_CODING_H_
