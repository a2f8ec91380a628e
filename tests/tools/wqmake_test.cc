// Tests of wqmake: the message and position of every kind of fault in a JSON
// source, the repository a source builds (read back through awq_Database),
// key order, a failed build leaving the target alone, and the tool's output
// for a source file and for standard input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"
#include "repository/store_api.h"
#include "store/writer.h"
#include "tests/support/test_util.h"
#include "tools/make/json_source.h"
#include "tools/make/make_repository.h"

namespace {

using wqsource::BuildFromJson;
using wqstore::RepositoryWriter;
using wqtest::ReadFile;
using wqtest::TempFolder;
using wqtest::WriteFile;

// A source with the marker '`' where the error is expected; the marker is
// removed and its line and column (characters, 1-based) kept.
struct Marked {
  std::string text;
  std::string where;  // "LINE:COLUMN: "
};

Marked Mark(const std::string& marked) {
  Marked m;
  const size_t at = marked.find('`');
  m.text = marked;
  if (at == std::string::npos) return m;
  m.text.erase(at, 1);
  size_t line = 1, column = 1;
  for (size_t i = 0; i < at; ++i) {
    if (marked[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(marked[i]) & 0xc0) != 0x80) {
      ++column;
    }
  }
  m.where = std::to_string(line) + ":" + std::to_string(column) + ": ";
  return m;
}

std::string ErrorOf(const std::string& text) {
  std::unique_ptr<RepositoryWriter> writer;
  const Status built = BuildFromJson(text, &writer);
  return built.ok() ? "(built without error)" : built.message();
}

// The file image of the repository `text` describes; empty on a fault.
std::string ImageOf(const std::string& text) {
  std::unique_ptr<RepositoryWriter> writer;
  std::string image;
  const Status built = BuildFromJson(text, &writer);
  EXPECT_TRUE(built.ok()) << built.message();
  if (built.ok()) {
    const Status serialized = writer->Serialize(&image);
    EXPECT_TRUE(serialized.ok()) << serialized.message();
  }
  return image;
}

// One class "Part" whose single object "p1" has the given values.
std::string ValueSource(const std::string& values) {
  return R"({"classes": [{"name": "Part", "members": [
    {"name": "s", "type": "string"}, {"name": "i", "type": "int"},
    {"name": "d", "type": "double"}, {"name": "c", "type": "char"},
    {"name": "b", "type": "blob"}, {"name": "r", "type": "ref"},
    {"name": "x", "type": 7}],
  "objects": [{"id": "p1", "values": {)" +
         values + "}}]}]}";
}

// The same class with its objects before its members, so they are buffered.
std::string BufferedValueSource(const std::string& values) {
  return R"({"classes": [{"name": "Part", "objects": [{"id": "p1", "values": {)" + values +
         R"(}}], "members": [
    {"name": "s", "type": "string"}, {"name": "i", "type": "int"},
    {"name": "r", "type": "ref"}]}]})";
}

std::string Classes(const std::string& body) { return "{\"classes\": [" + body + "]}"; }

struct RejectCase {
  const char* name;
  std::string source;  // with the marker '`'
  const char* message;
};

