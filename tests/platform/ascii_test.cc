// The ASCII rules: case folding of A to Z alone.
#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace {

TEST(Keywords, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("SyS$TaBlEs", "sys$tables"));
  EXPECT_TRUE(EqualsIgnoreCase("FROM", "from"));
  EXPECT_FALSE(EqualsIgnoreCase("fro", "from"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC3\x89", "\xC3\xA9"));  // É and é differ
  EXPECT_FALSE(EqualsIgnoreCase("[", "{"));                // not letters
}

}  // namespace
