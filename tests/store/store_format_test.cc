// Tests of Open and ValidateRepository on damaged files: truncation, broken
// checksums, impossible counts, every single flipped byte, and structural
// faults patched into an image whose checksums are then made to match.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "repository/store_api.h"
#include "store/checksums.h"
#include "store/coding.h"
#include "store/crc32c.h"
#include "store/format.h"
#include "store/reader.h"
#include "store/validator.h"
#include "store/writer.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using namespace format;
using wqtest::CheckedWriter;

// Supplier (7): title string 3, code int 4
// Part (12): name string 3 not null, supplier ref 4, data blob 5, grade char 6
// Tag (20): no members, two objects
std::string SampleImage() {
  CheckedWriter w;
  uint32_t s = w.AddClass("Supplier", 7, false, 0);
  w.AddMember(s, "title", 3, wqTypeString, true);
  w.AddMember(s, "code", 4, wqTypeInt, true);
  uint32_t p = w.AddClass("Part", 12, false, 0);
  w.AddMember(p, "name", 3, wqTypeString, false);
  w.AddMember(p, "supplier", 4, wqTypeObjectRef, false);
  w.AddMember(p, "data", 5, wqTypeBlob, true);
  w.AddMember(p, "grade", 6, wqTypeChar, true);
  ObjectRef s0 = w.AddObject(s);
  w.SetString(s0, 0, "Acme");
  w.SetInt(s0, 1, 5);
  ObjectRef s1 = w.AddObject(s);
  w.SetInt(s1, 1, 6);
  for (const char* name : {"bolt", "nut", "M\xC3\xBCller"}) {
    ObjectRef o = w.AddObject(p);
    w.SetString(o, 0, name);
    w.SetRef(o, 1, s0);
    w.SetBlob(o, 2, "\x01\x02\x03", 3);
    w.SetChar(o, 3, 'A');
  }
  uint32_t t = w.AddClass("Tag", 20, false, 0);
  w.AddObject(t);
  w.AddObject(t);
  return w.Serialize();
}

// Field positions inside an image.
size_t ClassEntry(uint32_t i) { return kHeaderSize + kPrefixSize + kClassEntrySize * i; }
uint32_t ClassCount(const std::string& img) {
  return DecodeFixed32(&img[kHeaderSize + kPrefixClassCount]);
}
size_t MemberEntry(const std::string& img, uint32_t i) {
  return ClassEntry(ClassCount(img)) + kMemberEntrySize * i;
}
uint64_t Heap(const std::string& img) { return DecodeFixed64(&img[kHeaderHeapOffset]); }
// Position of field `field_offset` of object `obj` of class `cls`.
size_t Field(const std::string& img, uint32_t cls, uint32_t obj, uint32_t field_offset) {
  size_t e = ClassEntry(cls);
  return DecodeFixed64(&img[e + kClassDataOffset]) +
         size_t{DecodeFixed32(&img[e + kClassRecordSize])} * obj + field_offset;
}
void Put32(std::string* img, size_t at, uint32_t v) { EncodeFixed32(&(*img)[at], v); }
void Put64(std::string* img, size_t at, uint64_t v) { EncodeFixed64(&(*img)[at], v); }

// Recomputes every checksum so that only the structural fault remains.
void Reseal(std::string* img) { RecomputeChecksums(img, Checksums::kAll); }

class StoreFormatTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("format.rtm");
    image_ = SampleImage();
  }

  void Store(const std::string& bytes) { wqtest::WriteFile(path_, bytes); }
  // The text ValidateRepository throws for these bytes, or "" when it
  // returns normally. Validation with tiny read buffers, which sends entries
  // through every path the buffered reads have (windows dropped, entries
  // behind the window or bigger than it, records bigger than the buffer),
  // must say exactly the same.
  std::string ValidationError(const std::string& bytes) {
    Store(bytes);
    awq_Database db;
    db.Open(path_.c_str(), omReadOnly, 0, false);
    std::string error;
    try {
      db.ValidateRepository();
    } catch (const awq_StoreError& e) {
      error = e.what();
    }
    if (db.reader() == nullptr) return error;
    const ValidateBuffers tiny[] = {{3, 9, 4, 0}, {7, 16, 3, 5}, {40, 64, 16, 24}, {64, 96, 8, 64}};
    for (const ValidateBuffers& b : tiny) {
      const Status small = Validate(*db.reader(), path_, b);
      EXPECT_EQ(small.message(), error)
          << "buffers " << b.data << " " << b.heap << " " << b.heap_read << " " << b.heap_keep;
    }
    return error;
  }
  bool Opens(const std::string& bytes) {
    Store(bytes);
    awq_Database db;
    return db.Open(path_.c_str(), omReadOnly, 0, false) != nullptr;
  }

  wqtest::TempFolder folder_;
  std::string path_;
  std::string image_;
};

TEST_F(StoreFormatTest, SampleIsSound) { EXPECT_EQ(ValidationError(image_), ""); }

TEST_F(StoreFormatTest, TruncatedAtEveryLength) {
  for (size_t n = 0; n < image_.size(); n++) {
    ASSERT_FALSE(Opens(image_.substr(0, n))) << "length " << n;
  }
  std::string longer = image_ + '\0';
  EXPECT_FALSE(Opens(longer));
}

