// The writer's commit over what may lie at the target: symbolic links
// (followed, the link kept), files that are not regular (refused), the mode
// and owner of the file replaced, read-only files, long names, and the
// unnamed temporary file that leaves nothing behind when the process dies.
#include "store/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "repository/store_api.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using wqtest::ReadFile;
using wqtest::TempFolder;
using wqtest::WriteFile;

// The names in `folder`, sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A small repository whose bytes tell `tag` apart.
struct Repo {
  explicit Repo(const std::string& tag) {
    const uint32_t c = w.AddClass(tag, 1);
    w.AddMember(c, "m", 1, wqTypeInt, true);
    image = w.Serialize();
  }
  wqtest::CheckedWriter w;
  std::string image;
};

// The message Commit throws, or "" when it succeeds.
std::string CommitError(Repo& repo, const std::string& path) {
  try {
    repo.w.Commit(path);
  } catch (const awq_StoreError& e) {
    return e.what();
  }
  return "";
}

std::string LinkText(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? "" : std::string(buf, static_cast<size_t>(n));
}

bool UnnamedFilesWork(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

TEST(AtomicFile, FollowsSymbolicLinks) {
  const TempFolder folder;
  const std::string dir = folder.path();
  ASSERT_EQ(mkdir((dir + "/real").c_str(), 0755), 0);
  Repo old_repo("Old"), new_repo("New");
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
    std::string file;  // the file the first link leads to, under dir
    bool file_exists;
  };
  const std::vector<Case> cases = {
      {"absolute link", {{"r.rtm", dir + "/real/a.rtm"}}, "real/a.rtm", true},
      {"relative link", {{"r.rtm", "real/a.rtm"}}, "real/a.rtm", true},
      {"relative link in a folder", {{"real/r.rtm", "../b.rtm"}}, "b.rtm", true},
      {"chain of links", {{"r.rtm", "s.rtm"}, {"s.rtm", "real/a.rtm"}}, "real/a.rtm", true},
      {"link to no file yet", {{"r.rtm", "real/new.rtm"}}, "real/new.rtm", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& link : c.links) {
      ASSERT_EQ(symlink(link.second.c_str(), (dir + "/" + link.first).c_str()), 0);
    }
    if (c.file_exists) WriteFile(dir + "/" + c.file, old_repo.image);
    const std::vector<std::string> before = FilesIn(dir), before_real = FilesIn(dir + "/real");
    const std::string link = dir + "/" + c.links[0].first;
    EXPECT_EQ(CommitError(new_repo, link), "");
    EXPECT_EQ(LinkText(link), c.links[0].second);  // still the link it was
    EXPECT_EQ(ReadFile(dir + "/" + c.file), new_repo.image);
    if (c.file_exists) {
      EXPECT_EQ(FilesIn(dir), before);
      EXPECT_EQ(FilesIn(dir + "/real"), before_real);
    }
    for (const auto& l : c.links) unlink((dir + "/" + l.first).c_str());
    unlink((dir + "/" + c.file).c_str());
  }
  ASSERT_EQ(symlink("loop.rtm", (dir + "/loop.rtm").c_str()), 0);
  EXPECT_EQ(CommitError(new_repo, dir + "/loop.rtm"), "Too many levels of symbolic links");
  EXPECT_EQ(LinkText(dir + "/loop.rtm"), "loop.rtm");
}

