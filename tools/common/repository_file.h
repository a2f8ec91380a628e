// Opening and checking a repository file for the command-line tools: the
// same steps as the shell's connect (Reader::Open) and its validation
// (Validate), with the reasons as plain text that the tools put after the
// file's name.
#ifndef WQSQL_TOOLS_COMMON_REPOSITORY_FILE_H_
#define WQSQL_TOOLS_COMMON_REPOSITORY_FILE_H_

#include <memory>
#include <string>

#include "platform/status.h"
#include "store/scan.h"
#include "store/validator.h"

namespace wqtools {

// Maps `path` and checks its header and directory, in time independent of
// the number of objects. "-" is standard input, which must then be a
// regular file. A failure says why, e.g. "cannot open file: No such file or
// directory", "header checksum mismatch".
Status OpenRepository(const std::string& path, std::unique_ptr<wqstore::Reader>* reader);

// Every checksum and structural rule of the whole file. A failure is the
// first fault and where it is, e.g. "checksum mismatch in heap at offset
// 4120", without the file's name. A file cut short or rewritten in place
// since it was opened fails with "file changed since it was opened" or
// "file changed while it was validated", whatever else the pass found.
Status CheckRepository(const wqstore::Reader& reader, const std::string& path,
                       const wqstore::ValidateProgress& progress = wqstore::ValidateProgress());

// "file changed since it was opened" when the file was cut short or
// rewritten in place since it was opened (what was read from it since then
// cannot be trusted), else OK.
Status CheckUnchanged(const wqstore::Reader& reader);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_REPOSITORY_FILE_H_
