// RepositoryWriter: builds a repository in memory (the records of each class
// and one heap, in ByteChunks) and writes it out in the file format of
// store/format.h. It refuses, at the call that would cause it, everything
// ValidateRepository would reject, so every file it commits is sound.
#include "store/writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/byte_chunks.h"
#include "store/coding.h"
#include "store/crc32c.h"
#include "store/format.h"
#include "platform/utf8.h"
#include "store/names.h"

namespace wqstore {

using namespace format;

namespace {

std::string Num(uint64_t v) { return std::to_string(v); }

[[noreturn]] void Fail(const std::string& what) { throw awq_StoreError(what); }

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

void CheckNameOrThrow(const std::string& what, std::string_view name) {
  size_t at;
  const char* why =
      CheckName(reinterpret_cast<const unsigned char*>(name.data()), name.size(), &at);
  if (why == nullptr) return;
  if (name.empty()) Fail(what + " name is empty");
  Fail(what + " name " + Quoted(name) + ": " + why + " at byte " + Num(at));
}

const char* TypeKindName(int type) {
  switch (type) {
    case wqTypeString:
      return "string";
    case wqTypeInt:
      return "int";
    case wqTypeDouble:
      return "double";
    case wqTypeChar:
      return "char";
    case wqTypeBlob:
      return "blob";
    case wqTypeObjectRef:
    case wqTypeObjectRefAlt:
      return "reference";
    default:
      return "no";
  }
}

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace

struct WriterMember {
  std::string name;
  int32_t number;
  uint8_t type;
  bool nullable;
  uint32_t field_offset;
};

struct WriterClass {
  std::string name;
  int32_t number;
  bool has_object_size;
  int32_t object_size;
  std::vector<WriterMember> members;
  std::unordered_set<std::string> member_names;
  std::unordered_set<int32_t> member_numbers;
  uint32_t record_size = 0;          // sum of the members' field widths
  std::vector<unsigned char> blank{0};  // the record of a new object
  // Bytes per stored record: at least one, so that every object takes room
  // in the file and a count of objects is bounded by the file's size.
  uint32_t stride() const { return record_size == 0 ? 1 : record_size; }
  ByteChunks records;
  uint32_t object_count = 0;
};

struct RepositoryWriter::Impl {
  std::vector<std::unique_ptr<WriterClass>> classes;
  std::unordered_set<std::string> class_names;
  std::unordered_set<int32_t> class_numbers;
  uint64_t member_total = 0;
  ByteChunks heap;

  Impl() {
    const unsigned char zeros[kHeapReserved] = {};
    heap.Append(zeros, sizeof zeros);
  }

  WriterClass& Class(uint32_t cls) {
    if (cls >= classes.size()) Fail("no class with index " + Num(cls));
    return *classes[cls];
  }

  // Checks the object and member and that the member takes the value kind;
  // returns the byte position of the field in the class's records.
  uint64_t Field(ObjectId o, uint32_t member, bool (*takes)(int), const char* kind,
                 WriterClass** out) {
    WriterClass& c = Class(o.cls);
    if (o.obj >= c.object_count) {
      Fail("class " + Quoted(c.name) + " has no object " + Num(o.obj));
    }
    if (member >= c.members.size()) {
      Fail("class " + Quoted(c.name) + " has no member with index " + Num(member));
    }
    const WriterMember& m = c.members[member];
    if (!takes(m.type)) {
      Fail("class " + Quoted(c.name) + ", member " + Quoted(m.name) + " is a " +
           TypeKindName(m.type) + " member (type " + Num(m.type) + ") and takes no " + kind +
           " value");
    }
    *out = &c;
    return uint64_t{o.obj} * c.stride() + m.field_offset;
  }

  uint64_t AppendHeapEntry(const void* data, size_t len, bool terminate) {
    uint64_t off = heap.size();
    unsigned char len_bytes[4];
    EncodeFixed32(len_bytes, static_cast<uint32_t>(len));
    heap.Append(len_bytes, sizeof len_bytes);
    heap.Append(data, len);
    if (terminate) {
      const unsigned char nul = 0;
      heap.Append(&nul, 1);
    }
    return off;
  }

