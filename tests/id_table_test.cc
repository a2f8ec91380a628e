// Tests of wqmake's id table: ids found through the table's growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/writer.h"
#include "tools/id_table.h"

namespace {

TEST(WqmakeIdTable, MapsManyIdsThroughGrowth) {
  wqsource::IdTable table;
  const uint32_t n = 50000;
  bool inserted = false;
  for (uint32_t k = 0; k < n; ++k) {
    ASSERT_TRUE(table.Insert("id" + std::to_string(k), wqstore::ObjectId{k % 7, k}, &inserted).ok());
    ASSERT_TRUE(inserted);
  }
  ASSERT_TRUE(table.Insert("id123", wqstore::ObjectId{0, 0}, &inserted).ok());
  EXPECT_FALSE(inserted);
  EXPECT_EQ(table.size(), n);
  for (uint32_t k = 0; k < n; ++k) {
    const wqstore::ObjectId* o = table.Find("id" + std::to_string(k));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->cls, k % 7);
    EXPECT_EQ(o->obj, k);
  }
  EXPECT_EQ(table.Find("id50000"), nullptr);
  EXPECT_EQ(table.Find(""), nullptr);
  std::string_view id;
  ASSERT_TRUE(table.FindIdOf(wqstore::ObjectId{123 % 7, 123}, id));
  EXPECT_EQ(id, "id123");
}

}  // namespace
