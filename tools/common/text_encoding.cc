// The text forms of values. Strings are checked eight bytes at a time for
// what needs quoting or escaping and copied whole when nothing does; long
// strings are escaped a chunk at a time into room taken from the sink, so
// they cost no temporary copy. Integers come from a table of digit pairs.
// Doubles take a short exact path when their shortest form has few digits
// (ShortestDigits) and std::to_chars's shortest form otherwise, the two
// writing the same text; neither looks at the text again afterwards.
#include "tools/common/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace wqtools {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// Nonzero when a byte of `w` is `c`.
inline uint64_t HasByte(uint64_t w, unsigned char c) {
  const uint64_t x = w ^ (c * kOnes);
  return (x - kOnes) & ~x & kHigh;
}
// Nonzero when a byte of `w` is below 0x20.
inline uint64_t HasControl(uint64_t w) { return (w - 0x20 * kOnes) & ~w & kHigh; }

inline uint64_t Load8(const char* s) {
  uint64_t w;
  std::memcpy(&w, s, 8);
  return w;
}

// True when a byte of the n bytes of `s` passes `test` (a word test above),
// eight bytes at a time.
template <class Test>
inline bool AnyByte(const char* s, size_t n, Test test) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (test(Load8(s + i))) return true;
  }
  if (i == n) return false;
  if (n >= 8) return test(Load8(s + n - 8)) != 0;  // the last 8 again
  uint64_t w = 0x4141414141414141ull;              // 'A' never needs anything
  std::memcpy(&w, s + i, n - i);
  return test(w) != 0;
}

// Copies the n bytes of `s` to `to` unless a byte passes `test`; true when
// none does. Reads and writes only the n bytes, a word at a time.
template <class Test>
inline bool CopyUnless(const char* s, size_t n, char* to, Test test) {
  if (n >= 8) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const uint64_t w = Load8(s + i);
      if (test(w)) return false;
      std::memcpy(to + i, &w, 8);
    }
    if (i == n) return true;
    const uint64_t w = Load8(s + n - 8);  // the last 8 again
    if (test(w)) return false;
    std::memcpy(to + n - 8, &w, 8);
    return true;
  }
  uint64_t w = 0x4141414141414141ull;  // 'A' never needs anything
  std::memcpy(&w, s, n);
  if (test(w)) return false;
  for (size_t i = 0; i < n; i++) to[i] = s[i];
  return true;
}

inline uint64_t NeedsCsvQuotesWord(uint64_t w) {
  return HasByte(w, ',') | HasByte(w, '"') | HasByte(w, '\r') | HasByte(w, '\n');
}
inline uint64_t NeedsJsonEscapeWord(uint64_t w) {
  return HasControl(w) | HasByte(w, '"') | HasByte(w, '\\');
}

// Bytes of a string that JSON text must escape: the control characters,
// the quote and the backslash.
struct JsonEscapes {
  bool escape[256];
  constexpr JsonEscapes() : escape() {
    for (int c = 0; c < 0x20; c++) escape[c] = true;
    escape[static_cast<unsigned char>('"')] = true;
    escape[static_cast<unsigned char>('\\')] = true;
  }
};
constexpr JsonEscapes kJsonEscapes;

// Bytes per chunk of a string: its escaped form (at most six bytes a
// byte) fits the room a sink hands out.
constexpr size_t kChunk = TextSink::kRoomMax / 8;

constexpr char kHexDigits[] = "0123456789abcdef";

