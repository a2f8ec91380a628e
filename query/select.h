// The two object selects: every member of a class, or a typed column list.
#ifndef WQSQL_QUERY_SELECT_H_
#define WQSQL_QUERY_SELECT_H_

#include "shell/shell.h"

// select * from class
void SelectAllFromClass(const char* className);
// select a, b from class: columns matched to members ignoring ASCII case.
void SelectColumnsFromClass(const char* className, const ColumnList& columns);

#endif  // WQSQL_QUERY_SELECT_H_
