// TextSink: buffer management and the writes to standard output or the
// atomic file.
#include "tools/common/text_sink.h"

#include <unistd.h>

#include <algorithm>
#include "platform/text.h"
#include "store/file_io.h"

namespace wqtools {

TextSink::TextSink()
    : buffer_(new char[kBufferSize]), cur_(buffer_.get()), limit_(buffer_.get() + kBufferSize) {}

Status TextSink::ToFile(const std::string& path, std::unique_ptr<TextSink>* sink) {
  std::unique_ptr<wqstore::AtomicFile> file;
  const Status created = wqstore::AtomicFile::Create(path, &file);
  if (!created.ok()) {
    return Status::Error("cannot write " + ShownPath(path) + ": " + created.message());
  }
  std::unique_ptr<TextSink> s(new TextSink());
  s->file_ = std::move(file);
  s->target_ = ShownPath(path);
  *sink = std::move(s);
  return Status::OK();
}

void TextSink::Drain() {
  const size_t n = static_cast<size_t>(cur_ - buffer_.get());
  cur_ = buffer_.get();
  if (n == 0 || failed()) return;
  if (file_ != nullptr) {
    const Status written = file_->Append(buffer_.get(), n);
    if (!written.ok()) status_ = written;  // names the temporary file and why
    return;
  }
  const int err = wqstore::WriteFully(STDOUT_FILENO, buffer_.get(), n, -1);
  if (err != 0) status_ = Status::Error("cannot write to standard output: " + ErrnoText(err));
}

void TextSink::WriteLong(const char* s, size_t n) {
  while (n > 0) {
    if (cur_ == limit_) Drain();
    const size_t part = std::min(n, static_cast<size_t>(limit_ - cur_));
    std::memcpy(cur_, s, part);
    cur_ += part;
    s += part;
    n -= part;
  }
}

Status TextSink::Finish() {
  Drain();
  if (failed()) return status_;
  if (file_ != nullptr) {
    const Status committed = file_->Commit();
    if (!committed.ok())
      return Status::Error("cannot write " + target_ + ": " + committed.message());
  }
  return Status::OK();
}

}  // namespace wqtools
