// The rule for class and member names: non-empty, well-formed UTF-8, no
// control character. The reader's validator and the writer both apply it.
// And the names of the catalogue's pseudo tables, which no class can take.
#ifndef WQSQL_STORE_NAMES_H_
#define WQSQL_STORE_NAMES_H_

#include <string_view>

#include "platform/status.h"

namespace wqstore {

// Success when `name` is a usable name. Otherwise the message says why:
// "empty", or "invalid UTF-8" or "control character" (a NUL counts as one)
// followed by " at byte " and the offset of the first byte of the offending
// sequence.
Status CheckName(std::string_view name);

// The pseudo tables that list the catalogue. A select names them in any
// ASCII case, so a class whose name equals one of them ignoring case could
// never be selected.
constexpr char kClassesTableName[] = "sys$tables";
constexpr char kClassStatsTableName[] = "sys$tablestats";
bool IsCatalogueTableName(std::string_view name);

}  // namespace wqstore

#endif  // WQSQL_STORE_NAMES_H_
