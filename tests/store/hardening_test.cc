// Hostile input end to end: stored text that tries to reach the terminal,
// huge values and classes, a reference cycle and a 1 MB command line; and
// wqmake killed at many points while it replaces a repository.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "repository/store_api.h"
#include "store/checksums.h"
#include "store/coding.h"
#include "store/format.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace {

using wqstore::ObjectRef;
using wqtest::ReadFile;
using wqtest::RunCommand;
using wqtest::TempFolder;
using wqtest::WriteFile;

// Runs the shell in `folder` on `input` and returns its standard output, as
// wqtest::RunShell does, and also expects it to exit normally with status 0:
// hostile input must not crash it.
std::string RunShell(const TempFolder& folder, const std::string& input) {
  WriteFile(folder.File("input"), input);
  EXPECT_EQ(RunCommand("cd '" + folder.path() +
                       "' && LC_ALL=C.UTF-8 '" WQSQL_PATH "' < input > output 2>/dev/null"),
            0);
  return ReadFile(folder.File("output"));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

size_t Utf8Chars(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// True when `s` holds a control character: C0 (but newline), DEL, or C1
// (U+0080 to U+009F, two bytes in UTF-8).
bool HasControl(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0) return true;
  }
  return false;
}

TEST(Hardening, HostileContentStaysInItsCells) {
  const TempFolder folder;
  wqtest::CheckedWriter w;
  const uint32_t h = w.AddClass("Hostile", 1, true, 0);
  const uint32_t text = w.AddMember(h, "text", 1, wqTypeString, true);
  const uint32_t label = w.AddMember(h, "label", 3, wqTypeString, true);
  const uint32_t next = w.AddMember(h, "next", 4, wqTypeObjectRef, true);
  const char* const texts[] = {
      "\x1b[2J\x1b[31mred alert",    // clear the screen, then colour
      "line one\nline two\r\n",      // a row split in three
      "tab\there\x7f\xc2\x85",       // tab, DEL and a C1 control
      "\x1b]0;title\x07",            // set the window title
      "M\xc3\xbcller \xe2\x82\xac",  // text outside ISO-8859-1
  };
  std::vector<ObjectRef> objs;
  for (const char* t : texts) {
    const ObjectRef o = w.AddObject(h);
    w.SetString(o, text, t);
    w.SetString(o, label, t);
    objs.push_back(o);
  }
  const ObjectRef huge = w.AddObject(h);
  w.SetString(huge, text, std::string(100000, 'x'));
  w.SetString(huge, label, std::string(100000, '\x1b'));
  objs.push_back(huge);
  for (size_t i = 0; i < objs.size(); ++i) {  // a cycle through every object
    w.SetRef(objs[i], next, objs[(i + 1) % objs.size()]);
  }
  const uint32_t wide = w.AddClass("Wide", 2);
  for (int i = 0; i < 10000; ++i) {
    w.AddMember(wide, "m" + std::to_string(i), i, i % 2 ? wqTypeInt : wqTypeString, true);
  }
  const ObjectRef wo = w.AddObject(wide);
  w.SetString(wo, 0, "\x1b[0m");
  w.Commit(folder.File("h.rtm"));

  // Invalid UTF-8 cannot be written, but a damaged file can hold it: the
  // shell reads data without checksums, so patch one string in place.
  std::string image = ReadFile(folder.File("h.rtm"));
  const size_t at = image.find("red alert");
  ASSERT_NE(at, std::string::npos);
  image[at] = static_cast<char>(0xFF);
  image[at + 1] = static_cast<char>(0xC3);
  WriteFile(folder.File("h.rtm"), image);

  // The longest line the shell takes: 1 MiB.
  const std::string long_column((1 << 20) - 20, 'c');
  const std::string long_line = "select " + long_column + " from Hostile\n";
  const std::string out =
      RunShell(folder, "connect h.rtm\nselect * from Hostile\nselect * from Wide\n" + long_line +
                           "help\nselect * from sys$tablestats\n");
  EXPECT_FALSE(HasControl(out));

  const std::vector<std::string> lines = Lines(out);
  // Hostile: the header, the underline and one row per object, all as wide.
  size_t first = 0;
  while (first < lines.size() && lines[first].find("text|") == std::string::npos) ++first;
  ASSERT_LT(first + 2 + objs.size(), lines.size());
  const size_t width = Utf8Chars(lines[first]) - 4;  // the prompt "wq> " is on the header line
  EXPECT_EQ(width, 75u + 1 + 75 + 1 + 50);
  for (size_t i = 1; i < 2 + objs.size(); ++i) {
    EXPECT_EQ(Utf8Chars(lines[first + i]), width) << lines[first + i];
  }
  EXPECT_NE(lines[first + 2].find("??d alert"), std::string::npos);  // invalid bytes
  EXPECT_NE(out.find("M\xc3\xbcller ?"), std::string::npos);
  // Wide: 10,000 columns on one row.
  size_t wide_row = first + 2 + objs.size() + 1;
  while (wide_row < lines.size() && lines[wide_row].rfind("=====", 0) != 0) ++wide_row;
  ASSERT_LT(wide_row + 1, lines.size());
  EXPECT_EQ(Utf8Chars(lines[wide_row + 1]), Utf8Chars(lines[wide_row]));
  EXPECT_EQ(Utf8Chars(lines[wide_row]), 5000u * 75 + 5000u * 10 + 9999);
  // The 1 MiB line is one command, and the shell goes on.
  EXPECT_NE(out.find("*E* column: " + long_column + " not found\n"), std::string::npos);
  EXPECT_NE(out.find("wq> wqsql valid commands: "), std::string::npos);
  EXPECT_NE(out.find("   1    0    1    4    3*     6 Hostile\n"), std::string::npos);
  EXPECT_NE(out.find("   260000    0 999910000*     1 Wide\n"), std::string::npos);
}

