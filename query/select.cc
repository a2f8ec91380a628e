// The object selects: the class a select names, and the typed columns
// matched to its members before the table is printed. The connected file is
// checked before the select reads it and again after.
#include "query/select.h"

#include "platform/ascii.h"
#include "repository/connection.h"

namespace {

CommandErrors Printed(TableEnd end) {
  if (end == TableEnd::kInterrupted) return CommandErrors(ErrorCode::kInterrupted);
  return {};
}

CommandErrors PrintAllColumns(const awq_Database& db, const char* className,
                              const TableOutput& output) {
  const awq_Class cls = db.FindClassDef(className);
  if (cls.IsEmpty()) return CommandErrors(ErrorCode::kClassNotFound, className);
  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  if (members.count == 0) return {};  // a class without members prints nothing
  return Printed(PrintObjectTable(db, cls, members, output));
}

CommandErrors PrintChosenColumns(const awq_Database& db, const char* className,
                                 const ColumnList& columns, const TableOutput& output) {
  const awq_Class cls = db.FindClassDef(className);
  if (cls.IsEmpty()) return CommandErrors(ErrorCode::kClassNotFound, className);
  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  const int32_t n = static_cast<int32_t>(columns.size());
  awq_autovector<awq_ClassProperty> chosen(new awq_ClassProperty[n], n, true);
  for (int32_t c = 0; c < n; ++c) {
    bool found = false;
    for (const awq_ClassProperty& m : members) {
      if (EqualsIgnoreCase(m.GetName(), columns[c].c_str())) {
        chosen[c] = m;  // the first match in the store's order
        found = true;
        break;
      }
    }
    if (!found) return CommandErrors(ErrorCode::kColumnNotFound, columns[c]);
  }
  return Printed(PrintObjectTable(db, cls, chosen, output));
}

}  // namespace

CommandErrors SelectAllFromClass(const char* className, const TableOutput& output) {
  return ReadConnected(
      [&](const awq_Database& db) { return PrintAllColumns(db, className, output); });
}

CommandErrors SelectColumnsFromClass(const char* className, const ColumnList& columns,
                                     const TableOutput& output) {
  return ReadConnected(
      [&](const awq_Database& db) { return PrintChosenColumns(db, className, columns, output); });
}
