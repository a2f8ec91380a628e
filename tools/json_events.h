// The parser's side of the source reader: the JSON type the parser is
// instantiated with, the input iterator that lets the reader see how far the
// parser has read, the parser run over a cursor, re-reading a single value
// at an offset, and parse errors reworded.
#ifndef WQSQL_TOOLS_JSON_EVENTS_H_
#define WQSQL_TOOLS_JSON_EVENTS_H_

#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/json_scalar.h"
#include "tools/token_text.h"

namespace wqsource {

// The JSON type the parser works with; only its SAX parser is used, never a
// document tree.
using Json = nlohmann::basic_json<std::map, std::vector, TokenText>;

// How far the parser has read: the next character and the end of the text.
struct Cursor {
  const char* pos;
  const char* end;
};

// An input iterator over a Cursor, for the parser's iterator-pair input. The
// parser holds a begin and an end iterator and only ever asks the begin one
// whether it reached the other; both share the one Cursor, so "reached the
// end" is a compare of the cursor with its own end and the reader sees the
// position at any time.
class CursorIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  explicit CursorIterator(Cursor* cursor) : cursor_(cursor) {}

  const char& operator*() const { return *cursor_->pos; }
  CursorIterator& operator++() {
    ++cursor_->pos;
    return *this;
  }
  bool operator==(const CursorIterator&) const { return cursor_->pos == cursor_->end; }
  bool operator!=(const CursorIterator&) const { return cursor_->pos != cursor_->end; }

 private:
  Cursor* cursor_;
};

// Runs the JSON parser over the cursor's text, JSON without comments, with
// `sax` as its event handler. `strict`: the value must be all of the text.
// False when the parser met an error or a handler stopped it.
template <typename Sax>
bool ParseJson(Cursor& cursor, Sax* sax, bool strict) {
  return Json::sax_parse(CursorIterator(&cursor), CursorIterator(&cursor), sax,
                         Json::input_format_t::json, strict);
}

// Reads the one JSON value that starts at an offset of the source, which the
// main pass has already checked. Arrays and objects are not read into.
class OneValue {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  // The value at `offset`; its string stays valid until the next Read.
  const Scalar& Read(std::string_view text, size_t offset);

  bool null() { return Set(Scalar::kNull); }
  bool boolean(bool b) {
    v_.b = b;
    return Set(Scalar::kBool);
  }
  bool number_integer(number_integer_t i) {
    v_.i = i;
    return Set(Scalar::kInt);
  }
  bool number_unsigned(number_unsigned_t u) {
    v_.u = u;
    return Set(Scalar::kUnsigned);
  }
  bool number_float(number_float_t d, const string_t& raw) {
    v_.d = d;
    return Set(FloatKind(raw.view()));
  }
  bool string(string_t& s) {
    str_.assign(s.data(), s.size());
    return Set(Scalar::kString);
  }
  bool binary(binary_t&) { return false; }
  bool start_object(std::size_t) { return Set(Scalar::kObject) && false; }
  bool start_array(std::size_t) { return Set(Scalar::kArray) && false; }
  bool end_object() { return false; }
  bool end_array() { return false; }
  bool key(string_t&) { return false; }
  bool parse_error(std::size_t, const std::string&, const Json::exception&) { return false; }

 private:
  bool Set(Scalar::Kind k) {
    v_.kind = k;
    return true;
  }
  Scalar v_;
  std::string str_;
};

// The parser's error message `what` as one line without its own prefix and
// position, the text last read shortened and made printable.
std::string DescribeParseError(const std::string& what, const std::string& last_token);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_JSON_EVENTS_H_
