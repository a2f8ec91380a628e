// wqcheck [--quick] [--stats] REPO...: checks repository files for a
// script or a cron job. For each file one line on standard output, "REPO:
// ok (...)" or "REPO: " and the first fault with where it is; --stats adds
// what the file holds. Exit status 0 when every file is sound, 1 when any
// is not or cannot be read, 2 for a usage error.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "platform/text.h"
#include "store/inspect.h"
#include "store/scan.h"
#include "tools/check/check_report.h"
#include "tools/common/progress_bar.h"
#include "tools/common/repository_file.h"
#include "tools/common/tool_messages.h"

namespace {

constexpr const char* kTool = "wqcheck";
constexpr const char* kSynopsis = "usage: wqcheck [--quick] [--stats] REPO...\n";
constexpr const char* kHelp =
    "Checks each repository file REPO: every checksum and every structural rule\n"
    "of the whole file, the same check as the shell's validation. Prints one line\n"
    "per file, \"REPO: ok (C classes, O objects, B bytes)\" or \"REPO: \" and the\n"
    "first fault found.\n"
    "\n"
    "  --quick     only what connecting checks (header, directory, tables), in\n"
    "              time independent of the number of objects\n"
    "  --stats     after the verdict, what the file holds: section sizes, each\n"
    "              class, and (without --quick) the heap's strings and blobs\n"
    "  -h, --help      this text\n"
    "  -V, --version   the version\n"
    "\n"
    "On a terminal a check that takes more than a second shows its progress on\n"
    "standard error. Exit status: 0 all sound, 1 a file is not sound or cannot\n"
    "be read, 2 usage error.\n";

// The first error writing standard output, or 0.
int write_errno = 0;

struct Options {
  bool quick = false;
  bool stats = false;
};

// Checks one file and prints its lines; true when it is sound.
bool CheckFile(const std::string& path, const Options& o) {
  const std::string shown = ShownPath(path);  // one file, one line
  std::string out;
  bool sound = false;
  try {
    std::unique_ptr<wqstore::Reader> reader;
    const Status opened = wqtools::OpenRepository(path, &reader);
    if (!opened.ok()) {
      out = shown + ": " + opened.message() + "\n";
    } else {
      Status checked;
      if (!o.quick) {
        wqtools::ProgressBar bar(shown);
        checked = wqtools::CheckRepository(*reader, path, bar.callback());
      }
      const wqstore::RepositoryFigures figures = wqstore::DescribeRepository(*reader);
      sound = checked.ok();
      out = sound ? wqtools::SoundLine(shown, figures) : shown + ": " + checked.message() + "\n";
      if (o.stats) {
        wqstore::HeapFigures heap;
        if (sound && !o.quick) heap = wqstore::CountHeapEntries(*reader);
        out += wqtools::StatsLines(figures, sound && !o.quick ? &heap : nullptr);
      }
    }
  } catch (const std::bad_alloc&) {
    out = shown + ": out of memory\n";
    sound = false;
  } catch (const std::exception& e) {
    out = shown + ": " + e.what() + "\n";
    sound = false;
  }
  if ((std::fputs(out.c_str(), stdout) == EOF || std::fflush(stdout) != 0) && write_errno == 0) {
    write_errno = errno;
  }
  return sound;
}

}  // namespace

int main(int argc, char** argv) {
  static const option kLong[] = {{"quick", no_argument, nullptr, 'q'},
                                 {"stats", no_argument, nullptr, 's'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},
                                 {nullptr, 0, nullptr, 0}};
  Options o;
  opterr = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, "+:hV", kLong, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'q': o.quick = true; break;
      case 's': o.stats = true; break;
      default: return wqtools::AnswerSharedOption(c, kTool, kSynopsis, kHelp, argv);
    }
  }
  if (optind == argc) return wqtools::ReportUsageError(kTool, "no repository given", kSynopsis);
  bool all_sound = true;
  for (int i = optind; i < argc; i++) {
    if (!CheckFile(argv[i], o)) all_sound = false;
  }
  // A verdict that could not be written must not pass for a sound file.
  if (write_errno != 0) {
    return wqtools::ReportError(kTool,
                                "cannot write to standard output: " + ErrnoText(write_errno));
  }
  return all_sound ? 0 : 1;
}
