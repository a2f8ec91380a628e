// Round trip of the benchmark's data set: the repository, the SQLite
// database, the CSV file and the repository wqmake builds from the JSON
// source must each hold exactly the values the data set defines, so that
// wqsql and sqlite3 are timed on the same rows.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/dataset.h"
#include "bench/outputs.h"
#include "repository/store_api.h"

namespace wqbench {
namespace {

class Folder {
 public:
  Folder() {
    char tmpl[] = "/tmp/wqbench_test.XXXXXX";
    EXPECT_NE(::mkdtemp(tmpl), nullptr);
    path_ = tmpl;
  }
  ~Folder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string Bytes(const unsigned char* p, size_t n) { return std::string(p, p + n); }

// Every class, member and value of `db` against the data set.
void ExpectRepositoryHolds(const awq_Database& db, const Dataset& d) {
  const awq_autovector<awq_Class> classes = db.GetClassDefs();
  ASSERT_EQ(classes.size(), static_cast<int32_t>(d.classes().size()));
  for (int32_t ci = 0; ci < classes.size(); ++ci) {
    const ClassDef& def = d.classes()[ci];
    SCOPED_TRACE("class " + def.name);
    EXPECT_STREQ(classes[ci].GetName(), def.name.c_str());
    EXPECT_EQ(classes[ci].GetClassNumber(), def.number);
    const awq_autovector<awq_ClassProperty> members = classes[ci].GetMembers();
    ASSERT_EQ(members.size(), static_cast<int32_t>(def.members.size()));
    for (int32_t j = 0; j < members.size(); ++j) {
      EXPECT_STREQ(members[j].GetName(), def.members[j].name);
      EXPECT_EQ(members[j].GetMemberNumber(), def.members[j].number);
      EXPECT_EQ(members[j].GetDataType(), def.members[j].type);
    }
    const awq_autovector<awq_Object> objs = db.FindObjects(def.number);
    ASSERT_EQ(objs.size(), static_cast<int32_t>(def.object_count));
    for (uint32_t i = 0; i < def.object_count; ++i) {
      const awq_Object& o = objs[static_cast<int32_t>(i)];
      if (ci == static_cast<int32_t>(kClassC)) {
        const CRow r = d.MakeC(i);
        ASSERT_STREQ(o.GetStringProperty(3), r.name.c_str()) << "object " << i;
        ASSERT_EQ(o.GetIntProperty(1), r.id) << "object " << i;
        ASSERT_EQ(o.GetDoubleProperty(2), r.value) << "object " << i;
        ASSERT_EQ(o.GetCharProperty(4), r.flag) << "object " << i;
        int32_t size = 0;
        const unsigned char* data = nullptr;
        o.GetBlobProperty(5, size, data);
        ASSERT_EQ(Bytes(data, static_cast<size_t>(size)), Bytes(r.data, sizeof r.data));
      } else if (ci == static_cast<int32_t>(kClassR)) {
        const RRow r = d.MakeR(i);
        ASSERT_STREQ(o.GetStringProperty(3), r.label.c_str()) << "object " << i;
        ASSERT_EQ(o.GetIntProperty(2), r.seq);
        const awq_Object target = o.GetObjectRefProperty(1);
        ASSERT_FALSE(target.IsEmpty());
        ASSERT_STREQ(target.GetStringProperty(3), d.MakeC(r.target).name.c_str());
      } else {
        const SRow r = d.MakeS(static_cast<int>(ci - kFirstSmallClass), i);
        ASSERT_STREQ(o.GetStringProperty(1), r.title.c_str());
        ASSERT_EQ(o.GetIntProperty(2), r.count);
        if (def.members.size() > 2) {
          ASSERT_EQ(o.GetDoubleProperty(3), r.weight);
        }
        if (def.members.size() > 3) {
          ASSERT_EQ(o.GetCharProperty(4), r.code);
        }
      }
    }
  }
}

// The rows of one query, each column as text and blobs as hexadecimal.
std::vector<std::vector<std::string>> Query(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
  std::vector<std::vector<std::string>> rows;
  while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_BLOB:
          row.push_back("x" + Hex(static_cast<const unsigned char*>(sqlite3_column_blob(st, c)),
                                  static_cast<size_t>(sqlite3_column_bytes(st, c))));
          break;
        case SQLITE_FLOAT: row.push_back(FormatDouble(sqlite3_column_double(st, c))); break;
        default: row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
      }
    }
    rows.push_back(row);
  }
  sqlite3_finalize(st);
  return rows;
}

using Rows = std::vector<std::vector<std::string>>;

