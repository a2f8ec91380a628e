// Repository::Validate: the full check of a repository file. Every checksum
// (header, directory, each class's object data, heap) and every structural
// rule: reserved fields, names, uniqueness of class and member numbers and
// names, and every value of every object (heap entries in bounds, strings
// well-formed UTF-8, references resolving, non-nullable members set).
// Checksums and object checks share one pass over the file, but a checksum
// fault is always the one reported. The per-object loops only ask "is this
// field sound"; the wording of a fault is worked out afterwards, off the
// fast path.
//
// The pass reads the file with pread into a few reused buffers that stay in
// cache, not through the mapping: touching every page of a big mapping
// costs the kernel more (building and tearing down its page tables) than
// the copy does. Two streams run side by side: the object data block by
// block, and the heap a little ahead of the entries the records point at.
// Whatever the streams cannot serve (an entry behind the heap window, a
// record bigger than the buffer) is read through the mapping, so any file
// is checked the same way, only the usual layout faster.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/coding.h"
#include "store/crc32c.h"
#include "store/data_types.h"
#include "store/format.h"
#include "store/repository.h"
#include "platform/utf8.h"
#include "store/names.h"

namespace wqstore {

using namespace format;

namespace {

std::string Num(uint64_t v) { return std::to_string(v); }
std::string Num(int32_t v) { return std::to_string(v); }

std::string ClassLabel(const ClassInfo& c) {
  return "class " + Num(c.number) + " (" + std::string(c.name, c.name_length) + ")";
}

bool AllZero(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (p[i] != 0) return false;
  }
  return true;
}

// Records are checked in blocks of about this many bytes, small enough to
// stay in cache between their checksum and their checks.
constexpr size_t kScanBlock = 64 * 1024;

// True when s[0, n) is well-formed UTF-8 without a NUL. Strings are mostly
// ASCII, so that case is tested 16 bytes at a time: a short string (when 48
// bytes from s lie inside the heap, which ends at `end`) with three loads
// and the bytes past n masked off, so without branching on its length; a
// long one in a loop that ends on the string's last 16 bytes. Strings that
// are not plain ASCII go to FindInvalidUtf8.
inline bool IsValidHeapText(const unsigned char* s, uint64_t n, const unsigned char* end) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  // Lanes with the high bit set (non-ASCII) or zero.
  auto suspect = [zero](const unsigned char* q) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    return _mm_or_si128(v, _mm_cmpeq_epi8(v, zero));
  };
  auto flags = [](__m128i v) { return static_cast<uint64_t>(_mm_movemask_epi8(v)); };
  if (n < 48 && end - s >= 48) {
    uint64_t bad = flags(suspect(s)) | flags(suspect(s + 16)) << 16 | flags(suspect(s + 32)) << 32;
    return (bad & ((uint64_t{1} << n) - 1)) == 0 || FindInvalidUtf8(s, static_cast<size_t>(n)) == n;
  }
  if (n >= 48) {
    __m128i acc = zero;
    uint64_t i = 0;
    for (; i + 64 <= n; i += 64) {
      acc = _mm_or_si128(acc, _mm_or_si128(_mm_or_si128(suspect(s + i), suspect(s + i + 16)),
                                           _mm_or_si128(suspect(s + i + 32), suspect(s + i + 48))));
    }
    for (; i + 16 <= n; i += 16) acc = _mm_or_si128(acc, suspect(s + i));
    acc = _mm_or_si128(acc, suspect(s + n - 16));  // the last, possibly overlapping, 16 bytes
    return flags(acc) == 0 || FindInvalidUtf8(s, static_cast<size_t>(n)) == n;
  }
#else
  (void)end;
#endif
  return IsValidUtf8Text(s, static_cast<size_t>(n));
}

// Buffer sizes as used: each at least 1, and the heap window big enough
// for what is kept plus one read.
ValidateBuffers Sane(ValidateBuffers b) {
  if (b.data == 0) b.data = 1;
  if (b.heap_read == 0) b.heap_read = 1;
  if (b.heap < b.heap_keep + b.heap_read) b.heap = b.heap_keep + b.heap_read;
  return b;
}

// Bytes past a buffer's end that the text check may read (and ignore).
constexpr size_t kOverRead = 64;

}  // namespace

class HeapWindow {
 public:
  // Heap bytes [off, off + n) at p, with [p, end) readable.
  struct Bytes {
    const unsigned char* p;
    const unsigned char* end;
  };

