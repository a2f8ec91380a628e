// The query layer's pieces: the display table, the cell formats, and the
// table printer writing to the output and with the separator it is given.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "query/cell_format.h"
#include "query/column_display.h"
#include "query/table_printer.h"
#include "repository/store_api.h"
#include "terminal/interrupt.h"
#include "tests/support/string_writer.h"
#include "tests/support/test_util.h"

namespace {

TEST(DisplayTable, EveryCode) {
  struct Display {
    CellKind kind;
    int width;
  };
  auto want_of = [](int code) -> Display {
    switch (code) {
      case 1: return {CellKind::kString, 75};
      case 2: return {CellKind::kInt, 10};
      case 3: return {CellKind::kDouble, 11};
      case 4: return {CellKind::kChar, 1};
      case 5: return {CellKind::kBlob, 18};
      case 6:
      case 8: return {CellKind::kRef, 50};
      case 7:
      case 9:
      case 11: return {CellKind::kNotAvailable, 3};
      default: return {CellKind::kEmpty, 3};
    }
  };
  for (int code = -1; code <= 256; ++code) {
    const Display want = want_of(code);
    const ColumnDisplay& got = DisplayOf(code);
    EXPECT_EQ(static_cast<int>(got.kind), static_cast<int>(want.kind)) << code;
    EXPECT_EQ(got.width, want.width) << code;
    // Every cell with its slack fits the room the table printer makes.
    EXPECT_LE(2 * static_cast<size_t>(got.width) + kCellSlack, kMaxCellRoom) << code;
  }
  EXPECT_EQ(DisplayOf(-1000).width, 3);
}

// The cell that `put` writes in place, as the row holds it.
std::string Cell(const std::function<char*(char*)>& put) {
  char buf[kMaxCellRoom];
  return std::string(buf, put(buf));
}

TEST(CellFormat, Numbers) {
  EXPECT_EQ(Cell([](char* p) { return PutIntCell(p, 42); }), "        42");
  // The most negative value is one character wider than its column.
  EXPECT_EQ(Cell([](char* p) { return PutIntCell(p, -2147483647 - 1); }), "-2147483648");
  const struct {
    double v;
    const char* want;
  } doubles[] = {{1.5, "        1.5"},  {1234567.0, "   1.23e+06"}, {0.0001234, "   0.000123"},
                 {-0.5, "       -0.5"}, {100.0, "        100"},     {2.0 / 3.0, "      0.667"}};
  for (const auto& d : doubles) {
    EXPECT_EQ(Cell([&](char* p) { return PutDoubleCell(p, d.v); }), d.want) << d.v;
  }
}

TEST(CellFormat, CharBlobAndText) {
  const struct {
    char c;
    const char* want;
  } chars[] = {{'Y', "Y"},    {0, " "},      {static_cast<char>(233), " "},
               {'\x1B', "?"}, {'\x7F', "?"}, {'\x1F', "?"},
               {' ', " "},    {'~', "~"}};
  for (const auto& c : chars) {
    EXPECT_EQ(Cell([&](char* p) { return PutCharCell(p, c.c); }), c.want) << int(c.c);
  }

  const unsigned char bytes[] = {0x01, 0xAB, 0xFF, 0x00, 0x10, 0x7F, 0x80, 0x99, 0x42, 0x43};
  const struct {
    int32_t len;
    const char* want;
  } blobs[] = {
      {0, ""}, {1, "01"}, {3, "01 ab ff"}, {6, "01 ab ff 00 10 7f"}, {10, "01 ab ff 00 10 7f"},
      {-1, ""}};
  for (const auto& b : blobs) {
    const std::string want = std::string(18 - std::strlen(b.want), ' ') + b.want;
    EXPECT_EQ(Cell([&](char* p) { return PutBlobCell(p, bytes, b.len); }), want) << b.len;
  }
  EXPECT_EQ(Cell([](char* p) { return PutBlobCell(p, nullptr, 5); }), std::string(18, ' '));

  EXPECT_EQ(Cell([](char* p) { return PutTextCell(p, "abcdef", 3); }), "abc");
  EXPECT_EQ(Cell([](char* p) { return PutTextCell(p, "ab", 75); }), std::string(73, ' ') + "ab");
  EXPECT_EQ(Cell([](char* p) { return PutTextCell(p, nullptr, 50); }), std::string(50, ' '));
}

TEST(CellFormat, Utf8PrefixNeverSplitsASequence) {
  size_t chars = 0;
  // "Größe": G r ö ß e, with ö and ß two bytes each.
  EXPECT_EQ(Utf8PrefixBytes("Gr\xC3\xB6\xC3\x9F"
                            "e",
                            3, &chars),
            4u);
  EXPECT_EQ(chars, 3u);
  EXPECT_EQ(Utf8PrefixBytes("Gr\xC3\xB6\xC3\x9F"
                            "e",
                            10, &chars),
            7u);
  EXPECT_EQ(chars, 5u);
  EXPECT_EQ(Utf8PrefixBytes("\xE2\x82\xAC"
                            "x",
                            1, &chars),
            3u);  // the euro sign whole
  EXPECT_EQ(Utf8PrefixBytes("objectnumber", 10, &chars), 10u);
}

// The table of a class of three members, with the separator and to the
// output given, and the size it announces first; then the same table cut
// short by Ctrl-C before its first row.
TEST(TablePrinter, GivenOutputAndSeparator) {
  wqtest::TempFolder folder;
  const std::string repo = folder.File("t.rtm");
  ASSERT_EQ(wqtest::MakeRepository(R"({"classes": [{"name": "T", "number": 1, "members": [
      {"name": "n", "type": "int", "number": 1}, {"name": "c", "type": "char", "number": 2},
      {"name": "s", "type": "string", "number": 3}],
    "objects": [{"values": {"n": 5, "c": "x", "s": "ab"}}, {"values": {"n": -1, "c": "y"}}]}]})",
                                   repo),
            "");
  awq_Database db;
  ASSERT_NE(db.Open(repo.c_str(), omReadOnly, 0, false), nullptr);
  const awq_Class cls = db.FindClassDef("T");
  const awq_autovector<awq_ClassProperty> members = cls.GetMembers();

  static int64_t started[2];
  const auto record = [](int64_t width, int64_t lines) {
    started[0] = width;
    started[1] = lines;
  };
  const std::string header = std::string(9, ' ') + "n#c#" + std::string(74, ' ') + "s\n" +
                             std::string(10, '=') + "#=#" + std::string(75, '=') + "\n";
  wqtest::StringWriter out;
  EXPECT_EQ(PrintObjectTable(db, cls, members, TableOutput{&out, '#', record}), TableEnd::kWhole);
  EXPECT_EQ(out.text(), header + std::string(9, ' ') + "5#x#" + std::string(73, ' ') + "ab\n" +
                            std::string(8, ' ') + "-1#y#" + std::string(75, ' ') + "\n");
  EXPECT_EQ(started[0], 10 + 1 + 1 + 1 + 75);
  EXPECT_EQ(started[1], 4);

  struct sigaction saved {};
  sigaction(SIGINT, nullptr, &saved);
  InstallInterruptHandler();
  raise(SIGINT);
  wqtest::StringWriter cut;
  EXPECT_EQ(PrintObjectTable(db, cls, members, TableOutput{&cut, '#', nullptr}),
            TableEnd::kInterrupted);
  sigaction(SIGINT, &saved, nullptr);
  EXPECT_EQ(cut.text(), header);
  EXPECT_FALSE(InterruptRequested());  // taken by the printer
}

}  // namespace
