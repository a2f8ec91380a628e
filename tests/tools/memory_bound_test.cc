// The memory the tools take on a big repository: wqmake of a source of
// three million objects must stay within a fixed allowance plus the id
// table's bytes for each object id, and wqdump of the repository within the
// allowance plus one bit per object, its anonymous resident memory sampled
// from /proc while it runs (mapped file pages do not count: the kernel
// drops them as it needs). Along the way: the built repository passes
// wqcheck, and its dump built again is the same file byte for byte.
//
// And wqmake of sources of many classes and members: 400,000 classes
// without members within the fixed allowance, and the members of many
// classes within it plus a bound per class and per member.
//
// WQ_MEMORY_TEST_OBJECTS sets the number of objects (for a quick try).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/memory_sampler.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"
#include "tools/make/id_table.h"

namespace {

using wqtest::Mebibytes;
using wqtest::RunSampled;
using wqtest::SampledRun;

// What any run may take whatever the repository's size: buffers, the
// program, the allocator's slack.
constexpr uint64_t kFixedAllowance = uint64_t{128} << 20;
// wqmake's table from object id to object, per id.
constexpr uint64_t kIdTableBytesPerId = wqsource::IdTable::kMaxBytesPerId;
// One object in this many has an id.
constexpr uint64_t kIdEvery = 10;

uint64_t ObjectCount() {
  const char* n = std::getenv("WQ_MEMORY_TEST_OBJECTS");
  if (n != nullptr && std::strtoull(n, nullptr, 10) > 0) return std::strtoull(n, nullptr, 10);
  return 3000000;
}

// A source of one class of `objects` objects, each with an int, a double,
// a string and a reference. Every kIdEvery-th object has an id; the others
// refer to the one with an id before them, and those to the one before
// that, so that every reference is resolved when it is read.
void WriteSource(const std::string& path, uint64_t objects) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::string buffer =
      "{\"classes\": [{\"name\": \"Item\", \"number\": 7, \"members\": [\n"
      "  {\"name\": \"n\", \"type\": \"int\", \"number\": 1},\n"
      "  {\"name\": \"v\", \"type\": \"double\", \"number\": 2},\n"
      "  {\"name\": \"s\", \"type\": \"string\", \"number\": 3},\n"
      "  {\"name\": \"r\", \"type\": \"ref\", \"number\": 4, \"nullable\": true}],\n"
      " \"objects\": [\n";
  char line[256];
  for (uint64_t k = 0; k < objects; k++) {
    const bool has_id = k % kIdEvery == 0;
    char id[40] = "";
    if (has_id) std::snprintf(id, sizeof id, "\"id\": \"i%llu\", ", (unsigned long long)k);
    char ref[40] = "null";
    if (!has_id || k > 0) {
      const uint64_t target = has_id ? k - kIdEvery : k / kIdEvery * kIdEvery;
      std::snprintf(ref, sizeof ref, "\"i%llu\"", (unsigned long long)target);
    }
    const int n = std::snprintf(
        line, sizeof line,
        "  {%s\"values\": {\"n\": %llu, \"v\": %llu.25, \"s\": \"item %llu of the set %c\", "
        "\"r\": %s}}%s\n",
        id, (unsigned long long)k, (unsigned long long)(k % 100000), (unsigned long long)k,
        static_cast<char>('a' + k % 26), ref, k + 1 == objects ? "" : ",");
    buffer.append(line, static_cast<size_t>(n));
    if (buffer.size() > (size_t{4} << 20)) {
      ASSERT_EQ(std::fwrite(buffer.data(), 1, buffer.size(), f), buffer.size());
      buffer.clear();
    }
  }
  buffer += " ]}]}\n";
  ASSERT_EQ(std::fwrite(buffer.data(), 1, buffer.size(), f), buffer.size());
  ASSERT_EQ(std::fclose(f), 0);
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string Figures(const char* what, const SampledRun& run) {
  char text[256];
  std::snprintf(text, sizeof text, "%s: peak RssAnon %s (VmHWM %s), %.1f s, %llu samples", what,
                Mebibytes(run.peak_rss_anon).c_str(), Mebibytes(run.peak_rss).c_str(), run.seconds,
                (unsigned long long)run.samples);
  return text;
}

class MemoryBoundSlow : public testing::Test {
 protected:
  void Report(const char* what, const SampledRun& run, uint64_t bound, const std::string& rule) {
    const std::string figures = Figures(what, run);
    std::printf("%s; bound %s = %s\n", figures.c_str(), Mebibytes(bound).c_str(), rule.c_str());
    std::fflush(stdout);
    RecordProperty(what, figures);
    EXPECT_EQ(run.status, 0) << what << ": " << run.err;
    EXPECT_GT(run.samples, 0u) << what;
    EXPECT_LE(run.peak_rss_anon, bound)
        << what << " took " << Mebibytes(run.peak_rss_anon) << " of anonymous memory, more than "
        << Mebibytes(bound) << " = " << rule;
  }

