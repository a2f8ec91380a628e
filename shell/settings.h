// The separator rule of `set separator`.
#ifndef WQSQL_SHELL_SETTINGS_H_
#define WQSQL_SHELL_SETTINGS_H_

// The separator a `set separator` token selects: a one-character token is
// the character itself; a longer token that starts with a quote (single or
// double) gives its second character; any other longer token its first.
char SeparatorFromToken(const char* token);

#endif  // WQSQL_SHELL_SETTINGS_H_
