// MakeRepository: what wqmake does, a JSON source file (or standard input)
// in, a committed repository file out.
#ifndef WQSQL_TOOLS_MAKE_MAKE_REPOSITORY_H_
#define WQSQL_TOOLS_MAKE_MAKE_REPOSITORY_H_

#include <string>

#include "platform/status.h"
#include "tools/make/source_progress.h"

namespace wqsource {

// Reads the source file, or standard input when `source_path` is "-" (its
// messages then name it "standard input"), builds the repository and commits
// it to `repo_path`. Fails with the one line wqmake prints after "wqmake: ";
// the file at `repo_path` is then as it was. A file source must not be the
// file at `repo_path`. `progress` is told how many bytes of the source have
// been read as the build goes.
Status MakeRepository(const std::string& source_path, const std::string& repo_path,
                      const SourceProgress& progress = SourceProgress());

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_MAKE_REPOSITORY_H_
