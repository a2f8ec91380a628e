// RunSampled: fork and exec, then poll /proc/PID/status until the child
// has exited. The child is only waited for without reaping (WNOWAIT) while
// sampling, so its PID cannot be reused under the sampler; it is reaped
// at the end.
#include "tests/support/memory_sampler.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/test_util.h"

namespace wqtest {

namespace {

// The value in bytes of the "Key:   123 kB" line of a status text, or
// false when it has none (a process that has exited has no memory lines).
bool StatusField(const std::string& status, const char* key, uint64_t* bytes) {
  const std::string prefix = std::string("\n") + key + ":";
  const size_t at = status.find(prefix);
  if (at == std::string::npos) return false;
  const char* p = status.c_str() + at + prefix.size();
  char* end = nullptr;
  const unsigned long long kib = std::strtoull(p, &end, 10);
  if (end == p) return false;
  *bytes = static_cast<uint64_t>(kib) * 1024;
  return true;
}

// The whole of /proc/PID/status (short: one read), with a newline in front
// so that every field follows one.
std::string ReadStatus(const char* path) {
  std::string text = "\n";
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

}  // namespace

SampledRun RunSampled(const std::vector<std::string>& argv, const std::string& output_path,
                      int interval_ms) {
  SampledRun run;
  TempFolder folder;
  const std::string err_path = folder.File("err");
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    run.err = std::string("fork: ") + std::strerror(errno);
    return run;
  }
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(args[0], args.data());
    _exit(127);
  }

  const std::string status_path = "/proc/" + std::to_string(pid) + "/status";
  for (;;) {
    const std::string status = ReadStatus(status_path.c_str());
    uint64_t anon = 0, hwm = 0;
    if (StatusField(status, "RssAnon", &anon)) {
      run.samples++;
      if (anon > run.peak_rss_anon) run.peak_rss_anon = anon;
    }
    if (StatusField(status, "VmHWM", &hwm) && hwm > run.peak_rss) run.peak_rss = hwm;
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(wstatus)) {
    run.status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    run.status = 128 + WTERMSIG(wstatus);
  }
  run.err = ReadFile(err_path);
  return run;
}

std::string Mebibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace wqtest
