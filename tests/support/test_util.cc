// The shared test helpers.
#include "tests/support/test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace wqtest {

TempFolder::TempFolder() {
  std::string pattern = ::testing::TempDir() + "wqtest_XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) ADD_FAILURE() << "cannot make a folder " << pattern;
  path_ = pattern;
}

TempFolder::~TempFolder() { RunCommand("rm -rf '" + path_ + "'"); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string MakeRepository(const std::string& json, const std::string& repo_path) {
  const std::string source = repo_path + ".json";
  const std::string errors = repo_path + ".err";
  WriteFile(source, json);
  RunCommand("'" WQMAKE_PATH "' '" + source + "' '" + repo_path + "' 2>'" + errors + "'");
  std::string text = ReadFile(errors);
  std::remove(source.c_str());
  std::remove(errors.c_str());
  return text;
}

const char* SampleRepository() { return WQ_SAMPLE_REPOSITORY; }
const char* SampleSource() { return WQ_SOURCE_DIR "/examples/dravik.json"; }

std::string RunShell(const std::string& folder, const std::string& input) {
  WriteFile(folder + "/.input", input);
  RunCommand("cd '" + folder +
             "' && LC_ALL=C.UTF-8 '" WQSQL_PATH "' < .input > .output 2>/dev/null");
  std::string out = ReadFile(folder + "/.output");
  std::remove((folder + "/.input").c_str());
  std::remove((folder + "/.output").c_str());
  return out;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace wqtest
