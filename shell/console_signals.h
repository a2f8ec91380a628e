// The signals the console answers while it waits for a keystroke: the
// window changed size (SIGWINCH), Ctrl-Z (SIGTSTP) and the return to the
// foreground (SIGCONT). Their handlers only raise flags; the console's read
// loop, which waits with these signals and SIGINT unblocked only inside
// pselect, acts on them. Between prompts Ctrl-Z stops the shell as usual.
#ifndef WQSQL_SHELL_CONSOLE_SIGNALS_H_
#define WQSQL_SHELL_CONSOLE_SIGNALS_H_

#include <signal.h>

// Installs the SIGWINCH and SIGCONT handlers, once, and notes how Ctrl-Z
// was set when the shell started.
void InstallConsoleSignals();

// Blocks SIGINT, SIGWINCH, SIGTSTP and SIGCONT and catches Ctrl-Z as a flag,
// unless the shell was started with Ctrl-Z ignored; `*waiting` receives the
// mask to wait with (the one before the call).
void EnterPrompt(sigset_t* waiting);
// Ctrl-Z is back as the shell was started with it, and the mask is the one
// before EnterPrompt.
void LeavePrompt();

// Each returns whether its signal came since the last call, and clears it.
bool TakeWindowResized();
bool TakeStopRequest();
bool TakeContinued();

// Stops the shell as Ctrl-Z does by default, and returns once it runs
// again (at once when the system refuses to stop it); the SIGCONT that woke
// it is consumed. Call between EnterPrompt and LeavePrompt.
void StopShellProcess();

#endif  // WQSQL_SHELL_CONSOLE_SIGNALS_H_
