// The rules for class and member names, in one place. A stored name is
// non-empty, well-formed UTF-8 and holds no control character and no
// invisible character (Unicode's default-ignorable code points and
// bidirectional controls, store/invisible_ranges.h): Open refuses a file
// with any other, so no name reaches a terminal as a control sequence and
// no two names that look the same differ by what cannot be seen. The
// writer and the validator also refuse blank characters. And what the
// shell makes of names: the names of the catalogue's pseudo tables and the
// characters that end a word on its command line.
#ifndef WQSQL_STORE_NAMES_H_
#define WQSQL_STORE_NAMES_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace wqstore {

// Success when `name` is a name Open accepts. Otherwise the message says
// why: "empty", or "invalid UTF-8" or "control character" (a NUL counts as
// one) followed by " at byte " and the offset of the first byte of the
// offending sequence, or e.g. "invisible formatting character U+202E at
// byte 0" for a default-ignorable code point or bidirectional control.
// Linear in the name's length.
Status CheckName(std::string_view name);

// CheckName, and no blank character (Unicode space separators, among them
// U+0020, U+00A0 and U+3000, and the line and paragraph separators): e.g.
// "blank character U+00A0 at byte 3". The writer and the validator apply
// this rule.
Status CheckVisibleName(std::string_view name);

// `name` for a message: each invalid byte, control character and invisible
// formatting character shown as "?", so that a message about a bad name
// cannot act on the terminal that shows it.
std::string ShownName(std::string_view name);

// The pseudo tables that list the catalogue. "select * from" one of them,
// in any ASCII case, lists the catalogue, so the shell shows a class whose
// name equals one of them ignoring case only through descr and a list of
// columns. The format, Open, the validator and the writer allow such a
// name (a file may hold one, and the library and its bindings read and
// write it); wqmake refuses it.
constexpr char kClassesTableName[] = "sys$tables";
constexpr char kClassStatsTableName[] = "sys$tablestats";
bool IsCatalogueTableName(std::string_view name);

// The characters that end a word on the shell's command line: blank, tab,
// newline and semicolon, and in a list of columns the comma too. The
// shell's tokenizer and its completion split words at them, and wqmake
// refuses a name holding one, which the shell could not type.
constexpr char kCommandDelimiters[] = " \t\n;";
constexpr char kColumnDelimiters[] = ", \t\n;";

}  // namespace wqstore

#endif  // WQSQL_STORE_NAMES_H_
