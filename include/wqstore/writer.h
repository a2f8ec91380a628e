// Writer: builds a repository and writes it to a file atomically.
//
//   wqstore::Writer w;
//   Result r = w.AddClass("Part", 12);
//   if (r.ok()) r = w.AddMember(12, "name", 1, wqstore::DataType::kString, false);
//   wqstore::ObjectId p;
//   if (r.ok()) r = w.AddObject(12, &p);
//   if (r.ok()) r = w.SetString(p, 1, "pump");
//   if (r.ok()) r = w.Commit("parts.rtm");
//
// Classes are named by their number and members by their number within
// the class, as the reading side names them; objects by the ObjectId they
// will have in the file. Every call checks what the file's rules require
// (names, unique numbers, value types, required values at Commit) and
// refuses with kInvalidArgument, kNotFound (no such class, member or
// object) or kTypeMismatch, saying what and where; the writer stays usable
// after a refusal. A Writer is used by one thread at a time.
#ifndef WQSTORE_WRITER_H_
#define WQSTORE_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "wqstore/export.h"
#include "wqstore/repository.h"
#include "wqstore/result.h"

namespace wqstore {

class WQSTORE_EXPORT Writer {
 public:
  Writer();
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Keeps the records and the heap in unnamed scratch files in the folder
  // of `path` (normally the commit's target) instead of memory, so that the
  // writer's memory does not grow with the objects. The objects must then
  // come class after class. Only before the first object.
  Result SpillNear(const std::string& path);

  // Adds a class whose object size is its record's size, or the size
  // given.
  Result AddClass(std::string_view name, int32_t number);
  Result AddClass(std::string_view name, int32_t number, int32_t object_size);

  // Adds a member to the class with number `class_number`, while the class
  // has no objects. `type_code` is 0 to 255 (DataType values or any other
  // code, which stores nothing).
  Result AddMember(int32_t class_number, std::string_view name, int32_t number, int type_code,
                   bool nullable);
  Result AddMember(int32_t class_number, std::string_view name, int32_t number, DataType type,
                   bool nullable) {
    return AddMember(class_number, name, number, static_cast<int>(type), nullable);
  }

  // Appends an object to the class, every value null, 0 or empty, and sets
  // *id (when not null) to its identity.
  Result AddObject(int32_t class_number, ObjectId* id);

  // Values, by member number.
  Result SetString(const ObjectId& object, int32_t member, std::string_view utf8);
  // Null, for a string or reference member.
  Result SetNull(const ObjectId& object, int32_t member);
  Result SetInt(const ObjectId& object, int32_t member, int32_t value);
  Result SetDouble(const ObjectId& object, int32_t member, double value);
  Result SetChar(const ObjectId& object, int32_t member, unsigned char value);
  Result SetBlob(const ObjectId& object, int32_t member, std::string_view bytes);
  Result SetReference(const ObjectId& object, int32_t member, const ObjectId& target);

  int32_t class_count() const;
  // The objects added to the class so far; 0 for a number no class has.
  int32_t object_count(int32_t class_number) const;

  // Writes the file: a temporary file in the target's folder, synced, then
  // renamed over `path`, so a failure leaves `path` as it was. A symbolic
  // link is followed; a target that is not a regular file or may not be
  // written is refused. The writer commits once.
  Result Commit(const std::string& path);
  // The complete file image, as Commit would write it.
  Result Serialize(std::string* image) const;

 private:
  struct Rep;
  std::unique_ptr<Rep> rep_;
};

}  // namespace wqstore

#endif  // WQSTORE_WRITER_H_
