// Writer to reader round trips: every value type, member lookup by number,
// class lookup by name and number, empty handles, the writer's refusals and
// the atomic commit.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "repository/store_api.h"
#include "store/writer.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using wqtest::CheckedWriter;
using wqtest::ReadFile;
using wqtest::TempFolder;

// The names in `folder`, sorted.
std::vector<std::string> FilesIn(const TempFolder& folder) {
  std::vector<std::string> out;
  if (DIR* d = opendir(folder.path().c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") out.push_back(n);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Builds the sample used by most tests:
//   Part (12): name string 3 not null, count int 1, weight double 2,
//              grade char 5, data blob 0, supplier ref -4, twin ref(8) 6,
//              oddities of codes 0, 7, 9, 10, 11, 200 numbered 20..25
//   Supplier (7): title string 3; the target of Part.supplier
//   Empty (1): no members, no objects
struct Sample {
  CheckedWriter w;
  uint32_t part, supplier, empty;
  std::vector<ObjectRef> parts, suppliers;

  Sample() {
    supplier = w.AddClass("Supplier", 7, false, 0);
    w.AddMember(supplier, "title", 3, wqTypeString, true);
    part = w.AddClass("Part", 12, true, 40);
    w.AddMember(part, "name", 3, wqTypeString, false);
    w.AddMember(part, "count", 1, wqTypeInt, true);
    w.AddMember(part, "weight", 2, wqTypeDouble, true);
    w.AddMember(part, "grade", 5, wqTypeChar, true);
    w.AddMember(part, "data", 0, wqTypeBlob, true);
    w.AddMember(part, "supplier", -4, wqTypeObjectRef, true);
    w.AddMember(part, "twin", 6, wqTypeObjectRefAlt, true);
    int number = 20;
    for (int code : {0, 7, 9, 10, 11, 200}) {
      w.AddMember(part, "odd" + std::to_string(code), number++, code, true);
    }
    empty = w.AddClass("Empty", 1, false, 0);

    suppliers.push_back(w.AddObject(supplier));
    w.SetString(suppliers[0], 0, "M\xC3\xBCller GmbH");
    suppliers.push_back(w.AddObject(supplier));  // title stays null

    const char* names[] = {"bolt", "", "\xE2\x82\xAC-nut", "washer"};
    const int32_t counts[] = {0, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max(), -17};
    const double weights[] = {1.5, -0.0, 1e300, std::numeric_limits<double>::denorm_min()};
    const uint8_t grades[] = {0, 65, 233, 255};
    const std::string blobs[] = {"", std::string(1, '\x01'),
                                 std::string("\x00\x01\xAB\xFF\x10\x20\x30\x40\x50\x60", 10), ""};
    for (int i = 0; i < 4; i++) {
      ObjectRef o = w.AddObject(part);
      parts.push_back(o);
      w.SetString(o, 0, names[i]);
      w.SetInt(o, 1, counts[i]);
      w.SetDouble(o, 2, weights[i]);
      w.SetChar(o, 3, grades[i]);
      if (i < 3) w.SetBlob(o, 4, blobs[i].data(), blobs[i].size());
    }
    w.SetRef(parts[0], 5, suppliers[0]);
    w.SetRef(parts[1], 5, suppliers[1]);
    w.SetRef(parts[0], 6, parts[0]);  // self-reference
    w.SetRef(parts[1], 6, parts[2]);
    w.SetRef(parts[2], 6, parts[1]);  // cycle
  }
};

class StoreRoundTripTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("sample.rtm");
    sample_.w.Commit(path_);
    ASSERT_NE(db_.Open(path_.c_str(), omReadOnly, 0, false), nullptr);
  }
  TempFolder folder_;
  Sample sample_;
  std::string path_;
  awq_Database db_;
};

TEST_F(StoreRoundTripTest, ClassesAndMembers) {
  awq_autovector<awq_Class> classes = db_.GetClassDefs();
  ASSERT_EQ(classes.size(), 3);
  EXPECT_STREQ(classes[0].GetName(), "Supplier");
  EXPECT_STREQ(classes[1].GetName(), "Part");
  EXPECT_EQ(classes[1].GetClassNumber(), 12);
  EXPECT_EQ(classes[1].GetObjectSize(), 40);
  EXPECT_EQ(classes[0].GetObjectSize(), 8);  // defaults to the record size
  EXPECT_EQ(classes[2].GetObjectSize(), 0);

  awq_autovector<awq_ClassProperty> members = classes[1].GetMembers();
  ASSERT_EQ(members.size(), 13);
  EXPECT_STREQ(members[0].GetName(), "name");
  EXPECT_EQ(members[0].GetMemberNumber(), 3);
  EXPECT_EQ(members[0].GetDataType(), wqTypeString);
  EXPECT_FALSE(members[0].AllowNullValue());
  EXPECT_TRUE(members[1].AllowNullValue());
  EXPECT_EQ(members[5].GetMemberNumber(), -4);
  EXPECT_EQ(members[12].GetDataType(), 200);
  EXPECT_EQ(classes[2].GetMembers().size(), 0);
  ASSERT_NO_THROW(db_.ValidateRepository());
}

TEST_F(StoreRoundTripTest, Values) {
  awq_autovector<awq_Object> parts = db_.FindObjects(12);
  ASSERT_EQ(parts.size(), 4);
  EXPECT_STREQ(parts[0].GetStringProperty(3), "bolt");
  EXPECT_STREQ(parts[1].GetStringProperty(3), "");
  EXPECT_STREQ(parts[2].GetStringProperty(3), "\xE2\x82\xAC-nut");
  EXPECT_EQ(parts[1].GetIntProperty(1), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(parts[2].GetIntProperty(1), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(parts[0].GetDoubleProperty(2), 1.5);
  EXPECT_TRUE(std::signbit(parts[1].GetDoubleProperty(2)));
  EXPECT_EQ(parts[3].GetDoubleProperty(2), std::numeric_limits<double>::denorm_min());
  const uint8_t grades[] = {0, 65, 233, 255};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(static_cast<uint8_t>(parts[i].GetCharProperty(5)), grades[i]);
  }

  const size_t blob_sizes[] = {0, 1, 10, 0};
  for (int i = 0; i < 4; i++) {
    int32_t size = -1;
    const unsigned char* data = nullptr;
    parts[i].GetBlobProperty(0, size, data);
    EXPECT_EQ(size, static_cast<int32_t>(blob_sizes[i]));
    if (size > 0) {
      EXPECT_EQ(data[size - 1], i == 1 ? 0x01 : 0x60);
    }
  }

  awq_Object s0 = parts[0].GetObjectRefProperty(-4);
  ASSERT_FALSE(s0.IsEmpty());
  EXPECT_STREQ(s0.GetStringProperty(3), "M\xC3\xBCller GmbH");
  EXPECT_EQ(parts[1].GetObjectRefProperty(-4).GetStringProperty(3), nullptr);  // null title
  EXPECT_TRUE(parts[2].GetObjectRefProperty(-4).IsEmpty());                    // unset
  EXPECT_EQ(parts[0].GetObjectRefProperty(6).record(), parts[0].record());     // self
  EXPECT_EQ(parts[1].GetObjectRefProperty(6).GetObjectRefProperty(6).record(), parts[1].record());
  EXPECT_TRUE(parts[3].GetObjectRefProperty(6).IsEmpty());
}

// Absent numbers, wrong types and codes without a value read as null, 0 or
// empty; a blob read of a non-blob member leaves the outputs alone.
TEST_F(StoreRoundTripTest, MismatchesReadAsNothing) {
  awq_autovector<awq_Object> parts = db_.FindObjects(12);
  const awq_Object& p = parts[0];
  for (int member : {4, 99, -1, 20, 21, 22, 23, 24, 25}) {
    EXPECT_EQ(p.GetStringProperty(member), nullptr) << member;
    EXPECT_EQ(p.GetIntProperty(member), 0) << member;
    EXPECT_EQ(p.GetDoubleProperty(member), 0.0) << member;
    EXPECT_EQ(p.GetCharProperty(member), '\0') << member;
    EXPECT_TRUE(p.GetObjectRefProperty(member).IsEmpty()) << member;
  }
  EXPECT_EQ(p.GetStringProperty(1), nullptr);  // int member
  EXPECT_EQ(p.GetIntProperty(3), 0);           // string member
  int32_t size = 77;
  const unsigned char* data = reinterpret_cast<const unsigned char*>("x");
  p.GetBlobProperty(3, size, data);
  p.GetBlobProperty(42, size, data);
  EXPECT_EQ(size, 77);
  EXPECT_STREQ(reinterpret_cast<const char*>(data), "x");
}

TEST_F(StoreRoundTripTest, Lookups) {
  EXPECT_EQ(db_.FindClassDef("Part").GetClassNumber(), 12);
  EXPECT_EQ(db_.FindClassDef("pART").GetClassNumber(), 12);
  EXPECT_TRUE(db_.FindClassDef("Parts").IsEmpty());
  EXPECT_TRUE(db_.FindClassDef("").IsEmpty());
  EXPECT_TRUE(db_.FindClassDef(nullptr).IsEmpty());
  awq_autovector<awq_Object> none = db_.FindObjects(999);
  EXPECT_EQ(none.size(), 0);
  EXPECT_EQ(db_.FindObjects(1).size(), 0);  // class without objects
  EXPECT_EQ(db_.FindObjects(7).size(), 2);
}

TEST(StoreRoundTrip, CaseFallbackPrefersExactThenStoredOrder) {
  TempFolder folder;
  CheckedWriter w;
  w.AddClass("aB", 1, false, 0);
  w.AddClass("Ab", 2, false, 0);
  w.AddClass("AB", 3, false, 0);
  w.Commit(folder.File("c.rtm"));
  awq_Database db;
  ASSERT_NE(db.Open(folder.File("c.rtm").c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_EQ(db.FindClassDef("Ab").GetClassNumber(), 2);
  EXPECT_EQ(db.FindClassDef("AB").GetClassNumber(), 3);
  EXPECT_EQ(db.FindClassDef("ab").GetClassNumber(), 1);
}

// A class with many members uses the sorted lookup; the first member of a
// duplicated number cannot be built by the writer, so numbers here are
// unique but scattered.
TEST(StoreRoundTrip, ManyMembersByNumber) {
  TempFolder folder;
  CheckedWriter w;
  uint32_t c = w.AddClass("Wide", 5, false, 0);
  std::vector<int32_t> numbers;
  for (int i = 0; i < 50; i++) numbers.push_back((i * 37) % 101 - 50);
  for (size_t i = 0; i < numbers.size(); i++) {
    w.AddMember(c, "m" + std::to_string(i), numbers[i], wqTypeInt, true);
  }
  ObjectRef o = w.AddObject(c);
  for (size_t i = 0; i < numbers.size(); i++) w.SetInt(o, static_cast<uint32_t>(i), numbers[i] * 3);
  w.Commit(folder.File("w.rtm"));
  awq_Database db;
  ASSERT_NE(db.Open(folder.File("w.rtm").c_str(), omReadOnly, 0, false), nullptr);
  awq_autovector<awq_Object> objs = db.FindObjects(5);
  ASSERT_EQ(objs.size(), 1);
  for (int32_t n : numbers) EXPECT_EQ(objs[0].GetIntProperty(n), n * 3);
  EXPECT_EQ(objs[0].GetIntProperty(51), 0);
  EXPECT_EQ(objs[0].GetIntProperty(-51), 0);
}

TEST(StoreRoundTrip, EmptyHandlesAndUnopenedDatabase) {
  awq_Class c;
  awq_ClassProperty m;
  awq_Object o;
  EXPECT_STREQ(c.GetName(), "");
  EXPECT_EQ(c.GetClassNumber(), 0);
  EXPECT_EQ(c.GetMembers().size(), 0);
  EXPECT_STREQ(m.GetName(), "");
  EXPECT_FALSE(m.AllowNullValue());
  EXPECT_EQ(o.GetStringProperty(1), nullptr);
  EXPECT_TRUE(o.GetObjectRefProperty(1).IsEmpty());
  awq_Database db;
  EXPECT_TRUE(db.FindClassDef("Part").IsEmpty());
  EXPECT_EQ(db.GetClassDefs().size(), 0);
  EXPECT_EQ(db.FindObjects(1).size(), 0);
}

TEST(StoreRoundTrip, DataTypeNames) {
  const std::pair<int, const char*> cases[] = {
      {1, "string"}, {2, "int"},       {3, "double"},  {4, "char"},
      {5, "blob"},   {6, "ref"},       {8, "ref"},     {0, "type0"},
      {7, "type7"},  {255, "type255"}, {-3, "type-3"}, {1000, "type1000"}};
  for (const auto& c : cases) EXPECT_STREQ(GetDataTypeName(c.first), c.second);
  // The text of a code a file can hold stays put while names of other codes
  // are asked for.
  const char* seven = GetDataTypeName(7);
  const char* ref = GetDataTypeName(8);
  GetDataTypeName(-3);
  GetDataTypeName(1000);
  GetDataTypeName(9);
  EXPECT_STREQ(seven, "type7");
  EXPECT_STREQ(ref, "ref");
}

// Every refusal names its cause and changes nothing; the writer is still
// usable afterwards.
TEST(StoreWriter, RefusesBadInput) {
  RepositoryWriter w;
  uint32_t c, name, ref, other, odd, q, r, ch;
  ASSERT_TRUE(w.AddClass("Part", 1, false, 0, &c).ok());
  ASSERT_TRUE(w.AddMember(c, "name", 1, wqTypeString, false, &name).ok());
  ASSERT_TRUE(w.AddMember(c, "ref", 2, wqTypeObjectRef, true, &ref).ok());
  // Names differing in case are distinct.
  ASSERT_TRUE(w.AddMember(c, "Name", 3, wqTypeInt, true, nullptr).ok());
  ASSERT_TRUE(w.AddClass("Other", 2, false, 0, &other).ok());
  ASSERT_TRUE(w.AddClass("Odd", 3, false, 0, &odd).ok());
  ASSERT_TRUE(w.AddMember(odd, "q", 1, 7, true, &q).ok());
  ASSERT_TRUE(w.AddMember(odd, "r", 2, wqTypeObjectRefAlt, true, &r).ok());
  ASSERT_TRUE(w.AddMember(odd, "ch", 3, wqTypeChar, true, &ch).ok());
  ObjectRef o, oo;
  ASSERT_TRUE(w.AddObject(c, &o).ok());
  ASSERT_TRUE(w.AddObject(odd, &oo).ok());
  std::string image;
  struct Case {
    std::string expect;
    std::function<Status()> call;
  };
  const Case cases[] = {
      {"class name is empty", [&] { return w.AddClass("", 5, false, 0, nullptr); }},
      {"duplicate class name \"Part\"", [&] { return w.AddClass("Part", 5, false, 0, nullptr); }},
      {"class \"New\": duplicate class number 1",
       [&] { return w.AddClass("New", 1, false, 0, nullptr); }},
      // A refused name is quoted with what a terminal would act on as "?".
      {"class name \"a?b\": control character at byte 1",
       [&] { return w.AddClass("a\tb", 6, false, 0, nullptr); }},
      {"class name \"a?\": invalid UTF-8 at byte 1",
       [&] { return w.AddClass("a\xC3", 6, false, 0, nullptr); }},
      {"class \"Other\": member name is empty",
       [&] { return w.AddMember(other, "", 1, 1, true, nullptr); }},
      {"class \"Other\": member name \"x\" is taken",
       [&] {
         const Status first = w.AddMember(other, "x", 1, 1, true, nullptr);
         return first.ok() ? w.AddMember(other, "x", 2, 1, true, nullptr) : first;
       }},
      {"class \"Other\": member \"y\": member number 1 is taken",
       [&] { return w.AddMember(other, "y", 1, 1, true, nullptr); }},
      {"class \"Other\": member \"z\": type code 256 out of range 0-255",
       [&] { return w.AddMember(other, "z", 9, 256, true, nullptr); }},
      {"class \"Other\": member \"z\": type code -1 out of range 0-255",
       [&] { return w.AddMember(other, "z", 9, -1, true, nullptr); }},
      {"class \"Part\": member \"late\" added after the class's first object",
       [&] { return w.AddMember(c, "late", 9, 2, true, nullptr); }},
      {"class \"Part\", member \"name\" is a string member (type 1) and takes no int value",
       [&] { return w.SetInt(o, name, 1); }},
      {"class \"Part\", member \"ref\" is a reference member (type 6) and takes no string value",
       [&] { return w.SetString(o, ref, "x"); }},
      {"class \"Odd\", member \"r\" is a reference member (type 8) and takes no blob value",
       [&] { return w.SetBlob(oo, r, "x", 1); }},
      {"class \"Odd\", member \"q\" is a no member (type 7) and takes no null value",
       [&] { return w.SetNull(oo, q); }},
      {"class \"Odd\", member \"ch\" is a char member (type 4) and takes no double value",
       [&] { return w.SetDouble(oo, ch, 1.0); }},
      {"class \"Odd\", member \"ch\" is a char member (type 4) and takes no reference value",
       [&] { return w.SetRef(oo, ch, o); }},
      {"class \"Part\", object 0, member \"name\" does not allow null",
       [&] { return w.SetNull(o, name); }},
      {"class \"Part\", object 0, member \"name\": invalid UTF-8 at byte 1 of the string",
       [&] { return w.SetString(o, name, "a\xFF"); }},
      {"class \"Part\", object 0, member \"name\": NUL byte at byte 1 of the string",
       [&] { return w.SetString(o, name, std::string("a\0", 2)); }},
      {"class \"Part\", object 0, member \"ref\": reference to a missing object (class index 0, "
       "object 5)",
       [&] {
         return w.SetRef(o, ref, ObjectRef{c, 5});
       }},
      {"class \"Part\", object 0, member \"ref\": reference to a missing object (class index 9, "
       "object 0)",
       [&] {
         return w.SetRef(o, ref, ObjectRef{9, 0});
       }},
      {"class \"Part\" has no object 9",
       [&] {
         return w.SetString(ObjectRef{c, 9}, name, "x");
       }},
      {"no class with index 7",
       [&] {
         ObjectRef id;
         return w.AddObject(7, &id);
       }},
      {"no class with index 7", [&] { return w.AddMember(7, "m", 1, 1, true, nullptr); }},
      {"class \"Part\" has no member with index 9", [&] { return w.SetInt(o, 9, 1); }},
      {"class \"Part\", object 0, member \"name\" does not allow null but has no value",
       [&] { return w.Serialize(&image); }},
  };
  for (const Case& k : cases) {
    const Status s = k.call();
    EXPECT_FALSE(s.ok()) << "no error, expected: " << k.expect;
    EXPECT_EQ(s.message(), k.expect);
  }
  EXPECT_TRUE(image.empty());
  EXPECT_EQ(w.class_count(), 3u);
  EXPECT_EQ(w.object_count(c), 1u);
  EXPECT_EQ(w.object_count(7), 0u);
  ASSERT_TRUE(w.SetString(o, name, "fine").ok());
  EXPECT_TRUE(w.Serialize(&image).ok());
  EXPECT_FALSE(image.empty());
}

// Objects whose members store nothing still take one padding byte each, so
// a count of objects can never exceed the file's size.
TEST(StoreWriter, ObjectsWithoutFieldsTakeOneByte) {
  TempFolder folder;
  CheckedWriter w;
  uint32_t c = w.AddClass("Tag", 1, false, 0);
  w.AddMember(c, "note", 1, 7, true);  // a code without a value
  for (uint32_t i = 0; i < 1000; i++) w.AddObject(c);
  w.AddClass("Bare", 2, false, 0);  // no members, no objects
  w.Commit(folder.File("t.rtm"));
  awq_Database db;
  ASSERT_NE(db.Open(folder.File("t.rtm").c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_NO_THROW(db.ValidateRepository());
  EXPECT_EQ(db.FindObjects(1).size(), 1000);
  EXPECT_EQ(db.FindClassDef("Tag").GetObjectSize(), 0);  // the default: no stored fields
  EXPECT_EQ(db.FindClassDef("Bare").GetObjectSize(), 0);
}

TEST(StoreWriter, CommitReplacesAtomically) {
  TempFolder folder;
  const std::string target = folder.File("r.rtm");
  Sample first;
  first.w.Commit(target);
  const std::string before = ReadFile(target);
  EXPECT_EQ(before, first.w.Serialize());
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);

  CheckedWriter second;
  second.AddClass("Only", 1);
  second.Commit(target);  // over an existing file
  EXPECT_EQ(ReadFile(target), second.Serialize());
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"r.rtm"});

  // A commit that fails (the target is a folder) leaves nothing behind.
  const std::string sub = folder.File("sub");
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((sub + "/x").c_str(), 0755), 0);
  EXPECT_THROW(second.Commit(sub + "/x"), awq_StoreError);
  rmdir((sub + "/x").c_str());
  rmdir(sub.c_str());
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"r.rtm"});
}

