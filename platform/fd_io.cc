// The read and write loops, and the one place they retry on EINTR.
#include "platform/fd_io.h"

#include <sys/random.h>
#include <unistd.h>

#include <cerrno>

int WriteFully(int fd, const void* data, size_t n, int64_t offset) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = offset < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, offset);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += w;
    n -= static_cast<size_t>(w);
    if (offset >= 0) offset += w;
  }
  return 0;
}

int ReadFully(int fd, void* data, size_t n, uint64_t offset, uint64_t* stopped_at) {
  char* p = static_cast<char*>(data);
  int result = 0;
  while (n > 0) {
    const ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      result = r < 0 ? errno : -1;
      break;
    }
    p += r;
    offset += static_cast<uint64_t>(r);
    n -= static_cast<size_t>(r);
  }
  if (stopped_at != nullptr) *stopped_at = offset;
  return result;
}

ssize_t ReadSome(int fd, void* data, size_t n) {
  for (;;) {
    const ssize_t r = ::read(fd, data, n);
    if (r >= 0 || errno != EINTR) return r;
  }
}

bool ReadRandom(void* data, size_t n) {
  unsigned char* p = static_cast<unsigned char*>(data);
  while (n > 0) {
    const ssize_t r = ::getrandom(p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}
