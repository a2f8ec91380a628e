// The lines wqcheck prints about a file: the verdict "REPO: ok (C classes,
// O objects, B bytes)" and, for --stats, what the file holds.
#ifndef WQSQL_TOOLS_CHECK_CHECK_REPORT_H_
#define WQSQL_TOOLS_CHECK_CHECK_REPORT_H_

#include <string>

#include "store/inspect.h"

namespace wqtools {

// "3 classes", "1 class".
std::string Count(uint64_t n, const char* one, const char* many);

// "REPO: ok (8 classes, 102 objects, 7934 bytes)".
std::string SoundLine(const std::string& repo, const wqstore::RepositoryFigures& f);

// The figures, one line each, indented by two blanks: the format version,
// the section sizes and every class; then the heap's strings and blobs
// when `heap` is not null.
std::string StatsLines(const wqstore::RepositoryFigures& f, const wqstore::HeapFigures* heap);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_CHECK_CHECK_REPORT_H_
