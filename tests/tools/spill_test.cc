// Tests of the writer's spilling: the buffer behind it against a plain
// string under random appends, writes and reads across its window and
// block; a spilled writer's image against the same repository built in
// memory; and wqmake's references to later ids past the number kept in
// memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "store/spill_buffer.h"
#include "store/writer.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"
#include "tools/make/object_builder.h"

namespace {

using wqstore::ObjectRef;
using wqstore::RepositoryWriter;
using wqstore::SpillBuffer;

// Random appends (small and larger than the window), overwrites anywhere and
// reads anywhere; the buffer must hold exactly what a string does.
TEST(SpillBuffer, HoldsWhatAStringHolds) {
  SpillBuffer b;
  ASSERT_TRUE(b.SpillNear("").ok());
  std::string model;
  std::mt19937_64 rng(7);
  auto bytes = [&rng](size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  };
  for (int step = 0; step < 4000; ++step) {
    const unsigned op = rng() % 10;
    if (op < 5 || model.empty()) {
      const size_t n = rng() % 8 == 0 ? rng() % (3 * SpillBuffer::kWindowSize) : rng() % 5000;
      const std::string s = bytes(n);
      ASSERT_TRUE(b.Append(s.data(), s.size()).ok());
      model += s;
    } else if (op < 8) {
      const size_t at = rng() % model.size();
      const size_t n = std::min<size_t>(model.size() - at, rng() % (2 * SpillBuffer::kBlockSize));
      const std::string s = bytes(n);
      ASSERT_TRUE(b.Write(at, s.data(), s.size()).ok());
      model.replace(at, n, s);
    } else {
      const size_t at = rng() % model.size();
      const size_t n = std::min<size_t>(model.size() - at, rng() % (3 * SpillBuffer::kBlockSize));
      std::string got(n, '\0');
      ASSERT_TRUE(b.Read(at, &got[0], n).ok());
      ASSERT_EQ(got, model.substr(at, n)) << "step " << step << " at " << at;
    }
    if (model.size() > (size_t{48} << 20)) break;
  }
  ASSERT_EQ(b.size(), model.size());
  std::string all(model.size(), '\0');
  ASSERT_TRUE(b.Read(0, &all[0], all.size()).ok());
  EXPECT_TRUE(all == model);
}

// Builds the same repository into `w`: three classes of every kind of value,
// large enough that records and heap pass through several windows, with
// values set on objects long after they were added and references both ways.
void BuildSample(RepositoryWriter& w) {
  auto ok = [](const Status& s) { ASSERT_TRUE(s.ok()) << s.message(); };
  uint32_t a, b, e;
  ok(w.AddClass("A", 1, false, 0, &a));
  ok(w.AddClass("B", 2, true, 99, &b));
  ok(w.AddClass("Empty", 3, false, 0, &e));
  ok(w.AddMember(a, "name", 1, 1, false, nullptr));
  ok(w.AddMember(a, "n", 2, 2, true, nullptr));
  ok(w.AddMember(a, "x", 3, 3, true, nullptr));
  ok(w.AddMember(a, "next", 4, 6, true, nullptr));
  ok(w.AddMember(b, "c", 1, 4, true, nullptr));
  ok(w.AddMember(b, "blob", 2, 5, true, nullptr));
  ok(w.AddMember(b, "owner", 3, 6, false, nullptr));
  const uint32_t na = 300000, nb = 200000;
  for (uint32_t i = 0; i < na; ++i) {
    ObjectRef o;
    ok(w.AddObject(a, &o));
    ok(w.SetString(o, 0, "object " + std::to_string(i)));
    ok(w.SetInt(o, 1, static_cast<int32_t>(i * 7)));
    ok(w.SetDouble(o, 2, i / 3.0));
    if (i > 0) ok(w.SetRef(ObjectRef{a, i - 1}, 3, o));  // the previous one, now
  }
  // Values set again on objects far behind the window.
  for (uint32_t i = 0; i < na; i += 9973) ok(w.SetString(ObjectRef{a, i}, 0, "again"));
  for (uint32_t i = 0; i < nb; ++i) {
    ObjectRef o;
    ok(w.AddObject(b, &o));
    ok(w.SetChar(o, 0, static_cast<uint8_t>(i)));
    const std::string blob(i % 50, static_cast<char>(i));
    ok(w.SetBlob(o, 1, blob.data(), blob.size()));
    ok(w.SetRef(o, 2, ObjectRef{a, (i * 31) % na}));
  }
  ok(w.SetRef(ObjectRef{a, 5}, 3, ObjectRef{b, nb - 1}));  // a class added later
  ok(w.SetNull(ObjectRef{a, 6}, 3));
}

TEST(SpillingWriter, WritesTheImageOfTheWriterInMemory) {
  RepositoryWriter in_memory;
  BuildSample(in_memory);
  std::string expected;
  ASSERT_TRUE(in_memory.Serialize(&expected).ok());

  wqtest::TempFolder dir;
  RepositoryWriter spilled;
  ASSERT_TRUE(spilled.SpillNear(dir.File("target.rtm")).ok());
  BuildSample(spilled);
  std::string image;
  ASSERT_TRUE(spilled.Serialize(&image).ok());
  EXPECT_TRUE(image == expected);
  ASSERT_TRUE(spilled.Commit(dir.File("target.rtm")).ok());
  EXPECT_TRUE(wqtest::ReadFile(dir.File("target.rtm")) == expected);

  // Its scratch files went with the commit: it refuses to go on or to
  // commit again, and the file stays as committed.
  const std::string spent = "the writer's contents went into a commit already";
  ObjectRef o;
  EXPECT_EQ(spilled.AddObject(0, &o).message(), spent);
  EXPECT_EQ(spilled.AddClass("Z", 9, false, 0, nullptr).message(), spent);
  EXPECT_EQ(spilled.SetInt(ObjectRef{0, 0}, 1, 5).message(), spent);
  EXPECT_EQ(spilled.Serialize(&image).message(), spent);
  EXPECT_EQ(spilled.Commit(dir.File("again.rtm")).message(), spent);
  EXPECT_TRUE(wqtest::ReadFile(dir.File("target.rtm")) == expected);
  // A writer in memory commits as often as it is asked.
  ASSERT_TRUE(in_memory.Commit(dir.File("one.rtm")).ok());
  ASSERT_TRUE(in_memory.Commit(dir.File("two.rtm")).ok());
  EXPECT_TRUE(wqtest::ReadFile(dir.File("two.rtm")) == expected);
}

TEST(SpillingWriter, RefusesObjectsOutOfClassOrder) {
  wqtest::TempFolder dir;
  RepositoryWriter w;
  uint32_t a, b, c;
  ASSERT_TRUE(w.AddClass("A", 1, false, 0, &a).ok());
  ASSERT_TRUE(w.AddClass("B", 2, false, 0, &b).ok());
  ASSERT_TRUE(w.SpillNear(dir.File("t.rtm")).ok());
  ASSERT_TRUE(w.AddClass("C", 3, false, 0, &c).ok());
  ObjectRef o;
  ASSERT_TRUE(w.AddObject(b, &o).ok());
  const Status earlier = w.AddObject(a, &o);
  ASSERT_FALSE(earlier.ok());
  EXPECT_EQ(earlier.message(),
            "class \"A\": objects of a later class came first (this writer takes the objects "
            "class after class)");
  ASSERT_TRUE(w.AddObject(c, &o).ok());
  EXPECT_FALSE(w.AddObject(b, &o).ok());
  EXPECT_TRUE(w.AddObject(c, &o).ok());
  std::string image;
  ASSERT_TRUE(w.Serialize(&image).ok());
  EXPECT_FALSE(image.empty());
}

// More references to later ids than the builder keeps in memory: the rest
// go through its scratch file, and the file is the one the writer makes of
// the same chain set directly.
TEST(WqmakeSpillSlow, ResolvesMoreForwardReferencesThanItKeeps) {
  const uint32_t n = static_cast<uint32_t>(wqsource::ObjectBuilder::kPendingInMemory) * 5 / 4;
  std::string source =
      "{\"classes\": [{\"name\": \"L\", \"members\": [{\"name\": \"next\", \"type\": \"ref\"}], "
      "\"objects\": [\n";
  RepositoryWriter w;
  ASSERT_TRUE(w.AddClass("L", 1, false, 0, nullptr).ok());
  ASSERT_TRUE(w.AddMember(0, "next", 1, 6, true, nullptr).ok());
  for (uint32_t i = 0; i < n; ++i) {
    ObjectRef o;
    ASSERT_TRUE(w.AddObject(0, &o).ok());
    source += "{\"id\": \"o" + std::to_string(i) + "\"";
    if (i + 1 < n) source += ", \"values\": {\"next\": \"o" + std::to_string(i + 1) + "\"}";
    source += i + 1 < n ? "},\n" : "}\n";
  }
  for (uint32_t i = 0; i + 1 < n; ++i)
    ASSERT_TRUE(w.SetRef(ObjectRef{0, i}, 0, ObjectRef{0, i + 1}).ok());
  source += "]}]}\n";
  std::string expected;
  ASSERT_TRUE(w.Serialize(&expected).ok());
  wqtest::TempFolder dir;
  wqtest::WriteFile(dir.File("chain.json"), source);
  const wqtest::ToolResult made =
      wqtest::RunTool(std::string(WQMAKE_PATH) + " " + wqtest::Quote(dir.File("chain.json")) + " " +
                      wqtest::Quote(dir.File("chain.rtm")));
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(wqtest::ReadFile(dir.File("chain.rtm")) == expected);
}

}  // namespace
