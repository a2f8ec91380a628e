// Layout constants of the repository file format, version 1, shared by the
// reader, the validator and the writer. docs/format.md describes every field.
#ifndef WQSQL_STORE_FORMAT_H_
#define WQSQL_STORE_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace wqstore {
namespace format {

constexpr unsigned char kMagic[8] = {0x89, 'W', 'Q', 'R', 'E', 'P', 'O', 0x0A};
constexpr uint32_t kVersion = 1;

// Header: 64 bytes at offset 0.
constexpr size_t kHeaderSize = 64;
constexpr size_t kHeaderMagic = 0;
constexpr size_t kHeaderVersion = 8;
constexpr size_t kHeaderHeaderSize = 12;
constexpr size_t kHeaderFileSize = 16;
constexpr size_t kHeaderDirOffset = 24;
constexpr size_t kHeaderDirLength = 32;
constexpr size_t kHeaderHeapOffset = 40;
constexpr size_t kHeaderHeapLength = 48;
constexpr size_t kHeaderDirCrc = 56;
constexpr size_t kHeaderCrc = 60;  // over bytes [0, 60)

// Directory prefix: 32 bytes at the start of the directory.
constexpr size_t kPrefixSize = 32;
constexpr size_t kPrefixClassCount = 0;
constexpr size_t kPrefixMemberCount = 4;
constexpr size_t kPrefixNamesLength = 8;
constexpr size_t kPrefixHeapCrc = 16;
constexpr size_t kPrefixReserved32 = 20;
constexpr size_t kPrefixReserved64 = 24;

// Class entry: 64 bytes.
constexpr size_t kClassEntrySize = 64;
constexpr size_t kClassNumber = 0;
constexpr size_t kClassObjectSize = 4;
constexpr size_t kClassNameOffset = 8;
constexpr size_t kClassNameLength = 12;
constexpr size_t kClassFirstMember = 16;
constexpr size_t kClassMemberCount = 20;
constexpr size_t kClassRecordSize = 24;
constexpr size_t kClassObjectCount = 28;
constexpr size_t kClassDataOffset = 32;
constexpr size_t kClassDataCrc = 40;
constexpr size_t kClassReserved = 44;  // 20 bytes of zero up to the end
constexpr size_t kClassReservedLength = 20;

// Member entry: 32 bytes.
constexpr size_t kMemberEntrySize = 32;
constexpr size_t kMemberNumber = 0;
constexpr size_t kMemberType = 4;
constexpr size_t kMemberFlags = 5;
constexpr size_t kMemberReserved16 = 6;
constexpr size_t kMemberFieldOffset = 8;
constexpr size_t kMemberNameOffset = 12;
constexpr size_t kMemberNameLength = 16;
constexpr size_t kMemberReserved = 20;  // 12 bytes of zero up to the end
constexpr size_t kMemberReservedLength = 12;

constexpr uint8_t kFlagNullable = 0x01;

// The heap starts with this many zero bytes so that offset 0 can mean a null
// string or an empty blob. An entry is a u32 length, the bytes and, for a
// string, one NUL.
constexpr size_t kHeapReserved = 8;
constexpr size_t kHeapEntryHeader = 4;
// What follows an entry's bytes: a string's NUL, nothing after a blob.
constexpr uint64_t kStringTail = 1;
constexpr uint64_t kBlobTail = 0;

// True when a heap entry at heap offset `off` holding `length` bytes and
// then `tail` more lies inside a heap of `heap_length` bytes (at least
// kHeapReserved, which Open makes sure of), past its reserved start. With
// `length` 0 it says whether the entry's length field can be read at all.
// The reader's getters and the validator both ask this, so a value a getter
// reads as null or empty is one the validator calls out of bounds.
constexpr bool HeapEntryFits(uint64_t off, uint64_t length, uint64_t tail, uint64_t heap_length) {
  return off >= kHeapReserved && off <= heap_length - kHeapEntryHeader - tail &&
         length <= heap_length - off - kHeapEntryHeader - tail;
}

// A reference field: u32 class index, u32 object index; unset is both all ones.
constexpr uint32_t kUnsetIndex = 0xFFFFFFFFu;

// Lists of classes, members and objects are handed out with signed 32-bit
// counts, which bounds how many of each a file can hold.
constexpr uint32_t kMaxClassCount = 0x7FFFFFFFu;
constexpr uint32_t kMaxMemberCount = 0x7FFFFFFFu;  // in the whole file
constexpr uint32_t kMaxObjectCount = 0x7FFFFFFFu;  // per class

// A class's record size and its members' field offsets are u32 fields.
constexpr uint64_t kMaxRecordSize = 0xFFFFFFFFu;
// Name offsets are u32 fields: the writer keeps the whole names area, every
// name with its NUL, within this many bytes, so that every offset fits.
constexpr uint64_t kMaxNamesLength = 0xFFFFFFFFu;
// A heap entry's length is a u32; a string's length with its NUL fits in one.
constexpr uint64_t kMaxStringLength = 0xFFFFFFFEu;
// Blob sizes are handed out as signed 32-bit integers (GetBlobProperty).
constexpr uint64_t kMaxBlobLength = 0x7FFFFFFFu;
// A class's object size is an i32 field: a record size that stands in for
// an object size not given must fit in one.
constexpr uint64_t kMaxObjectSize = 0x7FFFFFFFu;

}  // namespace format
}  // namespace wqstore

#endif  // WQSQL_STORE_FORMAT_H_
