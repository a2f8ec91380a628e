// Text rules and helpers of the JSON source reader.
#include "tools/source_text.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace wqsource {

const char* ShellTypableNameFault(std::string_view name) {
  if (name.empty()) return "is empty";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const unsigned char* end = p + name.size();
  while (p < end) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p, end, &cp);
    if (len == 0) {  // not from the parser, which checks the encoding
      ++p;
      continue;
    }
    switch (cp) {
      case ' ': return "contains a blank";
      case '\t': return "contains a tab";
      case ';': return "contains a semicolon";
      case ',': return "contains a comma";
      case '\n': return "contains a newline";
      default: break;
    }
    if (IsControlCharacter(cp)) return "contains a control character";
    p += len;
  }
  return nullptr;
}

std::string Quote(std::string_view text, size_t max_chars) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  size_t chars = 0;
  while (p < end) {
    uint32_t cp;
    size_t len = DecodeUtf8(p, end, &cp);
    if (chars++ == max_chars) {
      out += "...";
      break;
    }
    if (len == 0) {  // not from the parser, which checks the encoding
      len = 1;
      out += static_cast<char>(*p);
    } else if (cp == '"' || cp == '\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (IsControlCharacter(cp)) {
      out += "\\u00";
      out += kHex[cp >> 4];
      out += kHex[cp & 15];
    } else {
      out.append(reinterpret_cast<const char*>(p), len);
    }
    p += len;
  }
  out += '"';
  return out;
}

namespace {

// Per byte its value as a hexadecimal digit, or 0xff.
struct HexTable {
  uint8_t value[256];
  constexpr HexTable() : value() {
    for (int c = 0; c < 256; ++c) value[c] = 0xff;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<uint8_t>(c - 'A' + 10);
  }
};
constexpr HexTable kHexTable;

}  // namespace

bool DecodeHex(std::string_view text, std::vector<uint8_t>& out, size_t& bad) {
  // Pairs are decoded straight into the sized vector; on the first faulty
  // pair the digits are looked at one by one to name the offending one.
  out.resize(text.size() / 2);
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  uint8_t* o = out.data();
  const size_t pairs = text.size() / 2;
  for (size_t p = 0; p < pairs; ++p) {
    const uint8_t hi = kHexTable.value[in[2 * p]];
    const uint8_t lo = kHexTable.value[in[2 * p + 1]];
    if ((hi | lo) & 0xf0) {
      bad = hi == 0xff ? 2 * p : 2 * p + 1;
      out.clear();
      return false;
    }
    o[p] = static_cast<uint8_t>(hi << 4 | lo);
  }
  if (text.size() % 2 != 0) {
    const size_t last = text.size() - 1;
    bad = kHexTable.value[in[last]] == 0xff ? last : text.size();
    out.clear();
    return false;
  }
  return true;
}

int DecodeLatin1Char(std::string_view utf8) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.data());
  uint32_t cp;
  if (utf8.empty() || DecodeUtf8(p, p + utf8.size(), &cp) != utf8.size() || cp > 0xFF) return -1;
  return static_cast<int>(cp);
}

LineColumn LocateOffset(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  LineColumn lc;
  lc.line = 1;
  size_t line_start = 0;
  const char* p = text.data();
  const char* end = p + offset;
  while (true) {
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (nl == nullptr) break;
    ++lc.line;
    p = static_cast<const char*>(nl) + 1;
    line_start = static_cast<size_t>(p - text.data());
  }
  // A parse error can come at a byte that cuts a sequence short; the
  // bytes of such a broken sequence count as one character.
  lc.column = 1;
  const unsigned char* c = reinterpret_cast<const unsigned char*>(text.data()) + line_start;
  const unsigned char* stop = reinterpret_cast<const unsigned char*>(text.data()) + offset;
  while (c < stop) {
    uint32_t cp;
    const size_t len = DecodeUtf8(c, stop, &cp);
    ++lc.column;
    if (len > 0) {
      c += len;
    } else {
      for (++c; c < stop && DecodeUtf8(c, stop, &cp) == 0;) ++c;
    }
  }
  return lc;
}

}  // namespace wqsource
