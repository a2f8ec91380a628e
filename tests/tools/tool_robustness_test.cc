// The tools on hostile or unusual input, through the built programs: the
// name of the id column among members that take it, doubles that must keep
// their bits, files changed while a tool reads them, file names a terminal
// would act on, standard input that breaks the source rules or never ends,
// and symbolic links planted in shared folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "store/writer.h"
#include "tests/support/test_util.h"
#include "tests/support/tool_run.h"

namespace {

using wqtest::Quote;
using wqtest::ReadFile;
using wqtest::RunTool;
using wqtest::TempFolder;
using wqtest::ToolResult;

const std::string kDump = WQDUMP_PATH;
const std::string kMake = WQMAKE_PATH;
const std::string kCheck = WQCHECK_PATH;

// A class "C" with int members of the given names.
std::string ClassWithMembers(const std::vector<std::string>& names) {
  std::string json = R"({"classes": [{"name": "C", "members": [)";
  for (size_t i = 0; i < names.size(); i++) {
    json += (i == 0 ? "" : ",") + std::string(R"({"name": ")") + names[i] + R"(", "type": 2})";
  }
  return json + R"(], "objects": [{}]}]})";
}

// The id column takes the fewest underscores no member has, in time linear
// in the members: 8,000 members named id, _id, __id, ... once took seconds.
TEST(WqdumpIdColumn, FewestUnderscoresNoMemberHas) {
  TempFolder t;
  struct Case {
    std::vector<std::string> members;
    std::string id;
  };
  std::vector<std::string> many;
  for (int k = 0; k < 8000; k++) many.push_back(std::string(k, '_') + "id");
  const Case cases[] = {
      {{"x"}, "id"},
      {{"id"}, "_id"},
      {{"_id", "id"}, "__id"},
      {{"id", "__id", "idx", "_i_d", "_"}, "_id"},
      {many, std::string(8000, '_') + "id"},
  };
  // Seconds a dump of `repo` takes in the given format ("" for the JSON
  // source); sets *out to its output.
  auto timed_dump = [](const std::string& format, const std::string& repo, std::string* out) {
    const auto start = std::chrono::steady_clock::now();
    const ToolResult r = RunTool(Quote(kDump) + format + " " + Quote(repo));
    EXPECT_EQ(r.status, 0) << r.err;
    *out = r.out;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  for (const Case& c : cases) {
    const std::string repo = t.File("c.rtm");
    ASSERT_EQ(wqtest::MakeRepository(ClassWithMembers(c.members), repo), "");
    std::string out;
    // The JSON source reads the same file and names no id column.
    const double source_seconds = timed_dump("", repo, &out);
    for (const char* format : {"csv", "jsonl"}) {
      const double seconds = timed_dump(std::string(" --class C --format ") + format, repo, &out);
      const std::string head = std::string(format) == "csv" ? c.id + "," : "{\"" + c.id + "\":";
      EXPECT_EQ(out.compare(0, head.size(), head), 0) << format << " " << c.id.size();
      EXPECT_LT(seconds, 3 * source_seconds + 0.5)
          << format << " with " << c.members.size() << " members";
    }
  }
}

// Every NaN keeps its bits through the JSON source: the one "NaN" stands
// for as "NaN", any other as "NaN:" and its bits; CSV and JSON Lines write
// "NaN" for all. wqmake refuses "NaN:" with bits of no NaN.
TEST(WqdumpNaN, SourceKeepsTheBits) {
  TempFolder t;
  volatile double zero = 0.0;
  const double nans[] = {zero / zero, 0, 0, 0, 0};  // x86-64's default NaN, then by bits
  const uint64_t bits[] = {0, 0x7FF8000000000000u, 0x7FF0000000000001u, 0xFFFFFFFFFFFFFFFFu,
                           0x7FF800000000BEEFu};
  wqstore::RepositoryWriter w;
  uint32_t cls = 0;
  ASSERT_TRUE(w.AddClass("D", 1, false, 0, &cls).ok());
  ASSERT_TRUE(w.AddMember(cls, "v", 1, 3, true, nullptr).ok());
  for (size_t i = 0; i < 5; i++) {
    double v = nans[i];
    if (i > 0) std::memcpy(&v, &bits[i], sizeof v);
    wqstore::ObjectRef o;
    ASSERT_TRUE(w.AddObject(cls, &o).ok());
    ASSERT_TRUE(w.SetDouble(o, 0, v).ok());
  }
  ASSERT_TRUE(w.Commit(t.File("n.rtm")).ok());

  const ToolResult dump = RunTool(Quote(kDump) + " " + Quote(t.File("n.rtm")));
  ASSERT_EQ(dump.status, 0) << dump.err;
  for (const char* text :
       {"\"v\": \"NaN:fff8000000000000\"", "\"v\": \"NaN\"", "\"v\": \"NaN:7ff0000000000001\"",
        "\"v\": \"NaN:ffffffffffffffff\"", "\"v\": \"NaN:7ff800000000beef\""}) {
    EXPECT_NE(dump.out.find(text), std::string::npos) << text << " in " << dump.out;
  }
  wqtest::WriteFile(t.File("n.json"), dump.out);
  const ToolResult make =
      RunTool(Quote(kMake) + " " + Quote(t.File("n.json")) + " " + Quote(t.File("m.rtm")));
  ASSERT_EQ(make.status, 0) << make.err;
  EXPECT_TRUE(ReadFile(t.File("m.rtm")) == ReadFile(t.File("n.rtm")));

  for (const char* format : {"csv", "jsonl"}) {
    const ToolResult r =
        RunTool(Quote(kDump) + " --format " + format + " --class D " + Quote(t.File("n.rtm")));
    EXPECT_EQ(r.out.find("NaN:"), std::string::npos) << format;
  }

  // Upper-case digits read too; bits of no NaN, or too few digits, do not.
  const std::pair<std::string, bool> texts[] = {
      {"NaN:FFF8000000000000", true},   {"NaN:7ff0000000000000", false},
      {"NaN:0000000000000000", false},  {"NaN:fff8", false},
      {"NaN:fff80000000000000", false}, {"nan", false}};
  for (const auto& text : texts) {
    const std::string err = wqtest::MakeRepository(
        R"({"classes": [{"name": "D", "members": [{"name": "v", "type": "double"}],
            "objects": [{"values": {"v": ")" +
            text.first + R"("}}]}]})",
        t.File("x.rtm"));
    EXPECT_EQ(err.empty(), text.second) << text.first << ": " << err;
  }
}

