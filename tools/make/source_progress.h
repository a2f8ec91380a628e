// How far the reading of a source has come, for wqmake's progress bar: the
// reader says now and then which offset of the source text it has reached
// (SourceReached), and a SourceWatch, while one is in place, passes that on
// as bytes done of the source's size. Without a watch a report costs one
// comparison. One watch at a time: a process builds one repository at once.
#ifndef WQSQL_TOOLS_MAKE_SOURCE_PROGRESS_H_
#define WQSQL_TOOLS_MAKE_SOURCE_PROGRESS_H_

#include <cstddef>
#include <cstdint>

namespace wqsource {

// Where progress goes: `report` with the bytes done and the total, and
// `context`. Without `report` nothing is told.
struct SourceProgress {
  void (*report)(uint64_t done, uint64_t total, void* context) = nullptr;
  void* context = nullptr;
};

namespace internal {
// The offset past which the next report is due; SIZE_MAX without a watch.
inline size_t next_report = SIZE_MAX;
void Report(size_t offset);
}  // namespace internal

// The reader has reached `offset` of the text. A second pass over the same
// text is reported again once it gets past where the first one was told.
inline void SourceReached(size_t offset) {
  if (offset >= internal::next_report) internal::Report(offset);
}

// Passes the reader's progress over a text of `total` bytes to `progress`
// while it exists.
class SourceWatch {
 public:
  SourceWatch(const SourceProgress& progress, uint64_t total);
  ~SourceWatch();
  SourceWatch(const SourceWatch&) = delete;
  SourceWatch& operator=(const SourceWatch&) = delete;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_SOURCE_PROGRESS_H_