  void CheckNullables() const;
  std::string BuildDirectory() const;
  std::string BuildHeader(const std::string& dir, uint64_t file_size) const;
  uint64_t DataLength() const;
};

namespace {

bool TakesString(int t) { return t == wqTypeString; }
bool TakesInt(int t) { return t == wqTypeInt; }
bool TakesDouble(int t) { return t == wqTypeDouble; }
bool TakesChar(int t) { return t == wqTypeChar; }
bool TakesBlob(int t) { return t == wqTypeBlob; }
bool TakesRef(int t) { return IsReference(t); }
bool TakesNull(int t) { return t == wqTypeString || IsReference(t); }

uint32_t RecordsCrc(const ByteChunks& b) {
  uint32_t crc = 0;
  b.ForEachPiece([&crc](const unsigned char* p, size_t n) { crc = crc32c::Extend(crc, p, n); });
  return crc;
}

}  // namespace

RepositoryWriter::RepositoryWriter() : impl_(new Impl()) {}
RepositoryWriter::~RepositoryWriter() = default;

uint32_t RepositoryWriter::AddClass(std::string_view name, int32_t number, bool has_object_size,
                                    int32_t object_size) {
  CheckNameOrThrow("class", name);
  if (impl_->class_names.count(std::string(name)) != 0) {
    Fail("duplicate class name " + Quoted(name));
  }
  if (impl_->class_numbers.count(number) != 0) {
    Fail("class " + Quoted(name) + ": duplicate class number " + std::to_string(number));
  }
  if (impl_->classes.size() >= kMaxObjectCount) Fail("too many classes");
  auto c = std::make_unique<WriterClass>();
  c->name = std::string(name);
  c->number = number;
  c->has_object_size = has_object_size;
  c->object_size = object_size;
  impl_->class_names.insert(c->name);
  impl_->class_numbers.insert(number);
  impl_->classes.push_back(std::move(c));
  return static_cast<uint32_t>(impl_->classes.size() - 1);
}

uint32_t RepositoryWriter::AddMember(uint32_t cls, std::string_view name, int32_t number, int type,
                                     bool nullable) {
  WriterClass& c = impl_->Class(cls);
  const std::string what = "class " + Quoted(c.name) + ": member";
  CheckNameOrThrow(what, name);
  if (c.object_count > 0) {
    Fail(what + " " + Quoted(name) + " added after the class's first object");
  }
  if (type < 0 || type > 255) {
    Fail(what + " " + Quoted(name) + ": type code " + std::to_string(type) + " out of range 0-255");
  }
  if (c.member_names.count(std::string(name)) != 0)
    Fail(what + " name " + Quoted(name) + " is taken");
  if (c.member_numbers.count(number) != 0) {
    Fail(what + " " + Quoted(name) + ": member number " + std::to_string(number) + " is taken");
  }
  if (impl_->member_total >= kMaxObjectCount) Fail("too many members");
  WriterMember m{std::string(name), number, static_cast<uint8_t>(type), nullable, c.record_size};
  uint32_t width = FieldWidth(type);
  c.record_size += width;
  c.blank.resize(c.stride(), 0);
  if (IsReference(type)) std::memset(c.blank.data() + m.field_offset, 0xFF, width);  // unset
  c.member_names.insert(m.name);
  c.member_numbers.insert(number);
  c.members.push_back(std::move(m));
  impl_->member_total++;
  return static_cast<uint32_t>(c.members.size() - 1);
}

ObjectId RepositoryWriter::AddObject(uint32_t cls) {
  WriterClass& c = impl_->Class(cls);
  if (c.object_count >= kMaxObjectCount) {
    Fail("class " + Quoted(c.name) + " cannot hold more than " + Num(kMaxObjectCount) + " objects");
  }
  c.records.Append(c.blank.data(), c.blank.size());
  return ObjectId{cls, c.object_count++};
}

void RepositoryWriter::SetString(ObjectId o, uint32_t member, std::string_view utf8) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesString, "string", &c);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (!IsValidUtf8Text(s, utf8.size())) {
    size_t bad = FindInvalidUtf8(s, utf8.size());
    Fail("class " + Quoted(c->name) + ", object " + Num(o.obj) + ", member " +
         Quoted(c->members[member].name) + ": " + (s[bad] == 0 ? "NUL byte" : "invalid UTF-8") +
         " at byte " + Num(bad) + " of the string");
  }
  if (utf8.size() >= UINT32_MAX) Fail("string too long");
  unsigned char field[8];
  EncodeFixed64(field, impl_->AppendHeapEntry(utf8.data(), utf8.size(), true));
  c->records.Write(pos, field, sizeof field);
}

