// The object table: widths by data type, header and underline rows, and
// one row per object, each cell converted for the console.
#include "query/table_printer.h"

#include <memory>

#include "platform/console.h"
#include "platform/i18n_string.h"
#include "query/cell_format.h"
#include "repository/connection.h"
#include "shell/interrupt.h"
#include "shell/output.h"
#include "shell/shell.h"

namespace {

// Builds the text of one cell into `buf` (ISO-8859-1, one byte per
// character) and returns its length.
size_t BuildCell(const awq_Object& obj, const awq_ClassProperty& member, int width, char* buf) {
  const int number = member.GetMemberNumber();
  buf[0] = 0;
  switch (member.GetDataType()) {
    case 1: {
      const char* s = obj.GetStringProperty(number);
      if (s == nullptr) return 0;
      I18NString text(s, nullptr, -1, nullptr, nullptr);
      return CutText(text.c_str("iso-8859-1", nullptr, nullptr, nullptr),
                     static_cast<size_t>(width), buf);
    }
    case 2: return FormatIntCell(obj.GetIntProperty(number), buf);
    case 3: return FormatDoubleCell(obj.GetDoubleProperty(number), buf);
    case 4: return FormatCharCell(obj.GetCharProperty(number), buf);
    case 5: {
      int32_t size = 0;
      const unsigned char* data = nullptr;
      obj.GetBlobProperty(number, size, data);
      return FormatBlobCell(data, size, buf);
    }
    case 6:
    case 8: {
      const awq_Object target = obj.GetObjectRefProperty(number);
      if (target.IsEmpty()) return CutText("[].[].[]", static_cast<size_t>(width), buf);
      // A referenced object shows its display text, member 3.
      const char* s = target.GetStringProperty(3);
      if (s == nullptr) return 0;
      I18NString text(s, nullptr, -1, nullptr, nullptr);
      return CutText(text.c_str("iso-8859-1", nullptr, nullptr, nullptr),
                     static_cast<size_t>(width), buf);
    }
    case 7:
    case 9:
    case 11: return CutText("n/a", 3, buf);
    default: return 0;
  }
}

}  // namespace

void PrintObjectTable(const awq_Class& cls, const awq_autovector<awq_ClassProperty>& members) {
  const int32_t columns = members.count;
  std::unique_ptr<int[]> widths(new int[columns > 0 ? columns : 1]);
  for (int32_t i = 0; i < columns; ++i) widths[i] = ColumnWidth(members[i].GetDataType());
  const char separator = Settings().separator;

  // Header: member names as the store holds them, cut by characters.
  for (int32_t i = 0; i < columns; ++i) {
    if (i > 0) out::Put(separator);
    const char* name = members[i].GetName();
    size_t chars = 0;
    const size_t bytes = Utf8PrefixBytes(name, static_cast<size_t>(widths[i]), &chars);
    out::Field(name, bytes, chars, widths[i]);
  }
  out::EndLine();
  for (int32_t i = 0; i < columns; ++i) {
    if (i > 0) out::Put(separator);
    for (int w = 0; w < widths[i]; ++w) out::Put('=');
  }
  out::EndLine();

  awq_autovector<awq_Object> objects =
      Connection().database->FindObjects(cls.GetClassNumber());
  char cell[kCellBufferSize];
  char converted[2 * kCellBufferSize];
  for (const awq_Object& obj : objects) {
    if (InterruptRequested()) {  // Ctrl-C on the console: the rows so far stay
      ReportInterrupted();
      break;
    }
    for (int32_t i = 0; i < columns; ++i) {
      if (i > 0) out::Put(separator);
      const size_t chars = BuildCell(obj, members[i], widths[i], cell);
      const size_t bytes = ConsoleConvert(cell, chars, converted);
      out::Field(converted, bytes, chars, widths[i]);
    }
    out::EndLine();
    if (out::Broken()) break;  // nobody reads the rest
  }
}
