// Tests of wqdump's output: the source it writes rebuilds the same file
// byte for byte (the sample, and a source with every type and edge value),
// a file the writer built in another order reads back the same through the
// store interface, and the exact text of the source format and of
// non-finite doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "repository/store_api.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using wqtest::ApiView;
using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kDump = WQDUMP_PATH;
const std::string kMake = WQMAKE_PATH;

// Dumps `repo` to `json` and builds `rebuilt` from it with wqmake.
void DumpAndRebuild(const std::string& repo, const std::string& json, const std::string& rebuilt) {
  const ToolResult dump = RunTool(Quote(kDump) + " -o " + Quote(json) + " " + Quote(repo));
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.err, "");
  const ToolResult make = RunTool(Quote(kMake) + " " + Quote(json) + " " + Quote(rebuilt));
  ASSERT_EQ(make.status, 0) << make.err;
}

// 20,000 times "abé€": 80,000 characters, 140,000 bytes.
std::string LongText() {
  std::string text;
  for (int i = 0; i < 20000; i++) text += "ab\xC3\xA9\xE2\x82\xAC";
  return text;
}

// 70,000 bytes as hexadecimal digit pairs.
std::string LongBlobHex() {
  std::string hex;
  const char* digits = "0123456789abcdef";
  for (int i = 0; i < 70000; i++) {
    hex += digits[(i * 7 >> 4) & 15];
    hex += digits[(i * 7) & 15];
  }
  return hex;
}

// A source with every type and its edge values: the extreme ints, -0.0,
// denormals and the largest doubles, chars 0 and 255, empty, long and
// multibyte strings, escapes, empty and long blobs, self references,
// cycles, unset references, members of codes that take no value, an
// empty class and classes without members. Values come in several key
// orders, so the heap is not in member order.
std::string EdgeSource() {
  const std::string long_text = LongText();
  const std::string long_blob = LongBlobHex();
  return R"({ "classes": [
  { "name": "Edge", "number": -7, "objectSize": 3,
    "members": [
      { "name": "s", "type": "string", "number": 1 },
      { "name": "i", "type": "int", "number": 2 },
      { "name": "d", "type": "double", "number": 3 },
      { "name": "c", "type": "char", "number": 4 },
      { "name": "b", "type": "blob", "number": 5 },
      { "name": "r", "type": "ref", "number": 6 },
      { "name": "r8", "type": 8, "number": 7 },
      { "name": "z0", "type": 0, "number": -1 },
      { "name": "z7", "type": 7, "number": 0 },
      { "name": "z9", "type": 9, "number": 100 },
      { "name": "z200", "type": 200, "number": 2147483647 },
      { "name": "sn", "type": "string", "number": 8, "nullable": false },
      { "name": "rn", "type": "ref", "number": -2147483648, "nullable": false } ],
    "objects": [
      { "id": "e0", "values": { "s": "", "i": -2147483648, "d": -0.0, "c": 0, "b": "", "r": "e0",
          "r8": null, "sn": "quote \" backslash \\ newline \n cr \r tab \t bell \u0007 del \u007f", "rn": "e1" } },
      { "id": "e1", "values": { "b": "00FF", "sn": "\u00e9\u20ac\ud83d\ude00 \u00ff", "s": null, "i": 2147483647,
          "d": 5e-324, "c": 255, "r": "o2", "r8": "e2", "rn": "e0" } },
      { "id": "e2", "values": { "sn": ")" +
         long_text + R"(", "s": "x", "b": ")" + long_blob + R"(",
          "d": 2.2250738585072009e-308, "c": "\u00e9", "rn": "e2", "r": "o0" } },
      { "values": { "d": 1e308, "sn": "", "rn": "e1", "b": "", "s": "" } },
      { "values": { "d": 1.7976931348623157e308, "sn": "a", "rn": "e1", "i": 0, "c": "\u0000" } },
      { "values": { "d": -4.9406564584124654e-324, "sn": "b", "rn": "e1", "s": "y", "b": "01" } },
      { "values": { "d": 123456789012345680000, "sn": "c", "rn": "e1" } },
      { "values": { "d": 9007199254740993, "sn": "d", "rn": "e1" } },
      { "values": { "d": 0.1, "sn": "e", "rn": "e1" } },
      { "values": { "d": 100, "sn": "f", "rn": "e1" } },
      { "values": { "d": 1e21, "sn": "g", "rn": "e1" } },
      { "values": { "d": -2.5e-310, "sn": "h", "rn": "e1" } } ] },
  { "name": "Empty", "number": 0, "members": [ { "name": "x", "type": "string" } ] },
  { "name": "Bare", "number": 2147483647, "objects": [ { "id": "o0" }, {}, { "id": "o2" } ] },
  { "name": "Nothing", "number": -2147483648, "objectSize": -1,
    "members": [ { "name": "q", "type": 7 }, { "name": "w", "type": 255, "nullable": false } ],
    "objects": [ {}, {} ] },
  { "name": "Cycle", "number": 5,
    "members": [ { "name": "next", "type": "ref" }, { "name": "label", "type": "string" } ],
    "objects": [ { "id": "k0", "values": { "next": "k1", "label": "zero" } },
                 { "id": "k1", "values": { "label": "one", "next": "k2" } },
                 { "id": "k2", "values": { "next": "k0" } } ] },
  { "name": "Lonely", "number": 6 }
] }
)";
}

