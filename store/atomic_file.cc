// AtomicFile: the target's checks (symbolic links followed, regular file,
// writable), the temporary file (O_TMPFILE, or a named one where the file
// system has no unnamed files) with the target's mode and owner, then
// write, fsync, link, rename, and fsync of the folder.
#include "store/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/fd_io.h"
#include "platform/text.h"
#include "store/file_io.h"

namespace wqstore {
namespace {

// Links followed before giving up, as the system does.
constexpr int kMaxLinks = 40;
// Names tried for a named temporary file before giving up.
constexpr int kMaxNameTries = 100;

// The kernel's rule for links in shared folders (protected_symlinks),
// which following links here would otherwise sidestep: in a sticky
// world-writable folder such as /tmp, a link is followed only when it
// belongs to the folder's owner or to the user following it. Otherwise
// another user could plant it to make this process replace a file of its
// choosing.
Status CheckLinkOwner(const std::string& link, const struct stat& link_info) {
  struct stat folder;
  if (::stat(FolderOf(link).c_str(), &folder) != 0) return Status::OK();  // the walk fails later
  if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return Status::OK();
  if (link_info.st_uid == folder.st_uid || link_info.st_uid == ::geteuid()) return Status::OK();
  return Status::Error("not following the symbolic link " + ShownPath(link) +
                       ": it belongs to uid " + Num(static_cast<uint32_t>(link_info.st_uid)) +
                       ", neither this user nor the owner of its sticky world-writable folder");
}

// The file `path` names once symbolic links are followed: `path` itself
// when it is no link or does not exist. A relative link is read from the
// folder that holds it.
Status FollowLinks(const std::string& path, std::string* target) {
  std::string p = path;
  for (int links = 0;; links++) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    if (links == kMaxLinks) return Status::Error(ErrnoText(ELOOP));
    WQ_RETURN_IF_ERROR(CheckLinkOwner(p, st));
    std::string to(static_cast<size_t>(st.st_size) + 1, '\0');
    ssize_t n;
    while ((n = ::readlink(p.c_str(), &to[0], to.size())) == static_cast<ssize_t>(to.size())) {
      to.resize(to.size() * 2);  // the link grew since lstat
    }
    if (n < 0) {
      return Status::Error("cannot read the link " + ShownPath(p) + ": " + ErrnoText(errno));
    }
    to.resize(static_cast<size_t>(n));
    p = !to.empty() && to[0] == '/' ? to : FolderOf(p) + "/" + to;
  }
  *target = std::move(p);
  return Status::OK();
}

// Eight letters and digits, different each call.
std::string RandomSuffix() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::atomic<unsigned> counter{0};
  unsigned char bytes[8];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32) ^
                 (uint64_t{++counter} << 20);
    for (unsigned char& b : bytes) {
      x = x * 6364136223846793005ull + 1442695040888963407ull;
      b = static_cast<unsigned char>(x >> 56);
    }
  }
  std::string s;
  for (unsigned char b : bytes) s += kChars[b % (sizeof kChars - 1)];
  return s;
}

}  // namespace

