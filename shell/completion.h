// What Tab offers at a point of a command line.
#ifndef WQSQL_SHELL_COMPLETION_H_
#define WQSQL_SHELL_COMPLETION_H_

#include <string>
#include <vector>

// The words that can stand at byte offset `start` of `line` and begin with
// `prefix` (compared without regard to ASCII case): command words first on
// the line, keywords, the connected repository's class names after descr
// and from, and in a select's column list the member names of the class
// named after from, or of every class before a class is named. Sets *files
// when a file name may stand there too (the path of connect).
std::vector<std::string> CompletionCandidates(const std::string& line, size_t start,
                                              const std::string& prefix, bool* files);

// The characters that end the word being completed, given the line up to
// the cursor: those of the command's tokenizer, so that a path after
// connect may hold a comma.
const char* CompletionWordBreaks(const std::string& before_point);

#endif  // WQSQL_SHELL_COMPLETION_H_
