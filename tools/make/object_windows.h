// ObjectWindows: the elements of a source's "objects" array read a window at
// a time with simdjson's On-Demand parser. A window is a run of whole
// elements copied, between '[' and ']', into a padded buffer of a few
// mebibytes, so memory stays the same whatever the size of the source.
// Windows end where a line break follows an element and its comma (a line
// break is never inside a JSON string); a source written on one line is cut
// by a scan that follows strings and brackets.
#ifndef WQSQL_TOOLS_MAKE_OBJECT_WINDOWS_H_
#define WQSQL_TOOLS_MAKE_OBJECT_WINDOWS_H_

#include <cstddef>
#include <memory>
#include <string_view>

#include <simdjson.h>

#include "tools/make/json_scalar.h"

namespace wqsource {

class ObjectWindows {
 public:
  // The windows a cut aims at, and the most one may take for an element
  // longer than that; a longer element is left to the event parser.
  static constexpr size_t kWindow = size_t{1} << 20;
  static constexpr size_t kMaxWindow = size_t{4} << 20;

  explicit ObjectWindows(std::string_view text) : text_(text) {}

  // The end of a window of whole elements from the element whose '{' is at
  // `from`: the offset just past the '}' of its last element. False when no
  // element ends within kMaxWindow.
  bool Cut(size_t from, size_t* end) const;

  // Parses text[from, end) as the elements of an array. False on a fault,
  // which the event parser then places.
  bool Parse(size_t from, size_t end, simdjson::ondemand::document* doc);

  // The source offset of a pointer into the current window.
  size_t OffsetOf(const char* p) const {
    return from_ + static_cast<size_t>(p - (buffer_.get() + 1));
  }

 private:
  // Past the element at `from` by the scan of strings and brackets; 0 when
  // it does not end before `limit`.
  size_t ScanElement(size_t from, size_t limit) const;

  std::string_view text_;
  simdjson::ondemand::parser parser_;
  std::unique_ptr<char[]> buffer_;
  size_t buffer_size_ = 0;
  size_t from_ = 0;
};

// The value `v` at `*offset` (its token's offset in the source) as a Scalar:
// false for arrays and objects, numbers beyond 64 bits and any fault, all
// of which the event parser reads instead. A string stays valid until the
// next string of the window is read.
bool WindowScalar(simdjson::ondemand::value v, const ObjectWindows& windows, Scalar* out,
                  size_t* offset);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_OBJECT_WINDOWS_H_
