// RepositoryWriter builds a repository, in memory or spilled to scratch
// files, and commits it to a file atomically: a temporary file in the
// target's folder, fsync, rename. A failed or interrupted commit never
// leaves a partial file at the target path and never touches a file already
// there.
//
// Every call returns a failed Status, saying what is wrong and where, for
// anything the validator would reject; the writer stays usable after a
// refusal. This is the store's own writer; programs outside the project use
// wqstore::Writer (include/wqstore/writer.h), which is built on it.
#ifndef WQSQL_STORE_WRITER_H_
#define WQSQL_STORE_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace wqstore {

// Identifies an object while a repository is being built.
struct ObjectRef {
  uint32_t cls = 0;  // index of the class in the order of AddClass
  uint32_t obj = 0;  // index of the object within its class
};

struct WriterState;

class RepositoryWriter {
 public:
  RepositoryWriter();
  ~RepositoryWriter();
  RepositoryWriter(const RepositoryWriter&) = delete;
  RepositoryWriter& operator=(const RepositoryWriter&) = delete;

  // Keeps the records and the heap in unnamed scratch files in the folder
  // of `path` (the commit's target, normally) instead of memory, so that
  // the writer's memory does not grow with the objects: about 10 MiB plus
  // the classes and members. Objects must then come class after class (all
  // objects of a class before any of a later one); values may still be set
  // on any object, the earlier ones costing a disk access. Only before the
  // first object.
  Status SpillNear(const std::string& path);

  // Adds a class and sets *index (when not null) to its index. Fails when
  // the name is not usable or taken, or the number is taken. When
  // has_object_size is false the class reports its stored record size.
  Status AddClass(std::string_view name, int32_t number, bool has_object_size, int32_t object_size,
                  uint32_t* index);

  // Adds a member to class `cls` and sets *index (when not null) to its
  // index within the class. Members can be added only while the class has
  // no objects. Fails when the name or number is taken within the class or
  // the type code is outside 0-255.
  Status AddMember(uint32_t cls, std::string_view name, int32_t number, int type, bool nullable,
                   uint32_t* index);

  // Appends an object to class `cls`, every value null, 0 or empty.
  Status AddObject(uint32_t cls, ObjectRef* id);

  // Value setters, by member index within the object's class. Each fails
  // when the object or member does not exist or the member's type takes no
  // value of that kind.
  Status SetString(ObjectRef o, uint32_t member, std::string_view utf8);
  Status SetNull(ObjectRef o, uint32_t member);  // string or reference
  Status SetInt(ObjectRef o, uint32_t member, int32_t v);
  Status SetDouble(ObjectRef o, uint32_t member, double v);
  Status SetChar(ObjectRef o, uint32_t member, uint8_t v);
  Status SetBlob(ObjectRef o, uint32_t member, const void* data, size_t len);
  Status SetRef(ObjectRef o, uint32_t member, ObjectRef target);

  uint32_t class_count() const;
  // Whether a class added so far has the name (compared byte for byte) or
  // the number.
  bool HasClassName(std::string_view name) const;
  bool HasClassNumber(int32_t number) const;
  // The objects of class `cls`; 0 for an index no class has.
  uint32_t object_count(uint32_t cls) const;

  // Writes the repository to `path` atomically. Fails with the reason when
  // it cannot; the target is then as it was. A symbolic
  // link is followed, and a target that is not a regular file or may not be
  // written is refused (store/atomic_file.h). A spilling writer lets its
  // scratch files go once their bytes are in the new file, before that is
  // synced (so the disk is not kept busy writing them), and is empty after:
  // it commits once, and any call after that is refused.
  Status Commit(const std::string& path);

  // Sets *image to the complete file image, as Commit would write it.
  Status Serialize(std::string* image) const;

 private:
  std::unique_ptr<WriterState> state_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_WRITER_H_