void RepositoryWriter::SetNull(ObjectId o, uint32_t member) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesNull, "null", &c);
  const WriterMember& m = c->members[member];
  if (!m.nullable) {
    Fail("class " + Quoted(c->name) + ", object " + Num(o.obj) + ", member " + Quoted(m.name) +
         " does not allow null");
  }
  unsigned char field[8];
  std::memset(field, m.type == wqTypeString ? 0 : 0xFF, sizeof field);
  c->records.Write(pos, field, sizeof field);
}

void RepositoryWriter::SetInt(ObjectId o, uint32_t member, int32_t v) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesInt, "int", &c);
  unsigned char field[4];
  EncodeFixed32(field, static_cast<uint32_t>(v));
  c->records.Write(pos, field, sizeof field);
}

void RepositoryWriter::SetDouble(ObjectId o, uint32_t member, double v) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesDouble, "double", &c);
  unsigned char field[8];
  EncodeDouble(field, v);
  c->records.Write(pos, field, sizeof field);
}

void RepositoryWriter::SetChar(ObjectId o, uint32_t member, uint8_t v) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesChar, "char", &c);
  c->records.Write(pos, &v, 1);
}

void RepositoryWriter::SetBlob(ObjectId o, uint32_t member, const void* data, size_t len) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesBlob, "blob", &c);
  if (len > size_t{INT32_MAX}) Fail("blob too long (" + Num(len) + " bytes)");
  unsigned char field[8];
  EncodeFixed64(field, len == 0 ? 0 : impl_->AppendHeapEntry(data, len, false));
  c->records.Write(pos, field, sizeof field);
}

void RepositoryWriter::SetRef(ObjectId o, uint32_t member, ObjectId target) {
  WriterClass* c;
  uint64_t pos = impl_->Field(o, member, TakesRef, "reference", &c);
  if (target.cls >= impl_->classes.size() ||
      target.obj >= impl_->classes[target.cls]->object_count) {
    Fail("class " + Quoted(c->name) + ", object " + Num(o.obj) + ", member " +
         Quoted(c->members[member].name) + ": reference to a missing object (class index " +
         Num(target.cls) + ", object " + Num(target.obj) + ")");
  }
  unsigned char field[8];
  EncodeFixed32(field, target.cls);
  EncodeFixed32(field + 4, target.obj);
  c->records.Write(pos, field, sizeof field);
}

uint32_t RepositoryWriter::class_count() const {
  return static_cast<uint32_t>(impl_->classes.size());
}
uint32_t RepositoryWriter::object_count(uint32_t cls) const {
  return impl_->Class(cls).object_count;
}
uint32_t RepositoryWriter::member_count(uint32_t cls) const {
  return static_cast<uint32_t>(impl_->Class(cls).members.size());
}
int RepositoryWriter::member_type(uint32_t cls, uint32_t member) const {
  WriterClass& c = impl_->Class(cls);
  if (member >= c.members.size()) {
    Fail("class " + Quoted(c.name) + " has no member with index " + Num(member));
  }
  return c.members[member].type;
}

