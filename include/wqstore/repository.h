// Reading a repository file: open it, list its classes and their members,
// count and walk the objects of a class, read their values by member
// number, and go from an object to its identity and back.
//
//   std::unique_ptr<wqstore::Repository> repo;
//   wqstore::Result r = wqstore::Repository::Open("parts.rtm", &repo);
//   if (!r.ok()) { std::cerr << r.message() << "\n"; return 1; }
//   wqstore::ClassDef part;
//   r = repo->FindClass("Part", &part);
//   for (wqstore::Object o : part.objects()) {
//     int32_t number;
//     if (o.GetInt(1, &number).ok()) ...
//   }
//
// ClassDef, Member and Object are small copyable handles into an open
// Repository: they are valid while it lives and must not be used after it
// is destroyed. Text and blob bytes are views of the mapped file with the
// same lifetime.
//
// Threads: a Repository and its handles may be read from any number of
// threads at once without locking; nothing they do changes shared state.
// Opening, closing and validating different repositories on different
// threads is safe too. Destroying a Repository while another thread reads
// it is not.
//
// Files that change: the file is mapped read-only. When another process
// cuts it short while it is open, reads of the part that is gone see zeros
// instead of ending the process with SIGBUS (see OpenOptions), and
// HasChanged() becomes true; CheckUnchanged() turns that into an error.
// A file replaced by rename is not a change: the open one is still read.
#ifndef WQSTORE_REPOSITORY_H_
#define WQSTORE_REPOSITORY_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "wqstore/export.h"
#include "wqstore/result.h"

namespace wqstore {

struct ClassInfo;
struct MemberInfo;
class Object;
class Objects;
namespace internal {
struct Access;
}  // namespace internal

// What a member's values are. A member's type code is one byte of the file;
// codes 1 to 6 and 8 carry values (6 and 8 are both references), every
// other code is kNoValue: such a member stores nothing.
enum class DataType : int {
  kNoValue = 0,
  kString = 1,
  kInt = 2,
  kDouble = 3,
  kChar = 4,
  kBlob = 5,
  kReference = 6,
};

// "string", "int", "double", "char", "blob", "ref" (6 and 8), otherwise
// "type" and the decimal code, as the tools print them.
WQSTORE_EXPORT const char* TypeName(int type_code);

// An object's identity: its class's number and its place among the objects
// of the class in stored order, counting from 0. Written "12:0", as wqdump
// writes ids. Stable for one file; rebuilding a file from a dump keeps it.
// Class numbers are unique in a valid file, so an identity names one object;
// in a damaged file that gives two classes one number, it names an object of
// the first.
struct WQSTORE_EXPORT ObjectId {
  int32_t class_number = 0;
  int32_t position = 0;

  // "CLASSNUMBER:POSITION".
  std::string ToString() const;
  // Reads "CLASSNUMBER:POSITION" (decimal, the class number may be
  // negative); kInvalidArgument for anything else.
  static Result Parse(std::string_view text, ObjectId* id);

  friend bool operator==(const ObjectId& a, const ObjectId& b) {
    return a.class_number == b.class_number && a.position == b.position;
  }
  friend bool operator!=(const ObjectId& a, const ObjectId& b) { return !(a == b); }
};

// A member of a class.
class WQSTORE_EXPORT Member {
 public:
  Member() = default;

  // False for a default-constructed handle.
  bool valid() const { return m_ != nullptr; }
  std::string_view name() const;
  // The number values are read and written by.
  int32_t number() const;
  // 0 to 255, as stored.
  int type_code() const;
  DataType type() const;
  const char* type_name() const;
  bool nullable() const;

 private:
  friend struct internal::Access;
  explicit Member(const MemberInfo* m) : m_(m) {}
  const MemberInfo* m_ = nullptr;
};

// Where the values of one int, double or char member lie in the mapped
// file: count values, the first at `data`, each `stride` bytes after the
// one before, each little-endian and `width` bytes wide (4 for an int, 8 for
// a double, 1 for a char). For handing a column to another library without
// a copy; valid while the repository lives. The values are not aligned.
struct ColumnView {
  const unsigned char* data = nullptr;
  size_t stride = 0;
  size_t width = 0;
  int32_t count = 0;
};

// A class of the repository.
class WQSTORE_EXPORT ClassDef {
 public:
  ClassDef() = default;

