// Strict decoding of one UTF-8 sequence, shared by the text conversions.
#ifndef WQSQL_PLATFORM_UTF8_DECODE_H_
#define WQSQL_PLATFORM_UTF8_DECODE_H_

#include <cstddef>

// Decodes the multi-byte sequence that starts at `p` (a byte of 0x80 or more,
// before `end`): no overlongs, no surrogates, nothing above U+10FFFF.
// Returns its length and sets *cp, or returns 0 when the bytes at `p` do
// not start a valid sequence; callers then show "?" for that one byte and go
// on at the next.
inline size_t DecodeUtf8Sequence(const unsigned char* p, const unsigned char* end, unsigned* cp) {
  const unsigned char b = *p;
  size_t need;
  unsigned v;
  unsigned min;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, v = b & 0x1Fu, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, v = b & 0x0Fu, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, v = b & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) <= need) return 0;
  for (size_t i = 1; i <= need; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (p[i] & 0x3Fu);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return need + 1;
}

#endif  // WQSQL_PLATFORM_UTF8_DECODE_H_
