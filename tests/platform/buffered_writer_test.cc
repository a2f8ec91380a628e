// The buffered writer: every way of writing keeps the bytes in order across
// flushes, a line-buffered writer hands over each line at its end, and the
// first failure of the target discards what follows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/string_writer.h"

namespace {

using wqtest::StringWriter;

TEST(BufferedWriter, EveryWriteArrivesInOrder) {
  StringWriter w;  // a buffer of kRoomMax bytes
  std::string want;
  const std::string big(3 * BufferedWriter::kRoomMax + 7, 'b');
  for (int round = 0; round < 40; ++round) {
    char* p = w.Room(BufferedWriter::kRoomMax / 3);
    ASSERT_GE(w.Left(p), BufferedWriter::kRoomMax / 3);
    std::memset(p, 'r', 1000);
    w.Commit(p + 1000);
    want += std::string(1000, 'r');
    w.Text("text");
    w.Str("str");
    w.Put('p');
    w.Pad(round);
    want += "textstrp" + std::string(round, ' ');
    if (round % 10 == 0) {
      w.Write(big.data(), big.size());  // more than the buffer: handed over at once
      want += big;
    }
    p = w.Room(1);
    w.EndLineAt(p);
    w.EndLine();
    want += "\n\n";
  }
  EXPECT_EQ(w.text(), want);
  EXPECT_FALSE(w.failed());
  EXPECT_LT(w.emits(), 40);  // block-buffered: not a hand-over per line
}

TEST(BufferedWriter, LineBufferingAndFailure) {
  StringWriter lines;
  lines.set_line_buffered(true);
  lines.Str("one");
  lines.EndLine();
  char* p = lines.Room(4);
  std::memcpy(p, "two", 3);
  lines.EndLineAt(p + 3);
  lines.Str("three");
  EXPECT_EQ(lines.emits(), 2);
  EXPECT_EQ(lines.text(), "one\ntwo\nthree");

  // A target that takes 100 bytes: the flush that passes them fails, and
  // nothing is handed over after that.
  StringWriter failing(BufferedWriter::kRoomMax, 100);
  failing.Write(std::string(60, 'a').data(), 60);
  failing.Flush();
  failing.Write(std::string(60, 'b').data(), 60);
  EXPECT_FALSE(failing.failed());
  failing.Flush();
  EXPECT_TRUE(failing.failed());
  failing.Str("later");
  failing.Write(std::string(2 * BufferedWriter::kRoomMax, 'c').data(),
                2 * BufferedWriter::kRoomMax);
  EXPECT_EQ(failing.text(), std::string(60, 'a'));
  EXPECT_EQ(failing.emits(), 2);
}

}  // namespace
