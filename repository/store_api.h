// What the shell calls of the store: the read-only database, class, member
// and object handles, the owning array lists come in, the data type codes
// and the error type, in the form the shell was written against. They are
// built on the store's public face (include/wqstore) and, for walking
// records, its scan interface (store/scan.h); nothing outside the shell uses
// them, and they are not installed.
//
// Handles are small copyable values that point into an open database and stay
// valid while it lives. An empty class or object has a null leading handle.
#ifndef WQSQL_REPOSITORY_STORE_API_H_
#define WQSQL_REPOSITORY_STORE_API_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "wqstore/repository.h"

namespace wqstore {
class Reader;
}  // namespace wqstore

// Data type codes of class members, the store's own (wqstore::DataType). A
// member's code is one byte in the file, so any value from 0 to 255 can
// occur; only those named here carry a value. 8 is the second reference code.
enum wqDataType : int {
  wqTypeString = static_cast<int>(wqstore::DataType::kString),
  wqTypeInt = static_cast<int>(wqstore::DataType::kInt),
  wqTypeDouble = static_cast<int>(wqstore::DataType::kDouble),
  wqTypeChar = static_cast<int>(wqstore::DataType::kChar),
  wqTypeBlob = static_cast<int>(wqstore::DataType::kBlob),
  wqTypeObjectRef = static_cast<int>(wqstore::DataType::kReference),
  wqTypeObjectRefAlt = 8,
};

// Printable name of a data type code: "string", "int", "double", "char",
// "blob", "ref" (6 and 8), otherwise "type" and the decimal code.
const char* GetDataTypeName(int code);

// Open modes. Only read-only opening exists; the shell never writes.
enum openMode : int { omReadOnly = 0 };

// The error the database's calls throw: what is wrong and where.
class awq_StoreError : public std::runtime_error {
 public:
  explicit awq_StoreError(const std::string& what) : std::runtime_error(what) {}
};

// Owning array returned by GetClassDefs, GetMembers and FindObjects. When
// `owns` is set, destruction releases the array with array delete and clears
// all three fields. Move-only, so an array is released exactly once.
template <class T>
class awq_autovector {
 public:
  bool owns = false;
  T* ptr = nullptr;
  int32_t count = 0;

  awq_autovector() = default;
  awq_autovector(T* p, int32_t n, bool own) : owns(own), ptr(p), count(n) {}
  awq_autovector(awq_autovector&& o) noexcept : owns(o.owns), ptr(o.ptr), count(o.count) {
    o.owns = false;
    o.ptr = nullptr;
    o.count = 0;
  }
  awq_autovector& operator=(awq_autovector&& o) noexcept {
    if (this != &o) {
      Release();
      owns = o.owns;
      ptr = o.ptr;
      count = o.count;
      o.owns = false;
      o.ptr = nullptr;
      o.count = 0;
    }
    return *this;
  }
  awq_autovector(const awq_autovector&) = delete;
  awq_autovector& operator=(const awq_autovector&) = delete;
  ~awq_autovector() { Release(); }

  void Release() {
    if (owns) delete[] ptr;
    owns = false;
    ptr = nullptr;
    count = 0;
  }
  int32_t size() const { return count; }
  T& operator[](int32_t i) const { return ptr[i]; }
  T* begin() const { return ptr; }
  T* end() const { return ptr + count; }
};

// A member (property) of a class definition.
class awq_ClassProperty {
 public:
  awq_ClassProperty() = default;
  explicit awq_ClassProperty(const wqstore::MemberInfo* m) : m_(m) {}

  const char* GetName() const;
  int GetMemberNumber() const;
  int GetDataType() const;
  bool AllowNullValue() const;

  const wqstore::MemberInfo* handle() const { return m_; }

 private:
  const wqstore::MemberInfo* m_ = nullptr;
};

class awq_Object;

// The objects of one class as FindObjects lists them, without the list:
// each handle is made when it is asked for, so walking a class of any size
// takes no memory. Valid while its database lives.
class awq_ObjectSpan {
 public:
  awq_ObjectSpan() = default;
  int32_t size() const { return count_; }
  inline awq_Object operator[](int32_t i) const;

