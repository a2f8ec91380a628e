// Text rules and helpers of the JSON source reader.
#include "tools/source_text.h"

#include <algorithm>
#include <cstring>

namespace wqsource {

const char* NameFault(std::string_view name) {
  if (name.empty()) return "is empty";
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    switch (c) {
      case ' ': return "contains a blank";
      case '\t': return "contains a tab";
      case ';': return "contains a semicolon";
      case ',': return "contains a comma";
      case '\n': return "contains a newline";
      default: break;
    }
    if (c < 0x20 || c == 0x7f) return "contains a control character";
    // U+0080 to U+009F are encoded as C2 80 to C2 9F.
    if (c == 0xc2 && i + 1 < name.size()) {
      const unsigned char n = static_cast<unsigned char>(name[i + 1]);
      if (n >= 0x80 && n <= 0x9f) return "contains a control character";
    }
  }
  return nullptr;
}

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsContinuation(unsigned char c) { return (c & 0xc0) == 0x80; }

}  // namespace

bool IsReservedClassName(std::string_view name) {
  return EqualsNoCase(name, "sys$tables") || EqualsNoCase(name, "sys$tablestats");
}

std::string Quote(std::string_view text, size_t max_chars) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsContinuation(c) && chars++ == max_chars) {
      out += "...";
      break;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c == 0xc2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9f &&
               IsContinuation(static_cast<unsigned char>(text[i + 1]))) {
      // A C1 control character (U+0080 to U+009F).
      const unsigned char n = static_cast<unsigned char>(text[++i]);
      out += "\\u00";
      out += kHex[n >> 4];
      out += kHex[n & 15];
    } else {
      out += static_cast<char>(c);
    }
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
  if (utf8.size() == 1) {
    const unsigned char c = static_cast<unsigned char>(utf8[0]);
    return c < 0x80 ? c : -1;
  }
  if (utf8.size() == 2) {
    const unsigned char a = static_cast<unsigned char>(utf8[0]);
    const unsigned char b = static_cast<unsigned char>(utf8[1]);
    if ((a == 0xc2 || a == 0xc3) && IsContinuation(b)) return (a & 0x1f) << 6 | (b & 0x3f);
  }
  return -1;
}

int TypeCodeOfName(std::string_view name) {
  static const char* const kNames[] = {"string", "int", "double", "char", "blob", "ref"};
  for (int i = 0; i < 6; ++i) {
    if (name == kNames[i]) return i + 1;
  }
  return -1;
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
  lc.column = 1;
  for (size_t i = line_start; i < offset; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[i]))) ++lc.column;
  }
  return lc;
}

}  // namespace wqsource
