// RepositoryWriter's building calls: classes, members, objects and values,
// held in a WriterState. Each call refuses, before it changes anything,
// whatever ValidateRepository would reject, so every image the writer lays
// out is sound (writer_image.cc checks the one thing a call cannot: that
// every required value was set).
#include "store/writer.h"

#include <cstring>
#include <utility>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/names.h"
#include "store/writer_state.h"

namespace wqstore {

using namespace format;

WriterState::WriterState() : heap(new SpillBuffer()) {
  const unsigned char zeros[kHeapReserved] = {};
  (void)heap->Append(zeros, sizeof zeros);  // in memory: cannot fail
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

Status Spent() { return Status::Error("the writer's contents went into a commit already"); }

namespace {

// `what` is "class" or "class "X": member". The name is quoted as shown
// (a refused name may hold what a terminal would act on).
Status CheckNewName(const std::string& what, std::string_view name) {
  const Status why = CheckVisibleName(name);
  if (why.ok()) return why;
  if (name.empty()) return Status::Error(what + " name is empty");
  return Status::Error(what + " name " + Quoted(ShownName(name)) + ": " + why.message());
}

// The refusal of a class index that no class has.
__attribute__((noinline, cold)) Status NoClass(uint32_t cls) {
  return Status::Error("no class with index " + Num(cls));
}

inline Status FindClass(const WriterState& s, uint32_t cls, WriterClass** out) {
  if (s.spent) return Spent();
  if (cls >= s.classes.size()) return NoClass(cls);
  *out = s.classes[cls].get();
  return Status::OK();
}

// Where a setter's value goes.
struct FieldSlot {
  WriterClass* cls = nullptr;
  const WriterMember* member = nullptr;
  uint64_t pos = 0;  // of the field in *cls->records
};

// Why FindField found no field: the first of its checks that fails.
__attribute__((noinline, cold)) Status FieldError(const WriterState& s, ObjectRef o,
                                                  uint32_t member, ValueKind kind, bool null) {
  WriterClass* c = nullptr;
  WQ_RETURN_IF_ERROR(FindClass(s, o.cls, &c));
  if (o.obj >= c->object_count) {
    return Status::Error("class " + Quoted(c->name) + " has no object " + Num(o.obj));
  }
  if (member >= c->members.size()) {
    return Status::Error("class " + Quoted(c->name) + " has no member with index " + Num(member));
  }
  const WriterMember& m = c->members[member];
  return Status::Error("class " + Quoted(c->name) + ", member " + Quoted(m.name) + " is a " +
                       ValueKindWord(m.kind) + " member (type " + Num(m.type) + ") and takes no " +
                       (null ? "null" : ValueKindWord(kind)) + " value");
}

// Finds the field of member `member` of object `o` for a value of `kind`,
// or for a null when `null` is set. Runs for every value set: the checks
// come first, the wording of a refusal apart.
inline Status FindField(const WriterState& s, ObjectRef o, uint32_t member, ValueKind kind,
                        bool null, FieldSlot* slot) {
  if (o.cls < s.classes.size()) {
    WriterClass* c = s.classes[o.cls].get();
    if (o.obj < c->object_count && member < c->members.size()) {
      const WriterMember& m = c->members[member];
      if (null ? CanBeNull(m.type) : m.kind == kind) {
        *slot = FieldSlot{c, &m, c->records_start + uint64_t{o.obj} * c->stride() + m.field_offset};
        return Status::OK();
      }
    }
  }
  return FieldError(s, o, member, kind, null);
}

// "class "X", object N, member "m"": the value a message is about.
std::string ValueLabel(const FieldSlot& f, ObjectRef o) {
  return "class " + Quoted(f.cls->name) + ", object " + Num(o.obj) + ", member " +
         Quoted(f.member->name);
}

// Appends a heap entry: the length, the bytes and, for a string, a NUL.
// Sets *offset to its heap offset.
Status AppendHeapEntry(WriterState& s, const void* data, size_t len, bool terminate,
                       uint64_t* offset) {
  *offset = s.heap->size();
  unsigned char len_bytes[kHeapEntryHeader];
  EncodeFixed32(len_bytes, static_cast<uint32_t>(len));
  WQ_RETURN_IF_ERROR(s.heap->Append(len_bytes, sizeof len_bytes));
  WQ_RETURN_IF_ERROR(s.heap->Append(data, len));
  if (!terminate) return Status::OK();
  const unsigned char nul = 0;
  return s.heap->Append(&nul, 1);
}

}  // namespace

RepositoryWriter::RepositoryWriter() : state_(new WriterState()) {}
RepositoryWriter::~RepositoryWriter() = default;

Status RepositoryWriter::SpillNear(const std::string& path) {
  WriterState& s = *state_;
  if (s.spent) return Spent();
  if (s.spilled_records != nullptr) return Status::OK();
  for (const auto& c : s.classes) {
    if (c->object_count > 0) return Status::Error("the writer can spill only before any object");
  }
  auto records = std::make_unique<SpillBuffer>();
  WQ_RETURN_IF_ERROR(records->SpillNear(path));
  auto heap = std::make_unique<SpillBuffer>();
  WQ_RETURN_IF_ERROR(heap->SpillNear(path));
  const unsigned char zeros[kHeapReserved] = {};
  WQ_RETURN_IF_ERROR(heap->Append(zeros, sizeof zeros));
  s.heap = std::move(heap);
  s.spilled_records = std::move(records);
  for (const auto& c : s.classes) c->records = s.spilled_records.get();
  return Status::OK();
}

Status RepositoryWriter::AddClass(std::string_view name, int32_t number, bool has_object_size,
                                  int32_t object_size, uint32_t* index) {
  if (state_->spent) return Spent();
  WQ_RETURN_IF_ERROR(CheckNewName("class", name));
  if (HasClassName(name)) return Status::Error("duplicate class name " + Quoted(name));
  if (HasClassNumber(number)) {
    return Status::Error("class " + Quoted(name) + ": duplicate class number " + Num(number));
  }
  if (state_->classes.size() >= kMaxClassCount) return Status::Error("too many classes");
  if (state_->names_length + name.size() + 1 > kMaxNamesLength) {
    return Status::Error("class " + Quoted(name) +
                         ": names of classes and members too long in total");
  }
  if (!state_->classes.empty()) {
    // The class before usually has all its members now: the slack of its
    // member vector goes, once per class, so a long run of classes costs
    // what their members take.
    WriterClass& last = *state_->classes.back();
    if (!last.members_trimmed) {
      last.members.shrink_to_fit();
      last.members_trimmed = true;
    }
  }
  auto c = std::make_unique<WriterClass>();
  if (state_->spilled_records != nullptr) c->records = state_->spilled_records.get();
  c->name = std::string(name);
  c->number = number;
  c->has_object_size = has_object_size;
  c->object_size = object_size;
  state_->names_length += name.size() + 1;
  WriterState& s = *state_;
  const uint32_t cls = static_cast<uint32_t>(s.classes.size());
  s.class_names.Insert(NameHash(0, c->name), cls,
                       [&s](uint64_t e) { return NameHash(0, s.classes[e]->name); });
  s.class_numbers.Insert(NumberHash(0, number), cls,
                         [&s](uint64_t e) { return NumberHash(0, s.classes[e]->number); });
  s.classes.push_back(std::move(c));
  if (index != nullptr) *index = cls;
  return Status::OK();
}

Status RepositoryWriter::AddMember(uint32_t cls, std::string_view name, int32_t number, int type,
                                   bool nullable, uint32_t* index) {
  WriterClass* c = nullptr;
  WQ_RETURN_IF_ERROR(FindClass(*state_, cls, &c));
  const std::string what = "class " + Quoted(c->name) + ": member";
  WQ_RETURN_IF_ERROR(CheckNewName(what, name));
  if (c->object_count > 0) {
    return Status::Error(what + " " + Quoted(name) + " added after the class's first object");
  }
  if (type < 0 || type > 255) {
    return Status::Error(what + " " + Quoted(name) + ": type code " + Num(type) +
                         " out of range 0-255");
  }
  WriterState& s = *state_;
  const auto member_of = [&s](uint64_t e) -> const WriterMember& {
    return s.classes[e >> 32]->members[static_cast<uint32_t>(e)];
  };
  const uint64_t name_hash = NameHash(cls, name);
  const uint64_t number_hash = NumberHash(cls, number);
  if (s.member_names.Find(name_hash, [&](uint64_t e) {
        return (e >> 32) == cls && member_of(e).name == name;
      }) != OpenIndex<uint64_t>::kNone) {
    return Status::Error(what + " name " + Quoted(name) + " is taken");
  }
  if (s.member_numbers.Find(number_hash, [&](uint64_t e) {
        return (e >> 32) == cls && member_of(e).number == number;
      }) != OpenIndex<uint64_t>::kNone) {
    return Status::Error(what + " " + Quoted(name) + ": member number " + Num(number) +
                         " is taken");
  }
  if (state_->member_total >= kMaxMemberCount) return Status::Error("too many members");
  const uint32_t width = FieldWidth(type);
  if (uint64_t{c->record_size} + width > kMaxRecordSize) {
    return Status::Error(what + " " + Quoted(name) + ": the record would pass " +
                         Num(kMaxRecordSize) + " bytes");
  }
  if (!c->has_object_size && uint64_t{c->record_size} + width > kMaxObjectSize) {
    return Status::Error(what + " " + Quoted(name) + ": the record would pass " +
                         Num(kMaxObjectSize) + " bytes, too large to be the class's object size");
  }
  if (state_->names_length + name.size() + 1 > kMaxNamesLength) {
    return Status::Error(what + " " + Quoted(name) +
                         ": names of classes and members too long in total");
  }
  WriterMember m{std::string(name), number,   static_cast<uint8_t>(type),
                 KindOf(type),      nullable, c->record_size};
  c->record_size += width;
  state_->names_length += name.size() + 1;
  const uint64_t entry = uint64_t{cls} << 32 | c->members.size();
  c->members.push_back(std::move(m));
  s.member_names.Insert(name_hash, entry,
                        [&](uint64_t e) { return NameHash(e >> 32, member_of(e).name); });
  s.member_numbers.Insert(number_hash, entry,
                          [&](uint64_t e) { return NumberHash(e >> 32, member_of(e).number); });
  state_->member_total++;
  if (index != nullptr) *index = static_cast<uint32_t>(c->members.size() - 1);
  return Status::OK();
}

Status RepositoryWriter::AddObject(uint32_t cls, ObjectRef* id) {
  WriterClass* c = nullptr;
  WQ_RETURN_IF_ERROR(FindClass(*state_, cls, &c));
  if (c->object_count >= kMaxObjectCount) {
    return Status::Error("class " + Quoted(c->name) + " cannot hold more than " +
                         Num(kMaxObjectCount) + " objects");
  }
  if (state_->spilled_records != nullptr && cls != state_->open_class) {
    // The records of a spilling writer lie class after class, as in the
    // file: a class's objects start after those of every class before it.
    if (cls < state_->open_class || c->object_count > 0) {
      return Status::Error("class " + Quoted(c->name) +
                           ": objects of a later class came first (this writer takes the "
                           "objects class after class)");
    }
    state_->open_class = cls;
  }
  if (c->object_count == 0) {
    if (c->records == nullptr) {
      c->own_records.reset(new SpillBuffer());
      c->records = c->own_records.get();
    }
    c->records_start = c->records->size();
  }
  WriterState& s = *state_;
  if (s.blank_class != cls) {
    // Every value null, 0 or empty: an unset reference is all ones.
    s.blank.assign(c->stride(), 0);
    for (const WriterMember& m : c->members) {
      if (m.kind == ValueKind::kRef) std::memset(s.blank.data() + m.field_offset, 0xFF, 8);
    }
    s.blank_class = cls;
  }
  WQ_RETURN_IF_ERROR(c->records->Append(s.blank.data(), s.blank.size()));
  *id = ObjectRef{cls, c->object_count++};
  return Status::OK();
}

Status RepositoryWriter::SetString(ObjectRef o, uint32_t member, std::string_view utf8) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kString, false, &f));
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (!IsValidUtf8Text(s, utf8.size())) {
    const size_t bad = FindInvalidUtf8(s, utf8.size());
    return Status::Error(ValueLabel(f, o) + ": " + (s[bad] == 0 ? "NUL byte" : "invalid UTF-8") +
                         " at byte " + Num(bad) + " of the string");
  }
  if (utf8.size() > kMaxStringLength) return Status::Error("string too long");
  uint64_t entry;
  WQ_RETURN_IF_ERROR(AppendHeapEntry(*state_, utf8.data(), utf8.size(), true, &entry));
  unsigned char field[8];
  EncodeFixed64(field, entry);
  return f.cls->records->Write(f.pos, field, sizeof field);
}