// Non-nullable strings and references start out null in every new object;
// each must have been set before the file is written.
void RepositoryWriter::Impl::CheckNullables() const {
  for (const auto& cp : classes) {
    const WriterClass& c = *cp;
    for (const WriterMember& m : c.members) {
      if (m.nullable || !(m.type == wqTypeString || IsReference(m.type))) continue;
      unsigned char field[8];
      for (uint32_t oi = 0; oi < c.object_count; oi++) {
        c.records.Read(uint64_t{oi} * c.stride() + m.field_offset, field, sizeof field);
        bool null = m.type == wqTypeString ? DecodeFixed64(field) == 0
                                           : DecodeFixed32(field) == kUnsetIndex;
        if (null) {
          Fail("class " + Quoted(c.name) + ", object " + Num(oi) + ", member " + Quoted(m.name) +
               " does not allow null but has no value");
        }
      }
    }
  }
}

uint64_t RepositoryWriter::Impl::DataLength() const {
  uint64_t total = 0;
  for (const auto& c : classes) total += c->records.size();
  return total;
}

std::string RepositoryWriter::Impl::BuildDirectory() const {
  std::string names;
  std::string class_table;
  std::string member_table;
  uint64_t data_offset = 0;  // relative to the end of the directory, fixed up below
  uint32_t first_member = 0;
  std::vector<uint64_t> relative_offsets;
  for (const auto& cp : classes) {
    const WriterClass& c = *cp;
    unsigned char e[kClassEntrySize] = {};
    EncodeFixed32(e + kClassNumber, static_cast<uint32_t>(c.number));
    int32_t object_size = c.has_object_size ? c.object_size : static_cast<int32_t>(c.record_size);
    EncodeFixed32(e + kClassObjectSize, static_cast<uint32_t>(object_size));
    EncodeFixed32(e + kClassNameOffset, static_cast<uint32_t>(names.size()));
    EncodeFixed32(e + kClassNameLength, static_cast<uint32_t>(c.name.size()));
    names.append(c.name).push_back('\0');
    EncodeFixed32(e + kClassFirstMember, first_member);
    EncodeFixed32(e + kClassMemberCount, static_cast<uint32_t>(c.members.size()));
    EncodeFixed32(e + kClassRecordSize, c.stride());
    EncodeFixed32(e + kClassObjectCount, c.object_count);
    relative_offsets.push_back(data_offset);
    EncodeFixed32(e + kClassDataCrc, RecordsCrc(c.records));
    class_table.append(reinterpret_cast<const char*>(e), sizeof e);
    data_offset += c.records.size();
    first_member += static_cast<uint32_t>(c.members.size());
    for (const WriterMember& m : c.members) {
      unsigned char me[kMemberEntrySize] = {};
      EncodeFixed32(me + kMemberNumber, static_cast<uint32_t>(m.number));
      me[kMemberType] = m.type;
      me[kMemberFlags] = m.nullable ? kFlagNullable : 0;
      EncodeFixed32(me + kMemberFieldOffset, m.field_offset);
      EncodeFixed32(me + kMemberNameOffset, static_cast<uint32_t>(names.size()));
      EncodeFixed32(me + kMemberNameLength, static_cast<uint32_t>(m.name.size()));
      names.append(m.name).push_back('\0');
      member_table.append(reinterpret_cast<const char*>(me), sizeof me);
    }
  }
  if (names.size() > UINT32_MAX) Fail("names of classes and members too long in total");
  const uint64_t dir_length = kPrefixSize + class_table.size() + member_table.size() + names.size();
  const uint64_t data_start = kHeaderSize + dir_length;
  for (size_t i = 0; i < classes.size(); i++) {
    EncodeFixed64(&class_table[i * kClassEntrySize + kClassDataOffset],
                  data_start + relative_offsets[i]);
  }
  unsigned char prefix[kPrefixSize] = {};
  EncodeFixed32(prefix + kPrefixClassCount, static_cast<uint32_t>(classes.size()));
  EncodeFixed32(prefix + kPrefixMemberCount, first_member);
  EncodeFixed64(prefix + kPrefixNamesLength, names.size());
  EncodeFixed32(prefix + kPrefixHeapCrc, RecordsCrc(heap));
  std::string dir(reinterpret_cast<const char*>(prefix), sizeof prefix);
  dir.reserve(dir_length);
  dir += class_table;
  dir += member_table;
  dir += names;
  return dir;
}

