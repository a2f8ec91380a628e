// The folder of a path, and the whole writes and reads of
// platform/fd_io.h under the store's namespace.
#ifndef WQSQL_STORE_FILE_IO_H_
#define WQSQL_STORE_FILE_IO_H_

#include <string>

#include "platform/fd_io.h"

namespace wqstore {

// The folder that holds `path`: "." for a bare name, "/" for one at the root.
std::string FolderOf(const std::string& path);

using ::ReadFully;
using ::WriteFully;

}  // namespace wqstore

#endif  // WQSQL_STORE_FILE_IO_H_
