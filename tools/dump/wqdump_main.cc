// wqdump [--format json|csv|jsonl] [--class NAME] [-o FILE] REPO: writes a
// repository back out as text, losslessly: the whole file as a wqmake
// source (json), or the objects of one class as CSV or JSON Lines, or with
// --all-classes -o FOLDER every class as one file of a new folder. The
// file is fully validated first; a damaged file is refused, never dumped.
// Exit status 0 on success, 1 for a bad repository or a write error, 2 for
// a usage error.
#include <getopt.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "platform/text.h"
#include "store/scan.h"
#include "tools/common/progress_bar.h"
#include "tools/common/repository_file.h"
#include "tools/common/text_sink.h"
#include "tools/common/tool_messages.h"
#include "tools/dump/dump_folder.h"
#include "tools/dump/dump_source.h"
#include "tools/dump/dump_table.h"

namespace {

constexpr const char* kTool = "wqdump";
constexpr const char* kSynopsis =
    "usage: wqdump [--format json|csv|jsonl] [--class NAME] [-o FILE] REPO\n"
    "       wqdump --format csv|jsonl --all-classes -o FOLDER REPO\n";
constexpr const char* kHelp =
    "Writes the repository file REPO as text, every value whole.\n"
    "\n"
    "  --format json    the whole repository as a wqmake source (the default):\n"
    "                   `wqdump a.rtm > a.json && wqmake a.json b.rtm` rebuilds it\n"
    "  --format csv     the objects of one class as CSV (RFC 4180) with a header row\n"
    "  --format jsonl   the objects of one class as JSON Lines, one object a line\n"
    "  --class NAME     the class for csv and jsonl\n"
    "  --all-classes    csv and jsonl of every class, one file each in the folder\n"
    "                   of -o, NAME.csv or NAME.jsonl (\"/\", \"%\", a leading \".\"\n"
    "                   and bytes outside printable ASCII as %XX); the folder must\n"
    "                   not exist or be empty, and appears only when complete\n"
    "  -o, --output FILE  write to FILE, replacing it only when the dump is complete;\n"
    "                   - or no -o: standard output\n"
    "  -h, --help       this text\n"
    "  -V, --version    the version\n"
    "\n"
    "REPO - reads a repository from standard input redirected from a file.\n"
    "On a terminal a dump to a file that takes more than a second shows its\n"
    "progress on standard error.\n"
    "The file is validated completely first; one that is damaged is refused.\n"
    "Exit status: 0 done, 1 bad repository or write error, 2 usage error.\n";

enum class Format { kSource, kCsv, kJsonLines };

struct Options {
  Format format = Format::kSource;
  bool has_class = false;
  bool all_classes = false;
  std::string class_name;
  std::string output = "-";
  std::string repo;
};

// Fills *o from the command line; returns -1 to go on, or the exit status.
int ParseOptions(int argc, char** argv, Options* o) {
  static const option kLong[] = {{"format", required_argument, nullptr, 'f'},
                                 {"class", required_argument, nullptr, 'c'},
                                 {"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},
                                 {"all-classes", no_argument, nullptr, 'a'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, "+:o:hV", kLong, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'f':
        if (std::strcmp(optarg, "json") == 0) {
          o->format = Format::kSource;
        } else if (std::strcmp(optarg, "csv") == 0) {
          o->format = Format::kCsv;
        } else if (std::strcmp(optarg, "jsonl") == 0) {
          o->format = Format::kJsonLines;
        } else {
          return wqtools::ReportUsageError(
              kTool, "unknown format \"" + std::string(optarg) + "\" (json, csv or jsonl)",
              kSynopsis);
        }
        break;
      case 'c':
        o->has_class = true;
        o->class_name = optarg;
        break;
      case 'o': o->output = optarg; break;
      case 'a': o->all_classes = true; break;
      default: return wqtools::AnswerSharedOption(c, kTool, kSynopsis, kHelp, argv);
    }
  }
  if (optind == argc) return wqtools::ReportUsageError(kTool, "no repository given", kSynopsis);
  if (optind + 1 < argc) {
    return wqtools::ReportUsageError(
        kTool, "one repository at a time, not " + std::to_string(argc - optind), kSynopsis);
  }
  o->repo = argv[optind];
  if (o->format == Format::kSource && (o->has_class || o->all_classes)) {
    return wqtools::ReportUsageError(kTool,
                                     std::string(o->has_class ? "--class" : "--all-classes") +
                                         " goes with --format csv or jsonl",
                                     kSynopsis);
  }
  if (o->has_class && o->all_classes) {
    return wqtools::ReportUsageError(kTool, "--class or --all-classes, not both", kSynopsis);
  }
  if (o->format != Format::kSource && !o->has_class && !o->all_classes) {
    return wqtools::ReportUsageError(kTool,
                                     std::string("--format ") +
                                         (o->format == Format::kCsv ? "csv" : "jsonl") +
                                         " needs --class NAME or --all-classes",
                                     kSynopsis);
  }
  if (o->output.empty())
    return wqtools::ReportUsageError(kTool, "empty output file name", kSynopsis);
  if (o->all_classes && o->output == "-") {
    return wqtools::ReportUsageError(kTool, "--all-classes needs -o FOLDER", kSynopsis);
  }
  return -1;
}

// Dumps as `o` says onto `bar` (null: no bar); fails with the message
// wqdump prints.
Status Dump(const Options& o, wqtools::ProgressBar* bar) {
  const std::string repo = ShownPath(o.repo);
  std::unique_ptr<wqstore::Reader> reader;
  const Status opened = wqtools::OpenRepository(o.repo, &reader);
  if (!opened.ok()) return Status::Error(repo + ": " + opened.message());
  const Status checked = wqtools::CheckRepository(
      *reader, o.repo, bar != nullptr ? bar->callback() : wqstore::ValidateProgress());
  if (!checked.ok()) return Status::Error(repo + ": " + checked.message());

  const wqtools::TableFormat table =
      o.format == Format::kCsv ? wqtools::TableFormat::kCsv : wqtools::TableFormat::kJsonLines;
  if (o.all_classes) {
    wqtools::DumpProgress progress(bar, wqtools::DumpProgress::RecordBytes(*reader));
    return wqtools::WriteClassFolder(*reader, table, o.output, &progress);
  }
  const wqstore::ClassInfo* cls = nullptr;
  if (o.format != Format::kSource) {
    cls = reader->FindByName(o.class_name);
    if (cls == nullptr) {
      const std::string shown = ShownPath(o.class_name);
      return Status::Error(repo + ": no class named " +
                           (shown == o.class_name ? "\"" + shown + "\"" : shown));
    }
  }

  // Replacing the repository with its own dump would lose it.
  struct stat repo_info, output_info;
  if (o.output != "-" && ::stat(o.repo == "-" ? "/dev/stdin" : o.repo.c_str(), &repo_info) == 0 &&
      ::stat(o.output.c_str(), &output_info) == 0 && repo_info.st_dev == output_info.st_dev &&
      repo_info.st_ino == output_info.st_ino) {
    return Status::Error("cannot write " + ShownPath(o.output) + ": it is the repository");
  }
  std::unique_ptr<wqtools::TextSink> sink;
  if (o.output == "-") {
    sink.reset(new wqtools::TextSink());
  } else {
    WQ_RETURN_IF_ERROR(wqtools::TextSink::ToFile(o.output, &sink));
  }
  switch (o.format) {
    case Format::kSource: {
      wqtools::DumpProgress progress(bar, wqtools::DumpProgress::RecordBytes(*reader));
      wqtools::WriteSource(*reader, *sink, &progress);
      break;
    }
    case Format::kCsv:
    case Format::kJsonLines: {
      wqtools::DumpProgress progress(bar, wqtools::DumpProgress::RecordBytes(*cls));
      wqtools::WriteTable(*reader, *cls, table, *sink, &progress);
      break;
    }
  }
  // A file cut short or rewritten while it was dumped gave zeros or another
  // file's bytes: the dump is refused, and -o leaves its target as it was.
  const Status unchanged = wqtools::CheckUnchanged(*reader);
  if (!unchanged.ok()) return Status::Error(repo + ": " + unchanged.message());
  return sink->Finish();
}

// Dumps with a progress bar when writing to a file, erased before any
// message; returns the exit status.
int Dump(const Options& o) {
  Status dumped;
  if (o.output == "-") {
    dumped = Dump(o, nullptr);
  } else {
    wqtools::ProgressBar bar(ShownPath(o.output));
    dumped = Dump(o, &bar);
  }
  return dumped.ok() ? 0 : wqtools::ReportError(kTool, dumped.message());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int parsed = ParseOptions(argc, argv, &options);
  if (parsed >= 0) return parsed;
  try {
    return Dump(options);
  } catch (const std::bad_alloc&) {
    return wqtools::ReportError(kTool, ShownPath(options.repo) + ": out of memory");
  } catch (const std::exception& e) {
    return wqtools::ReportError(kTool, ShownPath(options.repo) + ": " + e.what());
  }
}
