// What the shell uses of the store library: the database, class, member and
// object handles, the owning array, the data type codes and the store's
// error type. The store defines them in store/api.h.
#ifndef WQSQL_REPOSITORY_STORE_API_H_
#define WQSQL_REPOSITORY_STORE_API_H_

#include "store/api.h"

#endif  // WQSQL_REPOSITORY_STORE_API_H_
