// The class tables: schema from the class's members, plans on the rowid and
// wq_id, and cursors that walk the objects in stored order.
#include "sqlite/class_table.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sqlite/column_values.h"
#include "sqlite/vtab_errors.h"
#include "wqstore/repository.h"

namespace wqsqlite {
namespace {

// A query over a file that changes fails instead of reading on. A scan asks
// whether the file changed (one fstat) at its end and after every
// kRowsPerCheck rows. A seek, which reads one row, asks at its end whether
// a read met a part of the file that is gone (no system call), and whether
// the file changed when the last such question is over kSeekCheck old: so
// a loop of seeks costs one fstat a millisecond, not one a row. Once found
// changed, the table fails every query.
constexpr int64_t kRowsPerCheck = 4096;
constexpr std::chrono::steady_clock::duration kSeekCheck = std::chrono::milliseconds(1);

// What a plan uses, in xBestIndex's idxNum; the arguments of xFilter come
// in this order.
enum PlanBits : int {
  kRowidEq = 1,
  kIdEq = 2,
  kLower = 4,         // rowid >= or > argument
  kLowerStrict = 8,   // with kLower: >
  kUpper = 16,        // rowid <= or < argument
  kUpperStrict = 32,  // with kUpper: <
};

struct ClassTable : sqlite3_vtab {
  std::shared_ptr<const wqstore::Repository> repo;
  wqstore::ClassDef cls;
  std::vector<Column> columns;  // then the hidden wq_id
  std::string name;
  std::chrono::steady_clock::time_point checked;  // the last fstat that found no change
  std::string changed;  // why the file is no longer the one opened, once it is not
};

struct ClassCursor : sqlite3_vtab_cursor {
  wqstore::Objects::Iterator at;
  wqstore::Objects::Iterator end;
  int64_t until_check = kRowsPerCheck;
  bool seek = false;  // the scan reads one row at most
};

ClassTable* TableOf(sqlite3_vtab* vtab) { return static_cast<ClassTable*>(vtab); }
ClassCursor* CursorOf(sqlite3_vtab_cursor* cur) { return static_cast<ClassCursor*>(cur); }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// SQLite matches column names ignoring the case of A to Z only.
std::string SqlFold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = AsciiLower(c);
  return folded;
}

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

// A CREATE argument as written: a string literal or quoted name loses its
// quotes, a bare word stays as it is.
std::string Unquote(std::string_view arg) {
  while (!arg.empty() && (arg.front() == ' ' || arg.front() == '\t' || arg.front() == '\n')) {
    arg.remove_prefix(1);
  }
  while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t' || arg.back() == '\n')) {
    arg.remove_suffix(1);
  }
  if (arg.size() < 2) return std::string(arg);
  const char open = arg.front();
  const char close = open == '[' ? ']' : open;
  if ((open != '\'' && open != '"' && open != '`' && open != '[') || arg.back() != close) {
    return std::string(arg);
  }
  std::string out;
  for (size_t i = 1; i + 1 < arg.size(); i++) {
    out += arg[i];
    if (arg[i] == close && close != ']' && i + 2 < arg.size() && arg[i + 1] == close) i++;
  }
  return out;
}