  bool valid() const { return c_ != nullptr; }
  std::string_view name() const;
  int32_t number() const;
  // The object size the file declares for the class (not always its
  // record's size).
  int32_t object_size() const;
  // The class's place in the file, counting from 0.
  int32_t index() const;

  int32_t member_count() const;
  // The member at `index` (0 <= index < member_count()), in stored order.
  Member member(int32_t index) const;
  // The first member with that number; kNotFound when there is none.
  Result FindMember(int32_t number, Member* member) const;
  // The member with exactly that name, else the first whose name is equal
  // ignoring the case of A to Z; kNotFound when there is none.
  Result FindMemberByName(std::string_view name, Member* member) const;

  // How many objects the class has; no object is read.
  int32_t object_count() const;
  // The object at `position`; kNotFound outside 0 to object_count() - 1.
  Result GetObject(int32_t position, Object* object) const;
  // Every object in stored order, or those in [begin, end) (clamped to the
  // class). Walking them allocates nothing.
  Objects objects() const;
  Objects objects(int32_t begin, int32_t end) const;

  // Where the values of an int, double or char member of this class lie;
  // kTypeMismatch for a member of another type, kInvalidArgument for a
  // member of another class.
  Result GetColumn(const Member& member, ColumnView* view) const;

 private:
  friend struct internal::Access;
  explicit ClassDef(const ClassInfo* c) : c_(c) {}
  const ClassInfo* c_ = nullptr;
};

// An object. Values are read by member number, or by a Member of the
// object's class found once (which saves the look-up). A member the class
// does not have is kNotFound, one of another type kTypeMismatch: never a
// silent 0. A read of a file that was cut short sees zeros (see above).
class WQSTORE_EXPORT Object {
 public:
  Object() = default;

  bool valid() const { return c_ != nullptr; }
  ClassDef class_def() const;
  int32_t position() const { return static_cast<int32_t>(position_); }
  ObjectId id() const;

  Result GetInt(int32_t member, int32_t* value) const;
  Result GetDouble(int32_t member, double* value) const;
  // The character's code, 0 to 255; 0 stands for no character.
  Result GetChar(int32_t member, unsigned char* value) const;
  // UTF-8 text; std::nullopt for null.
  Result GetString(int32_t member, std::optional<std::string_view>* value) const;
  // The bytes; empty for an empty blob.
  Result GetBlob(int32_t member, std::string_view* bytes) const;
  // The identity of the object referred to; std::nullopt when unset.
  // kDamaged when the reference names no object of the file.
  Result GetReference(int32_t member, std::optional<ObjectId>* target) const;
  // The object referred to; an invalid Object when unset.
  Result GetReferencedObject(int32_t member, Object* target) const;

  Result GetInt(const Member& member, int32_t* value) const;
  Result GetDouble(const Member& member, double* value) const;
  Result GetChar(const Member& member, unsigned char* value) const;
  Result GetString(const Member& member, std::optional<std::string_view>* value) const;
  Result GetBlob(const Member& member, std::string_view* bytes) const;
  Result GetReference(const Member& member, std::optional<ObjectId>* target) const;
  Result GetReferencedObject(const Member& member, Object* target) const;

 private:
  friend class Objects;
  friend struct internal::Access;
  Object(const ClassInfo* c, uint32_t position) : c_(c), position_(position) {}
  const ClassInfo* c_ = nullptr;
  uint32_t position_ = 0;
};

// The objects of a class from one position to another, in stored order:
//   for (wqstore::Object o : cls.objects()) ...
class Objects {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Object;
    using difference_type = std::ptrdiff_t;
    using pointer = const Object*;
    using reference = Object;

    Iterator() = default;
    Object operator*() const { return Object(c_, position_); }
    Iterator& operator++() {
      ++position_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++position_;
      return before;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) {
      return a.position_ == b.position_ && a.c_ == b.c_;
    }
    friend bool operator!=(const Iterator& a, const Iterator& b) { return !(a == b); }

