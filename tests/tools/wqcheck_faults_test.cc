// Tests of wqcheck's verdict on damaged files: every kind of fault the
// validator knows, made by changing bytes in each section of a copy of the
// sample, with and without the checksums recomputed, each with its exact
// message and exit status; --quick on data damage, and several files at
// once.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "store/checksums.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/reader.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using namespace wqstore::format;
using wqstore::Checksums;
using wqstore::DecodeFixed32;
using wqstore::DecodeFixed64;
using wqstore::EncodeFixed32;
using wqstore::EncodeFixed64;
using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kCheck = WQCHECK_PATH;

ToolResult Check(const std::string& args) { return RunTool(Quote(kCheck) + " " + args); }

// Where things lie in the sample repository.
struct Layout {
  std::string image;
  uint64_t size = 0, heap = 0, heap_length = 0;
  uint32_t classes = 0, members = 0;
  std::vector<uint64_t> data;  // per class index

  Layout() {
    image = ReadFile(wqtest::SampleRepository());
    std::unique_ptr<wqstore::Reader> r;
    EXPECT_TRUE(wqstore::Reader::Open(wqtest::SampleRepository(), &r).ok());
    size = image.size();
    heap = r->heap_offset();
    heap_length = r->heap_length();
    classes = r->class_count();
    members = static_cast<uint32_t>(r->members().size());
    for (const wqstore::ClassInfo& c : r->classes()) data.push_back(c.data_offset);
  }
  size_t ClassEntry(uint32_t i) const { return kHeaderSize + kPrefixSize + kClassEntrySize * i; }
  size_t MemberEntry(uint32_t i) const {
    return kHeaderSize + kPrefixSize + kClassEntrySize * classes + kMemberEntrySize * i;
  }
  size_t Names() const { return MemberEntry(members); }
  // The field at `offset` in record `object` of class index `cls`, whose
  // records are `record_size` bytes.
  size_t Field(uint32_t cls, uint32_t record_size, uint32_t object, uint32_t offset) const {
    return static_cast<size_t>(data[cls] + uint64_t{record_size} * object + offset);
  }
  // The heap offset the 8-byte field at `at` holds.
  uint64_t HeapRef(size_t at) const { return DecodeFixed64(image.data() + at); }
};

// The sample's classes by index: 0 Supplier (10; record 36: code int 0,
// rating double 4, name string 12 not null, city 20, country 28), 2 Part
// (12; record 45: partNo 0, weight 4, name 12, supplier ref 20, grade 28,
// drawing blob 29, storedAt ref 37), 4 AssemblyLine (31; assembly ref 0
// not null).
struct FaultCase {
  const char* what;
  std::function<void(const Layout&, std::string*)> damage;
  int recompute;  // -1 none, else a Checksums value
  std::function<std::string(const Layout&)> message;
};

