// Strict UTF-8: the one decoder of a sequence, and the check of whole texts
// with an eight-byte fast path for runs of ASCII.
#ifndef WQSQL_PLATFORM_UTF8_H_
#define WQSQL_PLATFORM_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/ascii.h"

// Decodes the sequence that starts at `p` (before `end`): no overlongs, no
// surrogates, nothing above U+10FFFF. Returns its length (1 to 4) and sets
// *cp, or returns 0 when the bytes at `p` do not start a well-formed
// sequence. A NUL is a well-formed sequence of one byte. Callers that show
// text put "?" for the one byte at `p` on 0 and go on at the next.
inline size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, uint32_t* cp) {
  const unsigned c = p[0];
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  const size_t left = static_cast<size_t>(end - p);
  auto cont = [](unsigned b) { return (b & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) {
    if (left < 2 || !cont(p[1])) return 0;
    *cp = ((c & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (left < 3) return 0;
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80;  // overlong below
    const unsigned hi = c == 0xED ? 0x9F : 0xBF;  // surrogates above
    if (p[1] < lo || p[1] > hi || !cont(p[2])) return 0;
    *cp = ((c & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (left < 4) return 0;
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80;  // overlong below
    const unsigned hi = c == 0xF4 ? 0x8F : 0xBF;  // beyond U+10FFFF above
    if (p[1] < lo || p[1] > hi || !cont(p[2]) || !cont(p[3])) return 0;
    *cp = ((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    return 4;
  }
  return 0;
}

// Characters that show nothing (zero-width characters, joiners, variation
// selectors, tags, the soft hyphen, fillers, the byte order mark) or
// reorder what is shown (bidirectional marks, embeddings, overrides and
// isolates): Unicode's Default_Ignorable_Code_Point and Bidi_Control, from
// the table in platform/invisible_ranges.h. Shown as they are, they hide or
// reorder the text around them.
bool IsInvisibleFormattingCharacter(uint32_t cp);

// The offset of the first byte of p[0, n) that does not begin a well-formed
// sequence or is a NUL; n when there is none.
size_t FindInvalidUtf8(const unsigned char* p, size_t n);

// True when p[0, n) is well-formed UTF-8 without a NUL. Inline so that the
// common all-ASCII string costs a few word tests.
inline bool IsValidUtf8Text(const unsigned char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (!AllAsciiWithoutNul(w)) return FindInvalidUtf8(p + i, n - i) == n - i;
  }
  for (; i < n; i++) {
    if (static_cast<unsigned char>(p[i] - 1) >= 0x7F) return FindInvalidUtf8(p + i, n - i) == n - i;
  }
  return true;
}

#endif  // WQSQL_PLATFORM_UTF8_H_
