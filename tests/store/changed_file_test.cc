// A repository file that changes while it is open: what counts as a change,
// reads of a file cut short after Open (zeros, never SIGBUS), and
// validation of a file that changes before or while it runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "repository/store_api.h"
#include "store/reader.h"
#include "store/validator.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using wqtest::ReadFile;
using wqtest::TempFolder;
using wqtest::WriteFile;

// A file of many pages with every section on pages of its own: 200 classes
// of three members (the directory and names take some 30 KB), a class
// without stored values whose padding records the validator reads through
// the mapping, and `objects` objects with strings in the heap.
std::string ManyPages(const std::string& tag, int objects) {
  wqtest::CheckedWriter w;
  for (int i = 0; i < 200; i++) {
    const uint32_t c = w.AddClass(tag + "Class" + std::to_string(i), i + 1);
    w.AddMember(c, "name", 3, wqTypeString, true);
    w.AddMember(c, "n", 4, wqTypeInt, true);
    w.AddMember(c, "next", 5, wqTypeObjectRef, true);
  }
  const uint32_t pad = w.AddClass("Padding", 1000);
  for (int i = 0; i < 9000; i++) w.AddObject(pad);
  for (int i = 0; i < objects; i++) {
    const ObjectRef o = w.AddObject(static_cast<uint32_t>(i % 200));
    w.SetString(o, 0, tag + " object " + std::to_string(i) + std::string(i % 50, '.'));
    w.SetInt(o, 1, i);
    w.SetRef(o, 2, ObjectRef{0, 0});
  }
  return w.Serialize();
}

// Reads every name, member and value the database lists; returns the sum of
// the lengths and numbers read.
size_t ReadEverything(const awq_Database& db) {
  size_t sink = 0;
  for (const awq_Class& c : db.GetClassDefs()) {
    sink += std::strlen(c.GetName());
    awq_autovector<awq_ClassProperty> members = c.GetMembers();
    for (const awq_ClassProperty& m : members) sink += std::strlen(m.GetName());
    for (const awq_Object& o : db.FindObjects(c.GetClassNumber())) {
      if (const char* s = o.GetStringProperty(3)) sink += std::strlen(s);
      sink += static_cast<size_t>(o.GetIntProperty(4));
      const awq_Object next = o.GetObjectRefProperty(5);
      if (!next.IsEmpty() && next.GetStringProperty(3) != nullptr) sink++;
    }
    db.FindClassDef(c.GetName());
  }
  return sink;
}

// The message ValidateRepository throws, or "" when it returns.
std::string ValidationError(const awq_Database& db) {
  try {
    db.ValidateRepository();
  } catch (const awq_StoreError& e) {
    return e.what();
  }
  return "";
}

void SetModificationTime(const std::string& path, time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ChangedFile, WhatCountsAsAChange) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  const std::string image = ManyPages("A", 2000);
  const std::string other = ManyPages("B", 2000);  // same size, other bytes
  ASSERT_EQ(image.size(), other.size());
  struct Case {
    const char* name;
    std::function<void()> change;
    bool changed;
  };
  const Case cases[] = {
      {"nothing", [] {}, false},
      {"replaced by rename",
       [&] {
         WriteFile(path + ".new", other);
         ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
       },
       false},
      {"cut to 0 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 0), 0); }, true},
      {"cut to 4096 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 4096), 0); }, true},
      {"cut by 100 bytes",
       [&] { ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(image.size() - 100)), 0); }, true},
      {"grown by a byte",
       [&] { ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(image.size() + 1)), 0); }, true},
      {"overwritten in place", [&] { WriteFile(path, other); }, true},
      {"modification time only", [&] { SetModificationTime(path, 1000000000); }, true},
      {"overwritten in place, times put back",
       [&] {
         struct stat st;
         ASSERT_EQ(stat(path.c_str(), &st), 0);
         WriteFile(path, other);
         const timespec times[2] = {st.st_atim, st.st_mtim};
         ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
       },
       true},
      {"permissions changed", [&] { ASSERT_EQ(chmod(path.c_str(), 0600), 0); }, true},
      {"linked under another name",
       [&] { ASSERT_EQ(link(path.c_str(), (path + ".link").c_str()), 0); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((path + ".link").c_str());
    WriteFile(path, image);
    awq_Database db;
    ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
    EXPECT_FALSE(db.HasFileChanged());
    c.change();
    EXPECT_EQ(db.HasFileChanged(), c.changed);
    ReadEverything(db);
    EXPECT_EQ(db.HasFileChanged(), c.changed);
    EXPECT_EQ(ValidationError(db),
              c.changed ? "repository " + path + ": file changed since it was opened" : "");
    if (!c.changed) {
      EXPECT_FALSE(db.FindClassDef("AClass7").IsEmpty());  // still the old file
    }
  }
  awq_Database none;
  EXPECT_FALSE(none.HasFileChanged());
}

// Cut after Open at every kind of place the mapping is read: the header,
// the directory and names, the object data, the heap. Every read through
// the mapping then sees zeros past the cut instead of raising SIGBUS, and
// the validator's pass (here without the check of the change before it)
// finishes with some fault; through the database the change is the fault.
TEST(ChangedFile, ReadsOfAFileCutShortSeeZeros) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  const std::string image = ManyPages("A", 20000);
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  ASSERT_GT(image.size(), 40 * page);
  const ValidateBuffers buffers[] = {ValidateBuffers(), {1024, 4096, 256, 1024}};
  WriteFile(path, image);
  size_t whole = 0;
  {
    awq_Database db;
    ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
    whole = ReadEverything(db);
  }
  for (size_t cut : {size_t{0}, page, 3 * page, image.size() / 2, image.size() - 10 * page,
                     image.size() - page - 1}) {
    for (const ValidateBuffers& b : buffers) {
      SCOPED_TRACE("cut to " + std::to_string(cut) + " bytes, heap window " +
                   std::to_string(b.heap));
      WriteFile(path, image);
      awq_Database db;
      ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
      ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
      EXPECT_FALSE(Validate(*db.reader(), path, b).ok());
      // Zeros stand for what was cut: no text grows, no number either.
      EXPECT_LE(ReadEverything(db), whole);
      const MappedFile& file = db.reader()->file();
      EXPECT_EQ(std::count(file.data() + cut, file.data() + file.size(), 0),
                static_cast<ptrdiff_t>(file.size() - cut));
      EXPECT_TRUE(db.HasFileChanged());
      EXPECT_EQ(ValidationError(db), "repository " + path + ": file changed since it was opened");
    }
  }
}

// The file cut while ValidateRepository runs: the change is reported as
// such, never as the damage it leaves behind, and never by SIGBUS.
TEST(ChangedFile, CutWhileValidating) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  const std::string image = ManyPages("A", 400000);
  const std::string changed = "repository " + path + ": file changed ";
  int during = 0;
  for (int attempt = 0; attempt < 12 && during < 3; attempt++) {
    for (size_t cut : {size_t{0}, size_t{4096}, image.size() / 2}) {
      WriteFile(path, image);
      awq_Database db;
      ASSERT_NE(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
      std::atomic<bool> started{false};
      std::thread cutter([&] {
        while (!started.load()) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (attempt + 1)));
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
      });
      started.store(true);
      const std::string error = ValidationError(db);
      cutter.join();
      // Done before the cut, or the cut came first, or it came while it ran.
      if (error.empty()) continue;
      EXPECT_EQ(error.rfind(changed, 0), 0u) << error;
      during += error == changed + "while it was validated";
    }
  }
  EXPECT_GT(during, 0) << "no cut landed during a validation";
}

}  // namespace
}  // namespace wqstore
