// Tests of wqdump's refusals and output: damaged, missing and unreadable
// repositories and unknown classes refused with one line and status 1, -o
// writing the whole dump or nothing, write errors, and the command line
// (usage errors, --help, --version).
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"
#include "tools/dump/dump_folder.h"

namespace {

using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kDump = WQDUMP_PATH;

std::vector<std::string> FilesIn(const TempFolder& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.path().c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

// Damage is refused: nothing on standard output, the validator's message.
TEST(WqdumpRefuses, DamagedAndMissingFiles) {
  TempFolder t;
  std::string image = ReadFile(wqtest::SampleRepository());
  image[image.size() - 3] ^= 0x20;  // in the heap
  wqtest::WriteFile(t.File("bad.rtm"), image);
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {Quote(t.File("bad.rtm")), "wqdump: " + t.File("bad.rtm") + ": checksum mismatch in heap"},
      {"--format csv --class Part " + Quote(t.File("bad.rtm")),
       "wqdump: " + t.File("bad.rtm") + ": checksum mismatch in heap"},
      {Quote(t.File("none.rtm")),
       "wqdump: " + t.File("none.rtm") + ": cannot open file: No such file or directory\n"},
      {Quote(t.path()), "wqdump: " + t.path() + ": cannot open file: Is a directory\n"},
      {"--format jsonl --class Nope " + Quote(wqtest::SampleRepository()),
       "wqdump: " + std::string(wqtest::SampleRepository()) + ": no class named \"Nope\"\n"},
      {"- <" + Quote(t.File("bad.rtm")), "wqdump: -: checksum mismatch in heap"},
  };
  for (const Case& c : cases) {
    const ToolResult r = RunTool(Quote(kDump) + " " + c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(r.err.compare(0, c.err.size(), c.err), 0) << c.args << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(WqdumpOutput, FileIsWrittenWholeOrNotAtAll) {
  TempFolder t;
  const std::string sample = wqtest::SampleRepository();
  // The same bytes as standard output; standard input works as REPO.
  const ToolResult to_stdout =
      RunTool(Quote(kDump) + " --format=csv --class=Part " + Quote(sample));
  ASSERT_EQ(to_stdout.status, 0);
  const ToolResult to_file = RunTool(Quote(kDump) + " --format csv --class Part -o " +
                                     Quote(t.File("p.csv")) + " - <" + Quote(sample));
  EXPECT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_EQ(to_file.out, "");
  EXPECT_TRUE(ReadFile(t.File("p.csv")) == to_stdout.out);

  // A refused dump leaves an existing output as it was and no temporary file.
  std::string image = ReadFile(sample);
  image[200] ^= 1;
  wqtest::WriteFile(t.File("bad.rtm"), image);
  const ToolResult refused =
      RunTool(Quote(kDump) + " -o " + Quote(t.File("p.csv")) + " " + Quote(t.File("bad.rtm")));
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(ReadFile(t.File("p.csv")) == to_stdout.out);
  std::vector<std::string> files = FilesIn(t);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"bad.rtm", "p.csv"}));

  // Write errors: a missing folder, the repository itself, a full device.
  const ToolResult no_folder =
      RunTool(Quote(kDump) + " -o " + Quote(t.File("no/d.json")) + " " + Quote(sample));
  EXPECT_EQ(no_folder.status, 1);
  EXPECT_EQ(no_folder.err, "wqdump: cannot write " + t.File("no/d.json") +
                               ": cannot create temporary file in " + t.File("no") +
                               ": No such file or directory\n");
  wqtest::WriteFile(t.File("copy.rtm"), ReadFile(sample));
  const ToolResult itself =
      RunTool(Quote(kDump) + " -o " + Quote(t.File("copy.rtm")) + " " + Quote(t.File("copy.rtm")));
  EXPECT_EQ(itself.status, 1);
  EXPECT_EQ(itself.err, "wqdump: cannot write " + t.File("copy.rtm") + ": it is the repository\n");
  EXPECT_TRUE(ReadFile(t.File("copy.rtm")) == ReadFile(sample));
  const ToolResult full = RunTool("{ " + Quote(kDump) + " " + Quote(sample) + " >/dev/full; }");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("wqdump: cannot write to standard output: No space left on device"),
            std::string::npos)
      << full.err;
}

