// Validate: the full check of a repository file. Every checksum (header,
// directory, each class's object data, heap) and every structural rule:
// reserved fields, names, uniqueness of class and member numbers and names,
// and every value of every object (heap entries in bounds, strings
// well-formed UTF-8, references resolving, non-nullable members set).
// Checksums and object checks share one pass over the file, but a checksum
// fault is always the one reported. The per-object loops only ask "is this
// field sound"; the wording of a fault is worked out afterwards, off the
// fast path (validator_rules.cc).
//
// The pass reads the file with pread into a few reused buffers that stay in
// cache, not through the mapping: touching every page of a big mapping
// costs the kernel more (building and tearing down its page tables) than
// the copy does. Two streams run side by side: the object data block by
// block, read and checksummed ahead on a worker thread (DataReadAhead)
// while this one checks the records read before, and the heap (a
// HeapWindow) a little ahead of the entries the records point at; that
// thread also sums the heap as it is read. Whatever the streams cannot
// serve (an entry behind the heap window, a record bigger than the buffer)
// is read through the mapping, so any file is checked the same way, only
// the usual layout faster.
#include "store/validator.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/coding.h"
#include "store/crc32c.h"
#include "store/data_types.h"
#include "store/format.h"
#include "store/heap_window.h"
#include "store/validator_rules.h"

namespace wqstore {

using namespace format;

namespace {

// One field of a record that the pass checks: a string, a blob or a
// reference (ints, doubles and chars take any bits).
struct FieldCheck {
  uint32_t offset;
  ValueKind kind;
  bool nullable;
  const MemberInfo* member;
};

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

// Checks field k of `count` records from `block` and sets *bad to the index
// of the first unsound one, or to count. Fails only when the heap cannot be
// read. Kept out of the pass: inlined there it compiles to slower loops.
__attribute__((noinline)) Status CheckFieldRun(const Reader& reader, const FieldCheck& k,
                                               const unsigned char* block, uint32_t record_size,
                                               uint32_t count, HeapWindow* heap, uint32_t* bad) {
  const uint64_t heap_len = reader.heap_length();
  const unsigned char* f = block + k.offset;
  HeapWindow::View v = heap->view();
  // Each loop stops at the first unsound record; i is then its index.
  uint32_t i = 0;
  switch (k.kind) {
    case ValueKind::kString:
      for (; i < count; i++, f += record_size) {
        const uint64_t off = DecodeFixed64(f);
        if (off == 0) {
          if (!k.nullable) break;
          continue;
        }
        if (!HeapEntryFits(off, 0, kStringTail, heap_len)) break;
        // `read` takes what Slow gives, so that `entry` stays in registers.
        HeapWindow::Bytes entry, read;
        if (off >= v.base && off + kHeapEntryHeader <= v.end) {
          entry = HeapWindow::Bytes{v.buffer + (off - v.base), v.limit};
        } else {
          WQ_RETURN_IF_ERROR(heap->Slow(off, kHeapEntryHeader, &read));
          entry = read;
          v = heap->view();
        }
        const uint64_t len = DecodeFixed32(entry.p);
        if (!HeapEntryFits(off, len, kStringTail, heap_len)) break;
        // An entry from the window must end inside it too (one from the
        // mapping is readable whole).
        if (entry.end == v.limit && off + kHeapEntryHeader + len + kStringTail > v.end) {
          WQ_RETURN_IF_ERROR(heap->Slow(off, kHeapEntryHeader + len + kStringTail, &read));
          entry = read;
          v = heap->view();
        }
        const unsigned char* s = entry.p + kHeapEntryHeader;
        if (s[len] != 0 || !IsValidHeapText(s, len, entry.end)) break;
      }
      break;
    case ValueKind::kBlob:
      for (; i < count; i++, f += record_size) {
        const uint64_t off = DecodeFixed64(f);
        if (off == 0) continue;
        if (!HeapEntryFits(off, 0, kBlobTail, heap_len)) break;
        const unsigned char* head;
        if (off >= v.base && off + kHeapEntryHeader <= v.end) {
          head = v.buffer + (off - v.base);
        } else {
          HeapWindow::Bytes read;
          WQ_RETURN_IF_ERROR(heap->Slow(off, kHeapEntryHeader, &read));
          head = read.p;
          v = heap->view();
        }
        const uint64_t len = DecodeFixed32(head);
        if (!HeapEntryFits(off, len, kBlobTail, heap_len) || len > kMaxBlobLength) break;
      }
      break;
    case ValueKind::kRef: {
      const uint32_t class_count = reader.class_count();
      const ClassInfo* classes = reader.classes().data();
      for (; i < count; i++, f += record_size) {
        const uint32_t ci = DecodeFixed32(f);
        const uint32_t target = DecodeFixed32(f + 4);
        if (ci == kUnsetIndex) {
          if (!k.nullable || target != kUnsetIndex) break;
        } else if (ci >= class_count || target >= classes[ci].object_count) {
          break;
        }
      }
      break;
    }
    default:  // no other kind is checked
      i = count;
      break;
  }
  *bad = i;
  return Status::OK();
}

// One read of object data: `length` bytes at `offset` of the file, part of
// the data of class `class_index`.
struct DataPiece {
  uint64_t offset;
  size_t length;
  uint32_t class_index;
};

// The lock and the signals that the pass and the worker thread share.
struct Handoff {
  std::mutex mu;
  std::condition_variable work;  // for the worker: a buffer is free, a heap piece came, or stop
  std::condition_variable done;  // for the pass: a piece was read, or a heap piece is done
};

// The worker's first job: the heap's checksum, worked out from the pieces
// the HeapWindow reads, before any more object data is read.
class HeapSums : public HeapChecksum {
 public:
  static constexpr size_t kPieces = 8;