// The bytes the process has read so far (rchar of /proc/PID/io, all its
// threads together).
uint64_t BytesRead(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// The bytes of the regular files in `folder` that the process has open,
// unnamed ones included.
uint64_t BytesInFilesOpenIn(pid_t pid, const std::string& folder) {
  uint64_t total = 0;
  for (int fd = 0; fd < 64; fd++) {
    const std::string fd_path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    char link[4096];
    const ssize_t n = readlink(fd_path.c_str(), link, sizeof link - 1);
    if (n <= 0 || std::string(link, static_cast<size_t>(n)).rfind(folder + "/", 0) != 0) continue;
    struct stat st;
    if (stat(fd_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += st.st_size;
  }
  return total;
}

// Runs `command` (exec'd by /bin/sh, standard error to `err`) until
// `under_way` holds for its pid, stops it, applies `change`, and lets it
// finish. Returns the exit status, or -1 when it ended before it was
// under way.
int RunChangedMidway(const std::string& command, const std::string& err,
                     const std::function<bool(pid_t)>& under_way,
                     const std::function<void()>& change) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + command + " 2>" + Quote(err)).c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool stopped = false;
  while (!stopped) {
    if (waitpid(pid, &status, WNOHANG) == pid) return -1;
    if (under_way(pid)) {
      kill(pid, SIGSTOP);
      stopped = true;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  change();
  kill(pid, SIGCONT);
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Rewrites the file in place with the bytes it holds: the contents stay, the
// file has changed.
void RewriteInPlace(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  close(fd);
}

// A repository of `mib` MiB: one class of objects with a 1 MiB blob each.
void WriteBigRepository(const std::string& path, int mib) {
  wqstore::RepositoryWriter w;
  uint32_t cls = 0;
  ASSERT_TRUE(w.AddClass("B", 1, false, 0, &cls).ok());
  ASSERT_TRUE(w.AddMember(cls, "b", 1, 5, true, nullptr).ok());
  ASSERT_TRUE(w.AddMember(cls, "n", 2, 2, true, nullptr).ok());
  const std::string blob(size_t{1} << 20, '\x5a');
  for (int i = 0; i < mib; i++) {
    wqstore::ObjectRef o;
    ASSERT_TRUE(w.AddObject(cls, &o).ok());
    ASSERT_TRUE(w.SetBlob(o, 0, blob.data(), blob.size()).ok());
    ASSERT_TRUE(w.SetInt(o, 1, i).ok());
  }
  ASSERT_TRUE(w.Commit(path).ok());
}

// A file cut short or rewritten in place while wqcheck checks it or wqdump
// dumps it is reported as changed, status 1, never as sound or dumped; the
// dump's -o target is not written.
TEST(ToolsChangedFile, DuringCheckAndDump) {
  TempFolder t;
  const std::string repo = t.File("live.rtm");
  const std::string copy = t.File("new.rtm");
  WriteBigRepository(copy, 96);
  if (HasFatalFailure()) return;
  const std::string image = ReadFile(copy);
  struct Change {
    const char* name;
    std::function<void()> apply;
  };
  const Change changes[] = {
      {"rewritten in place", [&] { RewriteInPlace(repo); }},
      {"cut short", [&] { ASSERT_EQ(truncate(repo.c_str(), 4096), 0); }},
      {"copied over",
       [&] { ASSERT_EQ(wqtest::RunCommand("cp " + Quote(copy) + " " + Quote(repo)), 0); }},
  };
  const std::string out = t.File("out.txt"), err = t.File("err.txt"), dumped = t.File("d.json");
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    wqtest::WriteFile(repo, image);
    int status = RunChangedMidway(
        Quote(kCheck) + " " + Quote(repo) + " >" + Quote(out), err,
        [](pid_t pid) { return BytesRead(pid) > (uint64_t{16} << 20); }, change.apply);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile(out), repo + ": file changed while it was validated\n");
    EXPECT_EQ(ReadFile(err), "");

    for (const bool to_file : {false, true}) {
      wqtest::WriteFile(repo, image);
      std::remove(dumped.c_str());
      const std::string command = Quote(kDump) + (to_file ? " -o " + Quote(dumped) : "") + " " +
                                  Quote(repo) + " >" + Quote(out);
      status = RunChangedMidway(
          command, err,
          [&](pid_t pid) { return BytesInFilesOpenIn(pid, t.path()) > image.size() + (4u << 20); },
          change.apply);
      EXPECT_EQ(status, 1) << command;
      EXPECT_EQ(ReadFile(err), "wqdump: " + repo + ": file changed since it was opened\n");
      EXPECT_NE(access(dumped.c_str(), F_OK), 0) << "the dump was written";
    }
  }
}

// A source cut short while wqmake reads it: one line names the cut, status
// 1, and the target is not written; the zeros that stand for the lost pages
// are never reported as the source's fault.
TEST(ToolsChangedFile, SourceCutWhileRead) {
  TempFolder t;
  const std::string source = t.File("s.json"), target = t.File("s.rtm"), err = t.File("err.txt");
  std::string text = R"({"classes": [{"name": "S", "members": [{"name": "s", "type": "string"}],)"
                     R"( "objects": [)";
  const std::string object = R"({"values": {"s": ")" + std::string(1000, 'x') + R"("}})";
  for (int i = 0; i < 65536; i++) text += (i == 0 ? "" : ", ") + object;
  text += "]}]}";
  wqtest::WriteFile(source, text);
  const int status = RunChangedMidway(
      Quote(kMake) + " " + Quote(source) + " " + Quote(target), err,
      [&](pid_t pid) { return BytesInFilesOpenIn(pid, t.path()) > text.size() + (4u << 20); },
      [&] { ASSERT_EQ(truncate(source.c_str(), 4096), 0); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFile(err),
            "wqmake: cannot read " + source + ": the file shrank while it was read\n");
  EXPECT_NE(access(target.c_str(), F_OK), 0) << "the target was written";
}

// `s` as one word of a /bin/sh command line, whatever it holds.
std::string ShellWord(const std::string& s) {
  std::string word = "'";
  for (char c : s) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// File names in the tools' messages: as they are when a terminal shows
// them as plain text, otherwise as $'...' that bash reads back as the name;
// one file is always one line, so the README's cron filter cannot be fooled.
TEST(ToolMessages, FileNamesShownSafely) {
  TempFolder t;
  const std::string sample = ReadFile(wqtest::SampleRepository());
  std::string damaged = sample;
  damaged[damaged.size() - 3] ^= 0x20;  // in the heap
  struct Case {
    std::string name;
    std::string shown;
  };
  const Case cases[] = {
      {"plain \xC3\xA9 name.rtm", "plain \xC3\xA9 name.rtm"},
      {"t\x1b]0;owned\x07.rtm", "$'t\\e]0;owned\\a.rtm'"},
      {"x.rtm: ok (1 class, 1 object, 1 byte)\nbad.rtm",
       "$'x.rtm: ok (1 class, 1 object, 1 byte)\\nbad.rtm'"},
      {"\xff\x01 .rtm", "$'\\xff\\x01 .rtm'"},
      {"it's \\ \xE2\x80\xAE.rtm", "$'it\\'s \\\\ \\u202e.rtm'"},
      {"\xC2\x9B"
       "1m.rtm",
       "$'\\u009b1m.rtm'"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
    const Case& c = cases[i];
    const bool sound = i % 2 == 0;
    wqtest::WriteFile(t.File(c.name), sound ? sample : damaged);
    // What bash reads a quoted name as is the name.
    if (c.shown != c.name) {
      wqtest::WriteFile(t.File("read-back.sh"), "printf %s " + c.shown + " >read-back.txt\n");
      EXPECT_EQ(wqtest::RunCommand("cd " + Quote(t.path()) + " && bash read-back.sh"), 0);
      EXPECT_EQ(ReadFile(t.File("read-back.txt")), c.name) << c.shown;
    }
  }
  std::string args;
  for (const Case& c : cases) args += " " + ShellWord(c.name);
  const ToolResult check = RunTool("cd " + Quote(t.path()) + " && " + Quote(kCheck) + args);
  EXPECT_EQ(check.status, 1);
  // Offsets aside, one line per file, each with its shown name.
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = check.out.find('\n', at)) != std::string::npos; at = nl + 1) {
    lines.push_back(check.out.substr(at, nl - at));
  }
  ASSERT_EQ(lines.size(), sizeof cases / sizeof cases[0]) << check.out;
  for (size_t i = 0; i < lines.size(); i++) {
    EXPECT_EQ(lines[i].rfind(cases[i].shown + ": ", 0), 0u) << lines[i];
  }
  // The README's cron filter leaves exactly the three damaged files.
  const ToolResult cron =
      RunTool("cd " + Quote(t.path()) + " && " + Quote(kCheck) + args +
              " | grep -Ev ': ok \\([0-9]+ class(es)?, [0-9]+ objects?, [0-9]+ bytes?\\)$'");
  EXPECT_EQ(std::count(cron.out.begin(), cron.out.end(), '\n'), 3) << cron.out;

  // The other tools' messages.
  const std::string bad = "u\x1b]0;owned\x07";
  const std::string shown = "$'u\\e]0;owned\\a'";
  struct Message {
    std::string command;
    std::string err;
  };
  const Message messages[] = {
      {Quote(kMake) + " " + Quote(bad + ".json") + " x.rtm",
       "wqmake: cannot read " + shown.substr(0, shown.size() - 1) +
           ".json': No such file or directory\n"},
      {Quote(kDump) + " " + Quote(bad + ".rtm"),
       "wqdump: " + shown.substr(0, shown.size() - 1) +
           ".rtm': cannot open file: No such file or directory\n"},
      {Quote(kDump) + " -o " + Quote(bad + "/d.json") + " " + Quote(cases[0].name),
       "wqdump: cannot write " + shown.substr(0, shown.size() - 1) +
           "/d.json': cannot create temporary file in " + shown + ": No such file or directory\n"},
      {Quote(kDump) + " --format csv --class " + Quote(bad) + " " + Quote(cases[0].name),
       "wqdump: " + cases[0].shown + ": no class named " + shown + "\n"},
  };
  for (const Message& m : messages) {
    const ToolResult r = RunTool("cd " + Quote(t.path()) + " && " + m.command);
    EXPECT_EQ(r.status, 1) << m.command;
    EXPECT_EQ(r.err, m.err);
  }
}

// A link in a sticky world-writable folder is followed only when it belongs
// to the folder's owner or to the user running the tool, as the kernel
// rules for its own opens: else wqmake and wqdump -o refuse, and the file
// it leads to stays as it was.
TEST(ToolsSharedFolder, ForeignSymbolicLinksRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a link to another user takes root";
  TempFolder t;
  const std::string shared = t.File("shared");
  const std::string victim = t.File("victim");
  const uid_t other = 54321;
  ASSERT_EQ(wqtest::MakeRepository(R"({"classes": [{"name": "A"}]})", t.File("a.rtm")), "");
  wqtest::WriteFile(t.File("a.json"), R"({"classes": [{"name": "A"}]})");
  struct Case {
    const char* name;
    mode_t folder_mode;
    uid_t folder_owner;
    uid_t link_owner;
    bool followed;
  };
  const Case cases[] = {
      {"another user's link in a sticky world-writable folder", 01777, 0, other, false},
      {"own link there", 01777, 0, 0, true},
      {"the folder owner's link there", 01777, other, other, true},
      {"another user's link in a folder that is not sticky", 0777, 0, other, true},
      {"another user's link in a sticky folder only its owner writes", 01755, 0, other, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(wqtest::RunCommand("rm -rf " + Quote(shared)), 0);
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(chown(shared.c_str(), c.folder_owner, 0), 0);
    ASSERT_EQ(chmod(shared.c_str(), c.folder_mode), 0);
    const std::string link = shared + "/x.out";
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), c.link_owner, 0), 0);
    const std::string refusal = "not following the symbolic link " + link + ": it belongs to uid " +
                                std::to_string(other) +
                                ", neither this user nor the owner of its sticky world-writable "
                                "folder\n";
    const std::string commands[] = {
        Quote(kMake) + " " + Quote(t.File("a.json")) + " " + Quote(link),
        Quote(kDump) + " -o " + Quote(link) + " " + Quote(t.File("a.rtm")),
    };
    for (const std::string& command : commands) {
      wqtest::WriteFile(victim, "precious\n");
      const ToolResult r = RunTool(command);
      if (c.followed) {
        EXPECT_EQ(r.status, 0) << command << ": " << r.err;
        EXPECT_NE(ReadFile(victim), "precious\n") << command;
      } else {
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err.substr(r.err.find(": ", 8) + 2), refusal) << r.err;
        EXPECT_EQ(ReadFile(victim), "precious\n") << command;
      }
    }
  }
}

