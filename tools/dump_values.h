// What wqdump's formats share about a class's values: the string a heap
// offset holds and the key of the id column.
#ifndef WQSQL_TOOLS_DUMP_VALUES_H_
#define WQSQL_TOOLS_DUMP_VALUES_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "store/coding.h"
#include "store/reader.h"

namespace wqtools {

// The string at heap offset `off`, which is not 0: its bytes and length.
// An entry outside the heap (in a file changed since it was checked) reads
// as the empty string.
inline void HeapText(const wqstore::Reader& reader, uint64_t off, const char** s, size_t* n) {
  *s = reader.HeapString(off);
  if (*s == nullptr) {
    *s = "";
    *n = 0;
    return;
  }
  *n = wqstore::DecodeFixed32(reader.heap() + off);  // HeapString checked the entry
}

// The name of the column or key that holds the object's id in CSV and
// JSONL: "id", or "_id", "__id", ... when a member of the class has it.
inline std::string IdColumnName(const wqstore::ClassInfo& c) {
  std::string name = "id";
  for (;;) {
    bool taken = false;
    for (uint32_t i = 0; i < c.member_count && !taken; i++) {
      taken = name == std::string(c.members[i].name, c.members[i].name_length);
    }
    if (!taken) return name;
    name.insert(0, 1, '_');
  }
}

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_VALUES_H_
