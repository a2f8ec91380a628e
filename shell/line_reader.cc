// Line input: the line editor on a terminal, otherwise standard input
// through a buffer of its own.
#include "shell/line_reader.h"

#include <unistd.h>

#include <cstring>

#include "platform/fd_io.h"
#include "shell/console_input.h"
#include "terminal/output.h"

namespace {

char g_buf[64 * 1024];
size_t g_pos = 0;
size_t g_len = 0;
bool g_eof = false;

bool Fill() {
  if (g_eof) return false;
  const ssize_t r = ReadSome(STDIN_FILENO, g_buf, sizeof g_buf);
  if (r <= 0) {
    g_eof = true;
    return false;
  }
  g_pos = 0;
  g_len = static_cast<size_t>(r);
  return true;
}

// The next line; the bytes of one longer than kMaxLineBytes are dropped as
// they come, so that it costs no more memory than one that is not.
LineRead ReadRawLine(std::string* line) {
  line->clear();
  bool got_any = false;
  bool too_long = false;
  for (;;) {
    if (g_pos == g_len && !Fill()) {
      if (!got_any) return LineRead::kEnd;
      return too_long ? LineRead::kTooLong : LineRead::kLine;
    }
    got_any = true;
    const char* start = g_buf + g_pos;
    const void* nl = std::memchr(start, '\n', g_len - g_pos);
    const size_t n =
        nl != nullptr ? static_cast<size_t>(static_cast<const char*>(nl) - start) : g_len - g_pos;
    if (!too_long && n > kMaxLineBytes - line->size()) {
      too_long = true;
      line->clear();
    }
    if (!too_long) line->append(start, n);
    if (nl != nullptr) {
      g_pos += n + 1;
      return too_long ? LineRead::kTooLong : LineRead::kLine;
    }
    g_pos = g_len;
  }
}

}  // namespace

LineRead ReadPromptedLine(const char* prompt, std::string* line) {
  if (ConsoleActive()) {
    out::Flush();
    return ConsoleReadLine(prompt, line);
  }
  out::Write(prompt);
  out::Flush();
  return ReadRawLine(line);
}
