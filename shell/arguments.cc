// The usage text, the version line and the hint for ignored arguments.
#include "shell/arguments.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: wqsql [-h|--help] [-V|--version]\n"
    "Reads commands from standard input, one per line, at the prompt \"wq> \";\n"
    "other arguments are ignored. At the prompt:\n"
    "\n"
    "  connect PATH                open the repository file PATH (read-only)\n"
    "  descr CLASS                 the class and its members\n"
    "  select * from sys$tables    the classes (sys$tablestats: with statistics)\n"
    "  select * from CLASS         every object of the class (or: select a, b from)\n"
    "  set separator C | set verbose on|off\n"
    "  help, exit\n"
    "\n"
    "On a terminal: line editing, history in WQSQL_HISTORY (else\n"
    "~/.wqsql_history), Tab completion, and a pager for tables larger than the\n"
    "window (WQSQL_PAGER, else PAGER, else less). At the end of input the\n"
    "repository dravik.rtm in the working directory is validated.\n"
    "More: man wqsql.\n";

constexpr char kHint[] = "wqsql: arguments are not read; type: connect PATH\n";

}  // namespace

ShellArguments ReadShellArguments(int argc, const char* const* argv) {
  ShellArguments a;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    ShellRequest r = ShellRequest::kRun;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) r = ShellRequest::kHelp;
    if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0) {
      r = ShellRequest::kVersion;
    }
    if (r == ShellRequest::kRun) {
      a.ignored = true;
    } else if (a.request == ShellRequest::kRun) {
      a.request = r;
    }
  }
  return a;
}

int AnswerShellArguments(const ShellArguments& arguments, bool input_is_terminal) {
  switch (arguments.request) {
    case ShellRequest::kHelp: std::fputs(kUsage, stdout); return 0;
    case ShellRequest::kVersion: std::fputs("wqsql " WQ_VERSION "\n", stdout); return 0;
    case ShellRequest::kRun: break;
  }
  if (arguments.ignored && input_is_terminal) std::fputs(kHint, stderr);
  return -1;
}
