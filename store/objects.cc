// The public handles of an open repository: ObjectId, Member, ClassDef and
// Object. Every read stays inside the record Open checked and the heap;
// what cannot be read is an error naming the class, member and object,
// never a silent 0.
#include <charconv>
#include <string>

#include "platform/ascii.h"
#include "store/scan.h"
#include "wqstore/repository.h"

namespace wqstore {
namespace {

std::string ClassText(const ClassInfo* c) {
  return "class " + std::to_string(c->number) + " (" + std::string(c->name, c->name_length) + ")";
}

std::string MemberText(const MemberInfo* m) {
  return "member " + std::to_string(m->number) + " (" + std::string(m->name, m->name_length) + ")";
}

Result NoMember(const ClassInfo* c, int32_t number) {
  return Result::Error(Result::kNotFound,
                       ClassText(c) + " has no member " + std::to_string(number));
}

Result NoObject() { return Result::Error(Result::kInvalidArgument, "read of an empty object"); }

// The field of member `m` of the object at `position` of class `c` when
// the member is of kind `want`; else the error saying why not.
Result FieldFor(const ClassInfo* c, uint32_t position, const MemberInfo* m, ValueKind want,
                const unsigned char** field) {
  if (c == nullptr) return NoObject();
  if (m == nullptr || m < c->members || m >= c->members + c->member_count) {
    return Result::Error(Result::kInvalidArgument, "member does not belong to " + ClassText(c));
  }
  const ValueKind kind = KindOf(m->type);
  if (kind != want) {
    return Result::Error(Result::kTypeMismatch, MemberText(m) + " of " + ClassText(c) + " is " +
                                                    ValueKindPhrase(kind) + ", not " +
                                                    ValueKindPhrase(want));
  }
  *field = c->Record(position) + m->field_offset;
  return Result::Ok();
}

Result FieldByNumber(const ClassInfo* c, uint32_t position, int32_t number, ValueKind want,
                     const unsigned char** field) {
  if (c == nullptr) return NoObject();
  const MemberInfo* m = c->FindMember(number);
  if (m == nullptr) return NoMember(c, number);
  return FieldFor(c, position, m, want, field);
}

Result Damaged(const ClassInfo* c, uint32_t position, const std::string& what) {
  return Result::Error(Result::kDamaged,
                       "object " + std::to_string(position) + " of " + ClassText(c) + ": " + what);
}

// The readers of each kind, on a field already found.
Result ReadString(const ClassInfo* c, uint32_t position, const unsigned char* f,
                  std::optional<std::string_view>* value) {
  const uint64_t off = DecodeFixed64(f);
  if (off == 0) {
    *value = std::nullopt;
    return Result::Ok();
  }
  size_t length;
  const char* s = c->reader->HeapString(off, &length);
  if (s == nullptr)
    return Damaged(c, position,
                   "string at heap offset " + std::to_string(off) + " is outside the heap");
  *value = std::string_view(s, length);
  return Result::Ok();
}

Result ReadBlob(const ClassInfo* c, const unsigned char* f, std::string_view* bytes) {
  int32_t size;
  const unsigned char* data;
  c->reader->HeapBlob(DecodeFixed64(f), &size, &data);
  *bytes = std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  return Result::Ok();
}

Result ReadReference(const ClassInfo* c, uint32_t position, const unsigned char* f,
                     const ClassInfo** target_class, uint32_t* target_position) {
  const uint32_t ci = DecodeFixed32(f);
  const uint32_t oi = DecodeFixed32(f + 4);
  *target_class = nullptr;
  if (ci == format::kUnsetIndex) return Result::Ok();
  const Reader& reader = *c->reader;
  if (ci >= reader.class_count() || oi >= reader.class_at(ci).object_count) {
    return Damaged(c, position,
                   "reference to object " + std::to_string(oi) + " of class index " +
                       std::to_string(ci) + ", which the file does not hold");
  }
  *target_class = &reader.class_at(ci);
  *target_position = oi;
  return Result::Ok();
}

}  // namespace

// ObjectId

std::string ObjectId::ToString() const {
  return std::to_string(class_number) + ":" + std::to_string(position);
}

Result ObjectId::Parse(std::string_view text, ObjectId* id) {
  const size_t colon = text.find(':');
  ObjectId parsed;
  auto number = [](std::string_view part, int32_t* v) {
    const char* end = part.data() + part.size();
    const std::from_chars_result r = std::from_chars(part.data(), end, *v);
    return !part.empty() && r.ec == std::errc() && r.ptr == end;
  };
  if (colon == std::string_view::npos || !number(text.substr(0, colon), &parsed.class_number) ||
      !number(text.substr(colon + 1), &parsed.position) || parsed.position < 0 ||
      text[colon + 1] == '-') {
    return Result::Error(Result::kInvalidArgument,
                         "not an object id (CLASSNUMBER:POSITION): \"" + std::string(text) + "\"");
  }
  *id = parsed;
  return Result::Ok();
}

// Member

std::string_view Member::name() const { return std::string_view(m_->name, m_->name_length); }
int32_t Member::number() const { return m_->number; }
int Member::type_code() const { return m_->type; }
DataType Member::type() const {
  switch (KindOf(m_->type)) {
    case ValueKind::kString: return DataType::kString;
    case ValueKind::kInt: return DataType::kInt;
    case ValueKind::kDouble: return DataType::kDouble;
    case ValueKind::kChar: return DataType::kChar;
    case ValueKind::kBlob: return DataType::kBlob;
    case ValueKind::kRef: return DataType::kReference;
    case ValueKind::kNone: break;
  }
  return DataType::kNoValue;
}
const char* Member::type_name() const { return TypeName(m_->type); }
bool Member::nullable() const { return m_->nullable; }

// ClassDef

std::string_view ClassDef::name() const { return std::string_view(c_->name, c_->name_length); }
int32_t ClassDef::number() const { return c_->number; }
int32_t ClassDef::object_size() const { return c_->object_size; }
int32_t ClassDef::index() const { return static_cast<int32_t>(c_->index); }
int32_t ClassDef::member_count() const { return static_cast<int32_t>(c_->member_count); }

Member ClassDef::member(int32_t index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= c_->member_count) return Member();
  return internal::Access::MemberOf(&c_->members[index]);
}

