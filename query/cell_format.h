// The cells of the object table by data type, each written right-justified
// into the row in place, and the character count of a column header.
#ifndef WQSQL_QUERY_CELL_FORMAT_H_
#define WQSQL_QUERY_CELL_FORMAT_H_

#include <cstddef>
#include <cstdint>

#include "query/column_display.h"

// The cell writers. Each writes one cell at `p` exactly as its text padded
// on the left with blanks to the column width reads on the console, and
// returns the end of the cell. A writer may scribble on up to kCellSlack
// bytes after that end, which the next cell or the newline overwrites; a
// cell with its slack takes at most kMaxCellRoom bytes.
constexpr size_t kCellSlack = 16;
constexpr size_t kMaxCellRoom = 2 * kStringColumnWidth + kCellSlack;

// printf("%10d"): 10 bytes, 11 for a negative value of ten digits.
char* PutIntCell(char* p, int32_t v);
// printf("%7.3g") in a column of 11: always 11 bytes.
char* PutDoubleCell(char* p, double v);
// The same cell without vector instructions, as machines without them get it.
char* PutDoubleCellBytewise(char* p, double v);
// The character when below 128 ("?" for a control character), else blank.
char* PutCharCell(char* p, char c);
// The first 6 bytes in hex with blanks between, in a column of 18; null
// data or a length of 0 or less is an empty cell.
char* PutBlobCell(char* p, const unsigned char* data, int32_t len);
// The first `width` characters of the UTF-8 text `s` (null: empty) in the
// console's character set, in a column of `width` characters (at most 75).
char* PutTextCell(char* p, const char* s, size_t width);
// The same cell for a text of at most `length` bytes, up to its first NUL
// among them; no byte past them is read. Spares counting the bytes of a
// text that is printable ASCII.
char* PutTextCell(char* p, const char* s, size_t length, size_t width);

// The number of bytes of the first `max_chars` characters of the UTF-8
// text `s` (never ending inside a sequence); the characters counted are
// stored in `*chars`.
size_t Utf8PrefixBytes(const char* s, size_t max_chars, size_t* chars);

#endif  // WQSQL_QUERY_CELL_FORMAT_H_
