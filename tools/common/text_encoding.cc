// The text forms of values. Strings are escaped a chunk at a time into
// room taken from the sink, so a long string costs no temporary copy;
// doubles use the shortest round-trip form of std::to_chars.
#include "tools/common/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace wqtools {

namespace {

// Bytes of a string that JSON text must escape: the control characters,
// the quote and the backslash.
struct JsonEscapes {
  bool escape[256];
  constexpr JsonEscapes() : escape() {
    for (int c = 0; c < 0x20; c++) escape[c] = true;
    escape[static_cast<unsigned char>('"')] = true;
    escape[static_cast<unsigned char>('\\')] = true;
  }
};
constexpr JsonEscapes kJsonEscapes;

// Bytes per chunk of a string: its escaped form (at most six bytes a
// byte) fits the room a sink hands out.
constexpr size_t kChunk = TextSink::kRoomMax / 8;

constexpr char kHexDigits[] = "0123456789abcdef";

bool NeedsCsvQuotes(const char* s, size_t n) {
  for (size_t i = 0; i < n; i++) {
    const char c = s[i];
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

}  // namespace

void JsonString(TextSink& out, const char* s, size_t n) {
  out.Put('"');
  while (n > 0) {
    const size_t part = std::min(n, kChunk);
    char* p = out.Room(part * 6);
    for (size_t i = 0; i < part; i++) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (!kJsonEscapes.escape[c]) {
        *p++ = static_cast<char>(c);
        continue;
      }
      *p++ = '\\';
      switch (c) {
        case '"': *p++ = '"'; break;
        case '\\': *p++ = '\\'; break;
        case '\n': *p++ = 'n'; break;
        case '\r': *p++ = 'r'; break;
        case '\t': *p++ = 't'; break;
        case '\b': *p++ = 'b'; break;
        case '\f': *p++ = 'f'; break;
        default:
          *p++ = 'u';
          *p++ = '0';
          *p++ = '0';
          *p++ = kHexDigits[c >> 4];
          *p++ = kHexDigits[c & 15];
          break;
      }
    }
    out.Commit(p);
    s += part;
    n -= part;
  }
  out.Put('"');
}

std::string JsonQuoted(std::string_view s) {
  std::string q = "\"";
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!kJsonEscapes.escape[c]) {
      q += ch;
    } else if (c == '"' || c == '\\') {
      q += '\\';
      q += ch;
    } else {
      q += "\\u00";
      q += kHexDigits[c >> 4];
      q += kHexDigits[c & 15];
    }
  }
  q += '"';
  return q;
}

void CsvField(TextSink& out, const char* s, size_t n, bool quote_empty) {
  if (n == 0) {
    if (quote_empty) out.Text("\"\"");
    return;
  }
  if (!NeedsCsvQuotes(s, n)) {
    out.Write(s, n);
    return;
  }
  out.Put('"');
  for (;;) {
    const char* quote = static_cast<const char*>(std::memchr(s, '"', n));
    if (quote == nullptr) break;
    const size_t upto = static_cast<size_t>(quote - s) + 1;
    out.Write(s, upto);
    out.Put('"');
    s += upto;
    n -= upto;
  }
  out.Write(s, n);
  out.Put('"');
}

size_t DoubleText(double v, char* to) {
  if (std::isnan(v)) {
    std::memcpy(to, "NaN", 3);
    return 3;
  }
  if (std::isinf(v)) {
    if (v < 0) {
      std::memcpy(to, "-Infinity", 9);
      return 9;
    }
    std::memcpy(to, "Infinity", 8);
    return 8;
  }
  // The shortest form fits in 24 bytes; the rest is room for ".0".
  char* end = std::to_chars(to, to + kNumberTextMax - 2, v).ptr;
  bool has_point = false;
  for (const char* p = to; p < end; p++) {
    if (*p == '.' || *p == 'e') {
      has_point = true;
      break;
    }
  }
  if (!has_point) {
    *end++ = '.';
    *end++ = '0';
  }
  return static_cast<size_t>(end - to);
}

size_t SourceDoubleText(double v, char* to) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  if (!std::isnan(v) || bits == kSourceNaNBits) return DoubleText(v, to);
  std::memcpy(to, "NaN:", 4);
  for (int i = 0; i < 16; i++) to[4 + i] = kHexDigits[(bits >> (60 - 4 * i)) & 15];
  return 20;
}

size_t IntText(int64_t v, char* to) {
  return static_cast<size_t>(std::to_chars(to, to + kNumberTextMax, v).ptr - to);
}

size_t ObjectIdText(int32_t class_number, uint32_t position, char* to) {
  char* p = std::to_chars(to, to + kNumberTextMax, class_number).ptr;
  *p++ = ':';
  p = std::to_chars(p, to + kNumberTextMax, position).ptr;
  return static_cast<size_t>(p - to);
}

size_t Latin1CharText(uint8_t c, char* to) {
  if (c == 0) return 0;
  if (c < 0x80) {
    to[0] = static_cast<char>(c);
    return 1;
  }
  to[0] = static_cast<char>(0xC0 | (c >> 6));
  to[1] = static_cast<char>(0x80 | (c & 0x3F));
  return 2;
}

void HexText(TextSink& out, const unsigned char* data, size_t n) {
  while (n > 0) {
    const size_t part = std::min(n, TextSink::kRoomMax / 2);
    char* p = out.Room(part * 2);
    for (size_t i = 0; i < part; i++) {
      *p++ = kHexDigits[data[i] >> 4];
      *p++ = kHexDigits[data[i] & 15];
    }
    out.Commit(p);
    data += part;
    n -= part;
  }
}

}  // namespace wqtools
