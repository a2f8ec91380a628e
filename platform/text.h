// Small text helpers for messages: decimal numbers, the text of an errno
// value, and file names shown safely.
#ifndef WQSQL_PLATFORM_TEXT_H_
#define WQSQL_PLATFORM_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

// The decimal text of `v`.
inline std::string Num(uint64_t v) { return std::to_string(v); }
inline std::string Num(int64_t v) { return std::to_string(v); }
inline std::string Num(uint32_t v) { return std::to_string(v); }
inline std::string Num(int32_t v) { return std::to_string(v); }

// The system's description of the errno value `err`.
std::string ErrnoText(int err);

// A file name (or any name a user gave) for a message: as it is when it is
// valid UTF-8 without a control character or an invisible formatting
// character; otherwise quoted as $'...' with C-style escapes (\n, \e, \\,
// \', \xHH for other control bytes and invalid UTF-8, \uHHHH for C1 and
// invisible formatting characters), which a POSIX shell reads back as the
// name. So no name can act on the terminal that shows it, reorder the text
// around it, or break the one line a message takes.
std::string ShownPath(std::string_view name);

#endif  // WQSQL_PLATFORM_TEXT_H_
