// Cell formats of the object table. The number formats are those of printf
// ("%10d", "%7.3g"), made by hand for speed; the few doubles whose rounding
// a fast computation cannot settle (and the non-finite ones) go to snprintf.
#include "query/cell_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/ascii.h"
#include "platform/console.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the integer cell builds its digits in little-endian words");

namespace {

constexpr uint64_t kBlanks = 0x2020202020202020ull;

inline void FillBlanks(char* p, size_t n) { std::memset(p, ' ', n); }

// "00" to "99".
struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs;

// "00" to "ff".
struct HexPairs {
  char text[512];
  constexpr HexPairs() : text() {
    const char* digits = "0123456789abcdef";
    for (int i = 0; i < 256; ++i) {
      text[2 * i] = digits[i >> 4];
      text[2 * i + 1] = digits[i & 15];
    }
  }
};
constexpr HexPairs kHex;

// Powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

constexpr size_t kMaxTextWidth = kStringColumnWidth;

// a * 10^k with a single rounding, or false when 10^|k| is not exact.
inline bool Scale(double a, int k, double* s) {
  if (k > kMaxExactPow10 || k < -kMaxExactPow10) return false;
  *s = k >= 0 ? a * kPow10[k] : a / kPow10[-k];
  return true;
}

// A double rounded to three significant digits: `digits` (100..999) times
// 10 to the power of `exponent` - 2.
struct G3 {
  bool negative;
  unsigned digits;
  int exponent;
};

// Significant digits left after dropping trailing zeros.
inline int KeptDigits(unsigned digits) {
  return digits % 10 != 0 ? 3 : (digits % 100 != 0 ? 2 : 1);
}

// The length of the "%.3g" text of `g`.
size_t G3Length(const G3& g) {
  const int sig = KeptDigits(g.digits);
  const int x = g.exponent;
  int len;
  if (x >= -4 && x < 3) {
    if (x == 2) {
      len = 3;
    } else if (x == 1) {
      len = sig == 3 ? 4 : 2;
    } else if (x == 0) {
      len = sig > 1 ? 1 + sig : 1;
    } else {
      len = 2 + (-x - 1) + sig;  // "0.", zeros, digits
    }
  } else {
    len = (sig > 1 ? sig + 1 : 1) + 2 + (x >= 100 || x <= -100 ? 3 : 2);
  }
  return static_cast<size_t>(len + (g.negative ? 1 : 0));
}

// Writes the "%.3g" text of `g` (G3Length bytes) as printf writes it.
void WriteG3(const G3& g, char* o) {
  if (g.negative) *o++ = '-';
  const char d1 = static_cast<char>('0' + g.digits / 100);
  const char d2 = static_cast<char>('0' + g.digits / 10 % 10);
  const char d3 = static_cast<char>('0' + g.digits % 10);
  const int sig = KeptDigits(g.digits);
  const int x = g.exponent;
  if (x >= -4 && x < 3) {
    if (x == 2) {
      *o++ = d1, *o++ = d2, *o++ = d3;
    } else if (x == 1) {
      *o++ = d1, *o++ = d2;
      if (sig == 3) *o++ = '.', *o++ = d3;
    } else if (x == 0) {
      *o++ = d1;
      if (sig > 1) {
        *o++ = '.', *o++ = d2;
        if (sig > 2) *o++ = d3;
      }
    } else {
      *o++ = '0', *o++ = '.';
      for (int z = -x - 1; z > 0; --z) *o++ = '0';
      *o++ = d1;
      if (sig > 1) *o++ = d2;
      if (sig > 2) *o++ = d3;
    }
  } else {
    *o++ = d1;
    if (sig > 1) {
      *o++ = '.', *o++ = d2;
      if (sig > 2) *o++ = d3;
    }
    *o++ = 'e';
    *o++ = x < 0 ? '-' : '+';
    const unsigned ax = static_cast<unsigned>(x < 0 ? -x : x);
    if (ax >= 100) *o++ = static_cast<char>('0' + ax / 100);
    std::memcpy(o, kPairs.text + 2 * (ax % 100), 2);
  }
}

// Rounds a finite, normal double to three significant digits when the
// rounding is certain; false when it is not (a tie or close to one, or a
// magnitude whose scaling would not be exact enough).
bool RoundG3(double v, G3* g) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const double a = std::fabs(v);
  // floor(e2 * log10(2)), possibly one off: the decimal exponent of a.
  int x = ((biased - 1023) * 1233) >> 12;
  double s;
  if (!Scale(a, 2 - x, &s)) return false;
  if (s >= 1000.0) {
    ++x;
    if (!Scale(a, 2 - x, &s)) return false;
  } else if (s < 100.0) {
    --x;
    if (!Scale(a, 2 - x, &s)) return false;
  }
  if (!(s >= 100.0 && s < 1000.0)) return false;
  // s is within an ulp of a * 10^(2-x) (below 1e-13 absolute); anything this
  // close to a half is left to printf, which rounds the exact value.
  unsigned n = static_cast<unsigned>(s);
  const double frac = s - n;
  if (std::fabs(frac - 0.5) < 1e-7) return false;
  if (frac > 0.5) ++n;
  if (n == 1000) n = 100, ++x;
  *g = G3{(bits >> 63) != 0, n, x};
  return true;
}

