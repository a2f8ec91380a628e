// ASCII text primitives shared by every layer: case-insensitive comparison
// (letters A to Z only), the control-character rule, and the word-at-a-time
// tests behind the fast paths for plain ASCII text.
#ifndef WQSQL_PLATFORM_ASCII_H_
#define WQSQL_PLATFORM_ASCII_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// `c` with A to Z made lower case; every other byte as it is.
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal when the texts differ at most in the case of the letters A to Z.
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}
inline bool EqualsIgnoreCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const char x = AsciiLower(*a);
    if (x != AsciiLower(*b)) return false;
    if (x == '\0') return true;
  }
}

// True when `text` begins with `prefix`, ignoring the case of A to Z.
inline bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return prefix.size() <= text.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The control characters: C0 (U+0000 to U+001F), DEL and C1 (U+0080 to
// U+009F). Everything that shows them to a person replaces or escapes them.
inline bool IsControlCharacter(uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// True when each of the 8 bytes of `w` is printable ASCII (0x20..0x7E).
inline bool AllPrintableAscii(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  // A byte above 0x7E gets its high bit from the sum or already has it; once
  // no byte has its high bit, the difference flags exactly the bytes < 0x20.
  const uint64_t above = ((w + kOnes) | w) & kHigh;
  const uint64_t below = (w - 0x20 * kOnes) & ~w & kHigh;
  return (above | below) == 0;
}

// True when each of the 8 bytes of `w` is ASCII and none is NUL: the bytes
// that are well-formed UTF-8 text on their own.
inline bool AllAsciiWithoutNul(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  return ((w | ((w - kOnes) & ~w)) & kHigh) == 0;
}

// Copies the `n` bytes of `s` to `dst` when all of them are printable ASCII
// and returns true; otherwise returns false, `dst` holding some of them.
// Reads and writes only inside the `n` bytes, 16 or 8 at a time.
inline bool CopyPrintableAscii(const char* s, size_t n, char* dst) {
#ifdef __SSE2__
  if (n >= 16) {
    // As signed bytes, printable ASCII is above 0x1F and below 0x7F; every
    // byte from 0x80 up is negative.
    const __m128i low = _mm_set1_epi8(0x1F);
    const __m128i high = _mm_set1_epi8(0x7F);
    auto copy16 = [&](size_t i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i ok = _mm_and_si128(_mm_cmpgt_epi8(v, low), _mm_cmplt_epi8(v, high));
      if (_mm_movemask_epi8(ok) != 0xFFFF) return false;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
      return true;
    };
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      if (!copy16(i)) return false;
    }
    // The last 16 bytes again, overlapping the ones copied.
    return i == n || copy16(n - 16);
  }
#endif
  if (n >= 8) {
    uint64_t w;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::memcpy(&w, s + i, 8);
      if (!AllPrintableAscii(w)) return false;
      std::memcpy(dst + i, &w, 8);
    }
    if (i < n) {  // the last 8 bytes again, overlapping the ones copied
      std::memcpy(&w, s + n - 8, 8);
      if (!AllPrintableAscii(w)) return false;
      std::memcpy(dst + n - 8, &w, 8);
    }
    return true;
  }
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c > 0x7E) return false;
    dst[i] = static_cast<char>(c);
  }
  return true;
}

#endif  // WQSQL_PLATFORM_ASCII_H_
