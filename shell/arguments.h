// wqsql's command line: commands are typed at the prompt, so the only
// arguments read are --help (-h) and --version (-V), answered whatever
// standard input is. Any other argument is ignored; on a terminal one hint
// line on standard error says how to open a repository instead.
#ifndef WQSQL_SHELL_ARGUMENTS_H_
#define WQSQL_SHELL_ARGUMENTS_H_

enum class ShellRequest { kRun, kHelp, kVersion };

struct ShellArguments {
  ShellRequest request = ShellRequest::kRun;  // the first --help or --version
  bool ignored = false;                       // some other argument was given
};

ShellArguments ReadShellArguments(int argc, const char* const* argv);

// Prints the usage text or the version on standard output, or, when the
// arguments are ignored and `input_is_terminal`, the hint on standard
// error. Returns the exit status for --help and --version, -1 to run the
// shell.
int AnswerShellArguments(const ShellArguments& arguments, bool input_is_terminal);

#endif  // WQSQL_SHELL_ARGUMENTS_H_
