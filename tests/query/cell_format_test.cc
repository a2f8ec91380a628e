// The hand-made cell formats against the routines they stand for: printf's
// "%10d" and "%11.3g" (a "%7.3g" cell in its column of 11), and for text the
// UTF-8 to ISO-8859-1 conversion, cut and console conversion done one step
// after the other, in each console codeset.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/utf8.h"
#include "query/cell_format.h"
#include "terminal/console.h"

namespace {

std::string Printf(const char* format, double v) {
  char buf[64];
  return std::string(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, format, v)));
}

// The cell by the writer the machine uses, after checking that the
// bytewise one (for machines without vector instructions) gives the same.
std::string DoubleCell(double v) {
  char buf[kMaxCellRoom];
  const std::string cell(buf, PutDoubleCell(buf, v));
  EXPECT_EQ(std::string(buf, PutDoubleCellBytewise(buf, v)), cell) << v;
  return cell;
}

double FromBits(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

TEST(CellFormatNumbers, IntMatchesPrintf) {
  std::vector<int32_t> values = {0,          1,          -1,          9,          10,
                                 -9,         -10,        99,          100,        999999999,
                                 1000000000, -999999999, -1000000000, 2147483647, -2147483647 - 1};
  for (int64_t p = 1; p <= 1000000000; p *= 10) {
    for (int64_t d : {-1, 0, 1}) {
      values.push_back(static_cast<int32_t>(p + d));
      values.push_back(static_cast<int32_t>(-p - d));
    }
  }
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000000; ++i) {
    // Every length of number equally often, then any bit pattern.
    const uint64_t r = rng();
    const int32_t v = static_cast<int32_t>(r);
    values.push_back(i % 2 == 0 ? v : static_cast<int32_t>(v >> (r >> 59)));
  }
  char cell[kMaxCellRoom];
  char want[32];
  for (int32_t v : values) {
    const int n = std::snprintf(want, sizeof want, "%10d", v);
    ASSERT_EQ(std::string(cell, PutIntCell(cell, v)), std::string(want, n)) << v;
  }
}

TEST(CellFormatNumbers, DoubleEdgeCases) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {
      0.0,       -0.0,         inf,           -inf,        nan,   -nan,      DBL_MAX,  -DBL_MAX,
      DBL_MIN,   DBL_TRUE_MIN, -DBL_TRUE_MIN, DBL_MIN / 3, 9.995, 9.9949999, 999.5,    999.4999999,
      1000.5,    0.0001,       0.00009995,    0.000099949, 1e-5,  1e15,      1e16,     1e22,
      1e23,      1e24,         1e25,          1e-20,       1e-21, 1e-22,     1.125,    1.135,
      0.125,     1235.0,       1245.0,        100.0,       99.95, 99.949,    123456.0, 0.5,
      2.0 / 3.0, 1e100,        1.23456e-300,  5e-324};
  // Every rounding boundary (half-way between two 3-digit values) at the
  // magnitudes the fast path takes and a little beyond, with neighbours.
  for (int e = -27; e <= 27; ++e) {
    for (int k = 99; k <= 1000; k += (k < 110 || k > 990) ? 1 : 37) {
      const double half = (k + 0.5) * std::pow(10.0, e - 2);
      const double exact = k * std::pow(10.0, e - 2);
      for (double b : {half, exact}) {
        values.push_back(b);
        values.push_back(std::nextafter(b, 0.0));
        values.push_back(std::nextafter(b, inf));
        values.push_back(-b);
      }
    }
  }
  for (double v : values) {
    ASSERT_EQ(DoubleCell(v), Printf("%11.3g", v)) << Printf("%.17g", v);
  }
}

TEST(CellFormatNumbers, RandomDoublesMatchPrintf) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 1000000; ++i) {
    const uint64_t r = rng();
    double v;
    switch (i % 8) {
      case 0:  // any bit pattern: mostly huge, tiny, subnormal or NaN
        v = FromBits(r);
        break;
      case 1:
      case 2:
      case 3:  // any mantissa, at the magnitudes of everyday values
        v = FromBits((r & 0x800FFFFFFFFFFFFFull) | ((960 + (r >> 52) % 140) << 52));
        break;
      default: {  // decimals as people store them: few digits, often ties
        const int64_t digits = static_cast<int64_t>(r % 2000000001) - 1000000000;
        const int places = static_cast<int>((r >> 40) % 13);
        v = static_cast<double>(digits >> ((r >> 56) % 28)) / std::pow(10.0, places);
        break;
      }
    }
    ASSERT_EQ(DoubleCell(v), Printf("%11.3g", v)) << Printf("%.17g", v);
  }
}

