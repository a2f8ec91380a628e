// Tests of the value texts wqdump writes: doubles read back to the same
// bits (edge values and random bit patterns) and always read as floating
// point; JSON strings parse back to the same bytes with a JSON parser; CSV
// fields are quoted exactly when they must be. The fast paths (exact short
// doubles, digit tables, strings checked a word at a time) write what the
// plain byte-by-byte writers they replaced wrote, which the last tests
// restate as references.
#include "tools/common/text_encoding.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "tests/support/test_util.h"

namespace {

using wqtools::TextSink;

// What `write` puts into a sink.
template <class Write>
std::string SinkText(Write write) {
  wqtest::TempFolder t;
  std::unique_ptr<TextSink> sink;
  EXPECT_TRUE(TextSink::ToFile(t.File("out"), &sink).ok());
  write(*sink);
  EXPECT_TRUE(sink->Finish().ok());
  return wqtest::ReadFile(t.File("out"));
}

uint64_t Bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

std::string DoubleString(double v) {
  char text[wqtools::kNumberTextMax];
  return std::string(text, wqtools::DoubleText(v, text));
}

TEST(DoubleText, ReadsBackToTheSameBits) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.1,
                                1.0 / 3,
                                100.0,
                                1e21,
                                1e22,
                                1e-7,
                                123456789012345678.0,
                                9007199254740993.0,
                                4.0493,
                                -1.5,
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(),
                                2.2250738585072009e-308};
  std::mt19937_64 random(42);
  while (values.size() < 100000) {
    uint64_t b = random();
    double d;
    std::memcpy(&d, &b, sizeof d);
    if (std::isfinite(d)) values.push_back(d);
  }
  for (const double v : values) {
    const std::string text = DoubleString(v);
    ASSERT_EQ(Bits(std::strtod(text.c_str(), nullptr)), Bits(v)) << text;
    // A decimal point or an exponent: read as a float, never an integer.
    ASSERT_NE(text.find_first_of(".e"), std::string::npos) << text;
    ASSERT_LE(text.size(), wqtools::kNumberTextMax);
  }
}

TEST(JsonString, ParsesBackToTheSameBytes) {
  std::string every;  // every byte but NUL, then multibyte characters
  for (int c = 1; c < 128; c++) every += static_cast<char>(c);
  every += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC2\x80\xE2\x80\xA8";
  const std::string long_text = std::string(200000, '"') + every;
  for (const std::string& s : {std::string(), every, long_text}) {
    const std::string text =
        SinkText([&](TextSink& out) { wqtools::JsonString(out, s.data(), s.size()); });
    EXPECT_EQ(nlohmann::json::parse(text).get<std::string>(), s);
    EXPECT_EQ(nlohmann::json::parse(wqtools::JsonQuoted(s)).get<std::string>(), s);
  }
  EXPECT_EQ(SinkText([](TextSink& out) { wqtools::JsonString(out, "a\"\\\n\x01\x7f", 6); }),
            "\"a\\\"\\\\\\n\\u0001\x7f\"");
}

TEST(CsvField, QuotedExactlyWhenNeeded) {
  const struct {
    std::string value;
    bool quote_empty;
    std::string text;
  } cases[] = {
      {"", false, ""},
      {"", true, "\"\""},
      {"plain text", true, "plain text"},
      {" padded ", true, " padded "},
      {"a,b", true, "\"a,b\""},
      {"say \"hi\"", true, "\"say \"\"hi\"\"\""},
      {"\"", true, "\"\"\"\""},
      {"two\nlines", true, "\"two\nlines\""},
      {"cr\r", true, "\"cr\r\""},
      {"tab\there", true, "tab\there"},
      {"\xC3\xA9t\xC3\xA9", true, "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SinkText([&](TextSink& out) {
                wqtools::CsvField(out, c.value.data(), c.value.size(), c.quote_empty);
              }),
              c.text)
        << c.value;
  }
}

// The texts as the writers before the fast paths made them.
std::string ReferenceDouble(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char text[64];
  std::string t(text, std::to_chars(text, text + sizeof text, v).ptr);
  if (t.find_first_of(".e") == std::string::npos) t += ".0";
  return t;
}
std::string ReferenceCsv(const std::string& s, bool quote_empty) {
  if (s.empty()) return quote_empty ? "\"\"" : "";
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string t = "\"";
  for (const char c : s) t += c == '"' ? std::string("\"\"") : std::string(1, c);
  return t + "\"";
}
std::string ReferenceJson(const std::string& s) {
  std::string t = "\"";
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': t += "\\\""; break;
      case '\\': t += "\\\\"; break;
      case '\n': t += "\\n"; break;
      case '\r': t += "\\r"; break;
      case '\t': t += "\\t"; break;
      case '\b': t += "\\b"; break;
      case '\f': t += "\\f"; break;
      default:
        if (c < 0x20) {
          char u[8];
          std::snprintf(u, sizeof u, "\\u%04x", c);
          t += u;
        } else {
          t += ch;
        }
    }
  }
  return t + "\"";
}

