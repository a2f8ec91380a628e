// MemberReader: one member of one class, found once, for reading it from
// every object of a list. It answers exactly what awq_Object's getters
// answer; for an object of its class and a member of the type asked for it
// reads the field directly, with no class or member lookup per value, and
// for anything else (an empty object, another class, another type) it asks
// the object's getter. Strings come with their length (StringOf, for one
// object), so that no reader of them needs to look for their NUL.
//
// Like awq_Class, it is valid while its database lives.
#ifndef WQSQL_REPOSITORY_MEMBER_READER_H_
#define WQSQL_REPOSITORY_MEMBER_READER_H_

#include <cstddef>
#include <cstdint>

#include "repository/store_api.h"
#include "store/scan.h"

namespace wqstore {

// What GetStringProperty answers, with the entry's length: the text is read
// only inside the entry the heap holds, never up to a NUL that the file,
// changed since, may no longer have.
inline const char* StringOf(const awq_Object& o, int member, size_t* length) {
  *length = 0;
  const ClassInfo* c = o.class_handle();
  if (c == nullptr) return nullptr;
  const MemberInfo* m = c->FindMember(member);
  if (m == nullptr || m->type != wqTypeString) return nullptr;
  return c->reader->HeapString(DecodeFixed64(o.record() + m->field_offset), length);
}

class MemberReader {
 public:
  MemberReader() = default;
  MemberReader(const awq_Class& cls, int member) : member_(member) {
    const ClassInfo* c = cls.handle();
    if (c == nullptr) return;
    const MemberInfo* m = c->FindMember(member);
    if (m == nullptr) return;
    begin_ = reinterpret_cast<uintptr_t>(c->data);
    length_ = uintptr_t{c->object_count} * c->record_size;
    reader_ = c->reader;
    offset_ = m->field_offset;
    type_ = m->type;
  }

  // The UTF-8 text and its length in bytes (up to the NUL the store keeps
  // after it), or null with a length of 0. The text holds no NUL before
  // that length only in a validated file: a reader that stops at the
  // first NUL sees what GetStringProperty gives.
  const char* String(const awq_Object& o, size_t* length) const {
    if (const unsigned char* f = Field(o, wqTypeString)) {
      return reader_->HeapString(DecodeFixed64(f), length);
    }
    return StringOf(o, member_, length);
  }
  int Int(const awq_Object& o) const {
    const unsigned char* f = Field(o, wqTypeInt);
    return f != nullptr ? DecodeSigned32(f) : o.GetIntProperty(member_);
  }
  double Double(const awq_Object& o) const {
    const unsigned char* f = Field(o, wqTypeDouble);
    return f != nullptr ? DecodeDouble(f) : o.GetDoubleProperty(member_);
  }
  char Char(const awq_Object& o) const {
    const unsigned char* f = Field(o, wqTypeChar);
    return f != nullptr ? static_cast<char>(f[0]) : o.GetCharProperty(member_);
  }
  // As GetBlobProperty: leaves size and data alone when the object has no
  // blob member of that number.
  void Blob(const awq_Object& o, int32_t& size, const unsigned char*& data) const {
    if (const unsigned char* f = Field(o, wqTypeBlob)) {
      reader_->HeapBlob(DecodeFixed64(f), &size, &data);
    } else {
      o.GetBlobProperty(member_, size, data);
    }
  }

 private:
  // The field of an object of this class when the member has `type`, else
  // null.
  const unsigned char* Field(const awq_Object& o, int type) const {
    const unsigned char* rec = o.record();
    if (reinterpret_cast<uintptr_t>(rec) - begin_ >= length_ || type_ != type) return nullptr;
    return rec + offset_;
  }

  uintptr_t begin_ = 0;
  uintptr_t length_ = 0;  // 0: nothing is read directly
  const Reader* reader_ = nullptr;
  uint32_t offset_ = 0;
  int type_ = 0;
  int member_ = 0;
};

}  // namespace wqstore

#endif  // WQSQL_REPOSITORY_MEMBER_READER_H_
