// Re-reading one value at an offset, and parse errors reworded.
#include "tools/make/json_events.h"

#include "platform/ascii.h"

namespace wqsource {

const Scalar& OneValue::Read(std::string_view text, size_t offset) {
  v_ = Scalar();
  Cursor cursor{text.data() + offset, text.data() + text.size()};
  ParseJson(cursor, this, false);
  if (v_.kind == Scalar::kString) v_.s = str_;
  return v_;
}

std::string DescribeParseError(const std::string& what, const std::string& last_token) {
  std::string detail = what;
  const size_t se = detail.find("syntax error ");
  if (se != std::string::npos) {
    const size_t dash = detail.find("- ", se);
    detail = dash != std::string::npos ? detail.substr(dash + 2) : detail.substr(se + 13);
  } else if (!detail.empty() && detail[0] == '[') {
    const size_t bracket = detail.find("] ");
    if (bracket != std::string::npos) detail = detail.substr(bracket + 2);
  }
  const std::string marker = "; last read: '" + last_token + "'";
  const size_t lr = detail.find(marker);
  if (lr != std::string::npos) {
    static const char kHex[] = "0123456789ABCDEF";
    // The parser's text runs from the last structural character read; show
    // the faulty token only, and its end when it is long.
    std::string shown;
    size_t from = 0;
    if (last_token.size() > 1) {
      const size_t sep = last_token.find_last_of(" \t\r\n[]{},:", last_token.size() - 2);
      if (sep != std::string::npos) from = sep + 1;
    }
    if (last_token.size() - from > 30) {
      from = last_token.size() - 30;
      shown = "...";
    }
    for (size_t i = from; i < last_token.size(); ++i) {
      // Byte by byte: the text may break off inside a UTF-8 sequence, so
      // only ASCII that is not a control character is shown as it is.
      const unsigned char c = static_cast<unsigned char>(last_token[i]);
      if (c < 0x80 && !IsControlCharacter(c)) {
        shown += static_cast<char>(c);
      } else {
        shown += "\\x";
        shown += kHex[c >> 4];
        shown += kHex[c & 15];
      }
    }
    detail.replace(lr, marker.size(), " near '" + shown + "'");
  }
  for (char& c : detail) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return "syntax error: " + detail;
}

}  // namespace wqsource