TEST(FastPaths, DoublesAsBefore) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.5,
                                9.5,
                                0.1,
                                0.2,
                                0.3,
                                1.0 / 3,
                                2.0 / 3,
                                100.0,
                                1e15,
                                1e16,
                                1e17,
                                1e21,
                                1e22,
                                1e23,
                                1e-4,
                                1e-5,
                                1e-7,
                                123456789012345678.0,
                                9007199254740991.0,
                                9007199254740992.0,
                                9007199254740993.0,
                                4503599627370495.5,
                                4503599627370496.0,
                                0.000123,
                                12345678.9,
                                -0.827,
                                810219.29,
                                5e-324,
                                -5e-324,
                                2.2250738585072009e-308,
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                -std::numeric_limits<double>::quiet_NaN()};
  for (int k = -1080; k <= 1030; k++) {  // powers of two and their neighbours
    const double p = std::ldexp(1.0, k);
    values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), -p});
  }
  for (int k = -30; k <= 30; k++) values.push_back(std::pow(10.0, k));
  std::mt19937_64 random(7);
  // Decimals of 1 to 17 digits with 0 to 25 places, as a parser reads them:
  // the values whose texts the exact short path writes.
  for (int i = 0; i < 200000; i++) {
    const int digits = 1 + static_cast<int>(random() % 17);
    const int places = static_cast<int>(random() % 26);
    const uint64_t m = random() % static_cast<uint64_t>(std::pow(10.0, digits));
    const std::string text = std::to_string(m) + "e-" + std::to_string(places);
    const double v = std::strtod(text.c_str(), nullptr);
    values.push_back(random() % 2 ? v : -v);
  }
  for (int i = 0; i < 200000; i++) {  // every kind of bits, and the neighbours of short ones
    const uint64_t b = random();
    double d;
    std::memcpy(&d, &b, sizeof d);
    values.push_back(d);
    const double v = values[random() % values.size()];
    values.insert(values.end(), {std::nextafter(v, 0.0), std::nextafter(v, 1e308)});
  }
  for (const double v : values) {
    ASSERT_EQ(DoubleString(v), ReferenceDouble(v)) << Bits(v);
  }
}

TEST(FastPaths, IntegersAsBefore) {
  std::vector<int64_t> values = {0,   1,         -1,        9,         10,       99,
                                 100, INT32_MAX, INT32_MIN, INT64_MAX, INT64_MIN};
  for (int64_t p = 1; p <= INT64_MAX / 10; p *= 10) {
    values.insert(values.end(), {p - 1, p, p + 1, -p, 1 - p, -p - 1});
  }
  std::mt19937_64 random(11);
  for (int i = 0; i < 100000; i++) {
    values.push_back(static_cast<int64_t>(random()) >> (random() % 64));
  }
  char text[wqtools::kNumberTextMax];
  for (const int64_t v : values) {
    ASSERT_EQ(std::string(text, wqtools::IntText(v, text)), std::to_string(v));
    const int32_t cls = static_cast<int32_t>(v);
    const uint32_t position = static_cast<uint32_t>(v >> 32);
    ASSERT_EQ(std::string(text, wqtools::ObjectIdText(cls, position, text)),
              std::to_string(cls) + ":" + std::to_string(position));
  }
}

TEST(FastPaths, StringsAndBlobsAsBefore) {
  // Each byte that matters, and some that do not, at every place of strings
  // of 1 to 40 bytes (inside and across the words the checks read), and
  // near the chunk boundaries of strings too long for one piece of room.
  // ("|" ends each text: no writer passes it through changed.)
  const std::string bytes = std::string(",\"\r\n\\\x01\x1f\x7f\x80\xc3 A\t", 13) + '\0';
  std::vector<std::string> texts = {""};
  for (size_t n = 1; n <= 40; n++) {
    for (size_t at = 0; at < n; at++) {
      for (const char b : bytes) {
        std::string s(n, 'x');
        s[at] = b;
        texts.push_back(s);
      }
    }
  }
  for (const size_t n : {8191, 8192, 8193, 70000}) {
    for (const size_t at : {size_t{0}, n / 2, n - 1}) {
      std::string s(n, 'y');
      s[at] = '"';
      texts.push_back(s);
      texts.push_back(std::string(n, '\n'));
    }
  }
  // All of them through one sink per writer, each text on a line of its own.
  std::string csv, csv_quoted, json, hex;
  for (const std::string& s : texts) {
    csv += ReferenceCsv(s, false) + '|';
    csv_quoted += ReferenceCsv(s, true) + '|';
    json += ReferenceJson(s) + '|';
    for (const char c : s) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
      hex += pair;
    }
    hex += '|';
  }
  EXPECT_TRUE(SinkText([&](TextSink& out) {
                for (const std::string& s : texts) {
                  wqtools::CsvField(out, s.data(), s.size(), false);
                  out.Put('|');
                }
              }) == csv);
  EXPECT_TRUE(SinkText([&](TextSink& out) {
                for (const std::string& s : texts) {
                  wqtools::CsvField(out, s.data(), s.size(), true);
                  out.Put('|');
                }
              }) == csv_quoted);
  EXPECT_TRUE(SinkText([&](TextSink& out) {
                for (const std::string& s : texts) {
                  wqtools::JsonString(out, s.data(), s.size());
                  out.Put('|');
                }
              }) == json);
  EXPECT_TRUE(SinkText([&](TextSink& out) {
                for (const std::string& s : texts) {
                  wqtools::HexText(out, reinterpret_cast<const unsigned char*>(s.data()), s.size());
                  out.Put('|');
                }
              }) == hex);
}

}  // namespace
