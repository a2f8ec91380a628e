// BuildFromJson: a fast pass over the source, and a careful one when the fast
// pass finds that it added objects too early.
#include "tools/json_source.h"

#include <utility>

#include "tools/source_faults.h"
#include "tools/source_reader.h"

namespace wqsource {

using wqstore::RepositoryWriter;

namespace {

Status ReadInto(const SourceText& source, RepositoryWriter& writer, ReadMode mode, PassEnd* end) {
  return ReadSource(source, writer, mode, end);
}

}  // namespace

Status BuildFromJson(std::string_view text, std::unique_ptr<RepositoryWriter>* writer,
                     std::string_view source_name) {
  const SourceText source(text, source_name);
  auto built = std::make_unique<RepositoryWriter>();
  PassEnd end = PassEnd::kDone;
  Status read = ReadInto(source, *built, ReadMode::kFast, &end);
  if (end == PassEnd::kNeedsCarefulPass) {
    built = std::make_unique<RepositoryWriter>();
    read = ReadInto(source, *built, ReadMode::kCareful, &end);
  }
  WQ_RETURN_IF_ERROR(read);
  *writer = std::move(built);
  return Status::OK();
}

Status BuildFromJsonCarefully(std::string_view text, RepositoryWriter& writer) {
  PassEnd end = PassEnd::kDone;
  return ReadInto(SourceText(text), writer, ReadMode::kCareful, &end);
}

}  // namespace wqsource
