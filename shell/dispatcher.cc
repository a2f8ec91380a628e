// ExecuteCommand: finds the command word of a line in the command table and
// runs its handler, reports what went wrong, waits for the pager when the
// command's table went through one, then prints the timing line when
// verbose is on; RejectLine, the same for a line that is not run.
#include "shell/command_table.h"
#include "shell/error_report.h"
#include "shell/pager.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/tokenizer.h"
#include "terminal/clock.h"
#include "terminal/interrupt.h"
#include "terminal/output.h"

namespace {

// Ends the command's pager however the command ends, an exception
// included, so that what follows goes to the terminal again.
struct PagerEnd {
  ~PagerEnd() { EndPager(); }
};

// Runs the command of `line` and reports what went wrong; true when it
// stops the shell.
bool Run(const char* line) {
  Tokenizer tok(line);
  const char* word = tok.Next(kCommandDelimiters);
  if (word == nullptr) return false;
  const Command* command = FindCommand(word);
  if (command == nullptr) {
    ReportErrors(CommandErrors(ErrorCode::kUsage, "invalid command"));
    return false;
  }
  const CommandResult result = command->run(tok);
  ReportErrors(result.errors);
  return result.stop;
}

// The timing line of a command that ran from `start` to `end`, when
// verbose is on.
void PrintTiming(long long start, long long end) {
  if (!Settings().verbose) return;
  out::Write("command took: ");
  out::Double(static_cast<double>(end - start) / 1000.0);
  out::Write(" sec");
  out::EndLine();
}

}  // namespace

bool RejectLine(const char* why) {
  const long long start = ElapsedMillisNow();
  ReportErrors(CommandErrors(ErrorCode::kUsage, why));
  PrintTiming(start, ElapsedMillisNow());
  return false;
}

bool ExecuteCommand(const char* line) {
  const long long start = ElapsedMillisNow();
  ClearInterrupt();
  long long end = 0;
  {
    PagerEnd pager_end;
    if (Run(line)) return true;
    end = ElapsedMillisNow();  // the time spent reading in the pager is not the command's
  }
  PrintTiming(start, end);
  return false;
}
