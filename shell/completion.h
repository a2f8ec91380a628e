// What Tab offers at a point of a command line.
#ifndef WQSQL_SHELL_COMPLETION_H_
#define WQSQL_SHELL_COMPLETION_H_

#include <string>
#include <vector>

// The words that can stand at byte offset `start` of `line` and begin with
// `prefix` (compared without regard to ASCII case): command words first on
// the line, keywords, the connected repository's class names after descr
// and from, and the member names of the class named after from in a select.
// Sets *files when a file name is wanted instead (after connect).
std::vector<std::string> CompletionCandidates(const std::string& line, size_t start,
                                              const std::string& prefix, bool* files);

#endif  // WQSQL_SHELL_COMPLETION_H_
