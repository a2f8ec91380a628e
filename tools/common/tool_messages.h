// The command-line tools' own lines: an error is one line "TOOL: message"
// on standard error (exit status 1), a usage error that line and the
// synopsis (exit status 2), --version "TOOL VERSION" on standard output.
#ifndef WQSQL_TOOLS_COMMON_TOOL_MESSAGES_H_
#define WQSQL_TOOLS_COMMON_TOOL_MESSAGES_H_

#include <string>

namespace wqtools {

// Prints "tool: message" (line breaks in it become blanks); returns 1.
int ReportError(const char* tool, std::string message);

// Prints "tool: message" and then `synopsis`; returns 2.
int ReportUsageError(const char* tool, const std::string& message, const char* synopsis);

// The message for getopt_long's '?' or ':' at argv[optind - 1]: "unknown
// option --x" or "option --x needs a value".
std::string OptionError(int code, int optopt, const char* arg);

// Prints "tool VERSION" on standard output; returns 0.
int PrintVersion(const char* tool);

// Answers what getopt_long returned for the options every tool shares:
// 'h' (--help: `synopsis` and `help` on standard output, 0), 'V'
// (--version, 0), and anything else as a usage error (2). `argv` is the
// command line getopt_long read.
int AnswerSharedOption(int code, const char* tool, const char* synopsis, const char* help,
                       char** argv);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_TOOL_MESSAGES_H_
