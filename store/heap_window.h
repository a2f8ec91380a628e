// HeapWindow: the heap as the validator reads it, front to back with pread,
// checksummed as it comes in (or by a HeapChecksum), with a window of recent bytes in which the
// entries that records point at are looked up. The per-record checks read
// the window through view() inline and call Slow only for what it does not
// hold.
#ifndef WQSQL_STORE_HEAP_WINDOW_H_
#define WQSQL_STORE_HEAP_WINDOW_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/status.h"
#include "store/mapped_file.h"

namespace wqstore {

// Bytes past the window's end that a reader of the window may read (and
// ignore): the text check loads 16 bytes at a time.
constexpr size_t kWindowOverRead = 64;

// Works out the heap's checksum from the pieces as the window reads them,
// perhaps on another thread: the bytes of a piece stay as they are until
// Wait has returned.
class HeapChecksum {
 public:
  virtual ~HeapChecksum() = default;
  // Takes the next piece of the heap.
  virtual void Add(const unsigned char* p, size_t n) = 0;
  // Returns when every piece taken is done: the checksum of them all.
  virtual uint32_t Wait() = 0;
};

class HeapWindow {
 public:
  // Heap bytes [off, off + n) at p, with [p, end) readable.
  struct Bytes {
    const unsigned char* p;
    const unsigned char* end;
  };

  // The heap of `file` is `heap_length` bytes at file offset `heap_offset`,
  // mapped at `heap`. The window holds up to `capacity` bytes (all of the
  // heap when it is no bigger), reads `read` bytes at a time and keeps at
  // least the last `keep` bytes read when it makes room.
  HeapWindow(const MappedFile& file, uint64_t heap_offset, const unsigned char* heap,
             uint64_t heap_length, size_t capacity, size_t read, size_t keep);

  // The bytes held: heap offsets [base, end) at buffer; [buffer, limit) is
  // readable. Changes only in Slow and Finish.
  struct View {
    const unsigned char* buffer;
    const unsigned char* limit;
    uint64_t base;
    uint64_t end;
  };
  View view() const {
    return View{buffer_.get(), buffer_.get() + capacity_ + kWindowOverRead, base_, end_};
  }

  // Sets *bytes to the heap bytes [off, off + n) when the view does not hold
  // them, reading on as far as needed; off + n must not pass the heap's end.
  // Valid until the next call. Fails when the file cannot be read.
  Status Slow(uint64_t off, uint64_t n, Bytes* bytes);

  // Leaves the checksum to `sums` rather than working it out as each piece
  // comes in. Set before the first read, or never.
  void set_checksum(HeapChecksum* sums) { sums_ = sums; }

  // Reads the rest of the heap into the checksum.
  Status Finish();
  uint32_t crc() const { return crc_; }

 private:
  Status ReadMore(uint64_t keep_from);
  void Sync() {
    crc_ = sums_->Wait();
    pending_end_ = 0;
  }

  const MappedFile& file_;
  const uint64_t heap_offset_;
  const unsigned char* const heap_;  // the mapping's view of the heap
  const uint64_t length_;
  const bool whole_;  // the whole heap fits: nothing is ever dropped
  const size_t capacity_;
  const size_t read_;
  const size_t keep_;
  std::unique_ptr<unsigned char[]> buffer_;
  uint64_t base_ = 0;  // heap offset of buffer_[0]
  uint64_t end_ = 0;   // heap offset after the last byte read (and checksummed)
  uint32_t crc_ = 0;
  HeapChecksum* sums_ = nullptr;
  size_t pending_end_ = 0;  // buffer_ before this may be with sums_ still
};

}  // namespace wqstore

#endif  // WQSQL_STORE_HEAP_WINDOW_H_
