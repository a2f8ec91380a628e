// UTF-8 validation with an eight-byte ASCII fast path, and the name rule.
#include "store/utf8.h"

#include <cstdint>

#include "store/coding.h"

namespace wqstore {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;

// True when the eight bytes are all ASCII and none is zero.
inline bool PlainAscii8(const unsigned char* p) {
  uint64_t w = DecodeFixed64(p);
  return ((w | ((w - kLowBits) & ~w)) & kHighBits) == 0;
}

// Decodes one sequence at p (n > 0 bytes left). Returns its length and sets
// *cp, or returns 0 when it is not well-formed or is a NUL.
inline size_t DecodeOne(const unsigned char* p, size_t n, uint32_t* cp) {
  unsigned c = p[0];
  if (c < 0x80) {
    *cp = c;
    return c != 0 ? 1 : 0;
  }
  auto cont = [](unsigned b) { return (b & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) {
    if (n < 2 || !cont(p[1])) return 0;
    *cp = ((c & 0x1F) << 6) | (p[1] & 0x3F);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (n < 3) return 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (c == 0xE0)
      lo = 0xA0;  // overlong
    else if (c == 0xED)
      hi = 0x9F;  // surrogates
    if (p[1] < lo || p[1] > hi || !cont(p[2])) return 0;
    *cp = ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (n < 4) return 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (c == 0xF0)
      lo = 0x90;  // overlong
    else if (c == 0xF4)
      hi = 0x8F;  // above U+10FFFF
    if (p[1] < lo || p[1] > hi || !cont(p[2]) || !cont(p[3])) return 0;
    *cp = ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    return 4;
  }
  return 0;
}

}  // namespace

size_t FindInvalidUtf8(const unsigned char* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    if (n - i >= 8 && PlainAscii8(p + i)) {
      i += 8;
      continue;
    }
    uint32_t cp;
    size_t len = DecodeOne(p + i, n - i, &cp);
    if (len == 0) return i;
    i += len;
  }
  return n;
}

const char* CheckName(const unsigned char* p, size_t n, size_t* where) {
  *where = 0;
  if (n == 0) return "empty";
  size_t i = 0;
  while (i < n) {
    uint32_t cp;
    size_t len = DecodeOne(p + i, n - i, &cp);
    *where = i;
    if (len == 0) return p[i] == 0 ? "control character" : "invalid UTF-8";
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return "control character";
    i += len;
  }
  return nullptr;
}

}  // namespace wqstore