TEST(WqmakeSource, RejectsFaultsWithPositionAndContext) {
  const std::string part = R"(class "Part", object "p1", member )";
  const std::string nul(1, '\0');
  const std::vector<RejectCase> cases = {
      // Malformed JSON.
      {"literal", R"({"classes": [tru`]})", "syntax error: invalid literal"},
      {"end of input", R"({"classes": [`)", "syntax error: unexpected end of input"},
      {"raw newline", "{\"classes\": [{\"name\": \"ab`\n\"}]}", "syntax error: invalid string"},
      {"trailing text", R"({"classes": []} `x)", "syntax error"},
      {"missing colon", R"({"classes" `[]})", "syntax error: unexpected '['"},
      // Top level.
      {"root array", "`[]", "the source must be a JSON object"},
      {"top unknown key", R"({"classes": [], `"extra": 1})", "top level: unknown key \"extra\""},
      {"top duplicate key", R"({"classes": [], `"classes": []})", "duplicate key \"classes\""},
      {"top missing classes", "`{}", "top level: missing key \"classes\""},
      {"classes not array", R"({"classes": `{}})", "\"classes\" must be an array, not an object"},
      {"class not object", Classes("`1"), "each class must be a JSON object, not an integer"},
      // Classes.
      {"class unknown key", Classes(R"({"name": "A", `"colour": 1})"),
       "class \"A\": unknown key \"colour\""},
      {"class duplicate key", Classes(R"({"name": "A", `"name": "B"})"), "duplicate key \"name\""},
      {"class missing name", Classes(R"(`{"number": 1})"), "class #1: missing key \"name\""},
      {"class name number", Classes(R"({"name": `5})"),
       "\"name\" must be a string, not an integer"},
      {"class name empty", Classes(R"({"name": `""})"), "class name \"\" is empty"},
      {"class name blank", Classes(R"({"name": `"a b"})"), "contains a blank"},
      {"class name tab", Classes(R"({"name": `"a\tb"})"),
       "class name \"a\\u0009b\" contains a tab"},
      {"class name semicolon", Classes(R"({"name": `"a;b"})"), "contains a semicolon"},
      {"class name comma", Classes(R"({"name": `"a,b"})"), "contains a comma"},
      {"class name newline", Classes(R"({"name": `"a\nb"})"), "contains a newline"},
      {"class name control", Classes(R"({"name": `"a\u0001b"})"), "contains a control character"},
      {"class name delete", Classes(R"({"name": `"a\u007fb"})"), "contains a control character"},
      {"class name C1", Classes(R"({"name": `"a\u0085b"})"), "contains a control character"},
      {"class sys$tables", Classes(R"({"name": `"sys$tables"})"), "is reserved"},
      {"class SYS$TableStats", Classes(R"({"name": `"SYS$TableStats"})"), "is reserved"},
      {"class duplicate name", Classes(R"({"name": "A"}, {"name": `"A"})"),
       "duplicate class name \"A\""},
      {"class duplicate number",
       Classes(R"({"name": "A", "number": 3}, {"name": "B", "number": `3})"),
       "class \"B\": duplicate class number 3"},
      {"class number taken by default", Classes(R"({"name": "A"}, {"name": "B", "number": `1})"),
       "duplicate class number 1"},
      {"class number too big", Classes(R"({"name": "A", "number": `2147483648})"),
       "\"number\" out of range"},
      {"class number float", Classes(R"({"name": "A", "number": `1.0})"),
       "\"number\" must be an integer, not a number with a fraction or exponent"},
      {"class number string", Classes(R"({"name": "A", "number": `"1"})"),
       "\"number\" must be an integer, not a string"},
      {"class default number overflows",
       Classes(R"({"name": "A", "number": 2147483647}, `{"name": "B"})"),
       "class \"B\": no \"number\" given"},
      {"objectSize too small", Classes(R"({"name": "A", "objectSize": `-2147483649})"),
       "\"objectSize\" out of range"},
      {"members not array", Classes(R"({"name": "A", "members": `{}})"),
       "\"members\" must be an array"},
      {"objects not array", Classes(R"({"name": "A", "objects": `3})"),
       "\"objects\" must be an array"},
      // Members.
      {"member not object", Classes(R"({"name": "A", "members": [`"x"]})"),
       "class \"A\": each member must be a JSON object, not a string"},
      {"member missing name", Classes(R"({"name": "A", "members": [`{"type": 1}]})"),
       "class \"A\", member #1: missing key \"name\""},
      {"member missing type",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": 1}, `{"name": "b"}]})"),
       "class \"A\", member \"b\": missing key \"type\""},
      {"member unknown key", Classes(R"({"name": "A", "members": [{"name": "a", `"size": 4}]})"),
       "member \"a\": unknown key \"size\""},
      {"member type name",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": `"integer"}]})"),
       "\"type\" must be a code 0 to 255"},
      {"member type 256", Classes(R"({"name": "A", "members": [{"name": "a", "type": `256}]})"),
       "\"type\" must be a code 0 to 255"},
      {"member type negative", Classes(R"({"name": "A", "members": [{"name": "a", "type": `-1}]})"),
       "\"type\" must be a code 0 to 255"},
      {"member name blank", Classes(R"({"name": "A", "members": [{"name": `"a b", "type": 1}]})"),
       "class \"A\": member name \"a b\" contains a blank"},
      {"member duplicate name",
       Classes(
           R"({"name": "A", "members": [{"name": "a", "type": 1}, {"name": `"a", "type": 2}]})"),
       "class \"A\": duplicate member name \"a\""},
      {"member duplicate number",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": 1, "number": 2},
                  {"name": "b", "type": 1, "number": `2}]})"),
       "class \"A\": duplicate member number 2"},
      {"member number taken by default",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": 1},
                  {"name": "b", "type": 1, "number": `1}]})"),
       "duplicate member number 1"},
      {"member default number overflows",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": 1, "number": 2147483647},
                  `{"name": "b", "type": 1}]})"),
       "member \"b\": no \"number\" given"},
      {"member nullable string",
       Classes(R"({"name": "A", "members": [{"name": "a", "type": 1, "nullable": `"no"}]})"),
       "\"nullable\" must be true or false, not a string"},
      // Objects.
      {"object not object", Classes(R"({"name": "A", "objects": [`5]})"),
       "class \"A\": each object must be a JSON object"},
      {"object unknown key",
       Classes(R"({"name": "A", "members": [], "objects": [{`"ident": "x"}]})"),
       "class \"A\", object #1: unknown key \"ident\""},
      {"object id number", Classes(R"({"name": "A", "members": [], "objects": [{"id": `7}]})"),
       "\"id\" must be a string, not an integer"},
      {"object duplicate id",
       Classes(R"({"name": "A", "members": [], "objects": [{"id": "x"}, {"id": `"x"}]})"),
       "duplicate object id \"x\""},
      {"object id taken in another class",
       Classes(R"({"name": "A", "members": [], "objects": [{"id": "x"}]},
                  {"name": "B", "members": [], "objects": [{"id": `"x"}]})"),
       "class \"B\", object #1: duplicate object id \"x\""},
      {"values not object",
       Classes(R"({"name": "A", "members": [], "objects": [{"values": `[]}]})"),
       "\"values\" must be a JSON object, not an array"},
      {"required string missing",
       Classes(R"({"name": "A", "members": [{"name": "n", "type": "string", "nullable": false}],
                  "objects": [{"values": {"n": "x"}}, `{"id": "q", "values": {}}]})"),
       "class \"A\", object \"q\": no value for member \"n\", which is not nullable"},
      {"required string null",
       Classes(R"({"name": "A", "members": [{"name": "n", "type": "string", "nullable": false}],
                  "objects": [{"values": {"n": `null}}]})"),
       "class \"A\", object #1, member \"n\": null given for a member that is not nullable"},
      {"required ref null",
       Classes(R"({"name": "A", "members": [{"name": "r", "type": 8, "nullable": false}],
                  "objects": [{"values": {"r": `null}}]})"),
       "member \"r\": null given for a member that is not nullable"},
      // Values by member type.
      {"string given number", ValueSource(R"("s": `5)"),
       "\"s\": expected a string or null, not an integer"},
      {"string with NUL", ValueSource(R"("s": `"a\u0000b")"),
       "\"s\": a string value cannot hold U+0000"},
      {"int given float", ValueSource(R"("i": `1.0)"),
       "\"i\": expected an integer, not a number with a fraction or exponent"},
      {"int given exponent", ValueSource(R"("i": `1e3)"),
       "\"i\": expected an integer, not a number"},
      {"int too big", ValueSource(R"("i": `2147483648)"), "\"i\": integer out of range"},
      {"int too small", ValueSource(R"("i": `-2147483649)"), "\"i\": integer out of range"},
      {"int beyond 64 bits", ValueSource(R"("i": `99999999999999999999)"),
       "\"i\": integer out of range"},
      {"int given string", ValueSource(R"("i": `"5")"), "\"i\": expected an integer, not a string"},
      {"int given null", ValueSource(R"("i": `null)"), "\"i\": expected an integer, not null"},
      {"int given array", ValueSource(R"("i": `[1])"), "\"i\": expected an integer, not an array"},
      {"double given bool", ValueSource(R"("d": `true)"),
       "\"d\": expected a number, not a boolean"},
      {"double given a string", ValueSource(R"("d": `"infinity")"),
       "\"d\": expected a number, not a string"},
      {"double overflows", ValueSource(R"("d": `1e999)"), "number out of range"},
      // A number that is not zero but rounds to zero is out of range as well.
      {"double underflows", ValueSource(R"("d": `1e-400)"), "number out of range"},
      {"negative double underflows", ValueSource(R"("d": `-2.5E-999)"), "number out of range"},
      {"below half the least denormal", ValueSource(R"("d": `2e-324)"), "number out of range"},
      {"fraction underflows", ValueSource(R"("d": `0.001e-322)"), "number out of range"},
      {"int member given an underflow", ValueSource(R"("i": `1e-400)"), "number out of range"},
      {"buffered underflow", BufferedValueSource(R"("s": "x", "i": `1e-400)"),
       "number out of range"},
      {"class number underflows", Classes(R"({"name": "A", "number": `1e-400})"),
       "number out of range"},
      {"char code 256", ValueSource(R"("c": `256)"),
       "\"c\": character code out of range (0 to 255)"},
      {"char code negative", ValueSource(R"("c": `-1)"), "\"c\": character code out of range"},
      {"char two letters", ValueSource(R"("c": `"ab")"), "\"c\": expected a one-character string"},
      {"char beyond U+00FF", ValueSource(R"("c": `"€")"), "\"c\": expected a one-character string"},
      {"char given float", ValueSource(R"("c": `65.0)"),
       "\"c\": expected a character code or a one-character string"},
      {"blob odd digits", ValueSource(R"("b": `"abc")"), "\"b\": blob has an odd number"},
      {"blob bad digit", ValueSource(R"("b": `"0g")"),
       "\"b\": blob character 2 is not a hexadecimal"},
      {"blob given number", ValueSource(R"("b": `12)"), "\"b\": expected a string of hexadecimal"},
      {"ref given number", ValueSource(R"("r": `5)"),
       "\"r\": expected an object id (a string) or null"},
      {"ref to unknown id", ValueSource(R"("r": `"nobody")"),
       "\"r\": unknown object id \"nobody\""},
      {"value for code 7", ValueSource(R"("x": `null)"),
       "\"x\": a member of type code 7 takes no value"},
      {"unknown member", ValueSource(R"("s": "a", `"colour": 1)"),
       "class \"Part\", object \"p1\": unknown member \"colour\""},
      {"member differs in case", ValueSource(R"(`"S": "a")"), "unknown member \"S\""},
      {"duplicate value key", ValueSource(R"("i": 1, `"i": 2)"), "duplicate key \"i\""},
      // The same faults when the objects come before the members.
      {"buffered wrong type", BufferedValueSource(R"("s": "x", "i": `"5")"),
       "\"i\": expected an integer, not a string"},
      {"buffered nested value skipped", BufferedValueSource(R"("i": `{"a": [1, {}]}, "s": "x")"),
       "\"i\": expected an integer, not an object"},
      {"buffered unknown member", BufferedValueSource(R"("s": "x", `"q": 1)"),
       "unknown member \"q\""},
      {"buffered duplicate key", BufferedValueSource(R"("s": "x", `"s": "y")"),
       "duplicate key \"s\""},
      {"buffered unknown ref", BufferedValueSource(R"("r": `"p2")"),
       "\"r\": unknown object id \"p2\""},
      {"buffered duplicate id",
       Classes(R"({"name": "A", "objects": [{"id": "x"}, {"id": `"x"}], "members": []})"),
       "class \"A\", object #2: duplicate object id \"x\""},
      {"buffered required missing", Classes(R"({"name": "A", "objects": [`{"values": {}}],
                  "members": [{"name": "n", "type": "ref", "nullable": false}]})"),
       "object #1: no value for member \"n\", which is not nullable"},
      // A number after the objects sends the build through its careful pass,
      // which reports the faults after it.
      {"fault after a late number",
       Classes(R"({"name": "A", "members": [], "objects": [{}], "number": 5, `"x": 1})"),
       "class \"A\": unknown key \"x\""},
      // A NUL byte is a fault wherever it is, not the end of the text.
      {"NUL after the source", R"({"classes": []}`)" + nul + "garbage", "NUL byte in the source"},
      {"NUL ends the text", "{\"classes\": []}\n  `" + nul, "NUL byte in the source"},
      {"NUL first", "`" + nul, "NUL byte in the source"},
      {"NUL between tokens", R"({"classes": [`)" + nul + "]}", "NUL byte in the source"},
      {"NUL before a colon", R"({"classes" `)" + nul + ": []}", "NUL byte in the source"},
      {"NUL in a string", R"({"classes": [{"name": "a`)" + nul + R"(b"}]})",
       "NUL byte in the source"},
      {"NUL in a UTF-8 sequence", "{\"classes\": [{\"name\": \"\xC3`" + nul + "\"}]}",
       "NUL byte in the source"},
      {"NUL in a literal", R"({"classes": [tr`)" + nul + "ue]}", "NUL byte in the source"},
      {"NUL after a number", R"({"classes": [{"name": "A", "number": 12`)" + nul + "}]}",
       "NUL byte in the source"},
      {"NUL after a byte order mark", "\xEF\xBB\xBF`" + nul, "NUL byte in the source"},
      {"fault before a NUL", R"({"classes": [{"name": "A", `"x": 1}]})" + nul,
       "class \"A\": unknown key \"x\""},
      // Positions count lines and characters, not bytes.
      {"column after non-ASCII", "{\"classes\": [\n  {\"name\": \"Müller\", `\"x\": 1}]}",
       "class \"Müller\": unknown key \"x\""},
  };
  for (const RejectCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Marked m = Mark(c.source);
    ASSERT_FALSE(m.where.empty()) << "case without marker";
    const std::string error = ErrorOf(m.text);
    EXPECT_EQ(error.substr(0, m.where.size()), m.where) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

const char* const kEveryType = R"({"classes": [
  {"name": "First", "members": [
     {"name": "s", "type": "string"}, {"name": "i", "type": "int", "number": 5},
     {"name": "d", "type": "double"}, {"name": "c", "type": 4, "number": -3},
     {"name": "b", "type": "blob"}, {"name": "r", "type": "ref", "nullable": false},
     {"name": "R", "type": 8}, {"name": "x", "type": 11}, {"name": "t", "type": 3, "number": 0}],
   "objects": [
     {"id": "f1", "values": {"s": "Müller\n\u00e9", "i": -2147483648, "d": 1.5, "c": "é",
                             "b": "00ff7A", "r": "g1", "R": "f1"}},
     {"values": {"s": null, "i": 2147483647, "d": 3, "c": 65, "b": "", "r": "f1", "R": null,
                 "t": -0.25}},
     {"id": "f3", "values": {"r": "g1"}}]},
  {"name": "Second", "number": 40, "objectSize": -5,
   "members": [{"name": "back", "type": "ref"}, {"name": "name", "type": "string", "number": 3}],
   "objects": [{"id": "g1", "values": {"back": "f3", "name": "second one"}}]},
  {"name": "Third", "members": [], "objects": [{}, {"values": {}}]},
  {"name": "Fourth"}]})";

