// The look-up of a command word in the command table.
#include "shell/command_table.h"

#include "platform/ascii.h"

const Command* FindCommand(const char* word) {
  for (const Command& command : CommandTable) {
    if (EqualsIgnoreCase(word, command.word)) return &command;
  }
  return nullptr;
}
