// DescribeRepository and CountHeapEntries: section sizes from the reader,
// and the distinct heap entries the records point at, found with one
// bitmap of heap offsets for strings and one for blobs.
#include "store/inspect.h"

#include "store/coding.h"
#include "store/data_types.h"
#include "store/fields.h"
#include "store/format.h"

namespace wqstore {

using namespace format;

namespace {

// One bit per heap offset.
class OffsetSet {
 public:
  explicit OffsetSet(uint64_t size) : bits_((size + 63) / 64, 0) {}
  // True when `off` was not in the set yet.
  bool Insert(uint64_t off) {
    uint64_t& word = bits_[off / 64];
    const uint64_t bit = uint64_t{1} << (off % 64);
    if ((word & bit) != 0) return false;
    word |= bit;
    return true;
  }

 private:
  std::vector<uint64_t> bits_;
};

}  // namespace

RepositoryFigures DescribeRepository(const Reader& reader) {
  const unsigned char* p = reader.file().data();
  RepositoryFigures f;
  f.format_version = DecodeFixed32(p + kHeaderVersion);
  f.file_bytes = reader.file().size();
  f.header_bytes = DecodeFixed32(p + kHeaderHeaderSize);
  f.directory_bytes = reader.directory_length();
  f.heap_bytes = reader.heap_length();
  f.classes.reserve(reader.class_count());
  for (const ClassInfo& c : reader.classes()) {
    ClassFigures k;
    k.number = c.number;
    k.name.assign(c.name, c.name_length);
    k.members = c.member_count;
    k.objects = c.object_count;
    k.record_size = c.record_size;
    k.data_bytes = uint64_t{c.object_count} * c.record_size;
    f.data_bytes += k.data_bytes;
    f.objects += c.object_count;
    f.classes.push_back(std::move(k));
  }
  return f;
}

HeapFigures CountHeapEntries(const Reader& reader) {
  HeapFigures h;
  const uint64_t heap_length = reader.heap_length();
  OffsetSet strings(heap_length);
  OffsetSet blobs(heap_length);
  for (const ClassInfo& c : reader.classes()) {
    for (uint32_t k = 0; k < c.member_count; k++) {
      const MemberInfo& m = c.members[k];
      const ValueKind kind = KindOf(m.type);
      if (kind != ValueKind::kString && kind != ValueKind::kBlob) continue;
      for (uint32_t i = 0; i < c.object_count; i++) {
        const uint64_t off = HeapOffsetField(c.Record(i), m);
        if (off == 0 || off >= heap_length) continue;
        if (kind == ValueKind::kString) {
          size_t length = 0;
          const char* s = reader.HeapString(off, &length);
          if (s != nullptr && strings.Insert(off)) {
            h.strings++;
            h.string_bytes += length;
          }
        } else {
          int32_t size = 0;
          const unsigned char* data = nullptr;
          reader.HeapBlob(off, &size, &data);
          // An entry outside the heap reads as the empty blob, which has
          // no entry.
          if (data == reader.heap() + off + kHeapEntryHeader && blobs.Insert(off)) {
            h.blobs++;
            h.blob_bytes += static_cast<uint64_t>(size);
          }
        }
      }
    }
  }
  return h;
}

}  // namespace wqstore
