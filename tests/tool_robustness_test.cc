// The tools on hostile or unusual input, through the built programs: the
// name of the id column among members that take it, doubles that must keep
// their bits, files changed while a tool reads them, file names a terminal
// would act on, standard input that breaks the source rules or never ends,
// and symbolic links planted in shared folders.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/writer.h"
#include "tests/test_util.h"
#include "tests/tool_run.h"

namespace {

using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kDump = WQDUMP_PATH;
const std::string kMake = WQMAKE_PATH;
const std::string kCheck = WQCHECK_PATH;

// A class "C" with int members of the given names.
std::string ClassWithMembers(const std::vector<std::string>& names) {
  std::string json = R"({"classes": [{"name": "C", "members": [)";
  for (size_t i = 0; i < names.size(); i++) {
    json += (i == 0 ? "" : ",") + std::string(R"({"name": ")") + names[i] + R"(", "type": 2})";
  }
  return json + R"(], "objects": [{}]}]})";
}

// The id column takes the fewest underscores no member has, in time linear
// in the members: 8,000 members named id, _id, __id, ... once took seconds.
TEST(WqdumpIdColumn, FewestUnderscoresNoMemberHas) {
  TempFolder t;
  struct Case {
    std::vector<std::string> members;
    std::string id;
  };
  std::vector<std::string> many;
  for (int k = 0; k < 8000; k++) many.push_back(std::string(k, '_') + "id");
  const Case cases[] = {
      {{"x"}, "id"},
      {{"id"}, "_id"},
      {{"_id", "id"}, "__id"},
      {{"id", "__id", "idx", "_i_d", "_"}, "_id"},
      {many, std::string(8000, '_') + "id"},
  };
  for (const Case& c : cases) {
    const std::string repo = t.File("c.rtm");
    ASSERT_EQ(wqtest::MakeRepository(ClassWithMembers(c.members), repo), "");
    for (const char* format : {"csv", "jsonl"}) {
      const auto start = std::chrono::steady_clock::now();
      const ToolResult r = RunTool(Quote(kDump) + " --format " + format + " --class C " +
                                   Quote(repo));
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      ASSERT_EQ(r.status, 0) << r.err;
      const std::string head = std::string(format) == "csv" ? c.id + "," : "{\"" + c.id + "\":";
      EXPECT_EQ(r.out.compare(0, head.size(), head), 0) << format << " " << c.id.size();
      EXPECT_LT(seconds, 2.0) << format << " with " << c.members.size() << " members";
    }
  }
}

// Every NaN keeps its bits through the JSON source: the one "NaN" stands
// for as "NaN", any other as "NaN:" and its bits; CSV and JSON Lines write
// "NaN" for all. wqmake refuses "NaN:" with bits of no NaN.
TEST(WqdumpNaN, SourceKeepsTheBits) {
  TempFolder t;
  volatile double zero = 0.0;
  const double nans[] = {zero / zero, 0, 0, 0, 0};  // x86-64's default NaN, then by bits
  const uint64_t bits[] = {0, 0x7FF8000000000000u, 0x7FF0000000000001u, 0xFFFFFFFFFFFFFFFFu,
                           0x7FF800000000BEEFu};
  wqstore::RepositoryWriter w;
  uint32_t cls = 0;
  ASSERT_TRUE(w.AddClass("D", 1, false, 0, &cls).ok());
  ASSERT_TRUE(w.AddMember(cls, "v", 1, 3, true, nullptr).ok());
  for (size_t i = 0; i < 5; i++) {
    double v = nans[i];
    if (i > 0) std::memcpy(&v, &bits[i], sizeof v);
    wqstore::ObjectId o;
    ASSERT_TRUE(w.AddObject(cls, &o).ok());
    ASSERT_TRUE(w.SetDouble(o, 0, v).ok());
  }
  w.Commit(t.File("n.rtm"));

  const ToolResult dump = RunTool(Quote(kDump) + " " + Quote(t.File("n.rtm")));
  ASSERT_EQ(dump.status, 0) << dump.err;
  for (const char* text : {"\"v\": \"NaN:fff8000000000000\"", "\"v\": \"NaN\"",
                           "\"v\": \"NaN:7ff0000000000001\"", "\"v\": \"NaN:ffffffffffffffff\"",
                           "\"v\": \"NaN:7ff800000000beef\""}) {
    EXPECT_NE(dump.out.find(text), std::string::npos) << text << " in " << dump.out;
  }
  wqtest::WriteFile(t.File("n.json"), dump.out);
  const ToolResult make = RunTool(Quote(kMake) + " " + Quote(t.File("n.json")) + " " +
                                  Quote(t.File("m.rtm")));
  ASSERT_EQ(make.status, 0) << make.err;
  EXPECT_TRUE(ReadFile(t.File("m.rtm")) == ReadFile(t.File("n.rtm")));

  for (const char* format : {"csv", "jsonl"}) {
    const ToolResult r =
        RunTool(Quote(kDump) + " --format " + format + " --class D " + Quote(t.File("n.rtm")));
    EXPECT_EQ(r.out.find("NaN:"), std::string::npos) << format;
  }

  // Upper-case digits read too; bits of no NaN, or too few digits, do not.
  const std::pair<std::string, bool> texts[] = {
      {"NaN:FFF8000000000000", true}, {"NaN:7ff0000000000000", false},
      {"NaN:0000000000000000", false}, {"NaN:fff8", false}, {"NaN:fff80000000000000", false},
      {"nan", false}};
  for (const auto& text : texts) {
    const std::string err = wqtest::MakeRepository(
        R"({"classes": [{"name": "D", "members": [{"name": "v", "type": "double"}],
            "objects": [{"values": {"v": ")" + text.first + R"("}}]}]})",
        t.File("x.rtm"));
    EXPECT_EQ(err.empty(), text.second) << text.first << ": " << err;
  }
}

}  // namespace