// Random stored text: printable runs, controls, DEL, characters of
// ISO-8859-1 (with the C1 controls), characters beyond it, and every kind of
// broken sequence. No zero byte: the store's text ends at one.
std::string RandomText(std::mt19937_64& rng) {
  static const char* const kPieces[] = {"\xC2\x80",
                                        "\xC2\x9F",
                                        "\xC2\xA0",
                                        "\xC3\xA9",
                                        "\xC3\xBF",
                                        "\xC2\x85",  // U+0080..U+00FF
                                        "\xE2\x82\xAC",
                                        "\xF0\x9F\x98\x80",
                                        "\xDF\xBF",  // beyond it
                                        "\xC0\xAF",
                                        "\xC1\xBF",
                                        "\xE0\x80\x80",
                                        "\xED\xA0\x80",
                                        "\xF4\x90\x80\x80",
                                        "\xF5",
                                        "\xFF",
                                        "\x80",
                                        "\xBF",
                                        "\xC3",
                                        "\xE2\x82",
                                        "\xF0\x9F\x98",
                                        "\t",
                                        "\n",
                                        "\x1B",
                                        "\x7F",
                                        "\x01"};
  constexpr size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];
  std::string t;
  const size_t parts = rng() % 24;
  const bool ascii_only = rng() % 3 == 0;
  for (size_t i = 0; i < parts; ++i) {
    const uint64_t r = rng();
    if (ascii_only || r % 3 != 0) {
      for (size_t k = (r >> 8) % 17; k > 0; --k) t.push_back(static_cast<char>(0x20 + rng() % 95));
    } else if (r % 7 == 0) {
      t.push_back(static_cast<char>(1 + (r >> 8) % 255));  // any byte
    } else {
      t += kPieces[(r >> 8) % kPieceCount];
    }
  }
  return t;
}

// UTF-8 to ISO-8859-1 one character at a time: "?" for a character above
// U+00FF and for each byte that starts no valid sequence.
std::string ReferenceLatin1(const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.c_str());
  const unsigned char* end = p + text.size();
  std::string out;
  while (p < end) {
    uint32_t cp = *p;
    const size_t len = cp < 0x80 ? 1 : DecodeUtf8(p, end, &cp);
    out.push_back(len != 0 && cp <= 0xFF ? static_cast<char>(cp) : '?');
    p += len != 0 ? len : 1;
  }
  return out;
}

// The cell text the old way: convert, cut to `width` characters, convert
// for the console, pad by characters.
std::string ReferenceTextCell(const std::string& text, size_t width) {
  std::string latin1 = ReferenceLatin1(text);
  if (latin1.size() > width) latin1.resize(width);
  std::vector<char> console(2 * latin1.size() + 1);
  const size_t n = ConsoleConvert(latin1.data(), latin1.size(), console.data());
  return std::string(width - latin1.size(), ' ') + std::string(console.data(), n);
}

TEST(CellFormatText, FusedConversionMatchesTheSteps) {
  const ConsoleCodeset saved = GetConsoleCodeset();
  std::mt19937_64 rng(5);
  char cell[kMaxCellRoom];
  for (ConsoleCodeset cs :
       {ConsoleCodeset::kUtf8, ConsoleCodeset::kLatin1, ConsoleCodeset::kAscii}) {
    SetConsoleCodeset(cs);
    for (int i = 0; i < 40000; ++i) {
      const std::string text = RandomText(rng);
      for (size_t width : {size_t{75}, size_t{50}, size_t{3}}) {
        const std::string got(cell, PutTextCell(cell, text.c_str(), width));
        ASSERT_EQ(got, ReferenceTextCell(text, width))
            << "codeset " << static_cast<int>(cs) << " width " << width << " text " << text;
      }
    }
  }
  SetConsoleCodeset(saved);
}

// Bytes placed at the very end of a readable page that a page no read may
// touch follows: a read past them faults.
class PageEnd {
 public:
  PageEnd() : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    void* base =
        mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(base, MAP_FAILED);
    base_ = static_cast<char*>(base);
    EXPECT_EQ(mprotect(base_ + page_, page_, PROT_NONE), 0);
  }
  ~PageEnd() { munmap(base_, 2 * page_); }
  const char* Place(const std::string& bytes) {
    char* at = base_ + page_ - bytes.size();
    std::memcpy(at, bytes.data(), bytes.size());
    return at;
  }

 private:
  size_t page_;
  char* base_;
};

