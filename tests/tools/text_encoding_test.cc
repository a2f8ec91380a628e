// Tests of the value texts wqdump writes: doubles read back to the same
// bits (edge values and random bit patterns) and always read as floating
// point; JSON strings parse back to the same bytes with a JSON parser; CSV
// fields are quoted exactly when they must be.
#include "tools/common/text_encoding.h"

#include <gtest/gtest.h>

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

}  // namespace
