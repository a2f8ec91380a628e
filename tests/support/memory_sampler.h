// Running a built program while sampling its memory: the peak of its
// anonymous resident memory (RssAnon in /proc/PID/status, the memory the
// program allocates, as opposed to the pages of files it maps) over the
// whole run, and for information its peak resident set (VmHWM, which
// counts mapped file pages too).
#ifndef WQSQL_TESTS_MEMORY_SAMPLER_H_
#define WQSQL_TESTS_MEMORY_SAMPLER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace wqtest {

struct SampledRun {
  int status = -1;             // the exit status, or 128 + the signal that ended it
  std::string err;             // standard error
  uint64_t peak_rss_anon = 0;  // bytes, the largest RssAnon sampled
  uint64_t peak_rss = 0;       // bytes, VmHWM at the last sample that had it
  uint64_t samples = 0;        // how many samples were read
  double seconds = 0;          // wall time of the run
};

// Runs `argv` (argv[0] a path; no shell in between, so the process sampled
// is the program itself) with standard input from /dev/null, standard
// output to `output_path` (created or truncated; "/dev/null" to discard it)
// and standard error kept, reading /proc/PID/status every
// `interval_ms` milliseconds until it exits.
SampledRun RunSampled(const std::vector<std::string>& argv, const std::string& output_path,
                      int interval_ms = 2);

// "123.4 MiB" for a message.
std::string Mebibytes(uint64_t bytes);

}  // namespace wqtest

#endif  // WQSQL_TESTS_MEMORY_SAMPLER_H_
