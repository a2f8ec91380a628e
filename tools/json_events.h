// The parser's side of the source reader: the token buffer and JSON type the
// parser is instantiated with, the input iterator that lets the reader see
// how far the parser has read, JSON values as events deliver them,
// re-reading a single value at an offset, and parse errors reworded.
#ifndef WQSQL_TOOLS_JSON_EVENTS_H_
#define WQSQL_TOOLS_JSON_EVENTS_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace wqsource {

// The parser's token buffer. The lexer appends every character of a string
// or number to it with push_back; the standard string's push_back is an
// out-of-line library call, this one is a compare and a store. data() of a
// mutable buffer ends in a NUL, as the lexer's number conversion requires.
class TokenText {
 public:
  using value_type = char;
  using size_type = size_t;

  TokenText() : buf_(static_cast<char*>(std::malloc(kInitialCapacity + 1))) {
    if (buf_ == nullptr) throw std::bad_alloc();
    buf_[0] = '\0';
  }
  ~TokenText() { std::free(buf_); }
  TokenText(const TokenText&) = delete;
  TokenText& operator=(const TokenText&) = delete;

  void push_back(char c) {
    if (size_ == capacity_) Grow();
    buf_[size_++] = c;
  }
  void clear() { size_ = 0; }
  char* data() {
    buf_[size_] = '\0';
    return buf_;
  }
  const char* data() const { return buf_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return std::string_view(buf_, size_); }

 private:
  static constexpr size_t kInitialCapacity = 256;
  void Grow() {
    char* grown = static_cast<char*>(std::realloc(buf_, capacity_ * 2 + 1));
    if (grown == nullptr) throw std::bad_alloc();
    buf_ = grown;
    capacity_ *= 2;
  }
  char* buf_;
  size_t size_ = 0;
  size_t capacity_ = kInitialCapacity;
};

// The JSON type the parser works with; only its SAX parser is used, never a
// document tree.
using Json = nlohmann::basic_json<std::map, std::vector, TokenText>;

// How far the parser has read: the next character and the end of the text.
struct Cursor {
  const char* pos;
  const char* end;
};

// An input iterator over a Cursor. The parser's input adapter holds a begin
// and an end iterator and only ever asks the begin one whether it reached
// the other; both share the one Cursor, so "reached the end" is a compare of
// the cursor with its own end and the reader sees the position at any time.
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

// Runs the JSON parser over the cursor's text with `sax` as its event
// handler: the same parse as Json::sax_parse of JSON text without comments,
// minus the readers of binary formats that sax_parse would also compile.
template <typename Sax>
bool ParseJson(Cursor& cursor, Sax* sax, bool strict) {
  using Adapter = nlohmann::detail::iterator_input_adapter<CursorIterator>;
  Adapter input{CursorIterator(&cursor), CursorIterator(&cursor)};
  nlohmann::detail::parser<Json, Adapter> parser(std::move(input), nullptr, true, false);
  return parser.sax_parse(sax, strict);
}

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
    return Set(raw.view().find_first_of(".eE") == std::string_view::npos ? Scalar::kBigInt
                                                                          : Scalar::kFloat);
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