TEST(WqdumpCommandLine, ExitStatusAndMessages) {
  const std::string sample = Quote(wqtest::SampleRepository());
  const std::string synopsis =
      "usage: wqdump [--format json|csv|jsonl] [--class NAME] [-o FILE] REPO\n"
      "       wqdump --format csv|jsonl --all-classes -o FOLDER REPO\n";
  struct Case {
    std::string args;
    int status;
    std::string err_line;  // the first line of standard error
  };
  const Case cases[] = {
      {"", 2, "wqdump: no repository given"},
      {sample + " " + sample, 2, "wqdump: one repository at a time, not 2"},
      {"--format xml " + sample, 2, "wqdump: unknown format \"xml\" (json, csv or jsonl)"},
      {"--format csv " + sample, 2, "wqdump: --format csv needs --class NAME or --all-classes"},
      {"--format jsonl " + sample, 2, "wqdump: --format jsonl needs --class NAME or --all-classes"},
      {"--class Part " + sample, 2, "wqdump: --class goes with --format csv or jsonl"},
      {"--all-classes -o d " + sample, 2, "wqdump: --all-classes goes with --format csv or jsonl"},
      {"--format csv --all-classes " + sample, 2, "wqdump: --all-classes needs -o FOLDER"},
      {"--format csv --all-classes -o - " + sample, 2, "wqdump: --all-classes needs -o FOLDER"},
      {"--format csv --all-classes --class Part -o d " + sample, 2,
       "wqdump: --class or --all-classes, not both"},
      {"--bogus " + sample, 2, "wqdump: unknown option --bogus"},
      {"-x " + sample, 2, "wqdump: unknown option -x"},
      {sample + " --format", 2, "wqdump: one repository at a time, not 2"},
      {"--format", 2, "wqdump: option --format needs a value"},
      {"-o", 2, "wqdump: option -o needs a value"},
      {"--help", 0, ""},
      {"--version", 0, ""},
  };
  for (const Case& c : cases) {
    const ToolResult r = RunTool(Quote(kDump) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    if (c.status == 2) {
      EXPECT_EQ(r.err, c.err_line + "\n" + synopsis) << c.args;
      EXPECT_EQ(r.out, "") << c.args;
    } else {
      EXPECT_EQ(r.err, "") << c.args;
    }
  }
  EXPECT_EQ(RunTool(Quote(kDump) + " --version").out, "wqdump " WQ_VERSION "\n");
  const std::string help = RunTool(Quote(kDump) + " --help").out;
  EXPECT_EQ(help.compare(0, synopsis.size(), synopsis), 0);
  for (const char* option :
       {"--format", "--class", "--all-classes", "--output", "--help", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace

namespace {

// The dump piped straight into wqmake rebuilds the file byte for byte, also
// with the doubles a JSON number cannot hold.
TEST(WqdumpPipe, IntoWqmakeRebuildsNonFiniteDoubles) {
  TempFolder t;
  const std::string source = R"({"classes": [{"name": "D", "members": [
      {"name": "v", "type": "double"}, {"name": "s", "type": "string"}],
    "objects": [{"values": {"v": "NaN", "s": "a"}}, {"values": {"v": "Infinity"}},
                {"values": {"v": "-Infinity", "s": ""}}, {"values": {"v": -0.0}},
                {"values": {"v": 4.9e-324}}]}]})";
  ASSERT_EQ(wqtest::MakeRepository(source, t.File("a.rtm")), "");
  for (const std::string& repo : {t.File("a.rtm"), std::string(wqtest::SampleRepository())}) {
    const ToolResult r = RunTool(Quote(kDump) + " " + Quote(repo) + " | " + Quote(WQMAKE_PATH) +
                                 " - " + Quote(t.File("b.rtm")));
    EXPECT_EQ(r.status, 0) << repo << r.err;
    EXPECT_EQ(ReadFile(t.File("b.rtm")), ReadFile(repo)) << repo;
  }
}

}  // namespace

