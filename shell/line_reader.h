// Reads the operator's command lines from standard input.
#ifndef WQSQL_SHELL_LINE_READER_H_
#define WQSQL_SHELL_LINE_READER_H_

#include <string>

// Shows `prompt` and reads one whole line of any length into `line`,
// without its newline. On a terminal the line editor reads it; otherwise
// the prompt is written and flushed and the line read from the input. A
// last line that ends at end of input without a newline is returned too.
// Returns false at end of input, and on a read error, which is handled as
// end of input.
bool ReadPromptedLine(const char* prompt, std::string* line);

#endif  // WQSQL_SHELL_LINE_READER_H_
