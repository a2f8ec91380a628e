// RecomputeChecksums: rewrites the CRC32C fields of an image, in the order
// in which each covers the next (data and heap, then directory, then header).
#include "store/checksums.h"

#include "store/coding.h"
#include "store/crc32c.h"
#include "store/format.h"

namespace wqstore {

using namespace format;

void RecomputeChecksums(std::string* image, Checksums which) {
  if (image->size() < kHeaderSize) return;
  char* p = &(*image)[0];
  const uint64_t size = image->size();
  auto inside = [size](uint64_t off, uint64_t len) { return off <= size && len <= size - off; };
  const uint64_t dir_len = DecodeFixed64(p + kHeaderDirLength);
  if (which == Checksums::kAll && inside(kHeaderSize, kPrefixSize)) {
    const uint32_t classes = DecodeFixed32(p + kHeaderSize + kPrefixClassCount);
    for (uint64_t i = 0; i < classes; i++) {
      const uint64_t entry = kHeaderSize + kPrefixSize + i * kClassEntrySize;
      if (!inside(entry, kClassEntrySize)) break;
      char* e = p + entry;
      const uint64_t off = DecodeFixed64(e + kClassDataOffset);
      const uint64_t len =
          uint64_t{DecodeFixed32(e + kClassRecordSize)} * DecodeFixed32(e + kClassObjectCount);
      if (inside(off, len)) EncodeFixed32(e + kClassDataCrc, crc32c::Value(p + off, len));
    }
    const uint64_t heap = DecodeFixed64(p + kHeaderHeapOffset);
    const uint64_t heap_len = DecodeFixed64(p + kHeaderHeapLength);
    if (inside(heap, heap_len)) {
      EncodeFixed32(p + kHeaderSize + kPrefixHeapCrc, crc32c::Value(p + heap, heap_len));
    }
  }
  if (inside(kHeaderSize, dir_len)) {
    EncodeFixed32(p + kHeaderDirCrc, crc32c::Value(p + kHeaderSize, dir_len));
  }
  EncodeFixed32(p + kHeaderCrc, crc32c::Value(p, kHeaderCrc));
}

}  // namespace wqstore
