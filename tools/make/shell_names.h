// The rule for class and member names that the shell can type in a query:
// stricter than the store's rule for names, which allows semicolons and
// commas (blanks, tabs and newlines it refuses as well).
#ifndef WQSQL_TOOLS_MAKE_SHELL_NAMES_H_
#define WQSQL_TOOLS_MAKE_SHELL_NAMES_H_

#include <string_view>

namespace wqsource {

// Why the shell could not type `name` as a class or member name ("is empty",
// "contains a blank", a tab, semicolon, comma, newline or other control
// character: the delimiters of store/names.h), or null when the name is
// fine. `name` is valid UTF-8.
const char* ShellTypableNameFault(std::string_view name);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_SHELL_NAMES_H_
