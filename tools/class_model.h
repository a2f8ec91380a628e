// What the reader knows of the classes of a source as it reads them, and how
// messages name a class, an object and a value.
#ifndef WQSQL_TOOLS_CLASS_MODEL_H_
#define WQSQL_TOOLS_CLASS_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace wqsource {

struct MemberDef {
  std::string name;
  int32_t number = 0;
  int type = 0;
  bool nullable = true;
};

struct ClassState {
  size_t offset = 0;     // the class's '{'
  uint32_t ordinal = 0;  // 1-based place in "classes"
  std::string name;
  bool has_name = false;
  int32_t number = 0;
  bool has_number = false;
  int32_t object_size = 0;
  bool has_object_size = false;
  bool has_members = false;
  std::vector<MemberDef> members;
  // Dropped when the class ends; the members stay for messages.
  std::unordered_map<std::string, uint32_t> member_by_name;
  std::unordered_set<int32_t> member_numbers;
  int32_t max_member_number = 0;
  bool flushed = false;            // in the writer with its members
  std::vector<uint32_t> required;  // string and reference members that are not nullable
  uint32_t object_count = 0;
  bool buffering = false;  // its objects wait for its definition to be complete
};

// An object as messages name it: by its id, or by its place in its class.
struct ObjectName {
  uint32_t ordinal = 0;  // 1-based place in its class's "objects"
  bool has_id = false;
  std::string id;
};

// "class \"Part\"", or "class #3" before the name is known.
std::string ClassLabel(const ClassState& c);
// "object \"p1\"", or "object #2".
std::string ObjectLabel(const ObjectName& o);
// "class \"Part\", object \"p1\", member \"size\"".
std::string ValueLabel(const ClassState& c, const ObjectName& o, uint32_t member);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_CLASS_MODEL_H_