 private:
  friend class awq_Database;
  awq_ObjectSpan(const unsigned char* first, size_t stride, int32_t count)
      : first_(first), stride_(stride), count_(count) {}
  const unsigned char* first_ = nullptr;
  size_t stride_ = 0;
  int32_t count_ = 0;
};

// A class definition.
class awq_Class {
 public:
  awq_Class() = default;
  explicit awq_Class(const wqstore::ClassInfo* c) : c_(c) {}

  bool IsEmpty() const { return c_ == nullptr; }
  const char* GetName() const;
  int GetObjectSize() const;
  int GetClassNumber() const;
  // The members in stored order.
  awq_autovector<awq_ClassProperty> GetMembers() const;

  const wqstore::ClassInfo* handle() const { return c_; }

 private:
  const wqstore::ClassInfo* c_ = nullptr;
};

// An object: a record of its class. Values are read by member number; a
// member number the class does not have reads as null, 0 or empty.
//
// The handle is the record's address alone: every class's records are one
// range of the open file, so the class follows from the address (see
// store/class_registry.h). Like every handle it is valid while its database
// lives.
class awq_Object {
 public:
  awq_Object() = default;

  bool IsEmpty() const { return rec_ == nullptr; }
  // UTF-8 text, or null when the value is null, the member is absent or is
  // not a string member. Valid while the database lives.
  const char* GetStringProperty(int member) const;
  int GetIntProperty(int member) const;
  double GetDoubleProperty(int member) const;
  char GetCharProperty(int member) const;
  // Sets size and data to the blob's bytes; leaves them alone when the
  // member is absent or not a blob member. The bytes belong to the store.
  void GetBlobProperty(int member, int32_t& size, const unsigned char*& data) const;
  // The referenced object, or an empty object when the reference is unset.
  awq_Object GetObjectRefProperty(int member) const;

  // The object's class, or null for an empty object.
  const wqstore::ClassInfo* class_handle() const;
  const unsigned char* record() const { return rec_; }

  // Object lists are large (one handle per object of a class): they get
  // their own allocation, which maps big arrays directly from the system
  // instead of the general heap. Released by array delete, as always.
  static void* operator new[](std::size_t bytes);
  static void operator delete[](void* p) noexcept;

 private:
  friend class awq_Database;
  friend class awq_ObjectSpan;
  // Only the store makes handles, and only from the start of a record.
  explicit awq_Object(const unsigned char* rec) : rec_(rec) {}

  const unsigned char* rec_ = nullptr;
};

// A repository file opened read-only.
class awq_Database {
 public:
  awq_Database();
  virtual ~awq_Database();
  awq_Database(const awq_Database&) = delete;
  awq_Database& operator=(const awq_Database&) = delete;

  // Maps the file read-only. Returns non-null on success, null on any
  // failure; the reason is kept for ValidateRepository's error.
  const char* Open(const char* path, openMode mode, int flags, bool create);
  // Exact name first, then the first class whose name matches without
  // regard to ASCII case. Empty when there is none.
  awq_Class FindClassDef(const char* name) const;
  awq_autovector<awq_Class> GetClassDefs() const;
  // The objects of the class with that number, in stored order.
  awq_autovector<awq_Object> FindObjects(int classNumber) const;
  // The same objects, made one at a time: no list is allocated.
  awq_ObjectSpan SpanObjects(int classNumber) const;
  // Checks every checksum and structural rule of the whole file; throws
  // awq_StoreError naming the first fault, or saying that the file changed
  // since it was opened or while it was validated.
  void ValidateRepository() const;
  // True when the open file's size or modification time differs from what
  // they were at Open, or a read met part of the file that is gone (those
  // reads saw zeros). A file replaced by rename is not changed: the open one
  // is still read. False when nothing is open. One fstat.
  bool HasFileChanged() const;

  // Why the latest Open failed; empty after a successful one.
  const std::string& OpenError() const { return open_error_; }

  // The open file's reader, or null.
  const wqstore::Reader* reader() const;

 private:
  std::unique_ptr<wqstore::Repository> repo_;
  std::string path_;
  std::string open_error_;
};

awq_Object awq_ObjectSpan::operator[](int32_t i) const {
  return awq_Object(first_ + static_cast<size_t>(i) * stride_);
}

#endif  // WQSQL_REPOSITORY_STORE_API_H_
