// SourceWatch: the watch in place, and the step between two reports.
#include "tools/make/source_progress.h"

namespace wqsource {

namespace {

// Bytes of source between two reports: often enough for a bar redrawn ten
// times a second, rare enough to cost nothing.
constexpr size_t kStep = size_t{1} << 18;

SourceProgress watch;
uint64_t watch_total = 0;

}  // namespace

namespace internal {

void Report(size_t offset) {
  next_report = offset + kStep;
  watch.report(offset, watch_total, watch.context);
}

}  // namespace internal

SourceWatch::SourceWatch(const SourceProgress& progress, uint64_t total) {
  watch = progress;
  watch_total = total;
  internal::next_report = progress.report != nullptr ? 0 : SIZE_MAX;
}

SourceWatch::~SourceWatch() {
  internal::next_report = SIZE_MAX;
  watch = SourceProgress();
}

}  // namespace wqsource