TEST(WqmakeSource, BuildsEveryTypeAndDefault) {
  TempFolder dir;
  const std::string repo = dir.File("every.rtm");
  std::unique_ptr<RepositoryWriter> writer;
  ASSERT_TRUE(BuildFromJson(kEveryType, &writer).ok());
  ASSERT_NO_THROW(writer->Commit(repo));
  awq_Database db;
  ASSERT_NE(db.Open(repo.c_str(), omReadOnly, 0, false), nullptr);
  db.ValidateRepository();

  // Classes in source order; numbers default to one more than the largest so far.
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  ASSERT_EQ(classes.size(), 4);
  const char* names[] = {"First", "Second", "Third", "Fourth"};
  const int numbers[] = {1, 40, 41, 42};
  for (int k = 0; k < 4; ++k) {
    EXPECT_STREQ(classes[k].GetName(), names[k]);
    EXPECT_EQ(classes[k].GetClassNumber(), numbers[k]);
  }
  EXPECT_EQ(classes[1].GetObjectSize(), -5);
  EXPECT_GT(classes[0].GetObjectSize(), 0);  // the stored record size

  // Members in order; numbers default to one more than the largest so far.
  struct MemberWant {
    const char* name;
    int number;
    int type;
    bool nullable;
  };
  const MemberWant want[] = {{"s", 1, 1, true},  {"i", 5, 2, true},   {"d", 6, 3, true},
                             {"c", -3, 4, true}, {"b", 7, 5, true},   {"r", 8, 6, false},
                             {"R", 9, 8, true},  {"x", 10, 11, true}, {"t", 0, 3, true}};
  awq_autovector<awq_ClassProperty> members = classes[0].GetMembers();
  ASSERT_EQ(members.size(), 9);
  for (int k = 0; k < 9; ++k) {
    SCOPED_TRACE(want[k].name);
    EXPECT_STREQ(members[k].GetName(), want[k].name);
    EXPECT_EQ(members[k].GetMemberNumber(), want[k].number);
    EXPECT_EQ(members[k].GetDataType(), want[k].type);
    EXPECT_EQ(members[k].AllowNullValue(), want[k].nullable);
  }
  EXPECT_EQ(classes[3].GetMembers().size(), 0);

  awq_autovector<awq_Object> first = db.FindObjects(1);
  awq_autovector<awq_Object> second = db.FindObjects(40);
  ASSERT_EQ(first.size(), 3);
  ASSERT_EQ(second.size(), 1);
  EXPECT_EQ(db.FindObjects(41).size(), 2);
  EXPECT_EQ(db.FindObjects(42).size(), 0);
  const awq_Object f1 = first[0], f2 = first[1], f3 = first[2], g1 = second[0];

  EXPECT_STREQ(f1.GetStringProperty(1), "Müller\né");
  EXPECT_EQ(f2.GetStringProperty(1), nullptr);
  EXPECT_EQ(f3.GetStringProperty(1), nullptr);  // left out
  EXPECT_EQ(f1.GetIntProperty(5), INT_MIN);
  EXPECT_EQ(f2.GetIntProperty(5), INT_MAX);
  EXPECT_EQ(f3.GetIntProperty(5), 0);
  EXPECT_EQ(f1.GetDoubleProperty(6), 1.5);
  EXPECT_EQ(f2.GetDoubleProperty(6), 3.0);
  EXPECT_EQ(f2.GetDoubleProperty(0), -0.25);
  EXPECT_EQ(f3.GetDoubleProperty(6), 0.0);
  EXPECT_EQ(static_cast<unsigned char>(f1.GetCharProperty(-3)), 233);
  EXPECT_EQ(f2.GetCharProperty(-3), 'A');
  EXPECT_EQ(f3.GetCharProperty(-3), 0);

  int32_t size = -1;
  const unsigned char* data = nullptr;
  f1.GetBlobProperty(7, size, data);
  ASSERT_EQ(size, 3);
  EXPECT_EQ(data[0], 0x00);
  EXPECT_EQ(data[1], 0xff);
  EXPECT_EQ(data[2], 0x7a);
  for (const awq_Object& o : {f2, f3}) {
    size = -1;
    o.GetBlobProperty(7, size, data);
    EXPECT_EQ(size, 0);
  }

  // References: forward to another class, back, to itself, a cycle through
  // two classes, null and left out.
  EXPECT_STREQ(f1.GetObjectRefProperty(8).GetStringProperty(3), "second one");
  EXPECT_EQ(f2.GetObjectRefProperty(8).record(), f1.record());
  EXPECT_EQ(f1.GetObjectRefProperty(9).record(), f1.record());
  EXPECT_EQ(g1.GetObjectRefProperty(1).record(), f3.record());
  EXPECT_EQ(f3.GetObjectRefProperty(8).record(), g1.record());
  EXPECT_TRUE(f2.GetObjectRefProperty(9).IsEmpty());
  EXPECT_TRUE(f3.GetObjectRefProperty(9).IsEmpty());
}

