// Input lines longer than the shell takes: each is skipped to its end and
// reported in one line, the lines around it run as always, and a line of
// hundreds of megabytes costs the shell no more memory than a short one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "shell/line_reader.h"
#include "tests/support/test_util.h"

namespace {

// `text` with the figure of each timing line replaced by "#".
std::string MaskTiming(std::string text) {
  const std::string lead = "command took: ";
  for (size_t at = text.find(lead); at != std::string::npos; at = text.find(lead, at + 1)) {
    const size_t figure = at + lead.size();
    text.replace(figure, text.find(" sec", figure) - figure, "#");
  }
  return text;
}

TEST(LongLines, SkippedAndReported) {
  const wqtest::TempFolder folder;
  const std::string longest = "descr " + std::string(kMaxLineBytes - 6, 'Q');
  struct Case {
    const char* name;
    std::string input;
    std::string output;  // after the first prompt, timing masked
  };
  const std::string too_long = "*E* line too long\ncommand took: # sec\nwq> ";
  const std::string help =
      "wqsql valid commands: connect descr exit help ? quit select set \n"
      "command took: # sec\nwq> ";
  const std::string not_connected = "*E* not connected to a repository\ncommand took: # sec\nwq> ";
  const std::string end = "**Exception: no repository is open";  // no dravik.rtm here
  const Case cases[] = {
      {"the longest line runs", longest + "\nhelp\n", not_connected + help},
      {"one byte more", longest + "Q\nhelp\n", too_long + help},
      {"many times more, then more lines",
       longest + std::string(3 * kMaxLineBytes, 'Q') + "\nhelp\n" + longest + "Q\nhelp\n",
       too_long + help + too_long + help},
      {"the last line, without a line end", "help\n" + longest + "Q", help + too_long},
      {"verbose off", "set verbose off\n" + longest + "Q\nhelp\n",
       "wq> *E* line too long\nwq> wqsql valid commands: connect descr exit help ? quit select "
       "set \nwq> "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = MaskTiming(wqtest::RunShell(folder.path(), c.input));
    ASSERT_EQ(out.compare(0, 4, "wq> "), 0);
    const size_t at_end = out.rfind(end);
    ASSERT_NE(at_end, std::string::npos);
    EXPECT_EQ(out.substr(4, at_end - 4), c.output);
  }
}

// Runs the shell on a pipe fed `line_bytes` bytes of one line and then
// "exit"; returns its peak resident memory in bytes.
uint64_t PeakMemoryOnOneLine(uint64_t line_bytes) {
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make a pipe";
    return 0;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(WQSQL_PATH, WQSQL_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  signal(SIGPIPE, SIG_IGN);
  const std::string chunk(1 << 20, 'x');
  for (uint64_t sent = 0; sent < line_bytes;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), line_bytes - sent));
    const ssize_t w = write(in[1], chunk.data(), n);
    if (w <= 0) {
      ADD_FAILURE() << "the shell stopped reading after " << sent << " bytes";
      break;
    }
    sent += static_cast<uint64_t>(w);
  }
  const char tail[] = "\nexit\n";
  EXPECT_EQ(write(in[1], tail, sizeof tail - 1), static_cast<ssize_t>(sizeof tail - 1));
  close(in[1]);
  int status = 0;
  rusage usage{};
  EXPECT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

TEST(LongLines, OneLineOf256MiBInConstantMemory) {
  const uint64_t short_line = PeakMemoryOnOneLine(10);
  const uint64_t long_line = PeakMemoryOnOneLine(uint64_t{256} << 20);
  EXPECT_LT(long_line, short_line + (uint64_t{16} << 20))
      << "peak " << long_line << " bytes, " << short_line << " on a short line";
}

}  // namespace
