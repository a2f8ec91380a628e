// wqmake SOURCE.json REPO.rtm: builds a repository file from a JSON source,
// read from standard input when SOURCE.json is "-".
// Prints nothing on success; on failure one line "wqmake: " and the reason on
// standard error, exit status 1, and the target left as it was.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "platform/status.h"
#include "tools/make_repository.h"

namespace {

int Report(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "wqmake: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Report("usage: wqmake SOURCE.json REPO.rtm");
  try {
    const Status made = wqsource::MakeRepository(argv[1], argv[2]);
    if (!made.ok()) return Report(made.message());
  } catch (const std::bad_alloc&) {
    return Report("out of memory");
  } catch (const std::exception& e) {
    return Report(e.what());
  }
  return 0;
}
