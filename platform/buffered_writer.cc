// BufferedWriter: flushing, long writes and padding.
#include "platform/buffered_writer.h"

BufferedWriter::BufferedWriter(size_t size)
    : owned_(new char[size]), buffer_(owned_.get()), cur_(buffer_), limit_(buffer_ + size) {}

void BufferedWriter::Send(const char* p, size_t n) {
  if (n > 0 && !failed_ && !Emit(p, n)) failed_ = true;
}

void BufferedWriter::Flush() {
  const size_t n = static_cast<size_t>(cur_ - buffer_);
  cur_ = buffer_;
  Send(buffer_, n);
}

void BufferedWriter::WriteLong(const char* s, size_t n) {
  Flush();
  if (n >= static_cast<size_t>(limit_ - buffer_)) {
    Send(s, n);
    return;
  }
  std::memcpy(cur_, s, n);
  cur_ += n;
}

void BufferedWriter::Pad(size_t n) {
  while (n > 0) {
    if (cur_ == limit_) Flush();
    size_t k = static_cast<size_t>(limit_ - cur_);
    if (k > n) k = n;
    std::memset(cur_, ' ', k);
    cur_ += k;
    n -= k;
  }
}
