// The tokenizer over a private copy of the line.
#include "shell/tokenizer.h"

#include <cstring>

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
