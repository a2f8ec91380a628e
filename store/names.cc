// CheckName.
#include "store/names.h"

#include <cstdint>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace wqstore {

const char* CheckName(const unsigned char* p, size_t n, size_t* where) {
  *where = 0;
  if (n == 0) return "empty";
  size_t i = 0;
  while (i < n) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, p + n, &cp);
    *where = i;
    if (len == 0) return "invalid UTF-8";
    if (IsControlCharacter(cp)) return "control character";
    i += len;
  }
  return nullptr;
}

bool IsCatalogueTableName(std::string_view name) {
  return EqualsIgnoreCase(name, kClassesTableName) || EqualsIgnoreCase(name, kClassStatsTableName);
}

}  // namespace wqstore
