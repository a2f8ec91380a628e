// Tests of wqmake's id table: ids found through the table's growth, the
// keyed hash against its published answers, and ids crafted to collide
// under a fixed hash spread like any others.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/writer.h"
#include "tools/make/id_table.h"
#include "tools/make/keyed_hash.h"

namespace {

// The ids as the string tokens of a source, and where each token starts.
struct IdSource {
  std::string text;
  std::vector<size_t> tokens;
  explicit IdSource(const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
      tokens.push_back(text.size());
      text += "\"" + id + "\", ";
    }
  }
};

TEST(WqmakeIdTable, MapsManyIdsThroughGrowth) {
  const uint32_t n = 50000;
  std::vector<std::string> ids;
  for (uint32_t k = 0; k < n; ++k) ids.push_back("id" + std::to_string(k));
  ids.push_back("id123");
  const IdSource source(ids);
  wqsource::IdTable table(source.text);
  bool inserted = false;
  for (uint32_t k = 0; k < n; ++k) {
    ASSERT_TRUE(
        table.Insert(ids[k], source.tokens[k], wqstore::ObjectRef{k % 7, k}, &inserted).ok());
    ASSERT_TRUE(inserted);
  }
  ASSERT_TRUE(table.Insert("id123", source.tokens[n], wqstore::ObjectRef{0, 0}, &inserted).ok());
  EXPECT_FALSE(inserted);
  EXPECT_EQ(table.size(), n);
  for (uint32_t k = 0; k < n; ++k) {
    const wqstore::ObjectRef* o = table.Find("id" + std::to_string(k));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->cls, k % 7);
    EXPECT_EQ(o->obj, k);
  }
  EXPECT_EQ(table.Find("id50000"), nullptr);
  EXPECT_EQ(table.Find(""), nullptr);
  std::string id;
  ASSERT_TRUE(table.FindIdOf(wqstore::ObjectRef{123 % 7, 123}, &id));
  EXPECT_EQ(id, "id123");
}

// Ids are kept as places in the source; a token with escapes is read again
// to compare, so its id matches the same text written plainly, and one
// without escapes is not mistaken for one with them.
TEST(WqmakeIdTable, IdsWithEscapesMatchTheirText) {
  struct Case {
    const char* token;  // as in the source, quotes and all
    const char* id;     // what it decodes to
  };
  const Case cases[] = {
      {R"("a\u0062c")", "abc"},
      {R"("tab\there")", "tab\there"},
      {R"("back\\slash")", "back\\slash"},
      {R"("\"q\"")", "\"q\""},
      {R"("caf\u00e9")", "caf\u00e9"},
      {R"("x\\")", "x\\"},
  };
  std::string text;
  std::vector<size_t> tokens;
  for (const Case& c : cases) {
    tokens.push_back(text.size());
    text += std::string(c.token) + ", ";
  }
  wqsource::IdTable table(text);
  for (uint32_t k = 0; k < std::size(cases); ++k) {
    bool inserted = false;
    ASSERT_TRUE(table.Insert(cases[k].id, tokens[k], wqstore::ObjectRef{1, k}, &inserted).ok());
    EXPECT_TRUE(inserted) << cases[k].token;
  }
  for (uint32_t k = 0; k < std::size(cases); ++k) {
    const wqstore::ObjectRef* o = table.Find(cases[k].id);
    ASSERT_NE(o, nullptr) << cases[k].token;
    EXPECT_EQ(o->obj, k);
    std::string id;
    ASSERT_TRUE(table.FindIdOf(wqstore::ObjectRef{1, k}, &id));
    EXPECT_EQ(id, cases[k].id);
    bool inserted = true;
    ASSERT_TRUE(table.Insert(cases[k].id, tokens[k], wqstore::ObjectRef{2, k}, &inserted).ok());
    EXPECT_FALSE(inserted) << cases[k].token;
  }
  EXPECT_EQ(table.Find("a\\u0062c"), nullptr);
  EXPECT_EQ(table.Find("ab"), nullptr);
}

// The hash against the published answers for the key 00 01 .. 0f and the
// messages 00 01 .. (n-1): empty, a tail only, whole blocks, and both.
TEST(WqmakeIdTable, SipHashKnownAnswers) {
  struct Case {
    int length;
    uint64_t siphash24, siphash13;
  };
  const Case cases[] = {
      {0, 0x726fdb47dd0e0e31u, 0xabac0158050fc4dcu},
      {1, 0x74f839c593dc67fdu, 0xc9f49bf37d57ca93u},
      {7, 0xab0200f58b01d137u, 0xd3927d989bb11140u},
      {8, 0x93f5f5799a932462u, 0x369095118d299a8eu},
      {15, 0xa129ca6149be45e5u, 0xd320d86d2a519956u},
      {16, 0x3f2acc7f57c29bdbu, 0xcc4fdd1a7d908b66u},
  };
  const wqsource::HashKey key{0x0706050403020100u, 0x0f0e0d0c0b0a0908u};
  for (const Case& c : cases) {
    std::string message;
    for (int k = 0; k < c.length; ++k) message += static_cast<char>(k);
    EXPECT_EQ((wqsource::SipHash<2, 4>(key, message)), c.siphash24) << c.length;
    EXPECT_EQ(wqsource::KeyedHash(key, message), c.siphash13) << c.length;
  }
}

// Ids chosen so that a fixed hash, FNV-1a folded to 32 bits as the table
// once used, sends them all to the first few slots of a table of up to 2^13
// slots: each would be found only after probing past most of the others.
std::vector<std::string> IdsCollidingUnderFnv(size_t count) {
  const auto fnv = [](const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
      h ^= c;
      h *= 1099511628211ull;
    }
    return static_cast<uint32_t>(h ^ (h >> 32));
  };
  std::vector<std::string> ids;
  for (uint64_t k = 0; ids.size() < count; ++k) {
    std::string id = "id" + std::to_string(k);
    if ((fnv(id) & 0x1fff) < 32) ids.push_back(std::move(id));
  }
  return ids;
}

TEST(WqmakeIdTable, CraftedIdsDoNotCollide) {
  const std::vector<std::string> ids = IdsCollidingUnderFnv(5000);
  const IdSource source(ids);
  wqsource::IdTable table(source.text);
  for (uint32_t k = 0; k < ids.size(); ++k) {
    bool inserted = false;
    ASSERT_TRUE(table.Insert(ids[k], source.tokens[k], wqstore::ObjectRef{0, k}, &inserted).ok());
    ASSERT_TRUE(inserted);
  }
  // Spread evenly over 8192 slots, 5000 ids lie less than one slot past
  // their own on average; piled up they would lie thousands past.
  EXPECT_LT(table.ProbeDistance(), 2 * ids.size());
  for (uint32_t k = 0; k < ids.size(); ++k) {
    const wqstore::ObjectRef* o = table.Find(ids[k]);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->obj, k);
  }
}

}  // namespace
