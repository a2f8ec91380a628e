// MakeRepository: reads a JSON source, from a file or standard input, builds
// the repository it describes and commits it through the writer, which
// replaces the target atomically. The target is never opened here.
#include "tools/make/make_repository.h"

#include <memory>
#include <string>

#include <sys/stat.h>

#include "platform/text.h"
#include "store/writer.h"
#include "tools/make/json_source.h"
#include "tools/make/source_file.h"

namespace wqsource {

Status MakeRepository(const std::string& source_path, const std::string& repo_path,
                      const SourceProgress& progress) {
  const std::string shown_source = ShownPath(source_path);
  const std::string shown_repo = ShownPath(repo_path);
  std::unique_ptr<wqstore::RepositoryWriter> writer;
  {
    SourceFile source;
    std::string_view source_name = shown_source;
    // The CSV files a source names are found beside it; beside standard
    // input means in the current directory.
    std::string csv_folder;
    if (source_path == SourceFile::kStandardInputPath) {
      WQ_RETURN_IF_ERROR(source.OpenStandardInput());
      source_name = SourceFile::kStandardInputName;
    } else {
      struct stat source_info;
      WQ_RETURN_IF_ERROR(source.Open(source_path, &source_info));
      const size_t slash = source_path.rfind('/');
      if (slash != std::string::npos) csv_folder = source_path.substr(0, slash == 0 ? 1 : slash);
      // Committing over the source would destroy it.
      struct stat target_info;
      if (::stat(repo_path.c_str(), &target_info) == 0 &&
          target_info.st_dev == source_info.st_dev && target_info.st_ino == source_info.st_ino) {
        return Status::Error("cannot write " + shown_repo + ": it is the source file");
      }
    }
    // The records and the heap wait in scratch files beside the target, so
    // that a source of any size builds in bounded memory.
    const SourceWatch watch(progress, source.text().size());
    const Status built = BuildFromJson(source.text(), &writer, source_name, repo_path, &csv_folder);
    // A source cut short under the parse read as zeros: the cut is the fault.
    WQ_RETURN_IF_ERROR(source.CheckUnchanged());
    WQ_RETURN_IF_ERROR(built);
  }  // the source text is released before the file image is written
  return writer->Commit(repo_path).Prefixed("cannot write " + shown_repo + ": ");
}

}  // namespace wqsource
