// The JSON source reader of wqmake: turns source text into RepositoryWriter
// calls, and MakeRepository, which reads a source file and commits the
// repository it describes. The text is read with a SAX parser in one pass;
// no document tree is built.
#ifndef WQSQL_TOOLS_JSON_SOURCE_H_
#define WQSQL_TOOLS_JSON_SOURCE_H_

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/writer.h"

namespace wqsource {

// What is wrong with a source, and where: what() is "LINE:COLUMN: detail".
// Lines and columns are 1-based; columns count characters.
class SourceError : public std::runtime_error {
 public:
  SourceError(size_t line, size_t column, const std::string& detail);
  size_t line() const { return line_; }
  size_t column() const { return column_; }
  const std::string& detail() const { return detail_; }

 private:
  size_t line_;
  size_t column_;
  std::string detail_;
};

// Builds the repository described by `text` and returns its writer, ready to
// commit. Throws SourceError for the first fault found.
std::unique_ptr<wqstore::RepositoryWriter> BuildFromJson(std::string_view text);

// The same into a writer the caller owns, which must be empty. On a
// SourceError the writer holds part of the repository and should be dropped.
void BuildFromJson(std::string_view text, wqstore::RepositoryWriter& writer);

// Why wqmake failed, as the one line it prints after "wqmake: ".
class MakeError : public std::runtime_error {
 public:
  explicit MakeError(const std::string& what) : std::runtime_error(what) {}
};

// Reads the source file, builds the repository and commits it to
// `repo_path`. Throws MakeError; the file at `repo_path` is then as it was.
void MakeRepository(const std::string& source_path, const std::string& repo_path);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_JSON_SOURCE_H_
