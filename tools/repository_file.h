// Opening and checking a repository file for the command-line tools: the
// same steps as the shell's connect (Reader::Open) and its validation
// (Validate), with the reasons as plain text that the tools put after the
// file's name.
#ifndef WQSQL_TOOLS_REPOSITORY_FILE_H_
#define WQSQL_TOOLS_REPOSITORY_FILE_H_

#include <memory>
#include <string>

#include "platform/status.h"
#include "store/reader.h"
#include "store/validator.h"

namespace wqtools {

// Maps `path` and checks its header and directory, in time independent of
// the number of objects. "-" is standard input, which must then be a
// regular file. A failure says why, e.g. "cannot open file: No such file or
// directory", "header checksum mismatch".
Status OpenRepository(const std::string& path, std::unique_ptr<wqstore::Reader>* reader);

// Every checksum and structural rule of the whole file. A failure is the
// first fault and where it is, e.g. "checksum mismatch in heap at offset
// 4120", without the file's name.
Status CheckRepository(const wqstore::Reader& reader, const std::string& path,
                       const wqstore::ValidateProgress& progress = wqstore::ValidateProgress());

}  // namespace wqtools

#endif  // WQSQL_TOOLS_REPOSITORY_FILE_H_