// Runs wqmake on standard input fed `head` and then `fill` bytes, up to
// `limit` bytes in all or until wqmake stops reading. Sets *accepted to the
// bytes it took and *err to its standard error; returns its exit status.
int FeedWqmake(const TempFolder& t, const std::string& head, char fill, uint64_t limit,
               uint64_t* accepted, std::string* err) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  const std::string err_path = t.File("feed.err");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[0], 0);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(e, 2);
    execl(kMake.c_str(), kMake.c_str(), "-", t.File("fed.rtm").c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[0]);
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  std::string piece = head;
  *accepted = 0;
  while (*accepted < limit) {
    if (piece.empty()) piece.assign(1 << 16, fill);
    const ssize_t n =
        write(pipe_fds[1], piece.data(), std::min<uint64_t>(piece.size(), limit - *accepted));
    if (n <= 0) break;
    *accepted += static_cast<uint64_t>(n);
    piece.erase(0, static_cast<size_t>(n));
  }
  close(pipe_fds[1]);
  signal(SIGPIPE, old);
  int status = 0;
  waitpid(pid, &status, 0);
  *err = ReadFile(err_path);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Standard input is checked while it is copied: the first NUL byte or byte
// that breaks UTF-8 ends the copy, with the fault the same file gives, and
// endless input is not swallowed; a sequence cut between two reads is no
// fault; scratch space that runs out is named.
TEST(WqmakeStandardInput, CheckedWhileCopied) {
  TempFolder t;
  const uint64_t kLimit = uint64_t{256} << 20;
  const std::string blanks_then_ff = "{\"classes\": [" + std::string(3000000, ' ') + "\xff";
  struct Case {
    std::string head;
    char fill;
    std::string err;
  };
  const Case cases[] = {
      {"", '\0', "wqmake: standard input:1:1: NUL byte in the source\n"},
      {"{\"classes\": [{\"name\": \"A\"}]}\n", '\0',
       "wqmake: standard input:2:1: NUL byte in the source\n"},
      {blanks_then_ff, ' ', ""},
  };
  for (const Case& c : cases) {
    uint64_t accepted = 0;
    std::string err;
    EXPECT_EQ(FeedWqmake(t, c.head, c.fill, kLimit, &accepted, &err), 1);
    EXPECT_LT(accepted, c.head.size() + (uint64_t{16} << 20)) << "swallowed";
    if (!c.err.empty()) {
      EXPECT_EQ(err, c.err);
    } else {
      // The fault the same bytes give as a file.
      wqtest::WriteFile(t.File("same.json"), c.head + std::string(100, c.fill));
      const ToolResult file =
          RunTool(Quote(kMake) + " " + Quote(t.File("same.json")) + " " + Quote(t.File("f.rtm")));
      EXPECT_EQ(err, "wqmake: standard input" + file.err.substr(file.err.find(':', 8)));
    }
  }

  // Characters of two to four bytes cut at every place between two reads
  // of 1 MiB build what the file builds.
  std::string text;
  while (text.size() < (size_t{5} << 19)) text += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 ";
  for (int pad = 0; pad < 10; pad++) {
    const std::string source = "{\"classes\": [{\"name\": \"A\"," + std::string(pad, ' ') +
                               "\"members\": [{\"name\": \"s\", \"type\": \"string\"}], "
                               "\"objects\": [{\"values\": {\"s\": \"" +
                               text + "\"}}]}]}";
    wqtest::WriteFile(t.File("m.json"), source);
    const ToolResult r =
        RunTool(Quote(kMake) + " - " + Quote(t.File("m.rtm")) + " <" + Quote(t.File("m.json")));
    ASSERT_EQ(r.status, 0) << pad << ": " << r.err;
    ASSERT_EQ(
        RunTool(Quote(kMake) + " " + Quote(t.File("m.json")) + " " + Quote(t.File("f.rtm"))).status,
        0);
    EXPECT_TRUE(ReadFile(t.File("m.rtm")) == ReadFile(t.File("f.rtm"))) << pad;
  }

  // No room for the copy: the reason, and where the room was looked for.
  wqtest::WriteFile(t.File("big.json"), "{\"classes\": [" + std::string(3 << 20, ' ') + "]}");
  const ToolResult full =
      RunTool("trap '' XFSZ; ulimit -f 1024; TMPDIR=" + Quote(t.path()) + " exec " + Quote(kMake) +
              " - " + Quote(t.File("b.rtm")) + " <" + Quote(t.File("big.json")));
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "wqmake: cannot read standard input: cannot write a scratch file in " +
                          t.path() + ": File too large (TMPDIR chooses the folder)\n");
}

}  // namespace
