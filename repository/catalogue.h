// The pseudo tables sys$tables and sys$tablestats: every class of the
// connected repository, with sizes, member statistics and object counts.
#ifndef WQSQL_REPOSITORY_CATALOGUE_H_
#define WQSQL_REPOSITORY_CATALOGUE_H_

void ListClasses();
void ListClassStats();

#endif  // WQSQL_REPOSITORY_CATALOGUE_H_
