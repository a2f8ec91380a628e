// The pseudo tables sys$tables and sys$tablestats: every class of the
// connected repository, with sizes, member statistics and object counts.
#ifndef WQSQL_REPOSITORY_CATALOGUE_H_
#define WQSQL_REPOSITORY_CATALOGUE_H_

#include "platform/buffered_writer.h"
#include "repository/command_errors.h"

// Each writes its table to `writer`.
CommandErrors ListClasses(BufferedWriter& writer);
// Stops at Ctrl-C (kInterrupted).
CommandErrors ListClassStats(BufferedWriter& writer);

#endif  // WQSQL_REPOSITORY_CATALOGUE_H_
