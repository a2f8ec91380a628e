// Fuzz target: arbitrary command lines, several per input (one per line),
// run by the shell's dispatcher against the sample repository, with the
// output discarded.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_util.h"
#include "repository/connection.h"
#include "shell/shell.h"
#include "terminal/output.h"

#ifndef WQ_SAMPLE_REPOSITORY
#error "WQ_SAMPLE_REPOSITORY must name the sample repository file"
#endif

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DiscardStdout();
  // Work where "dravik.rtm" is the sample, so `connect dravik.rtm` works.
  const std::string dir = WQ_SAMPLE_REPOSITORY;
  const size_t slash = dir.rfind('/');
  if (slash != std::string::npos && chdir(dir.substr(0, slash).c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!IsConnected()) (void)ConnectRepository("dravik.rtm");
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ExecuteCommand(text.substr(start, end - start).c_str());
    start = end + 1;
  }
  out::Flush();
  return 0;
}
