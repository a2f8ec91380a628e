// The output buffer, its flushing to standard output or a redirected
// target, the report of a failed write, and the text and number writers.
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
static_assert(kBufferSize >= kRoomMax, "Room must always fit");
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

// A reader that went away (EPIPE) stops the output quietly; any other
// failure is named once.
void Fail(int err) {
  g_broken = true;
  if (err == EPIPE || g_reported) return;
  g_reported = true;
  const std::string message = "wqsql: cannot write output: " + ErrnoText(err) + "\n";
  if (::write(STDERR_FILENO, message.data(), message.size()) < 0) {
    // Nowhere left to say it.
  }
}

void WriteAll(const char* p, size_t n) {
  if (g_broken) return;
  const int err = WriteFully(g_fd, p, n);
  if (err != 0) Fail(err);
}

}  // namespace

namespace internal {
char* g_cur = g_buf;
char* g_limit = g_buf + kBufferSize;
bool g_line_mode = false;

void MakeRoom() { Flush(); }
}  // namespace internal

using internal::g_cur;
using internal::g_limit;

namespace {

// Writes `n` blanks.
void Pad(size_t n) {
  while (n > 0) {
    if (g_cur == g_limit) Flush();
    size_t k = static_cast<size_t>(g_limit - g_cur);
    if (k > n) k = n;
    std::memset(g_cur, ' ', k);
    g_cur += k;
    n -= k;
  }
}

}  // namespace

void Init() {
  internal::g_line_mode = ::isatty(STDOUT_FILENO) == 1;
  struct stat st;
  if (!internal::g_line_mode && ::fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
    // Only a hint: a smaller pipe works as well, so a refusal is ignored.
    (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, kPipeSize);
  }
}

void Flush() {
  WriteAll(g_buf, static_cast<size_t>(g_cur - g_buf));
  g_cur = g_buf;
}

void Write(const char* s, size_t n) {
  if (static_cast<size_t>(g_limit - g_cur) < n) {
    Flush();
    if (n > kBufferSize) {
      WriteAll(s, n);
      return;
    }
  }
  std::memcpy(g_cur, s, n);
  g_cur += n;
}

void Put(char c) {
  if (g_cur == g_limit) Flush();
  *g_cur++ = c;
}

void Field(const char* s, size_t n, size_t chars, int width) {
  if (width > 0 && chars < static_cast<size_t>(width)) Pad(static_cast<size_t>(width) - chars);
  Write(s, n);
}

void Int(int64_t v, int width) {
  char b[24];
  int n = std::snprintf(b, sizeof b, "%lld", static_cast<long long>(v));
  Field(b, static_cast<size_t>(n), static_cast<size_t>(n), width);
}

void Double(double v) {
  char b[32];
  int n = std::snprintf(b, sizeof b, "%g", v);
  Write(b, static_cast<size_t>(n));
}

void EndLine() {
  Put('\n');
  if (internal::g_line_mode) Flush();
}

bool Broken() { return g_broken; }

void RedirectTo(int fd) {
  Flush();
  g_stdout_broken = g_broken;
  g_stdout_line_mode = internal::g_line_mode;
  g_fd = fd;
  g_broken = false;
  internal::g_line_mode = false;
}

void EndRedirect() {
  Flush();
  g_fd = STDOUT_FILENO;
  g_broken = g_stdout_broken;
  internal::g_line_mode = g_stdout_line_mode;
}

void SetTableStartHook(TableStartHook hook) { g_table_start_hook = hook; }

void TableStart(int64_t width, int64_t lines) {
  if (g_table_start_hook != nullptr) g_table_start_hook(width, lines);
}

}  // namespace out
