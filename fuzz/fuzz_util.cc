// In-memory files for the fuzz targets.
#include "fuzz/fuzz_util.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "store/checksums.h"

namespace {
int g_fd = -1;
}

std::string BytesAsFile(const uint8_t* data, size_t size) {
  if (g_fd < 0) {
    g_fd = memfd_create("wqfuzz", 0);
    if (g_fd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
  }
  if (ftruncate(g_fd, 0) != 0 || pwrite(g_fd, data, size, 0) != static_cast<ssize_t>(size)) {
    std::perror("memfd write");
    std::abort();
  }
  return "/proc/self/fd/" + std::to_string(g_fd);
}

std::string RepositoryBytesAsFile(const uint8_t* data, size_t size) {
  if (size == 0) return "";
  std::string image(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 3 == 1)
    wqstore::RecomputeChecksums(&image, wqstore::Checksums::kHeaderAndDirectory);
  if (data[0] % 3 == 2) wqstore::RecomputeChecksums(&image, wqstore::Checksums::kAll);
  return BytesAsFile(reinterpret_cast<const uint8_t*>(image.data()), image.size());
}

void DiscardStdout() {
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}
