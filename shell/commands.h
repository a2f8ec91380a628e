// The command handlers. Each reads the rest of its command line from the
// tokenizer, checks the grammar of its arguments and runs the command, and
// hands back what went wrong for the dispatcher to report.
#ifndef WQSQL_SHELL_COMMANDS_H_
#define WQSQL_SHELL_COMMANDS_H_

#include "repository/command_errors.h"
#include "shell/tokenizer.h"

struct CommandResult {
  CommandErrors errors;
  bool stop = false;  // end the shell at once, without the timing line
};

using CommandHandler = CommandResult (*)(Tokenizer& rest);

CommandResult RunConnect(Tokenizer& rest);  // connect [to] path
CommandResult RunDescr(Tokenizer& rest);    // descr class
CommandResult RunHelp(Tokenizer& rest);     // help, ?: the command words
CommandResult RunSelect(Tokenizer& rest);   // select * | a, b from table
CommandResult RunSet(Tokenizer& rest);      // set verbose on|off, set separator c
CommandResult StopShell(Tokenizer& rest);   // exit, quit

#endif  // WQSQL_SHELL_COMMANDS_H_
