// What a RepositoryWriter holds while a repository is built: per class its
// members, the record of a new object and where its records are, and one
// heap shared by all classes. In memory each class has a buffer of its own;
// a spilling writer keeps the records of all classes in one buffer, class
// after class. The building calls (writer.cc) fill it in; the image
// (writer_image.cc) is laid out from it.
#ifndef WQSQL_STORE_WRITER_STATE_H_
#define WQSQL_STORE_WRITER_STATE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "store/data_types.h"
#include "store/open_index.h"
#include "store/spill_buffer.h"

namespace wqstore {

struct WriterMember {
  std::string name;
  int32_t number;
  uint8_t type;
  ValueKind kind;  // of the type code
  bool nullable;
  uint32_t field_offset;
};

// What is kept per class: a few dozen bytes besides its name and members,
// so that a writer of millions of classes stays small. Names and numbers
// are found through the indexes of WriterState; the record of a new object
// is made when the class's first object comes.
struct WriterClass {
  std::string name;
  int32_t number;
  bool has_object_size;
  int32_t object_size;
  uint32_t record_size = 0;  // sum of the members' field widths
  uint32_t object_count = 0;
  bool members_trimmed = false;  // their vector's slack has gone once
  std::vector<WriterMember> members;
  // Bytes per stored record: at least one, so that every object takes room
  // in the file and a count of objects is bounded by the file's size.
  uint32_t stride() const { return record_size == 0 ? 1 : record_size; }
  std::unique_ptr<SpillBuffer> own_records;  // the records, unless the writer spills
  SpillBuffer* records = nullptr;            // where the records are, once there are any
  uint64_t records_start = 0;                // of the first record in *records
  uint64_t records_size() const { return uint64_t{object_count} * stride(); }
};

struct WriterState {
  WriterState();

  std::vector<std::unique_ptr<WriterClass>> classes;
  // Entries: a class's index (class_names, class_numbers), or a class's
  // index in the high and a member's in the low 32 bits (member_names,
  // member_numbers, among the members of that class).
  OpenIndex<uint32_t> class_names;
  OpenIndex<uint32_t> class_numbers;
  OpenIndex<uint64_t> member_names;
  OpenIndex<uint64_t> member_numbers;
  uint64_t member_total = 0;
  uint64_t names_length = 0;          // of all names, each with its NUL
  std::unique_ptr<SpillBuffer> heap;  // starts with the reserved zero bytes
  // The record of a new object of class blank_class (~0: none yet).
  std::vector<unsigned char> blank;
  uint32_t blank_class = ~uint32_t{0};

  // Set by SpillNear: the records of every class, and the class whose
  // records end it (objects come class after class).
  std::unique_ptr<SpillBuffer> spilled_records;
  uint32_t open_class = 0;
  bool spent = false;  // a spilling writer after its commit: no classes, no buffers
};

// `s` in double quotes, as the writer's messages name classes and members.
std::string Quoted(std::string_view s);

// The refusal of every call to a spilling writer that has committed.
__attribute__((noinline, cold)) Status Spent();

}  // namespace wqstore

#endif  // WQSQL_STORE_WRITER_STATE_H_
