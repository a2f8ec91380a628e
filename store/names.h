// The rule for class and member names: non-empty, well-formed UTF-8, no
// control character. The reader's validator and the writer both apply it.
// And the names of the catalogue's pseudo tables, which no class can take.
#ifndef WQSQL_STORE_NAMES_H_
#define WQSQL_STORE_NAMES_H_

#include <cstddef>
#include <string_view>

namespace wqstore {

// Why p[0, n) is not a usable name: "empty", "invalid UTF-8" or "control
// character" (a NUL counts as one), with the offset of the offending
// character's first byte in *where (0 for "empty"); null when the name is
// fine. The texts are static.
const char* CheckName(const unsigned char* p, size_t n, size_t* where);

// The pseudo tables that list the catalogue. A select names them in any
// ASCII case, so a class whose name equals one of them ignoring case could
// never be selected.
constexpr char kClassesTableName[] = "sys$tables";
constexpr char kClassStatsTableName[] = "sys$tablestats";
bool IsCatalogueTableName(std::string_view name);

}  // namespace wqstore

#endif  // WQSQL_STORE_NAMES_H_
