// Positions and quoting for the messages about a source.
#include "tools/make/source_faults.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace wqsource {

LineColumn LocateOffset(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  LineColumn lc;
  lc.line = 1;
  size_t line_start = 0;
  const char* p = text.data();
  const char* end = p + offset;
  while (true) {
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (nl == nullptr) break;
    ++lc.line;
    p = static_cast<const char*>(nl) + 1;
    line_start = static_cast<size_t>(p - text.data());
  }
  // A parse error can come at a byte that cuts a sequence short; the
  // bytes of such a broken sequence count as one character.
  lc.column = 1;
  const unsigned char* c = reinterpret_cast<const unsigned char*>(text.data()) + line_start;
  const unsigned char* stop = reinterpret_cast<const unsigned char*>(text.data()) + offset;
  while (c < stop) {
    uint32_t cp;
    const size_t len = DecodeUtf8(c, stop, &cp);
    ++lc.column;
    if (len > 0) {
      c += len;
    } else {
      for (++c; c < stop && DecodeUtf8(c, stop, &cp) == 0;) ++c;
    }
  }
  return lc;
}

std::string Quote(std::string_view text, size_t max_chars) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  size_t chars = 0;
  while (p < end) {
    uint32_t cp;
    size_t len = DecodeUtf8(p, end, &cp);
    if (chars++ == max_chars) {
      out += "...";
      break;
    }
    if (len == 0) {  // not from the parser, which checks the encoding
      len = 1;
      out += static_cast<char>(*p);
    } else if (cp == '"' || cp == '\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (IsControlCharacter(cp)) {
      out += "\\u00";
      out += kHex[cp >> 4];
      out += kHex[cp & 15];
    } else {
      out.append(reinterpret_cast<const char*>(p), len);
    }
    p += len;
  }
  out += '"';
  return out;
}

size_t SourceText::TokenStart(size_t from) const {
  size_t i = from;
  if (i == 0 && text_.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text_.size()) {
    const char c = text_[i];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != ',' && c != ':') break;
    ++i;
  }
  return i;
}

Status SourceText::FaultAt(size_t offset, const std::string& detail) const {
  const LineColumn lc = LocateOffset(text_, offset);
  std::string message;
  if (!name_.empty()) {
    message.append(name_.data(), name_.size());
    message += ':';
  }
  message += Num(uint64_t{lc.line}) + ":" + Num(uint64_t{lc.column}) + ": " + detail;
  return Status::Error(std::move(message));
}

}  // namespace wqsource
