// The shell's connected repository changed on disk: between two commands
// (cut, overwritten in place, replaced by rename) and while a long select
// runs. Every command then reports the change in one line and the shell
// goes on; a replacement by rename is not a change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "repository/store_api.h"
#include "tests/support/checked_writer.h"
#include "tests/support/shell_session.h"
#include "tests/support/test_util.h"

namespace {

using wqstore::ObjectRef;
using wqtest::ShellSession;
using wqtest::TempFolder;
using wqtest::WriteFile;

const char kChanged[] = "*E* repository changed on disk since connect: ";

// A class "<tag>art" of `objects` objects with a name and a number, and a
// second class; files of the same `objects` have the same size.
std::string Repository(const std::string& tag, int objects) {
  wqtest::CheckedWriter w;
  const uint32_t part = w.AddClass(tag + "art", 12);
  w.AddMember(part, "name", 3, wqTypeString, true);
  w.AddMember(part, "n", 4, wqTypeInt, true);
  const uint32_t note = w.AddClass(tag + "ote", 40);
  w.AddMember(note, "text", 1, wqTypeString, true);
  for (int i = 0; i < objects; i++) {
    const ObjectRef o = w.AddObject(part);
    w.SetString(o, 0, tag + "-" + std::to_string(1000000 + i));
    w.SetInt(o, 1, i + 1);
  }
  w.SetString(w.AddObject(note), 0, tag + " note");
  return w.Serialize();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

TEST(ShellChangedFile, BetweenCommands) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  const std::string image = Repository("P", 3000);
  const std::string other = Repository("Q", 3000);
  ASSERT_EQ(image.size(), other.size());
  const std::string other_path = folder.File("other.rtm");
  WriteFile(other_path, other);
  struct Change {
    const char* name;
    std::function<void()> apply;
    bool reported;
    bool reconnects;  // a new connect opens the file as it is then
  };
  const std::vector<Change> changes = {
      {"cut to 0 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 0), 0); }, true, false},
      {"cut to 4096 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 4096), 0); }, true, false},
      {"cut into the heap",
       [&] { ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(image.size() - 300)), 0); }, true,
       false},
      {"overwritten in place",
       [&] { ASSERT_EQ(wqtest::RunCommand("cp '" + other_path + "' '" + path + "'"), 0); }, true,
       true},
      {"overwritten in place, times put back",
       [&] {
         ASSERT_EQ(wqtest::RunCommand("touch -r '" + path + "' '" + path + ".times' && cp '" +
                                      other_path + "' '" + path + "' && touch -r '" + path +
                                      ".times' '" + path + "'"),
                   0);
       },
       true, true},
      {"replaced by rename",
       [&] {
         ASSERT_EQ(wqtest::RunCommand("cp '" + other_path + "' '" + path + ".new' && mv '" + path +
                                      ".new' '" + path + "'"),
                   0);
       },
       false, true},
  };
  const char* const commands[] = {"select * from sys$tables", "descr Part", "select * from Part",
                                  "select * from sys$tablestats", "select n, name from Part"};
  for (const Change& change : changes) {
    for (const char* command : commands) {
      SCOPED_TRACE(std::string(change.name) + ": " + command);
      WriteFile(path, image);
      ShellSession shell(folder.path());
      EXPECT_EQ(shell.Run("set verbose off"), "");
      EXPECT_EQ(shell.Run("connect r.rtm"), "");
      const std::string before = shell.Run(command);
      const bool rows = std::string(command).find("from Part") != std::string::npos;
      EXPECT_EQ(Count(before, "P-"), rows ? 3000u : 0u);
      change.apply();
      const std::string after = shell.Run(command);
      if (change.reported) {
        EXPECT_EQ(after, std::string(kChanged) + "r.rtm\n");
        EXPECT_EQ(shell.Run(command), after);  // until the next connect
        EXPECT_EQ(shell.Run("descr"), after);
      } else {
        EXPECT_EQ(after, before);  // still the file that was opened
      }
      const std::string reconnect = shell.Run("connect r.rtm");
      if (change.reconnects) {
        EXPECT_EQ(reconnect, "");
        const std::string now = shell.Run(command);
        EXPECT_EQ(Count(now, "P-"), 0u);
        EXPECT_EQ(Count(now, kChanged), 0u);
      } else {
        EXPECT_EQ(reconnect, "*E* error connecting to repository\n");
        EXPECT_EQ(shell.Run(command), "*E* not connected to a repository\n");
      }
      std::string rest;
      EXPECT_EQ(shell.Finish(&rest), 0) << rest;
    }
  }
}

// The file cut or overwritten while a select prints many thousands of
// rows: the rows go on with the empty values of the part that went, and
// one line reports the change at the end; no signal ends the shell.
TEST(ShellChangedFile, WhileASelectRuns) {
  const TempFolder folder;
  const std::string path = folder.File("big.rtm");
  const int kObjects = 200000;
  const std::string image = Repository("P", kObjects);
  const std::string other = Repository("Q", kObjects);
  const std::string blank_row = std::string(75, ' ') + "|         0";
  struct Change {
    const char* name;
    std::function<void()> apply;
    bool blank_rows;  // the last rows read zeros
  };
  const std::vector<Change> changes = {
      {"cut to 0 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 0), 0); }, true},
      {"cut to 4096 bytes", [&] { ASSERT_EQ(truncate(path.c_str(), 4096), 0); }, true},
      {"cut in half",
       [&] { ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(image.size() / 2)), 0); }, false},
      {"overwritten in place", [&] { WriteFile(path, other); }, false},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    WriteFile(path, image);
    ShellSession shell(folder.path());
    EXPECT_EQ(shell.Run("set verbose off"), "");
    EXPECT_EQ(shell.Run("connect big.rtm"), "");
    shell.Send("select * from Part");
    std::string out = shell.ReadAtLeast(1);  // the select is under way
    change.apply();
    out += shell.ReadToPrompt();
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 2u + kObjects + 1);
    EXPECT_EQ(lines.back(), kChanged + std::string("big.rtm"));
    EXPECT_EQ(Count(out, kChanged), 1u);
    if (change.blank_rows) {
      EXPECT_EQ(lines[lines.size() - 2], blank_row);
    }
    EXPECT_EQ(shell.Run("select * from sys$tables"), kChanged + std::string("big.rtm\n"));
    std::string rest;
    EXPECT_EQ(shell.Finish(&rest), 0) << rest;
  }
}

