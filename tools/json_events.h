// The parser's side of the source reader: JSON values as events deliver
// them, the input iterator that lets the reader see how far the parser has
// read, re-reading a single value at an offset, and parse errors reworded.
#ifndef WQSQL_TOOLS_JSON_EVENTS_H_
#define WQSQL_TOOLS_JSON_EVENTS_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace wqsource {

using Json = nlohmann::json;

// An input iterator whose position lives outside it. The parser copies the
// iterators into its input adapter; every copy shares the one cursor, so the
// reader always knows how far the parser has read.
class CursorIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  explicit CursorIterator(const char** cursor) : cursor_(cursor) {}
  explicit CursorIterator(const char* end) : end_(end) {}

  const char& operator*() const { return **cursor_; }
  CursorIterator& operator++() {
    ++*cursor_;
    return *this;
  }
  bool operator==(const CursorIterator& o) const { return Pos() == o.Pos(); }
  bool operator!=(const CursorIterator& o) const { return Pos() != o.Pos(); }

 private:
  const char* Pos() const { return cursor_ != nullptr ? *cursor_ : end_; }
  const char** cursor_ = nullptr;
  const char* end_ = nullptr;
};

// One JSON value as an event delivers it. Strings point into the parser's
// buffer and live for the event only.
struct Scalar {
  enum Kind : uint8_t { kNull, kBool, kInt, kUnsigned, kBigInt, kFloat, kString, kArray, kObject };
  Kind kind = kNull;
  bool b = false;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0;  // kFloat and kBigInt (an integer literal beyond 64 bits)
  std::string_view s;
};

// "null", "an integer", "a string"... for messages.
const char* KindName(Scalar::Kind k);

inline bool IsInteger(Scalar::Kind k) {
  return k == Scalar::kInt || k == Scalar::kUnsigned || k == Scalar::kBigInt;
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
    return Set(raw.find_first_of(".eE") == std::string::npos ? Scalar::kBigInt : Scalar::kFloat);
  }
  bool string(string_t& s) {
    str_.swap(s);
    return Set(Scalar::kString);
  }
  bool binary(binary_t&) { return false; }
  bool start_object(std::size_t) { return Set(Scalar::kObject) && false; }
  bool start_array(std::size_t) { return Set(Scalar::kArray) && false; }
  bool end_object() { return false; }
  bool end_array() { return false; }
  bool key(string_t&) { return false; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

 private:
  bool Set(Scalar::Kind k) {
    v_.kind = k;
    return true;
  }
  Scalar v_;
  std::string str_;
};

// nlohmann's parse error message `what` as one line without its own prefix
// and position, the text last read shortened and made printable.
std::string DescribeParseError(const std::string& what, const std::string& last_token);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_JSON_EVENTS_H_
