// The sample source round-trips through wqmake: every class, member and
// value of examples/dravik.json reads back from the repository it builds.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "repository/store_api.h"
#include "tests/support/test_util.h"

namespace {

using nlohmann::json;

int TypeCode(const json& t) {
  if (t.is_number()) return t.get<int>();
  static const std::map<std::string, int> kNames = {{"string", 1}, {"int", 2},  {"double", 3},
                                                    {"char", 4},   {"blob", 5}, {"ref", 6}};
  return kNames.at(t.get<std::string>());
}

std::string Hex(const unsigned char* data, int32_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (int32_t i = 0; i < n; ++i) {
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 15];
  }
  return s;
}

struct Member {
  std::string name;
  int number;
  int type;
};

// The members of a class as the source gives them, with default numbers.
std::vector<Member> Members(const json& cls) {
  std::vector<Member> out;
  int next = 1;
  bool first = true;
  for (const json& m : cls.value("members", json::array())) {
    const int number = m.contains("number") ? m["number"].get<int>() : next;
    if (first || number + 1 > next) next = number + 1;
    first = false;
    out.push_back({m["name"].get<std::string>(), number, TypeCode(m["type"])});
  }
  return out;
}

// Compares one object's values with the source's; references are compared
// by the values of the object they name.
void ExpectValues(const awq_Object& obj, const std::vector<Member>& members, const json& values,
                  const std::map<std::string, std::pair<const json*, const json*>>& by_id,
                  const std::string& where, int depth) {
  for (const Member& m : members) {
    const std::string at = where + "." + m.name;
    const bool given = values.contains(m.name) && !values[m.name].is_null();
    const json v = given ? values[m.name] : json();
    switch (m.type) {
      case 1: {
        const char* s = obj.GetStringProperty(m.number);
        if (!given) {
          EXPECT_EQ(s, nullptr) << at;
        } else {
          ASSERT_NE(s, nullptr) << at;
          EXPECT_EQ(std::string(s), v.get<std::string>()) << at;
        }
        break;
      }
      case 2: EXPECT_EQ(obj.GetIntProperty(m.number), given ? v.get<int>() : 0) << at; break;
      case 3:
        EXPECT_EQ(obj.GetDoubleProperty(m.number), given ? v.get<double>() : 0.0) << at;
        break;
      case 4: {
        int want = 0;
        if (given && v.is_number()) want = v.get<int>();
        if (given && v.is_string()) {  // one character in U+0000..U+00FF, as UTF-8
          const std::string s = v.get<std::string>();
          want = s.size() == 1 ? static_cast<unsigned char>(s[0])
                               : ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
        }
        EXPECT_EQ(static_cast<unsigned char>(obj.GetCharProperty(m.number)), want) << at;
        break;
      }
      case 5: {
        int32_t n = -1;
        const unsigned char* data = nullptr;
        obj.GetBlobProperty(m.number, n, data);
        ASSERT_GE(n, 0) << at;
        EXPECT_EQ(Hex(data, n), given ? v.get<std::string>() : "") << at;
        break;
      }
      case 6:
      case 8: {
        const awq_Object target = obj.GetObjectRefProperty(m.number);
        EXPECT_EQ(target.IsEmpty(), !given) << at;
        if (given && !target.IsEmpty() && depth == 0) {
          const auto& [cls, o] = by_id.at(v.get<std::string>());
          ExpectValues(target, Members(*cls), o->value("values", json::object()), by_id,
                       at + "->" + v.get<std::string>(), 1);
        }
        break;
      }
      default: break;
    }
  }
}

TEST(SampleRepository, EveryValueRoundTrips) {
  const json src = json::parse(wqtest::ReadFile(wqtest::SampleSource()));

  std::map<std::string, std::pair<const json*, const json*>> by_id;
  for (const json& cls : src["classes"]) {
    if (!cls.contains("objects")) continue;
    for (const json& o : cls["objects"]) {  // pointers into src, not into a copy
      if (o.contains("id")) by_id[o["id"].get<std::string>()] = {&cls, &o};
    }
  }

  awq_Database db;
  ASSERT_NE(db.Open(wqtest::SampleRepository(), omReadOnly, 0, false), nullptr);
  EXPECT_NO_THROW(db.ValidateRepository());
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  ASSERT_EQ(static_cast<size_t>(classes.size()), src["classes"].size());
  int next_class = 1;
  for (size_t ci = 0; ci < src["classes"].size(); ++ci) {
    const json& cls = src["classes"][ci];
    const awq_Class c = classes[static_cast<int32_t>(ci)];
    const std::string name = cls["name"].get<std::string>();
    EXPECT_EQ(c.GetName(), name);
    const int number = cls.contains("number") ? cls["number"].get<int>() : next_class;
    next_class = std::max(next_class, number + 1);
    EXPECT_EQ(c.GetClassNumber(), number) << name;
    if (cls.contains("objectSize")) {
      EXPECT_EQ(c.GetObjectSize(), cls["objectSize"].get<int>());
    }

    const std::vector<Member> members = Members(cls);
    awq_autovector<awq_ClassProperty> stored = c.GetMembers();
    ASSERT_EQ(static_cast<size_t>(stored.size()), members.size()) << name;
    for (size_t mi = 0; mi < members.size(); ++mi) {
      const json& m = cls["members"][mi];
      const awq_ClassProperty p = stored[static_cast<int32_t>(mi)];
      EXPECT_EQ(p.GetName(), members[mi].name);
      EXPECT_EQ(p.GetMemberNumber(), members[mi].number) << members[mi].name;
      EXPECT_EQ(p.GetDataType(), members[mi].type) << members[mi].name;
      EXPECT_EQ(p.AllowNullValue(), m.value("nullable", true)) << members[mi].name;
    }

    const json objects = cls.value("objects", json::array());
    awq_autovector<awq_Object> stored_objects = db.FindObjects(number);
    ASSERT_EQ(static_cast<size_t>(stored_objects.size()), objects.size()) << name;
    for (size_t oi = 0; oi < objects.size(); ++oi) {
      ExpectValues(stored_objects[static_cast<int32_t>(oi)], members,
                   objects[oi].value("values", json::object()), by_id,
                   name + "[" + std::to_string(oi) + "]", 0);
    }
  }
}

}  // namespace
