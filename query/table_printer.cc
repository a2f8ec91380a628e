// The object table: header and underline rows, and one row per object,
// each row formatted in place in the output buffer.
#include "query/table_printer.h"

#include <memory>

#include "query/cell_format.h"
#include "query/column_display.h"
#include "repository/member_reader.h"
#include "terminal/interrupt.h"

namespace {

// What a column shows, looked up once per table, and its member found once
// in the class.
struct Column {
  CellKind kind;
  int number;  // member number
  int width;
  wqstore::MemberReader member;
};

char* PutCell(char* p, const awq_Object& obj, const Column& c) {
  switch (c.kind) {
    case CellKind::kString: {
      size_t length = 0;
      const char* s = c.member.String(obj, &length);
      return PutTextCell(p, s, length, static_cast<size_t>(c.width));
    }
    case CellKind::kInt: return PutIntCell(p, c.member.Int(obj));
    case CellKind::kDouble: return PutDoubleCell(p, c.member.Double(obj));
    case CellKind::kChar: return PutCharCell(p, c.member.Char(obj));
    case CellKind::kBlob: {
      int32_t size = 0;
      const unsigned char* data = nullptr;
      c.member.Blob(obj, size, data);
      return PutBlobCell(p, data, size);
    }
    case CellKind::kRef: {
      const awq_Object target = obj.GetObjectRefProperty(c.number);
      if (target.IsEmpty()) return PutTextCell(p, "[].[].[]", static_cast<size_t>(c.width));
      // A referenced object shows its display text, member 3.
      size_t length = 0;
      const char* s = wqstore::StringOf(target, 3, &length);
      return PutTextCell(p, s, length, static_cast<size_t>(c.width));
    }
    case CellKind::kNotAvailable: return PutTextCell(p, "n/a", static_cast<size_t>(c.width));
    case CellKind::kEmpty: break;
  }
  return PutTextCell(p, nullptr, static_cast<size_t>(c.width));
}

}  // namespace

TableEnd PrintObjectTable(const awq_Database& db, const awq_Class& cls,
                          const awq_autovector<awq_ClassProperty>& members,
                          const TableOutput& output) {
  const int32_t count = members.count;
  std::unique_ptr<Column[]> columns(new Column[count > 0 ? count : 1]);
  for (int32_t i = 0; i < count; ++i) {
    const ColumnDisplay& display = DisplayOf(members[i].GetDataType());
    const int number = members[i].GetMemberNumber();
    columns[i] = Column{display.kind, number, display.width, wqstore::MemberReader(cls, number)};
  }
  BufferedWriter& out = *output.out;
  const char separator = output.separator;
  // The objects FindObjects would list, made one at a time.
  const awq_ObjectSpan objects = db.SpanObjects(cls.GetClassNumber());

  // The size of the table, for a pager on the console.
  int64_t width = count > 0 ? count - 1 : 0;
  for (int32_t i = 0; i < count; ++i) width += columns[i].width;
  if (output.table_start != nullptr) output.table_start(width, int64_t{2} + objects.size());

  // Header: member names as the store holds them, cut by characters.
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) out.Put(separator);
    const char* name = members[i].GetName();
    size_t chars = 0;
    const size_t bytes = Utf8PrefixBytes(name, static_cast<size_t>(columns[i].width), &chars);
    if (chars < static_cast<size_t>(columns[i].width)) {
      out.Pad(static_cast<size_t>(columns[i].width) - chars);
    }
    out.Write(name, bytes);
  }
  out.EndLine();
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) out.Put(separator);
    for (int w = 0; w < columns[i].width; ++w) out.Put('=');
  }
  out.EndLine();

  // Room for a separator and a cell, or the newline; and for a whole row,
  // taken at once when the buffer can hold it.
  constexpr size_t kStep = 1 + kMaxCellRoom;
  const size_t row_room = kStep * static_cast<size_t>(count > 0 ? count : 1);
  const bool whole_rows = row_room <= BufferedWriter::kRoomMax;
  const Column* const first = columns.get();
  const Column* const last = first + count;
  for (int32_t row = 0; row < objects.size(); ++row) {
    const awq_Object obj = objects[row];
    if (TakeInterrupt()) return TableEnd::kInterrupted;  // Ctrl-C: the rows so far stay
    char* p = out.Room(whole_rows ? row_room : kStep);
    try {
      for (const Column* c = first; c != last; ++c) {
        if (c != first) {
          if (!whole_rows && out.Left(p) < kStep) {
            out.Commit(p);
            p = out.Room(kStep);
          }
          *p++ = separator;
        }
        p = PutCell(p, obj, *c);
      }
    } catch (...) {
      out.Commit(p);  // the row as far as it got, as if written cell by cell
      throw;
    }
    if (out.Left(p) < 1) {
      out.Commit(p);
      p = out.Room(1);
    }
    out.EndLineAt(p);
    if (out.failed()) break;  // nobody reads the rest
  }
  return TableEnd::kWhole;
}