TEST(WqdumpRoundTrip, SampleRebuildsByteForByte) {
  TempFolder t;
  DumpAndRebuild(wqtest::SampleRepository(), t.File("sample.json"), t.File("sample.rtm"));
  const std::string original = ReadFile(wqtest::SampleRepository());
  ASSERT_FALSE(original.empty());
  EXPECT_TRUE(ReadFile(t.File("sample.rtm")) == original);
}

TEST(WqdumpRoundTrip, EdgeValuesRebuildByteForByte) {
  TempFolder t;
  ASSERT_EQ(wqtest::MakeRepository(EdgeSource(), t.File("edge.rtm")), "");
  DumpAndRebuild(t.File("edge.rtm"), t.File("edge.json"), t.File("rebuilt.rtm"));
  const std::string original = ReadFile(t.File("edge.rtm"));
  EXPECT_TRUE(ReadFile(t.File("rebuilt.rtm")) == original);
  EXPECT_EQ(ApiView(t.File("rebuilt.rtm")), ApiView(t.File("edge.rtm")));

  // A second dump is the same text: dumps of equal files diff clean.
  const ToolResult again = RunTool(Quote(kDump) + " " + Quote(t.File("rebuilt.rtm")));
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(again.out == ReadFile(t.File("edge.json")));

  // The edge values as written.
  const std::string& text = again.out;
  for (const char* expected :
       {"\"i\": -2147483648",
        "\"i\": 2147483647",
        "\"d\": -0.0,",
        "\"d\": 5e-324,",
        "\"d\": 2.225073858507201e-308,",
        "\"d\": 1e+308,",
        "\"d\": 1.7976931348623157e+308,",
        "\"d\": -5e-324,",
        "\"d\": 9007199254740992.0,",
        "\"d\": 0.1,",
        "\"d\": 100.0,",
        "\"d\": 1e+21,",
        "\"d\": -2.5e-310,",
        "\"c\": 255",
        "\"c\": 0,",
        "\"c\": 233,",
        "\"b\": \"00ff\"",
        "\"b\": \"\"",
        "\"s\": \"\"",
        "\"s\": null",
        "\"r8\": null",
        "\"r\": \"-7:0\"",
        "\"rn\": \"-7:2\"",
        "\"r\": \"2147483647:2\"",
        "\"type\": 8,",
        "\"type\": 0,",
        "\"type\": 7,",
        "\"type\": 200,",
        "\"type\": 255,",
        "\"sn\": \"quote \\\" backslash \\\\ newline \\n cr \\r tab \\t bell \\u0007 del \x7f\"",
        "\"sn\": \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 \xC3\xBF\"",
        "{ \"name\": \"Empty\", \"number\": 0, \"objectSize\": 8,",
        "\"number\": -2147483648, \"objectSize\": -1,",
        "\"members\": [],",
        "\"objects\": [] }",
        "{ \"id\": \"2147483647:0\", \"values\": {} }",
        "{ \"values\": {} },\n",
        "{ \"id\": \"5:2\", \"values\": { \"next\": \"5:0\", \"label\": null } }"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << "no " << expected;
  }
  // Only referenced objects get an id; the long string and blob are whole.
  EXPECT_EQ(text.find("\"id\": \"2147483647:1\""), std::string::npos);
  EXPECT_EQ(text.find("\"id\": \"-7:3\""), std::string::npos);
  EXPECT_NE(text.find("\"sn\": \"" + LongText() + "\""), std::string::npos);
  EXPECT_NE(text.find("\"b\": \"" + LongBlobHex() + "\""), std::string::npos);
}

// The exact text of a small dump: layout, key order (strings and blobs in
// the order of their heap entries) and every kind of value.
TEST(WqdumpText, SourceLayout) {
  TempFolder t;
  ASSERT_EQ(wqtest::MakeRepository(R"({ "classes": [
    { "name": "T", "number": 3, "members": [
        { "name": "s", "type": "string" }, { "name": "b", "type": "blob" },
        { "name": "d", "type": "double" }, { "name": "r", "type": "ref" },
        { "name": "n", "type": 9, "nullable": false }, { "name": "c", "type": "char" } ],
      "objects": [ { "id": "a", "values": { "b": "0a", "s": "x", "d": -0.0, "r": "a", "c": 65 } },
                   { "values": { "d": 1e308, "r": null } } ] },
    { "name": "E", "number": 4 } ] })",
                                   t.File("t.rtm")),
            "");
  const ToolResult r = RunTool(Quote(kDump) + " " + Quote(t.File("t.rtm")));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, R"({ "classes": [
  { "name": "T", "number": 3, "objectSize": 33,
    "members": [
      { "name": "s", "type": "string", "number": 1, "nullable": true },
      { "name": "b", "type": "blob", "number": 2, "nullable": true },
      { "name": "d", "type": "double", "number": 3, "nullable": true },
      { "name": "r", "type": "ref", "number": 4, "nullable": true },
      { "name": "n", "type": 9, "number": 5, "nullable": false },
      { "name": "c", "type": "char", "number": 6, "nullable": true }
    ],
    "objects": [
      { "id": "3:0", "values": { "b": "0a", "s": "x", "d": -0.0, "r": "3:0", "c": 65 } },
      { "values": { "s": null, "b": "", "d": 1e+308, "r": null, "c": 0 } }
    ] },
  { "name": "E", "number": 4, "objectSize": 0,
    "members": [],
    "objects": [] }
] }
)");
}

