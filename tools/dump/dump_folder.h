// wqdump --all-classes: every class of a repository as one file in a
// folder, NAME.csv or NAME.jsonl. The folder is written whole or not at
// all: the files go into a temporary folder beside it, which is renamed to
// the folder's name once every file is complete.
#ifndef WQSQL_TOOLS_DUMP_DUMP_FOLDER_H_
#define WQSQL_TOOLS_DUMP_DUMP_FOLDER_H_

#include <string>

#include "platform/status.h"
#include "store/scan.h"
#include "tools/dump/dump_table.h"

namespace wqtools {

// The file name of the class `name`: the name with "/", "%", a leading "."
// and every byte outside printable ASCII written as "%" and two upper-case
// hex digits, then ".csv" or ".jsonl". Distinct names give distinct file
// names, and none is ".", ".." or holds a "/".
std::string ClassFileName(const std::string& name, TableFormat format);

// Writes every class of the file `reader` has open, which has passed
// validation, into `folder`, which must not exist or be an empty folder.
// On failure nothing is left of the run: no folder, no temporary folder.
// Tells `progress` (when given) how far it has come.
Status WriteClassFolder(const wqstore::Reader& reader, TableFormat format,
                        const std::string& folder, DumpProgress* progress = nullptr);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_DUMP_FOLDER_H_
