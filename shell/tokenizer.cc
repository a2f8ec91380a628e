// Tokenizer and the case-insensitive comparison of command words.
#include "shell/tokenizer.h"

#include <cstring>

const char kCommandDelimiters[] = " \t\n;";
const char kColumnDelimiters[] = ", \t\n;";

Tokenizer::Tokenizer(const char* line) : copy_(line != nullptr ? line : "") {}

const char* Tokenizer::Next(const char* delimiters) {
  const size_t n = copy_.size();
  while (pos_ < n && std::strchr(delimiters, copy_[pos_]) != nullptr) ++pos_;
  if (pos_ >= n) return nullptr;
  const size_t start = pos_;
  while (pos_ < n && std::strchr(delimiters, copy_[pos_]) == nullptr) ++pos_;
  if (pos_ < n) copy_[pos_++] = '\0';
  return copy_.c_str() + start;
}

bool EqualsIgnoreCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == '\0') return true;
  }
}
