// Small text helpers for messages: decimal numbers and the text of an errno
// value.
#ifndef WQSQL_PLATFORM_TEXT_H_
#define WQSQL_PLATFORM_TEXT_H_

#include <cstdint>
#include <string>

// The decimal text of `v`.
inline std::string Num(uint64_t v) { return std::to_string(v); }
inline std::string Num(int64_t v) { return std::to_string(v); }
inline std::string Num(uint32_t v) { return std::to_string(v); }
inline std::string Num(int32_t v) { return std::to_string(v); }

// The system's description of the errno value `err`.
std::string ErrnoText(int err);

#endif  // WQSQL_PLATFORM_TEXT_H_
