// The folder of a path.
#ifndef WQSQL_STORE_FILE_IO_H_
#define WQSQL_STORE_FILE_IO_H_

#include <string>

namespace wqstore {

// The folder that holds `path`: "." for a bare name, "/" for one at the root.
std::string FolderOf(const std::string& path);

}  // namespace wqstore

#endif  // WQSQL_STORE_FILE_IO_H_