Result ClassDef::FindMember(int32_t number, Member* member) const {
  const MemberInfo* m = c_->FindMember(number);
  if (m == nullptr) return NoMember(c_, number);
  *member = internal::Access::MemberOf(m);
  return Result::Ok();
}

Result ClassDef::FindMemberByName(std::string_view name, Member* member) const {
  const MemberInfo* folded = nullptr;
  for (uint32_t i = 0; i < c_->member_count; i++) {
    const MemberInfo& m = c_->members[i];
    const std::string_view n(m.name, m.name_length);
    if (n == name) {
      *member = internal::Access::MemberOf(&m);
      return Result::Ok();
    }
    if (folded == nullptr && EqualsIgnoreCase(n, name)) folded = &m;
  }
  if (folded == nullptr) {
    return Result::Error(Result::kNotFound,
                         ClassText(c_) + " has no member named \"" + std::string(name) + "\"");
  }
  *member = internal::Access::MemberOf(folded);
  return Result::Ok();
}

int32_t ClassDef::object_count() const { return static_cast<int32_t>(c_->object_count); }

Result ClassDef::GetObject(int32_t position, Object* object) const {
  if (position < 0 || static_cast<uint32_t>(position) >= c_->object_count) {
    return Result::Error(Result::kNotFound, ClassText(c_) + " has no object " +
                                                std::to_string(position) + " (it has " +
                                                std::to_string(c_->object_count) + ")");
  }
  *object = internal::Access::ObjectAt(c_, static_cast<uint32_t>(position));
  return Result::Ok();
}

Objects ClassDef::objects() const {
  return c_ != nullptr ? Objects(c_, 0, c_->object_count) : Objects();
}

