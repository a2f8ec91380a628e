// BufferedWriter: the one buffered writer of text output. Text is formatted
// straight into its buffer: Room(n) hands out space for n bytes (at most
// kRoomMax) and Commit keeps what was written there. The buffer goes to the
// target, which a subclass provides, when it is full, on Flush and, when
// line buffered, at each line end. The first failure of the target is kept
// and later output discarded.
#ifndef WQSQL_PLATFORM_BUFFERED_WRITER_H_
#define WQSQL_PLATFORM_BUFFERED_WRITER_H_

#include <cstddef>
#include <cstring>
#include <memory>

class BufferedWriter {
 public:
  // The most Room may be asked for at once.
  static constexpr size_t kRoomMax = 64 * 1024;

  virtual ~BufferedWriter() = default;
  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  char* Room(size_t n) {
    if (static_cast<size_t>(limit_ - cur_) < n) Flush();
    return cur_;
  }
  void Commit(char* end) { cur_ = end; }
  // The room after `p`, a position in the current room.
  size_t Left(const char* p) const { return static_cast<size_t>(limit_ - p); }

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
    if (cur_ == limit_) Flush();
    *cur_++ = c;
  }
  // Writes `n` blanks.
  void Pad(size_t n);
  // Ends the line: a newline, and a flush when line buffered.
  void EndLine() {
    Put('\n');
    if (line_buffered_) Flush();
  }
  // Writes the newline at `p`, a position in the current room, and keeps
  // the line: the same bytes as Commit(p) and EndLine().
  void EndLineAt(char* p) {
    *p++ = '\n';
    cur_ = p;
    if (line_buffered_) Flush();
  }

  // Hands what is buffered to the target.
  void Flush();

  bool failed() const { return failed_; }
  bool line_buffered() const { return line_buffered_; }
  void set_line_buffered(bool on) { line_buffered_ = on; }

 protected:
  // `buffer` holds `size` bytes, at least kRoomMax, and outlives the writer.
  constexpr BufferedWriter(char* buffer, size_t size)
      : buffer_(buffer), cur_(buffer), limit_(buffer + size) {}
  // A buffer of `size` bytes, at least kRoomMax, of its own.
  explicit BufferedWriter(size_t size);

  // Writes the `n` bytes at `p` to the target; false when it failed.
  virtual bool Emit(const char* p, size_t n) = 0;
  // For a writer whose target changes: the failure state of the new one.
  void set_failed(bool failed) { failed_ = failed; }

 private:
  // Write of more than the room left: flushes, then buffers the bytes or,
  // when they are at least a buffer's worth, hands them over directly.
  void WriteLong(const char* s, size_t n);
  void Send(const char* p, size_t n);

  std::unique_ptr<char[]> owned_;  // the buffer, when it is the writer's own
  char* const buffer_;
  char* cur_;          // end of the buffered bytes
  char* const limit_;  // end of the buffer
  bool line_buffered_ = false;
  bool failed_ = false;
};

#endif  // WQSQL_PLATFORM_BUFFERED_WRITER_H_