  HeapWindow(const MappedFile& file, uint64_t heap_offset, const unsigned char* heap,
             uint64_t heap_length, const ValidateBuffers& sizes, const std::string& prefix)
      : file_(file),
        heap_offset_(heap_offset),
        heap_(heap),
        length_(heap_length),
        whole_(heap_length <= sizes.heap),
        capacity_(whole_ ? static_cast<size_t>(heap_length) : sizes.heap),
        read_(sizes.heap_read),
        keep_(whole_ ? capacity_ : sizes.heap_keep),
        prefix_(prefix),
        buffer_(new unsigned char[capacity_ + kOverRead]) {
    std::memset(buffer_.get() + capacity_, 0, kOverRead);  // read, never used
  }

  // The bytes held: heap offsets [base, end) at buffer; [buffer, limit) is
  // readable. Changes only in Slow and Finish.
  struct View {
    const unsigned char* buffer;
    const unsigned char* limit;
    uint64_t base;
    uint64_t end;
  };
  View view() const {
    return View{buffer_.get(), buffer_.get() + capacity_ + kOverRead, base_, end_};
  }

  // The heap bytes [off, off + n) when the view does not hold them; off + n
  // must not pass the heap's end. Valid until the next call.
  __attribute__((noinline)) Bytes Slow(uint64_t off, uint64_t n) {
    // Behind the window, or too big to fit: the mapping has every byte.
    if (off < base_ || (!whole_ && n > capacity_ - keep_)) {
      return Bytes{heap_ + off, heap_ + length_};
    }
    while (end_ < off + n) ReadMore(off);
    return Bytes{buffer_.get() + (off - base_), buffer_.get() + capacity_ + kOverRead};
  }

  // Reads the rest of the heap into the checksum.
  void Finish() {
    while (end_ < length_) {
      base_ = end_;  // nothing needs keeping any more
      ReadMore(length_);
    }
  }
  uint32_t crc() const { return crc_; }

 private:
  // Reads the next piece of the heap, first making room by dropping what
  // lies before both `keep_from` and the last keep_ bytes. Each call reads
  // at least one byte: an entry the window serves is at most
  // capacity_ - keep_ long, and one that starts before the kept bytes keeps
  // less than its own length.
  void ReadMore(uint64_t keep_from) {
    size_t held = static_cast<size_t>(end_ - base_);
    if (capacity_ - held < read_ || held == capacity_) {
      uint64_t from = end_ - std::min<uint64_t>(keep_, held);
      from = std::max(base_, std::min(keep_from, from));
      if (from > base_) {
        held = static_cast<size_t>(end_ - from);
        std::memmove(buffer_.get(), buffer_.get() + (from - base_), held);
        base_ = from;
      }
    }
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>({read_, capacity_ - held, length_ - end_}));
    unsigned char* to = buffer_.get() + held;
    std::string error;
    if (!file_.ReadAt(heap_offset_ + end_, to, n, &error)) throw awq_StoreError(prefix_ + error);
    crc_ = crc32c::Extend(crc_, to, n);
    end_ += n;
  }

  const MappedFile& file_;
  const uint64_t heap_offset_;
  const unsigned char* const heap_;  // the mapping's view of the heap
  const uint64_t length_;
  const bool whole_;  // the whole heap fits: nothing is ever dropped
  const size_t capacity_;
  const size_t read_;
  const size_t keep_;
  const std::string& prefix_;
  std::unique_ptr<unsigned char[]> buffer_;
  uint64_t base_ = 0;  // heap offset of buffer_[0]
  uint64_t end_ = 0;   // heap offset after the last byte read (and checksummed)
  uint32_t crc_ = 0;
};

