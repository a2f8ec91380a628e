// The two object selects: every member of a class, or a typed column list.
#ifndef WQSQL_QUERY_SELECT_H_
#define WQSQL_QUERY_SELECT_H_

#include <string>
#include <vector>

// The typed column names of a column-list select, in the order typed.
using ColumnList = std::vector<std::string>;

// select * from class
void SelectAllFromClass(const char* className);
// select a, b from class: columns matched to members ignoring ASCII case.
void SelectColumnsFromClass(const char* className, const ColumnList& columns);

#endif  // WQSQL_QUERY_SELECT_H_