// Refused by Open, or found by ValidateRepository: never silently sound.
bool Caught(const std::string& path) {
  awq_Database db;
  if (db.Open(path.c_str(), omReadOnly, 0, false) == nullptr) return true;
  try {
    db.ValidateRepository();
  } catch (const awq_StoreError&) {
    return true;
  }
  return false;
}

// Every single flipped byte and every truncation of the sample repository
// is caught, and the shell reports such files instead of trusting them.
TEST(HardeningSlow, CorruptionSweepOfTheSample) {
  const TempFolder folder;
  const std::string image = ReadFile(wqtest::SampleRepository());
  ASSERT_FALSE(image.empty());
  ASSERT_FALSE(Caught(wqtest::SampleRepository()));
  const std::string bad = folder.File("dravik.rtm");
  size_t tried = 0;
  for (size_t at = 0; at < image.size(); ++at) {
    std::string img = image;
    img[at] = static_cast<char>(img[at] ^ (1 << (at % 8)));
    WriteFile(bad, img);
    ASSERT_TRUE(Caught(bad)) << "flipped byte at offset " << at;
    WriteFile(bad, image.substr(0, at));
    ASSERT_TRUE(Caught(bad)) << "truncated to " << at << " bytes";
    tried += 2;
  }
  std::printf("%zu corrupted files of a %zu-byte repository tried\n", tried, image.size());

  // Through the shell, for a spread of offsets: connect refuses the file or
  // the end-of-input validation names the fault.
  for (size_t at = 3; at < image.size(); at += image.size() / 23) {
    std::string img = image;
    img[at] = static_cast<char>(img[at] ^ 0x20);
    WriteFile(bad, img);
    const std::string out = RunShell(folder, "connect dravik.rtm\nselect * from sys$tablestats\n");
    const bool refused = out.find("*E* error connecting to repository\n") != std::string::npos;
    const bool found = out.find("**Exception: repository dravik.rtm: ") != std::string::npos;
    EXPECT_TRUE(refused || found) << "offset " << at << ":\n" << out;
    EXPECT_EQ(out.find("test2 ValidateRepository time"), std::string::npos) << "offset " << at;
  }
}

// A large source, so that wqmake runs long enough to be killed mid-way.
std::string BigSource(const char* tag, int objects) {
  std::string s =
      "{\"classes\":[{\"name\":\"C\",\"members\":[{\"name\":\"s\",\"type\":\"string\"},"
      "{\"name\":\"n\",\"type\":\"int\"}],\"objects\":[";
  for (int i = 0; i < objects; ++i) {
    if (i > 0) s += ',';
    s += "{\"values\":{\"s\":\"" + std::string(tag) + std::to_string(i) +
         "\",\"n\":" + std::to_string(i) + "}}";
  }
  return s + "]}]}";
}

long long MillisSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
      .count();
}

