// CRC32C (Castagnoli polynomial, reflected 0x82F63B78, initial value and
// final xor all ones): the checksum of every section of a repository file.
// Uses the SSE4.2 crc32 instruction when the processor has it, chosen at run
// time, and a portable slicing-by-8 table method otherwise.
#ifndef WQSQL_STORE_CRC32C_H_
#define WQSQL_STORE_CRC32C_H_

#include <cstddef>
#include <cstdint>

namespace wqstore {
namespace crc32c {

// The CRC of the bytes that gave `crc` followed by data[0, n).
// Extend(0, data, n) is the CRC of data alone.
uint32_t Extend(uint32_t crc, const void* data, size_t n);

inline uint32_t Value(const void* data, size_t n) { return Extend(0, data, n); }

// The two implementations behind Extend, exposed so tests can hold them
// against each other. ExtendHardware may be called only when
// HardwareAvailable() is true.
bool HardwareAvailable();
uint32_t ExtendPortable(uint32_t crc, const void* data, size_t n);
uint32_t ExtendHardware(uint32_t crc, const void* data, size_t n);

}  // namespace crc32c
}  // namespace wqstore

#endif  // WQSQL_STORE_CRC32C_H_
