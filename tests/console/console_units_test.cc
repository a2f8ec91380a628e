// Unit tests of the console's pieces that need no terminal: the cutting of
// pasted text into lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/console_paste.h"

namespace {

using Words = std::vector<std::string>;

TEST(PastedText, CutAtEveryKindOfLineEnd) {
  const struct {
    std::string text;
    Words want;
  } cases[] = {
      {"", {""}},
      {"descr A", {"descr A"}},
      {"descr A\ndescr B\n", {"descr A", "descr B", ""}},
      // A terminal sends CR for the line ends of pasted text; CR LF is one.
      {"help\r\ndescr B", {"help", "descr B"}},
      {"a\rb\r\r", {"a", "b", "", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"tab\tstays\n", {"tab\tstays", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitPastedLines(c.text), c.want) << c.text;
}

}  // namespace