   private:
    friend class Objects;
    Iterator(const ClassInfo* c, uint32_t position) : c_(c), position_(position) {}
    const ClassInfo* c_ = nullptr;
    uint32_t position_ = 0;
  };

  Objects() = default;
  Iterator begin() const { return Iterator(c_, begin_); }
  Iterator end() const { return Iterator(c_, end_); }
  int32_t size() const { return static_cast<int32_t>(end_ - begin_); }
  bool empty() const { return begin_ == end_; }

 private:
  friend class ClassDef;
  Objects(const ClassInfo* c, uint32_t begin, uint32_t end) : c_(c), begin_(begin), end_(end) {}
  const ClassInfo* c_ = nullptr;
  uint32_t begin_ = 0;
  uint32_t end_ = 0;
};

// How a repository is opened.
struct OpenOptions {
  // Guard the mapping so that reads of a file cut short see zeros instead
  // of ending the process with SIGBUS. The guard is one process-wide SIGBUS
  // handler, installed at the first guarded Open and kept; a SIGBUS at any
  // address it does not guard goes on to the handler that was installed
  // before it (or ends the process, as it would have). A program that
  // handles SIGBUS itself, or must not have its handler replaced, opens
  // with false: reads of a vanished part of the file then raise SIGBUS.
  bool guard_mapping = true;
};

// A repository file opened read-only.
class WQSTORE_EXPORT Repository {
 public:
  // Maps the file and checks its header, its directory and every table
  // bound, in time independent of the number of objects (as `wqcheck
  // --quick` does). On failure *repository is left alone and the Result
  // says why: kNotFound for a missing file, kIoError when the system
  // refuses it, kDamaged when it is not a sound repository, kChangedOnDisk
  // when it changed while being opened, kOutOfMemory. Its message is
  // "PATH: reason", the line wqcheck prints for the file.
  static Result Open(const std::string& path, std::unique_ptr<Repository>* repository);
  static Result Open(const std::string& path, const OpenOptions& options,
                     std::unique_ptr<Repository>* repository);

  ~Repository();
  Repository(const Repository&) = delete;
  Repository& operator=(const Repository&) = delete;

  const std::string& path() const;
  // The file's size in bytes when it was opened.
  uint64_t file_size() const;

  int32_t class_count() const;
  // The class at `index` (0 <= index < class_count()), in stored order.
  ClassDef class_at(int32_t index) const;
  // The class with exactly that name, else the first in stored order whose
  // name is equal ignoring the case of A to Z; kNotFound when there is none.
  Result FindClass(std::string_view name, ClassDef* cls) const;
  // The first class with that number; kNotFound when there is none.
  Result FindClassByNumber(int32_t number, ClassDef* cls) const;
  // The object with that identity; kNotFound when there is none.
  Result GetObject(const ObjectId& id, Object* object) const;

  // Checks every checksum and every structural rule of the whole file (as
  // wqcheck does): kDamaged with the first fault and where it is, or
  // kChangedOnDisk when the file changed since Open or during the check.
  // Reads the file with one worker thread of its own besides the calling
  // one, which it joins before returning; memory stays near 12 MiB.
  Result Validate() const;

  // True when the file's size, modification or inode change time is no
  // longer what it was at Open, or a read met a part of the file that is
  // gone. One fstat.
  bool HasChanged() const;
  // True once a read met a part of the file that is gone, as after another
  // process cut the file short (the read saw zeros). Unlike HasChanged() it
  // makes no system call, so it can be asked after every read; it does not
  // see a file rewritten in place.
  bool WasCutShort() const;
  // kChangedOnDisk with "PATH: file changed since it was opened" when
  // HasChanged(), else success.
  Result CheckUnchanged() const;

 private:
  friend struct internal::Access;
  struct Rep;
  explicit Repository(std::unique_ptr<Rep> rep);
  std::unique_ptr<Rep> rep_;
};

}  // namespace wqstore

#endif  // WQSTORE_REPOSITORY_H_
