// SourceFile: a source file mapped read-only with its pages populated up
// front (up to kPopulateLimit; beyond that it is read in order as the
// parser goes), which costs a fraction of reading into fresh memory, whose
// every page would fault and be cleared first. Standard input, pipes and the
// like are copied to a scratch file that is then mapped the same way, so
// that a source of any size takes no memory of its own; only where no
// scratch file can be made are they read into a buffer that doubles.
#include "tools/make/source_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#include "platform/fd_io.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "store/scratch_file.h"

namespace wqsource {

namespace {

// Sources up to this size have their pages loaded when they are mapped;
// bigger ones are read ahead as the parser goes.
constexpr size_t kPopulateLimit = size_t{1} << 30;

Status CannotRead(std::string_view name, int err) {
  return Status::Error("cannot read " + ShownPath(name) + ": " + ErrnoText(err));
}

// True when the n bytes at `p` (1 to 3) begin a well-formed UTF-8 sequence
// that they cut short.
bool StartsSequence(const unsigned char* p, size_t n) {
  unsigned char b[4];
  std::memcpy(b, p, n);
  for (unsigned char fill : {0x80, 0x90, 0xA0}) {  // continuation bytes of each range
    std::memset(b + n, fill, 4 - n);
    uint32_t cp;
    if (DecodeUtf8(b, b + 4, &cp) > n) return true;
  }
  return false;
}

// Checks the n bytes at `p` of a source that arrives piece by piece against
// the source rules: UTF-8 without a NUL byte. Returns n when they keep the
// rules; the offset of a sequence cut short at their end, which the next
// piece finishes (unless `at_end`); or, with *fault set, the offset of the
// first byte that breaks the rules.
size_t CheckPiece(const unsigned char* p, size_t n, bool at_end, bool* fault) {
  *fault = false;
  const size_t bad = FindInvalidUtf8(p, n);
  if (bad == n) return n;
  if (!at_end && n - bad < 4 && p[bad] != 0 && StartsSequence(p + bad, n - bad)) return bad;
  *fault = true;
  return bad;
}

// Closes a file descriptor when it goes, whichever way Open leaves, unless
// it was handed on.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  void Release() { fd_ = -1; }

 private:
  int fd_;
};

}  // namespace

SourceFile::~SourceFile() { std::free(buffer_); }

Status SourceFile::Open(const std::string& path, struct stat* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return CannotRead(path, errno);
  FdCloser closer(fd);
  if (::fstat(fd, info) != 0) return CannotRead(path, errno);
  // A file that cannot be mapped is read like a pipe.
  if (S_ISREG(info->st_mode) && info->st_size > 0 && Map(fd, *info, path).ok()) {
    closer.Release();
    return Status::OK();
  }
  return ReadAll(fd, path);
}

Status SourceFile::Map(int fd, const struct stat& st, std::string_view name) {
  const auto access = static_cast<uint64_t>(st.st_size) <= kPopulateLimit
                          ? wqstore::MappedFile::Access::kLoad
                          : wqstore::MappedFile::Access::kSequential;
  WQ_RETURN_IF_ERROR(wqstore::MappedFile::Map(fd, st, access, &mapped_));
  data_ = reinterpret_cast<const char*>(mapped_->data());
  size_ = mapped_->size();
  shown_name_ = ShownPath(name);
  return Status::OK();
}

Status SourceFile::CheckUnchanged() const {
  if (mapped_ == nullptr || !mapped_->Faulted()) return Status::OK();
  return Status::Error("cannot read " + shown_name_ + ": the file shrank while it was read");
}

Status SourceFile::OpenStandardInput() {
  // A regular file on standard input is read, not mapped: it may be open at
  // any offset, and is read from there.
  return ReadAll(STDIN_FILENO, kStandardInputName);
}

Status SourceFile::ReadAll(int fd, std::string_view name) {
  // A closed descriptor is refused before the scratch file could take its
  // number.
  if (::fcntl(fd, F_GETFD) < 0) return CannotRead(name, errno);
  std::unique_ptr<wqstore::ScratchFile> scratch;
  if (!wqstore::ScratchFile::Create("", &scratch).ok()) {
    struct stat info;
    size_t capacity = 1 << 16;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
      capacity = static_cast<size_t>(info.st_size) + 1;
    }
    return ReadIntoMemory(fd, name, capacity);
  }
  // Each piece is checked as it is copied: the first NUL byte or byte that
  // breaks UTF-8 ends the copy with the piece that holds it, however long
  // the input goes on, and the parse then reports the first fault up to
  // there, as it would in the whole text. The bytes of a sequence cut short
  // by the last piece (3 at most) are checked again in front of the next.
  constexpr size_t kCarryRoom = 4;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCarryRoom + kCopyBuffer]);
  unsigned char* const piece = buffer.get() + kCarryRoom;
  size_t carried = 0;
  uint64_t size = 0;
  for (bool fault = false;;) {
    const ssize_t n = ReadSome(fd, piece, kCopyBuffer);
    if (n < 0) return CannotRead(name, errno);
    const Status written = scratch->WriteAt(size, piece, static_cast<size_t>(n));
    if (!written.ok()) {
      return Status::Error("cannot read " + ShownPath(name) + ": " + written.message() +
                           " (TMPDIR chooses the folder)");
    }
    size += static_cast<uint64_t>(n);
    const size_t checked = carried + static_cast<size_t>(n);
    const size_t kept = CheckPiece(piece - carried, checked, n == 0, &fault);
    if (fault || n == 0) break;
    carried = checked - kept;
    std::memmove(buffer.get() + kCarryRoom - carried, piece + static_cast<size_t>(n) - carried,
                 carried);
  }
  if (size == 0) return Status::OK();
  // The mapping keeps the scratch file's bytes once the scratch file goes.
  const int copy = ::fcntl(scratch->fd(), F_DUPFD_CLOEXEC, 0);
  struct stat st;
  if (copy < 0 || ::fstat(copy, &st) != 0) {
    const int err = errno;
    if (copy >= 0) ::close(copy);
    return CannotRead(name, err);
  }
  const Status mapped = Map(copy, st, name);
  if (!mapped.ok()) ::close(copy);
  return mapped.Prefixed("cannot read " + ShownPath(name) + ": ");
}

Status SourceFile::ReadIntoMemory(int fd, std::string_view name, size_t capacity) {
  size_t used = 0;
  buffer_ = static_cast<char*>(std::malloc(capacity));
  int err = 0;
  while (buffer_ != nullptr) {
    if (used == capacity) {
      char* grown = static_cast<char*>(std::realloc(buffer_, capacity * 2));
      if (grown == nullptr) break;
      buffer_ = grown;
      capacity *= 2;
    }
    const ssize_t n = ReadSome(fd, buffer_ + used, capacity - used);
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) {
      data_ = buffer_;
      size_ = used;
      return Status::OK();
    }
    used += static_cast<size_t>(n);
  }
  std::free(buffer_);
  buffer_ = nullptr;
  if (err == 0) throw std::bad_alloc();
  return CannotRead(name, err);
}

}  // namespace wqsource