TEST_F(StoreFormatTest, OpenRefusesWithReason) {
  struct Case {
    const char* expect;
    std::function<void(std::string*)> patch;
    bool reseal;
  };
  const Case cases[] = {
      {"file too short for a repository header (0 bytes)", [](std::string* i) { i->clear(); },
       false},
      {"not a repository file (bad magic)", [](std::string* i) { (*i)[1] = 'X'; }, false},
      {"unsupported format version 2", [](std::string* i) { Put32(i, kHeaderVersion, 2); }, false},
      {"header checksum mismatch", [](std::string* i) { (*i)[kHeaderFileSize] ^= 1; }, false},
      {"directory checksum mismatch", [](std::string* i) { (*i)[kHeaderSize + 40] ^= 1; }, false},
      {"header size 80, expected 64", [](std::string* i) { Put32(i, kHeaderHeaderSize, 80); },
       true},
      {"does not match the actual size", [](std::string* i) { Put64(i, kHeaderFileSize, 1 << 20); },
       true},
      {"directory offset 72", [](std::string* i) { Put64(i, kHeaderDirOffset, 72); }, true},
      {"directory length 18446744073709551615 out of bounds",
       [](std::string* i) { Put64(i, kHeaderDirLength, ~uint64_t{0}); }, true},
      {"heap length 4 is below", [](std::string* i) { Put64(i, kHeaderHeapLength, 4); }, true},
      {"does not end the file", [](std::string* i) { Put64(i, kHeaderHeapOffset, Heap(*i) + 1); },
       true},
      // Counts far beyond the bytes present are refused before any allocation.
      {"does not match 4294967295 classes",
       [](std::string* i) { Put32(i, kHeaderSize + kPrefixClassCount, 0xFFFFFFFF); }, true},
      {"does not match 3 classes, 4294967295 members",
       [](std::string* i) { Put32(i, kHeaderSize + kPrefixMemberCount, 0xFFFFFFFF); }, true},
      {"bytes of names",
       [](std::string* i) { Put64(i, kHeaderSize + kPrefixNamesLength, ~uint64_t{0}); }, true},
      {"class entry 1: object count 4294967295 exceeds the maximum",
       [](std::string* i) { Put32(i, ClassEntry(1) + kClassObjectCount, 0xFFFFFFFF); }, true},
      {"class entry 1: 2147483647 objects of 25 bytes run past the start of the heap",
       [](std::string* i) { Put32(i, ClassEntry(1) + kClassObjectCount, 0x7FFFFFFF); }, true},
      {"class entry 0: name at offset 4000",
       [](std::string* i) { Put32(i, ClassEntry(0) + kClassNameOffset, 4000); }, true},
      {"is not a NUL-terminated name",
       [](std::string* i) { Put32(i, ClassEntry(0) + kClassNameLength, 9); }, true},
      {"class entry 1: name at offset", [](std::string* i) { (*i)[i->find("Part") + 1] = 0; },
       true},
      {"member entry 0 (class entry 0): name at offset",
       [](std::string* i) { (*i)[i->find("title") + 2] = 0; }, true},
      {"class entry 1: name control character at byte 0",
       [](std::string* i) { (*i)[i->find("Part")] = '\x01'; }, true},
      {"class entry 0: empty class name",
       [](std::string* i) {
         Put32(i, ClassEntry(0) + kClassNameOffset, 8);  // the NUL after "Supplier"
         Put32(i, ClassEntry(0) + kClassNameLength, 0);
       },
       true},
      {"class entry 1: first member 3, expected 2",
       [](std::string* i) { Put32(i, ClassEntry(1) + kClassFirstMember, 3); }, true},
      {"member count 7 runs past the member table",
       [](std::string* i) { Put32(i, ClassEntry(1) + kClassMemberCount, 7); }, true},
      {"classes own 5 members, the member table holds 6",
       [](std::string* i) {
         Put32(i, ClassEntry(1) + kClassMemberCount, 3);
         Put32(i, ClassEntry(1) + kClassRecordSize, 24);
         Put32(i, ClassEntry(2) + kClassFirstMember, 5);
         Put64(i, ClassEntry(2) + kClassDataOffset,
               DecodeFixed64(&(*i)[ClassEntry(2) + kClassDataOffset]) - 3);
       },
       true},
      {"member entry 1 (class entry 0): field offset 9, expected 8",
       [](std::string* i) { Put32(i, MemberEntry(*i, 1) + kMemberFieldOffset, 9); }, true},
      {"member entry 3 (class entry 1): field offset 8, expected 0",
       [](std::string* i) { (*i)[MemberEntry(*i, 2) + kMemberType] = 7; }, true},
      {"class entry 0: record size 13, expected 12",
       [](std::string* i) { Put32(i, ClassEntry(0) + kClassRecordSize, 13); }, true},
      {"object data at offset",
       [](std::string* i) { Put64(i, ClassEntry(1) + kClassDataOffset, Heap(*i)); }, true},
      {"object data ends at offset",
       [](std::string* i) {
         Put64(i, kHeaderHeapOffset, Heap(*i) + 1);
         Put64(i, kHeaderHeapLength, DecodeFixed64(&(*i)[kHeaderHeapLength]) - 1);
       },
       true},
      // Padding records are one byte each: a claim beyond the bytes is refused.
      {"class entry 2: 16777217 objects of 1 bytes run past the start of the heap",
       [](std::string* i) { Put32(i, ClassEntry(2) + kClassObjectCount, (1u << 24) + 1); }, true},
  };
  for (const Case& c : cases) {
    std::string img = image_;
    c.patch(&img);
    if (c.reseal) Reseal(&img);
    std::string err = ValidationError(img);
    EXPECT_NE(err.find(c.expect), std::string::npos)
        << "expected: " << c.expect << "\ngot: " << err;
    EXPECT_EQ(err.rfind("no repository is open (" + path_ + ": ", 0), 0u) << err;
  }
}

// Every byte is covered by a checksum, so any single damaged byte is caught
// by Open or by ValidateRepository.
TEST_F(StoreFormatTest, EveryFlippedByteIsFound) {
  for (size_t at = 0; at < image_.size(); at++) {
    for (unsigned char mask : {0x01, 0xFF}) {
      std::string img = image_;
      img[at] = static_cast<char>(img[at] ^ mask);
      ASSERT_NE(ValidationError(img), "") << "offset " << at << " mask " << int{mask};
    }
  }
}

