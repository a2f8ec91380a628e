// Drawing the secret key of the keyed hash.
#include "tools/make/keyed_hash.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <sys/random.h>

namespace wqsource {

HashKey RandomHashKey() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  HashKey key;
  if (got == sizeof bytes) {
    std::memcpy(&key.k0, bytes, 8);
    std::memcpy(&key.k1, bytes + 8, 8);
    return key;
  }
  // getrandom is missing (older kernels, some sandboxes).
  std::random_device device;
  key.k0 = uint64_t{device()} << 32 | device();
  key.k1 = uint64_t{device()} << 32 | device();
  return key;
}

}  // namespace wqsource