// The bits a double member keeps for each form of its value.
TEST(WqmakeSource, DoubleMembersKeepTheirBits) {
  struct Case {
    const char* value;  // as the source gives it
    uint64_t bits;
  };
  const Case cases[] = {
      {"1.5", 0x3FF8000000000000u},
      {"0", 0},
      {"0e5", 0},
      {"0.000", 0},
      {"0.0e-999", 0},
      {"-0.0", 0x8000000000000000u},
      {"-0e-400", 0x8000000000000000u},
      {"4.9e-324", 1},  // the least denormal
      {"3e-324", 1},    // rounds up to it
      {"-4.9e-324", 0x8000000000000001u},
      {"2.2250738585072014e-308", 0x0010000000000000u},
      {"1.7976931348623157e308", 0x7FEFFFFFFFFFFFFFu},
      // The doubles a number cannot write, by name.
      {"\"NaN\"", 0x7FF8000000000000u},
      {"\"Infinity\"", 0x7FF0000000000000u},
      {"\"-Infinity\"", 0xFFF0000000000000u},
  };
  std::string objects;
  for (const Case& c : cases) {
    objects += std::string(objects.empty() ? "" : ", ") + "{\"values\": {\"d\": " + c.value + "}}";
  }
  TempFolder dir;
  const std::string repo = dir.File("d.rtm");
  std::unique_ptr<RepositoryWriter> writer;
  const Status built = BuildFromJson(
      Classes(R"({"name": "D", "members": [{"name": "d", "type": "double"}], "objects": [)" +
              objects + "]}"),
      &writer);
  ASSERT_TRUE(built.ok()) << built.message();
  ASSERT_NO_THROW(writer->Commit(repo));
  awq_Database db;
  ASSERT_NE(db.Open(repo.c_str(), omReadOnly, 0, false), nullptr);
  db.ValidateRepository();
  awq_autovector<awq_Object> stored = db.FindObjects(1);
  ASSERT_EQ(stored.size(), static_cast<int32_t>(std::size(cases)));
  for (size_t k = 0; k < std::size(cases); ++k) {
    const double d = stored[static_cast<int32_t>(k)].GetDoubleProperty(1);
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    EXPECT_EQ(bits, cases[k].bits) << cases[k].value;
  }
}