TEST_F(StoreFormatTest, ChecksumFaultNamesSectionAndOffset) {
  std::string img = image_;
  size_t at = Field(img, 1, 2, 0);
  img[at] ^= 1;
  EXPECT_EQ(ValidationError(img),
            "repository " + path_ +
                ": checksum mismatch in object data of class 12 (Part) at offset " +
                std::to_string(Field(img, 1, 0, 0)));
  img = image_;
  img[img.size() - 1] ^= 1;
  EXPECT_EQ(ValidationError(img), "repository " + path_ + ": checksum mismatch in heap at offset " +
                                      std::to_string(Heap(img)));

  // With a structural fault earlier in the file, the damage is still what
  // gets reported.
  img = image_;
  Put32(&img, Field(img, 1, 0, 12), 99);
  Reseal(&img);
  img[img.size() - 1] ^= 1;
  EXPECT_NE(ValidationError(img).find("checksum mismatch in heap"), std::string::npos);
}

// A bad byte at the start, middle or end of strings of many lengths, with
// the string last in the heap or followed by more entries: the text check
// reads differently in each case and must find every one.
TEST_F(StoreFormatTest, BadByteInStringsOfAnyLength) {
  for (size_t len : {1, 7, 8, 15, 16, 17, 31, 47, 48, 49, 63, 64, 65, 100, 130}) {
    for (bool last : {true, false}) {
      CheckedWriter w;
      uint32_t c = w.AddClass("S", 1);
      w.AddMember(c, "s", 1, wqTypeString, true);
      w.SetString(w.AddObject(c), 0, std::string(len, 'a'));
      if (!last) w.SetString(w.AddObject(c), 0, std::string(64, 'b'));
      const std::string good = w.Serialize();
      ASSERT_EQ(ValidationError(good), "");
      const size_t text = Heap(good) + kHeapReserved + kHeapEntryHeader;
      for (size_t pos : {size_t{0}, len / 2, len - 1}) {
        for (unsigned char bad : {0x00, 0x80, 0xFF, 0xC3}) {
          std::string img = good;
          img[text + pos] = static_cast<char>(bad);
          Reseal(&img);
          EXPECT_NE(
              ValidationError(img).find("object 0 of class 1 (S), member 1 (s): string at heap "
                                        "offset 8: "),
              std::string::npos)
              << "length " << len << " position " << pos << " byte " << int{bad};
        }
      }
      std::string img = good;  // a valid two-byte character is fine anywhere
      if (len >= 2) {
        img[text + len - 2] = '\xC3';
        img[text + len - 1] = '\xBC';
        Reseal(&img);
        EXPECT_EQ(ValidationError(img), "") << "length " << len;
      }
    }
  }
}

// Duplicate member numbers (which only a damaged or foreign file can hold)
// read as the first member in stored order, for few and for many members.
TEST_F(StoreFormatTest, DuplicateMemberNumberReadsFirst) {
  for (int members : {3, 12}) {
    CheckedWriter w;
    uint32_t c = w.AddClass("Wide", 1);
    for (int i = 0; i < members; i++)
      w.AddMember(c, "m" + std::to_string(i), i, wqTypeString, true);
    ObjectRef o = w.AddObject(c);
    for (int i = 0; i < members; i++) w.SetString(o, i, "v" + std::to_string(i));
    std::string img = w.Serialize();
    Put32(&img, MemberEntry(img, members - 1) + kMemberNumber, 1);  // last one also numbered 1
    Reseal(&img);
    EXPECT_NE(ValidationError(img).find("member number 1 is also used by member entry 1"),
              std::string::npos);
    awq_Database db;
    ASSERT_NE(db.Open(path_.c_str(), omReadOnly, 0, false), nullptr);
    awq_autovector<awq_Object> objs = db.FindObjects(1);
    ASSERT_EQ(objs.size(), 1);
    EXPECT_STREQ(objs[0].GetStringProperty(1), "v1") << members;
    EXPECT_STREQ(objs[0].GetStringProperty(members - 2),
                 ("v" + std::to_string(members - 2)).c_str());
    EXPECT_EQ(objs[0].GetStringProperty(members - 1), nullptr) << members;
  }
}