// The table's declaration, or the reason the class cannot be one: a member
// whose name SQLite keeps for itself, or two that would be the same column.
bool Declaration(const ClassTable& t, std::string* sql, std::string* error) {
  const std::string where = t.repo->path() + ": class " + Quoted(t.cls.name(), '"') + ": member ";
  std::unordered_map<std::string, std::string_view> seen;
  *sql = "CREATE TABLE x(";
  for (const Column& column : t.columns) {
    const std::string_view name = column.member().name();
    const std::string folded = SqlFold(name);
    if (folded == "rowid" || folded == "oid" || folded == "_rowid_") {
      *error = where + Quoted(name, '"') +
               " cannot be a column: SQLite keeps that name for the rowid, the object's position";
      return false;
    }
    if (folded == "wq_id") {
      *error = where + Quoted(name, '"') +
               " cannot be a column: the table keeps that name for the object's id";
      return false;
    }
    const auto [earlier, fresh] = seen.emplace(folded, name);
    if (!fresh) {
      *error = where + Quoted(name, '"') + " would be the same SQL column as member " +
               Quoted(earlier->second, '"') + " (SQLite ignores the case of column names)";
      return false;
    }
    *sql += Quoted(name, '"');
    const char* type = DeclaredType(column.member().type());
    if (*type != '\0') {
      *sql += ' ';
      *sql += type;
    }
    *sql += ", ";
  }
  *sql += "wq_id TEXT HIDDEN)";
  return true;
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** vtab,
            char** error) {
  return NoThrow([&] {
    auto fail = [error](const std::string& message) {
      *error = sqlite3_mprintf("%s", message.c_str());
      return SQLITE_ERROR;
    };
    if (argc != 5) {
      return fail(
          "wqstore takes two arguments, the file and the class: USING wqstore(FILE, CLASS)");
    }
    auto table = std::make_unique<ClassTable>();
    table->name = argv[2];
    wqstore::Result r = PoolOf(aux)->Acquire(Unquote(argv[3]), &table->repo);
    if (r.ok()) r = table->repo->FindClass(Unquote(argv[4]), &table->cls);
    if (!r.ok()) return fail(r.message());
    for (int32_t i = 0; i < table->cls.member_count(); i++) {
      table->columns.emplace_back(table->cls, table->cls.member(i));
    }
    std::string sql, why;
    if (!Declaration(*table, &sql, &why)) return fail(why);
    const int rc = sqlite3_declare_vtab(db, sql.c_str());
    if (rc != SQLITE_OK) {
      return fail(table->repo->path() + ": class " + Quoted(table->cls.name(), '"') +
                  " cannot be a table: " + sqlite3_errmsg(db));
    }
    *vtab = table.release();
    return SQLITE_OK;
  });
}

int Disconnect(sqlite3_vtab* vtab) {
  delete TableOf(vtab);
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const ClassTable& t = *TableOf(vtab);
  const int id_column = static_cast<int>(t.columns.size());
  int rowid_eq = -1, id_eq = -1, lower = -1, upper = -1;
  int bits = 0;
  for (int i = 0; i < info->nConstraint; i++) {
    const sqlite3_index_info::sqlite3_index_constraint& c = info->aConstraint[i];
    if (!c.usable) continue;
    if (c.iColumn == id_column && c.op == SQLITE_INDEX_CONSTRAINT_EQ && id_eq < 0) {
      id_eq = i;
      bits |= kIdEq;
    }
    if (c.iColumn != -1) continue;
    switch (c.op) {
      case SQLITE_INDEX_CONSTRAINT_EQ:
        if (rowid_eq < 0) rowid_eq = i, bits |= kRowidEq;
        break;
      case SQLITE_INDEX_CONSTRAINT_GT:
      case SQLITE_INDEX_CONSTRAINT_GE:
        if (lower < 0) {
          lower = i;
          bits |= kLower | (c.op == SQLITE_INDEX_CONSTRAINT_GT ? kLowerStrict : 0);
        }
        break;
      case SQLITE_INDEX_CONSTRAINT_LT:
      case SQLITE_INDEX_CONSTRAINT_LE:
        if (upper < 0) {
          upper = i;
          bits |= kUpper | (c.op == SQLITE_INDEX_CONSTRAINT_LT ? kUpperStrict : 0);
        }
        break;
      default: break;
    }
  }
  // A seek makes the range pointless; SQLite still checks every constraint
  // itself (omit stays 0), so the cursor may give more rows, never fewer.
  if (bits & (kRowidEq | kIdEq)) bits &= kRowidEq | kIdEq;
  const struct {
    int constraint;
    int bit;
  } used[] = {{rowid_eq, kRowidEq}, {id_eq, kIdEq}, {lower, kLower}, {upper, kUpper}};
  int argument = 0;
  for (const auto& u : used) {
    if (u.constraint >= 0 && (bits & u.bit)) {
      info->aConstraintUsage[u.constraint].argvIndex = ++argument;
    }
  }
  info->idxNum = bits;
  // What EXPLAIN QUERY PLAN shows after "INDEX n:".
  info->idxStr = const_cast<char*>((bits & kRowidEq) ? "seek by rowid"
                                   : (bits & kIdEq)  ? "seek by wq_id"
                                   : bits != 0       ? "rowid range"
                                                     : "scan");

  // Costs in rows visited: SQLite weighs them against its own tables' and
  // puts the seek side of a join inside.
  const double objects = t.cls.object_count() > 0 ? t.cls.object_count() : 1;
  double rows = objects;
  if (bits & (kRowidEq | kIdEq)) {
    rows = 1;
    info->idxFlags |= SQLITE_INDEX_SCAN_UNIQUE;
  } else {
    if (bits & kLower) rows /= 4;
    if (bits & kUpper) rows /= 4;
  }
  info->estimatedRows = static_cast<sqlite3_int64>(std::ceil(rows));
  info->estimatedCost = rows + 1;
  // Rows come in rowid order.
  if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn == -1 && !info->aOrderBy[0].desc) {
    info->orderByConsumed = 1;
  }
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
  ClassCursor* c = new (std::nothrow) ClassCursor();
  if (c == nullptr) return SQLITE_NOMEM;
  *cursor = c;
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete CursorOf(cursor);
  return SQLITE_OK;
}

