// The command table: every command word with its handler, in the order of
// the help listing.
#ifndef WQSQL_SHELL_COMMAND_TABLE_H_
#define WQSQL_SHELL_COMMAND_TABLE_H_

#include <cstddef>
#include <iterator>

#include "shell/commands.h"

struct Command {
  const char* word;
  CommandHandler run;
};

inline constexpr Command CommandTable[] = {
    {"connect", RunConnect}, {"descr", RunDescr}, {"exit", StopShell},   {"help", RunHelp},
    {"?", RunHelp},          {"quit", StopShell}, {"select", RunSelect}, {"set", RunSet},
};
inline constexpr size_t kCommandCount = std::size(CommandTable);

// The entry whose word equals `word` ignoring ASCII case, or null.
const Command* FindCommand(const char* word);

#endif  // WQSQL_SHELL_COMMAND_TABLE_H_
