// The class, member and object handles of repository/store_api.h. Every getter is
// safe on an empty handle and on corrupt data: it reads only inside the
// record Open checked and the heap, and answers null, 0 or empty for
// anything it cannot read.
//
// An object handle is its record's address; its class comes from a
// one-entry cache per thread (the class of the last lookup, checked against
// the registry's generation) and otherwise from the registry.
#include <cstdint>

#include "repository/store_api.h"
#include "store/scan.h"

using wqstore::ClassInfo;
using wqstore::MemberInfo;
using wqstore::Reader;

namespace {

// The class of the last record this thread looked up: its records are
// [begin, begin + length). Valid while the registry's generation is
// `generation`; `reader` is the open file it belongs to.
struct RecentClass {
  uintptr_t begin;
  uintptr_t length;
  const ClassInfo* cls;
  uint64_t generation;
  const Reader* reader;
};

thread_local RecentClass t_recent = {0, 0, nullptr, 0, nullptr};

__attribute__((noinline)) const ClassInfo* ClassOfSlow(const unsigned char* rec) {
  if (rec == nullptr) return nullptr;
  RecentClass& r = t_recent;
  const uint64_t generation = wqstore::registry::Generation();
  const ClassInfo* c = nullptr;
  const Reader* reader = nullptr;
  if (r.generation == generation && r.reader != nullptr) {
    // Most misses are a record of another class of the same file.
    c = r.reader->ClassOfRecord(rec);
    reader = r.reader;
  }
  uint64_t valid_in = generation;
  if (c == nullptr) {
    const wqstore::registry::Found found = wqstore::registry::Find(rec);
    if (found.cls == nullptr) return nullptr;
    c = found.cls;
    reader = found.reader;
    valid_in = found.generation;
  }
  r.begin = reinterpret_cast<uintptr_t>(c->data);
  r.length = uintptr_t{c->object_count} * c->record_size;
  r.cls = c;
  r.generation = valid_in;
  r.reader = reader;
  return c;
}

// The class of the record at `rec`, or null for an empty handle and for an
// address no open repository holds.
inline const ClassInfo* ClassOf(const unsigned char* rec) {
  const RecentClass& r = t_recent;
  if (reinterpret_cast<uintptr_t>(rec) - r.begin < r.length &&
      r.generation == wqstore::registry::Generation()) {
    return r.cls;
  }
  return ClassOfSlow(rec);
}

// Where a getter's value lies: the field in the record and the reader of
// the heap it may point into; a null field when the object is empty or
// has no member with that number and type.
struct FieldAt {
  const unsigned char* field;
  const Reader* reader;
};

inline FieldAt FieldOf(const ClassInfo* c, const unsigned char* rec, int number, int type) {
  if (c == nullptr) return FieldAt{nullptr, nullptr};
  const MemberInfo* m = c->FindMember(number);
  if (m == nullptr || m->type != type) return FieldAt{nullptr, nullptr};
  return FieldAt{rec + m->field_offset, c->reader};
}

__attribute__((noinline)) FieldAt FieldOfSlow(const unsigned char* rec, int number, int type) {
  return FieldOf(ClassOfSlow(rec), rec, number, type);
}

// The common case inline: the class is this thread's latest and its
// members have a direct table. Everything else is one call that needs
// nothing kept across it.
inline FieldAt Field(const unsigned char* rec, int number, int type) {
  const RecentClass& r = t_recent;
  if (reinterpret_cast<uintptr_t>(rec) - r.begin < r.length &&
      r.generation == wqstore::registry::Generation()) {
    const ClassInfo* c = r.cls;
    if (c->direct != nullptr) {
      const uint32_t k = static_cast<uint32_t>(number) - static_cast<uint32_t>(c->direct_base);
      if (k >= c->direct_count || c->direct[k] == 0) return FieldAt{nullptr, nullptr};
      const MemberInfo& m = c->members[c->direct[k] - 1];
      if (m.type != type) return FieldAt{nullptr, nullptr};
      return FieldAt{rec + m.field_offset, c->reader};
    }
  }
  return FieldOfSlow(rec, number, type);
}

}  // namespace

const char* GetDataTypeName(int code) { return wqstore::TypeName(code); }

// awq_ClassProperty

const char* awq_ClassProperty::GetName() const { return m_ != nullptr ? m_->name : ""; }
int awq_ClassProperty::GetMemberNumber() const { return m_ != nullptr ? m_->number : 0; }
int awq_ClassProperty::GetDataType() const { return m_ != nullptr ? m_->type : 0; }
bool awq_ClassProperty::AllowNullValue() const { return m_ != nullptr && m_->nullable; }

// awq_Class

const char* awq_Class::GetName() const { return c_ != nullptr ? c_->name : ""; }
int awq_Class::GetObjectSize() const { return c_ != nullptr ? c_->object_size : 0; }
int awq_Class::GetClassNumber() const { return c_ != nullptr ? c_->number : 0; }

awq_autovector<awq_ClassProperty> awq_Class::GetMembers() const {
  if (c_ == nullptr || c_->member_count == 0)
    return awq_autovector<awq_ClassProperty>(nullptr, 0, true);
  const int32_t n = static_cast<int32_t>(c_->member_count);
  awq_ClassProperty* arr = new awq_ClassProperty[n];
  for (int32_t i = 0; i < n; i++) arr[i] = awq_ClassProperty(&c_->members[i]);
  return awq_autovector<awq_ClassProperty>(arr, n, true);
}

// awq_Object

const ClassInfo* awq_Object::class_handle() const { return ClassOf(rec_); }

const char* awq_Object::GetStringProperty(int member) const {
  const FieldAt f = Field(rec_, member, wqTypeString);
  return f.field != nullptr ? f.reader->HeapString(wqstore::DecodeFixed64(f.field)) : nullptr;
}

int awq_Object::GetIntProperty(int member) const {
  const FieldAt f = Field(rec_, member, wqTypeInt);
  return f.field != nullptr ? wqstore::DecodeSigned32(f.field) : 0;
}

double awq_Object::GetDoubleProperty(int member) const {
  const FieldAt f = Field(rec_, member, wqTypeDouble);
  return f.field != nullptr ? wqstore::DecodeDouble(f.field) : 0.0;
}

char awq_Object::GetCharProperty(int member) const {
  const FieldAt f = Field(rec_, member, wqTypeChar);
  return f.field != nullptr ? static_cast<char>(f.field[0]) : '\0';
}

void awq_Object::GetBlobProperty(int member, int32_t& size, const unsigned char*& data) const {
  const FieldAt f = Field(rec_, member, wqTypeBlob);
  if (f.field != nullptr) f.reader->HeapBlob(wqstore::DecodeFixed64(f.field), &size, &data);
}

awq_Object awq_Object::GetObjectRefProperty(int member) const {
  const ClassInfo* c = ClassOf(rec_);
  if (c == nullptr) return awq_Object();
  const MemberInfo* m = c->FindMember(member);
  if (m == nullptr || !wqstore::IsReference(m->type)) return awq_Object();
  return awq_Object(c->reader->Resolve(rec_ + m->field_offset));
}
