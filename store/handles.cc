// The class, member and object handles of repository/store_api.h, and the
// names of the data type codes. Every getter is safe on an empty handle and
// on corrupt data: it reads only inside the record Open checked and the
// heap, and answers null, 0 or empty for anything it cannot read.
#include <cstdio>
#include <new>

#include "repository/store_api.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/repository.h"

using wqstore::ClassInfo;
using wqstore::MemberInfo;

namespace {

// The member with that number when it has the given type code.
const MemberInfo* TypedMember(const ClassInfo* c, const unsigned char* rec, int number, int type) {
  if (c == nullptr || rec == nullptr) return nullptr;
  const MemberInfo* m = c->FindMember(number);
  return (m != nullptr && m->type == type) ? m : nullptr;
}

// Names of the codes 0 to 255, built once.
struct TypeNames {
  char text[256][8];
  TypeNames() {
    for (int code = 0; code < 256; code++)
      std::snprintf(text[code], sizeof text[code], "type%d", code);
    const char* known[] = {nullptr, "string", "int",   "double", "char",
                           "blob",  "ref",    nullptr, "ref"};
    for (int code = 1; code <= 8; code++) {
      if (known[code] != nullptr) std::snprintf(text[code], sizeof text[code], "%s", known[code]);
    }
  }
};

}  // namespace

const char* GetDataTypeName(int code) {
  static const TypeNames names;
  if (code >= 0 && code < 256) return names.text[code];
  // Codes outside a byte never come from a file; each thread keeps the text
  // of its latest such call.
  thread_local char other[16];
  std::snprintf(other, sizeof other, "type%d", code);
  return other;
}

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

const char* awq_Object::GetStringProperty(int member) const {
  const MemberInfo* m = TypedMember(c_, rec_, member, wqTypeString);
  if (m == nullptr) return nullptr;
  return c_->repo->HeapString(wqstore::DecodeFixed64(rec_ + m->field_offset));
}

int awq_Object::GetIntProperty(int member) const {
  const MemberInfo* m = TypedMember(c_, rec_, member, wqTypeInt);
  return m != nullptr ? wqstore::DecodeSigned32(rec_ + m->field_offset) : 0;
}

double awq_Object::GetDoubleProperty(int member) const {
  const MemberInfo* m = TypedMember(c_, rec_, member, wqTypeDouble);
  return m != nullptr ? wqstore::DecodeDouble(rec_ + m->field_offset) : 0.0;
}

char awq_Object::GetCharProperty(int member) const {
  const MemberInfo* m = TypedMember(c_, rec_, member, wqTypeChar);
  return m != nullptr ? static_cast<char>(rec_[m->field_offset]) : '\0';
}

void awq_Object::GetBlobProperty(int member, int32_t& size, const unsigned char*& data) const {
  const MemberInfo* m = TypedMember(c_, rec_, member, wqTypeBlob);
  if (m == nullptr) return;
  c_->repo->HeapBlob(wqstore::DecodeFixed64(rec_ + m->field_offset), &size, &data);
}

awq_Object awq_Object::GetObjectRefProperty(int member) const {
  if (c_ == nullptr || rec_ == nullptr) return awq_Object();
  const MemberInfo* m = c_->FindMember(member);
  if (m == nullptr || !wqstore::format::IsReference(m->type)) return awq_Object();
  return c_->repo->Resolve(rec_ + m->field_offset);
}