// Faults only the structural checks can see, each with the checksums made
// to match. Getters on the damaged values must still answer safely.
TEST_F(StoreFormatTest, StructuralFaults) {
  const std::string where = "object 1 of class 12 (Part), member ";
  struct Case {
    std::string expect;
    std::function<void(std::string*)> patch;
  };
  const Case cases[] = {
      {where + "4 (supplier): reference to object 99 of class 7 (Supplier), which has 2 objects",
       [](std::string* i) { Put32(i, Field(*i, 1, 1, 12), 99); }},
      {where + "4 (supplier): reference to class index 5 out of range (3 classes)",
       [](std::string* i) { Put32(i, Field(*i, 1, 1, 8), 5); }},
      {where + "4 (supplier): unset reference in a member that does not allow null",
       [](std::string* i) { Put64(i, Field(*i, 1, 1, 8), ~uint64_t{0}); }},
      {where + "3 (name): null string in a member that does not allow null",
       [](std::string* i) { Put64(i, Field(*i, 1, 1, 0), 0); }},
      {where + "3 (name): string offset 99999 out of heap bounds",
       [](std::string* i) { Put64(i, Field(*i, 1, 1, 0), 99999); }},
      {where + "3 (name): string offset 3 out of heap bounds",
       [](std::string* i) { Put64(i, Field(*i, 1, 1, 0), 3); }},
      {"runs past the end of the heap",
       [](std::string* i) {
         size_t s = Heap(*i) + DecodeFixed64(&(*i)[Field(*i, 1, 1, 0)]);
         Put32(i, s, 1000);
       }},
      {"is not NUL-terminated",
       [](std::string* i) {
         (*i)[Heap(*i) + DecodeFixed64(&(*i)[Field(*i, 1, 1, 0)]) + 4 + 3] = 'x';
       }},
      {"invalid UTF-8 at byte 1",
       [](std::string* i) {
         (*i)[Heap(*i) + DecodeFixed64(&(*i)[Field(*i, 1, 1, 0)]) + 4 + 1] = '\xC0';
       }},
      {"NUL byte at byte 0",
       [](std::string* i) {
         (*i)[Heap(*i) + DecodeFixed64(&(*i)[Field(*i, 1, 1, 0)]) + 4] = '\0';
       }},
      {where + "5 (data): blob offset 99999 out of heap bounds",
       [](std::string* i) { Put64(i, Field(*i, 1, 1, 16), 99999); }},
      {"object 1 of class 7 (Supplier), member 3 (title): string offset",
       [](std::string* i) { Put64(i, Field(*i, 0, 1, 0), 1); }},
      {"class entry 1: class number 7 is also used by class entry 0",
       [](std::string* i) { Put32(i, ClassEntry(1) + kClassNumber, 7); }},
      {"member entry 1: member number 3 is also used by member entry 0",
       [](std::string* i) { Put32(i, MemberEntry(*i, 1) + kMemberNumber, 3); }},
      {"member entry 1: unknown flag bits set",
       [](std::string* i) { (*i)[MemberEntry(*i, 1) + kMemberFlags] = 3; }},
      {"member entry 1: reserved bytes not zero",
       [](std::string* i) { (*i)[MemberEntry(*i, 1) + 31] = 1; }},
      {"class entry 0: reserved bytes not zero",
       [](std::string* i) { (*i)[ClassEntry(0) + 63] = 1; }},
      {"directory: reserved field not zero",
       [](std::string* i) { (*i)[kHeaderSize + kPrefixReserved64] = 1; }},
      {"heap: the first 8 bytes are not zero", [](std::string* i) { (*i)[Heap(*i) + 7] = 1; }},
  };
  for (const Case& c : cases) {
    std::string img = image_;
    c.patch(&img);
    Reseal(&img);
    std::string err = ValidationError(img);
    EXPECT_EQ(err.rfind("repository " + path_ + ": ", 0), 0u) << err;
    EXPECT_NE(err.find(c.expect), std::string::npos)
        << "expected: " << c.expect << "\ngot: " << err;

    awq_Database db;
    if (db.Open(path_.c_str(), omReadOnly, 0, false) == nullptr) continue;
    for (const awq_Class& cls : db.GetClassDefs()) {
      for (const awq_Object& o : db.FindObjects(cls.GetClassNumber())) {
        int32_t size = 0;
        const unsigned char* data = nullptr;
        o.GetBlobProperty(5, size, data);
        EXPECT_GE(size, 0);
        if (const char* s = o.GetStringProperty(3)) {
          EXPECT_LT(std::string(s).size(), 100u);
        }
        awq_Object target = o.GetObjectRefProperty(4);
        if (!target.IsEmpty()) target.GetStringProperty(3);
      }
    }
  }
}

