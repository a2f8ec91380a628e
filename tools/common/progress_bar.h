// ProgressBar: how far a long run of a tool over one file has come (a
// check by wqcheck, a build by wqmake, a dump by wqdump to a file), drawn
// on standard error when that is a terminal: the file's name, a bar, the
// bytes done of the total and the rate, redrawn in place at most ten times
// a second. It appears only once the run has taken a second (or
// WQCHECK_PROGRESS_DELAY_MS milliseconds, when that is set) and is erased
// when the run ends, so nothing of it stays on the screen or reaches
// standard output or a file.
#ifndef WQSQL_TOOLS_COMMON_PROGRESS_BAR_H_
#define WQSQL_TOOLS_COMMON_PROGRESS_BAR_H_

#include <cstdint>
#include <string>

#include "store/validator.h"

namespace wqtools {

class ProgressBar {
 public:
  explicit ProgressBar(std::string label);
  ~ProgressBar() { Clear(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // The validator's progress callback, reporting to this bar.
  wqstore::ValidateProgress callback() {
    wqstore::ValidateProgress p;
    if (enabled_) {
      p.report = &ProgressBar::OnProgress;
      p.context = this;
    }
    return p;
  }
  // Reports `done` bytes of `total`, as the callback does.
  void Update(uint64_t done, uint64_t total) {
    if (enabled_) OnProgress(done, total, this);
  }
  // Erases the bar when it is shown.
  void Clear();

 private:
  static void OnProgress(uint64_t done, uint64_t total, void* bar);
  void Draw(uint64_t done, uint64_t total, long long now_us);

  const std::string label_;
  const bool enabled_;
  long long delay_us_ = 1000000;
  long long start_us_ = 0;
  long long drawn_us_ = -1;  // when last drawn; -1: not on the screen
};

// "512 B", "3.4 KiB", "120.0 MiB", "1.2 GiB".
std::string ByteSize(double bytes);

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_PROGRESS_BAR_H_
