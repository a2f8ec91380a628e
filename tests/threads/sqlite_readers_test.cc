// The SQLite extension on many threads: each thread has its own connection
// with its own open file and reads the same repository through scans,
// seeks and a join over references at once. Built and run under
// ThreadSanitizer by the test command (label "threads").
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_util.h"
#include "wqstore/wqstore.h"

extern "C" int sqlite3_wqstore_init(sqlite3* db, char** error, const sqlite3_api_routines* api);

namespace {

constexpr int kObjects = 20000;
constexpr int kThreads = 8;

// Class 5 "Node" (n int, w double, label string, next ref to Node): n is
// the position, next the node after it (the last one's is unset).
void BuildNodes(const std::string& path) {
  wqstore::Writer w;
  ASSERT_TRUE(w.AddClass("Node", 5).ok());
  ASSERT_TRUE(w.AddMember(5, "n", 1, wqstore::DataType::kInt, false).ok());
  ASSERT_TRUE(w.AddMember(5, "w", 2, wqstore::DataType::kDouble, false).ok());
  ASSERT_TRUE(w.AddMember(5, "label", 3, wqstore::DataType::kString, true).ok());
  ASSERT_TRUE(w.AddMember(5, "next", 4, wqstore::DataType::kReference, true).ok());
  for (int i = 0; i < kObjects; i++) {
    wqstore::ObjectId id;
    ASSERT_TRUE(w.AddObject(5, &id).ok());
    ASSERT_TRUE(w.SetInt(id, 1, i).ok());
    ASSERT_TRUE(w.SetDouble(id, 2, i * 0.5).ok());
    ASSERT_TRUE(w.SetString(id, 3, "node " + std::to_string(i)).ok());
  }
  for (int i = 0; i + 1 < kObjects; i++) ASSERT_TRUE(w.SetReference({5, i}, 4, {5, i + 1}).ok());
  ASSERT_TRUE(w.Commit(path).ok());
}

// The single integer a query gives, or a text saying why there is none.
std::string Answer(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return std::string("prepare: ") + sqlite3_errmsg(db);
  }
  std::string out = "no row";
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    out = std::to_string(sqlite3_column_int64(stmt, 0));
  } else {
    out = std::string("step: ") + sqlite3_errmsg(db);
  }
  sqlite3_finalize(stmt);
  return out;
}

// What each thread asks, with the answers.
struct Query {
  const char* sql;
  int64_t want;
};

std::vector<Query> Queries() {
  const int64_t n = kObjects;
  return {
      {"select sum(n) from nodes", n * (n - 1) / 2},
      {"select sum(length(label)) from nodes where rowid < 10", 60},
      {"select count(*) from nodes a join nodes b on b.wq_id = a.next where b.n = a.n + 1", n - 1},
      {"select sum(n) from nodes where rowid in (3, 999, 19999)", 3 + 999 + 19999},
      {"select n from nodes where wq_id = '5:1234'", 1234},
      {"select count(*) from wq_members('PATH', 'Node')", 4},
  };
}

void Replace(std::string* text, const std::string& what, const std::string& with) {
  for (size_t at = text->find(what); at != std::string::npos; at = text->find(what, at)) {
    text->replace(at, what.size(), with);
    at += with.size();
  }
}

TEST(SqliteReaders, EightConnectionsReadOneFileAtOnce) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("nodes.rtm");
  BuildNodes(path);
  ASSERT_EQ(sqlite3_auto_extension(reinterpret_cast<void (*)()>(sqlite3_wqstore_init)), SQLITE_OK);
  {
    // The first connection hands the extension SQLite's routines before any
    // thread starts.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_close(db);
  }
  std::vector<std::string> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++) {
    threads.emplace_back([&, t] {
      sqlite3* db = nullptr;
      if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        faults[t] = "cannot open a connection";
        return;
      }
      char* error = nullptr;
      const std::string create = "create virtual table nodes using wqstore('" + path + "', Node)";
      if (sqlite3_exec(db, create.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        faults[t] = std::string("create: ") + (error != nullptr ? error : "?");
        sqlite3_free(error);
      }
      for (int round = 0; round < 3 && faults[t].empty(); round++) {
        for (const Query& q : Queries()) {
          std::string sql = q.sql;
          Replace(&sql, "PATH", path);
          const std::string got = Answer(db, sql);
          if (got != std::to_string(q.want)) {
            faults[t] = sql + ": " + got + ", not " + std::to_string(q.want);
            break;
          }
        }
      }
      sqlite3_close(db);
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; t++) EXPECT_EQ(faults[t], "") << "thread " << t;
  sqlite3_reset_auto_extension();
}

}  // namespace
