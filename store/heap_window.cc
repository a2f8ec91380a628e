// HeapWindow: serving heap entries from the window or the mapping, and
// reading the heap forward in pieces.
#include "store/heap_window.h"

#include <algorithm>
#include <cstring>

#include "store/crc32c.h"

namespace wqstore {

HeapWindow::HeapWindow(const MappedFile& file, uint64_t heap_offset, const unsigned char* heap,
                       uint64_t heap_length, size_t capacity, size_t read, size_t keep)
    : file_(file),
      heap_offset_(heap_offset),
      heap_(heap),
      length_(heap_length),
      whole_(heap_length <= capacity),
      capacity_(whole_ ? static_cast<size_t>(heap_length) : capacity),
      read_(read),
      keep_(whole_ ? capacity_ : keep),
      buffer_(new unsigned char[capacity_ + kWindowOverRead]) {
  std::memset(buffer_.get() + capacity_, 0, kWindowOverRead);  // read, never used
}

Status HeapWindow::Slow(uint64_t off, uint64_t n, Bytes* bytes) {
  // Behind the window, or too big to fit: the mapping has every byte.
  if (off < base_ || (!whole_ && n > capacity_ - keep_)) {
    *bytes = Bytes{heap_ + off, heap_ + length_};
    return Status::OK();
  }
  while (end_ < off + n) WQ_RETURN_IF_ERROR(ReadMore(off));
  *bytes = Bytes{buffer_.get() + (off - base_), buffer_.get() + capacity_ + kWindowOverRead};
  return Status::OK();
}

Status HeapWindow::Finish() {
  while (end_ < length_) {
    base_ = end_;  // nothing needs keeping any more
    WQ_RETURN_IF_ERROR(ReadMore(length_));
  }
  if (sums_ != nullptr) Sync();
  return Status::OK();
}

// Reads the next piece of the heap, first making room by dropping what lies
// before both `keep_from` and the last keep_ bytes. Each call reads at least
// one byte: an entry the window serves is at most capacity_ - keep_ long,
// and one that starts before the kept bytes keeps less than its own length.
Status HeapWindow::ReadMore(uint64_t keep_from) {
  size_t held = static_cast<size_t>(end_ - base_);
  if (capacity_ - held < read_ || held == capacity_) {
    uint64_t from = end_ - std::min<uint64_t>(keep_, held);
    from = std::max(base_, std::min(keep_from, from));
    if (from > base_) {
      if (sums_ != nullptr) Sync();
      held = static_cast<size_t>(end_ - from);
      std::memmove(buffer_.get(), buffer_.get() + (from - base_), held);
      base_ = from;
    }
  }
  const size_t n =
      static_cast<size_t>(std::min<uint64_t>({read_, capacity_ - held, length_ - end_}));
  unsigned char* to = buffer_.get() + held;
  if (sums_ != nullptr && held < pending_end_) Sync();
  WQ_RETURN_IF_ERROR(file_.ReadAt(heap_offset_ + end_, to, n));
  if (sums_ != nullptr) {
    sums_->Add(to, n);
    pending_end_ = held + n;
  } else {
    crc_ = crc32c::Extend(crc_, to, n);
  }
  end_ += n;
  return Status::OK();
}

}  // namespace wqstore
