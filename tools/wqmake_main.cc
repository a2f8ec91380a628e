// wqmake SOURCE.json REPO.rtm: builds a repository file from a JSON source.
// Prints nothing on success; on failure one line "wqmake: " and the reason on
// standard error, exit status 1, and the target left as it was.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "tools/json_source.h"

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
    wqsource::MakeRepository(argv[1], argv[2]);
  } catch (const std::bad_alloc&) {
    return Report("out of memory");
  } catch (const std::exception& e) {
    return Report(e.what());
  }
  return 0;
}
