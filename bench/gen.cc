// wqbench_gen: writes the benchmark's data set, from a seed and an object
// count, in the forms asked for on the command line.
//
//   wqbench_gen [--seed S] [--n N] [--only-c] [--repo FILE] [--sqlite FILE]
//               [--json FILE] [--csv FILE] [--print-create]
//
// --only-c leaves out R and S0..S9. --print-create prints the SQL that
// creates C's table (for an .import into a fresh database) and writes nothing.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include "bench/dataset.h"
#include "bench/outputs.h"

namespace {

constexpr char kUsage[] =
    "usage: wqbench_gen [--seed S] [--n N] [--only-c] [--repo FILE] [--sqlite FILE]\n"
    "                   [--json FILE] [--csv FILE] [--print-create]\n";

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr, "wqbench_gen: %s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

uint64_t ParseCount(const char* opt, const char* text, uint64_t max) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || errno != 0 || v > max) {
    Usage(std::string(opt) + " takes a whole number up to " + std::to_string(max) + ", not \"" +
          text + "\"");
  }
  return v;
}

void Timed(const char* what, const std::string& path, const std::function<void()>& write) {
  const auto start = std::chrono::steady_clock::now();
  write();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "wqbench_gen: wrote %s %s in %.2f s\n", what, path.c_str(), took.count());
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  uint64_t n = 1000000;
  bool only_c = false;
  bool print_create = false;
  std::string repo, sqlite, json, csv;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--seed") {
      seed = ParseCount("--seed", value(), UINT64_MAX);
    } else if (a == "--n") {
      n = ParseCount("--n", value(), 0x7FFFFFFF);
    } else if (a == "--only-c") {
      only_c = true;
    } else if (a == "--print-create") {
      print_create = true;
    } else if (a == "--repo") {
      repo = value();
    } else if (a == "--sqlite") {
      sqlite = value();
    } else if (a == "--json") {
      json = value();
    } else if (a == "--csv") {
      csv = value();
    } else {
      Usage("unknown argument \"" + a + "\"");
    }
  }

  const wqbench::Dataset d(seed, static_cast<uint32_t>(n), !only_c);
  if (print_create) {
    std::printf("%s;\n", wqbench::CreateTableSql(d.classes()[wqbench::kClassC]).c_str());
    return 0;
  }
  if (repo.empty() && sqlite.empty() && json.empty() && csv.empty()) {
    Usage("nothing to write: give --repo, --sqlite, --json or --csv");
  }
  try {
    if (!repo.empty()) Timed("repository", repo, [&] { wqbench::WriteRepository(d, repo); });
    if (!sqlite.empty()) Timed("database", sqlite, [&] { wqbench::WriteSqlite(d, sqlite); });
    if (!json.empty()) Timed("JSON source", json, [&] { wqbench::WriteJson(d, json); });
    if (!csv.empty()) Timed("CSV", csv, [&] { wqbench::WriteCsv(d, csv); });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wqbench_gen: %s\n", e.what());
    return 1;
  }
  return 0;
}
