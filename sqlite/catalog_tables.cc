// wq_classes and wq_members: eponymous virtual tables whose hidden columns
// take the arguments.
#include "sqlite/catalog_tables.h"

#include <memory>
#include <new>
#include <string>

#include "sqlite/vtab_errors.h"
#include "wqstore/repository.h"

namespace wqsqlite {
namespace {

// The four visible columns come first, then the hidden arguments.
constexpr int kFileColumn = 4;
constexpr int kClassColumn = 5;

struct Catalog {
  const char* name;
  const char* schema;
  int arguments;  // 1: FILE; 2: FILE, CLASS
  const char* usage;
};

const Catalog kClasses = {
    "wq_classes",
    "CREATE TABLE x(number INTEGER, name TEXT, object_size INTEGER, object_count INTEGER, "
    "file HIDDEN)",
    1, "wq_classes takes the repository file: wq_classes(FILE)"};
const Catalog kMembers = {
    "wq_members",
    "CREATE TABLE x(number INTEGER, name TEXT, type TEXT, nullable INTEGER, file HIDDEN, "
    "class HIDDEN)",
    2, "wq_members takes the repository file and a class: wq_members(FILE, CLASS)"};

struct CatalogTable : sqlite3_vtab {
  const Catalog* catalog = nullptr;
  std::shared_ptr<FilePool> pool;
};

struct CatalogCursor : sqlite3_vtab_cursor {
  std::string file, class_name;
  std::shared_ptr<const wqstore::Repository> repo;
  wqstore::ClassDef cls;  // wq_members
  int32_t row = 0;
  int32_t rows = 0;
};

CatalogTable* TableOf(sqlite3_vtab* vtab) { return static_cast<CatalogTable*>(vtab); }
CatalogCursor* CursorOf(sqlite3_vtab_cursor* cur) { return static_cast<CatalogCursor*>(cur); }

template <const Catalog* kCatalog>
int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** vtab, char**) {
  return NoThrow([&] {
    int rc = sqlite3_declare_vtab(db, kCatalog->schema);
    if (rc == SQLITE_OK) rc = sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
    if (rc != SQLITE_OK) return rc;
    auto table = std::make_unique<CatalogTable>();
    table->catalog = kCatalog;
    table->pool = PoolOf(aux);
    *vtab = table.release();
    return SQLITE_OK;
  });
}

int Disconnect(sqlite3_vtab* vtab) {
  delete TableOf(vtab);
  return SQLITE_OK;
}

// The arguments are equality constraints on the hidden columns; a plan
// without them all is unusable, and a query that never gives them is told
// how to call the function.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const Catalog& catalog = *TableOf(vtab)->catalog;
  int given[2] = {-1, -1};
  bool seen[2] = {false, false};
  for (int i = 0; i < info->nConstraint; i++) {
    const sqlite3_index_info::sqlite3_index_constraint& c = info->aConstraint[i];
    const int arg = c.iColumn - kFileColumn;
    if (arg < 0 || arg >= catalog.arguments || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    seen[arg] = true;
    if (c.usable && given[arg] < 0) given[arg] = i;
  }
  for (int arg = 0; arg < catalog.arguments; arg++) {
    if (!seen[arg]) return NoThrow([&] { return SetError(vtab, SQLITE_ERROR, catalog.usage); });
    if (given[arg] < 0) return SQLITE_CONSTRAINT;
  }
  for (int arg = 0; arg < catalog.arguments; arg++) {
    info->aConstraintUsage[given[arg]].argvIndex = arg + 1;
    info->aConstraintUsage[given[arg]].omit = 1;
  }
  info->estimatedCost = 10;
  info->estimatedRows = 10;
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
  CatalogCursor* c = new (std::nothrow) CatalogCursor();
  if (c == nullptr) return SQLITE_NOMEM;
  *cursor = c;
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete CursorOf(cursor);
  return SQLITE_OK;
}

std::string Text(sqlite3_value* v) {
  const unsigned char* text = sqlite3_value_text(v);
  return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                       static_cast<size_t>(sqlite3_value_bytes(v)))
                         : std::string();
}

