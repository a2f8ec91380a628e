// The directory rules, the padding records and the wording of field faults.
// None of this runs per record of a sound file, so clarity comes first.
#include "store/validator_rules.h"

#include <string_view>
#include <unordered_map>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/coding.h"
#include "store/data_types.h"
#include "store/format.h"
#include "store/names.h"

namespace wqstore {

using namespace format;

namespace {

bool AllZero(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (p[i] != 0) return false;
  }
  return true;
}

// Names, and uniqueness of numbers and names, of one list of entries: the
// classes, or the members of one class.
class EntryRules {
 public:
  EntryRules(const char* kind, size_t expected) : kind_(kind) {
    numbers_.reserve(expected);
    names_.reserve(expected);
  }

  // The rules for one entry against those checked before it; `entry` is how
  // faults name it.
  Status Check(const std::string& entry, const char* name, uint32_t name_length, int32_t number,
               uint32_t index) {
    const Status name_ok = CheckVisibleName(std::string_view(name, name_length));
    if (!name_ok.ok()) return Status::Error(entry + ": name " + name_ok.message());
    auto num = numbers_.emplace(number, index);
    if (!num.second) {
      return Status::Error(entry + ": " + kind_ + " number " + Num(number) + " is also used by " +
                           kind_ + " entry " + Num(num.first->second));
    }
    auto nm = names_.emplace(std::string_view(name, name_length), index);
    if (!nm.second) {
      return Status::Error(entry + ": " + kind_ + " name " + std::string(name, name_length) +
                           " is also used by " + kind_ + " entry " + Num(nm.first->second));
    }
    return Status::OK();
  }

 private:
  const char* kind_;  // "class" or "member"
  std::unordered_map<int32_t, uint32_t> numbers_;
  std::unordered_map<std::string_view, uint32_t> names_;
};

}  // namespace

std::string ClassLabel(const ClassInfo& c) {
  return "class " + Num(c.number) + " (" + ShownName(std::string_view(c.name, c.name_length)) +
         ")";
}

Status CheckDirectoryRules(const Reader& reader) {
  const unsigned char* dir = reader.directory();
  const std::vector<ClassInfo>& classes = reader.classes();
  // Reserved fields.
  if (DecodeFixed32(dir + kPrefixReserved32) != 0 || DecodeFixed64(dir + kPrefixReserved64) != 0) {
    return Status::Error("directory: reserved field not zero");
  }
  const unsigned char* class_table = dir + kPrefixSize;
  const unsigned char* member_table = class_table + uint64_t{kClassEntrySize} * classes.size();
  for (const ClassInfo& c : classes) {
    const unsigned char* e = class_table + uint64_t{kClassEntrySize} * c.index;
    if (!AllZero(e + kClassReserved, kClassReservedLength)) {
      return Status::Error("class entry " + Num(c.index) + ": reserved bytes not zero");
    }
  }
  for (const MemberInfo& m : reader.members()) {
    const unsigned char* e = member_table + uint64_t{kMemberEntrySize} * m.index;
    if ((e[kMemberFlags] & ~kFlagNullable) != 0) {
      return Status::Error("member entry " + Num(m.index) + ": unknown flag bits set");
    }
    if (DecodeFixed16(e + kMemberReserved16) != 0 ||
        !AllZero(e + kMemberReserved, kMemberReservedLength)) {
      return Status::Error("member entry " + Num(m.index) + ": reserved bytes not zero");
    }
  }
  if (!AllZero(reader.heap(), kHeapReserved)) {
    return Status::Error("heap: the first 8 bytes are not zero");
  }

  // Names, and uniqueness of numbers and names: of the classes, then of the
  // members within each class.
  EntryRules class_rules("class", classes.size());
  for (const ClassInfo& c : classes) {
    WQ_RETURN_IF_ERROR(
        class_rules.Check("class entry " + Num(c.index), c.name, c.name_length, c.number, c.index));
  }
  for (const ClassInfo& c : classes) {
    EntryRules member_rules("member", c.member_count);
    for (uint32_t i = 0; i < c.member_count; i++) {
      const MemberInfo& m = c.members[i];
      WQ_RETURN_IF_ERROR(member_rules.Check(ClassLabel(c) + ", member entry " + Num(m.index),
                                            m.name, m.name_length, m.number, m.index));
    }
  }
  return Status::OK();
}

Status CheckPaddingRecords(const ClassInfo& c) {
  for (uint32_t i = 0; i < c.member_count; i++) {
    if (FieldWidth(c.members[i].type) != 0) return Status::OK();
  }
  for (uint32_t i = 0; i < c.object_count; i++) {
    if (c.data[i] != 0) {
      return Status::Error("object " + Num(i) + " of " + ClassLabel(c) + ": padding byte is not 0");
    }
  }
  return Status::OK();
}

std::string DescribeFieldFault(const Reader& reader, const ClassInfo& c, uint32_t object,
                               const MemberInfo& m) {
  const std::string where = "object " + Num(object) + " of " + ClassLabel(c) + ", member " +
                            Num(m.number) + " (" +
                            ShownName(std::string_view(m.name, m.name_length)) + "): ";
  const unsigned char* f = c.Record(object) + m.field_offset;
  const ValueKind kind = KindOf(m.type);
  if (kind == ValueKind::kRef) {
    const std::vector<ClassInfo>& classes = reader.classes();
    const uint32_t ci = DecodeFixed32(f);
    const uint32_t target = DecodeFixed32(f + 4);
    if (ci == kUnsetIndex && target != kUnsetIndex) {
      return where + "unset reference with object index " + Num(target);
    }
    if (ci == kUnsetIndex) return where + "unset reference in a member that does not allow null";
    if (ci >= classes.size()) {
      return where + "reference to class index " + Num(ci) + " out of range (" +
             Num(classes.size()) + " classes)";
    }
    return where + "reference to object " + Num(target) + " of " + ClassLabel(classes[ci]) +
           ", which has " + Num(classes[ci].object_count) + " objects";
  }
  // A string or a blob.
  const uint64_t heap_length = reader.heap_length();
  const unsigned char* heap = reader.heap();
  const bool is_string = kind == ValueKind::kString;
  const char* kind_name = ValueKindWord(kind);
  const uint64_t tail = is_string ? 1 : 0;
  const uint64_t off = DecodeFixed64(f);
  if (off == 0) return where + "null string in a member that does not allow null";
  if (off < kHeapReserved || off > heap_length - kHeapEntryHeader - tail) {
    return where + kind_name + " offset " + Num(off) + " out of heap bounds";
  }
  const uint64_t len = DecodeFixed32(heap + off);
  if (len > heap_length - off - kHeapEntryHeader - tail) {
    return where + kind_name + " at heap offset " + Num(off) + " with length " + Num(len) +
           " runs past the end of the heap";
  }
  if (!is_string) return where + "blob at heap offset " + Num(off) + " is too long";
  const unsigned char* s = heap + off + kHeapEntryHeader;
  if (s[len] != 0) return where + "string at heap offset " + Num(off) + " is not NUL-terminated";
  const size_t bad = FindInvalidUtf8(s, len);
  return where + "string at heap offset " + Num(off) + ": " +
         (s[bad] == 0 ? "NUL byte" : "invalid UTF-8") + " at byte " + Num(bad);
}

}  // namespace wqstore