// "00" to "99", and "00" to "ff".
struct DigitTables {
  char decimal[200];
  char hex[512];
  constexpr DigitTables() : decimal(), hex() {
    for (int i = 0; i < 100; i++) {
      decimal[2 * i] = static_cast<char>('0' + i / 10);
      decimal[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    for (int i = 0; i < 256; i++) {
      hex[2 * i] = kHexDigits[i >> 4];
      hex[2 * i + 1] = kHexDigits[i & 15];
    }
  }
};
constexpr DigitTables kDigits;

// 10^k.
struct Powers {
  uint64_t ten[20];
  constexpr Powers() : ten() {
    uint64_t p = 1;
    for (int k = 0; k < 20; k++, p *= 10) ten[k] = p;
  }
};
constexpr Powers kPowers;

inline int DecimalDigits(uint64_t v) {
  // From the bit length: log10(2) is about 1233 / 4096.
  v |= 1;  // the same count, and 0 has one digit
  const int n = ((64 - __builtin_clzll(v)) * 1233) >> 12;
  return n + (v >= kPowers.ten[n] ? 1 : 0);
}

// Writes `v` (below 10^count) as exactly `count` decimal digits at `to`,
// with leading zeros.
inline void PutDigits(uint64_t v, int count, char* to) {
  char* p = to + count;
  for (; count >= 2; count -= 2) {
    p -= 2;
    std::memcpy(p, kDigits.decimal + 2 * (v % 100), 2);
    v /= 100;
  }
  if (count == 1) *--p = static_cast<char>('0' + v);
}

// Writes `v` (below 10^8) as exactly 8 digits, four independent pairs.
inline void PutEightDigits(uint32_t v, char* to) {
  const uint32_t high = v / 10000;
  const uint32_t low = v % 10000;
  std::memcpy(to, kDigits.decimal + 2 * (high / 100), 2);
  std::memcpy(to + 2, kDigits.decimal + 2 * (high % 100), 2);
  std::memcpy(to + 4, kDigits.decimal + 2 * (low / 100), 2);
  std::memcpy(to + 6, kDigits.decimal + 2 * (low % 100), 2);
}

inline size_t UintText(uint64_t v, char* to) {
  // Nine or ten digits, as most ints have: the first one or two, then eight.
  if (v >= 100000000 && v < 10000000000) {
    const uint32_t first = static_cast<uint32_t>(v / 100000000);
    char* p = to;
    if (first >= 10) {
      std::memcpy(p, kDigits.decimal + 2 * first, 2);
      p += 2;
    } else {
      *p++ = static_cast<char>('0' + first);
    }
    PutEightDigits(static_cast<uint32_t>(v % 100000000), p);
    return static_cast<size_t>(p + 8 - to);
  }
  const int n = DecimalDigits(v);
  PutDigits(v, n, to);
  return static_cast<size_t>(n);
}

// Powers of ten that doubles hold exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The shortest decimal form of a normal double `v` that needs at most 22
// decimal places and fewer than 16 digits: the digits `*digits` and the
// places `*places` of the text digits / 10^places, which is the one text
// with the fewest significant digits that reads back as |v|. For each
// number of places d from 0 up, the whole number r nearest to |v| * 10^d
// (computed as p, in doubles) is the one text of d places that can read
// back as |v|, and does so exactly when r / 10^d (exact operands, one
// correctly rounded division, as a parser reads the text) gives |v| back:
// a text of d places reads back only within the half-gap to the next
// double, at most 1.5 units in the last place of p away from p, and while
// p is below 2^50 that is less than 0.19. False where that does not hold;
// to_chars decides those.
bool ShortestDigits(double v, uint64_t* digits, int* places) {
  const double a = std::fabs(v);
  if (!(a >= 0x1p-1022) || a >= 0x1p50) return false;  // also zero, NaN and infinities
  constexpr double kRound = 0x1.8p52;                  // adding it rounds to a whole number
  for (int d = 0; d <= 22; d++) {
    const double p = a * kExactPow10[d];
    if (p >= 0x1p50) return false;
    const double r = (p + kRound) - kRound;
    if (std::fabs(p - r) <= p * 0x1p-51 && r / kExactPow10[d] == a) {
      *digits = static_cast<uint64_t>(r);
      *places = d;
      return true;
    }
  }
  return false;
}

// Writes the text of `digits` / 10^places (a nonzero value) as to_chars's
// shortest form does: fixed or scientific notation, whichever is shorter,
// fixed on a tie; returns the end.
char* PutShortest(uint64_t digits, int places, char* p) {
  // The significant digits without trailing zeros, and the decimal
  // exponent of the first.
  int zeros = 0;
  while (digits % 10 == 0) {
    digits /= 10;
    zeros++;
  }
  const int count = DecimalDigits(digits);
  const int exponent = count - 1 + zeros - places;
  const int abs_exponent = exponent < 0 ? -exponent : exponent;
  const int scientific = count + (count > 1) + 2 + (abs_exponent >= 100 ? 3 : 2);
  const int fixed = exponent >= 0 ? exponent + 1 + (count > exponent + 1 ? count - exponent : 0)
                                  : 1 - exponent + count;
  if (scientific < fixed) {
    if (count > 1) {
      PutDigits(digits % kPowers.ten[count - 1], count - 1, p + 2);
      p[1] = '.';
    }
    p[0] = static_cast<char>('0' + digits / kPowers.ten[count - 1]);
    p += count > 1 ? count + 1 : 1;
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    if (abs_exponent >= 100) *p++ = static_cast<char>('0' + abs_exponent / 100);
    std::memcpy(p, kDigits.decimal + 2 * (abs_exponent % 100), 2);
    return p + 2;
  }
  if (exponent < 0) {
    *p++ = '0';
    *p++ = '.';
    for (int i = -exponent - 1; i > 0; i--) *p++ = '0';
    PutDigits(digits, count, p);
    return p + count;
  }
  if (count <= exponent + 1) {  // a whole number
    PutDigits(digits, count, p);
    p += count;
    for (int i = exponent + 1 - count; i > 0; i--) *p++ = '0';
    *p++ = '.';
    *p++ = '0';
    return p;
  }
  // Digits from the last, the point after the first exponent + 1.
  char* const end = p + count + 1;
  char* q = end;
  for (int i = count - exponent - 1; i > 0; i--) {
    *--q = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  *--q = '.';
  PutDigits(digits, exponent + 1, p);
  return end;
}

// The escaped bytes of `s` without the quotes; room for 6 * n bytes.
char* PutJsonEscaped(char* p, const char* s, size_t n) {
  if (CopyUnless(s, n, p, NeedsJsonEscapeWord)) return p + n;
  for (size_t i = 0; i < n; i++) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (!kJsonEscapes.escape[c]) {
      *p++ = static_cast<char>(c);
      continue;
    }
    *p++ = '\\';
    switch (c) {
      case '"': *p++ = '"'; break;
      case '\\': *p++ = '\\'; break;
      case '\n': *p++ = 'n'; break;
      case '\r': *p++ = 'r'; break;
      case '\t': *p++ = 't'; break;
      case '\b': *p++ = 'b'; break;
      case '\f': *p++ = 'f'; break;
      default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = kHexDigits[c >> 4];
        *p++ = kHexDigits[c & 15];
        break;
    }
  }
  return p;
}

}  // namespace

char* PutJsonString(char* p, const char* s, size_t n) {
  *p++ = '"';
  p = PutJsonEscaped(p, s, n);
  *p++ = '"';
  return p;
}

void JsonString(BufferedWriter& out, const char* s, size_t n) {
  if (n <= kChunk) {
    out.Commit(PutJsonString(out.Room(JsonStringRoom(n)), s, n));
    return;
  }
  out.Put('"');
  while (n > 0) {
    const size_t part = std::min(n, kChunk);
    out.Commit(PutJsonEscaped(out.Room(part * 6), s, part));
    s += part;
    n -= part;
  }
  out.Put('"');
}

std::string JsonQuoted(std::string_view s) {
  std::string q = "\"";
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!kJsonEscapes.escape[c]) {
      q += ch;
    } else if (c == '"' || c == '\\') {
      q += '\\';
      q += ch;
    } else {
      q += "\\u00";
      q += kHexDigits[c >> 4];
      q += kHexDigits[c & 15];
    }
  }
  q += '"';
  return q;
}

