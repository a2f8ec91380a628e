// Classes whose objects come from CSV files ("csv" in a class of a source):
// what wqdump writes as CSV for each class reads back to the same
// repository, byte for byte, for every type and its edge values; the files
// are found beside the source (beside the current directory for standard
// input); and each fault is placed in the CSV file at its line and column.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;
using wqtest::WriteFile;

const std::string kMake = WQMAKE_PATH;
const std::string kDump = WQDUMP_PATH;

// The classes of the round trip, each followed by OBJECTS_x: the objects in
// JSON, or "csv" naming a file. S has a member "id", so its id column is
// "_id"; E has no members; P refers to all three classes, forward and back.
const char kClasses[] =
    "{\"classes\": [\n"
    "{\"name\": \"S\", \"number\": 4, \"objectSize\": 99, \"members\": ["
    "{\"name\": \"name\", \"type\": \"string\"}, {\"name\": \"id\", \"type\": \"int\"}], @S},\n"
    "{\"name\": \"E\", \"number\": -3, @E},\n"
    "{\"name\": \"P\", \"number\": 9, \"members\": [{\"name\": \"d\", \"type\": \"double\"},"
    " {\"name\": \"c\", \"type\": \"char\"}, {\"name\": \"b\", \"type\": \"blob\"},"
    " {\"name\": \"r\", \"type\": \"ref\"}, {\"name\": \"n\", \"type\": 9},"
    " {\"name\": \"s\", \"type\": \"string\", \"nullable\": false}], @P}]}\n";

std::string Source(const std::string& s, const std::string& e, const std::string& p) {
  std::string text = kClasses;
  text.replace(text.find("@S"), 2, s);
  text.replace(text.find("@E"), 2, e);
  text.replace(text.find("@P"), 2, p);
  return text;
}

TEST(CsvSource, WqdumpCsvOfEveryTypeReadsBackToTheSameRepository) {
  TempFolder t;
  const std::string json = Source(
      "\"objects\": [{\"id\": \"s1\", \"values\": {\"name\": \"a,\\\"b\\\"\\r\\nc\\nd\", \"id\": "
      "5}},"
      " {\"values\": {\"name\": \"\", \"id\": -2147483648}}, {\"values\": {\"id\": 2147483647}},"
      " {\"values\": {\"name\": \" \\u00e9\\u4e2d\\ud83d\\ude00 \"}}]",
      "\"objects\": [{\"id\": \"e1\"}, {}]",
      "\"objects\": ["
      "{\"id\": \"p1\", \"values\": {\"d\": \"NaN\", \"c\": 0, \"b\": \"\", \"r\": \"s1\","
      " \"s\": \"x\"}},"
      " {\"values\": {\"d\": \"-Infinity\", \"c\": \"\\u00e9\", \"b\": \"00FF\", \"r\": \"p1\","
      " \"s\": \"\"}},"
      " {\"values\": {\"d\": -0.0, \"c\": \",\", \"b\": \"ab\", \"r\": \"e1\", \"s\": \"1\"}},"
      " {\"values\": {\"d\": 5e-324, \"c\": \"\\\"\", \"r\": \"p4\", \"s\": \"y\"}},"
      " {\"id\": \"p4\", \"values\": {\"d\": 1.7976931348623157e308, \"c\": 255, \"s\": \"z\"}},"
      " {\"values\": {\"d\": \"Infinity\", \"c\": \"\\n\", \"s\": \"NaN\"}},"
      " {\"values\": {\"d\": 0.1, \"c\": 32, \"s\": \"\\\"\\\"\"}}]");
  ASSERT_EQ(wqtest::MakeRepository(json, t.File("a.rtm")), "");
  for (const char* c : {"S", "E", "P"}) {
    const ToolResult dumped =
        RunTool(Quote(kDump) + " --format csv --class " + c + " -o " +
                Quote(t.File(std::string(c) + ".csv")) + " " + Quote(t.File("a.rtm")));
    ASSERT_EQ(dumped.status, 0) << dumped.err;
  }
  WriteFile(t.File("csv.json"),
            Source("\"csv\": \"S.csv\"", "\"csv\": \"E.csv\"", "\"csv\": \"P.csv\""));
  // Run from elsewhere: the files are found beside the source.
  const ToolResult made = RunTool("cd / && " + Quote(kMake) + " " + Quote(t.File("csv.json")) +
                                  " " + Quote(t.File("b.rtm")));
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(ReadFile(t.File("a.rtm")) == ReadFile(t.File("b.rtm")));
  EXPECT_EQ(wqtest::ApiView(t.File("a.rtm")), wqtest::ApiView(t.File("b.rtm")));

  // From standard input the files are found in the current directory; the
  // objects of a CSV file follow those of "objects", and ids and references
  // go both ways between CSV files and JSON objects.
  WriteFile(t.File("s2.csv"), "name,_id\nfrom csv,s9\n");
  WriteFile(t.File("p2.csv"), "s,r\r\nq,s1\r\n\"w\",p9\r\n");
  const std::string mixed =
      Source("\"csv\": \"s2.csv\", \"objects\": [{\"id\": \"s1\", \"values\": {\"id\": 1}}]",
             "\"objects\": []",
             "\"csv\": \"p2.csv\", \"objects\": [{\"id\": \"p9\", \"values\": {\"r\": \"s9\","
             " \"s\": \"j\"}}]");
  WriteFile(t.File("mixed.json"), mixed);
  const ToolResult piped = RunTool("cd " + Quote(t.path()) + " && " + Quote(kMake) +
                                   " - c.rtm < mixed.json && " + Quote(kDump) + " c.rtm");
  ASSERT_EQ(piped.status, 0) << piped.err;
  for (const char* want : {"{ \"name\": \"from csv\", \"id\": 0 }", "\"r\": \"4:1\", \"s\": \"j\"",
                           "\"r\": \"4:0\", \"s\": \"q\"", "\"r\": \"9:0\", \"s\": \"w\""}) {
    EXPECT_NE(piped.out.find(want), std::string::npos) << want << "\n" << piped.out;
  }
}

