// Tests of the pure parts of the JSON source reader, without the parser: the
// conversions of JSON values into member and field values with their range
// checks and messages, the hex and character decoders, quoting, the names
// the shell can type, and positions in a source.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tools/make/json_scalar.h"
#include "tools/make/shell_names.h"
#include "tools/make/source_faults.h"
#include "tools/make/value_conversion.h"

namespace {

using wqsource::Scalar;

Scalar Make(Scalar::Kind kind) {
  Scalar v;
  v.kind = kind;
  return v;
}
Scalar Int(int64_t i) {
  Scalar v = Make(Scalar::kInt);
  v.i = i;
  return v;
}
Scalar Unsigned(uint64_t u) {
  Scalar v = Make(Scalar::kUnsigned);
  v.u = u;
  return v;
}
Scalar Float(double d, Scalar::Kind kind = Scalar::kFloat) {
  Scalar v = Make(kind);
  v.d = d;
  return v;
}
Scalar Str(std::string_view s) {
  Scalar v = Make(Scalar::kString);
  v.s = s;
  return v;
}
Scalar Bool(bool b) {
  Scalar v = Make(Scalar::kBool);
  v.b = b;
  return v;
}

// What a conversion made of a value, as text: the value, "null", or
// "fault: " and the detail.
template <typename T>
std::string Outcome(const Status& s, const T& value) {
  return s.ok() ? testing::PrintToString(value) : "fault: " + s.message();
}
std::string AsInt(const Scalar& v) {
  int32_t n = 0;
  const Status s = wqsource::ToIntValue(v, &n);
  return Outcome(s, n);
}
std::string AsDouble(const Scalar& v) {
  double d = 0;
  const Status s = wqsource::ToDoubleValue(v, &d);
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", d);
  return s.ok() ? text : "fault: " + s.message();
}
std::string AsChar(const Scalar& v) {
  uint8_t c = 0;
  const Status s = wqsource::ToCharValue(v, &c);
  return Outcome(s, int{c});
}
std::string AsBlob(const Scalar& v) {
  std::vector<uint8_t> bytes;
  const Status s = wqsource::ToBlobValue(v, &bytes);
  std::string hex;
  for (uint8_t b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  return Outcome(s, hex);
}
std::string AsText(const Status& s, const wqsource::TextOrNull& t) {
  return s.ok() && t.is_null ? "null" : Outcome(s, std::string(t.text));
}
std::string AsString(const Scalar& v) {
  wqsource::TextOrNull t;
  return AsText(wqsource::ToStringValue(v, true, &t), t);
}
std::string AsRequiredString(const Scalar& v) {
  wqsource::TextOrNull t;
  return AsText(wqsource::ToStringValue(v, false, &t), t);
}
std::string AsReference(const Scalar& v) {
  wqsource::TextOrNull t;
  return AsText(wqsource::ToReferenceValue(v, true, &t), t);
}
std::string AsRequiredReference(const Scalar& v) {
  wqsource::TextOrNull t;
  return AsText(wqsource::ToReferenceValue(v, false, &t), t);
}
std::string AsNumberField(const Scalar& v) {
  int32_t n = 0;
  const Status s = wqsource::ToInt32Field(v, "number", &n);
  return Outcome(s, n);
}
std::string AsTypeCode(const Scalar& v) {
  int code = 0;
  const Status s = wqsource::ToTypeCode(v, &code);
  return Outcome(s, code);
}
std::string AsNullable(const Scalar& v) {
  bool b = false;
  const Status s = wqsource::ToNullableFlag(v, &b);
  return Outcome(s, b);
}

struct ConversionCase {
  const char* name;
  std::string (*convert)(const Scalar&);
  Scalar value;
  std::string want;
};

TEST(SourceValues, ConvertsOrRefusesWithTheDetail) {
  const std::string not_int = "fault: integer out of range (-2147483648 to 2147483647)";
  const std::string not_char = "fault: expected a one-character string in U+0000 to U+00FF";
  const std::string code_range = "fault: character code out of range (0 to 255)";
  const std::string not_double = "fault: expected a number, not a string";
  const std::string type_fault =
      "fault: \"type\" must be a code 0 to 255 or one of \"string\", \"int\", \"double\", "
      "\"char\", \"blob\", \"ref\"";
  const ConversionCase cases[] = {
      {"int min", AsInt, Int(INT32_MIN), "-2147483648"},
      {"int max", AsInt, Int(INT32_MAX), "2147483647"},
      {"int above", AsInt, Int(int64_t{INT32_MAX} + 1), not_int},
      {"int below", AsInt, Int(int64_t{INT32_MIN} - 1), not_int},
      {"unsigned max", AsInt, Unsigned(INT32_MAX), "2147483647"},
      {"unsigned above", AsInt, Unsigned(uint64_t{INT32_MAX} + 1), not_int},
      {"int beyond 64 bits", AsInt, Float(1e20, Scalar::kBigInt), not_int},
      {"int from float", AsInt, Float(1.0),
       "fault: expected an integer, not a number with a fraction or exponent"},
      {"int from null", AsInt, Make(Scalar::kNull), "fault: expected an integer, not null"},
      {"double from int", AsDouble, Int(-5), "-5"},
      {"double from unsigned", AsDouble, Unsigned(UINT64_MAX), "1.8446744073709552e+19"},
      {"double beyond 64 bits", AsDouble, Float(1e20, Scalar::kBigInt), "1e+20"},
      {"double infinite", AsDouble, Float(HUGE_VAL), "fault: number out of range"},
      {"double from bool", AsDouble, Bool(true), "fault: expected a number, not a boolean"},
      {"double NaN", AsDouble, Str("NaN"), "nan"},
      {"double Infinity", AsDouble, Str("Infinity"), "inf"},
      {"double -Infinity", AsDouble, Str("-Infinity"), "-inf"},
      {"double nan", AsDouble, Str("nan"), not_double},
      {"double -NaN", AsDouble, Str("-NaN"), not_double},
      {"double +Infinity", AsDouble, Str("+Infinity"), not_double},
      {"double Inf", AsDouble, Str("Inf"), not_double},
      {"double INFINITY", AsDouble, Str("INFINITY"), not_double},
      {"double NaN and a blank", AsDouble, Str("NaN "), not_double},
      {"double numeral", AsDouble, Str("1.5"), not_double},
      {"double empty", AsDouble, Str(""), not_double},
      {"char letter", AsChar, Str("A"), "65"},
      {"char NUL", AsChar, Str(std::string_view("\0", 1)), "0"},
      {"char two bytes", AsChar, Str("\xC3\xA9"), "233"},
      {"char U+00FF", AsChar, Str("\xC3\xBF"), "255"},
      {"char U+0100", AsChar, Str("\xC4\x80"), not_char},
      {"char empty", AsChar, Str(""), not_char},
      {"char two letters", AsChar, Str("ab"), not_char},
      {"char broken", AsChar, Str("\xC3"), not_char},
      {"char code 255", AsChar, Unsigned(255), "255"},
      {"char code 256", AsChar, Int(256), code_range},
      {"char code -1", AsChar, Int(-1), code_range},
      {"char code beyond 64 bits", AsChar, Float(1e20, Scalar::kBigInt), code_range},
      {"char from float", AsChar, Float(65.0),
       "fault: expected a character code or a one-character string, not a number with a "
       "fraction or exponent"},
      {"blob", AsBlob, Str("00ff7A"), "\"00ff7a\""},
      {"blob empty", AsBlob, Str(""), "\"\""},
      {"blob odd", AsBlob, Str("abc"), "fault: blob has an odd number of hexadecimal digits"},
      {"blob bad second", AsBlob, Str("0g"), "fault: blob character 2 is not a hexadecimal digit"},
      {"blob bad before odd end", AsBlob, Str("00g"),
       "fault: blob character 3 is not a hexadecimal digit"},
      {"blob from int", AsBlob, Int(12),
       "fault: expected a string of hexadecimal digit pairs, not an integer"},
      {"string", AsString, Str("x y"), "\"x y\""},
      {"string with NUL", AsString, Str(std::string_view("a\0b", 3)),
       "fault: a string value cannot hold U+0000"},
      {"string null", AsString, Make(Scalar::kNull), "null"},
      {"string null required", AsRequiredString, Make(Scalar::kNull),
       "fault: null given for a member that is not nullable"},
      {"string from array", AsString, Make(Scalar::kArray),
       "fault: expected a string or null, not an array"},
      {"reference", AsReference, Str("p1"), "\"p1\""},
      {"reference null", AsReference, Make(Scalar::kNull), "null"},
      {"reference null required", AsRequiredReference, Make(Scalar::kNull),
       "fault: null given for a member that is not nullable"},
      {"reference from object", AsReference, Make(Scalar::kObject),
       "fault: expected an object id (a string) or null, not an object"},
      {"number field", AsNumberField, Int(-7), "-7"},
      {"number field above", AsNumberField, Unsigned(uint64_t{INT32_MAX} + 1),
       "fault: \"number\" out of range (-2147483648 to 2147483647)"},
      {"number field from string", AsNumberField, Str("1"),
       "fault: \"number\" must be an integer, not a string"},
      {"type name", AsTypeCode, Str("blob"), "5"},
      {"type ref", AsTypeCode, Str("ref"), "6"},
      {"type code 0", AsTypeCode, Int(0), "0"},
      {"type code 255", AsTypeCode, Unsigned(255), "255"},
      {"type code 256", AsTypeCode, Int(256), type_fault},
      {"type code -1", AsTypeCode, Int(-1), type_fault},
      {"type name in capitals", AsTypeCode, Str("String"), type_fault},
      {"type name of no type", AsTypeCode, Str("type7"), type_fault},
      {"type from bool", AsTypeCode, Bool(true), type_fault},
      {"nullable", AsNullable, Bool(false), "false"},
      {"nullable from string", AsNullable, Str("no"),
       "fault: \"nullable\" must be true or false, not a string"},
  };
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(c.convert(c.value), c.want) << c.name;
  }
  EXPECT_EQ(wqsource::NoValueForType(7).message(), "a member of type code 7 takes no value");
}

// The pairwise hex decoder against a digit-by-digit one, over every string of
// up to six characters from digits of both cases, non-digits and a high byte:
// the result, the decoded bytes and the offset named in the message agree.
TEST(SourceValues, DecodeHexMatchesDigitByDigitDecoding) {
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  const auto reference = [&](const std::string& t, std::vector<uint8_t>& out, size_t& bad) {
    out.clear();
    for (size_t i = 0; i < t.size(); i += 2) {
      if (digit(t[i]) < 0) return bad = i, false;
      if (i + 1 == t.size()) return bad = t.size(), false;
      if (digit(t[i + 1]) < 0) return bad = i + 1, false;
      out.push_back(static_cast<uint8_t>(digit(t[i]) << 4 | digit(t[i + 1])));
    }
    return true;
  };
  const std::string alphabet = "09afAFgG \xff";
  std::vector<uint8_t> got, want;
  std::string text;
  size_t accepted = 0;
  for (size_t len = 0; len <= 6; ++len) {
    std::vector<size_t> pick(len, 0);
    while (true) {
      text.clear();
      for (size_t k : pick) text += alphabet[k];
      size_t got_bad = SIZE_MAX, want_bad = SIZE_MAX;
      const bool ok = wqsource::DecodeHex(text, got, got_bad);
      ASSERT_EQ(ok, reference(text, want, want_bad)) << wqsource::Quote(text);
      if (ok) {
        ASSERT_EQ(got, want) << wqsource::Quote(text);
        ++accepted;
      } else {
        ASSERT_EQ(got_bad, want_bad) << wqsource::Quote(text);
      }
      size_t k = 0;
      while (k < len && ++pick[k] == alphabet.size()) pick[k++] = 0;
      if (k == len) break;
    }
  }
  // Exactly the strings of an even number of the six digits: 1 + 6^2 + 6^4 + 6^6.
  EXPECT_EQ(accepted, 1u + 36u + 1296u + 46656u);
}

TEST(SourceValues, QuoteEscapesControlsAndCutsByCharacters) {
  struct Case {
    std::string text;
    size_t max_chars;
    std::string want;
  };
  const Case cases[] = {
      {"Part", 60, "\"Part\""},
      {"", 60, "\"\""},
      {"a\"b\\c", 60, "\"a\\\"b\\\\c\""},
      {"a\tb\x01\x7f", 60, "\"a\\u0009b\\u0001\\u007f\""},
      {"a\xC2\x85"
       "b",
       60, "\"a\\u0085b\""},                       // C1 control
      {"M\xC3\xBCller", 60, "\"M\xC3\xBCller\""},  // kept as it is
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\"\xC3\xA9\xC3\xA9...\""},
      {"abc", 3, "\"abc\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wqsource::Quote(c.text, c.max_chars), c.want) << c.text;
  }
}

TEST(SourceValues, ShellTypableNames) {
  struct Case {
    std::string name;
    const char* fault;  // null: typable
  };
  const Case cases[] = {
      {"Part", nullptr},
      {"sys$tables", nullptr},  // the catalogue names are the reader's own rule
      {"M\xC3\xBCller", nullptr},
      {"", "is empty"},
      {"a b", "contains a blank"},
      {"a\tb", "contains a tab"},
      {"a;b", "contains a semicolon"},
      {"a,b", "contains a comma"},
      {"a\nb", "contains a newline"},
      {"a\rb", "contains a control character"},
      {std::string("a\0b", 3), "contains a control character"},
      {"a\x7f", "contains a control character"},
      {"a\xC2\x9F", "contains a control character"},
      {"a\xC2\xA0", nullptr},  // U+00A0 is past the C1 controls
  };
  for (const Case& c : cases) {
    const char* fault = wqsource::ShellTypableNameFault(c.name);
    EXPECT_STREQ(fault, c.fault) << wqsource::Quote(c.name);
  }
}

TEST(SourceValues, PositionsCountLinesAndCharacters) {
  struct Case {
    std::string text;
    size_t offset;
    size_t line, column;
  };
  const Case cases[] = {
      {"{}", 0, 1, 1},
      {"{\n  x", 4, 2, 3},
      {"a\n\nb", 3, 3, 1},
      {"\xC3\xBC\xE2\x82\xAC"
       "x",
       5, 1, 3},         // two characters of two and three bytes
      {"ab", 99, 1, 3},  // past the end: the end
      // A sequence that the byte at the offset cuts short counts as one.
      {"\"a\xE2\x82\"", 4, 1, 4},
      {"\"\xF0\x90\x80x", 4, 1, 3},
  };
  for (const Case& c : cases) {
    const wqsource::LineColumn lc = wqsource::LocateOffset(c.text, c.offset);
    EXPECT_EQ(lc.line, c.line) << wqsource::Quote(c.text) << " at " << c.offset;
    EXPECT_EQ(lc.column, c.column) << wqsource::Quote(c.text) << " at " << c.offset;
  }
}

TEST(SourceValues, FaultsNameTheSourceAndTheToken) {
  const std::string text = "\xEF\xBB\xBF{\"a\" :\n ,  5}";
  const wqsource::SourceText named(text, "src.json");
  const wqsource::SourceText unnamed(text);
  EXPECT_EQ(named.TokenStart(0), 3u);   // past the byte order mark
  EXPECT_EQ(named.TokenStart(7), 14u);  // past blanks, a colon, a newline and a comma
  EXPECT_EQ(named.TokenStart(14), 14u);
  EXPECT_EQ(named.FaultAtToken(7, "bad").message(), "src.json:2:5: bad");
  EXPECT_EQ(unnamed.FaultAt(4, "bad").message(), "1:3: bad");
  EXPECT_FALSE(unnamed.FaultAt(4, "bad").ok());
}

}  // namespace
