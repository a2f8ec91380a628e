// Console codeset detection and the conversions of cell text.
#include "terminal/console.h"

#include <langinfo.h>

#include <cstdint>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace {

ConsoleCodeset g_codeset = ConsoleCodeset::kAscii;

// Codeset names are equal when they differ only in the case of A to Z and in
// the dashes and underscores they hold: "utf8" names "UTF-8".
bool SameCodesetName(const char* a, const char* b) {
  for (;;) {
    while (*a == '-' || *a == '_') ++a;
    while (*b == '-' || *b == '_') ++b;
    const char x = AsciiLower(*a);
    if (x != AsciiLower(*b)) return false;
    if (x == 0) return true;
    ++a, ++b;
  }
}

}  // namespace

void InitConsoleCodeset() {
  const char* cs = nl_langinfo(CODESET);
  if (cs != nullptr && SameCodesetName(cs, "UTF-8")) {
    g_codeset = ConsoleCodeset::kUtf8;
  } else if (cs != nullptr && SameCodesetName(cs, "ISO-8859-1")) {
    g_codeset = ConsoleCodeset::kLatin1;
  } else {
    g_codeset = ConsoleCodeset::kAscii;
  }
}

ConsoleCodeset GetConsoleCodeset() { return g_codeset; }

void SetConsoleCodeset(ConsoleCodeset cs) { g_codeset = cs; }

size_t ConsoleConvert(const char* src, size_t n, char* dst) {
  char* o = dst;
  const ConsoleCodeset cs = g_codeset;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(src[i]);
    if (IsControlCharacter(c)) {
      *o++ = '?';
    } else if (c < 0x80) {
      *o++ = static_cast<char>(c);
    } else if (cs == ConsoleCodeset::kUtf8) {
      *o++ = static_cast<char>(0xC0 | (c >> 6));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (cs == ConsoleCodeset::kLatin1) {
      *o++ = static_cast<char>(c);
    } else {
      *o++ = '?';
    }
  }
  *o = 0;
  return static_cast<size_t>(o - dst);
}

size_t Utf8ToConsole(const char* s, size_t n, size_t max_chars, char* dst, size_t* chars) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  const unsigned char* const end = p + n;
  const ConsoleCodeset cs = g_codeset;
  char* o = dst;
  size_t count = 0;
  while (p < end && count < max_chars) {
    ++count;
    const unsigned char b = *p;
    if (b < 0x80) {
      *o++ = IsControlCharacter(b) ? '?' : static_cast<char>(b);
      ++p;
      continue;
    }
    uint32_t cp;
    const size_t len = DecodeUtf8(p, end, &cp);
    if (len == 0) {
      *o++ = '?';
      ++p;
      continue;
    }
    p += len;
    // A character of ISO-8859-1 that is no control; above U+00FF none
    // that the cell text can hold.
    if (cp > 0xFF || IsControlCharacter(cp) || cs == ConsoleCodeset::kAscii) {
      *o++ = '?';
    } else if (cs == ConsoleCodeset::kUtf8) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(cp);
    }
  }
  *chars = count;
  return static_cast<size_t>(o - dst);
}
