// UTF-8 to ISO-8859-1 conversion behind I18NString.
#include "terminal/i18n_string.h"

#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace {

bool IsLatin1Name(const char* cs) {
  if (cs == nullptr) return false;
  for (const char* name : {"iso-8859-1", "iso8859-1", "latin1", "latin-1"}) {
    if (EqualsIgnoreCase(cs, name)) return true;
  }
  return false;
}

}  // namespace

void Utf8ToLatin1(const char* text, size_t length, std::string* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    unsigned char b = *p;
    if (b < 0x80) {
      out->push_back(static_cast<char>(b));
      ++p;
      continue;
    }
    uint32_t cp;
    const size_t len = DecodeUtf8(p, end, &cp);
    out->push_back(len != 0 && cp <= 0xFF ? static_cast<char>(cp) : '?');
    p += len != 0 ? len : 1;
  }
}

I18NString::I18NString(const char* text, const char* /*charset*/, int length, void* /*converter*/,
                       void* /*context*/) {
  if (text == nullptr) {
    text_ = "";
    length_ = 0;
  } else if (length < 0) {
    text_ = text;
    length_ = std::strlen(text);
  } else {
    owned_.assign(text, static_cast<size_t>(length));
    text_ = owned_.c_str();
    length_ = owned_.size();
  }
}

I18NString::~I18NString() = default;

const char* I18NString::c_str(const char* charset, void*, void*, void*) {
  if (!IsLatin1Name(charset)) return text_;
  converted_.clear();
  Utf8ToLatin1(text_, length_, &converted_);
  return converted_.c_str();
}