int Filter(sqlite3_vtab_cursor* cursor, int, const char*, int argc, sqlite3_value** argv) {
  CatalogCursor& c = *CursorOf(cursor);
  sqlite3_vtab* vtab = cursor->pVtab;
  const CatalogTable& t = *TableOf(vtab);
  return NoThrow([&] {
    c.row = c.rows = 0;
    c.repo.reset();
    // A NULL argument matches nothing, as "= NULL" would.
    for (int i = 0; i < argc; i++) {
      if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return SQLITE_OK;
    }
    c.file = argc > 0 ? Text(argv[0]) : std::string();
    c.class_name = argc > 1 ? Text(argv[1]) : std::string();
    wqstore::Result r = t.pool->Acquire(c.file, &c.repo);
    if (r.ok() && t.catalog == &kMembers) r = c.repo->FindClass(c.class_name, &c.cls);
    if (!r.ok()) return SetError(vtab, SQLITE_ERROR, r.message());
    c.rows = t.catalog == &kMembers ? c.cls.member_count() : c.repo->class_count();
    return CheckUnchanged(vtab, *c.repo);
  });
}

int Next(sqlite3_vtab_cursor* cursor) {
  CatalogCursor& c = *CursorOf(cursor);
  if (++c.row < c.rows) return SQLITE_OK;
  return NoThrow([&] { return CheckUnchanged(cursor->pVtab, *c.repo); });
}

int Eof(sqlite3_vtab_cursor* cursor) {
  const CatalogCursor& c = *CursorOf(cursor);
  return c.row >= c.rows;
}

void PutText(sqlite3_context* context, std::string_view text) {
  sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

int ColumnValue(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int i) {
  const CatalogCursor& c = *CursorOf(cursor);
  if (i == kFileColumn) {
    PutText(context, c.file);
  } else if (i == kClassColumn) {
    PutText(context, c.class_name);
  } else if (TableOf(cursor->pVtab)->catalog == &kMembers) {
    const wqstore::Member m = c.cls.member(c.row);
    switch (i) {
      case 0: sqlite3_result_int(context, m.number()); break;
      case 1: PutText(context, m.name()); break;
      case 2: PutText(context, m.type_name()); break;
      default: sqlite3_result_int(context, m.nullable() ? 1 : 0); break;
    }
  } else {
    const wqstore::ClassDef cls = c.repo->class_at(c.row);
    switch (i) {
      case 0: sqlite3_result_int(context, cls.number()); break;
      case 1: PutText(context, cls.name()); break;
      case 2: sqlite3_result_int(context, cls.object_size()); break;
      default: sqlite3_result_int(context, cls.object_count()); break;
    }
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
  *rowid = CursorOf(cursor)->row;
  return SQLITE_OK;
}

template <const Catalog* kCatalog>
sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = nullptr;  // eponymous only: no CREATE VIRTUAL TABLE
  m.xConnect = Connect<kCatalog>;
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
  return m;
}

const sqlite3_module kClassesModule = MakeModule<&kClasses>();
const sqlite3_module kMembersModule = MakeModule<&kMembers>();

}  // namespace

int RegisterCatalogTables(sqlite3* db, const std::shared_ptr<FilePool>& pool) {
  return NoThrow([&] {
    int rc = sqlite3_create_module_v2(db, kClasses.name, &kClassesModule, NewPoolRef(pool),
                                      DeletePoolRef);
    if (rc == SQLITE_OK) {
      rc = sqlite3_create_module_v2(db, kMembers.name, &kMembersModule, NewPoolRef(pool),
                                    DeletePoolRef);
    }
    return rc;
  });
}

}  // namespace wqsqlite
