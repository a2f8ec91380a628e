// Writers of a data set in each of the benchmark's forms: a repository
// through the store's writer, a SQLite database through libsqlite3, a JSON
// source for wqmake and a CSV file for the sqlite3 shell's .import. Each
// throws std::runtime_error with the path and the reason when it fails.
#ifndef WQSQL_BENCH_OUTPUTS_H_
#define WQSQL_BENCH_OUTPUTS_H_

#include <string>

#include "bench/dataset.h"

namespace wqbench {

void WriteRepository(const Dataset& d, const std::string& path);

// One table per class, with the class's member names as columns (string and
// char as TEXT, int as INTEGER, double as REAL, blob as BLOB, a reference as
// the INTEGER rowid of the referenced row of C), filled in one transaction
// through one prepared statement per table. The file is replaced.
void WriteSqlite(const Dataset& d, const std::string& path);

// Every class with its members and objects in the wqmake source format. The
// objects of C get ids only when R refers to them.
void WriteJson(const Dataset& d, const std::string& path);

// The rows of C as CSV, a header line first: name, id, value, flag and data,
// the blob as 16 hexadecimal digits.
void WriteCsv(const Dataset& d, const std::string& path);

// The SQL that creates C's table with its column types, for an .import into
// a fresh database.
std::string CreateTableSql(const ClassDef& c);

}  // namespace wqbench

#endif  // WQSQL_BENCH_OUTPUTS_H_
