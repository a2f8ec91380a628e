// wqbench_evict: drops the pages of the files given from the page cache, so
// that the next read of them comes from the disk, and leaves every other
// file's pages alone.
//
//   wqbench_evict FILE...
//
// Each file is flushed (fsync, so that no dirty page stays behind) and its
// pages are released with posix_fadvise(POSIX_FADV_DONTNEED); then mincore
// on a mapping counts the pages still cached. The kernel keeps a page that
// a process has mapped, so a file in use elsewhere may stay partly cached:
// the count says so on standard error. Exit status 0 when at most 1 % of
// every file's pages stayed, 1 otherwise or when a file cannot be read.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool Fail(const char* path, const char* what) {
  std::fprintf(stderr, "wqbench_evict: %s: %s: %s\n", path, what, std::strerror(errno));
  return false;
}

// The number of the file's pages in the page cache, or -1.
int64_t CachedPages(int fd, size_t size, size_t page) {
  if (size == 0) return 0;
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return -1;
  std::vector<unsigned char> resident((size + page - 1) / page);
  int64_t cached = -1;
  if (::mincore(map, size, resident.data()) == 0) {
    cached = 0;
    for (unsigned char r : resident) cached += r & 1;
  }
  ::munmap(map, size);
  return cached;
}

bool Evict(const char* path, size_t page) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(path, "cannot open");
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 || Fail(path, "fstat");
  if (ok && !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "wqbench_evict: %s: not a regular file\n", path);
    ok = false;
  }
  // A dirty page cannot be dropped: write them out first.
  if (ok && ::fsync(fd) != 0) ok = Fail(path, "fsync");
  if (ok) {
    const int err = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (err != 0) {
      errno = err;
      ok = Fail(path, "posix_fadvise");
    }
  }
  if (ok) {
    const size_t size = static_cast<size_t>(st.st_size);
    const int64_t total = static_cast<int64_t>((size + page - 1) / page);
    const int64_t cached = CachedPages(fd, size, page);
    if (cached < 0) {
      ok = Fail(path, "cannot count the cached pages");
    } else if (cached * 100 > total) {
      std::fprintf(stderr, "wqbench_evict: %s: %lld of %lld pages are still cached\n", path,
                   static_cast<long long>(cached), static_cast<long long>(total));
      ok = false;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: wqbench_evict FILE...\n");
    return 2;
  }
  const long page = ::sysconf(_SC_PAGESIZE);
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    if (!Evict(argv[i], page > 0 ? static_cast<size_t>(page) : 4096)) ok = false;
  }
  return ok ? 0 : 1;
}