// A source whose tail is NUL bytes, as a file left short by a crash may
// have: the sample closed after its first class and padded with NULs.
TEST(WqmakeSource, NulBytesAfterTheFirstClassOfTheSample) {
  const std::string sample = ReadFile(wqtest::SampleSource());
  const size_t second = sample.find("{ \"name\": \"Warehouse\"");
  ASSERT_NE(second, std::string::npos);
  const size_t end_of_first = sample.rfind('}', second);
  std::string text = sample.substr(0, end_of_first + 1) + " ] }";
  const size_t line = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  const size_t column = text.size() - text.rfind('\n');
  text += std::string(4096, '\0') + sample.substr(end_of_first + 1);
  std::unique_ptr<RepositoryWriter> writer;
  const Status built = BuildFromJson(text, &writer, "dravik.json");
  EXPECT_EQ(built.message(), "dravik.json:" + std::to_string(line) + ":" + std::to_string(column) +
                                 ": NUL byte in the source");
}

// The body of a class in several key orders; every order must build the
// same file.
TEST(WqmakeSource, KeyOrderDoesNotChangeTheRepository) {
  const std::string members = R"("members": [{"name": "n", "type": "string", "number": 3},
                                             {"type": "ref", "name": "up"}])";
  const std::string objects = R"("objects": [{"id": "a", "values": {"n": "x", "up": "b"}},
                                             {"values": {"up": "a", "n": "y"}, "id": "b"}])";
  const std::string other = R"({"name": "Other", "members": [{"name": "to", "type": 6}],
                               "objects": [{"values": {"to": "b"}}]})";
  const std::vector<std::string> bodies = {
      R"("name": "A", "number": 7, "objectSize": 16, )" + members + ", " + objects,
      R"("name": "A", )" + members + ", " + objects + R"(, "number": 7, "objectSize": 16)",
      R"("name": "A", )" + members + ", " + objects + R"(, "objectSize": 16, "number": 7)",
      objects + ", " + members + R"(, "number": 7, "name": "A", "objectSize": 16)",
      R"("objectSize": 16, )" + objects + R"(, "number": 7, )" + members + R"(, "name": "A")",
  };
  std::string expected;
  for (const std::string& body : bodies) {
    SCOPED_TRACE(body);
    const std::string source = Classes("{" + body + "}, " + other);
    const std::string fast = ImageOf(source);
    RepositoryWriter writer;
    ASSERT_TRUE(wqsource::BuildFromJsonCarefully(source, writer).ok());
    std::string careful;
    ASSERT_TRUE(writer.Serialize(&careful).ok());
    EXPECT_EQ(careful, fast);
    if (expected.empty()) expected = fast;
    EXPECT_EQ(fast, expected);
  }
}

