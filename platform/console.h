// The console conversion: ISO-8859-1 cell text to the character set of the
// operator's console, with every control character made harmless.
#ifndef WQSQL_PLATFORM_CONSOLE_H_
#define WQSQL_PLATFORM_CONSOLE_H_

#include <cstddef>

enum class ConsoleCodeset { kUtf8, kLatin1, kAscii };

// Reads the codeset of the current LC_CTYPE locale (call after setlocale).
void InitConsoleCodeset();
ConsoleCodeset GetConsoleCodeset();
void SetConsoleCodeset(ConsoleCodeset cs);

// Converts the zero-terminated ISO-8859-1 text `src` into `dst`, which must
// hold 2 * strlen(src) + 1 bytes. Each control character (U+0000..U+001F,
// U+007F..U+009F) becomes "?". The other characters become UTF-8 on a
// UTF-8 console, stay as they are on an ISO-8859-1 console, and become "?"
// when 128 or above on any other. Every source byte yields exactly one
// character. Returns the number of bytes written, without the terminator.
size_t ConsoleConvert(const char* src, size_t n, char* dst);

// The name the shell's table printer uses for the conversion; true always.
bool CharToOemA(const char* src, char* dst);

#endif  // WQSQL_PLATFORM_CONSOLE_H_
