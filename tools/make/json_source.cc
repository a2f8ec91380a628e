// BuildFromJson: a fast pass over the source, a careful one when the fast
// pass finds that it added objects too early, and one with the parser's
// events alone when a pass that read objects in windows meets a fault, to
// place it.
#include "tools/make/json_source.h"

#include <utility>

#include "tools/make/source_faults.h"
#include "tools/make/source_reader.h"

namespace wqsource {

using wqstore::RepositoryWriter;

Status BuildFromJson(std::string_view text, std::unique_ptr<RepositoryWriter>* writer,
                     std::string_view source_name, const std::string& spill_near,
                     const std::string* csv_folder) {
  const SourceText source(text, source_name);
  auto fresh = [&spill_near](std::unique_ptr<RepositoryWriter>* w) {
    w->reset();  // the scratch files of a first pass go before the second's come
    *w = std::make_unique<RepositoryWriter>();
    return spill_near.empty() ? Status::OK() : (*w)->SpillNear(spill_near);
  };
  std::unique_ptr<RepositoryWriter> built;
  ReadMode mode = ReadMode::kFast;
  ObjectParser parser = ObjectParser::kWindows;
  Status read;
  for (;;) {
    WQ_RETURN_IF_ERROR(fresh(&built));
    PassEnd end = PassEnd::kDone;
    read = ReadSource(source, *built, mode, parser, csv_folder, &end);
    if (end == PassEnd::kNeedsCarefulPass) {
      mode = ReadMode::kCareful;
    } else if (end == PassEnd::kNeedsEventPass) {
      parser = ObjectParser::kEvents;
    } else {
      break;
    }
  }
  WQ_RETURN_IF_ERROR(read);
  *writer = std::move(built);
  return Status::OK();
}

Status BuildFromJsonCarefully(std::string_view text, RepositoryWriter& writer) {
  PassEnd end = PassEnd::kDone;
  return ReadSource(SourceText(text), writer, ReadMode::kCareful, ObjectParser::kEvents, nullptr,
                    &end);
}

}  // namespace wqsource
