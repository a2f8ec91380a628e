// The file names Tab offers after connect.
#ifndef WQSQL_SHELL_FILE_COMPLETION_H_
#define WQSQL_SHELL_FILE_COMPLETION_H_

#include <string>
#include <vector>

// The paths that complete `typed` (a path as far as it is typed), sorted:
// the names in its folder that begin with its last part, compared without
// regard to ASCII case, each with the folder part as typed in front of it.
// Only names connect can take: none holding a blank, tab, newline or
// semicolon. Names starting with a dot only when the last part does. A
// leading "~" or "~/" stands for the home folder (HOME, else the account's)
// and comes back expanded, since connect opens the path as it is; "~" alone
// gives the home folder itself.
std::vector<std::string> FileNameCandidates(const std::string& typed);

#endif  // WQSQL_SHELL_FILE_COMPLETION_H_