  explicit HeapSums(Handoff* handoff) : h_(*handoff) {}

  void Add(const unsigned char* p, size_t n) override {
    std::unique_lock<std::mutex> lock(h_.mu);
    h_.done.wait(lock, [this] { return added_ - summed_ < kPieces; });
    pieces_[added_ % kPieces] = {p, n};
    added_++;
    h_.work.notify_one();
  }

  uint32_t Wait() override {
    std::unique_lock<std::mutex> lock(h_.mu);
    h_.done.wait(lock, [this] { return summed_ == added_; });
    return crc_;
  }

  // For the worker, under `lock`: whether a piece waits, and summing it
  // (with the lock released meanwhile).
  bool Pending() const { return added_ > summed_; }
  void SumNext(std::unique_lock<std::mutex>& lock) {
    const Piece piece = pieces_[summed_ % kPieces];
    uint32_t crc = crc_;
    lock.unlock();
    crc = crc32c::Extend(crc, piece.p, piece.n);
    lock.lock();
    crc_ = crc;
    summed_++;
    h_.done.notify_all();
  }

 private:
  struct Piece {
    const unsigned char* p;
    size_t n;
  };

  Handoff& h_;
  Piece pieces_[kPieces];
  size_t added_ = 0;
  size_t summed_ = 0;
  uint32_t crc_ = 0;
};

// The worker's second job: the object data read ahead, the pieces in order,
// each into one of a few buffers, each with the checksum of its class's
// data up to its end. The pass meanwhile checks the records of the piece
// before. A read that fails ends the reading; the pass meets its fault
// where it would have read the piece itself.
class DataReadAhead {
 public:
  static constexpr size_t kSlots = 4;

  DataReadAhead(Handoff* handoff, const MappedFile& file, const std::vector<DataPiece>& pieces,
                size_t buffer)
      : h_(*handoff), file_(file), pieces_(pieces), end_(pieces.size()) {
    for (Slot& s : slots_) s.bytes.reset(new unsigned char[buffer + 1]);
  }

