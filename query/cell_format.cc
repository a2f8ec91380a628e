// Cell formats of the object table.
#include "query/cell_format.h"

#include <cstdio>
#include <cstring>

int ColumnWidth(int type) {
  switch (type) {
    case 1: return 75;  // string
    case 2: return 10;  // integer
    case 3: return 11;  // floating point
    case 4: return 1;   // character
    case 5: return 18;  // blob: six bytes in hex with blanks between
    case 6:
    case 8: return 50;  // object reference
    case 7:
    case 9:
    case 11: return 3;  // "n/a"
    default: return 3;  // code 10 and unknown codes: always empty
  }
}

size_t FormatIntCell(int32_t v, char* buf) {
  return static_cast<size_t>(std::snprintf(buf, kCellBufferSize, "%10d", v));
}

size_t FormatDoubleCell(double v, char* buf) {
  return static_cast<size_t>(std::snprintf(buf, kCellBufferSize, "%7.3g", v));
}

size_t FormatCharCell(char c, char* buf) {
  const unsigned char code = static_cast<unsigned char>(c);
  if (code == 0 || code >= 128) {
    buf[0] = 0;
    return 0;
  }
  buf[0] = static_cast<char>(code);
  buf[1] = 0;
  return 1;
}

size_t FormatBlobCell(const unsigned char* data, int32_t len, char* buf) {
  static const char kHex[] = "0123456789abcdef";
  size_t n = 0;
  if (data != nullptr && len > 0) {
    const int32_t shown = len < 6 ? len : 6;
    for (int32_t i = 0; i < shown; ++i) {
      if (i > 0) buf[n++] = ' ';
      buf[n++] = kHex[data[i] >> 4];
      buf[n++] = kHex[data[i] & 0x0F];
    }
  }
  buf[n] = 0;
  return n;
}

size_t CutText(const char* s, size_t width, char* buf) {
  size_t n = 0;
  while (n < width && s[n] != 0) {
    buf[n] = s[n];
    ++n;
  }
  buf[n] = 0;
  return n;
}

size_t Utf8PrefixBytes(const char* s, size_t max_chars, size_t* chars) {
  size_t bytes = 0;
  size_t count = 0;
  for (;;) {
    const unsigned char b = static_cast<unsigned char>(s[bytes]);
    if (b == 0) break;
    // Every byte that is not a continuation byte starts a character.
    if ((b & 0xC0) != 0x80) {
      if (count == max_chars) break;
      ++count;
    }
    ++bytes;
  }
  *chars = count;
  return bytes;
}
