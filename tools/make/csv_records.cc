// CsvRecords: fields and records of CSV text.
#include "tools/make/csv_records.h"

#include <cstdint>
#include <cstring>

namespace wqsource {

namespace {

bool EndsUnquotedField(char c) { return c == ',' || c == '\n' || c == '\r' || c == '"'; }

// The offset of the first character at or after `p` that ends an unquoted
// field (a comma, a line break or a quote), or the text's size: eight bytes
// at a time, each compared with the four at once.
size_t UnquotedFieldEnd(std::string_view text, size_t p) {
  const size_t n = text.size();
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighs = 0x8080808080808080u;
  // High bits where a byte of `v` is zero; exact for the lowest such byte.
  const auto zero_bytes = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  for (; p + 8 <= n; p += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + p, 8);
    const uint64_t found = zero_bytes(w ^ (kOnes * ',')) | zero_bytes(w ^ (kOnes * '"')) |
                           zero_bytes(w ^ (kOnes * '\n')) | zero_bytes(w ^ (kOnes * '\r'));
    if (found != 0) return p + static_cast<size_t>(__builtin_ctzll(found) >> 3);
  }
#endif
  while (p < n && !EndsUnquotedField(text[p])) ++p;
  return p;
}

// Past the quoted field whose quote is at `from`: the offset of its closing
// quote, or npos when it has none. Sets *doubled when it holds a doubled
// quote.
size_t ClosingQuote(std::string_view text, size_t from, bool* doubled) {
  *doubled = false;
  for (size_t p = from + 1; p < text.size();) {
    const void* q = std::memchr(text.data() + p, '"', text.size() - p);
    if (q == nullptr) break;
    p = static_cast<size_t>(static_cast<const char*>(q) - text.data());
    if (p + 1 < text.size() && text[p + 1] == '"') {
      *doubled = true;
      p += 2;
      continue;
    }
    return p;
  }
  return std::string_view::npos;
}

// The text between the quotes at `open` and `close` with doubled quotes
// made single.
std::string Unquote(std::string_view text, size_t open, size_t close) {
  std::string out;
  for (size_t p = open + 1; p < close; ++p) {
    out += text[p];
    if (text[p] == '"') ++p;
  }
  return out;
}

}  // namespace

CsvRecords::CsvRecords(const SourceText& csv) : csv_(csv), text_(csv.text()) {
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

Status CsvRecords::Fault(size_t offset, const char* detail) const {
  return csv_.FaultAt(offset, detail);
}

Status CsvRecords::Next(std::vector<CsvField>* fields) {
  fields->clear();
  const char* t = text_.data();
  const size_t n = text_.size();
  for (;;) {
    CsvField f;
    f.offset = pos_;
    if (pos_ < n && t[pos_] == '"') {
      bool doubled;
      const size_t close = ClosingQuote(text_, pos_, &doubled);
      if (close == std::string_view::npos) return Fault(pos_, "quoted field not closed");
      f.quoted = true;
      if (doubled) {
        while (unquoted_.size() <= fields->size()) unquoted_.emplace_back();
        std::string& u = unquoted_[fields->size()];
        u = Unquote(text_, pos_, close);
        f.text = u;
      } else {
        f.text = text_.substr(pos_ + 1, close - pos_ - 1);
      }
      pos_ = close + 1;
    } else {
      const size_t p = UnquotedFieldEnd(text_, pos_);
      if (p < n && t[p] == '"') return Fault(p, "a quote in a field that does not start with one");
      f.text = text_.substr(pos_, p - pos_);
      pos_ = p;
    }
    fields->push_back(f);
    if (pos_ >= n) return Status::OK();
    switch (t[pos_]) {
      case ',': ++pos_; continue;
      case '\n': ++pos_; return Status::OK();
      case '\r':
        if (pos_ + 1 < n && t[pos_ + 1] == '\n') {
          pos_ += 2;
          return Status::OK();
        }
        return Fault(pos_, "a carriage return without a line feed outside quotes");
      default: return Fault(pos_, "expected a comma or the end of the line after a quoted field");
    }
  }
}

std::string CsvFieldAt(std::string_view text, size_t offset) {
  if (offset < text.size() && text[offset] == '"') {
    bool doubled;
    const size_t close = ClosingQuote(text, offset, &doubled);
    if (close == std::string_view::npos) return std::string();
    return Unquote(text, offset, close);
  }
  size_t p = offset;
  while (p < text.size() && text[p] != ',' && text[p] != '\n' && text[p] != '\r') ++p;
  return std::string(text.substr(offset, p - offset));
}

}  // namespace wqsource
