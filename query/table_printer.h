// PrintObjectTable: the objects of one class as a fixed-width text table
// over a given list of members.
#ifndef WQSQL_QUERY_TABLE_PRINTER_H_
#define WQSQL_QUERY_TABLE_PRINTER_H_

#include "repository/store_api.h"

// Prints the header row, the underline row and one row per object of
// `cls` (fetched from the connected database), one column per entry of
// `members`, in order.
void PrintObjectTable(const awq_Class& cls, const awq_autovector<awq_ClassProperty>& members);

#endif  // WQSQL_QUERY_TABLE_PRINTER_H_
