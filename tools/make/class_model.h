// What the reader knows of the classes of a source as it reads them, and how
// messages name a class, an object and a value. A class that has ended
// keeps only what messages and references to it need: a few dozen bytes
// besides its name and members.
#ifndef WQSQL_TOOLS_MAKE_CLASS_MODEL_H_
#define WQSQL_TOOLS_MAKE_CLASS_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace wqsource {

struct MemberDef {
  std::string name;
  int32_t number = 0;
  int type = 0;
  bool nullable = true;
};

struct ClassState {
  // Ordered so that the fields pack without padding.
  size_t offset = 0;  // the class's '{'
  std::string name;
  std::vector<MemberDef> members;  // kept for messages after the class ends
  std::vector<uint32_t> required;  // string and reference members that are not nullable
  uint32_t ordinal = 0;            // 1-based place in "classes"
  int32_t number = 0;
  int32_t object_size = 0;
  int32_t max_member_number = 0;
  uint32_t object_count = 0;
  bool has_name = false;
  bool has_number = false;
  bool has_object_size = false;
  bool has_members = false;
  bool flushed = false;    // in the writer with its members
  bool buffering = false;  // its objects wait for its definition to be complete
};

// The classes read so far, in source order. A deque: it grows without
// moving, or copying, what it holds, which for millions of classes would
// take as much memory again for a moment.
using ClassList = std::deque<ClassState>;

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

#endif  // WQSQL_TOOLS_MAKE_CLASS_MODEL_H_
