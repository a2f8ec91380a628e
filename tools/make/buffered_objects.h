// BufferedObjects: the objects of a class that come before the class is
// complete enough for the writer (its name and members, and in the careful
// pass also its number and object size). They are kept as offsets into the
// source, compactly, and read again and written once the class ends.
#ifndef WQSQL_TOOLS_MAKE_BUFFERED_OBJECTS_H_
#define WQSQL_TOOLS_MAKE_BUFFERED_OBJECTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/status.h"
#include "tools/make/class_model.h"
#include "tools/make/object_builder.h"
#include "tools/make/source_faults.h"

namespace wqsource {

class BufferedObjects {
 public:
  // Forgets what was kept, once its class has ended.
  void Clear();

  // An object whose '{' is at `offset`.
  void BeginObject(size_t offset);
  // The current object's id string is at `offset`.
  void SetIdOffset(size_t offset) { objects_.back().id_offset = offset; }
  // A key of the current object's "values": sets *name to its index among
  // the keys of the class's objects; false when the object gave it before.
  bool Key(std::string_view key, uint32_t* name);
  // The value at `offset` of the key `name` that starts at `key_offset`.
  void AddValue(size_t offset, size_t key_offset, uint32_t name);

  // Writes the objects of `c`, now complete and in the writer with index
  // `cls`, whose members `member_by_name` finds, through `builder`, in
  // source order; a fault is reported at the place in the source where its
  // id, key or value is.
  Status Replay(const ClassState& c,
                const std::unordered_map<std::string, uint32_t>& member_by_name, uint32_t cls,
                const SourceText& source, ObjectBuilder& builder) const;

 private:
  struct Object {
    static constexpr uint64_t kNoId = UINT64_MAX;
    uint64_t offset = 0;         // of the object's '{'
    uint64_t id_offset = kNoId;  // of its id string
    uint64_t value_count = 0;    // its values follow those of the objects before it
  };
  struct Value {
    uint64_t offset;     // of the value
    uint32_t key_delta;  // offset minus the offset of its key (at most UINT32_MAX)
    uint32_t name;       // index into names_
  };

  std::vector<std::string> names_;  // the keys of "values", each once
  std::unordered_map<std::string, uint32_t> name_index_;
  std::string key_text_;         // a key being looked up
  std::vector<uint64_t> given_;  // per name: serial_ of the last object giving it
  uint64_t serial_ = 0;          // counts objects
  std::vector<Object> objects_;
  std::vector<Value> values_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_BUFFERED_OBJECTS_H_
