// The writer of standard output or a redirected target, the failure of a
// write, and the text and number writers.
#include "terminal/output.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fd_io.h"
#include "platform/text.h"

namespace out {
namespace {

// Block-buffered output goes out in chunks of this size: large enough that a
// table costs few system calls, small enough to stay in the CPU's cache.
constexpr size_t kBufferSize = 256 * 1024;
static_assert(kBufferSize >= BufferedWriter::kRoomMax, "Room must always fit");
// The pipe capacity asked for when stdout is a pipe, so that the reader does
// not wake up for every 64 KiB (the default).
constexpr int kPipeSize = 1024 * 1024;

char g_buf[kBufferSize];
int g_fd = STDOUT_FILENO;  // where Flush writes
bool g_broken = false;     // a write to g_fd failed
bool g_reported = false;   // the failure message was printed

// Standard output's state while the output is redirected.
bool g_stdout_broken = false;
bool g_stdout_line_mode = false;

TableStartHook g_table_start_hook = nullptr;
WriteFailureHook g_write_failure_hook = nullptr;

// A reader that went away (EPIPE) stops the output quietly; any other
// failure is named once.
void Fail(int err) {
  g_broken = true;
  if (err == EPIPE || g_reported) return;
  g_reported = true;
  if (g_write_failure_hook != nullptr) g_write_failure_hook(err);
}

void WriteAll(const char* p, size_t n) {
  if (g_broken) return;
  const int err = WriteFully(g_fd, p, n);
  if (err != 0) Fail(err);
}

// The buffer and its target, g_fd.
class Output final : public BufferedWriter {
 public:
  constexpr Output() : BufferedWriter(g_buf, kBufferSize) {}

  // The target's failure state after a change of target.
  void Retarget(bool failed) { set_failed(failed); }

 private:
  bool Emit(const char* p, size_t n) override {
    WriteAll(p, n);
    return !g_broken;
  }
};

Output g_out;

}  // namespace

BufferedWriter& Writer() { return g_out; }

void Init() {
  g_out.set_line_buffered(::isatty(STDOUT_FILENO) == 1);
  struct stat st;
  if (!g_out.line_buffered() && ::fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
    // Only a hint: a smaller pipe works as well, so a refusal is ignored.
    (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, kPipeSize);
  }
}

void Flush() { g_out.Flush(); }

void Write(const char* s, size_t n) { g_out.Write(s, n); }

void Put(char c) { g_out.Put(c); }

void Field(BufferedWriter& w, const char* s, int width) {
  const size_t n = std::strlen(s);
  if (width > 0 && n < static_cast<size_t>(width)) w.Pad(static_cast<size_t>(width) - n);
  w.Write(s, n);
}

void Int(BufferedWriter& w, int64_t v, int width) {
  char b[24];
  int n = std::snprintf(b, sizeof b, "%lld", static_cast<long long>(v));
  if (width > n) w.Pad(static_cast<size_t>(width - n));
  w.Write(b, static_cast<size_t>(n));
}

void Double(double v) {
  char b[32];
  int n = std::snprintf(b, sizeof b, "%g", v);
  g_out.Write(b, static_cast<size_t>(n));
}

void EndLine() { g_out.EndLine(); }

bool Broken() { return g_out.failed(); }

void SetWriteFailureHook(WriteFailureHook hook) { g_write_failure_hook = hook; }

void RedirectTo(int fd) {
  Flush();
  g_stdout_broken = g_broken;
  g_stdout_line_mode = g_out.line_buffered();
  g_fd = fd;
  g_broken = false;
  g_out.Retarget(false);
  g_out.set_line_buffered(false);
}

void EndRedirect() {
  Flush();
  g_fd = STDOUT_FILENO;
  g_broken = g_stdout_broken;
  g_out.Retarget(g_broken);
  g_out.set_line_buffered(g_stdout_line_mode);
}

void SetTableStartHook(TableStartHook hook) { g_table_start_hook = hook; }

void TableStart(int64_t width, int64_t lines) {
  if (g_table_start_hook != nullptr) g_table_start_hook(width, lines);
}

}  // namespace out
