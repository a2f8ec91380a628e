// How a member's values appear in SQL. Each member is one column whose
// declared type follows the member's type, and each value is given to SQLite
// as the same value wqdump's JSON Lines writes for it:
//
//   int        INTEGER
//   double     REAL; NaN is NULL (SQLite has no NaN)
//   string     TEXT; null is NULL
//   char       TEXT of the one character, U+0001 to U+00FF; code 0 is NULL
//   blob       BLOB of its bytes (an empty blob is an empty BLOB)
//   reference  TEXT, the target's id CLASSNUMBER:POSITION; unset is NULL
//   any other  NULL, with no declared type (such a member stores nothing)
#ifndef WQSQL_SQLITE_COLUMN_VALUES_H_
#define WQSQL_SQLITE_COLUMN_VALUES_H_

#include <cstddef>

#include "sqlite/sqlite_api.h"
#include "wqstore/repository.h"

namespace wqsqlite {

// The SQL type a column of the member's type is declared with; "" for none.
const char* DeclaredType(wqstore::DataType type);

// Writes "CLASSNUMBER:POSITION" and a NUL into `out`, at least kIdChars
// long.
constexpr size_t kIdChars = 24;
void FormatId(const wqstore::ObjectId& id, char* out);

// The reader of one member's column, set up once per table.
class Column {
 public:
  Column() = default;
  Column(const wqstore::ClassDef& cls, const wqstore::Member& member);

  const wqstore::Member& member() const { return member_; }
  // Makes the member's value in `object` the result of `context`; a value the
  // file cannot give (a reference to no object) is an error naming `repo`'s
  // file.
  void Put(sqlite3_context* context, const wqstore::Object& object,
           const wqstore::Repository& repo) const;

 private:
  wqstore::Member member_;
  wqstore::DataType type_ = wqstore::DataType::kNoValue;
  // Fixed-width members (int, double, char) are read from their column in
  // the mapped file; the others through the object.
  const unsigned char* data_ = nullptr;
  size_t stride_ = 0;
};

}  // namespace wqsqlite

#endif  // WQSQL_SQLITE_COLUMN_VALUES_H_