// The cell of a text with its length given is the cell of the text alone:
// for every codeset and width, on random texts, and on texts whose given
// length runs past an earlier NUL (a file that was never validated). No
// byte past the length is read, as when the file lost the NUL after it.
TEST(CellFormatText, KnownLengthMatchesCountedText) {
  PageEnd fence;
  const ConsoleCodeset saved = GetConsoleCodeset();
  std::mt19937_64 rng(9);
  char cell[kMaxCellRoom];
  char want[kMaxCellRoom];
  const std::string long_ascii(100, 'x');
  struct Case {
    std::string bytes;  // the stored bytes; the length given is their size
  };
  std::vector<Case> cases = {{""},
                             {"a"},
                             {std::string("ab\0cd", 5)},
                             {std::string("\0", 1)},
                             {long_ascii},
                             {long_ascii.substr(0, 75)},
                             {long_ascii.substr(0, 74)},
                             {long_ascii.substr(0, 80) + std::string(1, '\0') + "tail"},
                             {std::string(30, 'y') + std::string(1, '\0') + std::string(60, 'z')},
                             {"caf\xC3\xA9 " + long_ascii},
                             {"tab\there"}};
  for (int i = 0; i < 20000; ++i) cases.push_back({RandomText(rng)});
  for (ConsoleCodeset cs :
       {ConsoleCodeset::kUtf8, ConsoleCodeset::kLatin1, ConsoleCodeset::kAscii}) {
    SetConsoleCodeset(cs);
    for (const Case& c : cases) {
      const std::string stored = c.bytes + std::string(1, '\0');
      for (size_t width : {size_t{75}, size_t{50}, size_t{18}, size_t{3}, size_t{0}}) {
        const std::string got(cell, PutTextCell(cell, stored.c_str(), c.bytes.size(), width));
        const std::string expected(want, PutTextCell(want, stored.c_str(), width));
        ASSERT_EQ(got, expected) << "codeset " << static_cast<int>(cs) << " width " << width
                                 << " text " << c.bytes;
        const char* unterminated = fence.Place(c.bytes);
        ASSERT_EQ(std::string(cell, PutTextCell(cell, unterminated, c.bytes.size(), width)),
                  expected);
      }
    }
  }
  SetConsoleCodeset(saved);
  // A null text is an empty cell whatever length comes with it.
  EXPECT_EQ(std::string(cell, PutTextCell(cell, nullptr, 7, 5)), "     ");
}

TEST(CellFormatText, PrintableWordTest) {
  // Each byte value at each place of a word of printable bytes.
  for (int place = 0; place < 8; ++place) {
    for (int b = 0; b < 256; ++b) {
      unsigned char bytes[8];
      std::memset(bytes, 'A', 8);
      bytes[place] = static_cast<unsigned char>(b);
      uint64_t w;
      std::memcpy(&w, bytes, 8);
      EXPECT_EQ(AllPrintableAscii(w), b >= 0x20 && b <= 0x7E) << place << " " << b;
    }
  }
  // Two bad bytes next to each other can hide each other in a borrow.
  for (int b = 0; b < 256; ++b) {
    for (int c = 0; c < 256; c += 5) {
      const uint64_t w =
          0x4141414141410000ull | (static_cast<uint64_t>(c) << 8) | static_cast<uint64_t>(b);
      const bool want = b >= 0x20 && b <= 0x7E && c >= 0x20 && c <= 0x7E;
      EXPECT_EQ(AllPrintableAscii(w), want) << b << " " << c;
    }
  }
}

TEST(CellFormatText, CopyPrintableAsciiEveryLengthAndPlace) {
  // Lengths that take the byte, word and 16-byte paths and their tails.
  for (size_t n = 0; n <= 40; ++n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text.push_back(static_cast<char>(0x20 + (i * 7) % 95));
    std::vector<char> dst(n + 1, 'x');
    ASSERT_TRUE(CopyPrintableAscii(text.data(), n, dst.data())) << n;
    EXPECT_EQ(std::string(dst.data(), n), text);
    EXPECT_EQ(dst[n], 'x') << "wrote past the end at length " << n;
    for (size_t place = 0; place < n; ++place) {
      for (int bad : {0x00, 0x1F, 0x7F, 0x80, 0xC3, 0xFF}) {
        std::string t = text;
        t[place] = static_cast<char>(bad);
        EXPECT_FALSE(CopyPrintableAscii(t.data(), n, dst.data())) << n << " " << place;
      }
    }
  }
}

}  // namespace
