// CRC32C: a slicing-by-8 table method for any processor and a hardware
// method using the SSE4.2 crc32 instruction on three interleaved streams.
// Both work on the raw register (the complement of the CRC value).
#include "store/crc32c.h"

#include <cstring>

#include "store/coding.h"

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace wqstore {
namespace crc32c {
namespace {

constexpr uint32_t kPoly = 0x82F63B78u;

// tables[0] is the classic byte table; tables[k][b] advances the register of
// byte b over k further zero bytes, so eight bytes fold in one step.
struct SliceTables {
  uint32_t t[8][256];
};

constexpr SliceTables MakeSliceTables() {
  SliceTables r{};
  for (uint32_t b = 0; b < 256; b++) {
    uint32_t c = b;
    for (int i = 0; i < 8; i++) c = (c >> 1) ^ ((c & 1) ? kPoly : 0);
    r.t[0][b] = c;
  }
  for (int k = 1; k < 8; k++) {
    for (uint32_t b = 0; b < 256; b++) {
      uint32_t prev = r.t[k - 1][b];
      r.t[k][b] = (prev >> 8) ^ r.t[0][prev & 0xff];
    }
  }
  return r;
}

constexpr SliceTables kSlice = MakeSliceTables();

uint32_t PortableRaw(uint32_t s, const unsigned char* p, size_t n) {
  const auto& t = kSlice.t;
  while (n > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0) {
    s = (s >> 8) ^ t[0][(s ^ *p++) & 0xff];
    n--;
  }
  while (n >= 8) {
    uint32_t lo = DecodeFixed32(p) ^ s;
    uint32_t hi = DecodeFixed32(p + 4);
    s = t[7][lo & 0xff] ^ t[6][(lo >> 8) & 0xff] ^ t[5][(lo >> 16) & 0xff] ^ t[4][lo >> 24] ^
        t[3][hi & 0xff] ^ t[2][(hi >> 8) & 0xff] ^ t[1][(hi >> 16) & 0xff] ^ t[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n > 0) {
    s = (s >> 8) ^ t[0][(s ^ *p++) & 0xff];
    n--;
  }
  return s;
}

#if defined(__x86_64__)

// Block lengths of the three-stream loop: long blocks for big buffers, short
// ones for the rest of them.
constexpr size_t kLongBlock = 8192;
constexpr size_t kShortBlock = 256;

// A linear map on the 32-bit register as the images of its 32 basis bits.
struct Gf2Matrix {
  uint32_t col[32];
};

uint32_t Apply(const Gf2Matrix& m, uint32_t v) {
  uint32_t r = 0;
  for (int j = 0; v != 0; j++, v >>= 1) {
    if (v & 1) r ^= m.col[j];
  }
  return r;
}

Gf2Matrix Compose(const Gf2Matrix& a, const Gf2Matrix& b) {  // a after b
  Gf2Matrix r;
  for (int j = 0; j < 32; j++) r.col[j] = Apply(a, b.col[j]);
  return r;
}

// The map that runs the register over `bytes` zero bytes.
Gf2Matrix ZerosOperator(size_t bytes) {
  Gf2Matrix bit;  // one zero bit
  bit.col[0] = kPoly;
  for (int j = 1; j < 32; j++) bit.col[j] = 1u << (j - 1);
  Gf2Matrix byte = bit;
  for (int i = 0; i < 3; i++) byte = Compose(byte, byte);  // 8 bits
  Gf2Matrix result;
  for (int j = 0; j < 32; j++) result.col[j] = 1u << j;
  while (bytes > 0) {
    if (bytes & 1) result = Compose(byte, result);
    byte = Compose(byte, byte);
    bytes >>= 1;
  }
  return result;
}

// The zeros operator split by register byte, for four lookups per shift.
struct ShiftTable {
  uint32_t t[4][256];

  explicit ShiftTable(size_t bytes) {
    Gf2Matrix m = ZerosOperator(bytes);
    for (int k = 0; k < 4; k++) {
      for (uint32_t b = 0; b < 256; b++) t[k][b] = Apply(m, b << (8 * k));
    }
  }
  uint32_t Shift(uint32_t s) const {
    return t[0][s & 0xff] ^ t[1][(s >> 8) & 0xff] ^ t[2][(s >> 16) & 0xff] ^ t[3][s >> 24];
  }
};

struct ShiftTables {
  ShiftTable long_block{kLongBlock};
  ShiftTable short_block{kShortBlock};
};

const ShiftTables& GetShiftTables() {
  static const ShiftTables tables;
  return tables;
}

// Three streams of `block` bytes each at p, p + block and p + 2 * block,
// folded into one register: the state after the first stream is moved over
// the length of the second and combined with it, and so on, which is what
// CRC linearity allows.
__attribute__((target("sse4.2"))) inline uint32_t ThreeStreams(uint32_t s, const unsigned char* p,
                                                               size_t block,
                                                               const ShiftTable& shift) {
  uint64_t s0 = s, s1 = 0, s2 = 0;
  const unsigned char* end = p + block;
  for (; p < end; p += 8) {
    s0 = _mm_crc32_u64(s0, DecodeFixed64(p));
    s1 = _mm_crc32_u64(s1, DecodeFixed64(p + block));
    s2 = _mm_crc32_u64(s2, DecodeFixed64(p + 2 * block));
  }
  uint32_t r = shift.Shift(static_cast<uint32_t>(s0)) ^ static_cast<uint32_t>(s1);
  return shift.Shift(r) ^ static_cast<uint32_t>(s2);
}

__attribute__((target("sse4.2"))) uint32_t HardwareRaw(uint32_t s, const unsigned char* p,
                                                       size_t n) {
  while (n > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0) {
    s = _mm_crc32_u8(s, *p++);
    n--;
  }
  if (n >= 3 * kShortBlock) {
    const ShiftTables& tables = GetShiftTables();
    while (n >= 3 * kLongBlock) {
      s = ThreeStreams(s, p, kLongBlock, tables.long_block);
      p += 3 * kLongBlock;
      n -= 3 * kLongBlock;
    }
    while (n >= 3 * kShortBlock) {
      s = ThreeStreams(s, p, kShortBlock, tables.short_block);
      p += 3 * kShortBlock;
      n -= 3 * kShortBlock;
    }
  }
  uint64_t s64 = s;
  while (n >= 8) {
    s64 = _mm_crc32_u64(s64, DecodeFixed64(p));
    p += 8;
    n -= 8;
  }
  s = static_cast<uint32_t>(s64);
  while (n > 0) {
    s = _mm_crc32_u8(s, *p++);
    n--;
  }
  return s;
}

bool DetectHardware() { return __builtin_cpu_supports("sse4.2"); }

#else

uint32_t HardwareRaw(uint32_t s, const unsigned char* p, size_t n) { return PortableRaw(s, p, n); }
bool DetectHardware() { return false; }

#endif

using RawFn = uint32_t (*)(uint32_t, const unsigned char*, size_t);

RawFn ChooseRaw() { return DetectHardware() ? HardwareRaw : PortableRaw; }

}  // namespace

bool HardwareAvailable() {
  static const bool available = DetectHardware();
  return available;
}

uint32_t ExtendPortable(uint32_t crc, const void* data, size_t n) {
  return ~PortableRaw(~crc, static_cast<const unsigned char*>(data), n);
}

uint32_t ExtendHardware(uint32_t crc, const void* data, size_t n) {
  return ~HardwareRaw(~crc, static_cast<const unsigned char*>(data), n);
}

uint32_t Extend(uint32_t crc, const void* data, size_t n) {
  static const RawFn raw = ChooseRaw();
  return ~raw(~crc, static_cast<const unsigned char*>(data), n);
}

}  // namespace crc32c
}  // namespace wqstore
