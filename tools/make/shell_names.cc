// ShellTypableNameFault.
#include "tools/make/shell_names.h"

#include <cstddef>
#include <cstdint>

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

}  // namespace wqsource
