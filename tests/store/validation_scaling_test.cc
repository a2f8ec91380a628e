// Validation whose work follows the file's size: what a sound file costs
// to validate is counted in bytes allocated, which a text built per entry
// (a label naming the class for every member) would multiply; and the
// uniqueness checks, which sort instead of hashing, report the same first
// fault in entry order.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "repository/store_api.h"
#include "store/checksums.h"
#include "store/coding.h"
#include "store/format.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using namespace format;
using wqtest::CheckedWriter;

// Bytes allocated by ValidateRepository of the file, which must be sound.
size_t AllocatedByValidation(const std::string& path) {
  awq_Database db;
  EXPECT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
  wqtest::StartCountingAllocations();
  EXPECT_NO_THROW(db.ValidateRepository());
  return wqtest::StopCountingAllocations();
}

TEST(ValidationScaling, AllocationFollowsTheFileSize) {
  const wqtest::TempFolder folder;
  const std::string path = folder.File("r.rtm");
  struct Case {
    const char* name;
    int classes;
    int members;  // per class
    size_t name_length;
  };
  const Case cases[] = {
      {"a long class name and many members", 1, 4000, 64 * 1024},
      {"many classes", 20000, 2, 8},
      {"many classes with long names", 2000, 3, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckedWriter w;
    for (int k = 0; k < c.classes; k++) {
      std::string name = "C" + std::to_string(k);
      name.resize(c.name_length, 'x');
      const uint32_t cls = w.AddClass(name, k);
      for (int m = 0; m < c.members; m++) {
        w.AddMember(cls, "m" + std::to_string(m), m, m % 2 ? wqTypeString : wqTypeInt, true);
      }
      const ObjectRef o = w.AddObject(cls);
      if (c.members > 1) w.SetString(o, 1, "value");
    }
    w.Commit(path);
    const size_t size = wqtest::ReadFile(path).size();
    // The read buffers are no bigger than the file; the rest is a few
    // words per entry, far less than the entries take in the file.
    EXPECT_LT(AllocatedByValidation(path), 2 * size + 64 * 1024) << size << " bytes of file";
  }
}

// Class entries "Alpha", "Beta", "Gamma", "Delta" numbered 1 to 4, each
// with members "a" to "d" numbered 1 to 4, patched, checksums made to match.
TEST(ValidationScaling, UniquenessFaultsInEntryOrder) {
  const wqtest::TempFolder folder;
  const std::string path = folder.File("r.rtm");
  CheckedWriter w;
  for (const char* name : {"Alpha", "Beta_", "Gamma", "Delta"}) {
    const uint32_t c = w.AddClass(name, static_cast<int32_t>(w.writer().class_count()) + 1);
    for (const char* m : {"ma", "mb", "mc", "md"}) {
      w.AddMember(c, m, static_cast<int32_t>(m[1] - 'a' + 1), wqTypeInt, true);
    }
  }
  const std::string image = w.Serialize();
  auto class_number = [](uint32_t i) { return kHeaderSize + kPrefixSize + kClassEntrySize * i; };
  auto member_number = [](uint32_t i) {
    return kHeaderSize + kPrefixSize + kClassEntrySize * 4 + kMemberEntrySize * i;
  };
  auto rename = [](std::string* img, const std::string& from, const std::string& to) {
    img->replace(img->find(from + '\0'), from.size(), to);
  };
  struct Case {
    std::string expect;
    std::function<void(std::string*)> patch;
  };
  const Case cases[] = {
      {"class entry 2: class name Alpha is also used by class entry 0",
       [&](std::string* i) { rename(i, "Gamma", "Alpha"); }},
      {"class entry 3: class number 2 is also used by class entry 1",
       [&](std::string* i) { EncodeFixed32(&(*i)[class_number(3)], 2); }},
      // The earlier entry's fault is the one reported, whatever its kind.
      {"class entry 2: class number 1 is also used by class entry 0",
       [&](std::string* i) {
         EncodeFixed32(&(*i)[class_number(2)], 1);
         rename(i, "Delta", "Alpha");
       }},
      {"class entry 2: class name Beta_ is also used by class entry 1",
       [&](std::string* i) {
         rename(i, "Gamma", "Beta_");
         EncodeFixed32(&(*i)[class_number(3)], 1);
       }},
      {"class entry 1: name blank character U+0020 at byte 4",
       [&](std::string* i) {
         rename(i, "Beta_", "Beta ");
         EncodeFixed32(&(*i)[class_number(3)], 1);
       }},
      // Among several repeats, the first entry that repeats an earlier one.
      {"class entry 2: class number 2 is also used by class entry 1",
       [&](std::string* i) {
         EncodeFixed32(&(*i)[class_number(3)], 1);
         EncodeFixed32(&(*i)[class_number(2)], 2);
       }},
      {"class 3 (Gamma), member entry 11: member number 1 is also used by member entry 8",
       [&](std::string* i) { EncodeFixed32(&(*i)[member_number(11)], 1); }},
      {"class 2 (Beta_), member entry 6: member name ma is also used by member entry 4",
       [&](std::string* i) {
         const size_t names = i->find(std::string("Beta_") + '\0');
         i->replace(i->find(std::string("mc") + '\0', names), 2, "ma");
       }},
  };
  for (const Case& c : cases) {
    std::string img = image;
    c.patch(&img);
    RecomputeChecksums(&img, Checksums::kAll);
    wqtest::WriteFile(path, img);
    awq_Database db;
    ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr) << c.expect;
    try {
      db.ValidateRepository();
      ADD_FAILURE() << "validated: " << c.expect;
    } catch (const awq_StoreError& e) {
      EXPECT_EQ(std::string(e.what()), "repository " + path + ": " + c.expect);
    }
  }
}

}  // namespace
}  // namespace wqstore
