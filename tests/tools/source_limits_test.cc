// wqmake's refusal of a source past what a repository holds: the number of
// classes, of members in all, a record's size, the names area and the
// record size that stands in for a missing object size. The real limits
// take gigabytes of source to reach, so the class definitions are driven
// directly, with limits lowered, from a source laid out one member a line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/format.h"
#include "store/writer.h"
#include "tools/make/class_definitions.h"
#include "tools/make/json_scalar.h"
#include "tools/make/source_faults.h"

namespace {

using wqsource::ClassDefinitions;
using wqsource::Scalar;
using wqsource::SourceLimits;
using wqsource::SourceText;

struct SourceMember {
  std::string name;
  int type;
};

struct SourceClass {
  std::string name;
  std::vector<SourceMember> members;
  bool has_object_size = false;
};

// The source of `classes`: a line for each class and each member, the
// class's or member's '{' in column 1 and its name's value in column 10:
//
//   {"classes": [
//   {"name": "A", "members": [
//   {"name": "i", "type": 2},
//   ]},
//
// and reads it through ClassDefinitions as the source reader does. Returns
// the first fault's message, or "" when every class is taken.
std::string Read(const std::vector<SourceClass>& classes, const SourceLimits& limits) {
  struct Place {
    size_t open;  // the '{'
    size_t name;  // the name's value
    size_t type;  // a member's type value
  };
  std::string text = "{\"classes\": [\n";
  std::vector<Place> class_places;
  std::vector<std::vector<Place>> member_places;
  for (const SourceClass& c : classes) {
    const size_t open = text.size();
    text += "{\"name\": \"" + c.name + "\", \"members\": [\n";
    class_places.push_back({open, open + 9, 0});
    member_places.emplace_back();
    for (const SourceMember& m : c.members) {
      const size_t at = text.size();
      text += "{\"name\": \"" + m.name + "\", \"type\": ";
      member_places.back().push_back({at, at + 9, text.size()});
      text += std::to_string(m.type) + "},\n";
    }
    text += "]},\n";
  }
  text += "]}\n";

  const SourceText source(text, "src.json");
  wqstore::RepositoryWriter writer;
  ClassDefinitions definitions(source, writer, limits);
  auto text_value = [](const std::string& s) {
    Scalar v;
    v.kind = Scalar::kString;
    v.s = s;
    return v;
  };
  for (size_t ci = 0; ci < classes.size(); ci++) {
    const SourceClass& c = classes[ci];
    definitions.BeginClass(class_places[ci].open);
    Status s =
        definitions.ClassField(wqsource::kClassName, text_value(c.name), class_places[ci].name);
    if (s.ok() && c.has_object_size) {
      Scalar size;
      size.kind = Scalar::kInt;
      size.i = 1;
      s = definitions.ClassField(wqsource::kClassObjectSize, size, class_places[ci].name);
    }
    for (size_t mi = 0; s.ok() && mi < c.members.size(); mi++) {
      const Place& p = member_places[ci][mi];
      definitions.BeginMember(p.open);
      s = definitions.MemberField(wqsource::kMemberName, text_value(c.members[mi].name), p.name);
      Scalar type;
      type.kind = Scalar::kInt;
      type.i = c.members[mi].type;
      if (s.ok()) s = definitions.MemberField(wqsource::kMemberType, type, p.type);
      if (s.ok()) {
        s = definitions.EndMember(1u << wqsource::kMemberName | 1u << wqsource::kMemberType);
      }
    }
    if (s.ok()) s = definitions.Flush();
    if (s.ok()) s = definitions.EndClass();
    if (!s.ok()) return s.message();
  }
  return "";
}

SourceLimits Limits(void (*lower)(SourceLimits*)) {
  SourceLimits l;
  lower(&l);
  return l;
}

TEST(SourceLimits, RefusedWhereTheSourcePassesThem) {
  // Type codes: 1 string (8 bytes), 2 int (4), 3 double (8), 4 char (1), 7 none (0).
  const std::vector<SourceClass> twenty_bytes = {{"A", {{"i", 2}, {"d", 3}, {"x", 7}, {"s", 1}}},
                                                 {"B", {{"s", 1}, {"d", 3}, {"i", 2}}}};
  struct Case {
    const char* what;
    SourceLimits limits;
    std::vector<SourceClass> classes;
    std::string expect;
  };
  const Case cases[] = {
      {"records at the limit, each class's own",
       Limits([](SourceLimits* l) { l->record_size = 20; }), twenty_bytes, ""},
      {"a record one byte past the limit",
       Limits([](SourceLimits* l) { l->record_size = 20; }),
       {{"A", {{"i", 2}, {"d", 3}, {"x", 7}, {"s", 1}, {"c", 4}}}},
       "src.json:7:1: class \"A\", member \"c\": the class's record would take 21 bytes, more "
       "than the 20 a record holds"},
      {"members at the limit", Limits([](SourceLimits* l) { l->members = 7; }), twenty_bytes, ""},
      {"members counted over all classes", Limits([](SourceLimits* l) { l->members = 6; }),
       twenty_bytes,
       "src.json:11:1: class \"B\", member \"i\": more than 6 members in all classes"},
      {"classes at the limit", Limits([](SourceLimits* l) { l->classes = 2; }), twenty_bytes, ""},
      {"one class too many",
       Limits([](SourceLimits* l) { l->classes = 2; }),
       {{"A", {}}, {"B", {}}, {"C", {}}},
       "src.json:6:1: class \"C\": more than 2 classes"},
      // "Alpha" and "bb" with their NULs take 9 bytes, "c" two more.
      {"names at the limit",
       Limits([](SourceLimits* l) { l->names_length = 11; }),
       {{"Alpha", {{"bb", 2}, {"c", 2}}}},
       ""},
      {"a member name past the names limit",
       Limits([](SourceLimits* l) { l->names_length = 10; }),
       {{"Alpha", {{"bb", 2}, {"c", 2}}}},
       "src.json:4:10: the names of the classes and members up to here take 11 bytes with their "
       "NULs, more than the 10 a repository holds"},
      {"a class name past the names limit",
       Limits([](SourceLimits* l) { l->names_length = 10; }),
       {{"Alpha", {{"bb", 2}}}, {"Z", {}}},
       "src.json:5:10: the names of the classes and members up to here take 11 bytes with their "
       "NULs, more than the 10 a repository holds"},
      {"a defaulted object size at the limit",
       Limits([](SourceLimits* l) { l->defaulted_object_size = 12; }),
       {{"A", {{"d", 3}, {"i", 2}}}},
       ""},
      {"a record too big for a defaulted object size",
       Limits([](SourceLimits* l) { l->defaulted_object_size = 11; }),
       {{"A", {{"d", 3}, {"i", 2}}}},
       "src.json:2:1: class \"A\": no \"objectSize\" given, and its record size 12 is out of "
       "range of one"},
      {"a big record with its object size given",
       Limits([](SourceLimits* l) { l->defaulted_object_size = 11; }),
       {{"A", {{"d", 3}, {"i", 2}}, true}},
       ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.classes, c.limits), c.expect) << c.what;
  }
}

// The limits wqmake applies are the format's, so a source the format can
// hold is never refused for a smaller bound, nor one past it taken.
TEST(SourceLimits, DefaultsAreTheFormats) {
  const SourceLimits l;
  EXPECT_EQ(l.classes, uint64_t{wqstore::format::kMaxClassCount});
  EXPECT_EQ(l.members, uint64_t{wqstore::format::kMaxMemberCount});
  EXPECT_EQ(l.record_size, uint64_t{UINT32_MAX});
  EXPECT_EQ(l.names_length, uint64_t{UINT32_MAX});
  EXPECT_EQ(l.defaulted_object_size, uint64_t{INT32_MAX});
}

}  // namespace
