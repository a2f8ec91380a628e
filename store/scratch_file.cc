// ScratchFile: O_TMPFILE where the file system has it, otherwise a named
// file unlinked as soon as it exists; pread and pwrite for the rest.
#include "store/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/text.h"

namespace wqstore {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// An open scratch file in `folder`, or -1 with errno set.
int OpenIn(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = folder + "/wq-XXXXXX.tmp";
  fd = ::mkostemps(&name[0], 4, O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

Status ScratchFile::Create(const std::string& near_path, std::unique_ptr<ScratchFile>* file) {
  std::string folders[3] = {near_path.empty() ? "" : FolderOf(near_path), "", "/tmp"};
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') folders[1] = tmp;
  int first_error = 0;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const int fd = OpenIn(folder);
    if (fd >= 0) {
      file->reset(new ScratchFile(fd, folder));
      return Status::OK();
    }
    if (first_error == 0) first_error = errno;
  }
  return Status::Error("cannot create a scratch file in " +
                       (folders[0].empty() ? std::string("/tmp") : folders[0]) + ": " +
                       ErrnoText(first_error));
}

ScratchFile::~ScratchFile() { ::close(fd_); }

Status ScratchFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::pwrite(fd_, p, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) {
      return Status::Error("cannot write a scratch file in " + folder_ + ": " + ErrnoText(errno));
    }
    p += w;
    offset += static_cast<uint64_t>(w);
    n -= static_cast<size_t>(w);
  }
  return Status::OK();
}

Status ScratchFile::ReadAt(uint64_t offset, void* data, size_t n) const {
  char* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t r = ::pread(fd_, p, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      return Status::Error("cannot read a scratch file in " + folder_ + ": " +
                           (r == 0 ? std::string("it ended early") : ErrnoText(errno)));
    }
    p += r;
    offset += static_cast<uint64_t>(r);
    n -= static_cast<size_t>(r);
  }
  return Status::OK();
}

}  // namespace wqstore
