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
#include <sys/mman.h>
#include <unistd.h>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/scratch_file.h"

namespace wqsource {

namespace {

// Sources up to this size have their pages loaded when they are mapped.
constexpr size_t kPopulateLimit = size_t{1} << 30;

// Maps `size` bytes of `fd` for reading, or returns MAP_FAILED.
void* MapSource(int fd, size_t size) {
  void* map = ::mmap(nullptr, size, PROT_READ,
                     MAP_PRIVATE | (size <= kPopulateLimit ? MAP_POPULATE : 0), fd, 0);
  if (map != MAP_FAILED && size > kPopulateLimit) ::madvise(map, size, MADV_SEQUENTIAL);
  return map;
}

Status CannotRead(std::string_view name, int err) {
  return Status::Error("cannot read " + ShownPath(name) + ": " + ErrnoText(err));
}

// The message the bus error handler writes; set while a mapping is in use.
const char* bus_message = nullptr;
size_t bus_message_size = 0;

// A mapped file that shrinks under the reader faults with SIGBUS on the
// pages past its new end. That ends wqmake the way any other read failure
// does: one line on standard error and status 1; the target is not written
// before the mapping is released.
void OnBusError(int) {
  if (::write(STDERR_FILENO, bus_message, bus_message_size) < 0) {
  }
  ::_exit(1);
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

// Closes a file descriptor when it goes, whichever way Open leaves.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() { ::close(fd_); }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

SourceFile::~SourceFile() {
  if (mapped_) {
    ::munmap(data_, size_);
  }
  if (guarded_) {
    ::sigaction(SIGBUS, &old_bus_action_, nullptr);
    bus_message = nullptr;
  }
  if (!mapped_) {
    std::free(data_);
  }
}

Status SourceFile::Open(const std::string& path, struct stat* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return CannotRead(path, errno);
  FdCloser closer(fd);
  if (::fstat(fd, info) != 0) return CannotRead(path, errno);
  if (S_ISREG(info->st_mode) && info->st_size > 0) {
    const size_t size = static_cast<size_t>(info->st_size);
    void* map = MapSource(fd, size);
    if (map != MAP_FAILED) {
      mapped_ = true;
      data_ = static_cast<char*>(map);
      size_ = size;
      GuardBusErrors(path);
      return Status::OK();
    }
  }
  return ReadAll(fd, path);
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
    const ssize_t n = ::read(fd, piece, kCopyBuffer);
    if (n < 0 && errno == EINTR) continue;
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
  void* map = MapSource(scratch->fd(), static_cast<size_t>(size));
  if (map == MAP_FAILED) return CannotRead(name, errno);
  mapped_ = true;  // the mapping keeps the scratch file's bytes once it is closed
  data_ = static_cast<char*>(map);
  size_ = static_cast<size_t>(size);
  return Status::OK();
}

void SourceFile::GuardBusErrors(const std::string& path) {
  bus_text_ = "wqmake: cannot read " + ShownPath(path) + ": the file shrank while it was read\n";
  bus_message = bus_text_.data();
  bus_message_size = bus_text_.size();
  guarded_ = true;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnBusError;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &old_bus_action_);
}

Status SourceFile::ReadIntoMemory(int fd, std::string_view name, size_t capacity) {
  size_t used = 0;
  data_ = static_cast<char*>(std::malloc(capacity));
  int err = 0;
  while (data_ != nullptr) {
    if (used == capacity) {
      char* grown = static_cast<char*>(std::realloc(data_, capacity * 2));
      if (grown == nullptr) break;
      data_ = grown;
      capacity *= 2;
    }
    const ssize_t n = ::read(fd, data_ + used, capacity - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) {
      size_ = used;
      return Status::OK();
    }
    used += static_cast<size_t>(n);
  }
  std::free(data_);
  data_ = nullptr;
  if (err == 0) throw std::bad_alloc();
  return CannotRead(name, err);
}

}  // namespace wqsource
