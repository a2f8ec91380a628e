// TextSink: the writes to standard output or the atomic file.
#include "tools/common/text_sink.h"

#include <unistd.h>

#include "platform/fd_io.h"
#include "platform/text.h"

namespace wqtools {

TextSink::TextSink() : BufferedWriter(kBufferSize) {}

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

bool TextSink::Emit(const char* p, size_t n) {
  if (file_ != nullptr) {
    status_ = file_->Append(p, n);  // names the temporary file and why
    return status_.ok();
  }
  const int err = WriteFully(STDOUT_FILENO, p, n, -1);
  if (err != 0) status_ = Status::Error("cannot write to standard output: " + ErrnoText(err));
  return err == 0;
}

Status TextSink::Finish() {
  Flush();
  if (failed()) return status_;
  if (file_ != nullptr) {
    const Status committed = file_->Commit();
    if (!committed.ok())
      return Status::Error("cannot write " + target_ + ": " + committed.message());
  }
  return Status::OK();
}

}  // namespace wqtools
