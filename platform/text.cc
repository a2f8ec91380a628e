// ErrnoText and ShownPath.
#include "platform/text.h"

#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf8.h"

std::string ErrnoText(int err) { return std::strerror(err); }

namespace {

// True when `name` would show on a terminal as plain text.
bool ShowsAsItIs(std::string_view name) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const unsigned char* end = p + name.size();
  while (p < end) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p, end, &cp);
    if (len == 0 || IsControlCharacter(cp) || IsInvisibleFormattingCharacter(cp)) return false;
    p += len;
  }
  return true;
}

}  // namespace

std::string ShownPath(std::string_view name) {
  if (ShowsAsItIs(name)) return std::string(name);
  static const char kHex[] = "0123456789abcdef";
  std::string out = "$'";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const unsigned char* end = p + name.size();
  while (p < end) {
    uint32_t cp;
    size_t len = DecodeUtf8(p, end, &cp);
    if (len == 0) {
      len = 1;
      cp = *p;  // a byte of no character: \xHH below
    }
    const char* named = nullptr;
    switch (cp) {
      case '\a': named = "\\a"; break;
      case '\b': named = "\\b"; break;
      case '\t': named = "\\t"; break;
      case '\n': named = "\\n"; break;
      case '\v': named = "\\v"; break;
      case '\f': named = "\\f"; break;
      case '\r': named = "\\r"; break;
      case 0x1B: named = "\\e"; break;
      case '\\': named = "\\\\"; break;
      case '\'': named = "\\'"; break;
      default: break;
    }
    if (named != nullptr) {
      out += named;
    } else if (len == 1 && (cp >= 0x80 || IsControlCharacter(cp))) {
      out += "\\x";
      out += kHex[cp >> 4];
      out += kHex[cp & 15];
    } else if (IsControlCharacter(cp) || IsInvisibleFormattingCharacter(cp)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 15];
    } else {
      out.append(reinterpret_cast<const char*>(p), len);
    }
    p += len;
  }
  out += '\'';
  return out;
}
