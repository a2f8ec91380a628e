// Ctrl-C while a command runs: the handler only raises a flag, and the
// long-running loops (table rows, catalogue classes) stop at the next step.
#ifndef WQSQL_TERMINAL_INTERRUPT_H_
#define WQSQL_TERMINAL_INTERRUPT_H_

// Installs the SIGINT handler. Only the interactive console does this; with
// piped input Ctrl-C ends the process as usual.
void InstallInterruptHandler();
bool InterruptRequested();
void ClearInterrupt();
// How many times Ctrl-C was pressed since the handler was installed; a
// change tells that Ctrl-C came in between, even when the flag was cleared.
unsigned InterruptCount();
// True when Ctrl-C was pressed, and the flag cleared: the loop that takes
// it stops and says so.
bool TakeInterrupt();

#endif  // WQSQL_TERMINAL_INTERRUPT_H_
