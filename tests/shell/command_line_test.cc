// The command lines every program shares: -h/--help and -V/--version on
// wqsql, wqmake, wqdump and wqcheck, answered on standard output with
// status 0 whatever standard input is; and wqsql, which reads no other
// argument, printing for piped input exactly what it prints without
// arguments, with nothing on standard error.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using wqtest::Quote;
using wqtest::RunTool;
using wqtest::ToolResult;

TEST(CommandLine, HelpAndVersionOnEveryProgram) {
  const struct {
    const char* name;
    std::string path;
  } programs[] = {{"wqsql", WQSQL_PATH},
                  {"wqmake", WQMAKE_PATH},
                  {"wqdump", WQDUMP_PATH},
                  {"wqcheck", WQCHECK_PATH}};
  // Standard input from /dev/null, and a pipe of commands that the answer
  // leaves unread.
  const char* inputs[] = {"", "printf 'connect x.rtm\\nhelp\\n' | "};
  for (const auto& p : programs) {
    const std::string usage = std::string("usage: ") + p.name + " ";
    const std::string version = std::string(p.name) + " " WQ_VERSION "\n";
    for (const char* input : inputs) {
      for (const char* arg : {"-h", "--help", "-V", "--version"}) {
        const ToolResult r = RunTool(input + Quote(p.path) + " " + arg);
        const std::string where = input + std::string(p.name) + " " + arg;
        EXPECT_EQ(r.status, 0) << where;
        EXPECT_EQ(r.err, "") << where;
        if (arg[1] == 'V' || arg[2] == 'v') {
          EXPECT_EQ(r.out, version) << where;
        } else {
          EXPECT_EQ(r.out.compare(0, usage.size(), usage), 0) << where << r.out;
          EXPECT_NE(r.out.find("--version"), std::string::npos) << where;
        }
      }
    }
  }
  // The first of them decides, wherever it stands among other arguments.
  EXPECT_EQ(RunTool(Quote(WQSQL_PATH) + " repo.rtm -V --help </dev/null").out,
            "wqsql " WQ_VERSION "\n");
}

TEST(CommandLine, WqsqlIgnoresOtherArgumentsOnPipedInput) {
  wqtest::TempFolder t;
  // A failed connect, a good one, a query: the output must not change, and
  // no reason or hint may reach standard error when the input is a pipe.
  // Verbose off first: the timing figures would differ from run to run.
  const std::string input = std::string("set verbose off\nconnect missing.rtm\nconnect ") +
                            wqtest::SampleRepository() + "\nselect * from Warehouse\nexit\n";
  wqtest::WriteFile(t.File("in.txt"), input);
  const std::string shell = "cd " + Quote(t.path()) + " && " + Quote(WQSQL_PATH);
  const ToolResult plain = RunTool(shell + " <in.txt");
  ASSERT_EQ(plain.status, 0);
  ASSERT_NE(plain.out.find("*E* error connecting to repository\n"), std::string::npos);
  for (const char* args : {"dravik.rtm", "-x --", "--helpful connect", "- -"}) {
    const ToolResult r = RunTool(shell + " " + args + " <in.txt");
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_EQ(r.out, plain.out) << args;
    EXPECT_EQ(r.err, "") << args;
  }
}

}  // namespace