std::string RepositoryWriter::Impl::BuildHeader(const std::string& dir, uint64_t file_size) const {
  unsigned char h[kHeaderSize] = {};
  std::memcpy(h + kHeaderMagic, kMagic, sizeof kMagic);
  EncodeFixed32(h + kHeaderVersion, kVersion);
  EncodeFixed32(h + kHeaderHeaderSize, kHeaderSize);
  EncodeFixed64(h + kHeaderFileSize, file_size);
  EncodeFixed64(h + kHeaderDirOffset, kHeaderSize);
  EncodeFixed64(h + kHeaderDirLength, dir.size());
  EncodeFixed64(h + kHeaderHeapOffset, file_size - heap.size());
  EncodeFixed64(h + kHeaderHeapLength, heap.size());
  EncodeFixed32(h + kHeaderDirCrc, crc32c::Value(dir.data(), dir.size()));
  EncodeFixed32(h + kHeaderCrc, crc32c::Value(h, kHeaderCrc));
  return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

std::string RepositoryWriter::Serialize() const {
  impl_->CheckNullables();
  std::string dir = impl_->BuildDirectory();
  uint64_t file_size = kHeaderSize + dir.size() + impl_->DataLength() + impl_->heap.size();
  std::string image = impl_->BuildHeader(dir, file_size);
  image.reserve(file_size);
  image += dir;
  auto append = [&image](const unsigned char* p, size_t n) {
    image.append(reinterpret_cast<const char*>(p), n);
  };
  for (const auto& c : impl_->classes) c->records.ForEachPiece(append);
  impl_->heap.ForEachPiece(append);
  return image;
}

namespace {

// A temporary file that is closed and removed unless it was committed.
class TempFile {
 public:
  TempFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }

  void WriteAll(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        Fail("cannot write " + path_ + ": " + ErrnoText(errno));
      }
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  void Close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("cannot close " + path_ + ": " + ErrnoText(errno));
  }
  void MarkCommitted() { committed_ = true; }

 private:
  std::string path_;
  int fd_;
  bool committed_ = false;
};

}  // namespace

void RepositoryWriter::Commit(const std::string& path) const {
  impl_->CheckNullables();
  const std::string dir = impl_->BuildDirectory();
  const uint64_t file_size = kHeaderSize + dir.size() + impl_->DataLength() + impl_->heap.size();
  const std::string header = impl_->BuildHeader(dir, file_size);
  const std::string folder = DirName(path);

  std::string name = path + ".tmp.XXXXXX";
  int fd = ::mkstemp(&name[0]);
  if (fd < 0) Fail("cannot create temporary file in " + folder + ": " + ErrnoText(errno));
  TempFile tmp(name, fd);

  // mkstemp creates the file 0600; give it the mode a new file would get.
  // Reading the umask means setting it for a moment; the store's users are
  // single-threaded, so no file is created in between.
  mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0644 & ~mask) != 0) {
    Fail("cannot set the mode of " + tmp.path() + ": " + ErrnoText(errno));
  }
  tmp.WriteAll(header.data(), header.size());
  tmp.WriteAll(dir.data(), dir.size());
  auto write = [&tmp](const unsigned char* p, size_t n) { tmp.WriteAll(p, n); };
  for (const auto& c : impl_->classes) c->records.ForEachPiece(write);
  impl_->heap.ForEachPiece(write);
  if (::fsync(fd) != 0) Fail("cannot sync " + tmp.path() + ": " + ErrnoText(errno));
  tmp.Close();
  if (::rename(tmp.path().c_str(), path.c_str()) != 0) {
    Fail("cannot rename " + tmp.path() + " to " + path + ": " + ErrnoText(errno));
  }
  tmp.MarkCommitted();

  // Make the rename itself durable. Some file systems cannot sync a folder
  // (EINVAL); the file is in place either way.
  int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    int rc = ::fsync(dfd);
    int err = errno;
    ::close(dfd);
    if (rc != 0 && err != EINVAL && err != ENOTSUP) {
      Fail(path + " was replaced, but its folder " + folder +
           " cannot be synced: " + ErrnoText(err));
    }
  }
}

}  // namespace wqstore