char* PutCsvField(char* p, const char* s, size_t n, bool quote_empty) {
  if (n == 0) {
    if (quote_empty) {
      *p++ = '"';
      *p++ = '"';
    }
    return p;
  }
  if (CopyUnless(s, n, p, NeedsCsvQuotesWord)) return p + n;
  *p++ = '"';
  for (size_t i = 0; i < n; i++) {
    if (s[i] == '"') *p++ = '"';
    *p++ = s[i];
  }
  *p++ = '"';
  return p;
}

void CsvField(BufferedWriter& out, const char* s, size_t n, bool quote_empty) {
  if (n <= kChunk) {
    out.Commit(PutCsvField(out.Room(CsvFieldRoom(n)), s, n, quote_empty));
    return;
  }
  if (!AnyByte(s, n, NeedsCsvQuotesWord)) {
    out.Write(s, n);
    return;
  }
  out.Put('"');
  for (;;) {
    const char* quote = static_cast<const char*>(std::memchr(s, '"', n));
    if (quote == nullptr) break;
    const size_t upto = static_cast<size_t>(quote - s) + 1;
    out.Write(s, upto);
    out.Put('"');
    s += upto;
    n -= upto;
  }
  out.Write(s, n);
  out.Put('"');
}

size_t DoubleText(double v, char* to) {
  uint64_t digits;
  int places;
  if (ShortestDigits(v, &digits, &places)) {
    char* p = to;
    if (v < 0) *p++ = '-';
    return static_cast<size_t>(PutShortest(digits, places, p) - to);
  }
  if (std::isnan(v)) {
    std::memcpy(to, "NaN", 3);
    return 3;
  }
  if (std::isinf(v)) {
    if (v < 0) {
      std::memcpy(to, "-Infinity", 9);
      return 9;
    }
    std::memcpy(to, "Infinity", 8);
    return 8;
  }
  // The shortest form fits in 24 bytes; the rest is room for ".0".
  char* end = std::to_chars(to, to + kNumberTextMax - 2, v).ptr;
  if (std::memchr(to, '.', static_cast<size_t>(end - to)) == nullptr &&
      std::memchr(to, 'e', static_cast<size_t>(end - to)) == nullptr) {
    *end++ = '.';
    *end++ = '0';
  }
  return static_cast<size_t>(end - to);
}