  // Waits for the next piece and hands out its bytes and its class's
  // checksum so far; they stay valid until the call after.
  Status Next(const unsigned char** bytes, uint32_t* crc) {
    std::unique_lock<std::mutex> lock(h_.mu);
    if (taken_) {
      taken_ = false;  // the piece handed out before is done with
      consumed_++;
      h_.work.notify_one();
    }
    h_.done.wait(lock, [this] { return produced_ > consumed_; });
    const Slot& s = slots_[consumed_ % kSlots];
    taken_ = true;
    *bytes = s.bytes.get();
    *crc = s.crc;
    return s.status;
  }

  // For the worker, under `lock`: whether a piece is to be read and a
  // buffer is free for it, and reading it (with the lock released meanwhile).
  bool Pending() const { return produced_ < end_ && produced_ - consumed_ < kSlots; }
  void ReadNext(std::unique_lock<std::mutex>& lock) {
    const size_t next = produced_;
    const DataPiece& piece = pieces_[next];
    Slot& s = slots_[next % kSlots];
    lock.unlock();
    if (next == 0 || pieces_[next - 1].class_index != piece.class_index) crc_ = 0;
    s.status = file_.ReadAt(piece.offset, s.bytes.get(), piece.length);
    if (s.status.ok()) crc_ = crc32c::Extend(crc_, s.bytes.get(), piece.length);
    s.crc = crc_;
    lock.lock();
    if (!s.status.ok()) end_ = next + 1;  // nothing after a failed read
    produced_ = next + 1;
    h_.done.notify_all();
  }

 private:
  struct Slot {
    std::unique_ptr<unsigned char[]> bytes;
    Status status;
    uint32_t crc = 0;
  };

  Handoff& h_;
  const MappedFile& file_;
  const std::vector<DataPiece>& pieces_;
  Slot slots_[kSlots];
  size_t end_;        // of the pieces to read
  uint32_t crc_ = 0;  // the worker's running checksum of the class being read
  size_t produced_ = 0;
  size_t consumed_ = 0;
  bool taken_ = false;
};

// The second thread, doing both jobs, the heap's first; stopped and joined
// when it goes.
class Worker {
 public:
  Worker(Handoff* handoff, HeapSums* heap, DataReadAhead* data)
      : h_(*handoff), heap_(*heap), data_(*data), thread_([this] { Run(); }) {}
  ~Worker() {
    {
      std::lock_guard<std::mutex> lock(h_.mu);
      stop_ = true;
    }
    h_.work.notify_one();
    thread_.join();
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(h_.mu);
    for (;;) {
      h_.work.wait(lock, [this] { return stop_ || heap_.Pending() || data_.Pending(); });
      if (stop_) return;
      if (heap_.Pending()) {
        heap_.SumNext(lock);
      } else {
        data_.ReadNext(lock);
      }
    }
  }

