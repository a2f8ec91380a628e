// The command handlers. Each reads the rest of its command line from the
// tokenizer, checks the grammar of its arguments, prints the error line when
// they are wrong and otherwise runs the command.
#ifndef WQSQL_SHELL_COMMANDS_H_
#define WQSQL_SHELL_COMMANDS_H_

#include "shell/tokenizer.h"

enum class CommandResult {
  kContinue,  // read the next command
  kStop,      // end the shell at once, without the timing line
};

using CommandHandler = CommandResult (*)(Tokenizer& rest);

CommandResult RunConnect(Tokenizer& rest);  // connect [to] path
CommandResult RunDescr(Tokenizer& rest);    // descr class
CommandResult RunHelp(Tokenizer& rest);     // help, ?: the command words
CommandResult RunSelect(Tokenizer& rest);   // select * | a, b from table
CommandResult RunSet(Tokenizer& rest);      // set verbose on|off, set separator c
CommandResult StopShell(Tokenizer& rest);   // exit, quit

#endif  // WQSQL_SHELL_COMMANDS_H_
