// The store's public face: why an open fails, every value of the sample
// read through it against the shell's handles, identities there and back,
// the errors of reads that cannot be answered, zero-copy columns, files
// that change, and the writer by class and member numbers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "repository/store_api.h"
#include "store/scan.h"
#include "tests/support/test_util.h"
#include "wqstore/wqstore.h"

namespace {

using wqstore::ClassDef;
using wqstore::DataType;
using wqstore::Member;
using wqstore::Object;
using wqstore::ObjectId;
using wqstore::Repository;
using wqstore::Result;

std::unique_ptr<Repository> OpenOrDie(const std::string& path) {
  std::unique_ptr<Repository> repo;
  const Result r = Repository::Open(path, &repo);
  EXPECT_TRUE(r.ok()) << r.ToString();
  return repo;
}

TEST(PublicApiTest, OpenSaysWhyItFailed) {
  wqtest::TempFolder folder;
  const std::string sample = wqtest::ReadFile(wqtest::SampleRepository());
  wqtest::WriteFile(folder.File("empty.rtm"), "");
  wqtest::WriteFile(folder.File("text.rtm"), std::string(200, 'x'));
  wqtest::WriteFile(folder.File("cut.rtm"), sample.substr(0, 100));
  ::mkdir(folder.File("dir.rtm").c_str(), 0755);
  struct Case {
    const char* file;
    Result::Code code;
    const char* reason;
  };
  const Case cases[] = {
      {"missing.rtm", Result::kNotFound, "cannot open file: No such file or directory"},
      {"dir.rtm", Result::kIoError, "cannot open file: Is a directory"},
      {"empty.rtm", Result::kDamaged, "file too short for a repository header (0 bytes)"},
      {"text.rtm", Result::kDamaged, "not a repository file (bad magic)"},
      {"cut.rtm", Result::kDamaged, ""},
  };
  for (const Case& c : cases) {
    const std::string path = folder.File(c.file);
    std::unique_ptr<Repository> repo;
    const Result r = Repository::Open(path, &repo);
    EXPECT_EQ(r.code(), c.code) << c.file << ": " << r.ToString();
    EXPECT_EQ(repo, nullptr);
    // The line wqcheck prints for the file.
    EXPECT_EQ(r.message().rfind(path + ": " + c.reason, 0), 0u) << r.message();
  }
}

// Every value of every object of the sample, through the public face and
// through the shell's handles: the same answers.
TEST(PublicApiTest, ReadsWhatTheShellReads) {
  std::unique_ptr<Repository> repo = OpenOrDie(wqtest::SampleRepository());
  awq_Database db;
  ASSERT_NE(db.Open(wqtest::SampleRepository(), omReadOnly, 0, false), nullptr);
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  ASSERT_EQ(repo->class_count(), classes.size());
  int values = 0;
  for (int32_t ci = 0; ci < repo->class_count(); ci++) {
    const ClassDef cls = repo->class_at(ci);
    EXPECT_EQ(cls.name(), classes[ci].GetName());
    EXPECT_EQ(cls.number(), classes[ci].GetClassNumber());
    EXPECT_EQ(cls.object_size(), classes[ci].GetObjectSize());
    awq_autovector<awq_Object> objects = db.FindObjects(cls.number());
    ASSERT_EQ(cls.object_count(), objects.size());
    awq_autovector<awq_ClassProperty> members = classes[ci].GetMembers();
    ASSERT_EQ(cls.member_count(), members.size());
    int32_t position = 0;
    for (const Object o : cls.objects()) {
      const awq_Object& old = objects[position];
      ASSERT_EQ(o.id(), (ObjectId{cls.number(), position}));
      for (int32_t mi = 0; mi < cls.member_count(); mi++) {
        const Member m = cls.member(mi);
        const int n = m.number();
        ASSERT_EQ(m.name(), members[mi].GetName());
        ASSERT_STREQ(m.type_name(), GetDataTypeName(members[mi].GetDataType()));
        // Members of one number after the first are not what a number reads.
        Member first;
        ASSERT_TRUE(cls.FindMember(n, &first).ok());
        if (first.name() != m.name()) continue;
        values++;
        switch (m.type()) {
          case DataType::kInt: {
            int32_t v;
            ASSERT_TRUE(o.GetInt(n, &v).ok());
            EXPECT_EQ(v, old.GetIntProperty(n));
            break;
          }
          case DataType::kDouble: {
            double v;
            ASSERT_TRUE(o.GetDouble(m, &v).ok());
            const double want = old.GetDoubleProperty(n);
            EXPECT_EQ(std::memcmp(&v, &want, sizeof v), 0);
            break;
          }
          case DataType::kChar: {
            unsigned char v;
            ASSERT_TRUE(o.GetChar(n, &v).ok());
            EXPECT_EQ(static_cast<char>(v), old.GetCharProperty(n));
            break;
          }
          case DataType::kString: {
            std::optional<std::string_view> v;
            ASSERT_TRUE(o.GetString(m, &v).ok());
            const char* want = old.GetStringProperty(n);
            ASSERT_EQ(v.has_value(), want != nullptr);
            if (v) {
              EXPECT_EQ(*v, want);
            }
            break;
          }
          case DataType::kBlob: {
            std::string_view v;
            ASSERT_TRUE(o.GetBlob(n, &v).ok());
            int32_t size = 0;
            const unsigned char* data = nullptr;
            old.GetBlobProperty(n, size, data);
            EXPECT_EQ(v, std::string_view(reinterpret_cast<const char*>(data), size));
            break;
          }
          case DataType::kReference: {
            std::optional<ObjectId> to;
            ASSERT_TRUE(o.GetReference(n, &to).ok());
            const awq_Object want = old.GetObjectRefProperty(n);
            ASSERT_EQ(to.has_value(), !want.IsEmpty());
            Object target;
            ASSERT_TRUE(o.GetReferencedObject(m, &target).ok());
            ASSERT_EQ(target.valid(), to.has_value());
            if (!to) break;
            // The identity leads back to the object the handle names.
            Object back;
            ASSERT_TRUE(repo->GetObject(*to, &back).ok());
            EXPECT_EQ(back.id(), target.id());
            const wqstore::ClassInfo* c = wqstore::internal::Access::ClassOf(back);
            // Two mappings of one file: the same offset in each.
            EXPECT_EQ(c->Record(static_cast<uint32_t>(back.position())) - c->reader->file().data(),
                      want.record() - db.reader()->file().data());
            break;
          }
          case DataType::kNoValue: {
            int32_t v;
            EXPECT_EQ(o.GetInt(n, &v).code(), Result::kTypeMismatch);
            break;
          }
        }
      }
      position++;
    }
    EXPECT_EQ(position, cls.object_count());
  }
  EXPECT_GT(values, 100);
  EXPECT_TRUE(repo->Validate().ok());
}

TEST(PublicApiTest, ReadsThatCannotBeAnsweredAreErrors) {
  std::unique_ptr<Repository> repo = OpenOrDie(wqtest::SampleRepository());
  ClassDef part, warehouse;
  ASSERT_TRUE(repo->FindClass("part", &part).ok());  // ignoring case
  ASSERT_TRUE(repo->FindClassByNumber(20, &warehouse).ok());
  Object o;
  ASSERT_TRUE(part.GetObject(0, &o).ok());
  Member code;
  ASSERT_TRUE(warehouse.FindMemberByName("code", &code).ok());
  int32_t i;
  double d;
  std::optional<std::string_view> s;
  std::optional<ObjectId> to;
  Object none;
  struct Case {
    const char* what;
    Result got;
    Result::Code code;
  };
  const Case cases[] = {
      {"no such member", o.GetInt(999, &i), Result::kNotFound},
      {"int of a string", o.GetInt(3, &i), Result::kTypeMismatch},
      {"string of an int", o.GetString(1, &s), Result::kTypeMismatch},
      {"double of a reference", o.GetDouble(5, &d), Result::kTypeMismatch},
      {"reference of a double", o.GetReference(2, &to), Result::kTypeMismatch},
      {"member of another class", o.GetString(code, &s), Result::kInvalidArgument},
      {"empty object", none.GetInt(1, &i), Result::kInvalidArgument},
      {"object past the end", part.GetObject(part.object_count(), &o), Result::kNotFound},
      {"negative position", part.GetObject(-1, &o), Result::kNotFound},
      {"no such class", repo->FindClass("Nope", &part), Result::kNotFound},
      {"no such number", repo->FindClassByNumber(7777, &part), Result::kNotFound},
      {"no such object", repo->GetObject(ObjectId{12, 1000}, &o), Result::kNotFound},
      {"column of a string", warehouse.GetColumn(code, nullptr), Result::kTypeMismatch},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got.code(), c.code) << c.what << ": " << c.got.ToString();
    EXPECT_FALSE(c.got.message().empty()) << c.what;
  }
  // Ranges are clamped to the class.
  EXPECT_EQ(part.objects(-5, 3).size(), 3);
  EXPECT_EQ(part.objects(28, 1000).size(), part.object_count() - 28);
  EXPECT_TRUE(part.objects(5, 2).empty());
}

