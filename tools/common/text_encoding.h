// How wqdump writes a value as text: JSON strings, CSV fields (RFC 4180),
// doubles in the shortest form that reads back to the same bits, blobs as
// hexadecimal digit pairs, characters 0-255 as UTF-8 and object ids
// "CLASSNUMBER:POSITION". Everything goes straight into a BufferedWriter
// (a TextSink, or a block of text in memory).
#ifndef WQSQL_TOOLS_COMMON_TEXT_ENCODING_H_
#define WQSQL_TOOLS_COMMON_TEXT_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/common/text_sink.h"

namespace wqtools {

// Room enough for any DoubleText, SourceDoubleText, IntText or
// ObjectIdText.
constexpr size_t kNumberTextMax = 32;

// The bits of the NaN a source's "NaN" stands for, the quiet NaN without a
// sign or payload. Any other NaN is written "NaN:" and its 16 bits in hex.
constexpr uint64_t kSourceNaNBits = 0x7FF8000000000000u;

// `s` (n bytes of UTF-8) as a JSON string in double quotes: the quote, the
// backslash and the control characters U+0000 to U+001F escaped, every
// other character as it is.
void JsonString(BufferedWriter& out, const char* s, size_t n);
// The same written at `to`, which has room for JsonStringRoom(n) bytes;
// returns the end.
constexpr size_t JsonStringRoom(size_t n) { return 6 * n + 2; }
char* PutJsonString(char* to, const char* s, size_t n);
// The same as a std::string, for names written many times.
std::string JsonQuoted(std::string_view s);

// `s` as one CSV field: as it is, or in double quotes with every quote
// doubled when it holds a comma, a quote, a carriage return or a line feed,
// or when it is empty and `quote_empty` is set (the empty string, as
// opposed to an empty field).
void CsvField(BufferedWriter& out, const char* s, size_t n, bool quote_empty);
// The same written at `to`, which has room for CsvFieldRoom(n) bytes;
// returns the end.
constexpr size_t CsvFieldRoom(size_t n) { return 2 * n + 2; }
char* PutCsvField(char* to, const char* s, size_t n, bool quote_empty);

// Writes the shortest decimal text that reads back as exactly `v` to `to`
// (kNumberTextMax bytes) and returns its length. It always has a decimal
// point or an exponent, so that it reads as a floating-point number: "4.0",
// "-0.0", "1e+308", "5e-324". NaN and the infinities are "NaN", "Infinity"
// and "-Infinity", which JSON text puts in quotes.
size_t DoubleText(double v, char* to);

// DoubleText, but a NaN other than the one with kSourceNaNBits as
// "NaN:fff8000000000000" (its bits as 16 lower-case hexadecimal digits), so
// that a source keeps every NaN's sign and payload.
size_t SourceDoubleText(double v, char* to);

size_t IntText(int64_t v, char* to);

// "CLASSNUMBER:POSITION".
size_t ObjectIdText(int32_t class_number, uint32_t position, char* to);

// The character with code `c` (U+0000 to U+00FF) in UTF-8: one or two
// bytes, none for code 0.
size_t Latin1CharText(uint8_t c, char* to);

// The bytes as lower-case hexadecimal digit pairs.
void HexText(BufferedWriter& out, const unsigned char* data, size_t n);
// The same written at `to`, which has room for 2 * n bytes; returns the end.
char* PutHex(char* to, const unsigned char* data, size_t n);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_TEXT_ENCODING_H_
