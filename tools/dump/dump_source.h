// The repository as a wqmake source: every class with its number, object
// size and members, and every object in stored order with every value, so
// that wqmake rebuilds the same repository. One class per block and one
// object per line. For a file wqmake wrote, the rebuild is the same file
// byte for byte: within an object the strings and blobs come in the order
// of their heap entries, which is the order wqmake appends them in.
#ifndef WQSQL_TOOLS_DUMP_DUMP_SOURCE_H_
#define WQSQL_TOOLS_DUMP_DUMP_SOURCE_H_

#include "store/scan.h"
#include "tools/common/text_sink.h"
#include "tools/dump/dump_progress.h"

namespace wqtools {

// Writes the source of the file `reader` has open, which has passed
// validation. Stops early when the sink fails. Tells `progress` (when
// given) how far it has come.
void WriteSource(const wqstore::Reader& reader, TextSink& out, DumpProgress* progress = nullptr);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_DUMP_SOURCE_H_
