// ExecuteCommand: finds the command word of a line in the command table and
// runs its handler, then prints the timing line when verbose is on.
#include "shell/shell.h"

#include "platform/clock.h"
#include "platform/interrupt.h"
#include "platform/output.h"
#include "shell/command_table.h"
#include "shell/settings.h"
#include "shell/tokenizer.h"

bool ExecuteCommand(const char* line) {
  const long long start = ElapsedMillisNow();
  ClearInterrupt();
  Tokenizer tok(line);
  if (const char* word = tok.Next(kCommandDelimiters)) {
    const Command* command = FindCommand(word);
    if (command == nullptr) {
      out::Write("*E* invalid command");
      out::EndLine();
    } else if (command->run(tok) == CommandResult::kStop) {
      return true;
    }
  }
  const long long end = ElapsedMillisNow();
  if (Settings().verbose) {
    out::Write("command took: ");
    out::Double(static_cast<double>(end - start) / 1000.0);
    out::Write(" sec");
    out::EndLine();
  }
  return false;
}
