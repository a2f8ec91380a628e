// Unit tests of the console's conversion of stored text to the terminal's
// character set.
#include "terminal/console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Stored UTF-8 on an ISO-8859-1 console: one byte per character, "?" for a
// character outside ISO-8859-1, for each byte of a broken sequence and for
// a control character.
TEST(Console, Utf8ToLatin1Console) {
  const ConsoleCodeset saved = GetConsoleCodeset();
  SetConsoleCodeset(ConsoleCodeset::kLatin1);
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"plain", "plain"},
      {"M\xC3\xBCller", "M\xFCller"},  // ü is in ISO-8859-1
      {"\xE2\x82\xAC"
       "5",
       "?5"},                     // the euro sign is not
      {"\xF0\x9F\x98\x80", "?"},  // nor is an emoji
      {"a\xFF"
       "b",
       "a?b"},                  // invalid byte
      {"\xC3", "?"},            // truncated sequence
      {"\xC0\xAF", "??"},       // overlong form
      {"\xED\xA0\x80", "???"},  // surrogate
      {"\xC2\x85", "?"},        // a C1 control
  };
  for (const auto& c : cases) {
    char dst[64];
    size_t chars = 0;
    const size_t n = Utf8ToConsole(c.in, std::strlen(c.in), 32, dst, &chars);
    EXPECT_EQ(std::string(dst, n), c.want) << c.in;
    EXPECT_EQ(chars, std::strlen(c.want)) << c.in;
  }
  SetConsoleCodeset(saved);
}

TEST(Console, ConversionByCodeset) {
  const ConsoleCodeset saved = GetConsoleCodeset();
  const char* in = "a\x1B[1m\x7F\x85\xE9\xFF\t\n";
  const struct {
    ConsoleCodeset cs;
    const char* want;
  } cases[] = {
      {ConsoleCodeset::kUtf8, "a?[1m??\xC3\xA9\xC3\xBF??"},
      {ConsoleCodeset::kLatin1, "a?[1m??\xE9\xFF??"},
      {ConsoleCodeset::kAscii,
       "a?[1m????"
       "??"},
  };
  for (const auto& c : cases) {
    SetConsoleCodeset(c.cs);
    char dst[64];
    const size_t n = ConsoleConvert(in, std::string(in).size(), dst);
    EXPECT_EQ(std::string(dst, n), c.want);
  }
  SetConsoleCodeset(saved);
}

}  // namespace
