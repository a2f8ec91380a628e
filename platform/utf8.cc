// The whole-text UTF-8 check.
#include "platform/utf8.h"

#include <algorithm>
#include <iterator>

#include "platform/invisible_ranges.h"

size_t FindInvalidUtf8(const unsigned char* p, size_t n) {
  const unsigned char* const end = p + n;
  size_t i = 0;
  while (i < n) {
    if (n - i >= 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (AllAsciiWithoutNul(w)) {
        i += 8;
        continue;
      }
    }
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, end, &cp);
    if (len == 0 || cp == 0) return i;
    i += len;
  }
  return n;
}

namespace {

constexpr bool SortedApart(const wqstore::CodePointRange* r, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (r[i].first > r[i].last || (i > 0 && r[i].first <= r[i - 1].last + 1)) return false;
  }
  return n > 0;
}
// The search below relies on it.
static_assert(SortedApart(wqstore::kInvisibleRanges, std::size(wqstore::kInvisibleRanges)),
              "invisible ranges must be sorted, apart and not empty");

}  // namespace

bool IsInvisibleFormattingCharacter(uint32_t cp) {
  using wqstore::kInvisibleRanges;
  if (cp < kInvisibleRanges[0].first) return false;
  const auto* r = std::upper_bound(
      std::begin(kInvisibleRanges), std::end(kInvisibleRanges), cp,
      [](uint32_t c, const wqstore::CodePointRange& range) { return c < range.first; });
  return (r - 1)->last >= cp;
}
