// Pasting into the console. The terminal marks pasted text (bracketed
// paste); the console takes it in one piece, never as keystrokes, and runs
// each pasted line as its own command, in order, as if it had been typed:
// the first line completes the line being edited, the following ones are
// queued, and text after the last line end is left on the next prompt to be
// edited. Ctrl-C, like a terminal's type-ahead, drops what is still queued.
#ifndef WQSQL_SHELL_CONSOLE_PASTE_H_
#define WQSQL_SHELL_CONSOLE_PASTE_H_

#include <string>
#include <vector>

// Binds the start of a bracketed paste to the paste reader in the editor's
// keymaps. Call after the editor has read its init file.
void BindPaste();

// Takes the next queued line. False when none is queued.
bool TakePastedLine(std::string* line);
// Takes the text that followed the last line end of the latest paste, once
// every queued line has been taken. False when there is none.
bool TakePastedRest(std::string* text);

// `text` cut at its line ends (CR LF, CR or LF): always one piece more than
// it has line ends; the last piece is the text after the last line end. A
// piece longer than kMaxLineBytes keeps only its first kMaxLineBytes + 1
// bytes, which tell that it is too long.
std::vector<std::string> SplitPastedLines(const std::string& text);

#endif  // WQSQL_SHELL_CONSOLE_PASTE_H_
