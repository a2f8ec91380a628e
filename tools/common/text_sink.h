// TextSink: the large buffered writer that wqdump's formats write through,
// to standard output or to a file that replaces its target atomically (a
// temporary file in the same folder, renamed at the end). Values are
// formatted straight into the buffer: Room(n) hands out space for n bytes
// and Commit keeps what was written. The first write error is kept and
// later output discarded; Finish reports it.
#ifndef WQSQL_TOOLS_COMMON_TEXT_SINK_H_
#define WQSQL_TOOLS_COMMON_TEXT_SINK_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "platform/status.h"
#include "store/atomic_file.h"

namespace wqtools {

class TextSink {
 public:
  static constexpr size_t kBufferSize = 1 << 20;
  // The most Room may be asked for at once.
  static constexpr size_t kRoomMax = 64 * 1024;

  // Writes to standard output.
  TextSink();
  // Writes to a temporary file that Finish renames to `path`; a sink that
  // is dropped unfinished leaves nothing behind.
  static Status ToFile(const std::string& path, std::unique_ptr<TextSink>* sink);

  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  char* Room(size_t n) {
    if (static_cast<size_t>(limit_ - cur_) < n) Drain();
    return cur_;
  }
  void Commit(char* end) { cur_ = end; }
  void Write(const char* s, size_t n) {
    if (static_cast<size_t>(limit_ - cur_) >= n) {
      std::memcpy(cur_, s, n);
      cur_ += n;
    } else {
      WriteLong(s, n);
    }
  }
  template <size_t N>
  void Text(const char (&s)[N]) {
    Write(s, N - 1);
  }
  void Str(const char* s) { Write(s, std::strlen(s)); }
  void Put(char c) {
    if (cur_ == limit_) Drain();
    *cur_++ = c;
  }

  bool failed() const { return !status_.ok(); }
  // Writes out what is buffered and, for a file, renames it into place.
  // Fails with the first write error.
  Status Finish();

 private:
  // Empties the buffer.
  void Drain();
  void WriteLong(const char* s, size_t n);

  std::unique_ptr<char[]> buffer_;
  char* cur_;
  char* limit_;
  std::unique_ptr<wqstore::AtomicFile> file_;  // null: standard output
  std::string target_;                         // the file's path as messages show it
  Status status_;
};

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_TEXT_SINK_H_
