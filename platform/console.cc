// Console codeset detection and the per-cell conversion.
#include "platform/console.h"
#include "platform/utf8_decode.h"

#include <langinfo.h>

#include <cstring>

namespace {

ConsoleCodeset g_codeset = ConsoleCodeset::kAscii;

bool SameName(const char* a, const char* b) {
  // Compares codeset names ignoring case, '-' and '_'.
  for (;;) {
    while (*a == '-' || *a == '_') ++a;
    while (*b == '-' || *b == '_') ++b;
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == 0) return true;
    ++a, ++b;
  }
}

}  // namespace

void InitConsoleCodeset() {
  const char* cs = nl_langinfo(CODESET);
  if (cs != nullptr && SameName(cs, "UTF-8")) {
    g_codeset = ConsoleCodeset::kUtf8;
  } else if (cs != nullptr && (SameName(cs, "ISO-8859-1") || SameName(cs, "ISO8859-1"))) {
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
    if (c >= 0x20 && c < 0x7F) {
      *o++ = static_cast<char>(c);
    } else if (c <= 0x9F) {  // C0 controls, DEL and C1 controls
      *o++ = '?';
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

bool CharToOemA(const char* src, char* dst) {
  ConsoleConvert(src, std::strlen(src), dst);
  return true;
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
      *o++ = (b >= 0x20 && b != 0x7F) ? static_cast<char>(b) : '?';
      ++p;
      continue;
    }
    unsigned cp;
    const size_t len = DecodeUtf8Sequence(p, end, &cp);
    if (len == 0) {
      *o++ = '?';
      ++p;
      continue;
    }
    p += len;
    // A character of ISO-8859-1 from U+00A0 up; below that a C1 control;
    // above U+00FF none that the cell text can hold.
    if (cp < 0xA0 || cp > 0xFF || cs == ConsoleCodeset::kAscii) {
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
