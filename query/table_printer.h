// PrintObjectTable: the objects of one class as a fixed-width text table
// over a given list of members, written to a given output.
#ifndef WQSQL_QUERY_TABLE_PRINTER_H_
#define WQSQL_QUERY_TABLE_PRINTER_H_

#include <cstdint>

#include "platform/buffered_writer.h"
#include "repository/store_api.h"

// Where and how a table is printed.
struct TableOutput {
  BufferedWriter* out;
  char separator;  // between the columns
  // Called once before the first line with the width of the lines in
  // characters and their number (a pager may take the output from there);
  // null for none.
  void (*table_start)(int64_t width, int64_t lines);
};

enum class TableEnd { kWhole, kInterrupted };

// Prints the header row, the underline row and one row per object of `cls`
// in `db`, one column per entry of `members`, in order. Stops after the row
// at which Ctrl-C is found pressed (kInterrupted), or once the output has
// failed.
TableEnd PrintObjectTable(const awq_Database& db, const awq_Class& cls,
                          const awq_autovector<awq_ClassProperty>& members,
                          const TableOutput& output);

#endif  // WQSQL_QUERY_TABLE_PRINTER_H_
