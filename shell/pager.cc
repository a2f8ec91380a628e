// Choosing the pager, the size test against the window, starting the pager
// on a pipe that takes the output (or saying once that it cannot be
// started), and waiting for it.
#include "shell/pager.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "terminal/output.h"

namespace {

constexpr char kDefaultPager[] = "less";
constexpr char kDefaultPagerCommand[] = "less -SRFX";

pid_t g_pid = -1;            // the running pager
int g_pipe = -1;             // its input, which the output goes to
bool g_unavailable = false;  // it could not be started: tables go to the terminal

// Whether `name` is an executable file in a folder of PATH.
bool Installed(const char* name) {
  const char* path = getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    const size_t end = folders.find(':', begin);
    std::string folder = folders.substr(begin, end == std::string::npos ? end : end - begin);
    if (folder.empty()) folder = ".";
    if (access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) return false;
    begin = end + 1;
  }
}

bool Blank(const char* text) { return text[std::strspn(text, " \t")] == '\0'; }

// The pager command from the environment: empty for none.
std::string PagerCommand() {
  if (const char* own = getenv("WQSQL_PAGER")) return Blank(own) ? "" : own;
  const char* pager = getenv("PAGER");
  if (pager != nullptr && !Blank(pager)) return pager;
  return Installed(kDefaultPager) ? kDefaultPagerCommand : "";
}

// The program a pager command starts with, when the command begins with a
// plain word (no quotes, expansions, assignments or redirections); empty
// otherwise, as then only the shell can tell what it runs.
std::string PlainProgram(const std::string& command) {
  const size_t begin = command.find_first_not_of(" \t");
  if (begin == std::string::npos || command[begin] == '-') return "";
  const size_t end = command.find_first_of(" \t", begin);
  const std::string word = command.substr(begin, end == std::string::npos ? end : end - begin);
  for (const char c : word) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum && std::strchr("/._-+,:@%", c) == nullptr) return "";
  }
  return word;
}

// Whether the shell finds `program` as a command: a builtin, or an
// executable file by its path or in PATH. True when that cannot be told.
bool ShellFinds(const std::string& program) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl("/bin/sh", "sh", "-c", "command -v \"$1\"", "sh", program.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return true;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return true;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The pager cannot be started: says so on standard error, once, and from
// then on tables go to the terminal as without a pager.
void GiveUpPager(const std::string& why) {
  g_unavailable = true;
  const std::string message = "wqsql: cannot start pager " + why + "\n";
  if (::write(STDERR_FILENO, message.data(), message.size()) < 0) {
    // Nowhere left to say it.
  }
}

bool FitsWindow(int64_t width, int64_t lines) {
  struct winsize ws {};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) return true;
  return width <= ws.ws_col && lines <= ws.ws_row;
}

// less wraps long lines unless told to chop them: a PAGER (or the default)
// that runs less, with LESS unset, gets LESS=SRFX, as the default command
// has it. WQSQL_PAGER is run as it is.
bool WantsLessDefaults(const std::string& command) {
  if (getenv("WQSQL_PAGER") != nullptr || getenv("LESS") != nullptr) return false;
  const size_t begin = command.find_first_not_of(" \t");
  const size_t end = command.find_first_of(" \t", begin);
  const std::string program = command.substr(begin, end == std::string::npos ? end : end - begin);
  const size_t slash = program.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return program.compare(name, std::string::npos, "less") == 0;
}

// The pager reads the pipe on its standard input and the keyboard from the
// terminal. Ctrl-C reaches the whole foreground group: the shell stops the
// table, while a pager of its own handles it and "sh" must not end under
// it, so the pager starts with Ctrl-C ignored.
void RunPager(const std::string& command, int input) {
  dup2(input, STDIN_FILENO);
  signal(SIGINT, SIG_IGN);
  signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (WantsLessDefaults(command)) setenv("LESS", "SRFX", 1);
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

void StartPager(int64_t width, int64_t lines) {
  if (g_pid > 0 || g_unavailable || FitsWindow(width, lines)) return;
  const std::string command = PagerCommand();
  if (command.empty()) return;
  // A pager the shell cannot find would take the table and show nothing.
  const std::string program = PlainProgram(command);
  if (!program.empty() && !ShellFinds(program)) {
    GiveUpPager(program + ": not found");
    return;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    GiveUpPager(command + ": " + ErrnoText(errno));
    return;
  }
  out::Flush();
  const pid_t pid = fork();
  if (pid == 0) RunPager(command, fds[0]);
  const int err = errno;
  close(fds[0]);
  if (pid < 0) {
    close(fds[1]);
    GiveUpPager(command + ": " + ErrnoText(err));
    return;
  }
  g_pid = pid;
  g_pipe = fds[1];
  out::RedirectTo(g_pipe);
}

}  // namespace

void InstallPager() { out::SetTableStartHook(StartPager); }

void EndPager() {
  if (g_pid < 0) return;
  out::EndRedirect();
  close(g_pipe);
  g_pipe = -1;
  while (waitpid(g_pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  g_pid = -1;
}