void Repository::Validate(const std::string& display_path, const ValidateBuffers& buffers) const {
  const std::string prefix = "repository " + display_path + ": ";
  auto fail = [&prefix](const std::string& what) { throw awq_StoreError(prefix + what); };
  const ValidateBuffers sizes = Sane(buffers);
  const unsigned char* p = file_->data();

  // Header and directory checksums come first: every rule below reads the
  // directory.
  if (crc32c::Value(p, kHeaderCrc) != DecodeFixed32(p + kHeaderCrc)) {
    fail("checksum mismatch in header");
  }
  if (crc32c::Value(dir_, dir_length_) != DecodeFixed32(p + kHeaderDirCrc)) {
    fail("checksum mismatch in directory at offset " + Num(uint64_t{kHeaderSize}));
  }

  // The first structural fault is kept, not thrown, until every checksum
  // has been compared: damage is reported as damage, not as whatever rule
  // the damaged bytes happen to break.
  std::string fault = CheckDirectoryRules();

  // Object data and heap in one pass: each block of records is
  // checksummed and then checked while it is in cache, and the heap
  // is read and checksummed just ahead of the entries the records point at.
  HeapWindow heap(*file_, heap_offset_, heap_, heap_length_, sizes, prefix);
  const size_t data_buffer =
      static_cast<size_t>(std::min<uint64_t>(sizes.data, heap_offset_ - kHeaderSize - dir_length_));
  std::unique_ptr<unsigned char[]> data(new unsigned char[data_buffer + 1]);
  auto read_data = [&](uint64_t offset, size_t n) {
    std::string error;
    if (!file_->ReadAt(offset, data.get(), n, &error)) fail(error);
    return data.get();
  };
  std::vector<uint32_t> data_crcs(classes_.size(), 0);
  std::vector<FieldCheck> checks;
  for (const ClassInfo& c : classes_) {
    checks.clear();
    for (uint32_t i = 0; i < c.member_count; i++) {
      const MemberInfo& m = c.members[i];
      if (m.type == wqTypeString) {
        checks.push_back({m.field_offset, FieldKind::kString, m.nullable, &m});
      } else if (m.type == wqTypeBlob) {
        checks.push_back({m.field_offset, FieldKind::kBlob, m.nullable, &m});
      } else if (IsReference(m.type)) {
        checks.push_back({m.field_offset, FieldKind::kRef, m.nullable, &m});
      }
    }
    const uint64_t data_length = uint64_t{c.object_count} * c.record_size;
    if (checks.empty() || !fault.empty()) {
      uint32_t crc = 0;
      for (uint64_t done = 0; done < data_length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(data_buffer, data_length - done));
        crc = crc32c::Extend(crc, read_data(c.data_offset + done, n), n);
        done += n;
      }
      data_crcs[c.index] = crc;
      if (fault.empty()) fault = CheckPaddingRecords(c);
      continue;
    }
    const uint32_t per_block =
        c.record_size >= kScanBlock ? 1 : static_cast<uint32_t>(kScanBlock / c.record_size);
    const uint64_t block_bytes = uint64_t{per_block} * c.record_size;
    // Whole blocks per read; a block bigger than the buffer is read in place.
    const bool in_place =
        uint64_t{std::min(per_block, c.object_count)} * c.record_size > data_buffer;
    const uint32_t per_read =
        per_block * static_cast<uint32_t>(std::max<uint64_t>(1, data_buffer / block_bytes));
    uint32_t crc = 0;
    for (uint32_t first = 0; first < c.object_count; first += per_read) {
      const uint32_t in_read = std::min(per_read, c.object_count - first);
      const unsigned char* records =
          in_place ? c.Record(first)
                   : read_data(c.data_offset + uint64_t{first} * c.record_size,
                          size_t{in_read} * c.record_size);
      for (uint32_t done = 0; done < in_read; done += per_block) {
        const uint32_t count = std::min(per_block, in_read - done);
        const unsigned char* block = records + size_t{done} * c.record_size;
        crc = crc32c::Extend(crc, block, size_t{count} * c.record_size);
        if (!fault.empty()) continue;
        for (const FieldCheck& k : checks) {
          uint32_t bad = CheckFieldRun(k, block, c.record_size, count, &heap);
          if (bad != count) {
            fault = DescribeFieldFault(c, first + done + bad, *k.member);
            break;
          }
        }
      }
    }
    data_crcs[c.index] = crc;
  }
  heap.Finish();

  for (const ClassInfo& c : classes_) {
    if (data_crcs[c.index] != c.data_crc) {
      fail("checksum mismatch in object data of " + ClassLabel(c) + " at offset " +
           Num(c.data_offset));
    }
  }
  if (heap.crc() != heap_crc_) fail("checksum mismatch in heap at offset " + Num(heap_offset_));
  if (!fault.empty()) fail(fault);
}

std::string Repository::CheckPaddingRecords(const ClassInfo& c) const {
  // A class whose members store nothing has one-byte records that are 0.
  for (uint32_t i = 0; i < c.member_count; i++) {
    if (FieldWidth(c.members[i].type) != 0) return "";
  }
  for (uint32_t i = 0; i < c.object_count; i++) {
    if (c.data[i] != 0) {
      return "object " + Num(uint64_t{i}) + " of " + ClassLabel(c) + ": padding byte is not 0";
    }
  }
  return "";
}

