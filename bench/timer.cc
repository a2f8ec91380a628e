// wqbench_time: runs one command and reports its wall time, its CPU time and
// the peak resident memory of it and its descendants, from wait4.
//
//   wqbench_time [--in FILE] [--out FILE] [--cwd DIR] [--report FILE] -- PROG ARG...
//
// Standard input and output of PROG are redirected to the files given (the
// output file is truncated). The report is one line, "wall user sys maxrss":
// seconds with microseconds, and kibibytes; it goes to --report FILE, or to
// standard error. The exit status is PROG's, or 125 when it could not start.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "wqbench_time: %s\n", what.c_str());
  std::_Exit(125);
}

void Redirect(const std::string& path, int flags, int fd) {
  const int f = ::open(path.c_str(), flags, 0644);
  if (f < 0) Die("cannot open " + path + ": " + std::strerror(errno));
  if (::dup2(f, fd) < 0) Die(std::string("dup2: ") + std::strerror(errno));
  ::close(f);
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  std::string in, out, cwd, report;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (i + 1 >= argc)
      Die("usage: wqbench_time [--in F] [--out F] [--cwd D] [--report F] -- PROG ARG...");
    if (a == "--in") {
      in = argv[++i];
    } else if (a == "--out") {
      out = argv[++i];
    } else if (a == "--cwd") {
      cwd = argv[++i];
    } else if (a == "--report") {
      report = argv[++i];
    } else {
      Die("unknown argument \"" + a + "\"");
    }
  }
  if (i >= argc) Die("no command given");

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) Die(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    if (!in.empty()) Redirect(in, O_RDONLY, STDIN_FILENO);
    if (!out.empty()) Redirect(out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
      Die("cannot enter " + cwd + ": " + std::strerror(errno));
    }
    ::execvp(argv[i], argv + i);
    Die(std::string("cannot run ") + argv[i] + ": " + std::strerror(errno));
  }
  int status = 0;
  rusage ru{};
  while (::wait4(pid, &status, 0, &ru) < 0) {
    if (errno != EINTR) Die(std::string("wait4: ") + std::strerror(errno));
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

  FILE* r = report.empty() ? stderr : std::fopen(report.c_str(), "w");
  if (r == nullptr) Die("cannot write " + report + ": " + std::strerror(errno));
  std::fprintf(r, "%.6f %.6f %.6f %ld\n", wall.count(), Seconds(ru.ru_utime), Seconds(ru.ru_stime),
               ru.ru_maxrss);
  if (r != stderr) std::fclose(r);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
