// wqsql entry: runs the prompt loop inside the exception guard. The exit
// status is 0 on every path.
#include <clocale>
#include <csignal>
#include <exception>
#include <string>

#include "platform/console.h"
#include "platform/output.h"
#include "shell/console_input.h"
#include "shell/shell.h"

namespace {

void Report(const char* text) {
  out::Write("**Exception: ");
  out::Write(text);
  out::EndLine();
}

}  // namespace

int main() {
  std::setlocale(LC_CTYPE, "");
  InitConsoleCodeset();
  // A closed pipe must not kill the shell; failed writes are discarded.
  std::signal(SIGPIPE, SIG_IGN);
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
