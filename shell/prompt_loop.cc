// The read-and-execute loop and the timed validation run at end of input.
#include "shell/shell.h"

#include <string>

#include "repository/store_api.h"
#include "shell/line_reader.h"
#include "terminal/clock.h"
#include "terminal/output.h"

namespace {

// The repository validated when the input ends, in the working directory.
constexpr char kDefaultRepository[] = "dravik.rtm";

void TimeRepositoryValidation() {
  awq_Database db;
  db.Open(kDefaultRepository, omReadOnly, 0, false);  // failure shows in Validate
  const long long start = ElapsedMillisNow();
  db.ValidateRepository();
  const long long end = ElapsedMillisNow();
  out::Write("test2 ValidateRepository time: ");
  out::Double(static_cast<double>(end - start) / 1000.0);
  out::EndLine();
}

}  // namespace

void RunPromptLoop() {
  std::string line;
  for (;;) {
    const LineRead read = ReadPromptedLine("wq> ", &line);
    if (read == LineRead::kEnd) break;
    const bool stop =
        read == LineRead::kTooLong ? RejectLine("line too long") : ExecuteCommand(line.c_str());
    out::Flush();
    if (stop) return;
  }
  TimeRepositoryValidation();
}
