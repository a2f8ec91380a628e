// The shell's entry points: the command table, the dispatcher, the
// prompt loop and the end-of-input validation run.
#ifndef WQSQL_SHELL_SHELL_H_
#define WQSQL_SHELL_SHELL_H_

#include <string>
#include <vector>

// The command words, in the order of the help listing.
constexpr int kCommandCount = 8;
extern const char* const CommandTable[kCommandCount];

// Runs one command line; true when the shell is to stop (exit, quit).
bool ExecuteCommand(const char* line);

// Prompts, reads and executes lines until a command stops the shell or the
// input ends; at end of input runs the timed validation of "dravik.rtm".
void RunPromptLoop();
void TimeRepositoryValidation();

#endif  // WQSQL_SHELL_SHELL_H_
