// AtomicFile: mkstemp next to the target, write, fsync, close, rename, and
// fsync of the folder.
#include "store/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/text.h"

namespace wqstore {
namespace {

std::string DirName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

Status AtomicFile::Create(const std::string& path, std::unique_ptr<AtomicFile>* file) {
  const std::string folder = DirName(path);
  std::string temp = path + ".tmp.XXXXXX";
  const int fd = ::mkstemp(&temp[0]);
  if (fd < 0) {
    return Status::Error("cannot create temporary file in " + folder + ": " + ErrnoText(errno));
  }
  std::unique_ptr<AtomicFile> f(new AtomicFile(path, folder, std::move(temp), fd));

  // mkstemp creates the file 0600; give it the mode a new file would get.
  // Reading the umask means setting it for a moment; the store's users are
  // single-threaded, so no file is created in between.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0644 & ~mask) != 0) {
    return Status::Error("cannot set the mode of " + f->temp_ + ": " + ErrnoText(errno));
  }
  *file = std::move(f);
  return Status::OK();
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!renamed_) ::unlink(temp_.c_str());
}

Status AtomicFile::Append(const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return Status::Error("cannot write " + temp_ + ": " + ErrnoText(errno));
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return Status::OK();
}

Status AtomicFile::Commit() {
  if (::fsync(fd_) != 0) return Status::Error("cannot sync " + temp_ + ": " + ErrnoText(errno));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Status::Error("cannot close " + temp_ + ": " + ErrnoText(errno));
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    return Status::Error("cannot rename " + temp_ + " to " + target_ + ": " + ErrnoText(errno));
  }
  renamed_ = true;

  // Make the rename itself durable. Some file systems cannot sync a folder
  // (EINVAL); the file is in place either way.
  const int dfd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    const int rc = ::fsync(dfd);
    const int err = errno;
    ::close(dfd);
    if (rc != 0 && err != EINVAL && err != ENOTSUP) {
      return Status::Error(target_ + " was replaced, but its folder " + folder_ +
                           " cannot be synced: " + ErrnoText(err));
    }
  }
  return Status::OK();
}

}  // namespace wqstore
