// The object selects: the class a select names, and the typed columns
// matched to its members before the table is printed. The connected file is
// checked before the select reads it and again after.
#include "query/select.h"

#include "platform/ascii.h"
#include "query/table_printer.h"
#include "repository/connection.h"
#include "terminal/output.h"

namespace {

// The class a select reads, or an empty class after reporting that there is
// no such class.
awq_Class LookUpClass(const char* className) {
  const awq_Class cls = Connection().database->FindClassDef(className);
  if (cls.IsEmpty()) ReportClassNotFound(className);
  return cls;
}

void PrintAllColumns(const awq_Class& cls) {
  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  if (members.count == 0) return;  // a class without members prints nothing
  PrintObjectTable(cls, members);
}

void PrintChosenColumns(const awq_Class& cls, const ColumnList& columns) {
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
    if (!found) {
      out::Write("*E* column: ");
      out::Write(columns[c]);
      out::Write(" not found");
      out::EndLine();
      return;
    }
  }
  PrintObjectTable(cls, chosen);
}

}  // namespace

void SelectAllFromClass(const char* className) {
  if (!RepositoryReadable()) return;
  const awq_Class cls = LookUpClass(className);
  if (!cls.IsEmpty()) PrintAllColumns(cls);
  ReportChangeDuringCommand();
}

void SelectColumnsFromClass(const char* className, const ColumnList& columns) {
  if (!RepositoryReadable()) return;
  const awq_Class cls = LookUpClass(className);
  if (!cls.IsEmpty()) PrintChosenColumns(cls, columns);
  ReportChangeDuringCommand();
}