  wqtest::TempFolder folder_;
};

TEST_F(MemoryBoundSlow, MakeAndDumpOfMillionsOfObjects) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory and quarantine are anonymous memory too";
#endif
  const uint64_t objects = ObjectCount();
  const uint64_t ids = (objects + kIdEvery - 1) / kIdEvery;
  const std::string source = folder_.File("big.json");
  const std::string repo = folder_.File("big.rtm");
  WriteSource(source, objects);
  if (HasFatalFailure()) return;

  const SampledRun make = RunSampled({WQMAKE_PATH, source, repo}, "/dev/null");
  std::printf("%llu objects, %llu ids: source %s, repository %s\n", (unsigned long long)objects,
              (unsigned long long)ids, Mebibytes(FileSize(source)).c_str(),
              Mebibytes(FileSize(repo)).c_str());
  Report("wqmake", make, kFixedAllowance + kIdTableBytesPerId * ids,
         "128 MiB + " + std::to_string(kIdTableBytesPerId) + " bytes x " + std::to_string(ids) +
             " ids");
  ASSERT_EQ(make.status, 0) << make.err;
  std::remove(source.c_str());  // room for the dump

  const wqtest::ToolResult check =
      wqtest::RunTool(std::string(WQCHECK_PATH) + " " + wqtest::Quote(repo));
  EXPECT_EQ(check.status, 0) << check.out << check.err;

  const std::string dump_rule = "128 MiB + " + std::to_string(objects) + " bits";
  const uint64_t dump_bound = kFixedAllowance + (objects + 7) / 8;
  const SampledRun to_null = RunSampled({WQDUMP_PATH, repo}, "/dev/null");
  Report("wqdump to standard output", to_null, dump_bound, dump_rule);

  const SampledRun csv =
      RunSampled({WQDUMP_PATH, "--format", "csv", "--class", "Item", repo}, "/dev/null");
  Report("wqdump --format csv", csv, dump_bound, dump_rule);

  const std::string dump = folder_.File("dump.json");
  const SampledRun to_file = RunSampled({WQDUMP_PATH, "-o", dump, repo}, "/dev/null");
  Report("wqdump -o FILE", to_file, dump_bound, dump_rule);
  ASSERT_EQ(to_file.status, 0) << to_file.err;

  const std::string remade = folder_.File("remade.rtm");
  const wqtest::ToolResult again = wqtest::RunTool(
      std::string(WQMAKE_PATH) + " " + wqtest::Quote(dump) + " " + wqtest::Quote(remade));
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(wqtest::RunCommand("cmp -s " + wqtest::Quote(repo) + " " + wqtest::Quote(remade)), 0)
      << "the dump built again differs from the repository";
}

// What wqmake keeps per class and per member of a source (names of up to
// 15 bytes; a longer one adds about twice its length).
constexpr uint64_t kBytesPerClass = 300;
constexpr uint64_t kBytesPerMember = 150;

// A source of `classes` classes named c0, c1, ..., each with `members`
// members m0, m1, ... of the value types in turn, and no objects.
void WriteClassesSource(const std::string& path, uint64_t classes, int members) {
  static const char* const kTypes[] = {"string", "int", "double", "ref", "char", "blob"};
  std::string text = "{\"classes\": [";
  for (uint64_t c = 0; c < classes; c++) {
    text += (c == 0 ? "{\"name\": \"c" : ",\n{\"name\": \"c") + std::to_string(c) + "\"";
    if (members > 0) text += ", \"members\": [";
    for (int m = 0; m < members; m++) {
      text += std::string(m == 0 ? "" : ", ") + "{\"name\": \"m" + std::to_string(m) +
              "\", \"type\": \"" + kTypes[m % 6] + "\"}";
    }
    text += members > 0 ? "]}" : "}";
  }
  text += "]}\n";
  wqtest::WriteFile(path, text);
}

TEST_F(MemoryBoundSlow, MakeOfManyClassesAndMembers) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory and quarantine are anonymous memory too";
#endif
  struct Case {
    uint64_t classes;
    int members;
    uint64_t bound;
    std::string rule;
  };
  const Case cases[] = {
      {400000, 0, kFixedAllowance, "128 MiB"},
      {20000, 40, kFixedAllowance + kBytesPerClass * 20000 + kBytesPerMember * 800000,
       "128 MiB + 300 bytes x 20000 classes + 150 bytes x 800000 members"},
  };
  for (const Case& c : cases) {
    const std::string source = folder_.File("classes.json");
    const std::string repo = folder_.File("classes.rtm");
    WriteClassesSource(source, c.classes, c.members);
    if (HasFatalFailure()) return;
    const SampledRun make = RunSampled({WQMAKE_PATH, source, repo}, "/dev/null");
    const std::string what = "wqmake of " + std::to_string(c.classes) + " classes of " +
                             std::to_string(c.members) + " members";
    Report(what.c_str(), make, c.bound, c.rule);
    const wqtest::ToolResult check =
        wqtest::RunTool(std::string(WQCHECK_PATH) + " --quick " + wqtest::Quote(repo));
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
}

}  // namespace