TEST(WqmakeSource, SampleRepositoryBuildsAndValidates) {
  TempFolder dir;
  const std::string repo = dir.File("dravik.rtm");
  ASSERT_TRUE(wqsource::MakeRepository(wqtest::SampleSource(), repo).ok());
  awq_Database db;
  ASSERT_NE(db.Open(repo.c_str(), omReadOnly, 0, false), nullptr);
  db.ValidateRepository();
  EXPECT_FALSE(db.FindClassDef("Part").IsEmpty());
  EXPECT_TRUE(db.FindClassDef("Archive").GetMembers().size() == 0);
}

TEST(WqmakeMake, FailureLeavesTargetAsItWas) {
  TempFolder dir;
  const std::string source = dir.File("src.json");
  const std::string target = dir.File("out.rtm");
  const std::string old_bytes = "an older file, not a repository\n";
  struct Case {
    const char* name;
    std::string source_path;
    std::string target_path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"bad source", source, target, "src.json:1:28: class \"A\": unknown key \"x\""},
      {"missing source", dir.File("missing.json"), target,
       "cannot read " + dir.File("missing.json") + ": No such file or directory"},
      {"folder as source", dir.File(""), target, "cannot read"},
      {"source as target", source, source, "it is the source file"},
      {"target folder missing", dir.File("ok.json"), dir.File("no/such/x.rtm"),
       "cannot write " + dir.File("no/such/x.rtm") + ": "},
  };
  WriteFile(dir.File("ok.json"), R"({"classes": []})");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(source, R"({"classes": [{"name": "A", "x": 1}]})");
    WriteFile(target, old_bytes);
    const Status made = wqsource::MakeRepository(c.source_path, c.target_path);
    EXPECT_FALSE(made.ok());
    EXPECT_NE(made.message().find(c.message), std::string::npos) << made.message();
    EXPECT_EQ(ReadFile(target), old_bytes);
    EXPECT_EQ(ReadFile(source), R"({"classes": [{"name": "A", "x": 1}]})");
  }
  // A good source replaces the target.
  ASSERT_TRUE(wqsource::MakeRepository(dir.File("ok.json"), target).ok());
  awq_Database db;
  EXPECT_NE(db.Open(target.c_str(), omReadOnly, 0, false), nullptr);
}