TEST(AtomicFile, RefusesWhatIsNotARegularFile) {
  const TempFolder folder;
  const std::string dir = folder.path();
  Repo repo("New");
  struct Case {
    const char* name;
    std::function<bool(const std::string&)> make;  // false: cannot be made here
    mode_t type;
  };
  const Case cases[] = {
      {"FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; }, S_IFIFO},
      {"folder", [](const std::string& p) { return mkdir(p.c_str(), 0755) == 0; }, S_IFDIR},
      {"socket",
       [](const std::string& p) {
         const int s = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un a{};
         a.sun_family = AF_UNIX;
         if (p.size() >= sizeof a.sun_path) return false;
         p.copy(a.sun_path, p.size());
         const bool made = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
         close(s);
         return made;
       },
       S_IFSOCK},
      {"character device",
       [](const std::string& p) { return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
       S_IFCHR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string node = dir + "/node";
    if (!c.make(node)) {
      std::printf("cannot make a %s here; not tried\n", c.name);
      continue;
    }
    ASSERT_EQ(symlink("node", (dir + "/link").c_str()), 0);
    const std::vector<std::string> before = FilesIn(dir);
    EXPECT_EQ(CommitError(repo, node), "not a regular file");
    EXPECT_EQ(CommitError(repo, dir + "/link"),
              "the link leads to " + dir + "/node: not a regular file");
    struct stat st;
    ASSERT_EQ(lstat(node.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.type);
    EXPECT_EQ(FilesIn(dir), before);
    unlink((dir + "/link").c_str());
    if (c.type == S_IFDIR) {
      rmdir(node.c_str());
    } else {
      unlink(node.c_str());
    }
  }
}

TEST(AtomicFile, KeepsModeAndOwner) {
  const TempFolder folder;
  const std::string target = folder.File("r.rtm");
  Repo old_repo("Old"), new_repo("New");
  const bool root = geteuid() == 0;
  struct Case {
    const char* name;
    bool exists;
    mode_t mode;  // of the existing file, or the umask for a new one
    uid_t owner;  // of the existing file
    mode_t expect;
  };
  const Case cases[] = {
      {"existing 0600", true, 0600, geteuid(), 0600},
      {"existing 0640 of another user", true, 0640, root ? 65534u : geteuid(), 0640},
      {"existing 0755", true, 0755, geteuid(), 0755},
      {"new under umask 002", false, 002, 0, 0664},
      {"new under umask 077", false, 077, 0, 0600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(target.c_str());
    mode_t mask = umask(022);
    if (c.exists) {
      WriteFile(target, old_repo.image);
      ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
      ASSERT_EQ(chown(target.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    } else {
      umask(c.mode);
    }
    const std::string error = CommitError(new_repo, target);
    umask(mask);
    EXPECT_EQ(error, "");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expect);
    if (c.exists) {
      EXPECT_EQ(st.st_uid, c.owner);
    }
    EXPECT_EQ(ReadFile(target), new_repo.image);
  }
}

// A read-only file is refused unless the process may write it anyway (as
// root may), and then keeps its mode.
TEST(AtomicFile, ReadOnlyTarget) {
  const TempFolder folder;
  const std::string target = folder.File("r.rtm");
  Repo old_repo("Old"), new_repo("New");
  WriteFile(target, old_repo.image);
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  auto refused = [&] {
    EXPECT_EQ(CommitError(new_repo, target), "Permission denied");
    EXPECT_EQ(ReadFile(target), old_repo.image);
    EXPECT_EQ(FilesIn(folder.path()), std::vector<std::string>{"r.rtm"});
  };
  if (geteuid() != 0) {
    refused();
    return;
  }
  // As another user, in a folder open to all.
  ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
  ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    refused();
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(CommitError(new_repo, target), "");
  EXPECT_EQ(ReadFile(target), new_repo.image);
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST(AtomicFile, NamesAsLongAsTheFileSystemTakes) {
  const TempFolder folder;
  Repo old_repo("Old"), new_repo("New");
  const std::string longest = folder.File(std::string(251, 'n') + ".rtm");
  EXPECT_EQ(CommitError(new_repo, longest), "");  // new
  EXPECT_EQ(CommitError(old_repo, longest), "");  // replaced
  EXPECT_EQ(ReadFile(longest), old_repo.image);
  EXPECT_EQ(FilesIn(folder.path()), std::vector<std::string>{std::string(251, 'n') + ".rtm"});
  EXPECT_NE(CommitError(new_repo, folder.File(std::string(256, 'n'))), "");
}

// While the file is written it has no name in the folder, so a process
// killed before the commit leaves the folder as it was.
TEST(AtomicFile, NothingLeftWhenKilled) {
  const TempFolder folder;
  if (!UnnamedFilesWork(folder.path())) GTEST_SKIP() << "no unnamed files on this file system";
  const std::string target = folder.File("r.rtm");
  Repo old_repo("Old"), new_repo("New");
  for (bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "over a file" : "new file");
    unlink(target.c_str());
    if (exists) WriteFile(target, old_repo.image);
    const std::vector<std::string> before = FilesIn(folder.path());
    {
      std::unique_ptr<AtomicFile> file;
      ASSERT_TRUE(AtomicFile::Create(target, &file).ok());
      ASSERT_TRUE(file->Append(new_repo.image.data(), new_repo.image.size()).ok());
      EXPECT_TRUE(file->unnamed());
      EXPECT_EQ(FilesIn(folder.path()), before);
      ASSERT_TRUE(file->Commit().ok());
    }
    EXPECT_EQ(FilesIn(folder.path()), std::vector<std::string>{"r.rtm"});
    EXPECT_EQ(ReadFile(target), new_repo.image);

    unlink(target.c_str());
    if (exists) WriteFile(target, old_repo.image);
    const pid_t child = fork();
    if (child == 0) {
      std::unique_ptr<AtomicFile> file;
      if (!AtomicFile::Create(target, &file).ok()) _exit(1);
      if (!file->Append(new_repo.image.data(), new_repo.image.size()).ok()) _exit(1);
      raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(FilesIn(folder.path()), before);
    if (exists) {
      EXPECT_EQ(ReadFile(target), old_repo.image);
    }
  }
}

}  // namespace
}  // namespace wqstore
