// Splits a command line into tokens. Each call names its delimiter set; runs
// of delimiters count as one and never appear inside a token. Works on a
// private copy of the line.
#ifndef WQSQL_SHELL_TOKENIZER_H_
#define WQSQL_SHELL_TOKENIZER_H_

#include <string>

#include "store/names.h"

// Blank, tab, newline and semicolon; the same with a comma added (the
// store's, where wqmake reads them too).
using wqstore::kColumnDelimiters;
using wqstore::kCommandDelimiters;

class Tokenizer {
 public:
  explicit Tokenizer(const char* line);
  // The next token under `delimiters`, or null when the line is used up.
  // The delimiter that ends a token is consumed with it.
  const char* Next(const char* delimiters);

 private:
  std::string copy_;
  size_t pos_ = 0;
};

#endif  // WQSQL_SHELL_TOKENIZER_H_