TEST(WqmakeTool, PrintsNothingOrOneLine) {
  TempFolder dir;
  WriteFile(dir.File("good.json"), R"({"classes": [{"name": "A"}]})");
  WriteFile(dir.File("bad.json"), "{\"classes\": [\n  {\"name\": 5}]}");
  struct Case {
    const char* name;
    std::string args;
    int status;
    std::string err;  // the whole of standard error
  };
  const std::vector<Case> cases = {
      {"success", dir.File("good.json") + " " + dir.File("a.rtm"), 0, ""},
      {"bad source", dir.File("bad.json") + " " + dir.File("b.rtm"), 1,
       "wqmake: " + dir.File("bad.json") +
           ":2:12: class #1: \"name\" must be a string, not an integer\n"},
      {"standard input", "- " + dir.File("c.rtm") + " <" + dir.File("good.json"), 0, ""},
      {"bad standard input", "- " + dir.File("d.rtm") + " <" + dir.File("bad.json"), 1,
       "wqmake: standard input:2:12: class #1: \"name\" must be a string, not an integer\n"},
      {"folder as standard input", "- " + dir.File("e.rtm") + " <" + dir.path(), 1,
       "wqmake: cannot read standard input: Is a directory\n"},
      {"standard input closed", "- " + dir.File("f.rtm") + " <&-", 1,
       "wqmake: cannot read standard input: Bad file descriptor\n"},
      {"no arguments", "", 2, "wqmake: usage: wqmake SOURCE.json REPO.rtm\n"},
      {"three arguments", "a b c", 2, "wqmake: usage: wqmake SOURCE.json REPO.rtm\n"},
      {"unknown option", "--colour a b", 2,
       "wqmake: unknown option --colour\nusage: wqmake SOURCE.json REPO.rtm\n"},
      {"unknown short option", "-x a b", 2,
       "wqmake: unknown option -x\nusage: wqmake SOURCE.json REPO.rtm\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string cmd =
        std::string(WQMAKE_PATH) + " " + c.args + " >" + dir.File("out") + " 2>" + dir.File("err");
    EXPECT_EQ(wqtest::RunCommand(cmd), c.status);
    EXPECT_EQ(ReadFile(dir.File("out")), "");
    EXPECT_EQ(ReadFile(dir.File("err")), c.err);
  }
  awq_Database db;
  EXPECT_NE(db.Open(dir.File("a.rtm").c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_EQ(ReadFile(dir.File("c.rtm")), ReadFile(dir.File("a.rtm")));
  for (const char* failed : {"b.rtm", "d.rtm", "e.rtm", "f.rtm"}) {
    EXPECT_NE(::access(dir.File(failed).c_str(), F_OK), 0) << failed;
  }
}

// --help and --version answer on standard output with status 0, whatever
// follows them.
TEST(WqmakeTool, HelpAndVersion) {
  TempFolder dir;
  const std::string out = dir.File("out"), err = dir.File("err");
  EXPECT_EQ(wqtest::RunCommand(std::string(WQMAKE_PATH) + " --version >" + out + " 2>" + err), 0);
  EXPECT_EQ(ReadFile(out), std::string("wqmake ") + WQ_VERSION + "\n");
  EXPECT_EQ(ReadFile(err), "");
  EXPECT_EQ(wqtest::RunCommand(std::string(WQMAKE_PATH) + " --help x >" + out + " 2>" + err), 0);
  EXPECT_EQ(ReadFile(out).rfind("usage: wqmake SOURCE.json REPO.rtm\n", 0), 0u);
  EXPECT_NE(ReadFile(out).find("--version"), std::string::npos);
  EXPECT_EQ(ReadFile(err), "");
}

// "-" reads the source from standard input, whatever it is, and builds the
// same file as the source given by name.
TEST(WqmakeTool, StandardInputBuildsWhatTheFileBuilds) {
  TempFolder dir;
  // Larger than the first read buffer, so that it grows.
  std::string objects;
  for (int k = 0; k < 5000; ++k) {
    objects += std::string(k == 0 ? "" : ",\n") + R"({"id": "o)" + std::to_string(k) +
               R"(", "values": {"name": "object number )" + std::to_string(k) + R"(", "next": "o)" +
               std::to_string((k + 1) % 5000) + R"("}})";
  }
  const std::string source =
      Classes(R"({"name": "A", "members": [{"name": "name", "type": "string"},
                 {"name": "next", "type": "ref"}], "objects": [)" +
              objects + "]}");
  ASSERT_GT(source.size(), size_t{1} << 17);
  WriteFile(dir.File("src.json"), source);
  WriteFile(dir.File("headed.json"), "a line before the source\n" + source);
  const std::string wqmake = WQMAKE_PATH;
  ASSERT_EQ(wqtest::RunCommand(wqmake + " " + dir.File("src.json") + " " + dir.File("file.rtm")),
            0);
  const std::string expected = ReadFile(dir.File("file.rtm"));
  ASSERT_FALSE(expected.empty());
  struct Case {
    const char* name;
    std::string command;  // builds out.rtm
  };
  const std::vector<Case> cases = {
      {"redirected file", wqmake + " - " + dir.File("out.rtm") + " <" + dir.File("src.json")},
      {"pipe", "cat " + dir.File("src.json") + " | " + wqmake + " - " + dir.File("out.rtm")},
      // Read from where standard input stands, not from the start of the file.
      {"file read in part", "{ read -r line; " + wqmake + " - " + dir.File("out.rtm") + "; } <" +
                                dir.File("headed.json")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(dir.File("out.rtm").c_str());
    ASSERT_EQ(wqtest::RunCommand(c.command), 0);
    EXPECT_TRUE(ReadFile(dir.File("out.rtm")) == expected);
  }
  // Standard input may be the target: it is read to its end before the
  // target is replaced.
  WriteFile(dir.File("self"), source);
  ASSERT_EQ(wqtest::RunCommand(wqmake + " - " + dir.File("self") + " <" + dir.File("self")), 0);
  EXPECT_TRUE(ReadFile(dir.File("self")) == expected);
}

}  // namespace