uint32_t Repository::CheckFieldRun(const FieldCheck& k, const unsigned char* block,
                                   uint32_t record_size, uint32_t count, HeapWindow* heap) const {
  const uint64_t heap_len = heap_length_;
  const unsigned char* f = block + k.offset;
  HeapWindow::View v = heap->view();
  switch (k.kind) {
    case FieldKind::kString:
      for (uint32_t i = 0; i < count; i++, f += record_size) {
        uint64_t off = DecodeFixed64(f);
        if (off == 0) {
          if (!k.nullable) return i;
          continue;
        }
        if (off < kHeapReserved || off > heap_len - kHeapEntryHeader - 1) return i;
        HeapWindow::Bytes entry;
        if (off >= v.base && off + kHeapEntryHeader <= v.end) {
          entry = HeapWindow::Bytes{v.buffer + (off - v.base), v.limit};
        } else {
          entry = heap->Slow(off, kHeapEntryHeader);
          v = heap->view();
        }
        uint64_t len = DecodeFixed32(entry.p);
        if (len > heap_len - off - kHeapEntryHeader - 1) return i;
        // An entry from the window must end inside it too (one from the
        // mapping is readable whole).
        if (entry.end == v.limit && off + kHeapEntryHeader + len + 1 > v.end) {
          entry = heap->Slow(off, kHeapEntryHeader + len + 1);
          v = heap->view();
        }
        const unsigned char* s = entry.p + kHeapEntryHeader;
        if (s[len] != 0 || !IsValidHeapText(s, len, entry.end)) return i;
      }
      return count;
    case FieldKind::kBlob:
      for (uint32_t i = 0; i < count; i++, f += record_size) {
        uint64_t off = DecodeFixed64(f);
        if (off == 0) continue;
        if (off < kHeapReserved || off > heap_len - kHeapEntryHeader) return i;
        const unsigned char* head;
        if (off >= v.base && off + kHeapEntryHeader <= v.end) {
          head = v.buffer + (off - v.base);
        } else {
          head = heap->Slow(off, kHeapEntryHeader).p;
          v = heap->view();
        }
        uint64_t len = DecodeFixed32(head);
        if (len > heap_len - off - kHeapEntryHeader || len > uint64_t{INT32_MAX}) return i;
      }
      return count;
    case FieldKind::kRef: {
      const uint32_t class_count = static_cast<uint32_t>(classes_.size());
      const ClassInfo* classes = classes_.data();
      for (uint32_t i = 0; i < count; i++, f += record_size) {
        uint32_t ci = DecodeFixed32(f);
        uint32_t target = DecodeFixed32(f + 4);
        if (ci == kUnsetIndex) {
          if (!k.nullable || target != kUnsetIndex) return i;
        } else if (ci >= class_count || target >= classes[ci].object_count) {
          return i;
        }
      }
      return count;
    }
  }
  return 0;
}