Objects ClassDef::objects(int32_t begin, int32_t end) const {
  if (c_ == nullptr) return Objects();
  const int64_t n = c_->object_count;
  const int64_t b = begin < 0 ? 0 : (begin > n ? n : begin);
  const int64_t e = end < b ? b : (end > n ? n : end);
  return Objects(c_, static_cast<uint32_t>(b), static_cast<uint32_t>(e));
}

Result ClassDef::GetColumn(const Member& member, ColumnView* view) const {
  const MemberInfo* m = internal::Access::Info(member);
  if (m == nullptr || m < c_->members || m >= c_->members + c_->member_count) {
    return Result::Error(Result::kInvalidArgument, "member does not belong to " + ClassText(c_));
  }
  const ValueKind kind = KindOf(m->type);
  if (kind != ValueKind::kInt && kind != ValueKind::kDouble && kind != ValueKind::kChar) {
    return Result::Error(Result::kTypeMismatch, MemberText(m) + " of " + ClassText(c_) +
                                                    " is not an int, double or char member");
  }
  view->data = c_->object_count > 0 ? c_->data + m->field_offset : nullptr;
  view->stride = c_->record_size;
  view->width = FieldWidth(m->type);
  view->count = static_cast<int32_t>(c_->object_count);
  return Result::Ok();
}

// Object

ClassDef Object::class_def() const { return internal::Access::Class(c_); }

ObjectId Object::id() const {
  return ObjectId{c_ != nullptr ? c_->number : 0, static_cast<int32_t>(position_)};
}

#define WQSTORE_READERS(Key, Find, key_arg)                                            \
  Result Object::GetInt(Key member, int32_t* value) const {                            \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kInt, &f);                      \
    if (r.ok()) *value = DecodeSigned32(f);                                            \
    return r;                                                                          \
  }                                                                                    \
  Result Object::GetDouble(Key member, double* value) const {                          \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kDouble, &f);                   \
    if (r.ok()) *value = DecodeDouble(f);                                              \
    return r;                                                                          \
  }                                                                                    \
  Result Object::GetChar(Key member, unsigned char* value) const {                     \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kChar, &f);                     \
    if (r.ok()) *value = f[0];                                                         \
    return r;                                                                          \
  }                                                                                    \
  Result Object::GetString(Key member, std::optional<std::string_view>* value) const { \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kString, &f);                   \
    return r.ok() ? ReadString(c_, position_, f, value) : r;                           \
  }                                                                                    \
  Result Object::GetBlob(Key member, std::string_view* bytes) const {                  \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kBlob, &f);                     \
    return r.ok() ? ReadBlob(c_, f, bytes) : r;                                        \
  }                                                                                    \
  Result Object::GetReference(Key member, std::optional<ObjectId>* target) const {     \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kRef, &f);                      \
    if (!r.ok()) return r;                                                             \
    const ClassInfo* tc;                                                               \
    uint32_t tp = 0;                                                                   \
    r = ReadReference(c_, position_, f, &tc, &tp);                                     \
    if (r.ok()) {                                                                      \
      if (tc == nullptr) {                                                             \
        *target = std::nullopt;                                                        \
      } else {                                                                         \
        *target = ObjectId{tc->number, static_cast<int32_t>(tp)};                      \
      }                                                                                \
    }                                                                                  \
    return r;                                                                          \
  }                                                                                    \
  Result Object::GetReferencedObject(Key member, Object* target) const {               \
    const unsigned char* f;                                                            \
    Result r = Find(c_, position_, key_arg, ValueKind::kRef, &f);                      \
    if (!r.ok()) return r;                                                             \
    const ClassInfo* tc;                                                               \
    uint32_t tp = 0;                                                                   \
    r = ReadReference(c_, position_, f, &tc, &tp);                                     \
    if (r.ok()) *target = tc != nullptr ? Object(tc, tp) : Object();                   \
    return r;                                                                          \
  }

WQSTORE_READERS(int32_t, FieldByNumber, member)
WQSTORE_READERS(const Member&, FieldFor, internal::Access::Info(member))

#undef WQSTORE_READERS

}  // namespace wqstore
