// Reader: opening a repository file, parsing its header and directory, and
// the indexes by class name and number and by member number. Everything
// Open accepts can be read without going out of bounds: offsets, counts and
// lengths are checked against the bytes present before anything is
// allocated or dereferenced. Data sections are not checksummed here; the
// validator does that.
#include "store/reader.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii.h"
#include "platform/text.h"
#include "store/class_registry.h"
#include "store/coding.h"
#include "store/crc32c.h"
#include "store/data_types.h"
#include "store/format.h"
#include "store/names.h"

namespace wqstore {

using namespace format;

namespace {

// Classes with more members than this get a sorted lookup array.
constexpr uint32_t kLinearMemberLimit = 8;

// Classes whose member numbers span at most this many values per member
// (plus a little) get a direct table from number to member, which keeps the
// table within about the size of the class's entries in the file.
constexpr int64_t kDirectSpread = 4;
constexpr int64_t kDirectSlack = 16;

std::string_view NameOf(const ClassInfo& c) { return std::string_view(c.name, c.name_length); }

}  // namespace

const MemberInfo* ClassInfo::FindMemberSlow(int32_t member_number) const {
  if (lookup == nullptr) {
    for (uint32_t i = 0; i < member_count; i++) {
      if (members[i].number == member_number) return &members[i];
    }
    return nullptr;
  }
  const MemberLookup* end = lookup + lookup_count;
  const MemberLookup* it = std::lower_bound(
      lookup, end, member_number, [](const MemberLookup& e, int32_t n) { return e.number < n; });
  if (it == end || it->number != member_number) return nullptr;
  return &members[it->member];
}

Status Reader::Open(const std::string& path, std::unique_ptr<Reader>* reader, bool guard_mapping) {
  std::unique_ptr<Reader> r(new Reader());
  WQ_RETURN_IF_ERROR(MappedFile::Open(path, &r->file_, guard_mapping));
  Status parsed = r->ParseHeader();
  if (parsed.ok()) parsed = r->ParseDirectory();
  // Whatever the tables said, they are not the file's if it changed meanwhile.
  if (r->file_->Changed()) {
    return Status::Error(Status::Kind::kChangedOnDisk, "file changed while it was opened");
  }
  WQ_RETURN_IF_ERROR(parsed);
  r->BuildIndexes();
  // Object handles find their class from the record's address.
  if (!r->classes_.empty()) {
    registry::Add(r.get(), r->classes_.front().data, r->heap_);
    r->registered_ = true;
  }
  *reader = std::move(r);
  return Status::OK();
}

Status Reader::ParseHeader() {
  const unsigned char* p = file_->data();
  const uint64_t size = file_->size();

  if (size < kHeaderSize) {
    return Status::Error("file too short for a repository header (" + Num(size) + " bytes)");
  }
  if (std::memcmp(p + kHeaderMagic, kMagic, sizeof kMagic) != 0) {
    return Status::Error("not a repository file (bad magic)");
  }
  uint32_t version = DecodeFixed32(p + kHeaderVersion);
  if (version != kVersion) {
    return Status::Error("unsupported format version " + Num(version));
  }
  if (crc32c::Value(p, kHeaderCrc) != DecodeFixed32(p + kHeaderCrc)) {
    return Status::Error("header checksum mismatch");
  }
  uint32_t header_size = DecodeFixed32(p + kHeaderHeaderSize);
  if (header_size != kHeaderSize) {
    return Status::Error("header size " + Num(header_size) + ", expected " + Num(kHeaderSize));
  }
  uint64_t file_size = DecodeFixed64(p + kHeaderFileSize);
  if (file_size != size) {
    return Status::Error("file size in header " + Num(file_size) +
                         " does not match the actual size " + Num(size));
  }
  uint64_t dir_offset = DecodeFixed64(p + kHeaderDirOffset);
  if (dir_offset != kHeaderSize) {
    return Status::Error("directory offset " + Num(dir_offset) + ", expected " + Num(kHeaderSize));
  }
  dir_length_ = DecodeFixed64(p + kHeaderDirLength);
  if (dir_length_ < kPrefixSize || dir_length_ > size - kHeaderSize) {
    return Status::Error("directory length " + Num(dir_length_) + " out of bounds");
  }
  heap_offset_ = DecodeFixed64(p + kHeaderHeapOffset);
  heap_length_ = DecodeFixed64(p + kHeaderHeapLength);
  if (heap_length_ < kHeapReserved) {
    return Status::Error("heap length " + Num(heap_length_) + " is below the " +
                         Num(kHeapReserved) + " reserved bytes");
  }
  if (heap_offset_ > size || heap_length_ != size - heap_offset_) {
    return Status::Error("heap at offset " + Num(heap_offset_) + " with length " +
                         Num(heap_length_) + " does not end the file");
  }
  if (heap_offset_ < kHeaderSize + dir_length_) {
    return Status::Error("heap at offset " + Num(heap_offset_) + " overlaps the directory");
  }
  dir_ = p + kHeaderSize;
  if (crc32c::Value(dir_, dir_length_) != DecodeFixed32(p + kHeaderDirCrc)) {
    return Status::Error("directory checksum mismatch");
  }
  heap_ = p + heap_offset_;
  return Status::OK();
}

// Where the directory's tables lie, as its prefix gives them, and how far
// the parse has come.
struct Reader::DirectoryScan {
  uint32_t class_count = 0;
  uint32_t member_count = 0;
  uint64_t names_length = 0;
  const unsigned char* class_table = nullptr;
  const unsigned char* member_table = nullptr;
  const unsigned char* names = nullptr;
  uint64_t name_bytes = 0;   // of the names copied so far, each with its NUL
  uint32_t next_member = 0;  // the first member of the next class
  uint64_t next_data = 0;    // where the next class's object data must start
};

Status Reader::ParseDirectory() {
  DirectoryScan scan;
  WQ_RETURN_IF_ERROR(ParsePrefix(&scan));
  classes_.reserve(scan.class_count);
  members_.reserve(scan.member_count);
  for (uint32_t ci = 0; ci < scan.class_count; ci++) WQ_RETURN_IF_ERROR(ParseClass(ci, &scan));
  if (scan.next_member != scan.member_count) {
    return Status::Error("classes own " + Num(scan.next_member) +
                         " members, the member table holds " + Num(scan.member_count));
  }
  if (scan.next_data != heap_offset_) {
    return Status::Error("object data ends at offset " + Num(scan.next_data) +
                         " but the heap starts at " + Num(heap_offset_));
  }
  PointAtNames();
  return Status::OK();
}

Status Reader::ParsePrefix(DirectoryScan* scan) {
  // The directory's length must be exactly what the counts say, which also
  // bounds the counts by the bytes present before anything is sized by them.
  scan->class_count = DecodeFixed32(dir_ + kPrefixClassCount);
  scan->member_count = DecodeFixed32(dir_ + kPrefixMemberCount);
  scan->names_length = DecodeFixed64(dir_ + kPrefixNamesLength);
  heap_crc_ = DecodeFixed32(dir_ + kPrefixHeapCrc);
  const uint64_t tables = kPrefixSize + uint64_t{kClassEntrySize} * scan->class_count +
                          uint64_t{kMemberEntrySize} * scan->member_count;
  if (scan->names_length > dir_length_ || tables != dir_length_ - scan->names_length) {
    return Status::Error("directory length " + Num(dir_length_) + " does not match " +
                         Num(scan->class_count) + " classes, " + Num(scan->member_count) +
                         " members and " + Num(scan->names_length) + " bytes of names");
  }
  if (scan->class_count > kMaxClassCount || scan->member_count > kMaxMemberCount) {
    return Status::Error("class count " + Num(scan->class_count) + " or member count " +
                         Num(scan->member_count) + " exceeds the maximum");
  }
  scan->class_table = dir_ + kPrefixSize;
  scan->member_table = scan->class_table + uint64_t{kClassEntrySize} * scan->class_count;
  scan->names = scan->member_table + uint64_t{kMemberEntrySize} * scan->member_count;
  scan->next_data = kHeaderSize + dir_length_;
  return Status::OK();
}

// A name is a range of the names area followed by a NUL and holding none,
// so that the NUL-terminated text handed out is the whole name, and it
// keeps the name rule, so that no name reaches a terminal as a control
// sequence. The names of all entries, each with its NUL, take at most the
// names area (the writer's fill it exactly): checking them costs no more
// than a pass over it, wherever the entries point. Each name is copied and
// the copy is checked and handed out, so what was checked stays whatever
// the file holds later.
Status Reader::CopyName(uint32_t off, uint32_t len, const char* kind, DirectoryScan* scan) {
  auto unterminated = [&] {
    return Status::Error("name at offset " + Num(off) + " with length " + Num(len) +
                         " is not a NUL-terminated name inside the names area");
  };
  if (uint64_t{off} + len >= scan->names_length || scan->names[uint64_t{off} + len] != 0) {
    return unterminated();
  }
  scan->name_bytes += uint64_t{len} + 1;
  if (scan->name_bytes > scan->names_length) {
    return Status::Error("the names up to this entry take more than the " +
                         Num(scan->names_length) + " bytes of the names area");
  }
  const size_t at = names_.size();
  names_.append(reinterpret_cast<const char*>(scan->names + off), size_t{len} + 1);
  const std::string_view name(names_.data() + at, len);
  if (names_[at + len] != 0 || name.find('\0') != std::string_view::npos) return unterminated();
  // An empty name could never be looked up or typed.
  if (len == 0) return Status::Error(std::string("empty ") + kind + " name");
  const Status why = CheckName(name);
  if (!why.ok()) return Status::Error("name " + why.message());
  return Status::OK();
}

Status Reader::ParseClass(uint32_t ci, DirectoryScan* scan) {
  const unsigned char* e = scan->class_table + uint64_t{kClassEntrySize} * ci;
  // Where a fault is, worked out only for a fault.
  auto where = [ci] { return "class entry " + Num(ci) + ": "; };
  ClassInfo c;
  c.reader = this;
  c.index = ci;
  c.number = DecodeSigned32(e + kClassNumber);
  c.object_size = DecodeSigned32(e + kClassObjectSize);
  const uint32_t name_off = DecodeFixed32(e + kClassNameOffset);
  c.name_length = DecodeFixed32(e + kClassNameLength);
  const Status named = CopyName(name_off, c.name_length, "class", scan);
  if (!named.ok()) return named.Prefixed(where());
  const uint32_t first = DecodeFixed32(e + kClassFirstMember);
  c.member_count = DecodeFixed32(e + kClassMemberCount);
  if (first != scan->next_member) {
    return Status::Error(where() + "first member " + Num(first) + ", expected " +
                         Num(scan->next_member));
  }
  if (c.member_count > scan->member_count - scan->next_member) {
    return Status::Error(where() + "member count " + Num(c.member_count) +
                         " runs past the member table");
  }
  uint64_t fields_size = 0;
  WQ_RETURN_IF_ERROR(ParseMembers(ci, first, c.member_count, scan, &fields_size));
  scan->next_member += c.member_count;
  const Status placed = PlaceRecords(e, fields_size, &c, scan);
  if (!placed.ok()) return placed.Prefixed(where());
  classes_.push_back(c);
  return Status::OK();
}

Status Reader::PlaceRecords(const unsigned char* e, uint64_t fields_size, ClassInfo* c,
                            DirectoryScan* scan) {
  c->record_size = DecodeFixed32(e + kClassRecordSize);
  // A record is at least one byte, so every object takes room in the file.
  const uint64_t expected_size = fields_size == 0 ? 1 : fields_size;
  if (c->record_size != expected_size) {
    return Status::Error("record size " + Num(c->record_size) + ", expected " + Num(expected_size) +
                         " from its members");
  }
  c->object_count = DecodeFixed32(e + kClassObjectCount);
  if (c->object_count > kMaxObjectCount) {
    return Status::Error("object count " + Num(c->object_count) + " exceeds the maximum");
  }
  c->data_offset = DecodeFixed64(e + kClassDataOffset);
  if (c->data_offset != scan->next_data) {
    return Status::Error("object data at offset " + Num(c->data_offset) + ", expected " +
                         Num(scan->next_data));
  }
  const uint64_t data_length = uint64_t{c->object_count} * c->record_size;
  if (data_length > heap_offset_ - scan->next_data) {
    return Status::Error(Num(c->object_count) + " objects of " + Num(c->record_size) +
                         " bytes run past the start of the heap");
  }
  c->data = file_->data() + c->data_offset;
  c->data_crc = DecodeFixed32(e + kClassDataCrc);
  scan->next_data += data_length;
  return Status::OK();
}

Status Reader::ParseMembers(uint32_t ci, uint32_t first, uint32_t count, DirectoryScan* scan,
                            uint64_t* fields_size) {
  // Kept in 64 bits: a class of more than 2^29 eight-byte members (a
  // directory of 16 GiB) sums past what a u32 holds, and a wrapped sum
  // would let members lie outside a record that looked small enough.
  uint64_t field_offset = 0;
  for (uint32_t mi = first; mi < first + count; mi++) {
    const unsigned char* m = scan->member_table + uint64_t{kMemberEntrySize} * mi;
    auto where = [mi, ci] {
      return "member entry " + Num(mi) + " (class entry " + Num(ci) + "): ";
    };
    MemberInfo info;
    info.index = mi;
    info.number = DecodeSigned32(m + kMemberNumber);
    info.type = m[kMemberType];
    info.nullable = (m[kMemberFlags] & kFlagNullable) != 0;
    info.field_offset = DecodeFixed32(m + kMemberFieldOffset);
    const uint32_t name_off = DecodeFixed32(m + kMemberNameOffset);
    info.name_length = DecodeFixed32(m + kMemberNameLength);
    const Status named = CopyName(name_off, info.name_length, "member", scan);
    if (!named.ok()) return named.Prefixed(where());
    if (info.field_offset != field_offset) {
      return Status::Error(where() + "field offset " + Num(info.field_offset) + ", expected " +
                           Num(field_offset));
    }
    field_offset += FieldWidth(info.type);  // at most 8 * 2^31 members: no overflow
    members_.push_back(info);
  }
  *fields_size = field_offset;
  return Status::OK();
}

void Reader::PointAtNames() {
  // The copies lie in the order they were made: each class's name, then
  // its members' names.
  const char* copy = names_.data();
  size_t mi = 0;
  for (ClassInfo& c : classes_) {
    c.name = copy;
    copy += size_t{c.name_length} + 1;
    for (uint32_t k = 0; k < c.member_count; k++, mi++) {
      members_[mi].name = copy;
      copy += size_t{members_[mi].name_length} + 1;
    }
  }
}

void Reader::BuildIndexes() {
  by_name_.resize(classes_.size());
  for (uint32_t i = 0; i < by_name_.size(); i++) by_name_[i] = i;
  by_number_ = by_name_;
  // Stable: among equal keys the first in stored order comes first and wins.
  std::stable_sort(by_name_.begin(), by_name_.end(), [this](uint32_t a, uint32_t b) {
    return NameOf(classes_[a]) < NameOf(classes_[b]);
  });
  std::stable_sort(by_number_.begin(), by_number_.end(), [this](uint32_t a, uint32_t b) {
    return classes_[a].number < classes_[b].number;
  });
  std::vector<size_t> lookup_start(classes_.size(), 0);
  // Members of class i start where the counts of the classes before it end.
  size_t first = 0;
  for (ClassInfo& c : classes_) {
    c.members = members_.data() + first;
    first += c.member_count;
    if (c.member_count <= kLinearMemberLimit) continue;
    lookup_start[c.index] = lookups_.size();
    size_t begin = lookups_.size();
    for (uint32_t i = 0; i < c.member_count; i++) lookups_.push_back({c.members[i].number, i});
    // Stable by number keeps the first member of a duplicated number first.
    std::stable_sort(
        lookups_.begin() + begin, lookups_.end(),
        [](const MemberLookup& a, const MemberLookup& b) { return a.number < b.number; });
    auto last = std::unique(
        lookups_.begin() + begin, lookups_.end(),
        [](const MemberLookup& a, const MemberLookup& b) { return a.number == b.number; });
    lookups_.erase(last, lookups_.end());
    c.lookup_count = static_cast<uint32_t>(lookups_.size() - begin);
  }
  for (ClassInfo& c : classes_) {
    if (c.member_count > kLinearMemberLimit) c.lookup = lookups_.data() + lookup_start[c.index];
  }
  // Direct tables for classes with close member numbers, the usual case.
  std::vector<size_t> direct_start(classes_.size(), 0);
  for (ClassInfo& c : classes_) {
    if (c.member_count == 0) continue;
    int64_t lo = c.members[0].number, hi = lo;
    for (uint32_t i = 1; i < c.member_count; i++) {
      lo = std::min<int64_t>(lo, c.members[i].number);
      hi = std::max<int64_t>(hi, c.members[i].number);
    }
    const int64_t span = hi - lo + 1;
    if (span > kDirectSpread * c.member_count + kDirectSlack) continue;
    direct_start[c.index] = direct_.size();
    const size_t begin = direct_.size();
    direct_.resize(begin + static_cast<size_t>(span), 0);
    for (uint32_t i = c.member_count; i-- > 0;) {  // backwards: the first one wins
      direct_[begin + static_cast<size_t>(c.members[i].number - lo)] = i + 1;
    }
    c.direct_base = static_cast<int32_t>(lo);
    c.direct_count = static_cast<uint32_t>(span);
  }
  for (ClassInfo& c : classes_) {
    if (c.direct_count != 0) c.direct = direct_.data() + direct_start[c.index];
  }
}

const ClassInfo* Reader::FindByNumber(int32_t number) const {
  auto it = std::lower_bound(by_number_.begin(), by_number_.end(), number,
                             [this](uint32_t c, int32_t n) { return classes_[c].number < n; });
  if (it == by_number_.end() || classes_[*it].number != number) return nullptr;
  return &classes_[*it];
}

const ClassInfo* Reader::FindByName(std::string_view name) const {
  auto it =
      std::lower_bound(by_name_.begin(), by_name_.end(), name,
                       [this](uint32_t c, std::string_view n) { return NameOf(classes_[c]) < n; });
  if (it != by_name_.end() && NameOf(classes_[*it]) == name) return &classes_[*it];
  for (const ClassInfo& c : classes_) {
    if (EqualsIgnoreCase(std::string_view(c.name, c.name_length), name)) return &c;
  }
  return nullptr;
}

const unsigned char* Reader::Resolve(const unsigned char* field) const {
  uint32_t ci = DecodeFixed32(field);
  uint32_t oi = DecodeFixed32(field + 4);
  if (ci >= classes_.size() || oi >= classes_[ci].object_count) return nullptr;
  return classes_[ci].Record(oi);
}

const ClassInfo* Reader::ClassOfRecord(const unsigned char* rec) const {
  // Data ranges follow each other in class order; an empty class's range is
  // empty, so of the classes starting at or before rec the last one is the
  // only one that can hold it.
  const uintptr_t at = reinterpret_cast<uintptr_t>(rec);
  auto after = std::upper_bound(
      classes_.begin(), classes_.end(), at,
      [](uintptr_t p, const ClassInfo& c) { return p < reinterpret_cast<uintptr_t>(c.data); });
  if (after == classes_.begin()) return nullptr;
  const ClassInfo& c = *(after - 1);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(c.data);
  if (at - begin >= uint64_t{c.object_count} * c.record_size) return nullptr;
  return &c;
}

Reader::~Reader() {
  if (registered_) registry::Remove(this);
}

}  // namespace wqstore