  Handoff& h_;
  HeapSums& heap_;
  DataReadAhead& data_;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is set
};

// Buffer sizes as used: each at least 1, and the heap window big enough
// for what is kept plus one read.
ValidateBuffers Sane(ValidateBuffers b) {
  if (b.data == 0) b.data = 1;
  if (b.heap_read == 0) b.heap_read = 1;
  if (b.heap < b.heap_keep + b.heap_read) b.heap = b.heap_keep + b.heap_read;
  return b;
}

// The fields of class c that the pass checks, appended to *checks.
void AddFieldChecks(const ClassInfo& c, std::vector<FieldCheck>* checks) {
  for (uint32_t i = 0; i < c.member_count; i++) {
    const MemberInfo& m = c.members[i];
    const ValueKind kind = KindOf(m.type);
    if (kind == ValueKind::kString || kind == ValueKind::kBlob || kind == ValueKind::kRef) {
      checks->push_back({m.field_offset, kind, m.nullable, &m});
    }
  }
}

// How the pass goes through the records of one class.
struct ClassPlan {
  uint64_t first_check = 0;  // its fields to check: PassPlan::checks from here on
  uint32_t check_count = 0;
  // Records with fields to check are checked per_block at a time and read
  // ahead per_read at a time, or (a block bigger than the buffer) checked
  // in place. Records without are only checksummed, read ahead in pieces
  // of the buffer's size.
  uint32_t per_block = 0;
  uint32_t per_read = 0;
  bool in_place = false;
};

// The plan of the whole pass, made once before it starts.
struct PassPlan {
  std::vector<FieldCheck> checks;  // of every class, class after class
  std::vector<ClassPlan> classes;
  std::vector<DataPiece> pieces;  // the reads ahead, in file order
};

// Plans class c with a data buffer of `buffer` bytes: its ClassPlan and
// its reads ahead.
void PlanClass(const ClassInfo& c, size_t buffer, PassPlan* pass) {
  ClassPlan& plan = pass->classes[c.index];
  plan.first_check = pass->checks.size();
  AddFieldChecks(c, &pass->checks);
  plan.check_count = static_cast<uint32_t>(pass->checks.size() - plan.first_check);
  if (plan.check_count == 0) {
    const uint64_t data_length = uint64_t{c.object_count} * c.record_size;
    for (uint64_t done = 0; done < data_length;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer, data_length - done));
      pass->pieces.push_back({c.data_offset + done, n, c.index});
      done += n;
    }
    return;
  }
  plan.per_block =
      c.record_size >= kScanBlock ? 1 : static_cast<uint32_t>(kScanBlock / c.record_size);
  const uint64_t block_bytes = uint64_t{plan.per_block} * c.record_size;
  // Whole blocks per read; a block bigger than the buffer is read in place.
  plan.in_place = uint64_t{std::min(plan.per_block, c.object_count)} * c.record_size > buffer;
  plan.per_read =
      plan.per_block * static_cast<uint32_t>(std::max<uint64_t>(1, buffer / block_bytes));
  if (plan.in_place) return;
  for (uint32_t first = 0; first < c.object_count; first += plan.per_read) {
    const uint32_t in_read = std::min(plan.per_read, c.object_count - first);
    pass->pieces.push_back({c.data_offset + uint64_t{first} * c.record_size,
                            size_t{in_read} * c.record_size, c.index});
  }
}

PassPlan PlanPass(const std::vector<ClassInfo>& classes, size_t buffer) {
  PassPlan pass;
  pass.classes.resize(classes.size());
  for (const ClassInfo& c : classes) PlanClass(c, buffer, &pass);
  return pass;
}

// Checks `count` records of class c from `records`, the first of them
// object `first`, block by block; sets *fault to the first unsound field.
// Fails only when the heap cannot be read.
Status CheckRecords(const Reader& reader, const ClassInfo& c, const ClassPlan& plan,
                    const FieldCheck* checks, const unsigned char* records, uint32_t first,
                    uint32_t count, HeapWindow* heap, Status* fault) {
  for (uint32_t done = 0; done < count; done += plan.per_block) {
    const uint32_t in_block = std::min(plan.per_block, count - done);
    const unsigned char* block = records + size_t{done} * c.record_size;
    for (const FieldCheck* k = checks; k != checks + plan.check_count; k++) {
      uint32_t bad = in_block;
      WQ_RETURN_IF_ERROR(CheckFieldRun(reader, *k, block, c.record_size, in_block, heap, &bad));
      if (bad != in_block) {
        *fault = Status::Error(DescribeFieldFault(reader, c, first + done + bad, *k->member));
        return Status::OK();
      }
    }
  }
  return Status::OK();
}

// The checksums of the object data and the heap that the pass worked out,
// against those the directory gives.
Status CompareChecksums(const Reader& reader, const std::vector<uint32_t>& data_crcs,
                        uint32_t heap_crc) {
  for (const ClassInfo& c : reader.classes()) {
    if (data_crcs[c.index] != c.data_crc) {
      return Status::Error("checksum mismatch in object data of " + ClassLabel(c) + " at offset " +
                           Num(c.data_offset));
    }
  }
  if (heap_crc != reader.heap_crc()) {
    return Status::Error("checksum mismatch in heap at offset " + Num(reader.heap_offset()));
  }
  return Status::OK();
}

