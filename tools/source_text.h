// Text rules and helpers of the JSON source reader: which class and member
// names the shell can type, quoting of names for one-line messages, blob hex
// and character decoding, and line/column of a byte offset.
#ifndef WQSQL_TOOLS_SOURCE_TEXT_H_
#define WQSQL_TOOLS_SOURCE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wqsource {

// Why the shell could not type `name` as a class or member name (empty, or a
// blank, tab, semicolon, comma, newline or other control character in it),
// or null when the name is fine. Stricter than the store's rule for names,
// which allows blanks, semicolons and commas. `name` is valid UTF-8.
const char* ShellTypableNameFault(std::string_view name);

// `text` in double quotes for an error message: quotes, backslashes and
// control characters escaped so the message stays on one line, and cut with
// "..." past `max_chars` characters.
std::string Quote(std::string_view text, size_t max_chars = 60);

// Decodes pairs of hexadecimal digits (either case) into `out`. On failure
// returns false and sets `bad` to the offset of the offending character, or
// to text.size() when the count of digits is odd.
bool DecodeHex(std::string_view text, std::vector<uint8_t>& out, size_t& bad);

// The code of a one-character UTF-8 string in U+0000 to U+00FF, or -1.
int DecodeLatin1Char(std::string_view utf8);

// 1-based line and column of a byte offset in `text`. Lines end at '\n';
// columns count characters (UTF-8 sequences), not bytes.
struct LineColumn {
  size_t line = 0;
  size_t column = 0;
};
LineColumn LocateOffset(std::string_view text, size_t offset);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_SOURCE_TEXT_H_
