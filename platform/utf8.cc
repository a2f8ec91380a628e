// The whole-text UTF-8 check.
#include "platform/utf8.h"

size_t FindInvalidUtf8(const unsigned char* p, size_t n) {
  const unsigned char* const end = p + n;
  size_t i = 0;
  while (i < n) {
    if (n - i >= 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (AllAsciiWithoutNul(w)) {
        i += 8;
        continue;
      }
    }
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, end, &cp);
    if (len == 0 || cp == 0) return i;
    i += len;
  }
  return n;
}
