// ProgressBar: the line is rebuilt on each redraw, cut to the terminal's
// width so that it never wraps (a wrapped line could not be redrawn in
// place), and written with one write(2) to standard error.
#include "tools/common/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace wqtools {

namespace {

constexpr long long kRedrawUs = 100000;

// Microseconds from a monotonic clock.
long long NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
constexpr int kBarWidth = 20;

void WriteErr(const std::string& s) {
  if (::write(STDERR_FILENO, s.data(), s.size()) < 0) {
    // Nothing to do: the bar is only a courtesy.
  }
}

int TerminalColumns() {
  struct winsize ws;
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

}  // namespace

std::string ByteSize(double bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%.0f B", bytes);
    return text;
  }
  int unit = 0;
  bytes /= 1024;
  while (bytes >= 1024 && unit < 3) {
    bytes /= 1024;
    unit++;
  }
  std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
  return text;
}

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), enabled_(::isatty(STDERR_FILENO) == 1) {
  if (!enabled_) return;
  if (const char* delay = std::getenv("WQCHECK_PROGRESS_DELAY_MS")) {
    char* end = nullptr;
    const long long ms = std::strtoll(delay, &end, 10);
    if (end != delay && *end == '\0' && ms >= 0) delay_us_ = ms * 1000;
  }
  start_us_ = NowUs();
}

void ProgressBar::OnProgress(uint64_t done, uint64_t total, void* bar) {
  ProgressBar* self = static_cast<ProgressBar*>(bar);
  const long long now = NowUs();
  if (now - self->start_us_ < self->delay_us_) return;
  if (self->drawn_us_ >= 0 && now - self->drawn_us_ < kRedrawUs) return;
  self->Draw(done, total, now);
}

void ProgressBar::Draw(uint64_t done, uint64_t total, long long now_us) {
  drawn_us_ = now_us;
  const double part = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(part * kBarWidth);
  const double seconds = static_cast<double>(now_us - start_us_) / 1e6;
  std::string figures =
      " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(part * 100));
  figures += percent;
  figures +=
      "  " + ByteSize(static_cast<double>(done)) + " of " + ByteSize(static_cast<double>(total));
  if (seconds > 0) figures += ", " + ByteSize(static_cast<double>(done) / seconds) + "/s";

  // The name gives way first: its end is kept, which tells files apart.
  const size_t width = static_cast<size_t>(TerminalColumns()) - 1;
  std::string name = label_;
  if (figures.size() >= width) {
    name.clear();
    figures.resize(width);
  } else if (name.size() + figures.size() > width) {
    const size_t keep = width - figures.size();
    size_t from = name.size() - (keep > 3 ? keep - 3 : 0);
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) from++;
    name = keep > 3 ? "..." + name.substr(from) : std::string();
  }
  WriteErr("\r" + name + figures + "\033[K");
}

void ProgressBar::Clear() {
  if (drawn_us_ < 0) return;
  drawn_us_ = -1;
  WriteErr("\r\033[K");
}

}  // namespace wqtools
