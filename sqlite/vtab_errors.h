// The one way the extension's virtual tables report a fault to SQLite: the
// message goes to the table (xBestIndex, xFilter, xNext) or to the value
// (xColumn), always naming the file it concerns.
#ifndef WQSQL_SQLITE_VTAB_ERRORS_H_
#define WQSQL_SQLITE_VTAB_ERRORS_H_

#include <new>
#include <string>

#include "sqlite/sqlite_api.h"
#include "wqstore/repository.h"
#include "wqstore/result.h"

namespace wqsqlite {

// Replaces the table's error message with `message`; returns `code`.
int SetError(sqlite3_vtab* table, int code, const std::string& message);

// SQLITE_OK while the file is as it was opened; otherwise SQLITE_ERROR with
// "PATH: file changed since it was opened" on the table.
int CheckUnchanged(sqlite3_vtab* table, const wqstore::Repository& repo);

// A failed read of one value: the store's message, with the file's path in
// front when the store did not name it.
void ResultError(sqlite3_context* context, const wqstore::Repository& repo,
                 const wqstore::Result& result);

// Runs `body`, which returns an SQLite result code, and answers
// SQLITE_NOMEM when it runs out of memory: no exception leaves a call from
// SQLite.
template <typename Body>
int NoThrow(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

}  // namespace wqsqlite

#endif  // WQSQL_SQLITE_VTAB_ERRORS_H_
