// Writes a data set as a SQLite database through libsqlite3: journal and
// sync off, one transaction, one prepared statement per table.
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "bench/outputs.h"
#include "repository/store_api.h"

namespace wqbench {
namespace {

class Db {
 public:
  explicit Db(const std::string& path) : path_(path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      throw std::runtime_error("cannot replace " + path + ": " + std::strerror(errno));
    }
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("cannot open");
  }
  ~Db() {
    sqlite3_finalize(stmt_);
    sqlite3_close(db_);
  }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  void Exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail("cannot run \"" + sql + "\"");
    }
  }
  // Prepares the insert statement of a table; replaces the previous one.
  void Prepare(const std::string& sql) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      Fail("cannot prepare \"" + sql + "\"");
    }
  }
  void Text(int col, const std::string& s) {
    Check(sqlite3_bind_text(stmt_, col, s.data(), static_cast<int>(s.size()), SQLITE_STATIC));
  }
  void Text(int col, char c) { Check(sqlite3_bind_text(stmt_, col, &c, 1, SQLITE_TRANSIENT)); }
  void Int(int col, int64_t v) { Check(sqlite3_bind_int64(stmt_, col, v)); }
  void Real(int col, double v) { Check(sqlite3_bind_double(stmt_, col, v)); }
  void Blob(int col, const void* p, int n) {
    Check(sqlite3_bind_blob(stmt_, col, p, n, SQLITE_TRANSIENT));
  }
  void Step() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) Fail("cannot insert");
    sqlite3_reset(stmt_);
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) Fail("cannot bind");
  }
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(path_ + ": " + what + ": " +
                             (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory"));
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

const char* ColumnType(int type) {
  switch (type) {
    case wqTypeInt:
    case wqTypeObjectRef:
    case wqTypeObjectRefAlt: return "INTEGER";
    case wqTypeDouble: return "REAL";
    case wqTypeBlob: return "BLOB";
    default: return "TEXT";
  }
}

std::string InsertSql(const ClassDef& c) {
  std::string sql = "INSERT INTO " + c.name + " VALUES (";
  for (size_t j = 0; j < c.members.size(); ++j) sql += j == 0 ? "?" : ", ?";
  return sql + ")";
}

}  // namespace

std::string CreateTableSql(const ClassDef& c) {
  std::string sql = "CREATE TABLE " + c.name + " (";
  for (size_t j = 0; j < c.members.size(); ++j) {
    if (j > 0) sql += ", ";
    sql += c.members[j].name;
    sql += ' ';
    sql += ColumnType(c.members[j].type);
  }
  return sql + ")";
}

void WriteSqlite(const Dataset& d, const std::string& path) {
  Db db(path);
  db.Exec("PRAGMA journal_mode=OFF");
  db.Exec("PRAGMA synchronous=OFF");
  db.Exec("BEGIN");
  const std::vector<ClassDef>& classes = d.classes();
  for (const ClassDef& c : classes) db.Exec(CreateTableSql(c));

  // C's rows get the rowids 1 to N in order, which R's references use.
  db.Prepare(InsertSql(classes[kClassC]));
  for (uint32_t i = 0; i < d.n(); ++i) {
    const CRow r = d.MakeC(i);
    db.Text(1, r.name);
    db.Int(2, r.id);
    db.Real(3, r.value);
    db.Text(4, r.flag);
    db.Blob(5, r.data, sizeof r.data);
    db.Step();
  }
  if (classes.size() > kClassR) {
    db.Prepare(InsertSql(classes[kClassR]));
    for (uint32_t i = 0; i < classes[kClassR].object_count; ++i) {
      const RRow r = d.MakeR(i);
      db.Text(1, r.label);
      db.Int(2, static_cast<int64_t>(r.target) + 1);
      db.Int(3, r.seq);
      db.Step();
    }
  }
  for (size_t ci = kFirstSmallClass; ci < classes.size(); ++ci) {
    const int k = static_cast<int>(ci - kFirstSmallClass);
    const size_t members = classes[ci].members.size();
    db.Prepare(InsertSql(classes[ci]));
    for (uint32_t i = 0; i < classes[ci].object_count; ++i) {
      const SRow r = d.MakeS(k, i);
      db.Text(1, r.title);
      db.Int(2, r.count);
      if (members > 2) db.Real(3, r.weight);
      if (members > 3) db.Text(4, r.code);
      db.Step();
    }
  }
  db.Exec("COMMIT");
}

}  // namespace wqbench