// The rows the data set defines for each table, in the text form of Query.
Rows ExpectedRows(const Dataset& d, size_t ci) {
  Rows rows;
  const ClassDef& def = d.classes()[ci];
  for (uint32_t i = 0; i < def.object_count; ++i) {
    if (ci == kClassC) {
      const CRow r = d.MakeC(i);
      rows.push_back({r.name, std::to_string(r.id), FormatDouble(r.value), std::string(1, r.flag),
                      "x" + Hex(r.data, sizeof r.data)});
    } else if (ci == kClassR) {
      const RRow r = d.MakeR(i);
      rows.push_back({r.label, std::to_string(r.target + 1), std::to_string(r.seq)});
    } else {
      const SRow r = d.MakeS(static_cast<int>(ci - kFirstSmallClass), i);
      std::vector<std::string> row{r.title, std::to_string(r.count), FormatDouble(r.weight),
                                   std::string(1, r.code)};
      row.resize(def.members.size());
      rows.push_back(row);
    }
  }
  return rows;
}

TEST(BenchDataset, ValuesStayInTheirRangesAndDependOnTheSeedOnly) {
  const Dataset a(7, 5000, true), b(7, 5000, true), c(8, 5000, true);
  int differ = 0;
  for (uint32_t i = 0; i < a.n(); ++i) {
    const CRow r = a.MakeC(i);
    EXPECT_GE(r.name.size(), 5u);
    EXPECT_LE(r.name.size(), 40u);
    EXPECT_NE(r.name.front(), ' ');
    EXPECT_NE(r.name.back(), ' ');
    for (char ch : r.name) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(ch)) || ch == ' ');
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(r.flag)));
    EXPECT_EQ(std::strtod(FormatDouble(r.value).c_str(), nullptr), r.value);
    EXPECT_LE(std::fabs(r.value), 1e6);
    EXPECT_EQ(r.name, b.MakeC(i).name);
    EXPECT_EQ(r.value, b.MakeC(i).value);
    differ += r.name != c.MakeC(i).name;
  }
  EXPECT_GT(differ, 4900);
  for (uint32_t i = 0; i < a.classes()[kClassR].object_count; ++i) {
    EXPECT_LT(a.MakeR(i).target, a.n());
  }
  EXPECT_EQ(a.classes().size(), 2u + kSmallClasses);
  EXPECT_EQ(Dataset(7, 10, false).classes().size(), 1u);
}

TEST(BenchDataset, RepositoryThatCannotBeWrittenThrows) {
  EXPECT_THROW(WriteRepository(Dataset(1, 10, false), "/nonexistent/folder/repo.rtm"),
               awq_StoreError);
}

TEST(BenchDataset, EveryFormHoldsTheSameRows) {
  const Dataset d(42, 3000, true);
  Folder dir;
  WriteRepository(d, dir / "repo.rtm");
  WriteSqlite(d, dir / "db.sqlite");
  WriteCsv(d, dir / "c.csv");

  awq_Database repo;
  ASSERT_NE(repo.Open((dir / "repo.rtm").c_str(), omReadOnly, 0, false), nullptr);
  repo.ValidateRepository();
  ExpectRepositoryHolds(repo, d);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "db.sqlite").c_str(), &db), SQLITE_OK);
  for (size_t ci = 0; ci < d.classes().size(); ++ci) {
    SCOPED_TRACE("table " + d.classes()[ci].name);
    EXPECT_EQ(Query(db, "SELECT * FROM " + d.classes()[ci].name + " ORDER BY rowid"),
              ExpectedRows(d, ci));
  }
  // R's integer references name the rowid of the same object of C.
  const Rows joined =
      Query(db, "SELECT C.name FROM R JOIN C ON C.rowid = R.target ORDER BY R.rowid");
  ASSERT_EQ(joined.size(), d.classes()[kClassR].object_count);
  for (uint32_t i = 0; i < joined.size(); ++i) {
    EXPECT_EQ(joined[i][0], d.MakeC(d.MakeR(i).target).name);
  }
  sqlite3_close(db);

  std::ifstream csv(dir / "c.csv");
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "name,id,value,flag,data");
  Rows csv_rows;
  while (std::getline(csv, line)) {
    std::vector<std::string> row;
    std::stringstream fields(line);
    for (std::string f; std::getline(fields, f, ',');) row.push_back(f);
    row.back() = "x" + row.back();
    csv_rows.push_back(row);
  }
  EXPECT_EQ(csv_rows, ExpectedRows(d, kClassC));
}

// wqmake builds, from the JSON source, a repository with the same values, for
// the full data set (ids and references) and for C alone (the import source).
TEST(BenchDataset, WqmakeBuildsTheSameRepositoryFromTheJsonSource) {
  for (bool extras : {true, false}) {
    SCOPED_TRACE(extras ? "with R and S0..S9" : "C only");
    const Dataset d(9, 2000, extras);
    Folder dir;
    WriteJson(d, dir / "src.json");
    const std::string cmd = std::string("'") + WQMAKE_PATH + "' '" + (dir / "src.json") + "' '" +
                            (dir / "made.rtm") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    awq_Database made;
    ASSERT_NE(made.Open((dir / "made.rtm").c_str(), omReadOnly, 0, false), nullptr);
    ExpectRepositoryHolds(made, d);
  }
}

}  // namespace
}  // namespace wqbench
