// Errors of the virtual tables, as SQLite takes them.
#include "sqlite/vtab_errors.h"

namespace wqsqlite {

int SetError(sqlite3_vtab* table, int code, const std::string& message) {
  sqlite3_free(table->zErrMsg);
  table->zErrMsg = sqlite3_mprintf("%s", message.c_str());
  return code;
}

int CheckUnchanged(sqlite3_vtab* table, const wqstore::Repository& repo) {
  const wqstore::Result r = repo.CheckUnchanged();
  return r.ok() ? SQLITE_OK : SetError(table, SQLITE_ERROR, r.message());
}

void ResultError(sqlite3_context* context, const wqstore::Repository& repo,
                 const wqstore::Result& result) {
  const std::string& m = result.message();
  const std::string& path = repo.path();
  const bool named =
      m.size() > path.size() && m.compare(0, path.size(), path) == 0 && m[path.size()] == ':';
  const std::string text = named ? m : path + ": " + m;
  sqlite3_result_error(context, text.data(), static_cast<int>(text.size()));
}

}  // namespace wqsqlite
