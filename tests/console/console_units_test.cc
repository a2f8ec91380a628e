// Unit tests of the console's pieces that need no terminal: the file names
// offered after connect, the member names offered before from, and the
// cutting of pasted text into lines.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "repository/connection.h"
#include "shell/completion.h"
#include "shell/console_paste.h"
#include "shell/file_completion.h"
#include "shell/line_reader.h"
#include "tests/support/test_util.h"

namespace {

using Words = std::vector<std::string>;

// Sets HOME for the life of the object.
class HomeSetting {
 public:
  explicit HomeSetting(const std::string& home) {
    if (const char* old = getenv("HOME")) old_ = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~HomeSetting() {
    if (old_.empty()) {
      unsetenv("HOME");
    } else {
      setenv("HOME", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};

TEST(FileNameCompletion, HomeFolderExpandedAndNamesConnectCannotTakeLeftOut) {
  wqtest::TempFolder home;
  for (const char* name : {"alpha.rtm", "Alpine.rtm", "al pha.rtm", "al;pha.rtm", "al\tpha.rtm",
                           ".alhidden", "beta.rtm"}) {
    wqtest::WriteFile(home.File(name), "");
  }
  ASSERT_EQ(mkdir(home.File("alps").c_str(), 0700), 0);
  wqtest::WriteFile(home.File("alps/inner.rtm"), "");
  const std::string h = home.path();
  HomeSetting setting(h);

  const struct {
    std::string typed;
    Words want;
  } cases[] = {
      // Sorted by bytes; case does not matter for the match.
      {"~/al", {h + "/Alpine.rtm", h + "/alpha.rtm", h + "/alps"}},
      {"~/AL", {h + "/Alpine.rtm", h + "/alpha.rtm", h + "/alps"}},
      {"~/alps/", {h + "/alps/inner.rtm"}},
      {"~/", {h + "/Alpine.rtm", h + "/alpha.rtm", h + "/alps", h + "/beta.rtm"}},
      {"~/.al", {h + "/.alhidden"}},
      {"~", {h}},
      // A path typed in full keeps its folder as typed.
      {h + "/b", {h + "/beta.rtm"}},
      {h + "//b", {h + "//beta.rtm"}},
      {"~/nothere/x", {}},
      // Only "~" and "~/" stand for the home folder.
      {"~x/al", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(FileNameCandidates(c.typed), c.want) << c.typed;

  HomeSetting slash(h + "/");
  EXPECT_EQ(FileNameCandidates("~/be"), Words{h + "/beta.rtm"});
}

TEST(FileNameCompletion, OfferedOnlyWhereThePathOfConnectGoes) {
  bool files = false;
  EXPECT_EQ(CompletionCandidates("connect ", 8, "", &files), Words{"to"});
  EXPECT_TRUE(files);
  CompletionCandidates("connect to ", 11, "", &files);
  EXPECT_TRUE(files);
  CompletionCandidates("connect x.rtm ", 14, "", &files);
  EXPECT_FALSE(files);
  CompletionCandidates("connect to x.rtm ", 17, "", &files);
  EXPECT_FALSE(files);
  // A comma is part of a path, but ends a word anywhere else.
  EXPECT_STREQ(CompletionWordBreaks("connect a,b"), " \t\n;");
  EXPECT_STREQ(CompletionWordBreaks("select a,b"), ", \t\n;");
}

TEST(MemberCompletion, EveryClassBeforeFromEachNameOnce) {
  wqtest::TempFolder folder;
  const std::string repo = folder.File("m.rtm");
  // Names that differ only in case across classes, and a class without any.
  const char* source = R"({"classes": [
      {"name": "A", "members": [{"name": "Name", "type": "string"},
                                {"name": "code", "type": "int"}]},
      {"name": "B", "members": [{"name": "name", "type": "string"},
                                {"name": "CODE", "type": "int"},
                                {"name": "extra", "type": "int"}]},
      {"name": "C"}]})";
  ASSERT_EQ(wqtest::MakeRepository(source, repo), "");
  ASSERT_TRUE(ConnectRepository(repo.c_str()).ok());
  ASSERT_TRUE(IsConnected());
  const struct {
    std::string line;  // the cursor is at its end
    std::string prefix;
    Words want;
  } cases[] = {
      // The first spelling of a name wins.
      {"select ", "", {"Name", "code", "extra"}},
      {"select N", "N", {"Name"}},
      {"select e", "e", {"extra"}},
      {"select Name, ", "", {"Name", "code", "extra", "from"}},
      // Only a column list takes members: not after "*", nor after "from".
      {"select * ", "", {"from"}},
      {"select Name from ", "", {"A", "B", "C", "sys$tables", "sys$tablestats"}},
  };
  for (const auto& c : cases) {
    bool files = true;
    const size_t start = c.line.size() - c.prefix.size();
    EXPECT_EQ(CompletionCandidates(c.line, start, c.prefix, &files), c.want) << c.line;
    EXPECT_FALSE(files);
  }
  // Once a class is named after from, only its members; none for a class
  // that does not exist.
  bool files = false;
  EXPECT_EQ(CompletionCandidates("select  from B", 7, "", &files),
            (Words{"name", "CODE", "extra"}));
  EXPECT_EQ(CompletionCandidates("select  from A", 7, "", &files), (Words{"Name", "code"}));
  EXPECT_EQ(CompletionCandidates("select  from Nope", 7, "", &files), Words{});
  Connection().database.reset();
  Connection().path.reset();
}

TEST(PastedText, CutAtEveryKindOfLineEnd) {
  const struct {
    std::string text;
    Words want;
  } cases[] = {
      {"", {""}},
      {"descr A", {"descr A"}},
      {"descr A\ndescr B\n", {"descr A", "descr B", ""}},
      // A terminal sends CR for the line ends of pasted text; CR LF is one.
      {"help\r\ndescr B", {"help", "descr B"}},
      {"a\rb\r\r", {"a", "b", "", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"tab\tstays\n", {"tab\tstays", ""}},
      // A line past the longest keeps one byte more than that, which tells.
      {std::string(kMaxLineBytes, 'a') + "\r\n" + std::string(kMaxLineBytes + 9, 'b') + "\rc",
       {std::string(kMaxLineBytes, 'a'), std::string(kMaxLineBytes + 1, 'b'), "c"}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(SplitPastedLines(c.text) == c.want) << c.text.substr(0, 80);
  }
}

}  // namespace
