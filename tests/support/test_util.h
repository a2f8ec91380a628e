// Helpers shared by the unit tests: a scratch folder per test, whole-file
// reads and writes, repositories built from JSON source text, the sample
// repository and running the built programs.
#ifndef WQSQL_TESTS_TEST_UTIL_H_
#define WQSQL_TESTS_TEST_UTIL_H_

#include <string>

namespace wqtest {

// A fresh empty folder, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces the file's contents; fails the current test when it cannot.
void WriteFile(const std::string& path, const std::string& bytes);

// Builds the repository file `repo_path` from the JSON source `json` with
// wqmake; returns wqmake's standard error (empty on success).
std::string MakeRepository(const std::string& json, const std::string& repo_path);

// The sample repository built from examples/dravik.json with the build,
// and the source it comes from.
const char* SampleRepository();
const char* SampleSource();

// Runs the shell in `folder` on `input` (C.UTF-8 locale) and returns its
// standard output.
std::string RunShell(const std::string& folder, const std::string& input);

// Runs `command` with /bin/sh; returns its exit status as the shell
// reports it ($?).
int RunCommand(const std::string& command);

}  // namespace wqtest

#endif  // WQSQL_TESTS_TEST_UTIL_H_