// A file written by the store's writer in its own order: values set in
// reverse member order, one string set twice (its first entry left behind
// in the heap), NaN and the infinities elsewhere.
struct WriterFile {
  wqtest::CheckedWriter w;
  uint32_t part = 0, supplier = 0;

  explicit WriterFile(bool non_finite) {
    supplier = w.AddClass("Supplier", 7);
    w.AddMember(supplier, "title", 3, wqTypeString, true);
    part = w.AddClass("Part", 12, true, 99);
    w.AddMember(part, "name", 3, wqTypeString, false);
    w.AddMember(part, "note", 4, wqTypeString, true);
    w.AddMember(part, "data", 1, wqTypeBlob, true);
    w.AddMember(part, "weight", 2, wqTypeDouble, true);
    w.AddMember(part, "supplier", -4, wqTypeObjectRef, true);
    w.AddMember(part, "grade", 5, wqTypeChar, true);
    const wqstore::ObjectRef s0 = w.AddObject(supplier);
    w.SetString(s0, 0, "first");
    w.SetString(s0, 0, "Acme");  // "first" stays behind in the heap
    const wqstore::ObjectRef s1 = w.AddObject(supplier);
    (void)s1;
    const double weights[] = {1.5, -0.0,
                              non_finite ? std::numeric_limits<double>::quiet_NaN() : 2.0,
                              non_finite ? std::numeric_limits<double>::infinity() : 3.0,
                              non_finite ? -std::numeric_limits<double>::infinity() : 4.0};
    for (int i = 0; i < 5; i++) {
      const wqstore::ObjectRef p = w.AddObject(part);
      w.SetChar(p, 5, static_cast<uint8_t>(200 + i));
      w.SetRef(p, 4, i % 2 == 0 ? s0 : p);
      w.SetDouble(p, 3, weights[i]);
      const unsigned char data[3] = {static_cast<unsigned char>(i), 0, 0xEE};
      w.SetBlob(p, 2, data, static_cast<size_t>(i % 4));
      if (i != 1) w.SetString(p, 1, "note " + std::to_string(i));
      w.SetString(p, 0, "part " + std::to_string(i));
    }
  }
};