// The getters' bounds check and the validator's faults are one rule: at
// every edge of the heap, a string or blob the reader answers as null or
// empty is one validation calls out of bounds, in the words of its fault.
TEST_F(StoreFormatTest, HeapEntryBoundsAgree) {
  CheckedWriter w;
  const uint32_t c = w.AddClass("H", 1);
  w.AddMember(c, "s", 1, wqTypeString, true);
  w.AddMember(c, "b", 2, wqTypeBlob, true);
  w.SetString(w.AddObject(c), 0, std::string(200, 'a'));
  const std::string good = w.Serialize();
  const uint64_t heap = Heap(good);
  const uint64_t h = good.size() - heap;  // 8 zero bytes, then 4 + 200 + 1
  ASSERT_EQ(h, 213u);
  enum Expect { kOk, kOffset, kLength };
  struct Case {
    bool blob;
    uint64_t off;
    uint64_t len;
    Expect expect;
  };
  const Case cases[] = {
      {false, 1, 0, kOffset},
      {false, 7, 0, kOffset},
      {false, 8, 0, kOk},
      {false, 8, h - 13, kOk},  // ends with the heap
      {false, 8, h - 12, kLength},
      {false, 100, h - 105, kOk},
      {false, 100, h - 104, kLength},
      {false, 100, 0xFFFFFFFF, kLength},
      {false, h - 5, 0, kOk},  // an empty string whose NUL is the heap's last byte
      {false, h - 5, 1, kLength},
      {false, h - 4, 0, kOffset},
      {false, h - 1, 0, kOffset},
      {false, h, 0, kOffset},
      {false, ~uint64_t{0}, 0, kOffset},
      {true, 7, 0, kOffset},
      {true, 8, h - 12, kOk},
      {true, 8, h - 11, kLength},
      {true, 100, 0x7FFFFFFF, kLength},
      {true, 100, 0x80000000, kLength},
      {true, 100, 0xFFFFFFFF, kLength},
      {true, h - 4, 0, kOk},  // an empty blob entry at the heap's end
      {true, h - 4, 1, kLength},
      {true, h - 3, 0, kOffset},
      {true, h, 0, kOffset},
      {true, uint64_t{1} << 63, 0, kOffset},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.blob ? "blob" : "string") + " at " + std::to_string(k.off) +
                 " length " + std::to_string(k.len));
    std::string img = good;
    Put64(&img, Field(img, 0, 0, 0), k.blob ? 0 : k.off);
    Put64(&img, Field(img, 0, 0, 8), k.blob ? k.off : 0);
    if (k.off >= kHeapReserved && k.off + kHeapEntryHeader <= h) {
      Put32(&img, heap + k.off, static_cast<uint32_t>(k.len));
      const uint64_t nul = k.off + kHeapEntryHeader + k.len;  // the text between is 'a'
      if (!k.blob && nul < h) img[heap + nul] = '\0';
    }
    Reseal(&img);
    const std::string kind = k.blob ? "blob" : "string";
    const std::string where = "repository " + path_ + ": object 0 of class 1 (H), member " +
                              (k.blob ? "2 (b): " : "1 (s): ");
    const std::string fault[] = {
        "", where + kind + " offset " + std::to_string(k.off) + " out of heap bounds",
        where + kind + " at heap offset " + std::to_string(k.off) + " with length " +
            std::to_string(k.len) + " runs past the end of the heap"};
    EXPECT_EQ(ValidationError(img), fault[k.expect]);

    std::unique_ptr<Reader> reader;
    ASSERT_TRUE(Reader::Open(path_, &reader).ok());
    if (k.blob) {
      int32_t size = -1;
      const unsigned char* data = nullptr;
      reader->HeapBlob(k.off, &size, &data);
      EXPECT_EQ(size, k.expect == kOk ? static_cast<int32_t>(k.len) : 0);
    } else {
      size_t length = 1;
      const char* text = reader->HeapString(k.off, &length);
      EXPECT_EQ(text != nullptr, k.expect == kOk);
      EXPECT_EQ(length, k.expect == kOk ? k.len : 0);
    }
  }
}

