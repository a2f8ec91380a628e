// The two object selects: every member of a class, or a typed column list,
// of the connected repository.
#ifndef WQSQL_QUERY_SELECT_H_
#define WQSQL_QUERY_SELECT_H_

#include <string>
#include <vector>

#include "query/table_printer.h"
#include "repository/command_errors.h"

// The typed column names of a column-list select, in the order typed.
using ColumnList = std::vector<std::string>;

// select * from class
CommandErrors SelectAllFromClass(const char* className, const TableOutput& output);
// select a, b from class: columns matched to members ignoring ASCII case.
CommandErrors SelectColumnsFromClass(const char* className, const ColumnList& columns,
                                     const TableOutput& output);

#endif  // WQSQL_QUERY_SELECT_H_
