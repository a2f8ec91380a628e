// StatusWriter: the tools' one way into RepositoryWriter. Every call returns
// a Status whose message is the writer's own; Commit, which throws in the
// store, reports through a Status here too, so nothing else in the tools
// depends on how the writer reports a failure. The calls are inline: one
// runs for every value of a source.
#ifndef WQSQL_TOOLS_WRITER_CALLS_H_
#define WQSQL_TOOLS_WRITER_CALLS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "store/api.h"
#include "store/writer.h"

namespace wqsource {

class StatusWriter {
 public:
  explicit StatusWriter(wqstore::RepositoryWriter& writer) : writer_(writer) {}

  // `index` may be null.
  Status AddClass(std::string_view name, int32_t number, bool has_object_size,
                  int32_t object_size, uint32_t* index) {
    return writer_.AddClass(name, number, has_object_size, object_size, index);
  }
  Status AddMember(uint32_t cls, std::string_view name, int32_t number, int type, bool nullable,
                   uint32_t* index) {
    return writer_.AddMember(cls, name, number, type, nullable, index);
  }
  Status AddObject(uint32_t cls, wqstore::ObjectId* id) { return writer_.AddObject(cls, id); }

  Status SetString(wqstore::ObjectId o, uint32_t member, std::string_view utf8) {
    return writer_.SetString(o, member, utf8);
  }
  Status SetInt(wqstore::ObjectId o, uint32_t member, int32_t v) {
    return writer_.SetInt(o, member, v);
  }
  Status SetDouble(wqstore::ObjectId o, uint32_t member, double v) {
    return writer_.SetDouble(o, member, v);
  }
  Status SetChar(wqstore::ObjectId o, uint32_t member, uint8_t v) {
    return writer_.SetChar(o, member, v);
  }
  Status SetBlob(wqstore::ObjectId o, uint32_t member, const void* data, size_t len) {
    return writer_.SetBlob(o, member, data, len);
  }
  Status SetRef(wqstore::ObjectId o, uint32_t member, wqstore::ObjectId target) {
    return writer_.SetRef(o, member, target);
  }

  // The complete file image.
  Status Serialize(std::string* image) const { return writer_.Serialize(image); }
  // Writes the repository to `path` atomically; on failure the target is as
  // it was.
  Status Commit(const std::string& path) const {
    try {
      writer_.Commit(path);
    } catch (const awq_StoreError& e) {
      return Status::Error(e.what());
    }
    return Status::OK();
  }

 private:
  wqstore::RepositoryWriter& writer_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_WRITER_CALLS_H_