// True for the doubles RoundG3 takes: finite, normal and not zero.
inline bool IsNormal(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  const uint64_t biased = (bits >> 52) & 0x7FF;
  return biased != 0 && biased != 0x7FF;
}

// "%.3g" by printf into `buf` (32 bytes), for what the fast path leaves:
// zeros, subnormals, infinities, NaNs and values too close to a rounding
// boundary.
constexpr size_t kPrintfG3Size = 32;
size_t PrintfG3(double v, char* buf) {
  return static_cast<size_t>(std::snprintf(buf, kPrintfG3Size, "%.3g", v));
}

}  // namespace

char* PutIntCell(char* p, int32_t v) {
  static constexpr uint32_t kPow10u[] = {1,      10,      100,      1000,      10000,
                                         100000, 1000000, 10000000, 100000000, 1000000000};
  const uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  // The ten digits with leading zeros, built in registers: the first two
  // from the pair table, the other eight in one word by halving the number
  // of digits per lane (4 + 4, 2 + 2, 1 + 1), the first digit in the lowest
  // byte. Written once, never read back.
  const uint32_t high = u / 100000000;  // 0..42
  const uint64_t low = u % 100000000;
  uint64_t w = (low / 10000) | ((low % 10000) << 32);
  uint64_t q = ((w * 10486) >> 20) & 0x0000007F0000007Full;  // lanes / 100
  w = q | ((w - q * 100) << 16);
  q = ((w * 103) >> 10) & 0x000F000F000F000Full;  // lanes / 10
  w = (q | ((w - q * 10) << 8)) | 0x3030303030303030ull;
  uint16_t h;
  std::memcpy(&h, kPairs.text + 2 * high, 2);
  // floor(log10(u)) from the bit length; then the leading zeros become blanks.
  const uint32_t t = static_cast<uint32_t>((32 - __builtin_clz(u | 1)) * 1233) >> 12;
  const uint32_t zeros = 10 - (t - ((u | 1) < kPow10u[t]) + 1);
  if (zeros >= 2) {
    h = 0x2020;
    const uint64_t mask = (uint64_t{1} << (8 * (zeros - 2))) - 1;  // zeros - 2 < 8
    w = (w & ~mask) | (kBlanks & mask);
  } else if (zeros == 1) {
    h = static_cast<uint16_t>((h & 0xFF00) | 0x20);
  }
  char* o = p;
  if (v < 0 && zeros == 0) *o++ = '-';  // "-2147483648" and the like: 11 bytes
  std::memcpy(o, &h, 2);
  std::memcpy(o + 2, &w, 8);
  if (v < 0 && zeros > 0) o[zeros - 1] = '-';
  return o + 10;
}

char* PutDoubleCell(char* p, double v) {
  std::memcpy(p, &kBlanks, 8);  // 11 blanks
  std::memcpy(p + 3, &kBlanks, 8);
  G3 g;
  if (IsNormal(v) && RoundG3(v, &g)) {
    WriteG3(g, p + 11 - G3Length(g));  // at most 10 bytes: "-1.23e+308"
  } else {
    char tmp[kPrintfG3Size];
    const size_t n = PrintfG3(v, tmp);
    std::memcpy(p + 11 - n, tmp, n);
  }
  return p + 11;
}

char* PutCharCell(char* p, char c) {
  const unsigned char code = static_cast<unsigned char>(c);
  if (code == 0 || code >= 0x80) {
    *p = ' ';
  } else {
    *p = IsControlCharacter(code) ? '?' : c;
  }
  return p + 1;
}

char* PutBlobCell(char* p, const unsigned char* data, int32_t len) {
  FillBlanks(p, 18);
  if (data != nullptr && len > 0) {
    const int32_t shown = len < 6 ? len : 6;
    char* o = p + 18 - (3 * shown - 1);
    for (int32_t i = 0; i < shown; ++i, o += 3) std::memcpy(o, kHex.text + 2 * data[i], 2);
  }
  return p + 18;
}

char* PutTextCell(char* p, const char* s, size_t width) {
  if (width > kMaxTextWidth) width = kMaxTextWidth;  // no such column; never overrun
  FillBlanks(p, width);
  if (s == nullptr) return p + width;
  const size_t n = std::strlen(s);
  const size_t m = n < width ? n : width;
  // Printable ASCII is the same in every step and every codeset, one byte a
  // character, so the first `width` bytes are the cell.
  if (CopyPrintableAscii(s, m, p + width - m)) return p + width;
  char text[2 * kMaxTextWidth];
  size_t chars = 0;
  const size_t bytes = Utf8ToConsole(s, n, width, text, &chars);
  FillBlanks(p, width - chars);
  std::memcpy(p + width - chars, text, bytes);
  return p + width - chars + bytes;
}

size_t Utf8PrefixBytes(const char* s, size_t max_chars, size_t* chars) {
  size_t bytes = 0;
  size_t count = 0;
  for (;;) {
    const unsigned char b = static_cast<unsigned char>(s[bytes]);
    if (b == 0) break;
    // Every byte that is not a continuation byte starts a character.
    if ((b & 0xC0) != 0x80) {
      if (count == max_chars) break;
      ++count;
    }
    ++bytes;
  }
  *chars = count;
  return bytes;
}
