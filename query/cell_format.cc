// Cell formats of the object table. The number formats are those of printf
// ("%10d", "%7.3g"), made by hand for speed; the few doubles whose rounding
// a fast computation cannot settle (and the non-finite ones) go to snprintf.
#include "query/cell_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

#include "platform/ascii.h"
#include "terminal/console.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the integer cell builds its digits in little-endian words");

namespace {

constexpr uint64_t kBlanks = 0x2020202020202020ull;

inline void FillBlanks(char* p, size_t n) { std::memset(p, ' ', n); }

// Blanks over at least `n` bytes at `p`, in 16-byte stores: up to 15 bytes
// more, which a cell writer may scribble on.
inline void FillBlanksWide(char* p, size_t n) {
  static constexpr char kSixteen[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (size_t i = 0; i < n; i += 16) std::memcpy(p + i, kSixteen, 16);
}

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

// Scale factors by k + 22: 10^k for k from -22 to 22. The positive powers
// are exact (each product of the loop is); the negative ones are the
// nearest doubles to them.
constexpr double kNegPow10[] = {1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,
                                1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15, 1e-16,
                                1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
struct ScaleTable {
  double f[45];
  constexpr ScaleTable() : f() {
    double p = 1.0;
    for (int k = 0; k <= 22; ++k, p *= 10.0) f[22 + k] = p;
    for (int k = 1; k <= 22; ++k) f[22 - k] = kNegPow10[k - 1];
  }
};
constexpr ScaleTable kScale;
constexpr int kMaxScale = 22;
// RoundG3's exponents lie within kMaxScale + 1 of zero: two digits.
static_assert(kMaxScale + 1 < 100, "the scientific layout has a two-digit exponent");

constexpr size_t kMaxTextWidth = kStringColumnWidth;

// A double rounded to three significant digits: `digits` (100..999) times
// 10 to the power of `exponent` - 2.
struct G3 {
  bool negative;
  unsigned digits;
  int exponent;
};

// Significant digits left after dropping trailing zeros (1 to 3).
inline unsigned KeptDigits(unsigned digits) {
  return 1u + (digits % 100 != 0) + (digits % 10 != 0);
}

// The "%7.3g" cell in its column of 11 depends on the value only through
// its digits, the exponent's digits and sign, and the cell's layout: the
// notation and decimal places (one of 8 forms: fixed with an exponent of
// -4 to 2, or scientific, whose exponent has two digits at the magnitudes
// RoundG3 takes), the digits kept (1 to 3) and the sign. Each layout is a
// list of 11 indexes into the cell's source bytes below (kSrcX1, the
// exponent's hundreds digit, is always '0' and unused).
enum Source : unsigned char {
  kSrcBlank,
  kSrcMinus,
  kSrcD1,
  kSrcD2,
  kSrcD3,
  kSrcPoint,
  kSrcZero,
  kSrcE,
  kSrcExpSign,
  kSrcX1,
  kSrcX2,
  kSrcX3,
  kSrcCount
};
constexpr int kForms = 8;
constexpr int kDoubleCellWidth = 11;

struct DoubleLayouts {
  unsigned char at[kForms * 3 * 2][16];
  // The layout of printf's "%.3g" text (see its rules: fixed notation for
  // exponents from -4 to 2, trailing zeros dropped, at least two exponent
  // digits), right-justified in 11 columns.
  constexpr DoubleLayouts() : at() {
    for (int form = 0; form < kForms; ++form) {
      for (int sig = 1; sig <= 3; ++sig) {
        for (int neg = 0; neg <= 1; ++neg) {
          unsigned char t[16] = {};
          int n = 0;
          if (neg) t[n++] = kSrcMinus;
          const int x = form - 4;
          if (form == 4 + 2) {
            t[n++] = kSrcD1, t[n++] = kSrcD2, t[n++] = kSrcD3;
          } else if (form == 4 + 1) {
            t[n++] = kSrcD1, t[n++] = kSrcD2;
            if (sig == 3) t[n++] = kSrcPoint, t[n++] = kSrcD3;
          } else if (form == 4) {
            t[n++] = kSrcD1;
            if (sig > 1) t[n++] = kSrcPoint, t[n++] = kSrcD2;
            if (sig > 2) t[n++] = kSrcD3;
          } else if (form < 4) {
            t[n++] = kSrcZero, t[n++] = kSrcPoint;
            for (int z = -x - 1; z > 0; --z) t[n++] = kSrcZero;
            t[n++] = kSrcD1;
            if (sig > 1) t[n++] = kSrcD2;
            if (sig > 2) t[n++] = kSrcD3;
          } else {
            t[n++] = kSrcD1;
            if (sig > 1) t[n++] = kSrcPoint, t[n++] = kSrcD2;
            if (sig > 2) t[n++] = kSrcD3;
            t[n++] = kSrcE, t[n++] = kSrcExpSign, t[n++] = kSrcX2, t[n++] = kSrcX3;
          }
          unsigned char* row = at[(form * 3 + sig - 1) * 2 + neg];
          for (int i = 0; i < kDoubleCellWidth - n; ++i) row[i] = kSrcBlank;
          for (int i = 0; i < n; ++i) row[kDoubleCellWidth - n + i] = t[i];
        }
      }
    }
  }
};
constexpr DoubleLayouts kDoubleLayouts;

// "000" to "999": the three digits in the low bytes of each word, the
// first digit lowest.
struct ThreeDigits {
  uint32_t word[1000];
  constexpr ThreeDigits() : word() {
    for (uint32_t i = 0; i < 1000; ++i) {
      word[i] = ('0' + i / 100) | ('0' + i / 10 % 10) << 8 | ('0' + i % 10) << 16;
    }
  }
};
constexpr ThreeDigits kThree;

// The cell's source bytes of `g`, in the order of Source: bytes 0 to 7 in
// `lo`, 8 to 11 in `hi`.
struct G3Source {
  uint64_t lo;
  uint64_t hi;
};

inline G3Source SourceOf(const G3& g) {
  const int x = g.exponent;
  const unsigned ax = static_cast<unsigned>(x < 0 ? -x : x);  // below 100
  // ' ', '-', three digits, '.', '0', 'e'.
  constexpr uint64_t kFixed = 0x65302E0000002D20ull;
  return G3Source{kFixed | uint64_t{kThree.word[g.digits]} << 16,
                  uint64_t{x < 0 ? 0x2Du : 0x2Bu} | uint64_t{kThree.word[ax]} << 8};
}

// The layout of the cell of `g`.
inline const unsigned char* LayoutOf(const G3& g) {
  const int x = g.exponent;
  const int form = x >= -4 && x < 3 ? x + 4 : 7;
  return kDoubleLayouts
      .at[(form * 3 + static_cast<int>(KeptDigits(g.digits)) - 1) * 2 + g.negative];
}

// Writes the cell of `g` byte by byte; 11 bytes.
inline void WriteG3Cell(const G3& g, char* p) {
  const G3Source s = SourceOf(g);
  char src[16];
  std::memcpy(src, &s.lo, 8);
  std::memcpy(src + 8, &s.hi, 8);
  const unsigned char* at = LayoutOf(g);
  for (int i = 0; i < kDoubleCellWidth; ++i) p[i] = src[at[i]];
}

// Rounds a finite, normal double to three significant digits when the
// rounding is certain; false when it is not (a tie or close to one, or a
// magnitude beyond the scale table).
inline __attribute__((always_inline)) bool RoundG3(double v, G3* g) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const double a = std::fabs(v);
  // floor(e2 * log10(2)), exact for binary exponents e2 below 681 in
  // magnitude: the decimal exponent of a, or one less. The comparison with
  // the next power of ten settles which (a double next to a negative power,
  // which the table holds rounded, may land one decade off; it then fails
  // the range check below).
  const int x0 = ((biased - 1023) * 1233) >> 12;
  if (x0 < -kMaxScale + 2 || x0 > kMaxScale - 1) return false;  // both lookups in the table
  int x = x0 + (a >= kScale.f[x0 + 1 + kMaxScale]);
  const double s = a * kScale.f[2 - x + kMaxScale];
  if (!(s >= 100.0 && s < 1000.0)) return false;
  // s is within two roundings of a * 10^(2-x) (below 3e-13 absolute);
  // anything this close to a half is left to printf, which rounds the exact
  // value. Closeness to a whole number needs no care: either side of it
  // rounds to the same three digits.
  unsigned n = static_cast<unsigned>(s);
  const double frac = s - n;
  if (std::fabs(frac - 0.5) < 1e-7) return false;
  n += frac > 0.5;
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

namespace {

// The cells the fast path leaves: printf's text, right-justified in 11.
char* PutDoubleCellByPrintf(char* p, double v) {
  std::memcpy(p, &kBlanks, 8);  // 11 blanks
  std::memcpy(p + 3, &kBlanks, 8);
  char tmp[kPrintfG3Size];
  const size_t n = PrintfG3(v, tmp);
  std::memcpy(p + 11 - n, tmp, n);
  return p + 11;
}

#if defined(__x86_64__)
// The layout applied by one byte shuffle: 16 bytes written, 5 of them into
// the slack.
__attribute__((target("ssse3"))) char* PutDoubleCellShuffled(char* p, double v) {
  G3 g;
  if (!IsNormal(v) || !RoundG3(v, &g)) return PutDoubleCellByPrintf(p, v);
  const G3Source s = SourceOf(g);
  const __m128i src = _mm_set_epi64x(static_cast<long long>(s.hi), static_cast<long long>(s.lo));
  const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i*>(LayoutOf(g)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(src, at));
  return p + 11;
}
bool CanShuffle() { return __builtin_cpu_supports("ssse3"); }
#else
char* PutDoubleCellShuffled(char* p, double v) { return PutDoubleCellBytewise(p, v); }
bool CanShuffle() { return false; }
#endif

}  // namespace

char* PutDoubleCellBytewise(char* p, double v) {
  G3 g;
  if (!IsNormal(v) || !RoundG3(v, &g)) return PutDoubleCellByPrintf(p, v);
  WriteG3Cell(g, p);
  return p + 11;
}

char* PutDoubleCell(char* p, double v) {
  static const bool shuffle = CanShuffle();
  return shuffle ? PutDoubleCellShuffled(p, v) : PutDoubleCellBytewise(p, v);
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
  std::memcpy(p, &kBlanks, 8);  // 18 blanks
  std::memcpy(p + 8, &kBlanks, 8);
  std::memcpy(p + 10, &kBlanks, 8);
  if (data != nullptr && len > 0) {
    const int32_t shown = len < 6 ? len : 6;
    char* o = p + 18 - (3 * shown - 1);
    for (int32_t i = 0; i < shown; ++i, o += 3) std::memcpy(o, kHex.text + 2 * data[i], 2);
  }
  return p + 18;
}

namespace {

// The cell of the text `s` of `n` bytes (null: empty).
char* PutTextBytes(char* p, const char* s, size_t n, size_t width) {
  if (width > kMaxTextWidth) width = kMaxTextWidth;  // no such column; never overrun
  FillBlanks(p, width);
  if (s == nullptr) return p + width;
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

}  // namespace

char* PutTextCell(char* p, const char* s, size_t width) {
  return PutTextBytes(p, s, s != nullptr ? std::strlen(s) : 0, width);
}

char* PutTextCell(char* p, const char* s, size_t length, size_t width) {
  // The text ends at its first NUL, which is looked for among its `length`
  // bytes only: the store's entry may have lost the NUL after it since.
  if (s == nullptr || width > kMaxTextWidth) {
    return PutTextBytes(p, s, s != nullptr ? strnlen(s, length) : 0, width);
  }
  const size_t m = length < width ? length : width;
  // No NUL among the m bytes: then the text is at least m bytes long, and
  // exactly `length` when that is below the width. The blanks' overrun is
  // covered by the text or lies in the slack.
  FillBlanksWide(p, width - m);
  if (CopyPrintableAscii(s, m, p + width - m)) return p + width;
  return PutTextBytes(p, s, strnlen(s, length), width);
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
