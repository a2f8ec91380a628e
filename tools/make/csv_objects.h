// The objects of a class given as a CSV file ("csv": "FILE" in the class):
// the files a source names, opened once and kept until the source is read
// (ids and references point into them), and the reading of one file's
// records into objects through the object builder.
#ifndef WQSQL_TOOLS_MAKE_CSV_OBJECTS_H_
#define WQSQL_TOOLS_MAKE_CSV_OBJECTS_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/status.h"
#include "tools/make/class_model.h"
#include "tools/make/object_builder.h"
#include "tools/make/source_faults.h"
#include "tools/make/source_file.h"

namespace wqsource {

class CsvFiles {
 public:
  // Relative paths are taken from `folder` ("" for the current directory).
  explicit CsvFiles(std::string folder) : folder_(std::move(folder)) {}

  // Opens the CSV file at `path`; *csv is its text, named in messages by
  // its path as opened. Fails with "cannot read PATH: reason" (*csv then
  // unset), or, with *csv set, at the first byte that is a NUL or breaks
  // UTF-8.
  Status Open(std::string_view path, const SourceText** csv);

 private:
  std::string folder_;
  std::deque<SourceFile> files_;
  std::deque<std::string> names_;
  std::deque<SourceText> texts_;
};

// Reads the objects of `c`, which is in the writer with index `cls` and has
// the members `member_by_name`, from the CSV text `csv`: its header names
// the id column (as wqdump names it) and members, each record is an object.
// The builder must be using `csv` (ObjectBuilder::UseCsv).
Status ReadCsvObjects(const SourceText& csv, ClassState& c, uint32_t cls,
                      const std::unordered_map<std::string, uint32_t>& member_by_name,
                      ObjectBuilder& builder);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_CSV_OBJECTS_H_
