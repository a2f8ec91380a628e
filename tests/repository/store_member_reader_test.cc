// MemberReader against awq_Object's getters: for every member number (those
// of the class, one of another type in the other class, one nobody has) and
// every kind of object (its class's, with values and with nulls, another
// class's, an empty handle) the two read the same.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "repository/member_reader.h"
#include "repository/store_api.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

// Class K (1): s string 1, i int 2, d double 3, c char 4, b blob 5. Class
// Other (2): the same numbers with other types (1 int, 2 string, 3 blob).
std::string Build() {
  wqtest::CheckedWriter w;
  const uint32_t k = w.AddClass("K", 1);
  w.AddMember(k, "s", 1, wqTypeString, true);
  w.AddMember(k, "i", 2, wqTypeInt, true);
  w.AddMember(k, "d", 3, wqTypeDouble, true);
  w.AddMember(k, "c", 4, wqTypeChar, true);
  w.AddMember(k, "b", 5, wqTypeBlob, true);
  const uint32_t other = w.AddClass("Other", 2);
  w.AddMember(other, "i", 1, wqTypeInt, true);
  w.AddMember(other, "s", 2, wqTypeString, true);
  w.AddMember(other, "b", 3, wqTypeBlob, true);
  for (int n = 0; n < 3; ++n) {
    const ObjectRef o = w.AddObject(k);
    if (n == 1) continue;  // every value null
    w.SetString(o, 0, n == 0 ? "text" : "");
    w.SetInt(o, 1, -7 * (n + 1));
    w.SetDouble(o, 2, 2.5 * n);
    w.SetChar(o, 3, static_cast<uint8_t>('a' + n));
    const unsigned char bytes[] = {1, 2, 3, 0, 5};
    w.SetBlob(o, 4, bytes, n == 0 ? sizeof bytes : 0);
  }
  const ObjectRef x = w.AddObject(other);
  w.SetInt(x, 0, 99);
  w.SetString(x, 1, "other");
  const unsigned char one = 9;
  w.SetBlob(x, 2, &one, 1);
  return w.Serialize();
}

TEST(MemberReaderTest, ReadsWhatTheGettersRead) {
  const wqtest::TempFolder folder;
  const std::string path = folder.File("m.rtm");
  wqtest::WriteFile(path, Build());
  awq_Database db;
  ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
  const awq_Class k = db.FindClassDef("K");
  ASSERT_FALSE(k.IsEmpty());
  awq_autovector<awq_Object> ks = db.FindObjects(1);
  awq_autovector<awq_Object> others = db.FindObjects(2);
  ASSERT_EQ(ks.size(), 3);
  ASSERT_EQ(others.size(), 1);
  std::vector<awq_Object> objects(ks.begin(), ks.end());
  objects.push_back(others[0]);
  objects.push_back(awq_Object());

  for (const awq_Class& cls : {k, awq_Class()}) {
    for (int member = 0; member <= 6; ++member) {
      const MemberReader r(cls, member);
      for (size_t i = 0; i < objects.size(); ++i) {
        const awq_Object& o = objects[i];
        SCOPED_TRACE("class " + std::string(cls.GetName()) + " member " + std::to_string(member) +
                     " object " + std::to_string(i));
        size_t length = 12345;
        const char* s = r.String(o, &length);
        const char* want = o.GetStringProperty(member);
        EXPECT_EQ(s, want);
        EXPECT_EQ(length, want != nullptr ? std::strlen(want) : 0);
        EXPECT_EQ(r.Int(o), o.GetIntProperty(member));
        EXPECT_EQ(r.Double(o), o.GetDoubleProperty(member));
        EXPECT_EQ(r.Char(o), o.GetCharProperty(member));
        int32_t size = -1, want_size = -1;
        const unsigned char* data = nullptr;
        const unsigned char* want_data = nullptr;
        r.Blob(o, size, data);
        o.GetBlobProperty(member, want_size, want_data);
        EXPECT_EQ(size, want_size);
        EXPECT_EQ(data, want_data);
      }
    }
  }
  // The values themselves, so that agreeing is not agreeing on nothing.
  size_t length = 0;
  EXPECT_STREQ(MemberReader(k, 1).String(ks[0], &length), "text");
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(MemberReader(k, 1).String(ks[1], &length), nullptr);
  EXPECT_EQ(MemberReader(k, 2).Int(ks[2]), -21);
  EXPECT_EQ(MemberReader(k, 2).Int(others[0]), 0);  // another class's member 2 is a string
  EXPECT_EQ(MemberReader(k, 3).Double(ks[2]), 5.0);
  int32_t size = 0;
  const unsigned char* data = nullptr;
  MemberReader(k, 5).Blob(ks[0], size, data);
  EXPECT_EQ(size, 5);
}

}  // namespace
}  // namespace wqstore