// A file cut short after Open, inside its heap: the change is the fault.
TEST_F(StoreFormatTest, FileShrunkAfterOpen) {
  Store(image_);
  awq_Database db;
  ASSERT_NE(db.Open(path_.c_str(), omReadOnly, 0, false), nullptr);
  const uint64_t cut = Heap(image_) + kHeapReserved + 12;
  ASSERT_LT(cut, image_.size());
  ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(cut)), 0);
  try {
    db.ValidateRepository();
    ADD_FAILURE() << "a shrunk file validated";
  } catch (const awq_StoreError& e) {
    EXPECT_EQ(std::string(e.what()), "repository " + path_ + ": file changed since it was opened");
  }
}

TEST_F(StoreFormatTest, ErrorsOfUnopenedDatabases) {
  awq_Database never;
  try {
    never.ValidateRepository();
    ADD_FAILURE();
  } catch (const awq_StoreError& e) {
    EXPECT_STREQ(e.what(), "no repository is open");
  }

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  wqtest::TempFolder empty;  // relative paths are looked up in a folder without the file
  ASSERT_EQ(chdir(empty.path().c_str()), 0);
  awq_Database db;
  EXPECT_EQ(db.Open("dravik.rtm", omReadOnly, 0, false), nullptr);
  try {
    db.ValidateRepository();
    ADD_FAILURE();
  } catch (const awq_StoreError& e) {
    EXPECT_STREQ(e.what(),
                 "no repository is open (dravik.rtm: cannot open file: No such file or directory)");
  }
  EXPECT_EQ(db.Open(".", omReadOnly, 0, false), nullptr);
  try {
    db.ValidateRepository();
    ADD_FAILURE();
  } catch (const awq_StoreError& e) {
    EXPECT_STREQ(e.what(), "no repository is open (.: cannot open file: Is a directory)");
  }
  ASSERT_EQ(chdir(cwd), 0);
}

// Opening another path releases the first repository, also when it fails.
TEST_F(StoreFormatTest, ReopenReleasesThePrevious) {
  Store(image_);
  awq_Database db;
  const char* r = db.Open(path_.c_str(), omReadOnly, 0, false);
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, path_.c_str());
  EXPECT_FALSE(db.FindClassDef("Part").IsEmpty());
  EXPECT_EQ(db.Open((path_ + ".missing").c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_TRUE(db.FindClassDef("Part").IsEmpty());
  EXPECT_EQ(db.GetClassDefs().size(), 0);
  EXPECT_NE(db.Open(path_.c_str(), omReadOnly, 0, false), nullptr);
  EXPECT_EQ(db.Open(path_.c_str(), omReadOnly, 0, true), nullptr);  // no creating on open
}

}  // namespace
}  // namespace wqstore
