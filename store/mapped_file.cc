// MappedFile: open, fstat, mmap PROT_READ MAP_PRIVATE under a guard, pread,
// the fstat that compares with Open's, and munmap and close on destruction.
// Only regular files are mapped.
#include "store/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/fd_io.h"
#include "platform/text.h"

namespace wqstore {
namespace {

const unsigned char kEmpty[1] = {0};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// `what` and the system's reason for `err`: a file that is not there is
// not found, any other refusal an I/O error.
Status SystemError(const std::string& what, int err) {
  const Status::Kind kind =
      err == ENOENT || err == ENOTDIR ? Status::Kind::kNotFound : Status::Kind::kIoError;
  return Status::Error(kind, what + ": " + ErrnoText(err));
}

}  // namespace

Status MappedFile::Open(const std::string& path, std::unique_ptr<MappedFile>* file, bool guard) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SystemError("cannot open file", errno);
  struct stat st;
  Status mapped;
  if (::fstat(fd, &st) != 0) {
    mapped = SystemError("cannot stat file", errno);
  } else if (S_ISDIR(st.st_mode)) {
    mapped = SystemError("cannot open file", EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    mapped = Status::Error(Status::Kind::kIoError, "cannot open file: not a regular file");
  } else {
    mapped = MapGuarded(fd, st, Access::kRandom, guard, file);
  }
  if (!mapped.ok()) ::close(fd);
  return mapped;
}

Status MappedFile::Map(int fd, const struct stat& st, Access access,
                       std::unique_ptr<MappedFile>* file) {
  return MapGuarded(fd, st, access, true, file);
}

Status MappedFile::MapGuarded(int fd, const struct stat& st, Access access, bool guard,
                              std::unique_ptr<MappedFile>* file) {
  if (static_cast<uint64_t>(st.st_size) > SIZE_MAX) {
    return Status::Error(Status::Kind::kIoError, "cannot map file: file too large");
  }
  const size_t size = static_cast<size_t>(st.st_size);
  const Stamp stamp{st.st_mtim, st.st_ctim, st.st_nlink};
  if (size == 0) {
    file->reset(new MappedFile(kEmpty, 0, nullptr, fd, stamp));
    return Status::OK();
  }
  const int flags = MAP_PRIVATE | (access == Access::kLoad ? MAP_POPULATE : 0);
  void* base = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
  if (base == MAP_FAILED) return SystemError("cannot map file", errno);
  if (access == Access::kSequential) (void)::madvise(base, size, MADV_SEQUENTIAL);
  std::unique_ptr<MappedFile> mapped(
      new MappedFile(static_cast<const unsigned char*>(base), size, base, fd, stamp));
  // Without a free guard slot the file is read unguarded, as it always was.
  if (guard) (void)mapped->guard_.Guard(base, size);
  *file = std::move(mapped);
  return Status::OK();
}

MappedFile::~MappedFile() {
  guard_.Release();  // before the range goes
  if (base_ != nullptr) ::munmap(base_, size_);
  ::close(fd_);
}

bool MappedFile::Changed() const {
  if (guard_.Faulted()) return true;
  struct stat st;
  if (::fstat(fd_, &st) != 0) return true;  // cannot tell: assume the worst
  if (static_cast<uint64_t>(st.st_size) != size_ || !SameTime(st.st_mtim, stamp_.mtime)) {
    return true;
  }
  // Every write and every change of times or attributes moves the change
  // time; so does a change of links, which leaves the contents alone.
  return !SameTime(st.st_ctim, stamp_.ctime) && st.st_nlink == stamp_.links;
}

void MappedFile::AdviseSequential() const {
  if (size_ > 0) (void)::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

Status MappedFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
  uint64_t at = offset;
  const int err = ReadFully(fd_, buffer, length, offset, &at);
  if (err == 0) return Status::OK();
  if (err < 0) {
    return Status::Error(Status::Kind::kChangedOnDisk,
                         "file ends at offset " + Num(at) + ", shorter than when opened");
  }
  return SystemError("cannot read at offset " + Num(at), err);
}

}  // namespace wqstore
