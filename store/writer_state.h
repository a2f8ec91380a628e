// What a RepositoryWriter holds while a repository is built: per class its
// members, the record of a new object and the records so far, and one heap
// shared by all classes. The building calls (writer.cc) fill it in; the
// image (writer_image.cc) is laid out from it.
#ifndef WQSQL_STORE_WRITER_STATE_H_
#define WQSQL_STORE_WRITER_STATE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "store/byte_chunks.h"
#include "store/data_types.h"

namespace wqstore {

struct WriterMember {
  std::string name;
  int32_t number;
  uint8_t type;
  ValueKind kind;  // of the type code
  bool nullable;
  uint32_t field_offset;
};

struct WriterClass {
  std::string name;
  int32_t number;
  bool has_object_size;
  int32_t object_size;
  std::vector<WriterMember> members;
  std::unordered_set<std::string> member_names;
  std::unordered_set<int32_t> member_numbers;
  uint32_t record_size = 0;             // sum of the members' field widths
  std::vector<unsigned char> blank{0};  // the record of a new object
  // Bytes per stored record: at least one, so that every object takes room
  // in the file and a count of objects is bounded by the file's size.
  uint32_t stride() const { return record_size == 0 ? 1 : record_size; }
  ByteChunks records;
  uint32_t object_count = 0;
};

struct WriterState {
  WriterState();

  std::vector<std::unique_ptr<WriterClass>> classes;
  std::unordered_set<std::string> class_names;
  std::unordered_set<int32_t> class_numbers;
  uint64_t member_total = 0;
  ByteChunks heap;  // starts with the reserved zero bytes
};

}  // namespace wqstore

#endif  // WQSQL_STORE_WRITER_STATE_H_