Status AtomicFile::Create(const std::string& path, std::unique_ptr<AtomicFile>* file) {
  std::unique_ptr<AtomicFile> f(new AtomicFile());
  WQ_RETURN_IF_ERROR(FollowLinks(path, &f->target_));
  // A refusal names the file a link leads to.
  auto refuse = [&](const std::string& why) {
    return Status::Error(
        f->target_ == path ? why : "the link leads to " + ShownPath(f->target_) + ": " + why);
  };
  struct stat st;
  if (::stat(f->target_.c_str(), &st) == 0) {
    f->exists_ = true;
    // A FIFO, a device or a folder is not a repository to replace.
    if (!S_ISREG(st.st_mode)) return refuse("not a regular file");
    // As writing it in place would be: a read-only file is left alone
    // (unless the process may write anything, as root may).
    if (::faccessat(AT_FDCWD, f->target_.c_str(), W_OK, AT_EACCESS) != 0) {
      return refuse(ErrnoText(errno));
    }
  } else if (errno != ENOENT) {
    return refuse(ErrnoText(errno));
  }
  f->folder_ = FolderOf(f->target_);

  // 0666 less the umask, as for any new file.
  int fd = ::open(f->folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    f->unnamed_ = true;
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // No unnamed files here: a named one, with a short name so that any
    // name the target may have works.
    // A new target gets 0666 less the umask from the kernel, as the
    // unnamed file does; one that exists gets its mode below, and until
    // then the file is the owner's alone.
    const mode_t mode = f->exists_ ? 0600 : 0666;
    for (int tries = 0; tries < kMaxNameTries; tries++) {
      std::string temp = f->folder_ + "/wq-" + RandomSuffix().substr(0, 6) + ".tmp";
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd >= 0) f->temp_ = std::move(temp);
      if (fd >= 0 || errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    return Status::Error("cannot create temporary file in " + ShownPath(f->folder_) + ": " +
                         ErrnoText(errno));
  }
  f->fd_ = fd;

  if (f->exists_) {
    // Owner and group first: changing them may clear mode bits. Each is
    // kept when the process may set it, and left as the process's when not.
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      if (::fchown(fd, st.st_uid, st.st_gid) != 0 && errno == EPERM &&
          ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Neither could be kept: the new file has the process's owner and
        // group, as any file it creates.
      }
    }
    if (::fchmod(fd, st.st_mode & 0777) != 0) {
      return Status::Error("cannot set the mode of " + f->TempLabel() + ": " + ErrnoText(errno));
    }
  }
  *file = std::move(f);
  return Status::OK();
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!renamed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

std::string AtomicFile::TempLabel() const {
  return temp_.empty() ? "the temporary file in " + ShownPath(folder_) : ShownPath(temp_);
}

Status AtomicFile::Append(const void* data, size_t n) {
  WQ_RETURN_IF_ERROR(Written(WriteFully(fd_, data, n, -1)));
  appended_ += n;
  if (appended_ - written_back_ >= kWritebackStep) {
    // A large file goes to the disk while the rest is written, so that the
    // sync at the commit waits for little more than the last step. Only a
    // hint: a failure shows at that sync.
    ::sync_file_range(fd_, static_cast<off_t>(written_back_),
                      static_cast<off_t>(appended_ - written_back_), SYNC_FILE_RANGE_WRITE);
    written_back_ = appended_;
  }
  return Status::OK();
}

Status AtomicFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  return Written(WriteFully(fd_, data, n, static_cast<int64_t>(offset)));
}

Status AtomicFile::Written(int err) const {
  if (err == 0) return Status::OK();
  return Status::Error("cannot write " + TempLabel() + ": " + ErrnoText(err));
}

Status AtomicFile::Link() {
  const std::string proc = "/proc/self/fd/" + Num(static_cast<int32_t>(fd_));
  // 0 or the errno of the failure. AT_EMPTY_PATH needs a privilege; the
  // link through /proc does not.
  auto link_as = [&](const std::string& name) {
    if (::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
  };
  if (!exists_) {
    // Nothing to replace: the file takes the target's name in one step.
    const int err = link_as(target_);
    if (err == 0) {
      renamed_ = true;
      return Status::OK();
    }
    if (err != EEXIST) {
      return Status::Error("cannot link the temporary file to " + ShownPath(target_) + ": " +
                           ErrnoText(err));
    }
  }
  for (int attempt = 0; attempt < 100; attempt++) {
    const std::string name = folder_ + "/wq-" + RandomSuffix() + ".tmp";
    const int err = link_as(name);
    if (err == 0) {
      temp_ = name;
      return Status::OK();
    }
    if (err != EEXIST) {
      return Status::Error("cannot name the temporary file in " + ShownPath(folder_) + ": " +
                           ErrnoText(err));
    }
  }
  return Status::Error("cannot name the temporary file in " + ShownPath(folder_) +
                       ": no free name");
}

Status AtomicFile::Commit() {
  if (::fsync(fd_) != 0) {
    return Status::Error("cannot sync " + TempLabel() + ": " + ErrnoText(errno));
  }
  if (unnamed_) WQ_RETURN_IF_ERROR(Link());
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    return Status::Error("cannot close " + TempLabel() + ": " + ErrnoText(errno));
  }
  if (!renamed_) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
      return Status::Error("cannot rename " + ShownPath(temp_) + " to " + ShownPath(target_) +
                           ": " + ErrnoText(errno));
    }
    renamed_ = true;
  }

  // Make the rename itself durable. Some file systems cannot sync a folder
  // (EINVAL); the file is in place either way.
  const int dfd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    const int rc = ::fsync(dfd);
    const int err = errno;
    ::close(dfd);
    if (rc != 0 && err != EINVAL && err != ENOTSUP) {
      return Status::Error(ShownPath(target_) + " was replaced, but its folder " +
                           ShownPath(folder_) + " cannot be synced: " + ErrnoText(err));
    }
  }
  return Status::OK();
}

}  // namespace wqstore
