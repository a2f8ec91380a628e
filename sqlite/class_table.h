// The module "wqstore": a read-only virtual table over the objects of one
// class of a repository file,
//
//   CREATE VIRTUAL TABLE parts USING wqstore(FILE, CLASS)
//
// with FILE a path (a string literal or a bare word) and CLASS a class
// name. Its columns are the class's members in member order (see
// column_values.h), its rowid is the object's position, and the hidden
// column wq_id is the object's id CLASSNUMBER:POSITION. A lookup by rowid or
// wq_id is one seek; rowid ranges narrow the scan.
#ifndef WQSQL_SQLITE_CLASS_TABLE_H_
#define WQSQL_SQLITE_CLASS_TABLE_H_

#include <memory>

#include "sqlite/file_pool.h"
#include "sqlite/sqlite_api.h"

namespace wqsqlite {

// Registers the module on `db`; its tables open files through `pool`.
int RegisterClassTables(sqlite3* db, const std::shared_ptr<FilePool>& pool);

}  // namespace wqsqlite

#endif  // WQSQL_SQLITE_CLASS_TABLE_H_
