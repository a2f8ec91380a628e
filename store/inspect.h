// What an open repository file holds, by the numbers: its format version,
// the sizes of its sections, each class's members, objects and record
// size, and how many strings and blobs its heap keeps. Read-only; for
// tools that report on a file (wqcheck --stats).
#ifndef WQSQL_STORE_INSPECT_H_
#define WQSQL_STORE_INSPECT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "store/reader.h"

namespace wqstore {

struct ClassFigures {
  int32_t number = 0;
  std::string name;
  uint32_t members = 0;
  uint32_t objects = 0;
  uint32_t record_size = 0;
  uint64_t data_bytes = 0;  // objects * record_size
};

struct RepositoryFigures {
  uint32_t format_version = 0;
  uint64_t file_bytes = 0;
  uint64_t header_bytes = 0;
  uint64_t directory_bytes = 0;
  uint64_t data_bytes = 0;  // the object data of every class
  uint64_t heap_bytes = 0;
  uint64_t objects = 0;               // of every class
  std::vector<ClassFigures> classes;  // in stored order
};

// The heap's entries that some field refers to, each counted once however
// many fields share it; bytes are those of the values, without the length
// field and the NUL.
struct HeapFigures {
  uint64_t strings = 0;
  uint64_t string_bytes = 0;
  uint64_t blobs = 0;
  uint64_t blob_bytes = 0;
};

// From the header and the directory alone: costs O(classes).
RepositoryFigures DescribeRepository(const Reader& reader);

// Reads every string and blob field of every object: O(objects), with one
// bit of memory per heap byte and kind. An entry that does not lie inside
// the heap (in a file that fails validation) is not counted.
HeapFigures CountHeapEntries(const Reader& reader);

}  // namespace wqstore

#endif  // WQSQL_STORE_INSPECT_H_