// Each fault of a CSV file, with the line and column wqmake gives it
// (columns count characters). Class S takes its objects from s.csv (its
// member "id" is an int), P from p.csv.
TEST(CsvSource, FaultsArePlacedInTheCsvFile) {
  struct Case {
    std::string s_csv;
    const char* message;  // after "wqmake: "
    std::string p_csv = "s\r\nx\r\n";
  };
  const Case cases[] = {
      {"_id,name,idx\r\n", "s.csv:1:10: class \"S\": unknown member \"idx\""},
      {"name,name\r\n", "s.csv:1:6: class \"S\": duplicate column \"name\""},
      {"id,_id,_id\n", "s.csv:1:8: class \"S\": duplicate column \"_id\""},
      {"_id,name,id\r\n4:0,x\r\n",
       "s.csv:2:1: class \"S\", object #1: 2 fields where the header has 3"},
      {"name,id\n\"\xc3\xa9,1\n", "s.csv:2:1: quoted field not closed"},
      {"name,id\n\xc3\xa9x\"y,1\n", "s.csv:2:3: a quote in a field that does not start with one"},
      {"name,id\n\"x\"y,1\n",
       "s.csv:2:4: expected a comma or the end of the line after a quoted field"},
      {"name,id\nx\r,1\n", "s.csv:2:2: a carriage return without a line feed outside quotes"},
      {"_id,id\n4:0,1\n4:1,2\n4:0,3\n",
       "s.csv:4:1: class \"S\", object #3: duplicate object id \"4:0\""},
      {"_id,id,name\n\"a\"\"b\",1.5,x\n",
       "s.csv:2:8: class \"S\", object \"a\\\"b\", member \"id\": expected an integer, not a "
       "number with a fraction or exponent"},
      {"id,name\nx,\"\xc3\xa9\"\n",
       "s.csv:2:1: class \"S\", object #1, member \"id\": expected an integer, not a string"},
      {"id\n2147483648\n",
       "s.csv:2:1: class \"S\", object #1, member \"id\": integer out of range (-2147483648 to "
       "2147483647)"},
      {"id\n\n", "s.csv:2:1: class \"S\", object #1, member \"id\": expected an integer, not null"},
      {"name,id\n\"x\xff\",1\n", "s.csv:2:3: byte that is not UTF-8 in the CSV file"},
      {std::string("name\nab\0\n", 9), "s.csv:2:3: NUL byte in the CSV file"},
      {"id\n1\n", "p.csv:3:3: class \"P\", object #2, member \"r\": unknown object id \"nope\"",
       "s,r\nx,\ny,nope\n"},
      {"id\n1\n",
       "p.csv:2:1: class \"P\", object #1: no value for member \"s\", which is not nullable",
       "r\n\n"},
      {"id\n1\n",
       "p.csv:2:1: class \"P\", object #1, member \"s\": null given for a member that "
       "is not nullable",
       "s\n\n"},
      {"id\n1\n",
       "p.csv:2:3: class \"P\", object #1, member \"n\": a member of type code 9 takes "
       "no value",
       "s,n\nx,\"\"\n"},
      {"id\n1\n",
       "p.csv:2:3: class \"P\", object #1, member \"c\": expected a one-character "
       "string in U+0000 to U+00FF",
       "s,c\nx,ab\n"},
      {"id\n1\n",
       "p.csv:2:3: class \"P\", object #1, member \"b\": blob has an odd number of "
       "hexadecimal digits",
       "s,b\nx,abc\n"},
      {"id\n1\n", "p.csv:2:3: class \"P\", object #1, member \"d\": number out of range",
       "s,d\nx,-1e400\n"},
  };
  TempFolder t;
  WriteFile(t.File("src.json"),
            Source("\"csv\": \"s.csv\"", "\"objects\": []", "\"csv\": \"p.csv\""));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    WriteFile(t.File("s.csv"), c.s_csv);
    WriteFile(t.File("p.csv"), c.p_csv);
    const ToolResult r =
        RunTool("cd " + Quote(t.path()) + " && " + Quote(kMake) + " src.json out.rtm");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("wqmake: ") + c.message + "\n");
  }
  // A file that cannot be read is a fault at "csv" in the source.
  WriteFile(t.File("src.json"),
            Source("\"csv\": \"none.csv\"", "\"objects\": []", "\"csv\": \"p.csv\""));
  const ToolResult r =
      RunTool("cd " + Quote(t.path()) + " && " + Quote(kMake) + " src.json out.rtm");
  EXPECT_EQ(
      r.err,
      "wqmake: src.json:2:133: class \"S\": cannot read none.csv: No such file or directory\n");
}

}  // namespace