TEST(WqdumpRoundTrip, WriterFileReadsBackTheSame) {
  TempFolder t;
  WriterFile file(false);
  file.w.Commit(t.File("w.rtm"));
  DumpAndRebuild(t.File("w.rtm"), t.File("w.json"), t.File("rebuilt.rtm"));
  const std::string view = ApiView(t.File("w.rtm"));
  EXPECT_NE(view.find("\"part 4\""), std::string::npos);
  EXPECT_EQ(ApiView(t.File("rebuilt.rtm")), view);
  // The abandoned heap entry is not carried over.
  EXPECT_LT(ReadFile(t.File("rebuilt.rtm")).size(), ReadFile(t.File("w.rtm")).size());
  // Strings and blobs in heap order: here the reverse of member order.
  EXPECT_NE(ReadFile(t.File("w.json"))
                .find("\"values\": { \"data\": \"01\", \"note\": null, \"name\": \"part 1\", "
                      "\"weight\": -0.0, \"supplier\": \"12:1\", \"grade\": 201 } }"),
            std::string::npos);
  EXPECT_NE(
      ReadFile(t.File("w.json"))
          .find("\"values\": { \"data\": \"0200\", \"note\": \"note 2\", \"name\": \"part 2\", "
                "\"weight\": 2.0, \"supplier\": \"7:0\", \"grade\": 202 }"),
      std::string::npos);
}

TEST(WqdumpText, NonFiniteDoubles) {
  TempFolder t;
  WriterFile file(true);
  file.w.Commit(t.File("w.rtm"));
  for (const char* format : {"", "--format jsonl --class Part", "--format csv --class Part"}) {
    const ToolResult r = RunTool(Quote(kDump) + " " + format + " " + Quote(t.File("w.rtm")));
    EXPECT_EQ(r.status, 0) << format;
    const bool csv = std::string(format).find("csv") != std::string::npos;
    for (const char* v : {"NaN", "Infinity", "-Infinity"}) {
      const std::string text = csv ? "," + std::string(v) + "," : "\"" + std::string(v) + "\"";
      EXPECT_NE(r.out.find(text), std::string::npos) << format << ": no " << text;
    }
  }
}

// A class large enough to be written in blocks by two threads, with a last
// block cut short: every line in order, with its own id and values, in
// both table formats.
TEST(WqdumpText, LargeClassLinesInOrder) {
  TempFolder t;
  constexpr int kObjects = 4 * 8192 + 8192 / 2 + 3;
  std::string source = R"({ "classes": [ { "name": "Big", "number": 3, "members": [
      { "name": "n", "type": "int" }, { "name": "s", "type": "string" } ], "objects": [)";
  for (int i = 0; i < kObjects; i++) {
    source += (i ? "," : "") + std::string("{\"values\":{\"n\":") + std::to_string(i * 7) +
              ",\"s\":\"s" + std::to_string(i) + "\"}}";
  }
  source += "] } ] }";
  wqtest::WriteFile(t.File("big.json"), source);
  ASSERT_EQ(RunTool(Quote(kMake) + " " + Quote(t.File("big.json")) + " " + Quote(t.File("big.rtm")))
                .status,
            0);
  for (const bool json : {false, true}) {
    const ToolResult r = RunTool(Quote(kDump) + (json ? " --format jsonl" : " --format csv") +
                                 " --class Big " + Quote(t.File("big.rtm")));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string want = json ? "" : "id,n,s\r\n";
    for (int i = 0; i < kObjects; i++) {
      const std::string id = "3:" + std::to_string(i), n = std::to_string(i * 7);
      const std::string str = "s" + std::to_string(i);
      want += json ? "{\"id\":\"" + id + "\",\"n\":" + n + ",\"s\":\"" + str + "\"}\n"
                   : id + "," + n + "," + str + "\r\n";
    }
    EXPECT_TRUE(r.out == want) << (json ? "jsonl" : "csv") << ": output differs from the "
                               << kObjects << " lines expected";
  }
}

}  // namespace
