// ReadSource: one pass of the JSON source reader over a source's text, which
// checks its structure and values and feeds them to the writer as they come.
#ifndef WQSQL_TOOLS_MAKE_SOURCE_READER_H_
#define WQSQL_TOOLS_MAKE_SOURCE_READER_H_

#include <string>

#include "platform/status.h"
#include "store/writer.h"
#include "tools/make/source_faults.h"

namespace wqsource {

// How a pass treats the objects of a class whose definition is not complete
// when its objects start.
enum class ReadMode {
  // Objects go straight into the writer once the class's name and members
  // are known; the class's number and object size defaulted then must not
  // come later.
  kFast,
  // Objects wait until the name, members, number and object size are all
  // known, or the class ends.
  kCareful,
};

// How a pass reads the elements of "objects" arrays.
enum class ObjectParser {
  // In windows, with simdjson (ObjectWindows); a fault found in a pass that
  // read any is placed by a pass with the events.
  kWindows,
  // With the events of the parser of the rest of the source.
  kEvents,
};

// How a pass ended.
enum class PassEnd {
  kDone,              // the source is read; see the status
  kNeedsCarefulPass,  // a number or object size came after objects were added
  kNeedsEventPass,    // a fault came after objects were read in windows
};

// Reads `source` into `writer`, which must be empty. Fails with the first
// fault of the source, "LINE:COLUMN: detail" (see SourceText). Only the fast
// mode can end in kNeedsCarefulPass, without a fault, and only kWindows in
// kNeedsEventPass, with a fault whose message may be wrong. On a failure, or
// when it needs another pass, the writer holds part of the repository and
// should be dropped.
// `csv_folder` is the folder of the CSV files the source names with
// relative paths ("" for the current directory); when it is null, a class
// that names one is a fault.
Status ReadSource(const SourceText& source, wqstore::RepositoryWriter& writer, ReadMode mode,
                  ObjectParser parser, const std::string* csv_folder, PassEnd* end);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_SOURCE_READER_H_
