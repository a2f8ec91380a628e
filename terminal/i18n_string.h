// I18NString: a text held in UTF-8 (the store's encoding) that can be read
// back in another character set. Only UTF-8 and ISO-8859-1 are known.
#ifndef WQSQL_TERMINAL_I18N_STRING_H_
#define WQSQL_TERMINAL_I18N_STRING_H_

#include <cstddef>
#include <string>

class I18NString {
 public:
  // `text` is UTF-8; `length` -1 means zero-terminated. The character set,
  // converter and context arguments exist for callers that pass them and
  // must be null here.
  I18NString(const char* text, const char* charset, int length, void* converter, void* context);
  I18NString(const I18NString&) = delete;
  I18NString& operator=(const I18NString&) = delete;
  ~I18NString();

  // The text in `charset`, valid while this object lives. "iso-8859-1"
  // (any case, also "latin1") gives one byte per character, with "?" for
  // each character outside ISO-8859-1 and for each byte that is not part of
  // a valid UTF-8 sequence. Any other name gives the UTF-8 text unchanged.
  const char* c_str(const char* charset, void* a, void* b, void* c);

 private:
  const char* text_;
  size_t length_;
  std::string owned_;      // copy of the source when a length was given
  std::string converted_;  // result of the last conversion
};

// Converts UTF-8 to ISO-8859-1 as I18NString::c_str does, appending to `out`.
void Utf8ToLatin1(const char* text, size_t length, std::string* out);

#endif  // WQSQL_TERMINAL_I18N_STRING_H_
