// The shell's standard output. On a terminal every line is flushed at its
// end; to a pipe or a file output is block-buffered and flushed before every
// prompt, after every command and before the process ends. The bytes are the
// same either way.
#ifndef WQSQL_SHELL_OUTPUT_H_
#define WQSQL_SHELL_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace out {

// Decides between line and block buffering from whether stdout is a tty.
void Init();
void SetLineBuffered(bool on);

void Write(const char* s, size_t n);
inline void Write(const char* s) { Write(s, std::strlen(s)); }
inline void Write(const std::string& s) { Write(s.data(), s.size()); }
void Put(char c);
// Writes `n` blanks.
void Pad(size_t n);
// Writes `s` right-justified in a field of `width` characters, where the
// text counts as `chars` characters (it may be longer in bytes).
void Field(const char* s, size_t n, size_t chars, int width);
inline void Field(const char* s, int width) {
  size_t n = std::strlen(s);
  Field(s, n, n, width);
}
void Int(int64_t v, int width = 0);
// A double in the default floating-point notation (six significant digits,
// no trailing zeros), as the timing lines print it.
void Double(double v);
// Ends the line: a newline, and a flush when line buffered.
void EndLine();
void Flush();
// True once a write has failed (e.g. the reading end of a pipe closed);
// further output is discarded.
bool Broken();

}  // namespace out

#endif  // WQSQL_SHELL_OUTPUT_H_
