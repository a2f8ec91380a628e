// A running shell that a test talks to one command at a time through pipes,
// so that it can change files between two commands or while one runs.
#ifndef WQSQL_TESTS_SHELL_SESSION_H_
#define WQSQL_TESTS_SHELL_SESSION_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace wqtest {

class ShellSession {
 public:
  // Starts the shell in `folder` (C.UTF-8 locale) and waits for its first
  // prompt.
  explicit ShellSession(const std::string& folder);
  // Ends the shell if it still runs.
  ~ShellSession();
  ShellSession(const ShellSession&) = delete;
  ShellSession& operator=(const ShellSession&) = delete;

  // Sends `line` and returns what the shell printed up to its next prompt.
  std::string Run(const std::string& line);

  // Sends `line` without waiting for it to finish.
  void Send(const std::string& line);
  // Returns once at least `bytes` of output came, with what came.
  std::string ReadAtLeast(size_t bytes);
  // What the shell printed up to its next prompt.
  std::string ReadToPrompt();

  // Ends the input and waits for the shell to exit; returns its exit status
  // as RunCommand does (128 + the signal when a signal ended it) and sets
  // *rest to what it printed meanwhile.
  int Finish(std::string* rest);

 private:
  // Reads what is there, waiting up to a generous time for something; false
  // at the end of output or on timeout (which fails the test).
  bool ReadMore();

  pid_t pid_ = -1;
  int to_shell_ = -1;
  int from_shell_ = -1;
  std::string pending_;  // read but not handed out
};

}  // namespace wqtest

#endif  // WQSQL_TESTS_SHELL_SESSION_H_
