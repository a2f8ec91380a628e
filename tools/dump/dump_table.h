// One class as a table: CSV (RFC 4180, UTF-8, CRLF line ends) with a header
// row, or JSON Lines (one JSON object a line). The first column is the
// object's id "CLASSNUMBER:POSITION", then one column per member in member
// order, headed by the member's name. Every value is whole.
#ifndef WQSQL_TOOLS_DUMP_DUMP_TABLE_H_
#define WQSQL_TOOLS_DUMP_DUMP_TABLE_H_

#include "store/scan.h"
#include "tools/common/text_sink.h"
#include "tools/dump/dump_progress.h"

namespace wqtools {

enum class TableFormat { kCsv, kJsonLines };

// Writes the objects of class `c` of the file `reader` has open, which has
// passed validation. Stops early when the sink fails. Tells `progress`
// (when given) how far it has come.
void WriteTable(const wqstore::Reader& reader, const wqstore::ClassInfo& c, TableFormat format,
                TextSink& out, DumpProgress* progress = nullptr);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_DUMP_TABLE_H_
