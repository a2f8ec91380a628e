// The operator's console: when standard input and standard output are both
// terminals, lines are read through the line editor, with history kept in
// WQSQL_HISTORY or ~/.wqsql_history (each line added to the file as it is
// entered), Tab completion of command words, keywords, class,
// member and file names, pasted lines run one by one, and object tables
// too large for the window shown through a pager.
#ifndef WQSQL_SHELL_CONSOLE_INPUT_H_
#define WQSQL_SHELL_CONSOLE_INPUT_H_

#include <string>

#include "shell/line_reader.h"

// Sets the console up when standard input and standard output are both
// terminals; returns whether it did. Loads the history and installs the
// signal handlers and the pager. Otherwise lines are read plainly, so that
// the output is the same bytes as with piped input.
bool ConsoleInit();
bool ConsoleActive();
// Shows `prompt` and reads one edited line, or takes the next line of a
// paste. Ctrl-C discards the line being typed and prompts again; after a
// window size change, or Ctrl-Z and fg, the line is shown anew. A line that
// grows past kMaxLineBytes is dropped from the editor at once and, when it
// ends, is kTooLong. kEnd at end of input (Ctrl-D on an empty line).
LineRead ConsoleReadLine(const char* prompt, std::string* line);
// Makes the line being edited too long: what it holds is dropped, and the
// line is kTooLong when it ends.
void DropLineTooLong();
// Cuts the history file back to its last 1,000 lines when this session
// added to it; silent when it cannot.
void ConsoleShutdown();

#endif  // WQSQL_SHELL_CONSOLE_INPUT_H_
