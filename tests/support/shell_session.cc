// ShellSession: fork and exec of the shell with two pipes, reads with poll
// and a timeout so that a hung shell fails the test instead of hanging it.
#include "tests/support/shell_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace wqtest {
namespace {

constexpr char kPrompt[] = "wq> ";
constexpr int kTimeoutMillis = 30000;

bool EndsWithPrompt(const std::string& s) {
  return s.size() >= sizeof kPrompt - 1 &&
         s.compare(s.size() - (sizeof kPrompt - 1), sizeof kPrompt - 1, kPrompt) == 0;
}

}  // namespace

ShellSession::ShellSession(const std::string& folder) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make pipes";
    return;
  }
  // Everything the child needs is made before the fork.
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LC_ALL=", 7) != 0) env_text.emplace_back(*e);
  }
  env_text.emplace_back("LC_ALL=C.UTF-8");
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(&e[0]);
  env.push_back(nullptr);
  char* const argv[] = {const_cast<char*>(WQSQL_PATH), nullptr};
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execve(WQSQL_PATH, argv, env.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_shell_ = in[1];
  from_shell_ = out[0];
  signal(SIGPIPE, SIG_IGN);  // a shell that died must fail the test, not end it
  ReadToPrompt();
}

ShellSession::~ShellSession() {
  if (to_shell_ >= 0) close(to_shell_);
  if (from_shell_ >= 0) close(from_shell_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string ShellSession::Run(const std::string& line) {
  Send(line);
  return ReadToPrompt();
}

void ShellSession::Send(const std::string& line) {
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = write(to_shell_, text.data() + done, text.size() - done);
    if (w <= 0) {
      ADD_FAILURE() << "cannot send \"" << line << "\" to the shell";
      return;
    }
    done += static_cast<size_t>(w);
  }
}

bool ShellSession::ReadMore() {
  pollfd p{from_shell_, POLLIN, 0};
  if (poll(&p, 1, kTimeoutMillis) <= 0) {
    ADD_FAILURE() << "the shell printed nothing for " << kTimeoutMillis << " ms";
    return false;
  }
  char buf[65536];
  const ssize_t r = read(from_shell_, buf, sizeof buf);
  if (r <= 0) return false;
  pending_.append(buf, static_cast<size_t>(r));
  return true;
}

std::string ShellSession::ReadAtLeast(size_t bytes) {
  while (pending_.size() < bytes && ReadMore()) {
  }
  std::string got;
  got.swap(pending_);
  return got;
}

std::string ShellSession::ReadToPrompt() {
  while (!EndsWithPrompt(pending_) && ReadMore()) {
  }
  std::string got;
  got.swap(pending_);
  if (EndsWithPrompt(got)) got.resize(got.size() - (sizeof kPrompt - 1));
  return got;
}

int ShellSession::Finish(std::string* rest) {
  close(to_shell_);
  to_shell_ = -1;
  while (ReadMore()) {
  }
  rest->swap(pending_);
  pending_.clear();
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace wqtest