TEST(PublicApiTest, ObjectIdsAreWrittenAndReadAsWqdumpWritesThem) {
  struct Case {
    const char* text;
    bool ok;
    ObjectId id;
  };
  const Case cases[] = {
      {"12:0", true, {12, 0}},
      {"-3:7", true, {-3, 7}},
      {"0:2147483647", true, {0, INT32_MAX}},
      {"12", false, {}},
      {"12:", false, {}},
      {":3", false, {}},
      {"12:-1", false, {}},
      {"1:2:3", false, {}},
      {"1 :2", false, {}},
      {"1:99999999999", false, {}},
      {"a:1", false, {}},
  };
  for (const Case& c : cases) {
    ObjectId id{99, 99};
    const Result r = ObjectId::Parse(c.text, &id);
    EXPECT_EQ(r.ok(), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(r.code(), Result::kInvalidArgument);
      continue;
    }
    EXPECT_EQ(id, c.id) << c.text;
    EXPECT_EQ(id.ToString(), c.text);
  }
}

TEST(PublicApiTest, ColumnsAreViewsOfTheFile) {
  std::unique_ptr<Repository> repo = OpenOrDie(wqtest::SampleRepository());
  ClassDef part;
  ASSERT_TRUE(repo->FindClass("Part", &part).ok());
  for (int32_t mi = 0; mi < part.member_count(); mi++) {
    const Member m = part.member(mi);
    wqstore::ColumnView view;
    const Result r = part.GetColumn(m, &view);
    if (m.type() != DataType::kInt && m.type() != DataType::kDouble) continue;
    ASSERT_TRUE(r.ok()) << r.ToString();
    ASSERT_EQ(view.count, part.object_count());
    for (const Object o : part.objects()) {
      const unsigned char* at = view.data + view.stride * o.position();
      if (m.type() == DataType::kInt) {
        int32_t want, got;
        ASSERT_TRUE(o.GetInt(m, &want).ok());
        std::memcpy(&got, at, sizeof got);
        EXPECT_EQ(got, want);
      } else {
        double want, got;
        ASSERT_TRUE(o.GetDouble(m, &want).ok());
        std::memcpy(&got, at, sizeof got);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
      }
    }
  }
}

