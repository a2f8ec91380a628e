// TokenText: the string type the JSON parser keeps its tokens in. The lexer
// appends every character of a string or number with push_back; the standard
// string's push_back is an out-of-line library call, this one is a compare
// and a store.
#ifndef WQSQL_TOOLS_MAKE_TOKEN_TEXT_H_
#define WQSQL_TOOLS_MAKE_TOKEN_TEXT_H_

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

namespace wqsource {

class TokenText {
 public:
  using value_type = char;
  using size_type = size_t;

  TokenText() : buf_(static_cast<char*>(std::malloc(kInitialCapacity + 1))) {
    if (buf_ == nullptr) throw std::bad_alloc();
    buf_[0] = '\0';
  }
  ~TokenText() { std::free(buf_); }

  // Construction from text, copies and append serve the readers of binary
  // formats that the parser's entry point compiles as well; JSON text never
  // reaches them.
  TokenText(const char* text) : TokenText() { Append(text, std::char_traits<char>::length(text)); }
  TokenText(const std::string& text) : TokenText() { Append(text.data(), text.size()); }
  TokenText(size_t count, char c) : TokenText() {
    while (count-- > 0) push_back(c);
  }
  TokenText(const TokenText& other) : TokenText() { Append(other.buf_, other.size_); }
  TokenText& operator=(const TokenText& other) {
    if (this != &other) {
      clear();
      Append(other.buf_, other.size_);
    }
    return *this;
  }
  void append(const TokenText& other) { Append(other.buf_, other.size_); }

  void push_back(char c) {
    if (size_ == capacity_) Grow();
    buf_[size_++] = c;
  }
  void clear() { size_ = 0; }
  // Ends in a NUL, as the lexer's number conversion requires.
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
  void Append(const char* text, size_t n) {
    for (size_t i = 0; i < n; ++i) push_back(text[i]);
  }

  char* buf_;
  size_t size_ = 0;
  size_t capacity_ = kInitialCapacity;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_TOKEN_TEXT_H_