// A listing of 200,000 classes held up by its reader while the file is
// rewritten in place with bytes that end no name, in a file that ends on a
// page boundary: a name read from the file would run past its mapping. The
// listing shows the names connect checked, and one line reports the change.
TEST(ShellChangedFile, NamesStayThoseConnectChecked) {
  const TempFolder folder;
  const std::string path = folder.File("big.rtm");
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  auto build = [](size_t padding) {
    wqtest::CheckedWriter w;
    for (int i = 0; i < 200000; i++) w.AddClass("Class" + std::to_string(i), i + 1);
    const uint32_t pad = w.AddClass("Padding", 0);
    w.AddMember(pad, "bytes", 1, wqTypeBlob, true);
    const std::string bytes(1 + padding, 'p');
    w.SetBlob(w.AddObject(pad), 0, bytes.data(), bytes.size());
    return w.Serialize();
  };
  std::string image = build(0);
  image = build((page - image.size() % page) % page);
  ASSERT_EQ(image.size() % page, 0u);
  WriteFile(path, image);

  ShellSession shell(folder.path());
  EXPECT_EQ(shell.Run("set verbose off"), "");
  EXPECT_EQ(shell.Run("connect big.rtm"), "");
  const std::string listing = shell.Run("select * from sys$tables");
  ASSERT_EQ(Count(listing, "\n"), 2u + 200001);
  shell.Send("select * from sys$tables");
  std::string out = shell.ReadAtLeast(1);  // under way, and soon held up
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string rewritten(image.size(), 'A');
  ASSERT_EQ(pwrite(fd, rewritten.data(), rewritten.size(), 0),
            static_cast<ssize_t>(rewritten.size()));
  close(fd);
  // Names read past their end would make the output endless: it is read
  // only up to a little more than it should be.
  const std::string expected = listing + kChanged + "big.rtm\nwq> ";
  while (out.size() <= expected.size() &&
         (out.size() < 4 || out.substr(out.size() - 4) != "wq> ")) {
    const std::string more = shell.ReadAtLeast(1);
    if (more.empty()) break;  // the shell ended
    out += more;
  }
  // Compared without a diff of megabytes: the first place they part.
  const size_t same = static_cast<size_t>(
      std::mismatch(out.begin(), out.begin() + std::min(out.size(), expected.size()),
                    expected.begin())
          .first -
      out.begin());
  EXPECT_TRUE(out == expected) << out.size() << " bytes, expected " << expected.size()
                               << "; from byte " << same << ": \"" << out.substr(same, 80)
                               << "\" instead of \"" << expected.substr(same, 80) << "\"";
  std::string rest;
  EXPECT_EQ(shell.Finish(&rest), 0) << rest;
}

}  // namespace