Status RepositoryWriter::SetNull(ObjectRef o, uint32_t member) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kNone, true, &f));
  if (!f.member->nullable) return Status::Error(ValueLabel(f, o) + " does not allow null");
  unsigned char field[8];
  std::memset(field, f.member->kind == ValueKind::kString ? 0 : 0xFF, sizeof field);
  return f.cls->records->Write(f.pos, field, sizeof field);
}

Status RepositoryWriter::SetInt(ObjectRef o, uint32_t member, int32_t v) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kInt, false, &f));
  unsigned char field[4];
  EncodeFixed32(field, static_cast<uint32_t>(v));
  return f.cls->records->Write(f.pos, field, sizeof field);
}

Status RepositoryWriter::SetDouble(ObjectRef o, uint32_t member, double v) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kDouble, false, &f));
  unsigned char field[8];
  EncodeDouble(field, v);
  return f.cls->records->Write(f.pos, field, sizeof field);
}

Status RepositoryWriter::SetChar(ObjectRef o, uint32_t member, uint8_t v) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kChar, false, &f));
  return f.cls->records->Write(f.pos, &v, 1);
}

Status RepositoryWriter::SetBlob(ObjectRef o, uint32_t member, const void* data, size_t len) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kBlob, false, &f));
  if (len > kMaxBlobLength) return Status::Error("blob too long (" + Num(len) + " bytes)");
  uint64_t entry = 0;
  if (len > 0) WQ_RETURN_IF_ERROR(AppendHeapEntry(*state_, data, len, false, &entry));
  unsigned char field[8];
  EncodeFixed64(field, entry);
  return f.cls->records->Write(f.pos, field, sizeof field);
}