TEST(PublicApiTest, AFileCutShortIsAChangeNotASignal) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("cut.rtm");
  const std::string bytes = wqtest::ReadFile(wqtest::SampleRepository());
  wqtest::WriteFile(path, bytes);
  std::unique_ptr<Repository> repo = OpenOrDie(path);
  ASSERT_FALSE(repo->HasChanged());
  ASSERT_TRUE(repo->CheckUnchanged().ok());
  ClassDef part;
  ASSERT_TRUE(repo->FindClass("Part", &part).ok());
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  // Reads see zeros instead of ending the process.
  for (const Object o : part.objects()) {
    int32_t v = -1;
    ASSERT_TRUE(o.GetInt(1, &v).ok());
    EXPECT_EQ(v, 0);
  }
  EXPECT_TRUE(repo->HasChanged());
  EXPECT_EQ(repo->CheckUnchanged().code(), Result::kChangedOnDisk);
  const Result valid = repo->Validate();
  EXPECT_EQ(valid.code(), Result::kChangedOnDisk);
  EXPECT_EQ(valid.message(), path + ": file changed since it was opened");
}

TEST(PublicApiTest, ValidationNamesTheFirstFault) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("bad.rtm");
  std::string bytes = wqtest::ReadFile(wqtest::SampleRepository());
  bytes[bytes.size() - 3] ^= 0x55;  // in the heap
  wqtest::WriteFile(path, bytes);
  std::unique_ptr<Repository> repo = OpenOrDie(path);
  const Result r = repo->Validate();
  EXPECT_EQ(r.code(), Result::kDamaged);
  EXPECT_EQ(r.message().rfind(path + ": checksum mismatch in heap", 0), 0u) << r.message();
}

