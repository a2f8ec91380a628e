// BuildFromJson: a fast pass over the source, and a careful one when the fast
// pass finds that it added objects too early.
#include "tools/make/json_source.h"

#include <utility>

#include "tools/make/source_faults.h"
#include "tools/make/source_reader.h"

namespace wqsource {

using wqstore::RepositoryWriter;

namespace {

Status ReadInto(const SourceText& source, RepositoryWriter& writer, ReadMode mode, PassEnd* end) {
  return ReadSource(source, writer, mode, end);
}

}  // namespace

Status BuildFromJson(std::string_view text, std::unique_ptr<RepositoryWriter>* writer,
                     std::string_view source_name, const std::string& spill_near) {
  const SourceText source(text, source_name);
  auto fresh = [&spill_near](std::unique_ptr<RepositoryWriter>* w) {
    w->reset();  // the scratch files of a first pass go before the second's come
    *w = std::make_unique<RepositoryWriter>();
    return spill_near.empty() ? Status::OK() : (*w)->SpillNear(spill_near);
  };
  std::unique_ptr<RepositoryWriter> built;
  WQ_RETURN_IF_ERROR(fresh(&built));
  PassEnd end = PassEnd::kDone;
  Status read = ReadInto(source, *built, ReadMode::kFast, &end);
  if (end == PassEnd::kNeedsCarefulPass) {
    WQ_RETURN_IF_ERROR(fresh(&built));
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