// The whole pass; the fault without the file's name.
Status CheckFile(const Reader& reader, const ValidateBuffers& buffers,
                 const ValidateProgress& progress) {
  const ValidateBuffers sizes = Sane(buffers);
  const MappedFile& file = reader.file();
  const unsigned char* p = file.data();
  const uint64_t heap_offset = reader.heap_offset();
  const uint64_t data_start = kHeaderSize + reader.directory_length();
  const std::vector<ClassInfo>& classes = reader.classes();
  file.AdviseSequential();

  // Header and directory checksums come first: every rule below reads the
  // directory.
  if (crc32c::Value(p, kHeaderCrc) != DecodeFixed32(p + kHeaderCrc)) {
    return Status::Error("checksum mismatch in header");
  }
  if (crc32c::Value(reader.directory(), reader.directory_length()) !=
      DecodeFixed32(p + kHeaderDirCrc)) {
    return Status::Error("checksum mismatch in directory at offset " + Num(kHeaderSize));
  }

  // The first structural fault is kept, not returned, until every checksum
  // has been compared: damage is reported as damage, not as whatever rule
  // the damaged bytes happen to break.
  Status fault = CheckDirectoryRules(reader);

  // Object data and heap in one pass: each block of records is
  // checksummed and then checked while it is in cache, and the heap
  // is read and checksummed just ahead of the entries the records point at.
  HeapWindow heap(file, heap_offset, reader.heap(), reader.heap_length(), sizes.heap,
                  sizes.heap_read, sizes.heap_keep);
  const size_t data_buffer =
      static_cast<size_t>(std::min<uint64_t>(sizes.data, heap_offset - data_start));
  const PassPlan pass = PlanPass(classes, data_buffer);
  Handoff handoff;
  HeapSums heap_sums(&handoff);
  DataReadAhead ahead(&handoff, file, pass.pieces, data_buffer);
  const Worker worker(&handoff, &heap_sums, &ahead);
  heap.set_checksum(&heap_sums);
  std::vector<uint32_t> data_crcs(classes.size(), 0);
  // Bytes done: everything before the data read so far, and the heap read.
  auto report = [&](uint64_t data_end) {
    if (progress.report != nullptr) {
      progress.report(data_end + heap.view().end, file.size(), progress.context);
    }
  };

  size_t piece = 0;  // the next read ahead
  for (const ClassInfo& c : classes) {
    const ClassPlan& plan = pass.classes[c.index];
    if (plan.check_count == 0) {
      for (; piece < pass.pieces.size() && pass.pieces[piece].class_index == c.index; piece++) {
        const unsigned char* bytes;
        WQ_RETURN_IF_ERROR(ahead.Next(&bytes, &data_crcs[c.index]));
        report(pass.pieces[piece].offset + pass.pieces[piece].length);
      }
      if (fault.ok()) fault = CheckPaddingRecords(c);
      continue;
    }
    const FieldCheck* checks = pass.checks.data() + plan.first_check;
    uint32_t crc = 0;
    for (uint32_t first = 0; first < c.object_count; first += plan.per_read) {
      const uint32_t in_read = std::min(plan.per_read, c.object_count - first);
      const unsigned char* records = c.Record(first);
      if (!plan.in_place) {
        WQ_RETURN_IF_ERROR(ahead.Next(&records, &crc));
        piece++;
      } else {
        crc = crc32c::Extend(crc, records, size_t{in_read} * c.record_size);
      }
      if (fault.ok()) {
        WQ_RETURN_IF_ERROR(
            CheckRecords(reader, c, plan, checks, records, first, in_read, &heap, &fault));
      }
      report(c.data_offset + uint64_t{first + in_read} * c.record_size);
    }
    data_crcs[c.index] = crc;
  }
  WQ_RETURN_IF_ERROR(heap.Finish());
  report(heap_offset);
  WQ_RETURN_IF_ERROR(CompareChecksums(reader, data_crcs, heap.crc()));
  return fault;
}

}  // namespace

Status Validate(const Reader& reader, const std::string& display_path,
                const ValidateBuffers& buffers, const ValidateProgress& progress) {
  const Status checked = CheckFile(reader, buffers, progress);
  if (checked.ok()) return checked;
  return checked.Prefixed("repository " + display_path + ": ");
}

}  // namespace wqstore
