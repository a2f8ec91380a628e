// The read and write loops under signals: a write into a pipe that stays
// full and reads from a pipe that stays empty, interrupted again and again
// by a signal whose handler does not restart calls, still move every byte.
#include "platform/fd_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace {

std::atomic<int> g_signals{0};

// 1 MiB that no shift of a piece would leave equal.
std::string Pattern() {
  std::string s(size_t{1} << 20, '\0');
  for (size_t i = 0; i < s.size(); i++) s[i] = static_cast<char>(i * 131 + i / 4093);
  return s;
}

// Child's end of the pipe: drains it slowly (or fills it slowly) with plain
// calls, and exits 0 when the bytes were the pattern.
[[noreturn]] void SlowPeer(int fd, bool reads, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    usleep(2000);
    const size_t n = std::min<size_t>(data.size() - done, 32768);
    std::string piece(n, '\0');
    const ssize_t r = reads ? read(fd, &piece[0], n) : write(fd, data.data() + done, n);
    if (r <= 0) _exit(1);
    if (reads &&
        piece.compare(0, static_cast<size_t>(r), data, done, static_cast<size_t>(r)) != 0) {
      _exit(2);
    }
    done += static_cast<size_t>(r);
  }
  _exit(0);
}

TEST(FdIo, TransfersSurviveInterruptions) {
  struct sigaction count {
  }, old_action;
  count.sa_handler = [](int) { g_signals++; };
  sigemptyset(&count.sa_mask);
  count.sa_flags = 0;  // no SA_RESTART: blocked calls return EINTR
  ASSERT_EQ(sigaction(SIGALRM, &count, &old_action), 0);
  const std::string data = Pattern();
  for (const bool writing : {true, false}) {
    SCOPED_TRACE(writing ? "WriteFully" : "ReadSome");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
      close(writing ? fds[1] : fds[0]);
      SlowPeer(writing ? fds[0] : fds[1], writing, data);
    }
    close(writing ? fds[0] : fds[1]);
    g_signals = 0;
    const itimerval every{{0, 500}, {0, 500}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every, nullptr), 0);
    if (writing) {
      EXPECT_EQ(WriteFully(fds[1], data.data(), data.size()), 0);
    } else {
      std::string got(data.size() + 1, '\0');
      size_t n = 0;
      ssize_t r;
      while ((r = ReadSome(fds[0], &got[n], got.size() - n)) > 0) n += static_cast<size_t>(r);
      EXPECT_EQ(r, 0) << "errno " << errno;
      got.resize(n);
      EXPECT_TRUE(got == data) << n << " bytes read";
    }
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    close(writing ? fds[1] : fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_GT(g_signals.load(), 10) << "the transfer was never interrupted";
  }
  sigaction(SIGALRM, &old_action, nullptr);
}

}  // namespace
