// The directory rules, the padding records and the wording of field faults.
// None of this runs per record of a sound file, so clarity comes first.
#include "store/validator_rules.h"

#include <algorithm>
#include <string_view>
#include <vector>

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

// One entry of a list whose numbers and names must be unique: the
// classes, or the members of one class.
struct Entry {
  std::string_view name;
  int32_t number;
  uint32_t index;  // in the class table or the member table
};

// `order` holds the positions 0 to n - 1 of n entries. Returns the first
// position whose entry repeats the key of an earlier one, or n when none
// does, and sets *first to the earliest entry with that key. Sorts `order`
// by `less` of the entries, stably, so that equal keys stay in position
// order.
template <class Less>
size_t FirstRepeat(std::vector<uint32_t>* order, Less less, uint32_t* first) {
  std::stable_sort(order->begin(), order->end(), less);
  size_t repeat = order->size();
  for (size_t i = 1; i < order->size(); i++) {
    const uint32_t a = (*order)[i - 1], b = (*order)[i];
    // The second of a run of equals is the run's first repeat.
    if (!less(a, b) && (i < 2 || less((*order)[i - 2], a)) && b < repeat) {
      repeat = b;
      *first = a;
    }
  }
  return repeat;
}

// The rules for a list of entries, as if checked one entry after the other:
// its name, then its number against those before it, then its name against
// those before it; fails with the first rule broken. Sorting, not hashing:
// the time stays proportional to the list (times its logarithm) whatever
// the numbers and names are. `label(i)` is how a fault names entry i; it is
// built only for a fault. `order` is scratch space.
template <class Label>
Status CheckEntries(const char* kind, const std::vector<Entry>& entries,
                    std::vector<uint32_t>* order, Label label) {
  const size_t n = entries.size();
  size_t bad_name = n;
  Status why;
  for (size_t i = 0; i < n && bad_name == n; i++) {
    why = CheckVisibleName(entries[i].name);
    if (!why.ok()) bad_name = i;
  }
  // Numbers of the entries before the first bad name.
  order->resize(bad_name);
  for (uint32_t i = 0; i < bad_name; i++) (*order)[i] = i;
  uint32_t number_first = 0;
  const size_t number_repeat = FirstRepeat(
      order, [&entries](uint32_t a, uint32_t b) { return entries[a].number < entries[b].number; },
      &number_first);
  // Names of the entries before both.
  const size_t before = std::min(bad_name, number_repeat);
  order->resize(before);
  for (uint32_t i = 0; i < before; i++) (*order)[i] = i;
  uint32_t name_first = 0;
  const size_t name_repeat = FirstRepeat(
      order, [&entries](uint32_t a, uint32_t b) { return entries[a].name < entries[b].name; },
      &name_first);

  if (name_repeat < before) {
    const Entry& e = entries[name_repeat];
    return Status::Error(label(name_repeat) + ": " + kind + " name " + std::string(e.name) +
                         " is also used by " + kind + " entry " + Num(entries[name_first].index));
  }
  if (number_repeat < bad_name) {
    const Entry& e = entries[number_repeat];
    return Status::Error(label(number_repeat) + ": " + kind + " number " + Num(e.number) +
                         " is also used by " + kind + " entry " + Num(entries[number_first].index));
  }
  if (bad_name < n) return Status::Error(label(bad_name) + ": name " + why.message());
  return Status::OK();
}

}  // namespace

std::string ClassLabel(const ClassInfo& c) {
  return "class " + Num(c.number) + " (" + ShownName(std::string_view(c.name, c.name_length)) + ")";
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
  std::vector<Entry> entries;
  std::vector<uint32_t> order;
  entries.reserve(classes.size());
  for (const ClassInfo& c : classes) {
    entries.push_back({std::string_view(c.name, c.name_length), c.number, c.index});
  }
  WQ_RETURN_IF_ERROR(CheckEntries("class", entries, &order, [&entries](size_t i) {
    return "class entry " + Num(entries[i].index);
  }));
  for (const ClassInfo& c : classes) {
    entries.clear();
    for (uint32_t i = 0; i < c.member_count; i++) {
      const MemberInfo& m = c.members[i];
      entries.push_back({std::string_view(m.name, m.name_length), m.number, m.index});
    }
    WQ_RETURN_IF_ERROR(CheckEntries("member", entries, &order, [&entries, &c](size_t i) {
      return ClassLabel(c) + ", member entry " + Num(entries[i].index);
    }));
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
  const uint64_t tail = is_string ? kStringTail : kBlobTail;
  const uint64_t off = DecodeFixed64(f);
  if (off == 0) return where + "null string in a member that does not allow null";
  if (!HeapEntryFits(off, 0, tail, heap_length)) {
    return where + kind_name + " offset " + Num(off) + " out of heap bounds";
  }
  const uint64_t len = DecodeFixed32(heap + off);
  if (!HeapEntryFits(off, len, tail, heap_length)) {
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