// Positions run from 0 to below 2^31: a bound beyond that range is clamped
// to just outside it.
constexpr int64_t kBelow = -1;
constexpr int64_t kAbove = int64_t{1} << 32;

int64_t Clamp(int64_t v) { return v < kBelow ? kBelow : (v > kAbove ? kAbove : v); }
int64_t Clamp(double v) {
  return v < kBelow ? kBelow : (v > kAbove ? kAbove : static_cast<int64_t>(v));
}

// Narrows [*lo, *hi) to the positions p for which "p OP value" can hold,
// OP being one of the PlanBits of a rowid constraint. A value that is no
// number leaves the range to SQLite's own check; NULL matches nothing.
void Narrow(int op, sqlite3_value* value, int64_t* lo, int64_t* hi) {
  const int type = sqlite3_value_numeric_type(value);
  int64_t first = kBelow, last = kAbove;  // the positions that can hold, inclusive
  if (type == SQLITE_NULL) {
    first = kAbove;
  } else if (type == SQLITE_INTEGER) {
    const int64_t v = Clamp(static_cast<int64_t>(sqlite3_value_int64(value)));
    if (op == kRowidEq) first = last = v;
    if (op == kLower) first = v;
    if (op == (kLower | kLowerStrict)) first = v + 1;
    if (op == kUpper) last = v;
    if (op == (kUpper | kUpperStrict)) last = v - 1;
  } else if (type == SQLITE_FLOAT) {
    const double v = sqlite3_value_double(value);
    if (op == kRowidEq) {
      if (std::floor(v) == v) {
        first = last = Clamp(v);
      } else {
        first = kAbove;
      }
    }
    if (op == kLower) first = Clamp(std::ceil(v));
    if (op == (kLower | kLowerStrict)) first = Clamp(std::floor(v)) + 1;
    if (op == kUpper) last = Clamp(std::floor(v));
    if (op == (kUpper | kUpperStrict)) last = Clamp(std::ceil(v)) - 1;
  }
  if (first > *lo) *lo = first;
  if (last + 1 < *hi) *hi = last + 1;
}

// SQLITE_OK while the file is unchanged as far as the end of a seek (`seek`)
// or of a stretch of a scan needs to know; see kRowsPerCheck.
int Check(ClassTable* t, bool seek) {
  return NoThrow([&] {
    if (t->changed.empty()) {
      const auto now = std::chrono::steady_clock::now();
      if (seek && !t->repo->WasCutShort() && now - t->checked < kSeekCheck) return SQLITE_OK;
      const wqstore::Result r = t->repo->CheckUnchanged();
      if (r.ok()) {
        t->checked = now;
        return SQLITE_OK;
      }
      t->changed = r.message();
    }
    return SetError(t, SQLITE_ERROR, t->changed);
  });
}

