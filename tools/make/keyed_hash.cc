// Drawing the secret key of the keyed hash.
#include "tools/make/keyed_hash.h"

#include <cstring>
#include <random>

#include "platform/fd_io.h"

namespace wqsource {

HashKey RandomHashKey() {
  unsigned char bytes[16];
  HashKey key;
  if (ReadRandom(bytes, sizeof bytes)) {
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
