// Fuzz target: arbitrary text as a wqmake JSON source. A source is either
// refused with a fault or builds a repository that opens and validates, and
// whose classes and objects are all there; a source with a NUL byte is
// always refused. The objects read in windows build what the parser's events
// alone build, and a source refused by one is refused by the other.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_util.h"
#include "platform/status.h"
#include "repository/store_api.h"
#include "store/writer.h"
#include "tools/make/json_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<wqstore::RepositoryWriter> writer;
  wqstore::RepositoryWriter by_events;
  const bool events_ok = wqsource::BuildFromJsonCarefully(text, by_events).ok();
  if (!wqsource::BuildFromJson(text, &writer).ok()) {
    if (events_ok) std::abort();
    return 0;
  }
  if (!events_ok) std::abort();
  // A source is text: one with a NUL byte anywhere is refused.
  if (text.find('\0') != std::string_view::npos) std::abort();
  std::string image;
  std::string image_by_events;
  // An accepted source must always serialise.
  if (!writer->Serialize(&image).ok()) std::abort();
  if (!by_events.Serialize(&image_by_events).ok() || image_by_events != image) std::abort();
  const std::string path =
      BytesAsFile(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  awq_Database db;
  if (db.Open(path.c_str(), omReadOnly, 0, false) == nullptr) std::abort();
  db.ValidateRepository();  // throws, and so fails, on an unsound build
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  if (static_cast<uint32_t>(classes.count) != writer->class_count()) std::abort();
  for (int32_t i = 0; i < classes.count; ++i) {
    awq_autovector<awq_Object> objects = db.FindObjects(classes[i].GetClassNumber());
    if (static_cast<uint32_t>(objects.count) != writer->object_count(static_cast<uint32_t>(i))) {
      std::abort();
    }
  }
  return 0;
}
