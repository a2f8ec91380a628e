// RepositoryWriter builds a repository in memory and commits it to a file
// atomically: a temporary file in the target's folder, fsync, rename. A
// failed or interrupted commit never leaves a partial file at the target
// path and never touches a file already there.
#ifndef WQSQL_STORE_WRITER_H_
#define WQSQL_STORE_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store/api.h"

namespace wqstore {

// Identifies an object while a repository is being built.
struct ObjectId {
  uint32_t cls = 0;  // index of the class in the order of AddClass
  uint32_t obj = 0;  // index of the object within its class
};

class RepositoryWriter {
 public:
  RepositoryWriter();
  ~RepositoryWriter();
  RepositoryWriter(const RepositoryWriter&) = delete;
  RepositoryWriter& operator=(const RepositoryWriter&) = delete;

  // Adds a class and returns its index. Throws awq_StoreError when the name
  // is empty or taken, or the number is taken. When `object_size` is absent
  // (has_object_size false) the class reports its stored record size.
  uint32_t AddClass(std::string_view name, int32_t number, bool has_object_size,
                    int32_t object_size);

  // Adds a member to a class and returns its index within the class. Members
  // can be added only while the class has no objects. Throws awq_StoreError
  // when the name or number is taken within the class.
  uint32_t AddMember(uint32_t cls, std::string_view name, int32_t number, int type,
                     bool nullable);

  // Appends an object to a class, every value null, 0 or empty.
  ObjectId AddObject(uint32_t cls);

  // Value setters, by member index within the object's class. Each throws
  // awq_StoreError when the member's type takes no value of that kind.
  void SetString(ObjectId o, uint32_t member, std::string_view utf8);
  void SetNull(ObjectId o, uint32_t member);  // string or reference
  void SetInt(ObjectId o, uint32_t member, int32_t v);
  void SetDouble(ObjectId o, uint32_t member, double v);
  void SetChar(ObjectId o, uint32_t member, uint8_t v);
  void SetBlob(ObjectId o, uint32_t member, const void* data, size_t len);
  void SetRef(ObjectId o, uint32_t member, ObjectId target);

  uint32_t class_count() const;
  uint32_t object_count(uint32_t cls) const;
  uint32_t member_count(uint32_t cls) const;
  int member_type(uint32_t cls, uint32_t member) const;

  // Writes the repository to `path` atomically. Throws awq_StoreError with
  // the reason when it cannot; the target is then as it was.
  void Commit(const std::string& path) const;

  // The complete file image, as Commit would write it.
  std::string Serialize() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_WRITER_H_
