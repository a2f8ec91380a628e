// The pager of the console: an object table wider or longer than the
// window goes through WQSQL_PAGER, else PAGER, else "less -SRFX" when less
// is installed; WQSQL_PAGER set to nothing (or blanks) turns the pager off.
// less named by PAGER gets LESS=SRFX when LESS is unset.
// The pager receives exactly the bytes the shell would print; when it quits
// early the table ends quietly, and the command's timing line and the next
// prompt follow once it has ended.
#ifndef WQSQL_SHELL_PAGER_H_
#define WQSQL_SHELL_PAGER_H_

// Starts the pager from the table printer's announcement of a table that
// does not fit the window. Only for a console on a terminal.
void InstallPager();

// Ends the output to the pager, if one was started, and waits for it.
void EndPager();

#endif  // WQSQL_SHELL_PAGER_H_
