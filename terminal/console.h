// The console's codeset and the conversion of cell text to it: ISO-8859-1
// text to the character set of the operator's console, with every control
// character made harmless; and the same conversion fused with the UTF-8 to
// ISO-8859-1 step for stored text.
#ifndef WQSQL_TERMINAL_CONSOLE_H_
#define WQSQL_TERMINAL_CONSOLE_H_

#include <cstddef>

enum class ConsoleCodeset { kUtf8, kLatin1, kAscii };

// Reads the codeset of the current LC_CTYPE locale (call after setlocale).
void InitConsoleCodeset();
ConsoleCodeset GetConsoleCodeset();
void SetConsoleCodeset(ConsoleCodeset cs);

// Converts the `n` bytes of ISO-8859-1 text at `src` into `dst`, which must
// hold 2 * n + 1 bytes, and terminates the result. Each control character
// (U+0000..U+001F, U+007F..U+009F) becomes "?". The other characters become
// UTF-8 on a UTF-8 console, stay as they are on an ISO-8859-1 console, and
// become "?" when 128 or above on any other. Every source byte yields exactly
// one character. Returns the number of bytes written, without the terminator.
size_t ConsoleConvert(const char* src, size_t n, char* dst);

// Console bytes of the first `max_chars` characters of the UTF-8 text `s`
// of `n` bytes, in one pass: the same bytes as converting it to ISO-8859-1
// (Utf8ToLatin1: "?" for invalid UTF-8 and for characters above U+00FF),
// cutting that to `max_chars` characters and passing the cut through
// ConsoleConvert. `dst` holds 2 * max_chars bytes; nothing is terminated.
// Returns the bytes written and stores the characters in `*chars`.
size_t Utf8ToConsole(const char* s, size_t n, size_t max_chars, char* dst, size_t* chars);

#endif  // WQSQL_TERMINAL_CONSOLE_H_
