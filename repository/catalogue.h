// The pseudo tables sys$tables and sys$tablestats: every class of the
// connected repository, with sizes, member statistics and object counts.
#ifndef WQSQL_REPOSITORY_CATALOGUE_H_
#define WQSQL_REPOSITORY_CATALOGUE_H_

#include "repository/command_errors.h"

CommandErrors ListClasses();
// Stops at Ctrl-C (kInterrupted).
CommandErrors ListClassStats();

#endif  // WQSQL_REPOSITORY_CATALOGUE_H_