pid_t StartWqmake(const std::string& source, const std::string& target) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(WQMAKE_PATH, WQMAKE_PATH, source.c_str(), target.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

TEST(HardeningSlow, KilledWqmakeLeavesOldOrNewFile) {
  const TempFolder folder;
  const std::string& dir = folder.path();
  WriteFile(dir + "/old.json", BigSource("old", 2000));
  WriteFile(dir + "/new.json", BigSource("new", 50000));
  const std::string target = dir + "/r.rtm";
  ASSERT_EQ(RunCommand("'" WQMAKE_PATH "' '" + dir + "/new.json' '" + dir + "/new.rtm'"), 0);
  const std::string new_image = ReadFile(dir + "/new.rtm");

  // How long a whole run takes, to spread the kills over it.
  ASSERT_EQ(RunCommand("'" WQMAKE_PATH "' '" + dir + "/old.json' '" + target + "'"), 0);
  const std::string old_image = ReadFile(target);
  const auto t0 = std::chrono::steady_clock::now();
  int status = 0;
  waitpid(StartWqmake(dir + "/new.json", dir + "/timing.rtm"), &status, 0);
  const long long full = std::max(1LL, MillisSince(t0));

  ASSERT_FALSE(old_image.empty());
  ASSERT_NE(old_image, new_image);

  // Whenever the kill lands, the target is exactly the old file or exactly
  // the new one, and a new one is sound.
  int saw_old = 0, saw_new = 0;
  const int kKills = 40;
  for (int k = 0; k < kKills; ++k) {
    WriteFile(target, old_image);
    const pid_t pid = StartWqmake(dir + "/new.json", target);
    std::this_thread::sleep_for(std::chrono::microseconds(full * 1000 * k / (kKills - 8)));
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    const std::string now = ReadFile(target);
    const bool is_old = now == old_image;
    const bool is_new = now == new_image;
    ASSERT_TRUE(is_old || is_new) << "kill " << k << " left a file of " << now.size()
                                  << " bytes that is neither the old nor the new one";
    if (is_new) {
      awq_Database db;
      ASSERT_NE(db.Open(target.c_str(), omReadOnly, 0, false), nullptr);
      EXPECT_NO_THROW(db.ValidateRepository());
    }
    saw_old += is_old;
    saw_new += is_new;
  }
  std::printf("%d kills of a %lld ms run: %d left the old file, %d the new one\n", kKills, full,
              saw_old, saw_new);
  EXPECT_GT(saw_old, 0);  // the first kills land before the rename
}

}  // namespace

namespace {

// A sparse file: a few hundred bytes on disk, whose memberless class claims
// 2^27 one-byte records lying in a hole. Counting them for the catalogue
// must not take memory for each (a list of them is 1 GiB): under a 512 MiB
// address-space limit the shell answers.
TEST(HardeningTest, ObjectsInAHoleTakeNoMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space limit";
#endif
  namespace format = wqstore::format;
  constexpr uint32_t kCount = uint32_t{1} << 27;
  TempFolder folder;
  wqtest::CheckedWriter w;
  w.AddClass("Nothing", 7);
  w.AddObject(0);
  std::string image = w.Serialize();
  auto at = [&image](size_t offset) { return reinterpret_cast<unsigned char*>(&image[offset]); };
  const uint64_t dir = wqstore::DecodeFixed64(at(format::kHeaderDirOffset));
  const uint64_t heap = wqstore::DecodeFixed64(at(format::kHeaderHeapOffset));
  const uint64_t heap_length = wqstore::DecodeFixed64(at(format::kHeaderHeapLength));
  ASSERT_EQ(heap + heap_length, image.size());
  ASSERT_EQ(wqstore::DecodeFixed32(at(dir + format::kPrefixSize + format::kClassRecordSize)), 1u);
  // The heap moves past the records, which become a hole.
  const uint64_t moved = heap - 1 + kCount;
  wqstore::EncodeFixed32(at(dir + format::kPrefixSize + format::kClassObjectCount), kCount);
  wqstore::EncodeFixed64(at(format::kHeaderHeapOffset), moved);
  wqstore::EncodeFixed64(at(format::kHeaderFileSize), moved + heap_length);
  wqstore::RecomputeChecksums(&image, wqstore::Checksums::kHeaderAndDirectory);
  {
    std::ofstream out(folder.File("sparse.rtm"), std::ios::binary);
    out.write(image.data(), static_cast<std::streamsize>(heap - 1));
    out.seekp(static_cast<std::streamoff>(moved));
    out.write(image.data() + heap, static_cast<std::streamsize>(heap_length));
  }
  WriteFile(folder.File("input"),
            "set verbose off\nconnect sparse.rtm\nselect * from sys$tablestats\n"
            "descr Nothing\nexit\n");
  ASSERT_EQ(RunCommand("cd '" + folder.path() +
                       "' && ulimit -v 524288 && '" WQSQL_PATH "' < input > output 2>&1"),
            0);
  const std::string out = ReadFile(folder.File("output"));
  EXPECT_NE(out.find(" 134217728 Nothing\n"), std::string::npos) << out;
  EXPECT_NE(out.find("class: Nothing classNumber=7"), std::string::npos) << out;
  EXPECT_EQ(out.find("*E*"), std::string::npos) << out;
  EXPECT_EQ(out.find("**Exception"), std::string::npos) << out;
}

}  // namespace
