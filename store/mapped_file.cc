// MappedFile: open, fstat, mmap PROT_READ MAP_PRIVATE, and munmap on
// destruction. Only regular files are mapped.
#include "store/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace wqstore {
namespace {

const unsigned char kEmpty[1] = {0};

std::string ErrnoText(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path, std::string* error) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = ErrnoText("cannot open file", errno);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    *error = ErrnoText("cannot stat file", errno);
    ::close(fd);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = ErrnoText("cannot open file", EISDIR);
    ::close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "cannot open file: not a regular file";
    ::close(fd);
    return nullptr;
  }
  if (static_cast<uint64_t>(st.st_size) > SIZE_MAX) {
    *error = "cannot map file: file too large";
    ::close(fd);
    return nullptr;
  }
  size_t size = static_cast<size_t>(st.st_size);
  if (size == 0) {
    ::close(fd);
    return std::unique_ptr<MappedFile>(new MappedFile(kEmpty, 0, nullptr));
  }
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  int map_errno = errno;
  ::close(fd);  // the mapping keeps the file referenced
  if (base == MAP_FAILED) {
    *error = ErrnoText("cannot map file", map_errno);
    return nullptr;
  }
  return std::unique_ptr<MappedFile>(
      new MappedFile(static_cast<const unsigned char*>(base), size, base));
}

MappedFile::~MappedFile() {
  if (base_ != nullptr) ::munmap(base_, size_);
}

void MappedFile::Advise(size_t offset, size_t length, int advice) const {
  if (base_ == nullptr || offset >= size_) return;
  if (length > size_ - offset) length = size_ - offset;
  long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) page = 4096;
  size_t start = offset - offset % static_cast<size_t>(page);  // madvise wants page alignment
  ::madvise(static_cast<char*>(base_) + start, length + (offset - start), advice);
}

bool MappedFile::Prefault() const {
#ifdef MADV_POPULATE_READ
  if (base_ == nullptr) return false;
  return ::madvise(base_, size_, MADV_POPULATE_READ) == 0;
#else
  return false;
#endif
}

}  // namespace wqstore
