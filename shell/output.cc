// Buffered writer for standard output.
#include "shell/output.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>

namespace out {
namespace {

constexpr size_t kBufferSize = 64 * 1024;
char g_buf[kBufferSize];
size_t g_len = 0;
bool g_line_buffered = false;
bool g_broken = false;

void WriteAll(const char* p, size_t n) {
  while (n > 0 && !g_broken) {
    ssize_t w = ::write(STDOUT_FILENO, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      g_broken = true;
      return;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

}  // namespace

void Init() { g_line_buffered = ::isatty(STDOUT_FILENO) == 1; }

void SetLineBuffered(bool on) { g_line_buffered = on; }

void Flush() {
  WriteAll(g_buf, g_len);
  g_len = 0;
}

void Write(const char* s, size_t n) {
  if (g_len + n > kBufferSize) {
    Flush();
    if (n > kBufferSize) {
      WriteAll(s, n);
      return;
    }
  }
  std::memcpy(g_buf + g_len, s, n);
  g_len += n;
}

void Put(char c) {
  if (g_len == kBufferSize) Flush();
  g_buf[g_len++] = c;
}

void Pad(size_t n) {
  while (n > 0) {
    if (g_len == kBufferSize) Flush();
    size_t k = kBufferSize - g_len;
    if (k > n) k = n;
    std::memset(g_buf + g_len, ' ', k);
    g_len += k;
    n -= k;
  }
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
  if (g_line_buffered) Flush();
}

bool Broken() { return g_broken; }

}  // namespace out
