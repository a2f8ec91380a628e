// The parser's side of the source reader: the JSON type the parser is
// instantiated with, the input iterator that lets the reader see how far the
// parser has read, the parser run over a cursor, its events in terms of
// Scalars, re-reading a single value at an offset, and parse errors
// reworded.
#ifndef WQSQL_TOOLS_MAKE_JSON_EVENTS_H_
#define WQSQL_TOOLS_MAKE_JSON_EVENTS_H_

#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/make/json_scalar.h"
#include "tools/make/token_text.h"

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

// The parser's event interface in terms of Scalars, for a `Derived` handler
// that provides
//   bool OnValue(const Scalar& v, bool number)  a value, or an array or
//       object that starts; `number`: the parser has read one character
//       past the value
//   bool OnEnd()                       the end of an array or object
//   bool OnKey(std::string_view key)   a key of an object
//   bool OnNumberOutOfRange()          a number too small in magnitude for
//       a double, which rounded to zero; the parser has read one character
//       past it
//   bool OnParseError(size_t position, const std::string& last_token,
//                     const Json::exception& error)
// each returning false to stop the parser.
template <typename Derived>
class ScalarEvents {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  bool null() { return Self().OnValue(Scalar{}, false); }
  bool boolean(bool b) {
    Scalar v;
    v.kind = Scalar::kBool;
    v.b = b;
    return Self().OnValue(v, false);
  }
  bool number_integer(number_integer_t i) {
    Scalar v;
    v.kind = Scalar::kInt;
    v.i = i;
    return Self().OnValue(v, true);
  }
  bool number_unsigned(number_unsigned_t u) {
    Scalar v;
    v.kind = Scalar::kUnsigned;
    v.u = u;
    return Self().OnValue(v, true);
  }
  bool number_float(number_float_t d, const string_t& raw) {
    if (d == 0 && IsNonZeroLiteral(raw.view())) return Self().OnNumberOutOfRange();
    Scalar v;
    v.kind = FloatKind(raw.view());
    v.d = d;
    return Self().OnValue(v, true);
  }
  bool string(string_t& s) {
    Scalar v;
    v.kind = Scalar::kString;
    v.s = s.view();
    return Self().OnValue(v, false);
  }
  bool binary(binary_t&) { return false; }  // JSON text has no binary values
  bool start_object(std::size_t) { return Start(Scalar::kObject); }
  bool start_array(std::size_t) { return Start(Scalar::kArray); }
  bool end_object() { return Self().OnEnd(); }
  bool end_array() { return Self().OnEnd(); }
  bool key(string_t& k) { return Self().OnKey(k.view()); }
  bool parse_error(std::size_t position, const std::string& last_token,
                   const Json::exception& error) {
    return Self().OnParseError(position, last_token, error);
  }

 private:
  Derived& Self() { return static_cast<Derived&>(*this); }
  bool Start(Scalar::Kind kind) {
    Scalar v;
    v.kind = kind;
    return Self().OnValue(v, false);
  }
};

// Reads the one JSON value that starts at an offset of the source, which the
// main pass has already checked. Arrays and objects are not read into.
class OneValue : public ScalarEvents<OneValue> {
 public:
  // The value at `offset`; its string stays valid until the next Read.
  const Scalar& Read(std::string_view text, size_t offset);

 private:
  friend class ScalarEvents<OneValue>;

  bool OnValue(const Scalar& v, bool) {
    v_ = v;
    if (v.kind == Scalar::kString) str_.assign(v.s);
    return v.kind != Scalar::kArray && v.kind != Scalar::kObject;
  }
  bool OnEnd() { return false; }
  bool OnKey(std::string_view) { return false; }
  bool OnNumberOutOfRange() { return false; }
  bool OnParseError(std::size_t, const std::string&, const Json::exception&) { return false; }

  Scalar v_;
  std::string str_;
};

// The parser's error message `what` as one line without its own prefix and
// position, the text last read shortened and made printable.
std::string DescribeParseError(const std::string& what, const std::string& last_token);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_JSON_EVENTS_H_
