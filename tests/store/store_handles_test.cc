// Object handles one pointer wide: the class found from the record's
// address with several repositories open, after one closes and another
// takes its place, from several threads; big object lists; and validation
// of a heap bigger than the read window, by default and small buffers.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "repository/store_api.h"
#include "store/checksums.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/validator.h"
#include "store/writer.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using wqtest::WriteFile;

static_assert(sizeof(awq_Object) == sizeof(void*), "an object handle is one pointer");

// Class `number` "K<number>" with `count` objects: a string "<tag><i>", an
// int i * number, and a reference to the previous object (the first one's
// is unset). A second class "Other" holds one object, so that records of
// two classes lie next to each other.
std::string Build(int number, uint32_t count, const std::string& tag) {
  wqtest::CheckedWriter w;
  const uint32_t k = w.AddClass("K" + std::to_string(number), number);
  w.AddMember(k, "s", 1, wqTypeString, true);
  w.AddMember(k, "i", 2, wqTypeInt, true);
  w.AddMember(k, "prev", 3, wqTypeObjectRef, true);
  const uint32_t other = w.AddClass("Other", number + 1);
  w.AddMember(other, "d", 1, wqTypeDouble, true);
  for (uint32_t i = 0; i < count; i++) {
    ObjectRef o = w.AddObject(k);
    w.SetString(o, 0, tag + std::to_string(i));
    w.SetInt(o, 1, static_cast<int32_t>(i) * number);
    if (i > 0) w.SetRef(o, 2, ObjectRef{k, i - 1});
  }
  w.SetDouble(w.AddObject(other), 0, number + 0.5);
  return w.Serialize();
}

// Reads every object of class `number` as Build wrote it.
void ExpectObjects(const awq_Database& db, int number, uint32_t count, const std::string& tag) {
  awq_autovector<awq_Object> objs = db.FindObjects(number);
  ASSERT_EQ(objs.size(), static_cast<int32_t>(count));
  const awq_Class cls = db.FindClassDef(("K" + std::to_string(number)).c_str());
  for (uint32_t i = 0; i < count; i++) {
    const awq_Object& o = objs[static_cast<int32_t>(i)];
    ASSERT_EQ(o.class_handle(), cls.handle()) << i;
    ASSERT_STREQ(o.GetStringProperty(1), (tag + std::to_string(i)).c_str());
    ASSERT_EQ(o.GetIntProperty(2), static_cast<int32_t>(i) * number);
    const awq_Object prev = o.GetObjectRefProperty(3);
    ASSERT_EQ(prev.IsEmpty(), i == 0);
    if (i > 0) {
      ASSERT_EQ(prev.record(), objs[static_cast<int32_t>(i - 1)].record());
    }
    // Wrong member numbers and types read as empty on a found class.
    ASSERT_EQ(o.GetDoubleProperty(2), 0.0);
    ASSERT_EQ(o.GetStringProperty(4), nullptr);
  }
  awq_autovector<awq_Object> other = db.FindObjects(number + 1);
  ASSERT_EQ(other.size(), 1);
  EXPECT_EQ(other[0].GetDoubleProperty(1), number + 0.5);
  EXPECT_NE(other[0].class_handle(), cls.handle());
}

TEST(StoreHandlesTest, EmptyHandleReadsEmpty) {
  const awq_Object none;
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_EQ(none.class_handle(), nullptr);
  EXPECT_EQ(none.GetStringProperty(1), nullptr);
  EXPECT_EQ(none.GetIntProperty(1), 0);
  int32_t size = 7;
  const unsigned char* data = nullptr;
  none.GetBlobProperty(1, size, data);
  EXPECT_EQ(size, 7);
  EXPECT_TRUE(none.GetObjectRefProperty(1).IsEmpty());
}

TEST(StoreHandlesTest, SeveralRepositoriesAtOnce) {
  const wqtest::TempFolder folder;
  const std::string a = folder.File("a.rtm"), b = folder.File("b.rtm");
  WriteFile(a, Build(10, 300, "a"));
  WriteFile(b, Build(20, 200, "b"));
  awq_Database da, dbb;
  ASSERT_NE(da.Open(a.c_str(), omReadOnly, 0, false), nullptr);
  ASSERT_NE(dbb.Open(b.c_str(), omReadOnly, 0, false), nullptr);
  // Alternating between the two files and their classes misses the cache
  // on every read.
  awq_autovector<awq_Object> oa = da.FindObjects(10), ob = dbb.FindObjects(20);
  awq_autovector<awq_Object> xa = da.FindObjects(11);
  for (int32_t i = 0; i < 200; i++) {
    EXPECT_EQ(oa[i].GetIntProperty(2), i * 10);
    EXPECT_EQ(xa[0].GetDoubleProperty(1), 10.5);
    EXPECT_EQ(ob[i].GetIntProperty(2), i * 20);
  }
  ExpectObjects(da, 10, 300, "a");
  ExpectObjects(dbb, 20, 200, "b");
}

