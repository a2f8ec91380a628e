// The table-valued functions on a repository's directory:
//
//   wq_classes(FILE)          number, name, object_size, object_count
//   wq_members(FILE, CLASS)   number, name, type, nullable
//
// one row per class in stored order, or per member of the class in member
// order; type is the store's type name ("int", "ref", "type7"), nullable 0
// or 1. They take their path from SQL, so they run in statements typed
// directly only, not in views or triggers a database file brings along.
#ifndef WQSQL_SQLITE_CATALOG_TABLES_H_
#define WQSQL_SQLITE_CATALOG_TABLES_H_

#include <memory>

#include "sqlite/file_pool.h"
#include "sqlite/sqlite_api.h"

namespace wqsqlite {

// Registers both functions on `db`; they open files through `pool`.
int RegisterCatalogTables(sqlite3* db, const std::shared_ptr<FilePool>& pool);

}  // namespace wqsqlite

#endif  // WQSQL_SQLITE_CATALOG_TABLES_H_