std::vector<FaultCase> FaultCases() {
  const int kNone = -1, kTables = static_cast<int>(Checksums::kHeaderAndDirectory),
            kAll = static_cast<int>(Checksums::kAll);
  auto fixed = [](std::string m) { return [m](const Layout&) { return m; }; };
  return {
      {"magic", [](const Layout&, std::string* f) { (*f)[1] = 'X'; }, kNone,
       fixed("not a repository file (bad magic)")},
      {"header field", [](const Layout&, std::string* f) { (*f)[kHeaderFileSize] ^= 1; }, kNone,
       fixed("header checksum mismatch")},
      {"truncated", [](const Layout&, std::string* f) { f->pop_back(); }, kNone,
       [](const Layout& l) {
         return "file size in header " + Num(l.size) + " does not match the actual size " +
                Num(l.size - 1);
       }},
      {"empty file", [](const Layout&, std::string* f) { f->clear(); }, kNone,
       fixed("file too short for a repository header (0 bytes)")},
      {"directory byte", [](const Layout& l, std::string* f) { (*f)[l.Names() + 2] ^= 1; }, kNone,
       fixed("directory checksum mismatch")},
      {"object data", [](const Layout& l, std::string* f) { (*f)[l.Field(2, 45, 3, 1)] ^= 1; },
       kNone,
       [](const Layout& l) {
         return "checksum mismatch in object data of class 12 (Part) at offset " + Num(l.data[2]);
       }},
      {"heap byte", [](const Layout& l, std::string* f) { (*f)[l.heap + 40] ^= 1; }, kNone,
       [](const Layout& l) { return "checksum mismatch in heap at offset " + Num(l.heap); }},
      {"record size",
       [](const Layout& l, std::string* f) { (*f)[l.ClassEntry(0) + kClassRecordSize] += 1; },
       kTables, fixed("class entry 0: record size 37, expected 36 from its members")},
      {"field offset",
       [](const Layout& l, std::string* f) { (*f)[l.MemberEntry(1) + kMemberFieldOffset] += 1; },
       kTables, fixed("member entry 1 (class entry 0): field offset 5, expected 4")},
      {"reserved prefix",
       [](const Layout&, std::string* f) { (*f)[kHeaderSize + kPrefixReserved32] = 1; }, kAll,
       fixed("directory: reserved field not zero")},
      {"reserved class bytes",
       [](const Layout& l, std::string* f) { (*f)[l.ClassEntry(2) + kClassReserved + 3] = 1; },
       kAll, fixed("class entry 2: reserved bytes not zero")},
      {"member flags",
       [](const Layout& l, std::string* f) { (*f)[l.MemberEntry(3) + kMemberFlags] |= 4; }, kAll,
       fixed("member entry 3: unknown flag bits set")},
      {"reserved member bytes",
       [](const Layout& l, std::string* f) { (*f)[l.MemberEntry(3) + kMemberReserved16] = 1; },
       kAll, fixed("member entry 3: reserved bytes not zero")},
      {"heap start", [](const Layout& l, std::string* f) { (*f)[l.heap + 7] = 1; }, kAll,
       fixed("heap: the first 8 bytes are not zero")},
      {"class number taken",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.ClassEntry(1) + kClassNumber], 10);
       },
       kAll, fixed("class entry 1: class number 10 is also used by class entry 0")},
      {"member number taken",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.MemberEntry(1) + kMemberNumber], 1);
       },
       kAll,
       fixed(
           "class 10 (Supplier), member entry 1: member number 1 is also used by member entry 0")},
      {"control character in a name",
       [](const Layout& l, std::string* f) {
         (*f)[l.Names() + DecodeFixed32(f->data() + l.ClassEntry(0) + kClassNameOffset)] = 1;
       },
       kAll, fixed("class entry 0: name control character at byte 0")},
      {"string offset",
       [](const Layout& l, std::string* f) {
         EncodeFixed64(&(*f)[l.Field(0, 36, 0, 12)], l.heap_length);
       },
       kAll,
       [](const Layout& l) {
         return "object 0 of class 10 (Supplier), member 3 (name): string offset " +
                Num(l.heap_length) + " out of heap bounds";
       }},
      {"null in a required string",
       [](const Layout& l, std::string* f) { EncodeFixed64(&(*f)[l.Field(0, 36, 1, 12)], 0); },
       kAll,
       fixed("object 1 of class 10 (Supplier), member 3 (name): null string in a member that "
             "does not allow null")},
      {"invalid UTF-8",
       [](const Layout& l, std::string* f) {
         (*f)[l.heap + l.HeapRef(l.Field(0, 36, 2, 12)) + 4 + 1] = '\xFF';
       },
       kAll,
       [](const Layout& l) {
         return "object 2 of class 10 (Supplier), member 3 (name): string at heap offset " +
                Num(l.HeapRef(l.Field(0, 36, 2, 12))) + ": invalid UTF-8 at byte 1";
       }},
      {"NUL in a string",
       [](const Layout& l, std::string* f) {
         (*f)[l.heap + l.HeapRef(l.Field(0, 36, 2, 12)) + 4 + 3] = 0;
       },
       kAll,
       [](const Layout& l) {
         return "object 2 of class 10 (Supplier), member 3 (name): string at heap offset " +
                Num(l.HeapRef(l.Field(0, 36, 2, 12))) + ": NUL byte at byte 3";
       }},
      {"string without its NUL",
       [](const Layout& l, std::string* f) {
         const uint64_t off = l.heap + l.HeapRef(l.Field(0, 36, 3, 12));
         (*f)[off + 4 + DecodeFixed32(f->data() + off)] = 'x';
       },
       kAll,
       [](const Layout& l) {
         return "object 3 of class 10 (Supplier), member 3 (name): string at heap offset " +
                Num(l.HeapRef(l.Field(0, 36, 3, 12))) + " is not NUL-terminated";
       }},
      {"string past the heap",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.heap + l.HeapRef(l.Field(0, 36, 4, 12))], 1u << 30);
       },
       kAll,
       [](const Layout& l) {
         return "object 4 of class 10 (Supplier), member 3 (name): string at heap offset " +
                Num(l.HeapRef(l.Field(0, 36, 4, 12))) +
                " with length 1073741824 runs past the "
                "end of the heap";
       }},
      {"reference to a missing class",
       [](const Layout& l, std::string* f) { EncodeFixed32(&(*f)[l.Field(2, 45, 0, 20)], 200); },
       kAll,
       fixed("object 0 of class 12 (Part), member 5 (supplier): reference to class index 200 out "
             "of range (8 classes)")},
      {"reference to a missing object",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.Field(2, 45, 1, 20)], 0);
         EncodeFixed32(&(*f)[l.Field(2, 45, 1, 24)], 999);
       },
       kAll,
       fixed("object 1 of class 12 (Part), member 5 (supplier): reference to object 999 of class "
             "10 (Supplier), which has 8 objects")},
      {"half-unset reference",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.Field(2, 45, 2, 20)], 0xFFFFFFFFu);
         EncodeFixed32(&(*f)[l.Field(2, 45, 2, 24)], 0);
       },
       kAll,
       fixed("object 2 of class 12 (Part), member 5 (supplier): unset reference with object "
             "index 0")},
      {"unset required reference",
       [](const Layout& l, std::string* f) {
         EncodeFixed64(&(*f)[l.Field(4, 28, 0, 0)], ~uint64_t{0});
       },
       kAll,
       fixed("object 0 of class 31 (AssemblyLine), member 1 (assembly): unset reference in a "
             "member that does not allow null")},
      {"blob offset",
       [](const Layout& l, std::string* f) { EncodeFixed64(&(*f)[l.Field(2, 45, 0, 29)], 3); },
       kAll,
       fixed("object 0 of class 12 (Part), member 7 (drawing): blob offset 3 out of heap bounds")},
      {"blob past the heap",
       [](const Layout& l, std::string* f) {
         EncodeFixed32(&(*f)[l.heap + l.HeapRef(l.Field(2, 45, 0, 29))], 0x7FFFFFF0u);
       },
       kAll,
       [](const Layout& l) {
         return "object 0 of class 12 (Part), member 7 (drawing): blob at heap offset " +
                Num(l.HeapRef(l.Field(2, 45, 0, 29))) +
                " with length 2147483632 runs past the "
                "end of the heap";
       }},
  };
}