namespace {

// Every byte that could make a class's file name a path, a hidden file or
// unreadable is percent-encoded, and the encoding cannot make two names meet.
TEST(WqdumpAllClasses, FileNames) {
  const struct {
    const char* name;
    const char* file;
  } cases[] = {
      {"Part", "Part.csv"},
      {".", "%2E.csv"},
      {"..", "%2E..csv"},
      {".x.y", "%2Ex.y.csv"},
      {"a/b", "a%2Fb.csv"},
      {"/", "%2F.csv"},
      {"50%", "50%25.csv"},
      {"%2F", "%252F.csv"},
      {"a.b", "a.b.csv"},
      {"\xC3\x9C", "%C3%9C.csv"},
      {"a\x7F\x01~", "a%7F%01~.csv"},
      {"x y", "x y.csv"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wqtools::ClassFileName(c.name, wqtools::TableFormat::kCsv), c.file) << c.name;
  }
  EXPECT_EQ(wqtools::ClassFileName("Part", wqtools::TableFormat::kJsonLines), "Part.jsonl");
}

// Each file holds what --class prints for its class; the folder may be new
// or empty, and a refused or failed run leaves nothing behind.
TEST(WqdumpAllClasses, FolderWrittenWholeOrNotAtAll) {
  TempFolder t;
  const std::string source = R"({"classes": [
    {"name": "..", "members": [{"name": "v", "type": "int"}], "objects": [{"values": {"v": 1}}]},
    {"name": "a/b%c", "members": [{"name": "s", "type": "string"}],
     "objects": [{"values": {"s": "x,y"}}]},
    {"name": "Empty", "members": [{"name": "v", "type": "int"}]}]})";
  ASSERT_EQ(wqtest::MakeRepository(source, t.File("r.rtm")), "");
  const std::string dump = Quote(kDump) + " --all-classes ";
  for (const char* format : {"csv", "jsonl"}) {
    const std::string out = t.File(std::string("out-") + format);
    const ToolResult r =
        RunTool(dump + "--format " + format + " -o " + Quote(out) + " " + Quote(t.File("r.rtm")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const std::string ext = std::string(".") + format;
    const std::pair<const char*, const char*> classes[] = {
        {"..", "%2E."}, {"a/b%c", "a%2Fb%25c"}, {"Empty", "Empty"}};
    for (const auto& c : classes) {
      const ToolResult one = RunTool(Quote(kDump) + " --format " + format + " --class " +
                                     Quote(c.first) + " " + Quote(t.File("r.rtm")));
      EXPECT_EQ(ReadFile(out + "/" + c.second + ext), one.out) << c.first;
    }
    EXPECT_EQ(wqtest::RunCommand("test $(ls -A " + Quote(out) + " | wc -l) = 3"), 0);
  }

  // An empty folder is filled (a trailing slash is fine); one that is not
  // empty, or a file, is refused and left as it was.
  ASSERT_EQ(wqtest::RunCommand("mkdir " + Quote(t.File("empty")) + " " + Quote(t.File("full")) +
                               " && touch " + Quote(t.File("full/keep"))),
            0);
  const std::string sample = " " + Quote(wqtest::SampleRepository());
  EXPECT_EQ(RunTool(dump + "--format csv -o " + Quote(t.File("empty/")) + sample).status, 0);
  EXPECT_EQ(ReadFile(t.File("empty/Part.csv")),
            RunTool(Quote(kDump) + " --format csv --class Part" + sample).out);
  const struct {
    std::string target;
    std::string err;
  } refused[] = {
      {t.File("full"), "wqdump: cannot write " + t.File("full") + ": the folder is not empty\n"},
      {t.File("r.rtm"), "wqdump: cannot write " + t.File("r.rtm") + ": not a folder\n"},
      {t.File("no/d"), "wqdump: cannot write " + t.File("no/d") +
                           ": cannot create temporary folder in " + t.File("no") +
                           ": No such file or directory\n"},
  };
  for (const auto& c : refused) {
    const ToolResult r = RunTool(dump + "--format csv -o " + Quote(c.target) + sample);
    EXPECT_EQ(r.status, 1) << c.target;
    EXPECT_EQ(r.err, c.err) << c.target;
  }
  EXPECT_EQ(ReadFile(t.File("full/keep")), "");

  // A class whose file name is too long for the file system fails the run
  // after the first class's file was written: no folder, no temporary one.
  const std::string long_name(300, 'L');
  ASSERT_EQ(wqtest::MakeRepository(
                R"({"classes": [{"name": "A", "members": [{"name": "v", "type": "int"}]},
                    {"name": ")" +
                    long_name + R"(", "members": [{"name": "v", "type": "int"}]}]})",
                t.File("long.rtm")),
            "");
  TempFolder parent;
  const ToolResult failed = RunTool(dump + "--format csv -o " + Quote(parent.File("d")) + " " +
                                    Quote(t.File("long.rtm")));
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("File name too long"), std::string::npos) << failed.err;
  EXPECT_EQ(FilesIn(parent), std::vector<std::string>{});
}

}  // namespace
