// Reads the operator's command lines from standard input.
#ifndef WQSQL_SHELL_LINE_READER_H_
#define WQSQL_SHELL_LINE_READER_H_

#include <cstddef>
#include <string>

// The longest command line, in bytes without its line end. A longer line
// is skipped to its end without being kept, so that no input, however long
// its lines, makes the shell grow.
constexpr size_t kMaxLineBytes = size_t{1} << 20;

// What ReadPromptedLine read.
enum class LineRead {
  kLine,     // a line of at most kMaxLineBytes
  kTooLong,  // a longer line, skipped; `line` is empty
  kEnd,      // end of input, or a read error, which is handled as such
};

// Shows `prompt` and reads one line into `line`, without its newline. On a
// terminal the line editor reads it; otherwise the prompt is written and
// flushed and the line read from the input. A last line that ends at end
// of input without a newline is returned too.
LineRead ReadPromptedLine(const char* prompt, std::string* line);

#endif  // WQSQL_SHELL_LINE_READER_H_
