// The objects of a source read in windows with simdjson build what the
// parser's events alone build, byte for byte, and refuse what they refuse
// with the same message: sources cut into windows by line breaks and by the
// scan of a source on one line, arrays that end inside a window, elements
// too long for one, and the values and faults the window reader leaves to
// the events.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"
#include "store/writer.h"
#include "tools/make/json_source.h"
#include "tools/make/object_windows.h"

namespace {

using wqsource::BuildFromJson;
using wqsource::BuildFromJsonCarefully;

// Builds `text` both ways and expects the same outcome: the same image, or
// the same message. Returns the message, empty on success.
std::string BothWays(const std::string& text) {
  std::unique_ptr<wqstore::RepositoryWriter> windows;
  wqstore::RepositoryWriter events;
  const Status a = BuildFromJson(text, &windows);
  const Status b = BuildFromJsonCarefully(text, events);
  EXPECT_EQ(a.ok(), b.ok()) << text.substr(0, 300);
  if (!a.ok() || !b.ok()) {
    EXPECT_EQ(a.message(), b.message()) << text.substr(0, 300);
    return a.ok() ? "(windows accepted it)" : a.message();
  }
  std::string image_a, image_b;
  EXPECT_TRUE(windows->Serialize(&image_a).ok());
  EXPECT_TRUE(events.Serialize(&image_b).ok());
  EXPECT_TRUE(image_a == image_b) << text.substr(0, 300);
  return "";
}

const char kHead[] =
    "{\"classes\": [\n"
    "  {\"name\": \"P\", \"members\": [{\"name\": \"s\", \"type\": \"string\"},\n"
    "    {\"name\": \"i\", \"type\": \"int\"}, {\"name\": \"d\", \"type\": \"double\"},\n"
    "    {\"name\": \"c\", \"type\": \"char\"}, {\"name\": \"b\", \"type\": \"blob\"},\n"
    "    {\"name\": \"r\", \"type\": \"ref\"}, {\"name\": \"n\", \"type\": 9}],\n"
    "   \"objects\": [\n";
const char kTail[] =
    "]},\n"
    "  {\"name\": \"Q\", \"members\": [\n"
    "    {\"name\": \"x\", \"type\": \"int\"},\n"
    "    {\"name\": \"y\", \"type\": \"ref\"}],\n"
    "   \"objects\": [{\"id\": \"q1\", \"values\": {\"x\": 1, \"y\": \"q1\"}},\n"
    "     {\"values\": {\"x\": 2}}]}]}\n";

// A source whose class P has `objects` (the text between its '[' and ']').
std::string WithObjects(const std::string& objects) { return kHead + objects + kTail; }

TEST(ObjectWindows, BuildWhatTheEventsBuild) {
  const std::string good =
      "{\"id\": \"p1\", \"values\": {\"s\": \"a},\\n{b\", \"i\": -2147483648, \"d\": 1e-300,"
      " \"c\": \"\\u00e9\", \"b\": \"00ff\", \"r\": \"q1\"}},\n"
      "  {\"values\": {\"r\": \"p1\", \"d\": -0.0, \"i\": 0, \"s\": null}, \"id\": \"p\\\"2\"},\n"
      "  {\"\\u0069d\": \"p3\", \"values\": {\"d\": \"NaN\", \"c\": 255, \"s\": "
      "\"\\ud83d\\ude00\"}},\n"
      "  {\"values\": {\"d\": 12345678901234567890123, \"i\": 7}}\n";
  struct Case {
    const char* name;
    std::string objects;
    const char* message;  // a part of the message, or "" for a source that builds
  };
  const Case cases[] = {
      {"values of every kind, escapes and a big integer", good, ""},
      {"on one line", "{\"values\": {\"i\": 1}}, {\"values\": {\"s\": \"},{\"}}", ""},
      {"comma first", "{\"values\": {\"i\": 1}}\n ,{\"values\": {\"i\": 2}}\n", ""},
      {"empty", "\n", ""},
      {"not objects", "1, 2", "each object must be a JSON object, not an integer"},
      {"trailing comma", "{\"values\": {}},\n]", "syntax error"},
      {"trailing comma before the line", "{\"values\": {}},\n", "syntax error"},
      {"missing comma", "{\"values\": {}}\n{\"values\": {}}", "syntax error"},
      {"unknown key", "{\"value\": {}}", "unknown key \"value\""},
      {"duplicate key", "{\"values\": {}, \"values\": {}}", "duplicate key \"values\""},
      {"duplicate member", "{\"values\": {\"i\": 1, \"i\": 2}}", "duplicate key \"i\""},
      {"unknown member", "{\"values\": {\"j\": 1}}", "unknown member \"j\""},
      {"array value", "{\"values\": {\"i\": [1]}}", "expected an integer, not an array"},
      {"no value type", "{\"values\": {\"n\": null}}", "takes no value"},
      {"int range", "{\"values\": {\"i\": 2147483648}}", "integer out of range"},
      {"rounds to zero", "{\"values\": {\"d\": 1e-400}}", "number out of range"},
      {"too large", "{\"values\": {\"d\": -1e400}}", "number out of range"},
      {"leading zero", "{\"values\": {\"i\": 01}}", "syntax error"},
      {"literal", "{\"values\": {\"s\": nul}}", "syntax error"},
      {"lone surrogate", "{\"values\": {\"s\": \"\\udc00\"}}", "syntax error"},
      {"raw tab", "{\"values\": {\"s\": \"a\tb\"}}", "syntax error"},
      {"bad UTF-8", "{\"values\": {\"s\": \"\xff\"}}", "syntax error"},
      {"NUL", std::string("{\"values\": {\"s\": \"a\0\"}}", 24), "NUL byte in the source"},
      {"string with U+0000", "{\"values\": {\"s\": \"\\u0000\"}}", "cannot hold U+0000"},
      {"duplicate id", "{\"id\": \"q1\"},\n{\"id\": \"q1\"}", "duplicate object id \"q1\""},
      {"unknown id", "{\"values\": {\"r\": \"zz\"}}", "unknown object id \"zz\""},
      {"id not a string", "{\"id\": 1}", "\"id\" must be a string, not an integer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = BothWays(WithObjects(c.objects));
    if (*c.message == '\0') {
      EXPECT_EQ(message, "");
    } else {
      EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
  }
}

// Member names that a key holds escaped: keys are compared as they are in
// the text only where that cannot match the wrong name.
TEST(ObjectWindows, KeysWithEscapes) {
  const std::string source =
      "{\"classes\": [{\"name\": \"K\", \"members\": [{\"name\": \"q\\\"x\", \"type\": \"int\"},"
      " {\"name\": \"q\\\\\", \"type\": \"int\"}, {\"name\": \"b\\\\y\", \"type\": \"int\"}],"
      " \"objects\": [\n{\"values\": {\"q\\\"x\": 1, \"q\\\\\": 2, \"b\\\\y\": 3}},\n"
      "{\"values\": {\"q\\u0022x\": 4, \"b\\u005cy\": 5}},\n"
      "{\"values\": {\"q\\\\\": 6, \"q\\\"x\": 7}}]}]}";
  EXPECT_EQ(BothWays(source), "");
  EXPECT_NE(BothWays(source.substr(0, source.size() - 4) + ",\n{\"values\": {\"q\\\\\": 8, "
                                                           "\"q\\u005c\": 9}}]}]}")
                .find("duplicate key"),
            std::string::npos);
}

// Many windows, on lines and on one line, with references back and forward
// across them, and an element longer than a window takes between others.
TEST(ObjectWindows, ManyWindowsAndLongElements) {
  for (const char* sep : {",\n  ", ", "}) {
    std::string objects;
    const int n = 40000;
    for (int k = 0; k < n; ++k) {
      if (k > 0) objects += sep;
      objects += "{\"id\": \"o" + std::to_string(k) +
                 "\", \"values\": {\"i\": " + std::to_string(k) + ", \"r\": \"o" +
                 std::to_string((k * 7919) % n) + "\", \"s\": \"" +
                 std::string(static_cast<size_t>(k % 50), 'x') + "\"}}";
      if (k == n / 2) {
        objects += sep;
        objects += "{\"values\": {\"s\": \"" +
                   std::string(wqsource::ObjectWindows::kMaxWindow + 10, 'y') + "\"}}";
      }
    }
    EXPECT_EQ(BothWays(WithObjects(objects)), "");
    // A fault near the end, after many windows, is placed as the events
    // place it.
    const std::string message = BothWays(WithObjects(objects + sep + "{\"values\": {\"i\": 1.5}}"));
    EXPECT_NE(message.find("expected an integer, not a number with a fraction"), std::string::npos)
        << message;
  }
}

}  // namespace
