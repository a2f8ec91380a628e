// BuildFromJson: turns the text of a JSON source, and of the CSV files it
// names, into a RepositoryWriter holding the repository it describes, ready
// to commit. The text is read with a SAX parser and, object by object, with
// simdjson's On-Demand parser; no document tree is built.
#ifndef WQSQL_TOOLS_MAKE_JSON_SOURCE_H_
#define WQSQL_TOOLS_MAKE_JSON_SOURCE_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "store/writer.h"

namespace wqsource {

// Builds the repository described by `text` into a new writer, set in
// *writer on success. Fails with the first fault found:
// "SOURCE_NAME:LINE:COLUMN: detail", or "LINE:COLUMN: detail" when
// `source_name` is empty; lines and columns are 1-based, columns count
// characters. A source past the limits of the id table ("too many object
// ids") fails without a position. With a `spill_near` path the writer
// keeps the records and the heap in scratch files in that path's folder
// (RepositoryWriter::SpillNear), so its memory does not grow with the
// source.
//
// A class may name a CSV file that holds its objects ("csv"); relative
// paths are taken from `csv_folder` ("" for the current directory). Without
// a `csv_folder`, a class that names one is a fault.
Status BuildFromJson(std::string_view text, std::unique_ptr<wqstore::RepositoryWriter>* writer,
                     std::string_view source_name = {}, const std::string& spill_near = {},
                     const std::string* csv_folder = nullptr);

// The same into a writer the caller owns, which must be empty, reading in
// the careful mode only: objects that come before their class's number or
// object size wait for them. BuildFromJson reads so only when its first,
// faster pass meets such a class; both build the same repository. On a
// failure the writer holds part of the repository and should be dropped.
Status BuildFromJsonCarefully(std::string_view text, wqstore::RepositoryWriter& writer);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_JSON_SOURCE_H_
