// Repository: an open repository file, its class and member tables parsed
// from the directory, and bounds-checked access to records and the heap.
// The handles of repository/store_api.h point at the ClassInfo and
// MemberInfo values held here.
#ifndef WQSQL_STORE_REPOSITORY_H_
#define WQSQL_STORE_REPOSITORY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "repository/store_api.h"
#include "store/mapped_file.h"

namespace wqstore {

struct MemberInfo {
  const char* name = nullptr;  // NUL-terminated, inside the mapping
  uint32_t name_length = 0;
  int32_t number = 0;
  uint8_t type = 0;
  bool nullable = false;
  uint32_t field_offset = 0;  // within the record
  uint32_t index = 0;         // in the whole member table
};

// Member number to member, for classes with many members: sorted by number,
// one entry per number (the first member in stored order).
struct MemberLookup {
  int32_t number;
  uint32_t member;  // index within the class
};

class Repository;

// One field of a record that Validate checks (ints, doubles and chars take
// any bits).
enum class FieldKind : uint8_t { kString, kBlob, kRef };
struct FieldCheck {
  uint32_t offset;
  FieldKind kind;
  bool nullable;
  const MemberInfo* member;
};

// The heap checksum, computed front to back while Validate reads the heap
// entries the records point at, a little ahead of them so that the entries
// are in cache when they are checked.
class HeapScan {
 public:
  HeapScan(const unsigned char* heap, uint64_t length) : heap_(heap), length_(length) {}
  // Makes sure the checksum covers the heap up to `end` (and some way past).
  void Reach(uint64_t end) {
    if (end > done_) Advance(end);
  }
  void Finish() { Advance(length_); }
  uint32_t crc() const { return crc_; }

 private:
  void Advance(uint64_t end);
  const unsigned char* heap_;
  uint64_t length_;
  uint64_t done_ = 0;
  uint32_t crc_ = 0;
};

struct ClassInfo {
  const Repository* repo = nullptr;
  uint32_t index = 0;
  int32_t number = 0;
  int32_t object_size = 0;
  const char* name = nullptr;  // NUL-terminated, inside the mapping
  uint32_t name_length = 0;
  const MemberInfo* members = nullptr;
  uint32_t member_count = 0;
  uint32_t record_size = 0;
  uint32_t object_count = 0;
  uint64_t data_offset = 0;
  const unsigned char* data = nullptr;  // object_count * record_size bytes
  uint32_t data_crc = 0;
  const MemberLookup* lookup = nullptr;  // null when members are searched linearly
  uint32_t lookup_count = 0;

  // The first member with that number in stored order, or null.
  const MemberInfo* FindMember(int32_t member_number) const;
  const unsigned char* Record(uint32_t i) const {
    return data + static_cast<size_t>(i) * record_size;
  }
};

class Repository {
 public:
  // Maps and checks the file's header and directory (not its data). On
  // failure returns null and sets *error to the reason.
  static std::unique_ptr<Repository> Open(const std::string& path, std::string* error);

  Repository(const Repository&) = delete;
  Repository& operator=(const Repository&) = delete;

  uint32_t class_count() const { return static_cast<uint32_t>(classes_.size()); }
  const ClassInfo& class_at(uint32_t i) const { return classes_[i]; }
  // The first class with the number, or null.
  const ClassInfo* FindByNumber(int32_t number) const;
  // Exact name first, then the first class in stored order equal to it
  // ignoring ASCII case; null when there is none.
  const ClassInfo* FindByName(std::string_view name) const;

  // The string stored at heap offset `off`, or null for offset 0 and for any
  // offset that does not hold a NUL-terminated entry inside the heap.
  const char* HeapString(uint64_t off) const;
  // The blob stored at heap offset `off`; an empty blob for offset 0 and for
  // any entry that does not lie inside the heap.
  void HeapBlob(uint64_t off, int32_t* size, const unsigned char** data) const;
  // The object a reference field names, or an empty object.
  awq_Object Resolve(const unsigned char* field) const;

  // Checks every checksum and structural rule; throws awq_StoreError with
  // "repository " + display_path + ": " and the first fault.
  void Validate(const std::string& display_path) const;

 private:
  Repository() = default;
  bool Parse(std::string* error);
  void BuildIndexes();
  // What is wrong with the value of member m of an object Validate found
  // unsound.
  // The fault of a class whose one-byte padding records are not 0, or "".
  std::string CheckPaddingRecords(const ClassInfo& c) const;
  std::string DescribeFieldFault(const ClassInfo& c, uint32_t object, const MemberInfo& m) const;
  // The reserved-field, name and uniqueness rules of the directory: the
  // first broken one, or "".
  std::string CheckDirectoryRules() const;
  // Checks field k of `count` records from `block`; returns the index of the
  // first unsound one, or count.
  uint32_t CheckFieldRun(const FieldCheck& k, const unsigned char* block, uint32_t record_size,
                         uint32_t count, HeapScan* heap) const;

  std::unique_ptr<MappedFile> file_;
  const unsigned char* dir_ = nullptr;
  uint64_t dir_length_ = 0;
  const unsigned char* names_ = nullptr;
  uint64_t names_length_ = 0;
  const unsigned char* heap_ = nullptr;
  uint64_t heap_offset_ = 0;
  uint64_t heap_length_ = 0;
  uint32_t heap_crc_ = 0;
  std::vector<ClassInfo> classes_;
  std::vector<MemberInfo> members_;
  std::vector<MemberLookup> lookups_;
  std::unordered_map<std::string_view, uint32_t> by_name_;
  std::unordered_map<int32_t, uint32_t> by_number_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_REPOSITORY_H_
