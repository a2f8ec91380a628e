// The repository files one database connection has open. A file is opened
// once per connection and shared by every table and table-valued function
// that reads it; it closes when the last of them lets it go. A table created
// after the file was replaced or changed on disk opens it anew.
//
// A pool belongs to one connection, and SQLite calls into a connection's
// virtual tables one call at a time, so the pool takes no lock.
#ifndef WQSQL_SQLITE_FILE_POOL_H_
#define WQSQL_SQLITE_FILE_POOL_H_

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "wqstore/repository.h"
#include "wqstore/result.h"

namespace wqsqlite {

class FilePool {
 public:
  // The repository at `path`: the one open already when `path` leads to the
  // same file and it has not changed, else the file opened now (with the
  // checks of Repository::Open and its reason on failure).
  wqstore::Result Acquire(const std::string& path,
                          std::shared_ptr<const wqstore::Repository>* repo);

 private:
  struct Entry {
    dev_t device;
    ino_t inode;
    std::weak_ptr<const wqstore::Repository> repo;
  };
  std::vector<Entry> entries_;
};

// A module's client data is a reference to the connection's pool: made by
// NewPoolRef, read by PoolOf, dropped by DeletePoolRef when SQLite lets the
// module go.
void* NewPoolRef(const std::shared_ptr<FilePool>& pool);
const std::shared_ptr<FilePool>& PoolOf(void* aux);
void DeletePoolRef(void* aux);

}  // namespace wqsqlite

#endif  // WQSQL_SQLITE_FILE_POOL_H_
