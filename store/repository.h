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

#include "store/api.h"
#include "store/coding.h"
#include "store/format.h"
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

// Validate reads the object data and the heap through these buffers rather
// than through the mapping. Tests shrink them to reach every path.
struct ValidateBuffers {
  size_t data = 128 * 1024;        // object data, read in whole blocks of records
  size_t heap = 4 * 1024 * 1024;   // the window of the heap held at once
  size_t heap_read = 128 * 1024;   // bytes of heap read per call
  size_t heap_keep = 256 * 1024;   // heap kept behind the newest entry asked for
};

// The heap as Validate reads it: front to back, checksummed as it comes in,
// with a window of recent bytes in which the entries the records point at
// are looked up (defined in validate.cc).
class HeapWindow;

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
  // For classes whose member numbers lie close together: by number - direct_base,
  // the index of the member + 1, or 0 for a number no member has. Null when
  // the numbers are too spread out.
  const uint32_t* direct = nullptr;
  int32_t direct_base = 0;
  uint32_t direct_count = 0;

  // The first member with that number in stored order, or null.
  const MemberInfo* FindMember(int32_t member_number) const {
    if (direct != nullptr) {
      const uint32_t k = static_cast<uint32_t>(member_number) - static_cast<uint32_t>(direct_base);
      if (k >= direct_count || direct[k] == 0) return nullptr;
      return &members[direct[k] - 1];
    }
    return FindMemberSlow(member_number);
  }
  const MemberInfo* FindMemberSlow(int32_t member_number) const;
  const unsigned char* Record(uint32_t i) const {
    return data + static_cast<size_t>(i) * record_size;
  }
};

class Repository {
 public:
  // Maps and checks the file's header and directory (not its data). On
  // failure returns null and sets *error to the reason.
  static std::unique_ptr<Repository> Open(const std::string& path, std::string* error);

  ~Repository();
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
  const char* HeapString(uint64_t off) const {
    // Room for the length, the bytes and the NUL.
    if (off < format::kHeapReserved || off > heap_length_ - format::kHeapEntryHeader - 1) {
      return nullptr;
    }
    const uint64_t len = DecodeFixed32(heap_ + off);
    if (len > heap_length_ - off - format::kHeapEntryHeader - 1) return nullptr;
    const unsigned char* s = heap_ + off + format::kHeapEntryHeader;
    if (s[len] != 0) return nullptr;
    return reinterpret_cast<const char*>(s);
  }
  // The blob stored at heap offset `off`; an empty blob for offset 0 and for
  // any entry that does not lie inside the heap.
  void HeapBlob(uint64_t off, int32_t* size, const unsigned char** data) const {
    static constexpr unsigned char kEmptyBlob[1] = {0};
    *size = 0;
    *data = kEmptyBlob;
    if (off < format::kHeapReserved || off > heap_length_ - format::kHeapEntryHeader) return;
    const uint64_t len = DecodeFixed32(heap_ + off);
    if (len > heap_length_ - off - format::kHeapEntryHeader || len > uint64_t{INT32_MAX}) return;
    *size = static_cast<int32_t>(len);
    *data = heap_ + off + format::kHeapEntryHeader;
  }
  // The object a reference field names, or an empty object.
  awq_Object Resolve(const unsigned char* field) const;
  // The class whose records hold the address `rec`, or null.
  const ClassInfo* ClassOfRecord(const unsigned char* rec) const;

  // Checks every checksum and structural rule; throws awq_StoreError with
  // "repository " + display_path + ": " and the first fault.
  void Validate(const std::string& display_path,
                const ValidateBuffers& buffers = ValidateBuffers()) const;

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
                         uint32_t count, HeapWindow* heap) const;

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
  std::vector<uint32_t> direct_;
  bool registered_ = false;
  std::unordered_map<std::string_view, uint32_t> by_name_;
  std::unordered_map<int32_t, uint32_t> by_number_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_REPOSITORY_H_
