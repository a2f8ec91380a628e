// Column widths and the text of object-table cells by data type.
#ifndef WQSQL_QUERY_CELL_FORMAT_H_
#define WQSQL_QUERY_CELL_FORMAT_H_

#include <cstddef>
#include <cstdint>

// Size of a buffer that holds any cell text with its terminator.
constexpr size_t kCellBufferSize = 200;

// The width of a column by its member's data type code.
int ColumnWidth(int type);

// Each formatter writes a zero-terminated cell text to `buf` and returns its
// length in bytes.
size_t FormatIntCell(int32_t v, char* buf);        // "%10d"
size_t FormatDoubleCell(double v, char* buf);      // "%7.3g"
size_t FormatCharCell(char c, char* buf);          // the character below 128, else empty
size_t FormatBlobCell(const unsigned char* data, int32_t len, char* buf);  // first 6 bytes hex
// Copies at most `width` bytes of the one-byte-per-character text `s`.
size_t CutText(const char* s, size_t width, char* buf);

// The number of bytes of the first `max_chars` characters of the UTF-8
// text `s` (never ending inside a sequence); the characters counted are
// stored in `*chars`.
size_t Utf8PrefixBytes(const char* s, size_t max_chars, size_t* chars);

#endif  // WQSQL_QUERY_CELL_FORMAT_H_
