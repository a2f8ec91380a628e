// Unit tests of the shell's pieces: tokenizer, separator rule, command table
// and dispatcher, completion.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "repository/connection.h"
#include "shell/command_table.h"
#include "shell/completion.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/tokenizer.h"
#include "terminal/output.h"
#include "tests/support/test_util.h"

namespace {

struct Step {
  const char* delimiters;
  const char* want;  // null: no more tokens
};

TEST(Tokenizer, DelimiterSetsChangeBetweenCalls) {
  const char* C = kCommandDelimiters;
  const char* L = kColumnDelimiters;
  struct Case {
    const char* line;
    std::vector<Step> steps;
  } cases[] = {
      {"select a,b , c from T\n",
       {{C, "select"}, {L, "a"}, {L, "b"}, {L, "c"}, {L, "from"}, {C, "T"}, {C, nullptr}}},
      {"select *;from;sys$tables",
       {{C, "select"}, {L, "*"}, {C, "from"}, {C, "sys$tables"}, {C, nullptr}}},
      // The class name is read under the command delimiters: its comma stays.
      {"select a from x,y", {{C, "select"}, {L, "a"}, {L, "from"}, {C, "x,y"}, {C, nullptr}}},
      {" \t;;\n", {{C, nullptr}}},
      {"", {{C, nullptr}}},
      {"connect to 'a,b'.rtm", {{C, "connect"}, {C, "to"}, {C, "'a,b'.rtm"}, {C, nullptr}}},
      // One delimiter is consumed with the token that it ends.
      {"set separator ,", {{C, "set"}, {C, "separator"}, {C, ","}, {C, nullptr}}},
  };
  for (const Case& c : cases) {
    Tokenizer tok(c.line);
    for (const Step& s : c.steps) {
      const char* got = tok.Next(s.delimiters);
      if (s.want == nullptr) {
        EXPECT_EQ(got, nullptr) << c.line;
      } else {
        ASSERT_NE(got, nullptr) << c.line << " wanted " << s.want;
        EXPECT_STREQ(got, s.want) << c.line;
      }
    }
  }
}

TEST(SeparatorRule, TokenToCharacter) {
  const struct {
    const char* token;
    char want;
  } cases[] = {{",", ','},  {"'x'", 'x'}, {"\"x\"", 'x'}, {"abc", 'a'},
               {"\"", '"'}, {"'", '\''},  {"''", '\''},   {"x'", 'x'}};
  for (const auto& c : cases) EXPECT_EQ(SeparatorFromToken(c.token), c.want) << c.token;
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

TEST(CommandTable, WordsInHelpOrderAndTheirLookUp) {
  const std::vector<std::string> want = {"connect", "descr", "exit",   "help",
                                         "?",       "quit",  "select", "set"};
  std::vector<std::string> words;
  for (const Command& c : CommandTable) words.emplace_back(c.word);
  EXPECT_EQ(words, want);

  for (const Command& c : CommandTable) {
    EXPECT_EQ(FindCommand(c.word), &c) << c.word;
    EXPECT_EQ(FindCommand(Upper(c.word).c_str()), &c) << c.word;
  }
  for (const char* word : {"", "selec", "selects", "exi", "??", "h"}) {
    EXPECT_EQ(FindCommand(word), nullptr) << word;
  }
  // The two spellings of help and of stopping share their handler.
  EXPECT_EQ(FindCommand("help")->run, FindCommand("?")->run);
  EXPECT_EQ(FindCommand("exit")->run, FindCommand("quit")->run);
}

// What ExecuteCommand writes to standard output for `line`, and whether it
// stops the shell.
std::string RunCaptured(const char* line, bool* stop) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("out");
  out::Flush();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int saved = dup(STDOUT_FILENO);
  if (fd < 0 || saved < 0 || dup2(fd, STDOUT_FILENO) < 0) {
    ADD_FAILURE() << "cannot redirect standard output";
    return "";
  }
  close(fd);
  *stop = ExecuteCommand(line);
  out::Flush();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return wqtest::ReadFile(path);
}

// Runs the lines in order, as one session.
TEST(Dispatcher, EveryCommandReachesItsHandler) {
  const ShellSettings saved = Settings();
  Settings().verbose = false;
  const std::string connect = std::string("connect ") + wqtest::SampleRepository();
  const std::string help = "wqsql valid commands: connect descr exit help ? quit select set \n";
  const struct {
    std::string line;
    bool stop;
    std::string want;
  } cases[] = {
      {"", false, ""},
      {" ;\t", false, ""},
      {"bogus", false, "*E* invalid command\n"},
      {"helpme", false, "*E* invalid command\n"},
      {"help", false, help},
      {"?", false, help},
      {"HeLp extra", false, help},
      {"exit", true, ""},
      {"QUIT", true, ""},
      {"exit now", true, ""},
      {"connect", false, "*E* path expected after connect\n"},
      {"connect to", false, "*E* path expected after connect\n"},
      {"connect a b", false, "*E* too many tokens for connect command\n"},
      {"descr", false, "*E* not connected to a repository\n"},
      {"descr a b", false, "*E* too many tokens for descr command\n"},
      {"select", false, "*E* column list or * expected after select\n"},
      {"select * sys$tables", false, "*E* keyword from expected after select *\n"},
      {"select * from", false, "*E* tablename expected after from keyword\n"},
      {"select * from a b", false, "*E* too many tokens for descr command\n"},
      {"select a, b", false, "*E* keyword from expected after column list\n"},
      {"select * from SYS$TABLES", false, "*E* not connected to a repository\n"},
      {"select * from sys$tablestats", false, "*E* not connected to a repository\n"},
      {"select a from Part", false, "*E* not connected to a repository\n"},
      {"set", false, "*E* expected verbose, separator\n"},
      {"set verbose", false, "*E* expected on or off\n"},
      {"set verbose maybe", false, "*E* expected on or off\n"},
      {"set verbose on off", false, "*E* too many tokens for set verbose command\n"},
      {"set separator", false, "*E* expected character or string\n"},
      {"set separator a b", false, "*E* too many tokens for set verbose command\n"},
      {"set separator '#'", false, ""},
      {connect, false, ""},
      {"descr NoSuch", false, "*E* class: NoSuch not found\n"},
      {"select * from NoSuch", false, "*E* class: NoSuch not found\n"},
      {"select partNo, nothere from Part", false, "*E* column: nothere not found\n"},
      {"select * from Archive", false, ""},  // a class without members
      {"connect to /nonexistent/x.rtm", false, "*E* error connecting to repository\n"},
      {"descr Part", false, "*E* not connected to a repository\n"},
  };
  for (const auto& c : cases) {
    bool stop = false;
    EXPECT_EQ(RunCaptured(c.line.c_str(), &stop), c.want) << c.line;
    EXPECT_EQ(stop, c.stop) << c.line;
  }
  EXPECT_EQ(Settings().separator, '#');
  EXPECT_FALSE(IsConnected());

  // The timing line follows every command but exit and quit.
  bool stop = false;
  EXPECT_EQ(RunCaptured("set verbose on", &stop).rfind("command took: ", 0), 0u);
  EXPECT_TRUE(Settings().verbose);
  const std::string listed = RunCaptured("help", &stop);
  EXPECT_EQ(listed.rfind(help + "command took: ", 0), 0u) << listed;
  EXPECT_EQ(listed.substr(listed.size() - 5), " sec\n") << listed;
  EXPECT_EQ(RunCaptured("exit", &stop), "");
  EXPECT_TRUE(stop);
  EXPECT_EQ(RunCaptured("quit", &stop), "");
  EXPECT_EQ(RunCaptured("set verbose off", &stop), "");
  Settings() = saved;
}

TEST(Completion, CandidatesByPlaceOnTheLine) {
  ASSERT_TRUE(ConnectRepository(wqtest::SampleRepository()).ok());
  ASSERT_TRUE(IsConnected());
  using Words = std::vector<std::string>;
  const Words tables = {"Supplier", "Warehouse", "Part",    "Assembly",   "AssemblyLine",
                        "Note",     "Shipment",  "Archive", "sys$tables", "sys$tablestats"};
  // Every class's members, each name once, before a class is named.
  const Words members = {"code",     "rating",   "name",       "city",     "country", "capacity",
                         "partNo",   "weight",   "supplier",   "grade",    "drawing", "storedAt",
                         "seq",      "revision", "mass",       "title",    "parent",  "legacyKey",
                         "assembly", "part",     "quantity",   "position", "text",    "about",
                         "written",  "priority", "attachment", "origin"};
  const struct {
    std::string line;  // the cursor is at its end
    std::string prefix;
    Words want;
    bool files;
  } cases[] = {
      {"", "", {"connect", "descr", "exit", "help", "?", "quit", "select", "set"}, false},
      {"s", "s", {"select", "set"}, false},
      {"SE", "SE", {"select", "set"}, false},
      {"x", "x", {}, false},
      {"connect ", "", {"to"}, true},
      {"connect t", "t", {"to"}, true},
      {"connect to ", "", {}, true},
      {"CONNECT to d", "d", {}, true},
      {"descr ", "", Words(tables.begin(), tables.end() - 2), false},
      {"descr as", "as", {"Assembly", "AssemblyLine"}, false},
      {"descr Part ", "", {}, false},
      {"set ", "", {"verbose", "separator"}, false},
      {"set ve", "ve", {"verbose"}, false},
      {"set verbose ", "", {"on", "off"}, false},
      {"set VERBOSE o", "o", {"on", "off"}, false},
      {"set separator ", "", {}, false},
      {"select ", "", members, false},
      {"select * ", "", {"from"}, false},
      {"select a, f", "f", {"from"}, false},
      {"select * from ", "", tables, false},
      {"select a from sys", "sys", {"sys$tables", "sys$tablestats"}, false},
      {"select * from Part ", "", {}, false},
      {"bogus ", "", {}, false},
      {"help ", "", {}, false},
  };
  for (const auto& c : cases) {
    bool files = !c.files;
    const size_t start = c.line.size() - c.prefix.size();
    EXPECT_EQ(CompletionCandidates(c.line, start, c.prefix, &files), c.want) << c.line;
    EXPECT_EQ(files, c.files) << c.line;
  }
  // In the column list, the members of the class named after "from" further
  // along the line.
  bool files = true;
  const std::string line = "select  from Part";
  EXPECT_EQ(CompletionCandidates(line, 7, "", &files),
            (Words{"partNo", "weight", "name", "supplier", "grade", "drawing", "storedAt"}));
  EXPECT_FALSE(files);
  EXPECT_EQ(CompletionCandidates("select w, from Part", 7, "w", &files), (Words{"weight"}));
  EXPECT_EQ(CompletionCandidates("select a,  from Part", 9, "", &files).back(), "from");
  Connection().database.reset();
  Connection().path.reset();
}

}  // namespace
