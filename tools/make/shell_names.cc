// ShellTypableNameFault.
#include "tools/make/shell_names.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf8.h"
#include "store/names.h"

namespace wqsource {

namespace {

// The fault of a name holding `c`, one of the shell's delimiters.
const char* DelimiterFault(char c) {
  switch (c) {
    case ' ': return "contains a blank";
    case '\t': return "contains a tab";
    case ';': return "contains a semicolon";
    case ',': return "contains a comma";
    case '\n': return "contains a newline";
    default: return "contains a character that ends a word in the shell";
  }
}

}  // namespace

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
    if (cp != 0 && cp < 0x80 &&
        std::strchr(wqstore::kColumnDelimiters, static_cast<int>(cp)) != nullptr) {
      return DelimiterFault(static_cast<char>(cp));
    }
    if (IsControlCharacter(cp)) return "contains a control character";
    p += len;
  }
  return nullptr;
}

}  // namespace wqsource
