// Tests of wqcheck: the verdict on the sound sample, --stats, the command
// line, the progress bar staying off a non-terminal, and the validator's
// progress callback.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "store/reader.h"
#include "store/validator.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kCheck = WQCHECK_PATH;

ToolResult Check(const std::string& args) { return RunTool(Quote(kCheck) + " " + args); }

TEST(WqcheckVerdict, SoundSample) {
  const std::string sample = wqtest::SampleRepository();
  const std::string size = Num(static_cast<uint64_t>(ReadFile(sample).size()));
  for (const char* options : {"", "--quick "}) {
    const ToolResult r = Check(options + Quote(sample));
    EXPECT_EQ(r.status, 0) << options;
    EXPECT_EQ(r.out, sample + ": ok (8 classes, 102 objects, " + size + " bytes)\n");
    EXPECT_EQ(r.err, "");
  }
}

TEST(WqcheckStats, WhatTheFileHolds) {
  TempFolder t;
  const std::string path = t.File("s.rtm");
  ASSERT_EQ(wqtest::MakeRepository(R"({"classes": [
    {"name": "A", "number": 1, "members": [{"name": "s", "type": "string"}, {"name": "b", "type": "blob"}],
     "objects": [{"values": {"s": "abc", "b": "0102"}}, {"values": {"s": "", "b": ""}}, {}]},
    {"name": "B", "number": -2}]})",
                                   path),
            "");
  const std::string figures =
      "  format version 1\n"
      "  header 64 bytes, directory 232 bytes, object data 48 bytes, heap 27 bytes\n"
      "  class 1 A: 2 members, 3 objects, record size 16, 48 data bytes\n"
      "  class -2 B: 0 members, 0 objects, record size 1, 0 data bytes\n";
  ToolResult r = Check("--stats " + Quote(path));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, path + ": ok (2 classes, 3 objects, 371 bytes)\n" + figures +
                       "  heap: 2 strings (3 bytes), 1 blob (2 bytes)\n");
  r = Check("--quick --stats " + Quote(path));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, path + ": ok (2 classes, 3 objects, 371 bytes)\n" + figures);
}

TEST(WqcheckCommandLine, ExitStatusAndMessages) {
  const std::string synopsis = "usage: wqcheck [--quick] [--stats] REPO...\n";
  struct Case {
    std::string args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"", 2, "wqcheck: no repository given\n" + synopsis},
      {"--quick", 2, "wqcheck: no repository given\n" + synopsis},
      {"--fast x.rtm", 2, "wqcheck: unknown option --fast\n" + synopsis},
      {"-q x.rtm", 2, "wqcheck: unknown option -q\n" + synopsis},
      {"--help", 0, ""},
      {"--version", 0, ""},
  };
  for (const Case& c : cases) {
    const ToolResult r = Check(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    if (c.status == 2) {
      EXPECT_EQ(r.out, "") << c.args;
    }
  }
  const ToolResult full =
      RunTool("{ " + Quote(kCheck) + " " + Quote(wqtest::SampleRepository()) + " >/dev/full; }");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "wqcheck: cannot write to standard output: No space left on device\n");
  EXPECT_EQ(Check("--version").out, "wqcheck " WQ_VERSION "\n");
  const std::string help = Check("--help").out;
  EXPECT_EQ(help.compare(0, synopsis.size(), synopsis), 0);
  EXPECT_NE(help.find("--quick"), std::string::npos);
  EXPECT_NE(help.find("--stats"), std::string::npos);
}

// No progress bar when standard error is not a terminal, however long the
// check (the delay set to nothing).
TEST(WqcheckProgress, NothingOnANonTerminal) {
  const ToolResult r = RunTool("WQCHECK_PROGRESS_DELAY_MS=0 " + Quote(kCheck) + " " +
                               Quote(wqtest::SampleRepository()));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

// The validator reports after each read of object data (at least once per
// class with objects) and at the end: never backwards, ending at the
// file's size.
TEST(ValidatorProgress, ReportsEveryBlockUpToTheWholeFile) {
  std::unique_ptr<wqstore::Reader> r;
  ASSERT_TRUE(wqstore::Reader::Open(wqtest::SampleRepository(), &r).ok());
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  wqstore::ValidateProgress progress;
  progress.report = [](uint64_t done, uint64_t total, void* context) {
    static_cast<std::vector<std::pair<uint64_t, uint64_t>>*>(context)->push_back({done, total});
  };
  progress.context = &calls;
  ASSERT_TRUE(wqstore::Validate(*r, "s", wqstore::ValidateBuffers(), progress).ok());
  const uint64_t size = r->file().size();
  size_t with_objects = 0;
  for (const wqstore::ClassInfo& c : r->classes()) with_objects += c.object_count > 0 ? 1 : 0;
  ASSERT_GE(calls.size(), with_objects + 1);
  for (size_t i = 0; i < calls.size(); i++) {
    EXPECT_EQ(calls[i].second, size);
    EXPECT_LE(calls[i].first, size);
    if (i > 0) {
      EXPECT_GE(calls[i].first, calls[i - 1].first);
    }
  }
  EXPECT_EQ(calls.back().first, size);
}

}  // namespace
