// Reader: a repository file opened for reading. It maps the file, parses
// the class and member tables of its directory into ClassInfo and
// MemberInfo values (which the public handles of include/wqstore point at)
// with copies of the names they checked, and gives
// bounds-checked access to records and the heap. The full check of a file
// is the validator's (store/validator.h).
#ifndef WQSQL_STORE_READER_H_
#define WQSQL_STORE_READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/mapped_file.h"

namespace wqstore {

struct MemberInfo {
  const char* name = nullptr;  // NUL-terminated, in the reader's copy of the names
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

class Reader;

struct ClassInfo {
  const Reader* reader = nullptr;
  uint32_t index = 0;
  int32_t number = 0;
  int32_t object_size = 0;
  const char* name = nullptr;  // NUL-terminated, in the reader's copy of the names
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

class Reader {
 public:
  // Maps `path` and checks its header and directory (not its data); on
  // success sets *reader. The message of a failure says what is wrong and
  // where, without the path. `guard_mapping` as for MappedFile::Open.
  static Status Open(const std::string& path, std::unique_ptr<Reader>* reader,
                     bool guard_mapping = true);

  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  uint32_t class_count() const { return static_cast<uint32_t>(classes_.size()); }
  const ClassInfo& class_at(uint32_t i) const { return classes_[i]; }
  const std::vector<ClassInfo>& classes() const { return classes_; }
  // Every member, in the order of the member table.
  const std::vector<MemberInfo>& members() const { return members_; }
  // The first class with the number, or null.
  const ClassInfo* FindByNumber(int32_t number) const;
  // Exact name first, then the first class in stored order equal to it
  // ignoring ASCII case; null when there is none.
  const ClassInfo* FindByName(std::string_view name) const;

  // The string stored at heap offset `off`, or null for offset 0 and for any
  // offset that does not hold a NUL-terminated entry inside the heap.
  const char* HeapString(uint64_t off) const {
    size_t length;
    return HeapString(off, &length);
  }
  // The same, and the entry's length in bytes (0 for null). Only in a
  // validated file is it certain that no NUL comes before that length.
  const char* HeapString(uint64_t off, size_t* length) const {
    *length = 0;
    if (!format::HeapEntryFits(off, 0, format::kStringTail, heap_length_)) return nullptr;
    const uint64_t len = DecodeFixed32(heap_ + off);
    if (!format::HeapEntryFits(off, len, format::kStringTail, heap_length_)) return nullptr;
    const unsigned char* s = heap_ + off + format::kHeapEntryHeader;
    if (s[len] != 0) return nullptr;
    *length = static_cast<size_t>(len);
    return reinterpret_cast<const char*>(s);
  }
  // The blob stored at heap offset `off`; an empty blob for offset 0 and for
  // any entry that does not lie inside the heap.
  void HeapBlob(uint64_t off, int32_t* size, const unsigned char** data) const {
    static constexpr unsigned char kEmptyBlob[1] = {0};
    *size = 0;
    *data = kEmptyBlob;
    if (!format::HeapEntryFits(off, 0, format::kBlobTail, heap_length_)) return;
    const uint64_t len = DecodeFixed32(heap_ + off);
    if (!format::HeapEntryFits(off, len, format::kBlobTail, heap_length_) ||
        len > format::kMaxBlobLength) {
      return;
    }
    *size = static_cast<int32_t>(len);
    *data = heap_ + off + format::kHeapEntryHeader;
  }
  // The record of the object a reference field names, or null when the
  // reference is unset or names no object of the file.
  const unsigned char* Resolve(const unsigned char* field) const;
  // The class whose records hold the address `rec`, or null.
  const ClassInfo* ClassOfRecord(const unsigned char* rec) const;

  // The file and its sections as Open found them, for the validator.
  const MappedFile& file() const { return *file_; }
  const unsigned char* directory() const { return dir_; }
  uint64_t directory_length() const { return dir_length_; }
  const unsigned char* heap() const { return heap_; }
  uint64_t heap_offset() const { return heap_offset_; }
  uint64_t heap_length() const { return heap_length_; }
  uint32_t heap_crc() const { return heap_crc_; }  // as the directory gives it

 private:
  Reader() = default;
  // The header, and where the directory and the heap lie.
  Status ParseHeader();
  // The class and member tables, checked against each other and the file.
  Status ParseDirectory();
  // The steps of ParseDirectory (reader.cc): the prefix's counts, each
  // class entry with its members and the place of its records, and each
  // name copied and checked; then the entries are pointed at the copies.
  struct DirectoryScan;
  Status ParsePrefix(DirectoryScan* scan);
  Status ParseClass(uint32_t ci, DirectoryScan* scan);
  Status ParseMembers(uint32_t ci, uint32_t first, uint32_t count, DirectoryScan* scan,
                      uint64_t* fields_size);
  Status PlaceRecords(const unsigned char* entry, uint64_t fields_size, ClassInfo* c,
                      DirectoryScan* scan);
  Status CopyName(uint32_t off, uint32_t len, const char* kind, DirectoryScan* scan);
  void PointAtNames();
  void BuildIndexes();

  std::unique_ptr<MappedFile> file_;
  const unsigned char* dir_ = nullptr;
  uint64_t dir_length_ = 0;
  const unsigned char* heap_ = nullptr;
  uint64_t heap_offset_ = 0;
  uint64_t heap_length_ = 0;
  uint32_t heap_crc_ = 0;
  std::vector<ClassInfo> classes_;
  std::vector<MemberInfo> members_;
  // Every class and member name with its NUL, in the order the directory
  // was parsed, copied before it was checked: names are read from here, so
  // no later change of the file can make one unchecked or unterminated.
  std::string names_;
  std::vector<MemberLookup> lookups_;
  std::vector<uint32_t> direct_;
  bool registered_ = false;
  // Class indexes sorted by name and by number, in stored order among
  // equals. Sorted rather than hashed: no choice of names or numbers in a
  // file can make looking them up slow.
  std::vector<uint32_t> by_name_;
  std::vector<uint32_t> by_number_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_READER_H_
