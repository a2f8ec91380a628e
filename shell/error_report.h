// The one place the shell says what went wrong: a "*E* " line on standard
// output for each error a command hands back, worded here, and the lines
// on standard error for an operator (why a connect failed, a write of the
// output that failed).
#ifndef WQSQL_SHELL_ERROR_REPORT_H_
#define WQSQL_SHELL_ERROR_REPORT_H_

#include <string>

#include "repository/command_errors.h"

// The line that says `error`, without its newline: "*E* " and the text.
std::string ErrorLine(const CommandError& error);

// Prints the line of each of `errors`, in order. After a failed connect,
// when the reasons are shown, its reason follows on standard error:
// "wqsql: PATH: REASON".
void ReportErrors(const CommandErrors& errors);

// Whether a failed connect says why on standard error (off by default, so
// that nothing but the "*E*" line is printed).
void ShowConnectFailureReasons(bool on);

// From now on the first failed write of the output other than to a reader
// that went away is named on standard error: "wqsql: cannot write output:
// REASON".
void ReportOutputFailures();

#endif  // WQSQL_SHELL_ERROR_REPORT_H_