// Classes and members named by number, in an order and with gaps no index
// would have; then read back the same way.
TEST(PublicApiTest, WriterTakesTheNumbersReadersUse) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("w.rtm");
  wqstore::Writer w;
  ASSERT_TRUE(w.AddClass("Shelf", 70).ok());
  ASSERT_TRUE(w.AddClass("Box", 5, 99).ok());
  ASSERT_TRUE(w.AddMember(5, "label", 9, DataType::kString, true).ok());
  ASSERT_TRUE(w.AddMember(5, "weight", 2, DataType::kDouble, false).ok());
  ASSERT_TRUE(w.AddMember(5, "shelf", 4, DataType::kReference, true).ok());
  ASSERT_TRUE(w.AddMember(5, "raw", 7, DataType::kBlob, false).ok());
  ASSERT_TRUE(w.AddMember(70, "row", 3, DataType::kChar, false).ok());
  ObjectId shelf, box;
  ASSERT_TRUE(w.AddObject(70, &shelf).ok());
  ASSERT_TRUE(w.SetChar(shelf, 3, 'B').ok());
  ASSERT_TRUE(w.AddObject(5, &box).ok());
  ASSERT_TRUE(w.AddObject(5, nullptr).ok());
  EXPECT_EQ(box, (ObjectId{5, 0}));
  ASSERT_TRUE(w.SetString(box, 9, "tools").ok());
  ASSERT_TRUE(w.SetDouble(box, 2, 1.5).ok());
  ASSERT_TRUE(w.SetReference(box, 4, shelf).ok());
  ASSERT_TRUE(w.SetBlob(box, 7, std::string("\0\1", 2)).ok());
  EXPECT_EQ(w.object_count(5), 2);
  struct Case {
    const char* what;
    Result got;
    Result::Code code;
  };
  const Case refused[] = {
      {"no such class", w.AddObject(6, nullptr), Result::kNotFound},
      {"no such member", w.SetInt(box, 1, 3), Result::kNotFound},
      {"index, not number", w.SetDouble(box, 1, 2.0), Result::kNotFound},
      {"no such object", w.SetDouble(ObjectId{5, 9}, 2, 2.0), Result::kNotFound},
      {"int into a double", w.SetInt(box, 2, 3), Result::kTypeMismatch},
      {"null into a double", w.SetNull(box, 2), Result::kTypeMismatch},
      {"reference not added", w.SetReference(box, 4, ObjectId{70, 3}), Result::kNotFound},
      {"number taken", w.AddClass("Other", 70), Result::kInvalidArgument},
      {"member number taken", w.AddMember(70, "col", 3, DataType::kInt, false),
       Result::kInvalidArgument},
  };
  for (const Case& c : refused)
    EXPECT_EQ(c.got.code(), c.code) << c.what << ": " << c.got.ToString();
  std::string image;
  ASSERT_TRUE(w.Serialize(&image).ok());
  const Result committed = w.Commit(path);
  ASSERT_TRUE(committed.ok()) << committed.ToString();
  EXPECT_TRUE(wqtest::ReadFile(path) == image);

  std::unique_ptr<Repository> repo = OpenOrDie(path);
  ASSERT_TRUE(repo->Validate().ok());
  Object b;
  ASSERT_TRUE(repo->GetObject(box, &b).ok());
  std::optional<std::string_view> label;
  double weight;
  std::optional<ObjectId> on;
  std::string_view raw;
  ASSERT_TRUE(b.GetString(9, &label).ok());
  ASSERT_TRUE(b.GetDouble(2, &weight).ok());
  ASSERT_TRUE(b.GetReference(4, &on).ok());
  ASSERT_TRUE(b.GetBlob(7, &raw).ok());
  EXPECT_EQ(label, std::optional<std::string_view>("tools"));
  EXPECT_EQ(weight, 1.5);
  EXPECT_EQ(on, std::optional<ObjectId>(shelf));
  EXPECT_EQ(raw, std::string_view("\0\1", 2));
  ClassDef boxes;
  ASSERT_TRUE(repo->FindClassByNumber(5, &boxes).ok());
  EXPECT_EQ(boxes.object_size(), 99);
  EXPECT_EQ(boxes.object_count(), 2);

  // A commit that cannot be written says so and leaves nothing.
  wqstore::Writer again;
  const Result cannot = again.Commit(folder.File("no/such/x.rtm"));
  EXPECT_EQ(cannot.code(), Result::kIoError);
  EXPECT_EQ(cannot.message().rfind("cannot write " + folder.File("no/such/x.rtm") + ": ", 0), 0u);
}

}  // namespace
