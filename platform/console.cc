// Console codeset detection and the per-cell conversion.
#include "platform/console.h"

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
    // One strictly decoded sequence (no overlongs, surrogates or values above
    // U+10FFFF); an invalid or cut sequence stands for "?" and decoding goes
    // on at the next byte.
    size_t need;
    unsigned cp;
    unsigned min;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1, cp = b & 0x1Fu, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, cp = b & 0x0Fu, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, cp = b & 0x07u, min = 0x10000;
    } else {
      *o++ = '?';
      ++p;
      continue;
    }
    bool ok = static_cast<size_t>(end - p) > need;
    for (size_t i = 1; ok && i <= need; ++i) {
      if ((p[i] & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      *o++ = '?';
      ++p;
      continue;
    }
    p += need + 1;
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
