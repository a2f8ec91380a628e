// wqsql entry: answers --help and --version, then runs the prompt loop
// inside the exception guard. The exit status is 0 on every path.
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <exception>
#include <string>

#include "shell/arguments.h"
#include "shell/console_input.h"
#include "shell/error_report.h"
#include "shell/shell.h"
#include "terminal/console.h"
#include "terminal/output.h"

namespace {

void Report(const char* text) {
  out::Write("**Exception: ");
  out::Write(text);
  out::EndLine();
}

}  // namespace

int main(int argc, char** argv) {
  // On a terminal an operator reads standard error: ignored arguments and
  // failed connects are explained there. Standard output stays the same.
  const bool input_is_terminal = isatty(STDIN_FILENO) == 1;
  const int answered = AnswerShellArguments(ReadShellArguments(argc, argv), input_is_terminal);
  if (answered >= 0) return answered;
  ShowConnectFailureReasons(input_is_terminal);
  std::setlocale(LC_CTYPE, "");
  InitConsoleCodeset();
  // A closed pipe must not kill the shell; failed writes are discarded.
  std::signal(SIGPIPE, SIG_IGN);
  ReportOutputFailures();
  out::Init();
  ConsoleInit();
  try {
    RunPromptLoop();
  } catch (const char* s) {
    Report(s != nullptr ? s : "");
  } catch (const std::string& s) {
    Report(s.c_str());
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("<unknown catch(...) case");
  }
  out::Flush();
  ConsoleShutdown();
  return 0;
}
