// The entry point of the loadable extension wqstore.so: SQLite finds
// sqlite3_wqstore_init by the file's name (".load wqstore"), and it
// registers the class tables and the catalogue functions on the connection,
// with one pool of open files for them all.
#include <memory>
#include <new>

#include "sqlite/catalog_tables.h"
#include "sqlite/class_table.h"
#include "sqlite/file_pool.h"
#include "sqlite/sqlite_api.h"

SQLITE_EXTENSION_INIT1

extern "C" [[gnu::visibility("default")]] int sqlite3_wqstore_init(
    sqlite3* db, char** error, const sqlite3_api_routines* api) {
  // Every connection hands in the same table; storing it only when it
  // differs keeps connections opened on several threads from writing it
  // while others read it.
  if (sqlite3_api != api) {
    SQLITE_EXTENSION_INIT2(api);
  }
  std::shared_ptr<wqsqlite::FilePool> pool;
  try {
    pool = std::make_shared<wqsqlite::FilePool>();
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
  int rc = wqsqlite::RegisterClassTables(db, pool);
  if (rc == SQLITE_OK) rc = wqsqlite::RegisterCatalogTables(db, pool);
  if (rc != SQLITE_OK)
    *error = sqlite3_mprintf("wqstore: cannot register its modules: %s", sqlite3_errstr(rc));
  return rc;
}
