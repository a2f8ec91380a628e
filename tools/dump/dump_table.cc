// WriteTable: the header (CSV) or the keys (JSONL) are worked out once per
// class, then each object is one line. In CSV a null string or unset
// reference is an empty field and the empty string is "", a character is
// itself (code 0: empty) and a member that takes no value is empty; JSONL
// has null for those and the same texts otherwise.
#include "tools/dump/dump_table.h"

#include <cmath>
#include <string>
#include <vector>

#include "store/scan.h"
#include "tools/common/text_encoding.h"
#include "tools/dump/dump_values.h"

namespace wqtools {

using wqstore::ClassInfo;
using wqstore::MemberInfo;
using wqstore::Reader;
using wqstore::ValueKind;

namespace {

void WriteValue(const Reader& reader, const Column& col, const unsigned char* record, bool json,
                TextSink& out) {
  const MemberInfo& m = *col.member;
  switch (col.kind) {
    case ValueKind::kString: {
      const uint64_t off = wqstore::HeapOffsetField(record, m);
      if (off == 0) {
        if (json) out.Text("null");
        return;
      }
      const char* s;
      size_t n;
      HeapText(reader, off, &s, &n);
      if (json) {
        JsonString(out, s, n);
      } else {
        CsvField(out, s, n, true);
      }
      return;
    }
    case ValueKind::kInt: WriteNumber(out, wqstore::IntField(record, m)); return;
    case ValueKind::kDouble: WriteDouble(out, wqstore::DoubleField(record, m), json); return;
    case ValueKind::kChar: {
      char text[2];
      const size_t n = Latin1CharText(wqstore::CharField(record, m), text);
      if (json) {
        JsonString(out, text, n);
      } else {
        CsvField(out, text, n, false);
      }
      return;
    }
    case ValueKind::kBlob: {
      int32_t size = 0;
      const unsigned char* data = nullptr;
      reader.HeapBlob(wqstore::HeapOffsetField(record, m), &size, &data);
      if (json) out.Put('"');
      HexText(out, data, static_cast<size_t>(size));
      if (json) out.Put('"');
      return;
    }
    case ValueKind::kRef: WriteRef(reader, record, m, json, out); return;
    case ValueKind::kNone:
      if (json) out.Text("null");
      return;
  }
}

}  // namespace

void WriteTable(const Reader& reader, const ClassInfo& c, TableFormat format, TextSink& out) {
  const bool json = format == TableFormat::kJsonLines;
  const std::string id_name = IdColumnName(c);
  std::vector<Column> columns;
  columns.reserve(c.member_count);
  for (uint32_t k = 0; k < c.member_count; k++) {
    const MemberInfo& m = c.members[k];
    const std::string_view name(m.name, m.name_length);
    columns.push_back(Column{&m, wqstore::KindOf(m.type), "," + JsonQuoted(name) + ":"});
  }

  std::string id_key;  // JSONL: {"id":"
  if (json) {
    id_key = "{" + JsonQuoted(id_name) + ":\"";
  } else {
    CsvField(out, id_name.data(), id_name.size(), false);
    for (const Column& col : columns) {
      out.Put(',');
      CsvField(out, col.member->name, col.member->name_length, true);
    }
    out.Text("\r\n");
  }

  for (uint32_t i = 0; i < c.object_count && !out.failed(); i++) {
    const unsigned char* record = c.Record(i);
    if (json) out.Write(id_key.data(), id_key.size());
    char* p = out.Room(kNumberTextMax + 1);
    p += ObjectIdText(c.number, i, p);
    if (json) *p++ = '"';
    out.Commit(p);
    for (const Column& col : columns) {
      if (json) {
        out.Write(col.key.data(), col.key.size());
      } else {
        out.Put(',');
      }
      WriteValue(reader, col, record, json, out);
    }
    if (json) {
      out.Text("}\n");
    } else {
      out.Text("\r\n");
    }
  }
}

}  // namespace wqtools
