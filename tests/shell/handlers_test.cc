// The command handlers hand back what went wrong instead of printing it:
// each command line's errors, checked without standard output, and the line
// the shell words for each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repository/catalogue.h"
#include "repository/class_description.h"
#include "repository/connection.h"
#include "shell/command_table.h"
#include "shell/error_report.h"
#include "shell/tokenizer.h"
#include "tests/support/string_writer.h"
#include "tests/support/test_util.h"

namespace {

// The error lines of running `line`'s command, and whether it stops.
std::vector<std::string> ErrorsOf(const std::string& line, bool* stop = nullptr) {
  Tokenizer tok(line.c_str());
  const Command* command = FindCommand(tok.Next(kCommandDelimiters));
  if (command == nullptr) return {"no such command"};
  const CommandResult result = command->run(tok);
  if (stop != nullptr) *stop = result.stop;
  std::vector<std::string> lines;
  for (const CommandError& e : result.errors.list()) lines.push_back(ErrorLine(e));
  return lines;
}

TEST(Handlers, HandBackWhatWentWrong) {
  using Lines = std::vector<std::string>;
  const std::string connect = std::string("connect ") + wqtest::SampleRepository();
  const struct {
    std::string line;
    Lines want;
  } cases[] = {
      {"select a, b", {"*E* keyword from expected after column list"}},
      {"select * from a b", {"*E* too many tokens for descr command"}},
      {"set verbose maybe", {"*E* expected on or off"}},
      {"connect a b", {"*E* too many tokens for connect command"}},
      {"descr Part", {"*E* not connected to a repository"}},
      {"select * from sys$tables", {"*E* not connected to a repository"}},
      {connect, {}},
      {"descr", {"*E* class name expected after descr"}},
      {"select * from NoSuch", {"*E* class: NoSuch not found"}},
      {"select partNo, nothere from Part", {"*E* column: nothere not found"}},
      {"connect /nonexistent/x.rtm", {"*E* error connecting to repository"}},
      {"select a from Part", {"*E* not connected to a repository"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorsOf(c.line), c.want) << c.line;
  EXPECT_FALSE(IsConnected());

  bool stop = false;
  EXPECT_EQ(ErrorsOf("quit", &stop), Lines{});
  EXPECT_TRUE(stop);
  EXPECT_EQ(ErrorsOf("set verbose on off", &stop).size(), 1u);
  EXPECT_FALSE(stop);

  // A failed connect carries the store's reason after the path.
  const CommandErrors failed = ConnectRepository("/nonexistent/x.rtm");
  ASSERT_EQ(failed.list().size(), 1u);
  EXPECT_EQ(failed.list()[0].subject.rfind("/nonexistent/x.rtm: ", 0), 0u);

  // The errors no command line above brings about, worded.
  EXPECT_EQ(ErrorLine({ErrorCode::kChangedOnDisk, "a.rtm"}),
            "*E* repository changed on disk since connect: a.rtm");
  EXPECT_EQ(ErrorLine({ErrorCode::kInterrupted, ""}), "*E* interrupted");
}

size_t LineCount(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// The listings go to the writer they are given, not to standard output.
TEST(Handlers, WriteToTheOutputGiven) {
  ASSERT_TRUE(ConnectRepository(wqtest::SampleRepository()).ok());
  wqtest::StringWriter classes;
  EXPECT_TRUE(ListClasses(classes).ok());
  EXPECT_EQ(classes.text().rfind(" cid   size  name\n ---   ----  ----\n", 0), 0u);
  EXPECT_EQ(LineCount(classes.text()), 2u + 8u);  // the sample's eight classes

  wqtest::StringWriter part;
  EXPECT_TRUE(DescribeClass("Part", part).ok());
  EXPECT_EQ(part.text().rfind("class: Part classNumber=", 0), 0u) << part.text();
  EXPECT_EQ(LineCount(part.text()), 3u + 7u);  // Part's seven members

  wqtest::StringWriter none;
  EXPECT_EQ(ErrorLine(DescribeClass("NoSuch", none).list().at(0)), "*E* class: NoSuch not found");
  EXPECT_EQ(none.text(), "");
  Connection().database.reset();
  Connection().path.reset();
}

}  // namespace
