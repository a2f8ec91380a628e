// The buffered writer of standard output that every command prints through.
// On a terminal every line is flushed at its end; to a pipe or a file output
// is block-buffered and goes out when the buffer is full or Flush is called.
// The bytes are the same either way. A table may be sent to a pager instead:
// the table printer announces each table's size, and a hook the shell sets
// may redirect the output to the pager's pipe for the rest of the command.
#ifndef WQSQL_TERMINAL_OUTPUT_H_
#define WQSQL_TERMINAL_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/buffered_writer.h"

namespace out {

// Decides between line and block buffering from whether stdout is a tty.
void Init();

void Write(const char* s, size_t n);
inline void Write(const char* s) { Write(s, std::strlen(s)); }
inline void Write(const std::string& s) { Write(s.data(), s.size()); }
void Put(char c);
// Writes `s` to `w` right-justified in a field of `width` characters.
void Field(BufferedWriter& w, const char* s, int width);
// Writes `v` to `w` in decimal, right-justified in a field of `width`
// characters.
void Int(BufferedWriter& w, int64_t v, int width = 0);
// A double in the default floating-point notation (six significant digits,
// no trailing zeros), as the timing lines print it.
void Double(double v);
// Ends the line: a newline, and a flush when line buffered.
void EndLine();
void Flush();
// True once a write has failed (e.g. the reading end of a pipe closed);
// further output is discarded.
bool Broken();
// Called once, on the first failure other than a reader that went away,
// with its errno value; the shell says so on standard error. Null (the
// default) for none.
using WriteFailureHook = void (*)(int err);
void SetWriteFailureHook(WriteFailureHook hook);

// Sends the output to `fd` (a pager's pipe) instead of standard output,
// block-buffered, until EndRedirect. The target has a failure state of its
// own: a pager that quits ends what is being printed without a message.
void RedirectTo(int fd);
// Flushes what is buffered for the redirected target and goes back to
// standard output, as it was before. The caller closes `fd`.
void EndRedirect();

// Called by the table printer once per table, before its first line, with
// the width of its lines in characters and the number of its lines.
using TableStartHook = void (*)(int64_t width, int64_t lines);
// Sets the hook TableStart calls; null (the default) for none.
void SetTableStartHook(TableStartHook hook);
void TableStart(int64_t width, int64_t lines);

// The writer behind these functions, for the table printer, which formats
// whole rows in place in its buffer.
BufferedWriter& Writer();

}  // namespace out

#endif  // WQSQL_TERMINAL_OUTPUT_H_
