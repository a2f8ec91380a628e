// A RepositoryWriter for tests that build repositories they expect to be
// sound: every refused call is a test failure showing the writer's message,
// and indexes and object ids come back as values.
#ifndef WQSQL_TESTS_CHECKED_WRITER_H_
#define WQSQL_TESTS_CHECKED_WRITER_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "repository/store_api.h"
#include "store/writer.h"

namespace wqtest {

class CheckedWriter {
 public:
  uint32_t AddClass(std::string_view name, int32_t number, bool has_object_size = false,
                    int32_t object_size = 0) {
    uint32_t index = 0;
    Expect(w_.AddClass(name, number, has_object_size, object_size, &index));
    return index;
  }
  uint32_t AddMember(uint32_t cls, std::string_view name, int32_t number, int type, bool nullable) {
    uint32_t index = 0;
    Expect(w_.AddMember(cls, name, number, type, nullable, &index));
    return index;
  }
  wqstore::ObjectRef AddObject(uint32_t cls) {
    wqstore::ObjectRef id;
    Expect(w_.AddObject(cls, &id));
    return id;
  }
  void SetString(wqstore::ObjectRef o, uint32_t m, std::string_view v) {
    Expect(w_.SetString(o, m, v));
  }
  void SetNull(wqstore::ObjectRef o, uint32_t m) { Expect(w_.SetNull(o, m)); }
  void SetInt(wqstore::ObjectRef o, uint32_t m, int32_t v) { Expect(w_.SetInt(o, m, v)); }
  void SetDouble(wqstore::ObjectRef o, uint32_t m, double v) { Expect(w_.SetDouble(o, m, v)); }
  void SetChar(wqstore::ObjectRef o, uint32_t m, uint8_t v) { Expect(w_.SetChar(o, m, v)); }
  void SetBlob(wqstore::ObjectRef o, uint32_t m, const void* data, size_t len) {
    Expect(w_.SetBlob(o, m, data, len));
  }
  void SetRef(wqstore::ObjectRef o, uint32_t m, wqstore::ObjectRef target) {
    Expect(w_.SetRef(o, m, target));
  }

  // The image, or "" after a test failure.
  std::string Serialize() const {
    std::string image;
    Expect(w_.Serialize(&image));
    return image;
  }
  // Throws awq_StoreError with the reason when the commit fails.
  void Commit(const std::string& path) {
    const Status s = w_.Commit(path);
    if (!s.ok()) throw awq_StoreError(s.message());
  }

  wqstore::RepositoryWriter& writer() { return w_; }

 private:
  static void Expect(const Status& s) {
    if (!s.ok()) ADD_FAILURE() << "writer refused: " << s.message();
  }

  wqstore::RepositoryWriter w_;
};

}  // namespace wqtest

#endif  // WQSQL_TESTS_CHECKED_WRITER_H_
