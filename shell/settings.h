// The shell settings (the separator the object tables are given, the
// verbose flag of the dispatcher) and the separator rule of `set
// separator`. Only `set` changes them.
#ifndef WQSQL_SHELL_SETTINGS_H_
#define WQSQL_SHELL_SETTINGS_H_

struct ShellSettings {
  char separator = '|';  // between the columns of every object table
  bool verbose = true;   // print "command took: ..." after every command
};
ShellSettings& Settings();

// The separator a `set separator` token selects: a one-character token is
// the character itself; a longer token that starts with a quote (single or
// double) gives its second character; any other longer token its first.
char SeparatorFromToken(const char* token);

#endif  // WQSQL_SHELL_SETTINGS_H_
