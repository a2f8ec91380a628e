// The console conversion: ISO-8859-1 cell text to the character set of the
// operator's console, with every control character made harmless; and the
// same conversion fused with the UTF-8 to ISO-8859-1 step for stored text.
#ifndef WQSQL_PLATFORM_CONSOLE_H_
#define WQSQL_PLATFORM_CONSOLE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

enum class ConsoleCodeset { kUtf8, kLatin1, kAscii };

// Reads the codeset of the current LC_CTYPE locale (call after setlocale).
void InitConsoleCodeset();
ConsoleCodeset GetConsoleCodeset();
void SetConsoleCodeset(ConsoleCodeset cs);

// Converts the zero-terminated ISO-8859-1 text `src` into `dst`, which must
// hold 2 * strlen(src) + 1 bytes. Each control character (U+0000..U+001F,
// U+007F..U+009F) becomes "?". The other characters become UTF-8 on a
// UTF-8 console, stay as they are on an ISO-8859-1 console, and become "?"
// when 128 or above on any other. Every source byte yields exactly one
// character. Returns the number of bytes written, without the terminator.
size_t ConsoleConvert(const char* src, size_t n, char* dst);

// The name the shell's table printer uses for the conversion; true always.
bool CharToOemA(const char* src, char* dst);

// Console bytes of the first `max_chars` characters of the UTF-8 text `s`
// of `n` bytes, in one pass: the same bytes as converting it to ISO-8859-1
// (Utf8ToLatin1: "?" for invalid UTF-8 and for characters above U+00FF),
// cutting that to `max_chars` characters and passing the cut through
// ConsoleConvert. `dst` holds 2 * max_chars bytes; nothing is terminated.
// Returns the bytes written and stores the characters in `*chars`.
size_t Utf8ToConsole(const char* s, size_t n, size_t max_chars, char* dst, size_t* chars);

// True when each of the 8 bytes of `w` is printable ASCII (0x20..0x7E), the
// bytes every conversion above leaves as they are.
inline bool AllPrintableAscii(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  // A byte above 0x7E gets its high bit from the sum or already has it; once
  // no byte has its high bit, the difference flags exactly the bytes < 0x20.
  const uint64_t above = ((w + kOnes) | w) & kHigh;
  const uint64_t below = (w - 0x20 * kOnes) & ~w & kHigh;
  return (above | below) == 0;
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

#endif  // WQSQL_PLATFORM_CONSOLE_H_
