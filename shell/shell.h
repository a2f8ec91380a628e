// The shell's entry points, its settings and the types the dispatcher hands
// to the command handlers.
#ifndef WQSQL_SHELL_SHELL_H_
#define WQSQL_SHELL_SHELL_H_

#include <string>
#include <vector>

// The process-wide shell settings; only `set` changes them.
struct ShellSettings {
  char separator = '|';  // between the columns of every object table
  bool verbose = true;   // print "command took: ..." after every command
};
ShellSettings& Settings();

// The typed column names of a column-list select, in the order typed.
using ColumnList = std::vector<std::string>;

// The command words, in the order of the help listing.
constexpr int kCommandCount = 8;
extern const char* const CommandTable[kCommandCount];

// Runs one command line; true when the shell is to stop (exit, quit).
bool ExecuteCommand(const char* line);

// Prompts, reads and executes lines until a command stops the shell or the
// input ends; at end of input runs the timed validation of "dravik.rtm".
void RunPromptLoop();
void TimeRepositoryValidation();

// Milliseconds from a monotonic clock, for the timing lines.
long long ElapsedMillisNow();

#endif  // WQSQL_SHELL_SHELL_H_
