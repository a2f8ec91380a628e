// The class, member and object handles of repository/store_api.h, and the
// names of the data type codes. Every getter is safe on an empty handle and
// on corrupt data: it reads only inside the record Open checked and the
// heap, and answers null, 0 or empty for anything it cannot read.
//
// An object handle is its record's address; its class comes from a
// one-entry cache per thread (the class of the last lookup, checked against
// the registry's generation) and otherwise from the registry.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "store/api.h"
#include "store/class_registry.h"
#include "store/coding.h"
#include "store/data_types.h"
#include "store/format.h"
#include "store/repository.h"

using wqstore::ClassInfo;
using wqstore::MemberInfo;
using wqstore::Repository;

namespace {

// The class of the last record this thread looked up: its records are
// [begin, begin + length). Valid while the registry's generation is
// `generation`; `repo` is the repository it belongs to.
struct RecentClass {
  uintptr_t begin;
  uintptr_t length;
  const ClassInfo* cls;
  uint64_t generation;
  const Repository* repo;
};

thread_local RecentClass t_recent = {0, 0, nullptr, 0, nullptr};

__attribute__((noinline)) const ClassInfo* ClassOfSlow(const unsigned char* rec) {
  if (rec == nullptr) return nullptr;
  RecentClass& r = t_recent;
  const uint64_t generation = wqstore::registry::Generation();
  const ClassInfo* c = nullptr;
  const Repository* repo = nullptr;
  if (r.generation == generation && r.repo != nullptr) {
    // Most misses are a record of another class of the same repository.
    c = r.repo->ClassOfRecord(rec);
    repo = r.repo;
  }
  uint64_t valid_in = generation;
  if (c == nullptr) {
    const wqstore::registry::Found found = wqstore::registry::Find(rec);
    if (found.cls == nullptr) return nullptr;
    c = found.cls;
    repo = found.repo;
    valid_in = found.generation;
  }
  r.begin = reinterpret_cast<uintptr_t>(c->data);
  r.length = uintptr_t{c->object_count} * c->record_size;
  r.cls = c;
  r.generation = valid_in;
  r.repo = repo;
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

// Where a getter's value lies: the field in the record and the repository
// whose heap it may point into; a null field when the object is empty or
// has no member with that number and type.
struct FieldAt {
  const unsigned char* field;
  const Repository* repo;
};

inline FieldAt FieldOf(const ClassInfo* c, const unsigned char* rec, int number, int type) {
  if (c == nullptr) return FieldAt{nullptr, nullptr};
  const MemberInfo* m = c->FindMember(number);
  if (m == nullptr || m->type != type) return FieldAt{nullptr, nullptr};
  return FieldAt{rec + m->field_offset, c->repo};
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
      return FieldAt{rec + m.field_offset, c->repo};
    }
  }
  return FieldOfSlow(rec, number, type);
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

const ClassInfo* awq_Object::class_handle() const { return ClassOf(rec_); }

const char* awq_Object::GetStringProperty(int member) const {
  const FieldAt f = Field(rec_, member, wqTypeString);
  return f.field != nullptr ? f.repo->HeapString(wqstore::DecodeFixed64(f.field)) : nullptr;
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
  if (f.field != nullptr) f.repo->HeapBlob(wqstore::DecodeFixed64(f.field), &size, &data);
}

awq_Object awq_Object::GetObjectRefProperty(int member) const {
  const ClassInfo* c = ClassOf(rec_);
  if (c == nullptr) return awq_Object();
  const MemberInfo* m = c->FindMember(member);
  if (m == nullptr || !wqstore::IsReference(m->type)) return awq_Object();
  return c->repo->Resolve(rec_ + m->field_offset);
}

// Object lists. A block starts with a 16-byte header holding the length of
// its own mapping, or 0 when it came from the general heap; the handles
// follow. Big lists are mapped 2 MiB aligned with huge pages asked for: a
// list of millions of handles then costs a few dozen page faults, not one
// per 4 KiB, and goes back to the system at once when it is released.

namespace {

constexpr size_t kListHeader = 16;
constexpr size_t kDirectMapMin = size_t{4} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void* awq_Object::operator new[](std::size_t bytes) {
  if (bytes > SIZE_MAX - kListHeader - 2 * kHugePage) throw std::bad_alloc();
  const size_t need = bytes + kListHeader;
  if (need < kDirectMapMin) {
    unsigned char* block = static_cast<unsigned char*>(::operator new(need));
    const size_t none = 0;
    std::memcpy(block, &none, sizeof none);
    return block + kListHeader;
  }
  const size_t length = (need + kHugePage - 1) / kHugePage * kHugePage;
  // Over-map by one huge page and trim both ends to a 2 MiB aligned start.
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t end = start + length + kHugePage;
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  if (end > aligned + length) {
    ::munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  }
  unsigned char* block = reinterpret_cast<unsigned char*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, length, MADV_HUGEPAGE);
#endif
  std::memcpy(block, &length, sizeof length);
  return block + kListHeader;
}

void awq_Object::operator delete[](void* p) noexcept {
  if (p == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kListHeader;
  size_t length;
  std::memcpy(&length, block, sizeof length);
  if (length == 0) {
    ::operator delete(block);
  } else {
    ::munmap(block, length);
  }
}