int Filter(sqlite3_vtab_cursor* cursor, int plan, const char*, int argc, sqlite3_value** argv) {
  ClassCursor& c = *CursorOf(cursor);
  const ClassTable& t = *TableOf(cursor->pVtab);
  int64_t lo = 0, hi = t.cls.object_count();
  int arg = 0;
  if ((plan & kRowidEq) && arg < argc) Narrow(kRowidEq, argv[arg++], &lo, &hi);
  if ((plan & kIdEq) && arg < argc) {
    sqlite3_value* v = argv[arg++];
    const unsigned char* text = sqlite3_value_text(v);
    wqstore::ObjectId id;
    if (text != nullptr &&
        wqstore::ObjectId::Parse(std::string_view(reinterpret_cast<const char*>(text),
                                                  static_cast<size_t>(sqlite3_value_bytes(v))),
                                 &id)
            .ok() &&
        id.class_number == t.cls.number()) {
      if (id.position > lo) lo = id.position;
      if (int64_t{id.position} + 1 < hi) hi = int64_t{id.position} + 1;
    } else {
      hi = lo;
    }
  }
  if ((plan & kLower) && arg < argc) Narrow(plan & (kLower | kLowerStrict), argv[arg++], &lo, &hi);
  if ((plan & kUpper) && arg < argc) Narrow(plan & (kUpper | kUpperStrict), argv[arg++], &lo, &hi);
  if (hi < lo) hi = lo;
  const wqstore::Objects objects =
      t.cls.objects(static_cast<int32_t>(lo), static_cast<int32_t>(hi));
  c.at = objects.begin();
  c.end = objects.end();
  c.until_check = kRowsPerCheck;
  c.seek = hi - lo <= 1;
  return c.at == c.end ? Check(TableOf(cursor->pVtab), c.seek) : SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor) {
  ClassCursor& c = *CursorOf(cursor);
  ++c.at;
  if (c.at == c.end) return Check(TableOf(cursor->pVtab), c.seek);
  if (--c.until_check > 0) return SQLITE_OK;
  c.until_check = kRowsPerCheck;
  return Check(TableOf(cursor->pVtab), false);
}

int Eof(sqlite3_vtab_cursor* cursor) {
  const ClassCursor& c = *CursorOf(cursor);
  return c.at == c.end;
}

int ColumnValue(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int i) {
  const ClassCursor& c = *CursorOf(cursor);
  const ClassTable& t = *TableOf(cursor->pVtab);
  const wqstore::Object object = *c.at;
  if (static_cast<size_t>(i) < t.columns.size()) {
    t.columns[static_cast<size_t>(i)].Put(context, object, *t.repo);
  } else {
    char id[kIdChars];
    FormatId(object.id(), id);
    sqlite3_result_text(context, id, -1, SQLITE_TRANSIENT);
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
  *rowid = (*CursorOf(cursor)->at).position();
  return SQLITE_OK;
}

int Update(sqlite3_vtab* vtab, int, sqlite3_value**, sqlite3_int64*) {
  const ClassTable& t = *TableOf(vtab);
  return NoThrow([&] {
    return SetError(vtab, SQLITE_READONLY,
                    "table " + t.name + " is read-only: it shows class " +
                        Quoted(t.cls.name(), '"') + " of " + t.repo->path());
  });
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = ColumnValue;
  m.xRowid = Rowid;
  m.xUpdate = Update;
  return m;
}

const sqlite3_module kModule = MakeModule();

}  // namespace

int RegisterClassTables(sqlite3* db, const std::shared_ptr<FilePool>& pool) {
  return NoThrow([&] {
    return sqlite3_create_module_v2(db, "wqstore", &kModule, NewPoolRef(pool), DeletePoolRef);
  });
}

}  // namespace wqsqlite