size_t SourceDoubleText(double v, char* to) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  if (!std::isnan(v) || bits == kSourceNaNBits) return DoubleText(v, to);
  std::memcpy(to, "NaN:", 4);
  for (int i = 0; i < 16; i++) to[4 + i] = kHexDigits[(bits >> (60 - 4 * i)) & 15];
  return 20;
}

size_t IntText(int64_t v, char* to) {
  if (v >= 0) return UintText(static_cast<uint64_t>(v), to);
  *to = '-';
  return 1 + UintText(0 - static_cast<uint64_t>(v), to + 1);
}

size_t ObjectIdText(int32_t class_number, uint32_t position, char* to) {
  char* p = to + IntText(class_number, to);
  *p++ = ':';
  p += UintText(position, p);
  return static_cast<size_t>(p - to);
}

size_t Latin1CharText(uint8_t c, char* to) {
  if (c == 0) return 0;
  if (c < 0x80) {
    to[0] = static_cast<char>(c);
    return 1;
  }
  to[0] = static_cast<char>(0xC0 | (c >> 6));
  to[1] = static_cast<char>(0x80 | (c & 0x3F));
  return 2;
}

char* PutHex(char* p, const unsigned char* data, size_t n) {
  for (size_t i = 0; i < n; i++, p += 2) std::memcpy(p, kDigits.hex + 2 * data[i], 2);
  return p;
}

void HexText(BufferedWriter& out, const unsigned char* data, size_t n) {
  while (n > 0) {
    const size_t part = std::min(n, TextSink::kRoomMax / 2);
    out.Commit(PutHex(out.Room(part * 2), data, part));
    data += part;
    n -= part;
  }
}

}  // namespace wqtools
