// Many threads on one open repository through the public face, and the
// validator's worker thread beside them. Built and run under
// ThreadSanitizer by the test command (label "threads"), where a data race
// fails the test; in other builds it checks the answers alone.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_util.h"
#include "wqstore/wqstore.h"

namespace {

constexpr int kObjects = 20000;
constexpr int kThreads = 8;

// Class 1 "Item" (n int, w double, name string, next ref to Item) with
// `objects` objects; n = position, next = the one after (the last unset).
void BuildItems(const std::string& path, int objects = kObjects) {
  wqstore::Writer w;
  ASSERT_TRUE(w.AddClass("Item", 1).ok());
  ASSERT_TRUE(w.AddMember(1, "n", 1, wqstore::DataType::kInt, false).ok());
  ASSERT_TRUE(w.AddMember(1, "w", 2, wqstore::DataType::kDouble, false).ok());
  ASSERT_TRUE(w.AddMember(1, "name", 3, wqstore::DataType::kString, true).ok());
  ASSERT_TRUE(w.AddMember(1, "next", 4, wqstore::DataType::kReference, true).ok());
  for (int i = 0; i < objects; i++) {
    wqstore::ObjectId id;
    ASSERT_TRUE(w.AddObject(1, &id).ok());
    ASSERT_TRUE(w.SetInt(id, 1, i).ok());
    ASSERT_TRUE(w.SetDouble(id, 2, i * 0.5).ok());
    ASSERT_TRUE(w.SetString(id, 3, "item " + std::to_string(i)).ok());
  }
  for (int i = 0; i + 1 < objects; i++) {
    ASSERT_TRUE(w.SetReference({1, i}, 4, {1, i + 1}).ok());
  }
  ASSERT_TRUE(w.Commit(path).ok());
}

// What one reader computes: the sum of n, of the name lengths and of the
// positions the references lead to.
int64_t Scan(const wqstore::Repository& repo) {
  wqstore::ClassDef items;
  if (!repo.FindClass("Item", &items).ok()) return -1;
  wqstore::Member n, name, next;
  if (!items.FindMember(1, &n).ok() || !items.FindMemberByName("NAME", &name).ok() ||
      !items.FindMember(4, &next).ok()) {
    return -1;
  }
  int64_t sum = 0;
  for (wqstore::Object o : items.objects()) {
    int32_t v;
    std::optional<std::string_view> s;
    std::optional<wqstore::ObjectId> to;
    if (!o.GetInt(n, &v).ok() || !o.GetString(name, &s).ok() || !o.GetReference(next, &to).ok()) {
      return -1;
    }
    sum += v + static_cast<int64_t>(s->size()) + (to ? to->position : 0);
  }
  return sum;
}

TEST(PublicReadersTest, ManyThreadsReadOneRepositoryWhileItIsValidated) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("items.rtm");
  BuildItems(path);
  std::unique_ptr<wqstore::Repository> repo;
  ASSERT_TRUE(wqstore::Repository::Open(path, &repo).ok());
  const int64_t expected = Scan(*repo);
  ASSERT_GT(expected, 0);

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++) {
    threads.emplace_back([&repo, &wrong, expected, t] {
      // Two of them validate (each with the validator's own worker).
      if (t < 2 && !repo->Validate().ok()) wrong++;
      for (int k = 0; k < 3; k++) {
        if (Scan(*repo) != expected) wrong++;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(PublicReadersTest, RepositoriesOpenAndCloseOnManyThreads) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("items.rtm");
  BuildItems(path);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++) {
    threads.emplace_back([&path, &wrong] {
      for (int k = 0; k < 4; k++) {
        std::unique_ptr<wqstore::Repository> repo;
        if (!wqstore::Repository::Open(path, &repo).ok() || Scan(*repo) <= 0) wrong++;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

// wqcheck on several files, each validated with the validator's worker
// thread reading ahead: in the ThreadSanitizer build wqcheck is built with
// it too, and a race ends it with a report and a failing status.
TEST(PublicReadersTest, WqcheckOfSeveralFiles) {
  wqtest::TempFolder folder;
  std::string files;
  for (int objects : {10, 20000, 300000}) {
    const std::string path = folder.File("items" + std::to_string(objects) + ".rtm");
    BuildItems(path, objects);
    files += " '" + path + "'";
  }
  const std::string out = folder.File("out.txt");
  ASSERT_EQ(wqtest::RunCommand("'" WQCHECK_PATH "'" + files + " > '" + out + "' 2>&1"), 0)
      << wqtest::ReadFile(out);
  const std::string text = wqtest::ReadFile(out);
  size_t oks = 0;
  for (size_t at = text.find(": ok ("); at != std::string::npos; at = text.find(": ok (", at + 1)) {
    oks++;
  }
  EXPECT_EQ(oks, 3u) << text;
}

// wqdump writes a large class's table on two threads: each line once, in
// order.
TEST(PublicReadersTest, WqdumpOfALargeClass) {
  wqtest::TempFolder folder;
  const std::string path = folder.File("items.rtm");
  constexpr int kItems = 100000;
  BuildItems(path, kItems);
  const std::string out = folder.File("items.csv");
  ASSERT_EQ(wqtest::RunCommand("'" WQDUMP_PATH "' --format csv --class Item '" + path + "' > '" +
                               out + "' 2>&1"),
            0)
      << wqtest::ReadFile(out);
  const std::string text = wqtest::ReadFile(out);
  size_t lines = 0, at = text.find("\r\n") + 2;  // after the header
  for (; at < text.size(); at = text.find("\r\n", at) + 2, lines++) {
    const std::string want = "1:" + std::to_string(lines) + "," + std::to_string(lines) + ",";
    if (text.compare(at, want.size(), want) != 0) break;
  }
  EXPECT_EQ(lines, static_cast<size_t>(kItems));
}

}  // namespace
