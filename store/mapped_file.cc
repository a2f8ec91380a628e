// MappedFile: open, fstat, mmap PROT_READ MAP_PRIVATE, pread, and munmap and
// close on destruction. Only regular files are mapped.
#include "store/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>
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
    return std::unique_ptr<MappedFile>(new MappedFile(kEmpty, 0, nullptr, -1));
  }
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (base == MAP_FAILED) {
    *error = ErrnoText("cannot map file", errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<MappedFile>(
      new MappedFile(static_cast<const unsigned char*>(base), size, base, fd));
}

MappedFile::~MappedFile() {
  if (base_ != nullptr) ::munmap(base_, size_);
  if (fd_ >= 0) ::close(fd_);
}

bool MappedFile::ReadAt(uint64_t offset, void* buffer, size_t length, std::string* error) const {
  unsigned char* to = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    ssize_t got = ::pread(fd_, to, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = ErrnoText(("cannot read at offset " + std::to_string(offset)).c_str(), errno);
      return false;
    }
    if (got == 0) {
      *error = "file ends at offset " + std::to_string(offset) + ", shorter than when opened";
      return false;
    }
    to += got;
    offset += static_cast<uint64_t>(got);
    length -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace wqstore
