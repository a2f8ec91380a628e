// What wqdump's formats share about a class's values: the member columns,
// the string a heap offset holds, the texts of numbers and references, and
// the key of the id column.
#ifndef WQSQL_TOOLS_DUMP_DUMP_VALUES_H_
#define WQSQL_TOOLS_DUMP_DUMP_VALUES_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/scan.h"
#include "tools/common/id_column.h"
#include "tools/common/text_encoding.h"
#include "tools/common/text_sink.h"

namespace wqtools {

// A member that takes a value, with its key as the format writes it.
struct Column {
  const wqstore::MemberInfo* member;
  wqstore::ValueKind kind;
  std::string key;
};

inline void WriteNumber(BufferedWriter& out, int64_t v) {
  char* p = out.Room(kNumberTextMax);
  out.Commit(p + IntText(v, p));
}

// A double as CSV takes it, and as JSON does (non-finite ones in quotes);
// in a source every NaN keeps its bits (SourceDoubleText).
inline void WriteDouble(BufferedWriter& out, double v, bool json, bool source = false) {
  char* p = out.Room(kNumberTextMax + 2);
  if (!json || std::isfinite(v)) {
    out.Commit(p + DoubleText(v, p));
    return;
  }
  *p = '"';
  p += 1 + (source ? SourceDoubleText(v, p + 1) : DoubleText(v, p + 1));
  *p++ = '"';
  out.Commit(p);
}

// A reference's target id, in quotes for JSON; when unset nothing (CSV) or
// null (JSON).
inline void WriteRef(const wqstore::Reader& reader, const unsigned char* record,
                     const wqstore::MemberInfo& m, bool json, BufferedWriter& out) {
  const wqstore::RefTarget t = wqstore::RefField(record, m);
  if (!t.set() || t.cls >= reader.class_count()) {
    if (json) out.Text("null");
    return;
  }
  char* p = out.Room(kNumberTextMax + 2);
  if (json) *p++ = '"';
  p += ObjectIdText(reader.class_at(t.cls).number, t.obj, p);
  if (json) *p++ = '"';
  out.Commit(p);
}

// The string at heap offset `off`, which is not 0: its bytes and length.
// An entry outside the heap (in a file changed since it was checked) reads
// as the empty string.
inline void HeapText(const wqstore::Reader& reader, uint64_t off, const char** s, size_t* n) {
  *s = reader.HeapString(off, n);
  if (*s == nullptr) *s = "";
}

// The name of the column or key that holds the object's id in CSV and
// JSONL (tools/common/id_column.h).
inline std::string IdColumnName(const wqstore::ClassInfo& c) {
  return IdColumnName(c.member_count, [&c](size_t i) {
    return std::string_view(c.members[i].name, c.members[i].name_length);
  });
}

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_DUMP_VALUES_H_
