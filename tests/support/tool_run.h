// Running a built command-line tool in a test: its exit status, standard
// output and standard error, and the store-API view of a repository that
// round-trip tests compare.
#ifndef WQSQL_TESTS_TOOL_RUN_H_
#define WQSQL_TESTS_TOOL_RUN_H_

#include <string>

namespace wqtest {

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command_line` with /bin/sh, standard input from /dev/null unless the
// command line redirects it.
ToolResult RunTool(const std::string& command_line);

// "'" + s + "'" for a shell command line (s holds no quote).
std::string Quote(const std::string& s);

// Everything the store's public interface tells about the repository at
// `path`, one line per class, member and object: names, numbers, object
// sizes, type codes, nullability, and every value (doubles by their bits,
// references as the target's class number and position). Two files that
// give the same text hold the same repository. "cannot open" and the
// reason when the file does not open.
std::string ApiView(const std::string& path);

}  // namespace wqtest

#endif  // WQSQL_TESTS_TOOL_RUN_H_