TEST(StoreWriter, CommitFailuresLeaveTargetAlone) {
  TempFolder folder;
  Sample s;
  try {
    s.w.Commit(folder.File("no/such/x.rtm"));
    ADD_FAILURE() << "commit into a missing folder succeeded";
  } catch (const awq_StoreError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot create temporary file in " + folder.File("no/such") +
                                         ": No such file or directory");
  }
  EXPECT_TRUE(FilesIn(folder).empty());

  // A writer whose image is refused (null in a non-nullable member) must not
  // touch the existing target.
  const std::string target = folder.File("keep.rtm");
  s.w.Commit(target);
  const std::string before = ReadFile(target);
  CheckedWriter bad;
  uint32_t c = bad.AddClass("C", 1);
  bad.AddMember(c, "s", 1, wqTypeString, false);
  bad.AddObject(c);
  EXPECT_THROW(bad.Commit(target), awq_StoreError);
  EXPECT_EQ(ReadFile(target), before);

  if (geteuid() != 0) {  // root writes into read-only folders anyway
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    EXPECT_THROW(s.w.Commit(target), awq_StoreError);
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    EXPECT_EQ(ReadFile(target), before);
  }
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"keep.rtm"});
}

// A million objects of a typical class build, commit and validate quickly;
// memory stays near the size of the file.
TEST(StoreWriterSlow, MillionObjects) {
  TempFolder folder;
  CheckedWriter w;
  uint32_t c = w.AddClass("Row", 1, false, 0);
  w.AddMember(c, "s", 1, wqTypeString, true);
  w.AddMember(c, "i", 2, wqTypeInt, true);
  w.AddMember(c, "d", 3, wqTypeDouble, true);
  w.AddMember(c, "c", 4, wqTypeChar, true);
  w.AddMember(c, "b", 5, wqTypeBlob, true);
  const unsigned char blob[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 1000000; i++) {
    ObjectRef o = w.AddObject(c);
    w.SetString(o, 0, "a short string value");
    w.SetInt(o, 1, i);
    w.SetDouble(o, 2, i * 0.5);
    w.SetChar(o, 3, static_cast<uint8_t>(i));
    w.SetBlob(o, 4, blob, sizeof blob);
  }
  w.Commit(folder.File("m.rtm"));
  awq_Database db;
  ASSERT_NE(db.Open(folder.File("m.rtm").c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_NO_THROW(db.ValidateRepository());
  awq_autovector<awq_Object> rows = db.FindObjects(1);
  ASSERT_EQ(rows.size(), 1000000);
  EXPECT_EQ(rows[999999].GetIntProperty(2), 999999);
}

}  // namespace
}  // namespace wqstore
