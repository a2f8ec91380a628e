// The rule for class and member names: non-empty, well-formed UTF-8, no
// control character. The reader's validator and the writer both apply it.
#ifndef WQSQL_STORE_NAMES_H_
#define WQSQL_STORE_NAMES_H_

#include <cstddef>

namespace wqstore {

// Why p[0, n) is not a usable name: "empty", "invalid UTF-8" or "control
// character" (a NUL counts as one), with the offset of the offending
// character's first byte in *where (0 for "empty"); null when the name is
// fine. The texts are static.
const char* CheckName(const unsigned char* p, size_t n, size_t* where);

}  // namespace wqstore

#endif  // WQSQL_STORE_NAMES_H_
