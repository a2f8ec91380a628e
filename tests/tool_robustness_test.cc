// The tools on hostile or unusual input, through the built programs: the
// name of the id column among members that take it, doubles that must keep
// their bits, files changed while a tool reads them, file names a terminal
// would act on, standard input that breaks the source rules or never ends,
// and symbolic links planted in shared folders.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

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

}  // namespace