TEST(WqcheckFaults, EveryKindOfFault) {
  const Layout layout;
  TempFolder t;
  for (const FaultCase& c : FaultCases()) {
    std::string image = layout.image;
    c.damage(layout, &image);
    if (c.recompute >= 0) RecomputeChecksums(&image, static_cast<Checksums>(c.recompute));
    const std::string path = t.File("damaged.rtm");
    wqtest::WriteFile(path, image);
    const ToolResult r = Check(Quote(path));
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, path + ": " + c.message(layout) + "\n") << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

// A class whose records are padding bytes, which must be 0.
TEST(WqcheckFaults, PaddingByte) {
  TempFolder t;
  const std::string path = t.File("p.rtm");
  ASSERT_EQ(wqtest::MakeRepository(R"({"classes": [{"name": "P", "objects": [{}, {}]}]})", path),
            "");
  std::string image = ReadFile(path);
  std::unique_ptr<wqstore::Reader> r;
  ASSERT_TRUE(wqstore::Reader::Open(path, &r).ok());
  image[r->class_at(0).data_offset + 1] = 1;
  r.reset();
  RecomputeChecksums(&image, Checksums::kAll);
  wqtest::WriteFile(path, image);
  const ToolResult c = Check(Quote(path));
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, path + ": object 1 of class 1 (P): padding byte is not 0\n");
}

// --quick reads the header and the directory only; several files give a
// line each, in order, and the status of the worst.
TEST(WqcheckFaults, QuickAndSeveralFiles) {
  const Layout layout;
  TempFolder t;
  std::string heap_damage = layout.image;
  heap_damage[layout.heap + 40] ^= 1;
  wqtest::WriteFile(t.File("heap.rtm"), heap_damage);
  std::string header_damage = layout.image;
  header_damage[kHeaderFileSize] ^= 1;
  wqtest::WriteFile(t.File("header.rtm"), header_damage);
  const std::string sample = wqtest::SampleRepository();
  const std::string ok = " ok (8 classes, 102 objects, " + Num(layout.size) + " bytes)\n";

  ToolResult r = Check("--quick " + Quote(t.File("heap.rtm")));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, t.File("heap.rtm") + ":" + ok);
  r = Check("--quick " + Quote(t.File("header.rtm")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, t.File("header.rtm") + ": header checksum mismatch\n");

  r = Check(Quote(sample) + " " + Quote(t.File("heap.rtm")) + " " + Quote(t.File("none.rtm")) +
            " " + Quote(t.path()) + " - <" + Quote(sample));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, sample + ":" + ok + t.File("heap.rtm") +
                       ": checksum mismatch in heap at offset " + Num(layout.heap) + "\n" +
                       t.File("none.rtm") + ": cannot open file: No such file or directory\n" +
                       t.path() + ": cannot open file: Is a directory\n-:" + ok);
  EXPECT_EQ(r.err, "");
}

}  // namespace
