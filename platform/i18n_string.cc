// UTF-8 to ISO-8859-1 conversion behind I18NString.
#include "platform/i18n_string.h"

#include <cstring>

namespace {

bool IsLatin1Name(const char* cs) {
  if (cs == nullptr) return false;
  static const char* const kNames[] = {"iso-8859-1", "iso8859-1", "latin1", "latin-1"};
  for (const char* n : kNames) {
    size_t i = 0;
    for (; n[i] != 0 && cs[i] != 0; ++i) {
      char a = cs[i];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (a != n[i]) break;
    }
    if (n[i] == 0 && cs[i] == 0) return true;
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
    // Decode one sequence strictly: no overlongs, no surrogates, nothing
    // above U+10FFFF. An invalid lead or continuation byte becomes "?" and
    // decoding resumes at the next byte.
    int need;
    unsigned cp;
    unsigned min;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, cp = b & 0x07, min = 0x10000;
    } else {
      out->push_back('?');
      ++p;
      continue;
    }
    if (end - p <= need) {
      out->push_back('?');
      ++p;
      continue;
    }
    bool ok = true;
    for (int i = 1; i <= need; ++i) {
      if ((p[i] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out->push_back('?');
      ++p;
      continue;
    }
    out->push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
    p += need + 1;
  }
}

I18NString::I18NString(const char* text, const char* /*charset*/, int length,
                       void* /*converter*/, void* /*context*/) {
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