// Closing a repository invalidates every thread's cached class: the next
// file, likely mapped at the same address with other classes there, reads
// right.
TEST(StoreHandlesTest, ReopenedDatabaseReadsTheNewFile) {
  const wqtest::TempFolder folder;
  const std::string a = folder.File("c.rtm"), b = folder.File("d.rtm");
  WriteFile(a, Build(30, 100, "first"));
  WriteFile(b, Build(40, 100, "other"));
  awq_Database db;
  for (int round = 0; round < 3; round++) {
    ASSERT_NE(db.Open(a.c_str(), omReadOnly, 0, false), nullptr);
    ExpectObjects(db, 30, 100, "first");
    ASSERT_NE(db.Open(b.c_str(), omReadOnly, 0, false), nullptr);
    ExpectObjects(db, 40, 100, "other");
  }
}

TEST(StoreHandlesTest, ThreadsReadTheirOwnRepositories) {
  const wqtest::TempFolder folder;
  std::vector<std::string> paths;
  for (int t = 0; t < 4; t++) {
    paths.push_back(folder.File("t" + std::to_string(t) + ".rtm"));
    WriteFile(paths.back(), Build(50 + 2 * t, 150, "t" + std::to_string(t) + "-"));
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++) {
    threads.emplace_back([t, &paths] {
      for (int round = 0; round < 5; round++) {
        awq_Database db;
        ASSERT_NE(db.Open(paths[t].c_str(), omReadOnly, 0, false), nullptr);
        ExpectObjects(db, 50 + 2 * t, 150, "t" + std::to_string(t) + "-");
      }
    });
  }
  for (std::thread& th : threads) th.join();
}

// A list of more than 4 MiB of handles comes from its own mapping; the
// strings make a heap several times the validation's read window.
TEST(StoreHandlesSlow, BigListAndHeapBeyondTheWindow) {
  const wqtest::TempFolder folder;
  const std::string path = folder.File("big.rtm");
  const uint32_t n = 700000;
  std::string img = Build(60, n, "a long enough string number ");
  WriteFile(path, img);
  {
    awq_Database db;
    ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
    awq_autovector<awq_Object> objs = db.FindObjects(60);
    ASSERT_EQ(objs.size(), static_cast<int32_t>(n));
    EXPECT_EQ(objs[0].GetIntProperty(2), 0);
    EXPECT_EQ(objs[n - 1].GetIntProperty(2), static_cast<int32_t>(n - 1) * 60);
    EXPECT_STREQ(objs[n - 1].GetStringProperty(1),
                 ("a long enough string number " + std::to_string(n - 1)).c_str());
    EXPECT_EQ(objs[n - 1].GetObjectRefProperty(3).record(), objs[n - 2].record());
    EXPECT_NO_THROW(db.ValidateRepository());
  }
  // A bad byte in a string near the end of the heap, found alike with the
  // default buffers and with small ones that drop most of the window.
  const uint64_t heap = DecodeFixed64(&img[format::kHeaderHeapOffset]);
  img[img.size() - 20] = '\xFF';
  RecomputeChecksums(&img, Checksums::kAll);
  WriteFile(path, img);
  awq_Database db;
  ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
  std::string expected;
  try {
    db.ValidateRepository();
  } catch (const awq_StoreError& e) {
    expected = e.what();
  }
  EXPECT_NE(expected.find("invalid UTF-8"), std::string::npos) << expected;
  EXPECT_GT(img.size() - heap, size_t{16} << 20);
  for (const ValidateBuffers& b :
       {ValidateBuffers{4096, 8192, 1024, 2048}, ValidateBuffers{100000, 65536, 4096, 0}}) {
    EXPECT_EQ(Validate(*db.reader(), path, b).message(), expected);
  }
}

}  // namespace
}  // namespace wqstore
