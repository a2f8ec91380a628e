// wqmake [-h|--help] [-V|--version] SOURCE.json REPO.rtm: builds a
// repository file from a JSON source, read from standard input when
// SOURCE.json is "-".
// Prints nothing on success; on failure one line "wqmake: " and the reason on
// standard error, exit status 1, and the target left as it was. A usage
// error gives the synopsis on standard error and exit status 2.
#include <getopt.h>

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "platform/status.h"
#include "platform/text.h"
#include "tools/common/progress_bar.h"
#include "tools/common/tool_messages.h"
#include "tools/make/make_repository.h"
#include "tools/make/source_file.h"

namespace {

constexpr const char* kTool = "wqmake";
constexpr const char* kSynopsis = "usage: wqmake SOURCE.json REPO.rtm\n";
constexpr const char* kHelp =
    "Builds the repository file REPO.rtm from the JSON source SOURCE.json, or\n"
    "from standard input when SOURCE.json is -. The source is checked\n"
    "completely first; the repository is written to a temporary file and put\n"
    "in place only when everything succeeded, so a failed run leaves an\n"
    "existing REPO.rtm as it was. The source format: man 5 wqsource.\n"
    "On a terminal a build that takes more than a second shows its progress\n"
    "on standard error.\n"
    "\n"
    "  -h, --help      this text\n"
    "  -V, --version   the version\n"
    "\n"
    "Exit status: 0 written, 1 a fault in the source or in writing, 2 usage\n"
    "error.\n";

}  // namespace

int main(int argc, char** argv) {
  static const option kLong[] = {{"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (;;) {
    // "+": options end at the first operand, so "-" stays the source.
    const int c = getopt_long(argc, argv, "+:hV", kLong, nullptr);
    if (c == -1) break;
    return wqtools::AnswerSharedOption(c, kTool, kSynopsis, kHelp, argv);
  }
  if (argc - optind != 2) {
    // The synopsis alone, on the one line wqmake has always printed for it.
    std::fprintf(stderr, "%s: %s", kTool, kSynopsis);
    return 2;
  }
  try {
    Status made;
    {
      const std::string source = argv[optind];
      wqtools::ProgressBar bar(source == wqsource::SourceFile::kStandardInputPath
                                   ? std::string(wqsource::SourceFile::kStandardInputName)
                                   : ShownPath(source));
      const wqstore::ValidateProgress p = bar.callback();
      made = wqsource::MakeRepository(argv[optind], argv[optind + 1],
                                      wqsource::SourceProgress{p.report, p.context});
    }  // the bar is erased before any message
    if (!made.ok()) return wqtools::ReportError(kTool, made.message());
  } catch (const std::bad_alloc&) {
    return wqtools::ReportError(kTool, "out of memory");
  } catch (const std::exception& e) {
    return wqtools::ReportError(kTool, e.what());
  }
  return 0;
}