std::string Repository::CheckDirectoryRules() const {
  // Reserved fields.
  if (DecodeFixed32(dir_ + kPrefixReserved32) != 0 ||
      DecodeFixed64(dir_ + kPrefixReserved64) != 0) {
    return "directory: reserved field not zero";
  }
  const unsigned char* class_table = dir_ + kPrefixSize;
  const unsigned char* member_table = class_table + uint64_t{kClassEntrySize} * classes_.size();
  for (const ClassInfo& c : classes_) {
    const unsigned char* e = class_table + uint64_t{kClassEntrySize} * c.index;
    if (!AllZero(e + kClassReserved, kClassReservedLength)) {
      return "class entry " + Num(uint64_t{c.index}) + ": reserved bytes not zero";
    }
  }
  for (const MemberInfo& m : members_) {
    const unsigned char* e = member_table + uint64_t{kMemberEntrySize} * m.index;
    if ((e[kMemberFlags] & ~kFlagNullable) != 0) {
      return "member entry " + Num(uint64_t{m.index}) + ": unknown flag bits set";
    }
    if (DecodeFixed16(e + kMemberReserved16) != 0 ||
        !AllZero(e + kMemberReserved, kMemberReservedLength)) {
      return "member entry " + Num(uint64_t{m.index}) + ": reserved bytes not zero";
    }
  }
  if (!AllZero(heap_, kHeapReserved)) return "heap: the first 8 bytes are not zero";

  // Names, and uniqueness of numbers and names: of the classes, then of the
  // members within each class.
  std::unordered_map<int32_t, uint32_t> numbers;
  std::unordered_map<std::string_view, uint32_t> names;
  // The fault of one entry against those checked before it, or "".
  auto check_entry = [&](const std::string& entry, const char* kind, const char* name,
                         uint32_t name_length, int32_t number, uint32_t index) -> std::string {
    const Status name_ok = CheckName(std::string_view(name, name_length));
    if (!name_ok.ok()) return entry + ": name " + name_ok.message();
    auto num = numbers.emplace(number, index);
    if (!num.second) {
      return entry + ": " + kind + " number " + Num(number) + " is also used by " + kind +
             " entry " + Num(uint64_t{num.first->second});
    }
    auto nm = names.emplace(std::string_view(name, name_length), index);
    if (!nm.second) {
      return entry + ": " + kind + " name " + std::string(name, name_length) +
             " is also used by " + kind + " entry " + Num(uint64_t{nm.first->second});
    }
    return std::string();
  };
  numbers.reserve(classes_.size());
  names.reserve(classes_.size());
  for (const ClassInfo& c : classes_) {
    std::string fault = check_entry("class entry " + Num(uint64_t{c.index}), "class", c.name,
                                    c.name_length, c.number, c.index);
    if (!fault.empty()) return fault;
  }
  for (const ClassInfo& c : classes_) {
    numbers.clear();
    names.clear();
    for (uint32_t i = 0; i < c.member_count; i++) {
      const MemberInfo& m = c.members[i];
      std::string fault =
          check_entry(ClassLabel(c) + ", member entry " + Num(uint64_t{m.index}), "member",
                      m.name, m.name_length, m.number, m.index);
      if (!fault.empty()) return fault;
    }
  }
  return std::string();
}

std::string Repository::DescribeFieldFault(const ClassInfo& c, uint32_t object,
                                           const MemberInfo& m) const {
  std::string where = "object " + Num(uint64_t{object}) + " of " + ClassLabel(c) + ", member " +
                      Num(m.number) + " (" + std::string(m.name, m.name_length) + "): ";
  const unsigned char* f = c.Record(object) + m.field_offset;
  if (IsReference(m.type)) {
    uint32_t ci = DecodeFixed32(f);
    uint32_t target = DecodeFixed32(f + 4);
    if (ci == kUnsetIndex && target != kUnsetIndex) {
      return where + "unset reference with object index " + Num(uint64_t{target});
    }
    if (ci == kUnsetIndex) return where + "unset reference in a member that does not allow null";
    if (ci >= classes_.size()) {
      return where + "reference to class index " + Num(uint64_t{ci}) + " out of range (" +
             Num(uint64_t{classes_.size()}) + " classes)";
    }
    return where + "reference to object " + Num(uint64_t{target}) + " of " +
           ClassLabel(classes_[ci]) + ", which has " + Num(uint64_t{classes_[ci].object_count}) +
           " objects";
  }
  const bool is_string = m.type == wqTypeString;
  const char* kind = is_string ? "string" : "blob";
  const uint64_t tail = is_string ? 1 : 0;
  uint64_t off = DecodeFixed64(f);
  if (off == 0) return where + "null string in a member that does not allow null";
  if (off < kHeapReserved || off > heap_length_ - kHeapEntryHeader - tail) {
    return where + kind + " offset " + Num(off) + " out of heap bounds";
  }
  uint64_t len = DecodeFixed32(heap_ + off);
  if (len > heap_length_ - off - kHeapEntryHeader - tail) {
    return where + kind + " at heap offset " + Num(off) + " with length " + Num(len) +
           " runs past the end of the heap";
  }
  if (!is_string) return where + "blob at heap offset " + Num(off) + " is too long";
  const unsigned char* s = heap_ + off + kHeapEntryHeader;
  if (s[len] != 0) return where + "string at heap offset " + Num(off) + " is not NUL-terminated";
  size_t bad = FindInvalidUtf8(s, len);
  return where + "string at heap offset " + Num(off) + ": " +
         (s[bad] == 0 ? "NUL byte" : "invalid UTF-8") + " at byte " + Num(uint64_t{bad});
}

}  // namespace wqstore
