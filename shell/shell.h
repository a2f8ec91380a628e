// The shell's entry points: one command line run by the dispatcher, and the
// prompt loop that reads and runs lines until the shell stops.
#ifndef WQSQL_SHELL_SHELL_H_
#define WQSQL_SHELL_SHELL_H_

// Runs one command line; true when the shell is to stop (exit, quit).
bool ExecuteCommand(const char* line);
// Refuses a line without running it: the error line of `why`, then the
// timing line as after any command. Returns false, as a command that goes on.
bool RejectLine(const char* why);

// Prompts, reads and executes lines until a command stops the shell or the
// input ends; at end of input runs the timed validation of "dravik.rtm" in
// the working directory.
void RunPromptLoop();

#endif  // WQSQL_SHELL_SHELL_H_