Status RepositoryWriter::SetRef(ObjectRef o, uint32_t member, ObjectRef target) {
  FieldSlot f;
  WQ_RETURN_IF_ERROR(FindField(*state_, o, member, ValueKind::kRef, false, &f));
  if (target.cls >= state_->classes.size() ||
      target.obj >= state_->classes[target.cls]->object_count) {
    return Status::Error(ValueLabel(f, o) + ": reference to a missing object (class index " +
                         Num(target.cls) + ", object " + Num(target.obj) + ")");
  }
  unsigned char field[8];
  EncodeFixed32(field, target.cls);
  EncodeFixed32(field + 4, target.obj);
  return f.cls->records->Write(f.pos, field, sizeof field);
}

bool RepositoryWriter::HasClassName(std::string_view name) const {
  const WriterState& s = *state_;
  return s.class_names.Find(NameHash(0, name), [&](uint64_t e) {
    return s.classes[e]->name == name;
  }) != OpenIndex<uint32_t>::kNone;
}

bool RepositoryWriter::HasClassNumber(int32_t number) const {
  const WriterState& s = *state_;
  return s.class_numbers.Find(NumberHash(0, number), [&](uint64_t e) {
    return s.classes[e]->number == number;
  }) != OpenIndex<uint32_t>::kNone;
}

uint32_t RepositoryWriter::class_count() const {
  return static_cast<uint32_t>(state_->classes.size());
}

uint32_t RepositoryWriter::object_count(uint32_t cls) const {
  return cls < state_->classes.size() ? state_->classes[cls]->object_count : 0;
}

}  // namespace wqstore
