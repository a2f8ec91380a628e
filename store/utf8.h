// UTF-8 checks for stored strings and for class and member names.
#ifndef WQSQL_STORE_UTF8_H_
#define WQSQL_STORE_UTF8_H_

#include <cstddef>
#include <cstdint>

#include "store/coding.h"

namespace wqstore {

// The offset of the first byte of p[0, n) that does not begin a well-formed
// UTF-8 sequence (overlong forms, surrogates and code points above U+10FFFF
// are not well-formed) or is a NUL; n when there is none. Runs of ASCII are
// checked eight bytes at a time.
size_t FindInvalidUtf8(const unsigned char* p, size_t n);

// True when p[0, n) is well-formed UTF-8 without a NUL. Inline so that the
// common all-ASCII string costs a few word tests; anything else goes to
// FindInvalidUtf8.
inline bool IsValidText(const unsigned char* p, size_t n) {
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  constexpr uint64_t kLow = 0x0101010101010101ull;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w = DecodeFixed64(p + i);
    if (((w | ((w - kLow) & ~w)) & kHigh) != 0) return FindInvalidUtf8(p + i, n - i) == n - i;
  }
  for (; i < n; i++) {
    if (static_cast<unsigned char>(p[i] - 1) >= 0x7F) return FindInvalidUtf8(p + i, n - i) == n - i;
  }
  return true;
}

// Why p[0, n) is not a usable name: "empty", "invalid UTF-8 at byte K" or
// "control character at byte K" (U+0000-U+001F, U+007F-U+009F); null when
// it is fine. The texts are static.
const char* CheckName(const unsigned char* p, size_t n, size_t* where);

}  // namespace wqstore

#endif  // WQSQL_STORE_UTF8_H_
