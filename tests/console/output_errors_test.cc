// Output that cannot be written: a full disk is named once on standard
// error, a reader that went away ends the output quietly, and the exit
// status stays 0 either way; and a table of many output buffers arrives
// whole and in order.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "tests/support/test_util.h"

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

// A table of many buffers: `rows` objects of class T, a name "name<i>"
// and a number i.
void MakeBigTable(const wqtest::TempFolder& folder, int rows) {
  std::string json = R"({"classes": [{"name": "T", "number": 1, "members": [)"
                     R"({"name": "name", "type": "string", "number": 1},)"
                     R"({"name": "n", "type": "int", "number": 2}], "objects": [)";
  for (int i = 0; i < rows; ++i) {
    json += (i > 0 ? ",\n" : "") + std::string(R"({"values": {"name": "name)") + std::to_string(i) +
            R"(", "n": )" + std::to_string(i) + "}}";
  }
  json += "]}]}";
  ASSERT_EQ(wqtest::MakeRepository(json, folder.File("big.rtm")), "");
  wqtest::WriteFile(folder.File("in"), "connect big.rtm\nselect * from T\nhelp\n");
}

// The rows of a table many times the output buffer arrive whole and in
// order, the same to a file and through a pipe, with what follows them.
TEST(OutputErrors, BigTableArrivesWholeEverywhere) {
  wqtest::TempFolder folder;
  const int rows = 30000;
  MakeBigTable(folder, rows);
  std::string expected;
  char line[128];
  for (int i = 0; i < rows; ++i) {
    const std::string name = "name" + std::to_string(i);
    std::snprintf(line, sizeof line, "%75s|%10d\n", name.c_str(), i);
    expected += line;
  }
  std::string outputs[2];
  const char* const kTargets[] = {"> out", "| cat > out"};
  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(
        wqtest::RunCommand("cd '" + folder.path() + "' && '" WQSQL_PATH "' < in " + kTargets[k]),
        0);
    std::string out = wqtest::ReadFile(folder.File("out"));
    const size_t underline = out.find("==========|==========\n");
    ASSERT_NE(underline, std::string::npos) << kTargets[k];
    const size_t first = underline + 22;
    ASSERT_GE(out.size(), first + expected.size()) << kTargets[k];
    EXPECT_TRUE(out.compare(first, expected.size(), expected) == 0) << kTargets[k];
    // The help after the table came out too, after it.
    EXPECT_NE(out.find("help", first + expected.size()), std::string::npos) << kTargets[k];
    ASSERT_NE(out.find("command took: ", first), std::string::npos);
    // The figures of time differ from run to run; the rest must not.
    outputs[k] = std::regex_replace(out, std::regex("(took: |time: )[0-9.e+-]+"), "$1T");
  }
  EXPECT_TRUE(outputs[0] == outputs[1]);
}

// The same failures as above in the middle of a big table: named once, or
// quietly when the reader went away; the shell goes on and ends with 0.
TEST(OutputErrors, BigTableToFullDiskOrGoneReader) {
  wqtest::TempFolder folder;
  MakeBigTable(folder, 30000);
  const std::string cd = "cd '" + folder.path() + "' && ";
  EXPECT_EQ(wqtest::RunCommand(cd + "'" WQSQL_PATH "' < in > /dev/full 2> err"), 0);
  EXPECT_EQ(wqtest::ReadFile(folder.File("err")),
            "wqsql: cannot write output: No space left on device\n");
  wqtest::RunCommand(cd + "{ '" WQSQL_PATH
                          "' < in 2> err; echo $? > status; } | head -c 1 > /dev/null");
  EXPECT_EQ(wqtest::ReadFile(folder.File("status")), "0\n");
  EXPECT_EQ(wqtest::ReadFile(folder.File("err")), "");
}

}  // namespace
