// The SQLite interface as the extension sees it. A loadable extension calls
// SQLite through the table of routines its host hands to the entry point,
// never through symbols of its own: extension.cc keeps that table, and every
// other file of the extension reaches SQLite through this header.
#ifndef WQSQL_SQLITE_SQLITE_API_H_
#define WQSQL_SQLITE_SQLITE_API_H_

#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT3

#endif  // WQSQL_SQLITE_SQLITE_API_H_
