// ObjectWindows: cutting the "objects" array into windows of whole elements,
// and the values of a window as Scalars.
#include "tools/make/object_windows.h"

#include <algorithm>
#include <cstring>

namespace wqsource {

namespace {

using simdjson::SUCCESS;
using simdjson::ondemand::json_type;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool ObjectWindows::Cut(size_t from, size_t* end) const {
  const char* t = text_.data();
  const size_t n = text_.size();
  const size_t limit = std::min(n, from + kWindow);
  // The last line break in the window that follows "}," and comes before
  // '{', or follows '}' and comes before ',' or ']'.
  for (size_t hi = limit; hi > from;) {
    const void* nl = ::memrchr(t + from, '\n', hi - from);
    if (nl == nullptr) break;
    const size_t q = static_cast<size_t>(static_cast<const char*>(nl) - t);
    hi = q;
    size_t a = q;
    while (a > from && IsBlank(t[a - 1])) --a;
    size_t b = q + 1;
    while (b < n && IsBlank(t[b])) ++b;
    if (a == from || b >= n) continue;
    if (t[a - 1] == ',' && t[b] == '{') {
      size_t c = a - 1;
      while (c > from && IsBlank(t[c - 1])) --c;
      if (c > from && t[c - 1] == '}') {
        *end = c;
        return true;
      }
    } else if (t[a - 1] == '}' && (t[b] == ',' || t[b] == ']')) {
      *end = a;
      return true;
    }
  }
  // No such line break: whole elements by the scan, as many as the window
  // holds, and at least one.
  size_t e = ScanElement(from, std::min(n, from + kMaxWindow));
  if (e == 0) return false;
  for (;;) {
    size_t p = e;
    while (p < n && IsBlank(t[p])) ++p;
    if (p >= n || t[p] != ',') break;
    for (++p; p < n && IsBlank(t[p]);) ++p;
    if (p >= n || t[p] != '{') break;
    const size_t next = ScanElement(p, limit);
    if (next == 0) break;
    e = next;
  }
  *end = e;
  return true;
}

size_t ObjectWindows::ScanElement(size_t from, size_t limit) const {
  const char* t = text_.data();
  size_t depth = 0;
  bool in_string = false;
  for (size_t i = from; i < limit; ++i) {
    const char c = t[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"': in_string = true; break;
      case '{':
      case '[': ++depth; break;
      case '}':
      case ']':
        if (depth <= 1) return i + 1;
        --depth;
        break;
      default: break;
    }
  }
  return 0;
}

bool ObjectWindows::Parse(size_t from, size_t end, simdjson::ondemand::document* doc) {
  const size_t size = end - from;
  if (std::memchr(text_.data() + from, '\0', size) != nullptr) return false;
  const size_t len = size + 2;
  const size_t need = len + simdjson::SIMDJSON_PADDING;
  if (need > buffer_size_) {
    const size_t grown = std::max(need, kWindow + 2 + simdjson::SIMDJSON_PADDING);
    buffer_.reset(new char[grown]);
    buffer_size_ = grown;
  }
  char* b = buffer_.get();
  b[0] = '[';
  std::memcpy(b + 1, text_.data() + from, size);
  b[len - 1] = ']';
  std::memset(b + len, ' ', simdjson::SIMDJSON_PADDING);
  from_ = from;
  return parser_.iterate(b, len, buffer_size_).get(*doc) == SUCCESS;
}

bool WindowScalar(simdjson::ondemand::value v, const ObjectWindows& windows, Scalar* out,
                  size_t* offset) {
  json_type type;
  if (v.type().get(type) != SUCCESS) return false;
  std::string_view raw = v.raw_json_token();
  *offset = windows.OffsetOf(raw.data());
  *out = Scalar();
  switch (type) {
    case json_type::string:
      out->kind = Scalar::kString;
      return v.get_string().get(out->s) == SUCCESS;
    case json_type::number: {
      while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
      if (std::any_of(raw.begin(), raw.end(),
                      [](char c) { return c == '.' || (c | 0x20) == 'e'; })) {
        // Zero from a literal that names another value rounded to zero:
        // out of range, which the event parser reports.
        out->kind = Scalar::kFloat;
        return v.get_double().get(out->d) == SUCCESS && (out->d != 0 || !IsNonZeroLiteral(raw));
      }
      if (!raw.empty() && raw[0] == '-') {
        out->kind = Scalar::kInt;
        return v.get_int64().get(out->i) == SUCCESS;
      }
      out->kind = Scalar::kUnsigned;
      return v.get_uint64().get(out->u) == SUCCESS;
    }
    case json_type::boolean: out->kind = Scalar::kBool; return v.get_bool().get(out->b) == SUCCESS;
    case json_type::null: {
      bool null = false;
      return v.is_null().get(null) == SUCCESS && null;
    }
    default: return false;
  }
}

}  // namespace wqsource
