// CheckName and the catalogue table names.
#include "store/names.h"

#include <cstdint>

#include "platform/ascii.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace wqstore {

Status CheckName(std::string_view name) {
  if (name.empty()) return Status::Error("empty");
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  for (size_t i = 0; i < n;) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, p + n, &cp);
    if (len == 0) return Status::Error("invalid UTF-8 at byte " + Num(i));
    if (IsControlCharacter(cp))
      return Status::Error("control character at byte " + Num(i));
    i += len;
  }
  return Status::OK();
}

bool IsCatalogueTableName(std::string_view name) {
  return EqualsIgnoreCase(name, kClassesTableName) || EqualsIgnoreCase(name, kClassStatsTableName);
}

}  // namespace wqstore
