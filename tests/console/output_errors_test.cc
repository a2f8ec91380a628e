// Output that cannot be written: a full disk is named once on standard
// error, a reader that went away ends the output quietly, and the exit
// status stays 0 either way.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace {

TEST(OutputErrors, FullDiskNamedOnce) {
  wqtest::TempFolder folder;
  wqtest::WriteFile(folder.File("in"), "help\nhelp\nselect * from x\nhelp\n");
  const int status =
      wqtest::RunCommand("cd '" + folder.path() + "' && '" WQSQL_PATH "' < in > /dev/full 2> err");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(wqtest::ReadFile(folder.File("err")),
            "wqsql: cannot write output: No space left on device\n");
}

TEST(OutputErrors, ReaderGoneEndsOutputQuietly) {
  wqtest::TempFolder folder;
  // Far more than a pipe holds, so that writes fail once head has gone.
  std::string input;
  for (int i = 0; i < 50000; ++i) input += "help\n";
  wqtest::WriteFile(folder.File("in"), input);
  wqtest::RunCommand("cd '" + folder.path() +
                     "' && { '" WQSQL_PATH
                     "' < in 2> err; echo $? > status; } | head -c 1 > /dev/null");
  EXPECT_EQ(wqtest::ReadFile(folder.File("status")), "0\n");
  EXPECT_EQ(wqtest::ReadFile(folder.File("err")), "");
}

}  // namespace
